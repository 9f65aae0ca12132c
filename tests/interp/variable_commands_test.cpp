// The variable and string commands, run as small scripts through the loop.
#include "interp_test_support.h"

#include <gmock/gmock.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

Cmd set_variable(std::string name, std::string value)
{
    return {"Set Variable", {std::move(name), std::move(value)}};
}

Cmd math(std::string a, std::string b, std::string operation, std::string result = "R")
{
    return {"Mathematics", {std::move(a), std::move(b), std::move(operation), std::move(result)}};
}

// A failing command reports one runtime error and ends the script: the
// marker command after it does not run.
void expect_runtime_error(ScriptRun& run, std::string_view message)
{
    EXPECT_FALSE(run.run());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_THAT(run.host.errors[0], HasSubstr("Runtime error in setup script:"));
    EXPECT_THAT(run.host.errors[0], HasSubstr(std::string(message)));
    EXPECT_FALSE(VarExists(run.vars, "AFTER")) << "a command after the failing one ran";
}

Cmd after()
{
    return set_variable("AFTER", "ran");
}

TEST(SetVariable, PersistenceMarkerCountsOnlyForExactlyTrue)
{
    struct Case {
        std::string parameter;
        std::string name;
        bool persisted;
    };
    const Case cases[] = {
        {"RESULT$KYRT$KYRT$TRUE", "RESULT", true},
        {"RESULT$KYRT$KYRT$true", "RESULT", false},
        {"RESULT$KYRT$KYRT$", "RESULT", false},
        {"RESULT$KYRT$KYRT$-1", "RESULT", false},
        {"RESULT$KYRT$KYRT$TRUEX", "RESULT", false},
        {"$RESULT$$KYRT$KYRT$TRUE", "RESULT", true},
        {"RESULT", "RESULT", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameter);
        ScriptRun run({set_variable(c.parameter, "value")});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var(c.name), "value");
        if (c.parameter != c.name) {
            EXPECT_FALSE(VarExists(run.vars, c.parameter));
        }
        if (c.persisted)
            EXPECT_THAT(run.executor->persisted_variables(), ElementsAre(c.name));
        else
            EXPECT_THAT(run.executor->persisted_variables(), IsEmpty());
    }
}

TEST(SetVariable, PersistedNameIsListedOnce)
{
    ScriptRun run({set_variable("Result$KYRT$KYRT$TRUE", "1"), set_variable("RESULT$KYRT$KYRT$TRUE", "2"),
                   set_variable("OTHER$KYRT$KYRT$TRUE", "3")});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("RESULT"), "2");
    EXPECT_THAT(run.executor->persisted_variables(), ElementsAre("Result", "OTHER"));
}

TEST(SetVariable, ValueIsTranslatedThenExpanded)
{
    ScriptRun run({set_variable("GREETING", "Hello $WHO$"), set_variable("PLAIN", "$WHO$!")}, {{"WHO", "Ann"}});
    run.host.translations[command_id(0) + "/1"] = "Bonjour $WHO$";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("GREETING"), "Bonjour Ann");
    EXPECT_EQ(run.var("PLAIN"), "Ann!");
}

TEST(SetVariable, AbortAlsoSetsTheCancelFlag)
{
    ScriptRun run({set_variable("ABORT", "TRUE"), set_variable("FIRST", "$KYRT_IsCancelled$"),
                   set_variable("abort", "FALSE"), set_variable("SECOND", "$KYRT_IsCancelled$"),
                   set_variable("ABORTED", "TRUE")});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("FIRST"), "TRUE");
    EXPECT_EQ(run.var("SECOND"), "FALSE");
    EXPECT_EQ(run.var("KYRT_IsCancelled"), "FALSE") << "only the whole name ABORT has the side effect";
}

TEST(SetVariable, TimeoutTakesEffectAtOnce)
{
    const std::pair<std::string, std::int32_t> cases[] = {
        {"25", 25}, {"-3", -3}, {"0", 0}, {"abc", 10}, {"", 10}, {"12s", 10}, {"99999999999", 10},
    };
    for (const auto& [value, seconds] : cases) {
        SCOPED_TRACE(value);
        ScriptRun run({set_variable("kyrt_timeout", value)});
        run.process.timeout_seconds = 77;
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.process.timeout_seconds, seconds);
        EXPECT_EQ(run.var("KYRT_TIMEOUT"), value);
    }
}

