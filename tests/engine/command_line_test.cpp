#include "engine/command_line.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(CommandLineTail, DropsTheProgramPath)
{
    struct Case {
        std::string_view command_line;
        std::string_view tail;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Setup\\setup.exe\" /s", "/s"},
        {"\"C:\\Setup\\setup.exe\"", ""},
        {"\"C:\\Setup\\setup.exe\" ", ""},
        {"C:\\Setup\\setup.exe /s", "/s"},
        {"C:\\Setup\\setup.exe", ""},
        {"setup.exe  /s  X=1", " /s  X=1"},
        {"\"unclosed /s", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command_line);
        EXPECT_EQ(command_line_tail(c.command_line), c.tail);
    }
}

TEST(SplitArguments, GroupsQuotedBlanksAndDropsQuotes)
{
    EXPECT_EQ(split_arguments("  /s   TARGETDIR=\"C:\\My App\"  x"),
              (std::vector<std::string>{"/s", "TARGETDIR=C:\\My App", "x"}));
    EXPECT_EQ(split_arguments("\"\""), (std::vector<std::string>{""}));
    EXPECT_TRUE(split_arguments(" \t ").empty());
}

TEST(StartupOptions, ReadsSwitchesInAnyCaseWithSlashOrDash)
{
    struct Case {
        std::vector<std::string> arguments;
        bool silent;
        bool no_start_forms;
    };
    const Case cases[] = {
        {{"/s"}, true, false},      {{"/S"}, true, false},           {{"-qn"}, true, false},
        {{"-QN"}, true, false},     {{"s"}, false, false},           {{"/silent"}, false, false},
        {{"/update"}, false, true}, {{"-UpdateSetup"}, false, true}, {{"/s", "/update"}, true, true},
        {{}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? std::string("(none)") : c.arguments.front());
        StartupOptions options = parse_startup_options(c.arguments);
        EXPECT_EQ(options.silent, c.silent);
        EXPECT_EQ(options.no_start_forms, c.no_start_forms);
        EXPECT_EQ(options.quiet_start(), c.silent || c.no_start_forms);
    }
}

TEST(StartupOptions, ValueSwitchesCutThreeCharactersOfTheFirstMatch)
{
    StartupOptions options = parse_startup_options(
        {"/L=C:\\Logs\\Setup.LOG", "-l=second.log", "/G=\\\\Server\\Policy", "/m=D:\\Pkg\\Outer.EXE", "-P=E:\\Media"});
    EXPECT_EQ(options.log_file, "c:\\logs\\setup.log");
    EXPECT_EQ(options.group_policy_path, "\\\\server\\policy");
    EXPECT_EQ(options.package_path, "d:\\pkg\\outer.exe");
    EXPECT_EQ(options.media_override, "e:\\media");

    // The switch text may stand anywhere; three characters are cut from the start.
    EXPECT_EQ(parse_startup_options({"x/l=abc"}).log_file, "=abc");
    // Only "l=" and "p=" take the dash form.
    EXPECT_EQ(parse_startup_options({"-g=x", "-m=y"}).group_policy_path, "");
    EXPECT_EQ(parse_startup_options({"-g=x", "-m=y"}).package_path, "");
    EXPECT_EQ(parse_startup_options({"/s"}).log_file, "");
}

TEST(StartupOptions, CollectsAssignmentsInOrderWithUpperCaseNames)
{
    StartupOptions options =
        parse_startup_options({"targetdir=D:\\App", "/s", "Mode=Full=Yes", "TARGETDIR=E:\\Other", "-X=1", "plain"});
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(options.assignments,
              (std::vector<Pair>{{"TARGETDIR", "D:\\App"}, {"MODE", "Full=Yes"}, {"TARGETDIR", "E:\\Other"}}));
}

} // namespace
} // namespace quillon
