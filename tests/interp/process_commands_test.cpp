// The process and service commands through the loop, against a fake system:
// which process name matches, which window is asked to close and how often,
// the service state names, and how a library is registered by its kind with
// the current folder put back.
#include "interp/process_rules.h"
#include "interp_test_support.h"

namespace quillon::test {
namespace {

TEST(CheckProcess, MatchesTheBareFileNameInAnyAsciiCase)
{
    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"EXPLORER.EXE", "TRUE"},
        {"explorer.exe", "TRUE"},
        {"Setup.exe", "TRUE"}, // the snapshot gave a full path: its file name counts
        {"C:\\Windows\\explorer.exe", "FALSE"},
        {"explorer", "FALSE"},
        {"notepad.exe", "FALSE"},
        {"", "FALSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptRun run({{"Set Variable", {"NAME", c.name}}, {"Check Process", {"$NAME$", "Found"}}});
        run.host.processes.processes = {"[System Process]", "explorer.exe", "C:\\Temp\\SETUP.EXE"};
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.var("FOUND"), c.expected);
    }
}

TEST(CheckProcess, KeepsTheResultNameAsWritten)
{
    ScriptRun run({{"Check Process", {"a.exe", "$RESULT$"}}});
    run.host.processes.processes = {"a.exe"};
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.var("$RESULT$"), "TRUE");
    EXPECT_EQ(run.var("RESULT"), "");
}

const std::vector<TopWindow> desktop = {
    {1, "Shell_TrayWnd", ""},
    {2, "Notepad", "notes.txt - Notepad"},
    {3, "QuillonTestWindow", "Quillon Test"},
    {4, "QuillonTestWindow", "Quillon Test 2"},
};

TEST(TerminateProgram, AsksTheFirstMatchingWindowInEachOfTenWalks)
{
    struct Case {
        std::string what;
        std::string title;
        std::string class_name;
        std::uintptr_t closed; // 0: none
    };
    const Case cases[] = {
        {"title only", "Quillon Test", "", 3},
        {"class only", "", "QuillonTest", 3},
        {"both", "Test 2", "QuillonTestWindow", 4},
        {"both must match", "notes", "QuillonTestWindow", 0},
        {"case-sensitive title", "quillon test", "", 0},
        {"case-sensitive class", "", "notepad", 0},
        {"part of the class", "", "Tray", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRun run({{"Terminate Program", {c.title, c.class_name}}});
        run.host.processes.windows = desktop;
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.host.processes.walks, terminate_rounds);
        if (c.closed == 0)
            EXPECT_TRUE(run.host.processes.closed.empty());
        else
            EXPECT_EQ(run.host.processes.closed, std::vector<std::uintptr_t>(terminate_rounds, c.closed));
    }
}

TEST(TerminateProgram, MovesOnToTheNextMatchOnceAWindowHasClosed)
{
    ScriptRun run({{"Set Variable", {"CLASS", "QuillonTestWindow"}}, {"Terminate Program", {"", "$CLASS$"}}});
    FakeProcesses& processes = run.host.processes;
    processes.windows = desktop;
    processes.on_close = [&](std::uintptr_t window) {
        std::erase_if(processes.windows, [&](const TopWindow& w) { return w.handle == window; });
    };
    EXPECT_TRUE(run.run());
    EXPECT_EQ(processes.closed, (std::vector<std::uintptr_t>{3, 4}));
    EXPECT_EQ(processes.walks, terminate_rounds) << "the walks go on when nothing matches any more";
}

TEST(TerminateProgram, WithBothPartsEmptyDoesNothing)
{
    ScriptRun run({{"Set Variable", {"NOTHING", ""}}, {"Terminate Program", {"$NOTHING$", ""}}});
    run.host.processes.windows = desktop;
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.host.processes.walks, 0);
    EXPECT_TRUE(run.host.processes.closed.empty());
}

TEST(CheckService, NamesEveryStateAndNotInstalledForTheRest)
{
    struct Case {
        std::optional<std::uint32_t> state;
        std::string expected;
    };
    const Case cases[] = {
        {1, "STOPPED"},       {2, "STARTING"}, {3, "STOPPING"},     {4, "RUNNING"},      {5, "CONTINUE_PENDING"},
        {6, "PAUSE_PENDING"}, {7, "PAUSED"},   {0, "NOTINSTALLED"}, {8, "NOTINSTALLED"}, {std::nullopt, "NOTINSTALLED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected + " " + (c.state ? std::to_string(*c.state) : "none"));
        ScriptRun run({{"Set Variable", {"HOST", "\\\\server"}}, {"Check Service", {"QSvc", "$HOST$", "State"}}});
        if (c.state)
            run.host.processes.services["QSvc"] = *c.state;
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.var("STATE"), c.expected);
        EXPECT_EQ(run.host.processes.service_queries, std::vector<std::string>{"\\\\server|QSvc"});
    }
}