struct ProgressHost : RecordingHost {
    bool progress_dialog_shown() override { return shown; }
    void update_progress_dialog(const std::string& text, std::int32_t value) override
    {
        updates.emplace_back(text, value);
    }
    bool shown = false;
    std::vector<std::pair<std::string, std::int32_t>> updates;
};

// Runs the script with a host whose progress dialog may be on screen.
bool run_with(ScriptRun& run, ProgressHost& host)
{
    TScriptExecutor executor(run.script, run.vars, host.roles(), run.handlers, run.process,
                             BuildLabelTable(run.script));
    return executor.Run();
}

TEST(SetVariable, ProgressRefreshesTheShownDialogAtOnce)
{
    ScriptRun run({set_variable("PROGRESS", "40")}, {{"PROGRESS", "0"}, {"PROGRESSTEXT", ""}});
    ProgressHost host;
    host.shown = true;
    ASSERT_TRUE(run_with(run, host));
    // Before the command the loop had nothing new to show; the refresh comes from the command.
    EXPECT_THAT(host.updates, ElementsAre(std::pair<std::string, std::int32_t>("", 40)));

    ScriptRun text_run({set_variable("progresstext", "Step $N$")}, {{"PROGRESS", "7"}, {"N", "2"}});
    ProgressHost text_host;
    text_host.shown = true;
    ASSERT_TRUE(run_with(text_run, text_host));
    ASSERT_FALSE(text_host.updates.empty());
    EXPECT_EQ(text_host.updates.back(), (std::pair<std::string, std::int32_t>("Step 2", 7)));

    ScriptRun hidden_run({set_variable("PROGRESS", "40")}, {{"PROGRESS", "0"}});
    ProgressHost hidden_host;
    ASSERT_TRUE(run_with(hidden_run, hidden_host));
    EXPECT_THAT(hidden_host.updates, IsEmpty());
    EXPECT_EQ(hidden_run.var("PROGRESS"), "40");
}

TEST(SetVariable, ProgressThatIsNotAnIntegerIsARuntimeError)
{
    for (const std::string value : {"half", "", "50%"}) {
        SCOPED_TRACE(value);
        ScriptRun run({set_variable("PROGRESS", value), after()}, {{"PROGRESS", "0"}});
        expect_runtime_error(run, "PROGRESS holds '" + value + "'");
    }
}

TEST(LocalizationVariable, TranslatesUnderTheVariablesOwnKey)
{
    ScriptRun run({{"Localization Variable", {"$GREETING$", "Hello $WHO$"}},
                   {"Localization Variable", {"FAREWELL", "Bye $WHO$"}}},
                  {{"WHO", "Ann"}});
    run.host.translations["FORGEKIT$GREETING$FORGEKIT/1"] = "Hallo $WHO$";
    run.host.translations[command_id(1) + "/1"] = "not the key of this command";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("GREETING"), "Hallo Ann");
    EXPECT_EQ(run.var("FAREWELL"), "Bye Ann");
}

TEST(LocalizationVariable, WithoutALanguageTheValueIsExpanded)
{
    ScriptRun run({{"Localization Variable", {"GREETING", "Hello $WHO$"}}}, {{"WHO", "Ann"}});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("GREETING"), "Hello Ann");
}

struct MathCase {
    std::string a;
    std::string b;
    std::string operation;
    std::string expected;
};

void run_math_cases(std::span<const MathCase> cases)
{
    for (const MathCase& c : cases) {
        SCOPED_TRACE(c.a + " [" + c.operation + "] " + c.b);
        ScriptRun run({math(c.a, c.b, c.operation)}, {{"N", "40"}, {"CH", "z"}});
        ASSERT_TRUE(run.run()) << (run.host.errors.empty() ? "" : run.host.errors[0]);
        EXPECT_EQ(run.var("R"), c.expected);
    }
}

