// Ending the script early: the exit code, the restart and the resume entry.
#include "interp/mTerminate.h"
#include "interp_test_support.h"

namespace quillon::test {
namespace {

Cmd marker(std::string text)
{
    return {"Mark", {std::move(text)}};
}

struct EndingRun : ScriptRun {
    explicit EndingRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {})
        : ScriptRun(commands, std::move(start))
    {
        handlers.add("Mark", [this](CommandCall& call) -> Result<void> {
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

TEST(Termination, NothingRunsAfterTheEndingCommands)
{
    for (std::string command : {"Terminate Install", "Reboot Computer", "Reboot and Resume"}) {
        EndingRun in_block({{"If", {"A", "0", "1", "FALSE"}}, marker("a"), {command, {}}, marker("b"), {"End", {}},
                            marker("c")},
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
        {"FALSE", "C:\\Program Files\\My App\\package.exe", "/s",
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