TEST(RegisterLibrary, ChoosesTheWayByTheExtensionInAnyCase)
{
    struct Case {
        std::string path;
        std::string register_flag;
        std::string expected; // the registration as the fake records it
    };
    const Case cases[] = {
        {"C:\\App\\types.tlb", "TRUE", "tlb|C:\\App\\types.tlb|register|C:\\App\\"},
        {"C:\\App\\TYPES.TLB", "FALSE", "tlb|C:\\App\\TYPES.TLB|unregister|C:\\App\\"},
        {"C:\\App\\server.exe", "-1", "exe|C:\\App\\server.exe|\"C:\\App\\server.exe\" /regserver|C:\\App\\"},
        {"C:\\My App\\Server.EXE", "no",
         "exe|C:\\My App\\Server.EXE|\"C:\\My App\\Server.EXE\" /unregserver|C:\\My App\\"},
        {"C:\\App\\server.dll", "true", "dll|C:\\App\\server.dll|register|C:\\App\\"},
        {"C:\\App\\control.ocx", "FALSE", "dll|C:\\App\\control.ocx|unregister|C:\\App\\"},
        {"C:\\App.tlb\\server", "TRUE", "dll|C:\\App.tlb\\server|register|C:\\App.tlb\\"},
        {"\\\\server\\share\\types.tlb", "TRUE", "tlb|\\\\server\\share\\types.tlb|register|\\\\server\\share\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ScriptRun run({{"Set Variable", {"LIB", c.path}}, {"Register Library", {"$LIB$", c.register_flag, "Done"}}});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.host.processes.registrations, std::vector<std::string>{c.expected});
        EXPECT_EQ(run.var("DONE"), "TRUE");
        EXPECT_EQ(run.host.processes.folder, "C:\\Setup\\") << "the current folder is put back";
    }
}

// A 32-bit server library goes to the 32-bit registration program, quoted and silent.
TEST(RegisterLibrary, The32BitRegistrarIsNamedAndQuoted)
{
    const std::string registrar = "C:\\Windows\\SysWOW64\\regsvr32.exe";
    EXPECT_EQ(registrar_command_line(registrar, "C:\\My App\\old.dll", RegisterAction::register_server),
              "\"C:\\Windows\\SysWOW64\\regsvr32.exe\" /s \"C:\\My App\\old.dll\"");
    EXPECT_EQ(registrar_command_line(registrar, "C:\\App\\old.ocx", RegisterAction::unregister_server),
              "\"C:\\Windows\\SysWOW64\\regsvr32.exe\" /s /u \"C:\\App\\old.ocx\"");
}

TEST(RegisterLibrary, AnswersFalseWhenRegistrationFailsAndStillRestoresTheFolder)
{
    ScriptRun run({{"Register Library", {"C:\\App\\server.dll", "TRUE", "Done"}}});
    run.host.processes.registration_succeeds = false;
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.var("DONE"), "FALSE");
    EXPECT_EQ(run.host.processes.folder_changes, (std::vector<std::string>{"C:\\App\\", "C:\\Setup\\"}));
}

TEST(RegisterLibrary, RefusesAFileWithoutAFullPath)
{
    for (std::string path : {"server.dll", "lib\\server.dll", ".\\server.dll", "C:server.dll", "\\server.dll", ""}) {
        SCOPED_TRACE(path);
        ScriptRun run({{"Set Variable", {"LIB", path}}, {"Register Library", {"$LIB$", "TRUE", "Done"}}});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.var("DONE"), "FALSE");
        EXPECT_TRUE(run.host.processes.registrations.empty()) << "nothing is searched for by name";
        EXPECT_TRUE(run.host.processes.folder_changes.empty());
    }
}

TEST(RegisterLibrary, ReachesTheSystemFolderAsA32BitEngineWouldInTheWin32Mode)
{
    struct Case {
        std::string mode_flags[3];
        std::string expected;
    };
    const Case cases[] = {
        {{"TRUE", "", ""}, "dll|C:\\Windows\\SysWOW64\\qsrv.dll|register|C:\\Windows\\SysWOW64\\"},
        {{"", "", "TRUE"}, "dll|C:\\Windows\\system32\\qsrv.dll|register|C:\\Windows\\system32\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ScriptRun run({{"Set 64 Bit Mode", {c.mode_flags[0], c.mode_flags[1], c.mode_flags[2]}},
                       {"Register Library", {"C:\\Windows\\system32\\qsrv.dll", "TRUE", "Done"}}});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.host.processes.registrations, std::vector<std::string>{c.expected});
    }
}

} // namespace
} // namespace quillon::test