TEST(Mathematics, ArithmeticWrapsIn64Bits)
{
    const MathCase cases[] = {
        {"2", "3", "0", "5"},
        {"$N$", "2", "0", "42"},
        {"9223372036854775807", "1", "0", "-9223372036854775808"},
        {"-9223372036854775808", "1", "1", "9223372036854775807"},
        {"10", "25", "1", "-15"},
        {"-7", "6", "2", "-42"},
        {"4611686018427387904", "2", "2", "-9223372036854775808"},
        {"-7", "2", "3", "-3"},
        {"7", "-2", "3", "-3"},
        {"-9223372036854775808", "-1", "3", "-9223372036854775808"},
        {"-7", "2", "4", "-1"},
        {"7", "-2", "4", "1"},
        {"-9223372036854775808", "-1", "4", "0"},
        {"12", "10", "5", "8"},
        {"12", "10", "6", "14"},
        {"12", "10", "7", "6"},
        {"+12", "-0", "0", "12"},
    };
    run_math_cases(cases);
}

TEST(Mathematics, ShiftsFillWithZeros)
{
    const MathCase cases[] = {
        {"1", "62", "8", "4611686018427387904"},
        {"1", "63", "8", "-9223372036854775808"},
        {"-1", "60", "9", "15"},
        {"-1", "0", "9", "-1"},
        {"-8", "1", "9", "9223372036854775804"},
        // Counts outside 0..63 shift every bit out.
        {"1", "64", "8", "0"},
        {"-1", "64", "9", "0"},
        {"1", "-1", "8", "0"},
        {"-1", "-1", "9", "0"},
    };
    run_math_cases(cases);
}

TEST(Mathematics, SingleOperandOperationsIgnoreTheSecond)
{
    const MathCase cases[] = {
        {"0", "not read", "10", "-1"},          {"-9223372036854775808", "not read", "10", "9223372036854775807"},
        {"A", "not read", "11", "65"},          {"\xE9t\xE9", "not read", "11", "233"},
        {"$CH$", "not read", "11", "122"},      {"", "not read", "11", "0"},
        {"65", "not read", "12", "A"},          {"321", "not read", "12", "A"},
        {"-191", "not read", "12", "A"},        {"4294967301", "not read", "14", "5"},
        {"4294967295", "not read", "14", "-1"},
    };
    run_math_cases(cases);
}

TEST(Mathematics, UnseededGeneratorYieldsZero)
{
    ScriptRun run({math("10", "", "15", "R1"), math("10", "", "15", "R2"), math("-7", "", "15", "R3")});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("R1"), "0");
    EXPECT_EQ(run.var("R2"), "0");
    EXPECT_EQ(run.var("R3"), "0");
}

TEST(Mathematics, SeededGeneratorFollowsItsRecurrence)
{
    // x = 1103515245 * state + 12345 in 32 bits, state = x rem 32767, result x rem 100:
    // state 42 -> x -896987621 -> state -23763, result -21; and so on.
    ScriptRun run({math("1103515245", "12345", "13", "SEED"), math("4294967338", "", "14", "STATE"),
                   math("100", "", "15", "R1"), math("100", "", "15", "R2"), math("100", "", "15", "R3"),
                   math("100", "", "15", "R4")});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("SEED"), "1103527590");
    EXPECT_EQ(run.var("STATE"), "42");
    EXPECT_EQ(run.var("R1"), "-21");
    EXPECT_EQ(run.var("R2"), "-10");
    EXPECT_EQ(run.var("R3"), "34");
    EXPECT_EQ(run.var("R4"), "55");
    EXPECT_EQ(run.process.random.multiplier, 1103515245);
    EXPECT_EQ(run.process.random.increment, 12345);
    EXPECT_EQ(run.process.random.state, 25854);
}

TEST(Mathematics, GeneratorStateOutlivesTheRun)
{
    ScriptRun run({math("1000", "", "15", "R1"), math("1000", "", "15", "R2"), math("1000", "", "15", "R3")});
    run.process.random = {214013, 2531011, 7};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("R1"), "102");
    EXPECT_EQ(run.var("R2"), "-717");
    EXPECT_EQ(run.var("R3"), "-776");
    EXPECT_EQ(run.process.random.state, -3733);
}

