// Starting programs natively through a fake of the system calls: the command
// line, the environment block and the show commands; the shell's verb
// fallback; the user, logon and unelevated starts with their result codes;
// and "Run Program" / "Run Program As" in scripts with the folder change and
// the cancel protocol (a program that ends, one cancelled that still ends in
// time, one given up by the kill timer while it runs on).
#include "interp/program_start.h"
#include "interp_test_support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quillon::test {
namespace {

using namespace std::chrono_literals;

TEST(ProgramStart, ShowCommandsOfTheWindowModes)
{
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 5}, {1, 0}, {2, 3}, {3, 2}, {4, 7}, {5, 5}, {-1, 5}, {100, 5},
    };
    for (auto [mode, show] : cases)
        EXPECT_EQ(show_command_of(mode), show) << mode;
}

TEST(ProgramStart, CommandLineQuotesTheProgramAndKeepsTheSpace)
{
    EXPECT_EQ(command_line_of("C:\\Program Files\\App\\app.exe", "/s /v"), "\"C:\\Program Files\\App\\app.exe\" /s /v");
    EXPECT_EQ(command_line_of("C:\\app.exe", ""), "\"C:\\app.exe\" ");
}

TEST(ProgramStart, EnvironmentBlockOfTheLines)
{
    using namespace std::string_literals;
    struct Case {
        std::string_view text;
        std::optional<std::string> block;
    };
    const Case cases[] = {
        {"", std::nullopt},
        {"A=1", "A=1\0\0"s},
        {"A=1\r\nB=two words", "A=1\0B=two words\0\0"s},
        // An empty line would end the block before B.
        {"A=1\r\n\r\nB=2\r\n", "A=1\0B=2\0\0"s},
        {"\r\n", "\0\0"s},
        // A lone line feed is part of the value, not a separator.
        {"A=1\nB=2", "A=1\nB=2\0\0"s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(environment_block(c.text), c.block);
    }
}

TEST(ShellStart, OpenElseTheDefaultActionElseMinusOne)
{
    struct Case {
        std::string name;
        std::set<std::string> failing_verbs;
        bool known;
        bool no_process;
        std::int32_t result;
        std::size_t shell_calls;
    };
    const Case cases[] = {
        {"open works", {}, true, false, 3, 1},
        {"default action", {"open"}, true, false, 3, 2},
        {"neither", {"open", ""}, true, false, -1, 2},
        {"missing file", {}, false, false, -1, 2},
        {"sent to a running program", {}, true, true, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcessSystem system;
        system.failing_verbs = c.failing_verbs;
        if (c.known)
            system.programs["C:\\App\\doc.txt"] = {.exit_code = 3, .waits = 2, .no_process = c.no_process};
        ShellStartRequest request{"C:\\App\\doc.txt", "/x", "C:\\App\\", true, false};
        EXPECT_EQ(ShellStart(system, request, {}), c.result);
        std::vector<std::string> calls = system.calls();
        ASSERT_EQ(calls.size(), c.shell_calls);
        EXPECT_EQ(calls[0], "shell open|C:\\App\\doc.txt|/x|C:\\App\\|0");
        if (c.shell_calls > 1) {
            EXPECT_EQ(calls[1], "shell |C:\\App\\doc.txt|/x|C:\\App\\|0");
        }
        EXPECT_EQ(system.open_handles(), 0u);
    }
}

TEST(ShellStart, WaitsInOneSecondSlicesOrAnswersStillActive)
{
    FakeProcessSystem system;
    system.programs["C:\\App\\app.exe"] = {.exit_code = 0xC0000005u, .waits = 3};
    ShellStartRequest request{"C:\\App\\app.exe", "", "C:\\App\\", true, true};
    EXPECT_EQ(ShellStart(system, request, {}), static_cast<std::int32_t>(0xC0000005u));
    EXPECT_EQ(system.waits, 4);
    EXPECT_EQ(system.last_wait_ms, 1000u);
    EXPECT_EQ(system.calls()[0], "shell open|C:\\App\\app.exe||C:\\App\\|5");

    request.wait = false;
    EXPECT_EQ(ShellStart(system, request, {}), 259);
    EXPECT_EQ(system.waits, 4) << "no wait without the wait flag";

    // A wait nobody needs any more ends; the program runs on.
    system.programs["C:\\App\\app.exe"].waits = -1;
    request.wait = true;
    int asked = 0;
    EXPECT_EQ(ShellStart(system, request, [&] { return ++asked < 3; }), -314);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(system.open_handles(), 0u);
}

TEST(StartProcess, AsTheEngineOrAsTheUserNamed)
{
    FakeProcessSystem system;
    system.programs["C:\\App\\app.exe"] = {.exit_code = 12, .waits = 1};
    ProcessStartRequest request;
    request.command_line = "\"C:\\App\\app.exe\" -a";
    request.window_mode = 2;
    request.wait = true;
    request.environment = "QV=1\r\nPATH=C:\\";
    EXPECT_EQ(StartProcess(system, request, {}), 12);
    EXPECT_EQ(system.calls().back(), "create|\"C:\\App\\app.exe\" -a|3");
    EXPECT_EQ(system.last_environment(), std::string("QV=1\0PATH=C:\\\0\0", 15));

    request.user = "builder";
    request.domain = "LAB";
    request.password = "secret";
    request.environment.clear();
    request.window_mode = 9;
    EXPECT_EQ(StartProcess(system, request, {}), 12);
    EXPECT_EQ(system.calls().back(), "logon builder/LAB/secret|\"C:\\App\\app.exe\" -a|5");
    EXPECT_EQ(system.last_environment(), std::nullopt) << "an empty text inherits the engine's environment";

    system.logon_available = false;
    EXPECT_EQ(StartProcess(system, request, {}), -1);
    system.logon_available = true;
    request.command_line = "\"C:\\App\\missing.exe\" ";
    EXPECT_EQ(StartProcess(system, request, {}), -11);
    request.user.clear();
    EXPECT_EQ(StartProcess(system, request, {}), -11);
    EXPECT_EQ(system.open_handles(), 0u);
}

TEST(StartUnelevated, StepsAndTheirResultCodes)
{
    struct Case {
        std::string name;
        std::function<void(FakeProcessSystem&)> setup;
        std::int32_t result;
        std::string_view started_by; // the start of the last call that created the process
    };
    const Case cases[] = {
        {"elevated under an unelevated shell", [](FakeProcessSystem&) {}, 21, "token "},
        {"before Vista", [](FakeProcessSystem& s) { s.vista = false; }, 21, "create|"},
        {"no shell window", [](FakeProcessSystem& s) { s.shell_pid.reset(); }, 21, "create|"},
        {"not elevated", [](FakeProcessSystem& s) { s.own_level = integrity_medium; }, 21, "create|"},
        {"shell elevated too", [](FakeProcessSystem& s) { s.shell_level = integrity_high; }, 21, "create|"},
        {"levels unreadable", [](FakeProcessSystem& s) { s.own_level.reset(); }, 21, "create|"},
        {"no debug privilege", [](FakeProcessSystem& s) { s.debug_privilege = false; }, 21, "create|"},
        {"shell not opened", [](FakeProcessSystem& s) { s.open_process_works = false; }, -7, ""},
        {"token not opened", [](FakeProcessSystem& s) { s.open_token_works = false; }, -8, ""},
        {"token not duplicated", [](FakeProcessSystem& s) { s.duplicate_works = false; }, -9, ""},
        {"no CreateProcessWithTokenW", [](FakeProcessSystem& s) { s.token_start_available = false; }, 0, ""},
        {"creation fails", [](FakeProcessSystem& s) { s.programs.erase("C:\\App\\app.exe"); }, -11, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcessSystem system;
        system.programs["C:\\App\\app.exe"] = {.exit_code = 21, .waits = 0};
        c.setup(system);
        ProcessStartRequest request;
        request.command_line = "\"C:\\App\\app.exe\" ";
        request.window_mode = 1;
        request.wait = true;
        request.user = "$KYRT_UAC$";
        request.password = "never used";
        EXPECT_EQ(StartUnelevated(system, request, {}), c.result);
        std::vector<std::string> calls = system.calls();
        if (!c.started_by.empty()) {
            ASSERT_FALSE(calls.empty());
            EXPECT_TRUE(calls.back().starts_with(c.started_by)) << calls.back();
            EXPECT_TRUE(calls.back().ends_with("|\"C:\\App\\app.exe\" |0")) << calls.back();
        }
        for (const std::string& call : calls)
            EXPECT_FALSE(call.starts_with("logon")) << "the marker is no user name";
        if (c.started_by == "token ") {
            EXPECT_EQ(calls.back(), "token " + std::to_string(system.primary_token) + "|\"C:\\App\\app.exe\" |0");
            EXPECT_EQ(system.removed_privileges.size(), privileges_removed_for_unelevated.size());
            EXPECT_EQ(system.removed_privileges.front(), "SeCreateGlobalPrivilege");
            EXPECT_EQ(system.removed_privileges.back(), "SeTakeOwnershipPrivilege");
        }
        EXPECT_EQ(system.open_handles(), 0u) << "every handle of the steps is closed";
    }
}

// A script of one run command and its result in RC.
struct RunScript : ScriptRun {
    RunScript(const Cmd& command, std::map<std::string, std::string> start = {}) : ScriptRun({command}, start) {}
    FakeProcessSystem& system() { return *host.programs.system; }
};

TEST(RunProgramCommand, StoresTheCodeWithTheFolderChangedForTheRunOnly)
{
    struct Case {
        std::string name;
        std::vector<std::string> parameters;
        FakeProcessSystem::Program program;
        std::string result;
        std::string shell_call;
        std::string folder; // the engine's current folder during the run
    };
    const Case cases[] = {
        {"waited for",
         {"C:\\Tools\\app.exe", "FALSE", "-q", "TRUE", "RC"},
         {7, 2, false},
         "7",
         "shell open|C:\\Tools\\app.exe|-q|C:\\Tools\\|5",
         "C:\\Tools\\"},
        {"hidden, not waited for",
         {"C:\\Tools\\app.exe", "TRUE", "", "FALSE", "RC"},
         {7, -1, false},
         "259",
         "shell open|C:\\Tools\\app.exe||C:\\Tools\\|0",
         "C:\\Tools\\"},
        {"missing",
         {"C:\\Tools\\none.exe", "FALSE", "", "TRUE", "RC"},
         {7, 0, false},
         "-1",
         "shell open|C:\\Tools\\none.exe||C:\\Tools\\|5",
         "C:\\Tools\\"},
        // In the 32-bit view a program of the system folder is the 32-bit one.
        {"system folder",
         {"C:\\Windows\\System32\\cmd.exe", "FALSE", "", "TRUE", "RC"},
         {0, 0, false},
         "-1",
         "shell open|C:\\Windows\\SysWOW64\\cmd.exe||C:\\Windows\\SysWOW64\\|5",
         "C:\\Windows\\SysWOW64\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunScript run({"Run Program", c.parameters});
        run.system().programs["C:\\Tools\\app.exe"] = c.program;
        std::vector<std::string> folders_during;
        run.host.on_wait_step = [&] { folders_during.push_back(run.host.programs.folder); };
        ASSERT_TRUE(run.run());
        EXPECT_TRUE(run.host.errors.empty());
        EXPECT_EQ(run.var("RC"), c.result);
        EXPECT_EQ(run.system().calls().at(0), c.shell_call);
        EXPECT_EQ(run.host.programs.folder, "C:\\Engine\\") << "put back after the run";
        ASSERT_FALSE(folders_during.empty());
        EXPECT_EQ(folders_during.front(), c.folder);
        EXPECT_EQ(*run.host.programs.frames, 1);
    }
}

TEST(RunProgramCommand, EmptyResultVariableStoresNothingAndAFolderThatCannotBeEnteredIsIgnored)
{
    RunScript run({"Run Program", {"C:\\Gone\\app.exe", "FALSE", "", "TRUE", ""}});
    run.system().programs["C:\\Gone\\app.exe"] = {4, 0, false};
    run.host.programs.missing_folders = {"C:\\Gone\\"};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.system().calls().at(0), "shell open|C:\\Gone\\app.exe||C:\\Gone\\|5");
    EXPECT_EQ(run.host.programs.folder, "C:\\Engine\\");
    EXPECT_FALSE(run.vars.Exists(""));
}

TEST(RunProgramAsCommand, BuildsTheStartFromItsParameters)
{
    struct Case {
        std::string name;
        std::vector<std::string> parameters;
        std::string result;
        std::string call;
    };
    const std::string line = "\"C:\\Tools\\app.exe\" /a b";
    const Case cases[] = {
        {"current user",
         {"C:\\Tools\\app.exe", "C:\\Work\\", "/a b", "3", "", "", "", "RC", "TRUE", ""},
         "8",
         "create|" + line + "|2"},
        {"another user",
         {"C:\\Tools\\app.exe", "", "/a b", "1", "ann", "pw", "LAB", "RC", "TRUE", ""},
         "8",
         "logon ann/LAB/pw|" + line + "|0"},
        // Not elevated here: the marker runs the program as the engine's own user.
        {"unelevated marker",
         {"C:\\Tools\\app.exe", "", "/a b", "4", "$KYRT_UAC$", "", "", "RC", "TRUE", ""},
         "8",
         "create|" + line + "|7"},
        {"not waited for",
         {"C:\\Tools\\app.exe", "", "/a b", "0", "", "", "", "RC", "FALSE", ""},
         "259",
         "create|" + line + "|5"},
        {"cannot be created",
         {"C:\\Tools\\none.exe", "", "", "0", "", "", "", "RC", "TRUE", ""},
         "-11",
         "create|\"C:\\Tools\\none.exe\" |5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunScript run({"Run Program As", c.parameters});
        run.system().programs["C:\\Tools\\app.exe"] = {8, 1, false};
        run.system().own_level = integrity_medium;
        std::string folder_during;
        run.host.on_wait_step = [&] { folder_during = run.host.programs.folder; };
        ASSERT_TRUE(run.run());
        EXPECT_TRUE(run.host.errors.empty());
        EXPECT_EQ(run.var("RC"), c.result);
        EXPECT_EQ(run.system().calls().back(), c.call);
        // Only a working folder given changes the engine's folder.
        EXPECT_EQ(folder_during, c.parameters[1].empty() ? "C:\\Engine\\" : c.parameters[1]);
        EXPECT_EQ(run.host.programs.folder, "C:\\Engine\\");
    }
}

TEST(RunProgramAsCommand, EnvironmentTextBecomesTheBlock)
{
    RunScript run({"Run Program As", {"C:\\Tools\\app.exe", "", "", "0", "", "", "", "RC", "TRUE", "QV_TEST=on"}});
    run.system().programs["C:\\Tools\\app.exe"] = {0, 0, false};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("RC"), "0");
    EXPECT_EQ(run.system().last_environment(), std::string("QV_TEST=on\0\0", 12));
}

TEST(RunProgramCommand, CancelProtocol)
{
    struct Case {
        std::string name;
        std::string command;
        int program_waits;         // -1: runs on after the cancel
        bool cancel_before;        // the cancel was pending when the command began
        std::string abort_on_error;
        std::string result;        // empty: not stored
        bool given_up;
        bool marks_aborted; // ABORTEDONERROR "TRUE" when the script goes on
    };
    const Case cases[] = {
        {"ends by itself", "Run Program", 3, false, "FALSE", "5", false, false},
        {"cancelled, ends in time", "Run Program", 40, true, "FALSE", "5", false, true},
        {"cancelled, runs on", "Run Program", -1, true, "FALSE", "-314", true, true},
        {"as: cancelled, runs on", "Run Program As", -1, true, "FALSE", "-314", true, true},
        {"cancel ends the script", "Run Program", -1, true, "TRUE", "", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> parameters =
            c.command == "Run Program"
                ? std::vector<std::string>{"C:\\Tools\\app.exe", "FALSE", "", "TRUE", "RC"}
                : std::vector<std::string>{"C:\\Tools\\app.exe", "C:\\Work\\", "", "0", "", "", "", "RC", "TRUE", ""};
        RunScript run({c.command, parameters}, {{"ABORTONERROR", c.abort_on_error}, {"ABORTEDONERROR", "FALSE"}});
        run.system().programs["C:\\Tools\\app.exe"] = {5, c.program_waits, false};
        run.host.timer_interval = c.given_up ? 50ms : 20s;
        // The cancel is clicked once the program runs.
        run.host.on_wait_step = [&] {
            if (c.cancel_before && run.system().wait_count() > 0)
                DefineVar(run.vars, "KYRT_IsCancelled", "TRUE", "Cancel State");
        };
        run.run();
        EXPECT_TRUE(run.host.errors.empty());
        if (c.result.empty()) {
            EXPECT_FALSE(run.vars.Exists("RC"));
        } else {
            EXPECT_EQ(run.var("RC"), c.result);
        }
        EXPECT_EQ(run.host.timer_ticks, c.given_up ? 1 : 0);
        EXPECT_TRUE(run.host.timers.empty()) << "the kill timer is disarmed after the wait";
        EXPECT_EQ(run.host.programs.folder, "C:\\Engine\\") << "put back also after a cancel";
        if (c.cancel_before) {
            EXPECT_EQ(run.host.error_boxes, std::vector<std::string>{"Setup cancelled"});
            EXPECT_EQ(run.executor->ended(), c.abort_on_error == "TRUE");
            if (c.marks_aborted) {
                EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
            }
        } else {
            EXPECT_TRUE(run.host.error_boxes.empty());
            EXPECT_EQ(run.var("ABORTEDONERROR"), "FALSE");
        }
    }
}

TEST(RunProgramCommand, ACancelPendingBeforeTheCommandStartsNothing)
{
    RunScript run({"Run Program", {"C:\\Tools\\app.exe", "FALSE", "", "TRUE", "RC"}},
                  {{"KYRT_IsCancelled", "TRUE"}, {"ABORTONERROR", "FALSE"}});
    run.system().programs["C:\\Tools\\app.exe"] = {5, 0, false};
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.system().calls().empty());
    EXPECT_EQ(run.var("RC"), "-314");
    EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
}

TEST(RunProgramCommand, PublishesProgressWhileItWaits)
{
    RunScript run({"Run Program", {"C:\\Tools\\app.exe", "FALSE", "", "TRUE", "RC"}},
                  {{"PROGRESS", "37"}, {"PROGRESSTEXT", "Installing the runtime"}});
    run.system().programs["C:\\Tools\\app.exe"] = {0, 5, false};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("KYRT_thProgress"), "37");
    EXPECT_EQ(run.var("KYRT_thMax"), "100");
    EXPECT_EQ(run.var("KYRT_thProgressText"), "Installing the runtime");
}

TEST(RunLightModeSetupCommand, RunsTheScriptAsASetupWhereItLiesAndPutsEverythingBack)
{
    using Files = std::map<std::string, std::string>;
    struct Case {
        std::string name;
        Files before;
        std::string result;
        bool runs;
        Files during; // the files while the program runs
    };
    const std::string script = "C:\\Light\\light.exe";
    const Files engine = {{"C:\\Engine\\qvo.lib", "archive library"}};
    auto with = [&](Files more) {
        more.insert(engine.begin(), engine.end());
        return more;
    };
    const Case cases[] = {
        {"made, run and undone", with({{script, "script"}}), "9", true,
         with({{script, "STUB:script"}, {script + ".nox", "script"}, {"C:\\Light\\qvo.lib", "archive library"}})},
        // A qvo.lib of the folder's own is neither replaced nor taken away.
        {"qvo.lib there already", with({{script, "script"}, {"C:\\Light\\qvo.lib", "its own"}}), "9", true,
         with({{script, "STUB:script"}, {script + ".nox", "script"}, {"C:\\Light\\qvo.lib", "its own"}})},
        {"no script file", with({}), "-1", false, {}},
        {"a .nox file in the way", with({{script, "script"}, {script + ".nox", "older"}}), "-1", false, {}},
        {"a .to file in the way", with({{script, "script"}, {script + ".to", "older"}}), "-1", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunScript run({"Run Light Mode Setup", {script, "RC", "/s", "TRUE"}});
        run.host.programs.files = c.before;
        run.system().programs[script] = {9, 2, false};
        Files during;
        run.host.on_wait_step = [&] {
            if (during.empty())
                during = run.host.programs.files;
        };
        ASSERT_TRUE(run.run());
        EXPECT_TRUE(run.host.errors.empty());
        EXPECT_EQ(run.var("RC"), c.result);
        EXPECT_EQ(run.host.programs.files, c.before) << "everything as it was";
        if (c.runs) {
            EXPECT_EQ(during, c.during);
            EXPECT_EQ(run.system().calls().at(0), "shell open|" + script + "|/s|C:\\Light\\|5");
        } else {
            EXPECT_TRUE(run.system().calls().empty()) << "nothing runs";
        }
    }
}

TEST(RunLightModeSetupCommand, AScriptStillInUseAfterACancelStaysUnderItsNoxName)
{
    const std::string script = "C:\\Light\\light.exe";
    RunScript run({"Run Light Mode Setup", {script, "RC", "", "TRUE"}}, {{"ABORTONERROR", "FALSE"}});
    run.host.programs.files = {{script, "script"}, {"C:\\Engine\\qvo.lib", "archive library"}};
    run.system().programs[script] = {0, -1, false};
    run.host.timer_interval = 50ms;
    run.host.on_wait_step = [&] {
        // The program runs from the built file, which cannot be deleted meanwhile.
        run.host.programs.locked = {script};
        if (run.system().wait_count() > 0)
            DefineVar(run.vars, "KYRT_IsCancelled", "TRUE", "Cancel State");
    };
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("RC"), "-314");
    EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
    EXPECT_EQ(run.host.programs.files.at(script + ".nox"), "script") << "not lost";
    EXPECT_FALSE(run.host.programs.files.contains("C:\\Light\\qvo.lib"));
}

} // namespace
} // namespace quillon::test
