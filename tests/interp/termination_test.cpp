// Ending the script early: the exit code, the restart and the resume entry.
#include "interp/mTerminate.h"
#include "interp_test_support.h"

#include <thread>

namespace quillon::test {
namespace {

Cmd marker(std::string text)
{
    return {std::string(probe_command), {std::move(text)}};
}

struct EndingRun : ScriptRun {
    explicit EndingRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {})
        : ScriptRun(commands, std::move(start))
    {
        handlers.add(probe_command, [this](CommandCall& call) -> Result<void> {
            trace += TRY(call.text(1));
            return {};
        });
    }
    std::string trace;
};

TEST(Termination, ExitCodesFromTheParameter)
{
    const std::pair<std::string, std::int32_t> cases[] = {
        {"$CODE$", 3010}, {"-5", -5}, {"12abc", 0}, {"", 0}, {"99999999999", 0},
    };
    for (const auto& [parameter, code] : cases) {
        EndingRun run({marker("a"), {"Terminate with Exit Code", {parameter}}, marker("b")}, {{"CODE", "3010"}});
        EXPECT_TRUE(run.run()) << "not a runtime error: " << parameter;
        EXPECT_EQ(run.executor->exit_code(), code) << parameter;
        EXPECT_EQ(run.trace, "a");
    }
}

TEST(Termination, ProcessExitCodeOfARun)
{
    struct Case {
        std::optional<std::int32_t> script_code;
        bool runtime_error;
        ScriptOutcome outcome;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {std::nullopt, false, ScriptOutcome::completed, 0},
        {std::nullopt, false, ScriptOutcome::cancelled, 1602},
        {std::nullopt, false, ScriptOutcome::failed, 1603},
        {std::nullopt, true, ScriptOutcome::completed, 11},
        {std::nullopt, true, ScriptOutcome::cancelled, 11},
        {3010, false, ScriptOutcome::cancelled, 3010}, // the script's own code always wins
        {0, true, ScriptOutcome::failed, 0},
        {-1, false, ScriptOutcome::completed, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(ScriptExitCode(c.script_code, c.runtime_error, c.outcome), c.expected);
    }
}

// A cancel that meets ABORTONERROR "TRUE" ends the script as cancelled; the first reason that ends it stays.
TEST(Termination, CancelledWorkerWithAbortOnErrorEndsTheRunAsCancelled)
{
    for (std::string abort_on_error : {"TRUE", "FALSE"}) {
        SCOPED_TRACE(abort_on_error);
        EndingRun run({{"Set Variable", {"ABORT", "TRUE"}},
                       {"Extract 7Zip Archive", {"a.7z", "C:\\t", "R", "", "TRUE", "TRUE"}},
                       marker("after")},
                      {{"ABORTONERROR", abort_on_error}, {"ABORTEDONERROR", "TRUE"}});
        run.host.extractor = [](const ArchiveExtraction&, const ArchiveProgress& progress) -> Result<void> {
            while (progress("x", 1, 2))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return make_error(ErrorCode::cancelled, "stopped");
        };
        EXPECT_TRUE(run.run());
        if (abort_on_error == "TRUE") {
            EXPECT_EQ(run.executor->outcome(), ScriptOutcome::cancelled);
            EXPECT_EQ(run.trace, "");
        } else {
            EXPECT_EQ(run.executor->outcome(), ScriptOutcome::completed);
            EXPECT_EQ(run.trace, "after");
        }
    }
}

TEST(Termination, NothingRunsAfterTheEndingCommands)
{
    for (std::string command : {"Terminate Install", "Reboot Computer", "Reboot and Resume"}) {
        EndingRun in_block(
            {{"If", {"A", "0", "1", "FALSE"}}, marker("a"), {command, {}}, marker("b"), {"End", {}}, marker("c")},
            {{"A", "1"}});
        EXPECT_TRUE(in_block.run());
        EXPECT_EQ(in_block.trace, "a") << command;
        EXPECT_FALSE(in_block.executor->exit_code()) << "the exit code is not changed";
    }
    EndingRun in_wizard({{"Wizard Loop", {}}, {"Display Dialog", {"one"}}, {"End", {}}, marker("after")});
    in_wizard.handlers.add("Display Dialog", [](CommandCall& call) -> Result<void> {
        call.executor().end_script();
        return {};
    });
    EXPECT_TRUE(in_wizard.run());
    EXPECT_EQ(in_wizard.trace, "");
}

TEST(Termination, RebootAndResumeWritesTheEntryInTheHiveOfAllUsers)
{
    struct Case {
        std::string all_users;
        std::string program;
        std::string tail;
        std::vector<std::string> entry;
    };
    const Case cases[] = {
        {"TRUE", "C:\\setup\\setup.exe", "/s NAME=1", {"HKLM", "22222222", "C:\\setup\\setup.exe /s NAME=1"}},
        {"-1", "C:\\setup\\setup.exe", "", {"HKLM", "22222222", "C:\\setup\\setup.exe"}},
        {"FALSE",
         "C:\\Program Files\\My App\\package.exe",
         "/s",
         {"HKCU", "22222222", "\"C:\\Program Files\\My App\\package.exe\" /s"}},
    };
    for (const Case& test : cases) {
        EndingRun run({{"Reboot and Resume", {}}, marker("never")}, {{"ALLUSERS", test.all_users}});
        run.host.program = test.program;
        run.host.tail = test.tail;
        EXPECT_TRUE(run.run());
        ASSERT_EQ(run.host.resume_entries.size(), 1u);
        EXPECT_EQ(run.host.resume_entries[0], test.entry);
        EXPECT_EQ(run.host.restarts, 1);
        EXPECT_EQ(run.trace, "");
    }
}

TEST(Termination, ResumeEntryNameIsTheFirstGroupOfTheProductCode)
{
    EXPECT_EQ(ResumeEntryName("{29BBD25B-E9D0-4A3B-9109-24194F12BFFD}"), "29BBD25B");
    EXPECT_EQ(ResumeEntryName(""), "");
    EXPECT_EQ(ResumeCommand("\"C:\\a b\\x.exe\"", ""), "\"C:\\a b\\x.exe\"") << "already quoted stays";
}

} // namespace
} // namespace quillon::test