TEST(Mathematics, FaultsAreRuntimeErrors)
{
    struct Case {
        MathCase math;
        std::string message;
    };
    const Case cases[] = {
        {{"7", "0", "3", ""}, "Division by zero"},
        {{"7", "0", "4", ""}, "Division by zero"},
        {{"0", "", "15", ""}, "Division by zero"},
        {{"abc", "1", "0", ""}, "'abc' is not a valid integer value"},
        {{"1", "", "0", ""}, "'' is not a valid integer value"},
        {{"9223372036854775808", "1", "0", ""}, "'9223372036854775808' is not a valid integer value"},
        {{"", "1", "10", ""}, "'' is not a valid integer value"},
        {{"1", "1", "16", ""}, "no operation code 16"},
        {{"1", "1", "-1", ""}, "no operation code -1"},
        {{"1", "1", "add", ""}, "'add' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.math.a + " [" + c.math.operation + "] " + c.math.b);
        ScriptRun run({math(c.math.a, c.math.b, c.math.operation), after()}, {{"R", "untouched"}});
        expect_runtime_error(run, c.message);
        EXPECT_EQ(run.var("R"), "untouched");
    }
}

TEST(Mathematics, FailedRandomLeavesTheGeneratorAlone)
{
    ScriptRun run({math("0", "", "15")});
    run.process.random = {214013, 2531011, 7};
    EXPECT_FALSE(run.run());
    EXPECT_EQ(run.process.random.state, 7);
}

TEST(ParseString, CutsByPatternOrCount)
{
    struct Case {
        std::string source;
        std::string pattern;
        std::string mode;
        std::string first;
        std::string second;
    };
    const Case cases[] = {
        {"a=b=c", "=", "0", "a", "b=c"},
        {"a=b=c", "=", "1", "a=b", "c"},
        {"abc", "=", "0", "abc", ""},
        {"abc", "=", "1", "", "abc"},
        {"key::value::x", "::", "0", "key", "value::x"},
        {"key::value::x", "::", "1", "key::value", "x"},
        {"=abc=", "=", "0", "", "abc="},
        {"=abc=", "=", "1", "=abc", ""},
        // An empty pattern does not occur.
        {"abc", "", "0", "abc", ""},
        {"abc", "", "1", "", "abc"},
        {"", "=", "0", "", ""},
        {"abcdef", "2", "2", "ab", "cdef"},
        {"abcdef", "0", "2", "", "abcdef"},
        {"abcdef", "9", "2", "abcdef", ""},
        {"abcdef", "-2", "2", "", "abcdef"},
        {"abcdef", "x", "2", "", ""},
        {"abcdef", "2", "3", "abcd", "ef"},
        {"abcdef", "6", "3", "", "abcdef"},
        {"abcdef", "0", "3", "abcdef", ""},
        {"abcdef", "9", "3", "", "abcdef"},
        {"abcdef", "x", "3", "", ""},
        {"", "0", "3", "", ""},
        {"a=b", "=", "4", "", ""},
        {"a=b", "=", "-1", "", ""},
        // Both texts are in path form: doubled backslashes are reduced first.
        {"C:\\\\dir\\\\file.txt", "\\", "1", "C:\\dir", "file.txt"},
        {"$SRC$", "$SEP$", "0", "left", "right"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " / " + c.pattern + " / mode " + c.mode);
        ScriptRun run({{"Parse String", {c.source, c.pattern, "P1", "P2", c.mode, "FALSE", "FALSE"}}},
                      {{"P1", "old"}, {"P2", "old"}, {"SRC", "left;right"}, {"SEP", ";"}});
        ASSERT_TRUE(run.run()) << (run.host.errors.empty() ? "" : run.host.errors[0]);
        EXPECT_EQ(run.var("P1"), c.first);
        EXPECT_EQ(run.var("P2"), c.second);
    }
}

TEST(ParseString, IgnoringCaseFindsInLowerCaseButCutsTheSource)
{
    struct Case {
        std::string ignore_case;
        std::string mode;
        std::string first;
        std::string second;
    };
    const Case cases[] = {
        {"TRUE", "0", "One", "Two and THREE"},
        {"-1", "1", "One AND Two", "THREE"},
        {"FALSE", "0", "One AND Two", "THREE"},
        {"FALSE", "1", "One AND Two", "THREE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ignore_case + " mode " + c.mode);
        ScriptRun run(
            {{"Parse String", {"One AND Two and THREE", " and ", "P1", "P2", c.mode, "FALSE", c.ignore_case}}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("P1"), c.first);
        EXPECT_EQ(run.var("P2"), c.second);
    }
}

TEST(ParseString, TrimRemovesBlanksAndControlCharacters)
{
    ScriptRun run({{"Parse String", {"$SRC$", "=", "P1", "P2", "0", "TRUE", "FALSE"}}},
                  {{"SRC", "\t name \r\n=  value \t"}});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("P1"), "name");
    EXPECT_EQ(run.var("P2"), "value");
}

TEST(ParseString, EmptyResultNameStoresNothingAndNamesAreTakenAsWritten)
{
    ScriptRun run({{"Parse String", {"a=b", "=", "", "$P2$", "0", "FALSE", "FALSE"}}}, {{"P2", "old"}});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("$P2$"), "b");
    EXPECT_EQ(run.var("P2"), "old");
}

TEST(ParseString, ModeThatIsNotAnIntegerIsARuntimeError)
{
    ScriptRun run({{"Parse String", {"a=b", "=", "P1", "P2", "first", "FALSE", "FALSE"}}, after()});
    expect_runtime_error(run, "'first' is not a valid integer value");
}

TEST(ReplaceString, ReplacesFirstOrEveryOccurrence)
{
    struct Case {
        std::string value;
        std::string find;
        std::string with;
        std::string ignore_case;
        std::string all;
        std::string expected;
    };
    const Case cases[] = {
        {"a\r\nb", "$NEWLINE$", " ", "FALSE", "FALSE", "a b"},
        {"one\r\ntwo\r\nthree", "$NEWLINE$", " ", "FALSE", "TRUE", "one two three"},
        {"one\r\ntwo\r\nthree", "$NEWLINE$", " ", "FALSE", "FALSE", "one two$NEWLINE$three"},
        {"a,b", ",", "$NEWLINE$", "FALSE", "TRUE", "a$NEWLINE$b"},
        {"aaaa", "aa", "b", "FALSE", "TRUE", "bb"},
        {"aaa", "a", "aa", "FALSE", "TRUE", "aaaaaa"},
        {"x.y.z", ".", "", "FALSE", "TRUE", "xyz"},
        {"Hello hello", "HELLO", "x", "TRUE", "TRUE", "x x"},
        {"Hello hello", "HELLO", "x", "-1", "FALSE", "x hello"},
        {"Hello hello", "HELLO", "x", "FALSE", "TRUE", "Hello hello"},
        {"abc", "", "x", "FALSE", "TRUE", "abc"},
        {"ab", "abc", "x", "FALSE", "TRUE", "ab"},
        {"", "a", "x", "FALSE", "TRUE", ""},
        {"path here", "$WHO$", "$WHERE$", "FALSE", "TRUE", "path there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value + " / " + c.find + " / " + c.with);
        ScriptRun run({{"Replace String", {"$V$", c.find, c.with, c.ignore_case, c.all}}},
                      {{"NEWLINE", "\r\n"}, {"V", c.value}, {"WHO", "here"}, {"WHERE", "there"}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("V"), c.expected);
    }
}

TEST(ReplaceString, StoredTokenBecomesALineBreakWhenExpanded)
{
    ScriptRun run({{"Replace String", {"LIST", ";", "$NEWLINE$", "FALSE", "TRUE"}}, set_variable("TEXT", "$LIST$")},
                  {{"NEWLINE", "\r\n"}, {"LIST", "a;b"}});
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("LIST"), "a$NEWLINE$b");
    EXPECT_EQ(run.var("TEXT"), "a\r\nb");
}

TEST(ConvertCase, ConvertsThePathFormOfTheValue)
{
    struct Case {
        std::string value;
        std::string upper;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\\\Program Files\\\\App", "TRUE", "C:\\PROGRAM FILES\\APP"},
        {"MiXeD $REF$", "FALSE", "mixed inner"},
        {"\xE9t\xE9", "true", "\xC9T\xC9"},
        {"\\\\Server\\Share", "FALSE", "\\\\server\\share"},
        {"", "TRUE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ScriptRun run({{"Convert Case", {"V", c.upper}}}, {{"V", c.value}, {"REF", "Inner"}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("V"), c.expected);
    }
}

TEST(ConvertPath, ShortFormFromTheFileSystem)
{
    ScriptRun run({{"Convert Path", {"V", "TRUE"}}, {"Convert Path", {"MISSING", "TRUE"}}},
                  {{"V", "C:\\\\Program Files\\\\App"}, {"MISSING", "C:\\\\No Such"}});
    run.host.short_paths["C:\\Program Files\\App"] = "C:\\PROGRA~1\\App";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("V"), "C:\\PROGRA~1\\App");
    EXPECT_EQ(run.var("MISSING"), "C:\\No Such") << "a path the system cannot shorten stays in path form";
}

TEST(ConvertPath, LongFormClimbsToTheRoot)
{
    struct Case {
        std::string value;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\PROGRA~1\\APPLIC~1", "C:\\Program Files\\Application"},
        {"C:\\PROGRA~1\\APPLIC~1\\", "C:\\Program Files\\Application\\"},
        {"c:\\PROGRA~1", "c:\\Program Files"},
        // The first part that cannot be found ends the climb and stays as written.
        {"C:\\PROGRA~1\\missing", "C:\\PROGRA~1\\missing"},
        {"C:\\X~1\\APP", "C:\\X~1\\App"},
        {"C:\\", "C:\\"},
        {"C:", "C:"},
        {"", ""},
        {"PROGRA~1", "Program Files"},
        {"\\\\srv\\share\\DOC~1", "\\\\srv\\share\\Documents"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        ScriptRun run({{"Convert Path", {"V", "FALSE"}}}, {{"V", c.value}});
        run.host.long_names = {
            {"C:\\PROGRA~1", "Program Files"},
            {"c:\\PROGRA~1", "Program Files"},
            {"C:\\PROGRA~1\\APPLIC~1", "Application"},
            {"C:\\X~1\\APP", "App"},
            {"PROGRA~1", "Program Files"},
            {"\\\\srv\\share\\DOC~1", "Documents"},
        };
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("V"), c.expected);
    }
}

TEST(ExtractPath, PartsOfAPath)
{
    struct Case {
        std::string path;
        std::string code;
        std::string expected;
    };
    const Case cases[] = {
        {"setup.tar.gz", "2", "gz"},
        {"setup.tar.gz", "1", "setup.tar"},
        {"setup.tar.gz", "0", "setup.tar.gz"},
        {"C:\\a\\b\\c.txt", "0", "c.txt"},
        {"C:\\a\\b\\c.txt", "1", "c"},
        {"C:\\a\\b\\c.txt", "2", "txt"},
        {"C:\\a\\b\\c.txt", "3", "C:\\a\\b\\"},
        {"C:\\a\\b\\c.txt", "4", "C:\\a\\"},
        {"C:\\a\\b\\c.txt", "5", "C:\\"},
        {"C:\\a\\b\\c.txt", "6", "C:\\a\\b\\c.txt"},
        {"C:\\a\\b\\c.txt", "7", "C:\\a\\b\\c.txt"},
        {"C:\\a\\\\b\\c.txt", "-1", "C:\\a\\b\\c.txt"},
        {"C:\\a\\\\\\\\b", "-1", "C:\\a\\\\b"},
        {"C:\\a\\\\\\\\b", "6", "C:\\a\\b"},
        {"C:\\dir.d\\README", "2", ""},
        {"C:\\dir.d\\README", "1", "README"},
        {"C:\\c.txt", "4", "C:\\"},
        {"C:file.txt", "0", "file.txt"},
        {"C:file.txt", "3", "C:\\"},
        {"C:\\a\\", "0", ""},
        {"C:\\a\\", "3", "C:\\a\\"},
        {"C:\\a\\", "4", "C:\\"},
        // Without a folder the folder, its parent and the drive are empty.
        {"README", "3", ""},
        {"README", "4", ""},
        {"README", "5", ""},
        {"", "3", ""},
        {"\\\\srv\\share\\dir\\f.txt", "5", "\\\\srv\\share\\"},
        {"\\\\srv\\share\\dir\\f.txt", "4", "\\\\srv\\share\\"},
        {"\\\\srv\\share\\dir\\f.txt", "6", "\\\\srv\\share\\dir\\f.txt"},
        {"\\\\srv", "5", "\\\\srv\\"},
        {"$BASE$\\\\sub\\x.ini", "3", "C:\\App\\sub\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " code " + c.code);
        ScriptRun run({{"Extract Path", {"V", c.code}}}, {{"V", c.path}, {"BASE", "C:\\App"}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("V"), c.expected);
    }
}

TEST(ExtractPath, CodeThatIsNotAnIntegerIsARuntimeError)
{
    ScriptRun run({{"Extract Path", {"V", "name"}}, after()}, {{"V", "C:\\a.txt"}});
    expect_runtime_error(run, "'name' is not a valid integer value");
    EXPECT_EQ(run.var("V"), "C:\\a.txt");
}

TEST(EvaluateExpression, StoresTrueFalseOrError)
{
    struct Case {
        std::string expression;
        std::string expected;
    };
    const Case cases[] = {
        {"$COUNT$ > \"3\"", "TRUE"},
        {"$COUNT$ < \"3\"", "FALSE"},
        {"($MODE$ = \"full\" or $MODE$ = \"custom\")", "TRUE"},
        {"$MODE$ = \"full\" and $COUNT$ = \"5\"", "FALSE"},
        {"$COUNT$ >", "ERROR"},
        {"$UNKNOWN$ = \"x\"", "ERROR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        ScriptRun run({{"Evaluate Expression", {c.expression, "ANSWER"}}}, {{"COUNT", "5"}, {"MODE", "custom"}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("ANSWER"), c.expected);
    }
}

TEST(EvaluateExpression, IntegerOutOfRangeIsARuntimeError)
{
    ScriptRun run({{"Evaluate Expression", {"$BIG$ = \"1\"", "ANSWER"}}, after()}, {{"BIG", "99999999999"}});
    expect_runtime_error(run, "out of range");
}

TEST(GetTemporaryFile, StoresThePathOfTheNewFile)
{
    ScriptRun run({{"Get Temporary File", {"$TEMPFILE$"}}}, {{"TEMPDIR", "C:\\Temp\\"}});
    run.host.temp_file_result = "C:\\Temp\\qvo1A2B.tmp";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("TEMPFILE"), "C:\\Temp\\qvo1A2B.tmp");
    EXPECT_THAT(run.host.temp_requests, ElementsAre("C:\\Temp\\|qvo"));
}

TEST(GetTemporaryFile, FailureStoresAnEmptyText)
{
    ScriptRun run({{"Get Temporary File", {"TEMPFILE"}}}, {{"TEMPDIR", "X:\\gone\\"}, {"TEMPFILE", "old"}});
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(VarExists(run.vars, "TEMPFILE"));
    EXPECT_EQ(run.var("TEMPFILE"), "");
}

// Result variables marked as written keep the dollar signs of "$X$"; the others lose them.
TEST(VariableCommands, ResultNamesWrittenOrStripped)
{
    struct Case {
        Cmd command;
        std::string stored_under;
        std::string value;
    };
    const Case cases[] = {
        {set_variable("$X$", "v"), "X", "v"},
        {{"Localization Variable", {"$X$", "v"}}, "X", "v"},
        {{"Get Temporary File", {"$X$"}}, "X", "C:\\T\\qvo1.tmp"},
        {{"Replace String", {"$X$", "old", "new", "FALSE", "FALSE"}}, "X", "new"},
        {math("2", "3", "0", "$X$"), "$X$", "5"},
        {{"Evaluate Expression", {"\"1\" = \"1\"", "$X$"}}, "$X$", "TRUE"},
        {{"Parse String", {"a=b", "=", "$X$", "", "0", "FALSE", "FALSE"}}, "$X$", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.name);
        ScriptRun run({c.command}, {{"X", "old"}});
        run.host.temp_file_result = "C:\\T\\qvo1.tmp";
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var(c.stored_under), c.value);
        if (c.stored_under != "X") {
            EXPECT_EQ(run.var("X"), "old");
        }
    }
}

TEST(VariableCommands, NewResultVariablesAreCreatedUnderTheUpperCaseName)
{
    ScriptRun run({set_variable("fresh", "1"), math("1", "1", "0", "sum"), {"Get Temporary File", {"tmp"}}});
    run.host.temp_file_result = "C:\\T\\qvo2.tmp";
    ASSERT_TRUE(run.run());
    std::vector<std::string> pairs;
    run.vars.ToStrings(pairs);
    for (std::string_view name : {"FRESH", "SUM", "TMP"}) {
        SCOPED_TRACE(name);
        bool found = false;
        for (std::size_t i = 0; i + 1 < pairs.size(); i += 2)
            found = found || pairs[i] == name;
        EXPECT_TRUE(found);
    }
}

} // namespace
} // namespace quillon::test
