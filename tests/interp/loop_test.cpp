// The execution loop: block structure, skip scans, GoTo, the wizard walk and
// the runtime error report, with a marker command that records what ran.
#include "interp_test_support.h"

#include <deque>

namespace quillon::test {
namespace {

Cmd mark(std::string text, bool disabled = false)
{
    return {std::string(probe_command), {std::move(text)}, disabled};
}

// "If" on the variable against a value, comparison code 0 (equal).
Cmd if_equal(std::string variable, std::string value, std::string name = "If", bool disabled = false)
{
    return {std::move(name), {std::move(variable), "0", std::move(value), "FALSE"}, disabled};
}

Cmd else_if_equal(std::string variable, std::string value, bool disabled = false)
{
    return if_equal(std::move(variable), std::move(value), "Else If", disabled);
}

Cmd plain(std::string name, bool disabled = false)
{
    return {std::move(name), {}, disabled};
}

// Runs the script with the probe command appending its parameter to TRACE and "Display
// Dialog" taking its modal results from a queue.
struct TracedRun : ScriptRun {
    explicit TracedRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {},
                       std::deque<int> dialog_results = {})
        : ScriptRun(commands, std::move(start)), results(std::move(dialog_results))
    {
        handlers.add(probe_command, [this](CommandCall& call) -> Result<void> {
            trace += TRY(call.text(1));
            return {};
        });
        handlers.add("Display Dialog", [this](CommandCall& call) -> Result<void> {
            std::string page = TRY(call.text(1));
            trace += "[" + page + "]";
            int result = 6;
            if (!results.empty()) {
                result = results.front();
                results.pop_front();
            }
            static const std::map<int, std::string> words = {{2, "CANCEL"}, {6, "NEXT"}, {7, "BACK"}};
            if (auto word = words.find(result); word != words.end())
                DefineVar(call.vars(), "WIZARD", word->second, "Display Dialog Action");
            call.executor().set_wizard_result(result);
            return {};
        });
    }
    std::string trace;
    std::deque<int> results;
};

struct LoopCase {
    std::string what;
    std::vector<Cmd> commands;
    std::map<std::string, std::string> start;
    std::string expected_trace;
};

TEST(ExecutionLoop, BlockChainsRunExactlyOneBranch)
{
    auto chain = [](std::string a, std::string b) {
        return LoopCase{"",
                        {mark("<"), if_equal("A", "1"), mark("a"), else_if_equal("B", "1"), mark("b"), plain("Else"),
                         mark("e"), plain("End"), mark(">")},
                        {{"A", a}, {"B", b}},
                        ""};
    };
    std::vector<LoopCase> cases;
    LoopCase c = chain("1", "1");
    c.what = "A holds: only A's branch", c.expected_trace = "<a>";
    cases.push_back(c);
    c = chain("0", "1");
    c.what = "B holds: only B's branch", c.expected_trace = "<b>";
    cases.push_back(c);
    c = chain("0", "0");
    c.what = "neither: the Else branch", c.expected_trace = "<e>";
    cases.push_back(c);
    cases.push_back({"a failed If without Else continues after its End",
                     {if_equal("A", "1"), mark("a"), plain("End"), mark("after")},
                     {{"A", "0"}},
                     "after"});
    cases.push_back(
        {"nested blocks, a disabled End and a wizard loop inside a skipped branch are matched by depth",
         {if_equal("A", "1"), if_equal("A", "0"), mark("x"), plain("End"), plain("End", true), plain("Wizard Loop"),
          mark("w"), plain("End"), mark("y"), plain("Else"), mark("else"), plain("End"), mark("after")},
         {{"A", "0"}},
         "elseafter"});
    cases.push_back({"a disabled If inside a skipped branch does not raise the depth",
                     {if_equal("A", "1"), if_equal("A", "0", "If", true), mark("x"), plain("End"), mark("after")},
                     {{"A", "0"}},
                     "after"});
    cases.push_back({"disabled chain members are passed over",
                     {if_equal("A", "1"), mark("a"), else_if_equal("A", "0", true), mark("hidden"), plain("Else", true),
                      mark("hidden2"), plain("End")},
                     {{"A", "0"}},
                     ""});
    cases.push_back({"a taken branch inside a taken branch; both Ends close their blocks",
                     {if_equal("A", "1"), if_equal("B", "1"), mark("ab"), plain("Else"), mark("a!b"), plain("End"),
                      mark("a"), plain("Else"), mark("!a"), plain("End"), mark("z")},
                     {{"A", "1"}, {"B", "1"}},
                     "abaz"});
    cases.push_back({"an Else If reached by a skip inside a running outer branch is evaluated",
                     {if_equal("A", "1"), if_equal("B", "1"), mark("b1"), else_if_equal("B", "2"), mark("b2"),
                      plain("End"), mark("a"), plain("End"), mark("z")},
                     {{"A", "1"}, {"B", "2"}},
                     "b2az"});
    cases.push_back({"disabled commands and Ignore are passed; a disabled last command does not run",
                     {mark("1"), plain("Ignore"), mark("x", true), mark("2"), mark("last", true)},
                     {},
                     "12"});
    cases.push_back({"a script of zero commands runs nothing", {}, {}, ""});
    for (const LoopCase& test : cases) {
        TracedRun run(test.commands, test.start);
        EXPECT_TRUE(run.run()) << test.what;
        EXPECT_EQ(run.trace, test.expected_trace) << test.what;
        EXPECT_EQ(run.executor->branch_counter(), 0) << test.what;
        EXPECT_TRUE(run.host.errors.empty()) << test.what;
    }
}

TEST(ExecutionLoop, GoToJumpsOutOfBlocksAndIntoTheMiddleOfChains)
{
    const LoopCase cases[] = {
        {"out of an open block: the branch counter is reset",
         {if_equal("A", "1"),
          mark("a"),
          {"GoTo Label", {"out"}},
          mark("never"),
          plain("End"),
          {"Label", {"OUT"}},
          mark("z")},
         {{"A", "1"}},
         "az"},
        {"into a chain: an Else If met in normal flow is evaluated like an If",
         {{"GoTo Label", {"Middle"}},
          if_equal("A", "1"),
          mark("a"),
          {"Label", {"middle"}},
          else_if_equal("B", "1"),
          mark("b"),
          plain("Else"),
          mark("e"),
          plain("End"),
          mark("z")},
         {{"A", "1"}, {"B", "1"}},
         "bz"},
        {"into a chain: an Else skips to the End, which does nothing",
         {{"GoTo Label", {"m"}},
          if_equal("A", "1"),
          {"Label", {"m"}},
          mark("a"),
          plain("Else"),
          mark("e"),
          plain("End"),
          plain("End"),
          mark("z")},
         {{"A", "1"}},
         "az"},
        {"a backward jump makes a loop that a condition ends",
         {{"Label", {"top"}},
          mark("."),
          if_equal("DONE", "1"),
          {"GoTo Label", {"exit"}},
          plain("End"),
          {std::string(second_probe_command), {}},
          {"GoTo Label", {"top"}},
          {"Label", {"exit"}},
          mark("z")},
         {{"DONE", "0"}},
         "..z"},
    };
    for (const LoopCase& test : cases) {
        TracedRun run(test.commands, test.start);
        run.handlers.add(second_probe_command, [](CommandCall& call) -> Result<void> {
            DefineVar(call.vars(), "DONE", "1", "test");
            return {};
        });
        EXPECT_TRUE(run.run()) << test.what;
        EXPECT_EQ(run.trace, test.expected_trace) << test.what;
        EXPECT_EQ(run.executor->branch_counter(), 0) << test.what;
    }
}

TEST(ExecutionLoop, WizardWalksNextBackAndCancel)
{
    auto dialog = [](std::string name, bool disabled = false) { return Cmd{"Display Dialog", {name}, disabled}; };
    std::vector<Cmd> wizard = {mark("<"),           plain("Wizard Loop"), dialog("one"), plain("Comment"),
                               dialog("two", true), dialog("three"),      plain("End"),  mark(">")};
    struct WizardCase {
        std::string what;
        std::deque<int> results;
        std::string expected_trace;
        std::string wizard_variable;
    };
    const WizardCase cases[] = {
        {"forward through every active page", {6, 6}, "<[one][three]>", "NEXT"},
        {"back from the second page shows the first again", {6, 7, 6, 6}, "<[one][three][one][three]>", "NEXT"},
        {"back from the first page leaves the loop forwards", {7}, "<[one]>", "BACK"},
        {"cancel leaves at the End", {6, 2}, "<[one][three]>", "CANCEL"},
        {"another result keeps the direction", {1, 6}, "<[one][three]>", "NEXT"},
    };
    for (const WizardCase& test : cases) {
        TracedRun run(wizard, {{"WIZARD", "NEXT"}}, test.results);
        EXPECT_TRUE(run.run()) << test.what;
        EXPECT_EQ(run.trace, test.expected_trace) << test.what;
        EXPECT_EQ(run.var("WIZARD"), test.wizard_variable) << test.what;
    }

    TracedRun only_disabled({plain("Wizard Loop"), dialog("one", true), plain("End"), mark("after")});
    EXPECT_TRUE(only_disabled.run());
    EXPECT_EQ(only_disabled.trace, "after") << "a loop of disabled pages is left at once";

    TracedRun jump_out(
        {plain("Wizard Loop"), dialog("one"), {"GoTo Label", {"x"}}, plain("End"), {"Label", {"x"}}, mark("after")});
    // The compile pass allows only pages inside a wizard loop; the walk itself
    // passes anything else, so a GoTo there is never reached.
    EXPECT_TRUE(jump_out.run());
    EXPECT_EQ(jump_out.trace, "[one]after");
}

TEST(ExecutionLoop, ARuntimeErrorReportsTheCommandAndStopsTheScript)
{
    // Comparison code 6 compares versions; "x.1" is not one.
    TracedRun run({mark("a"), {"If", {"V", "6", "1.0", "FALSE"}}, mark("b"), plain("End"), mark("c")}, {{"V", "x.1"}});
    EXPECT_FALSE(run.run());
    EXPECT_EQ(run.trace, "a");
    ASSERT_EQ(run.host.errors.size(), 1u);
    const std::string& report = run.host.errors[0];
    EXPECT_TRUE(report.starts_with("Runtime error in setup script:\r\rSource File: loop\rLine Number: 12\r\r"))
        << report;
    EXPECT_GT(report.size(),
              std::string("Runtime error in setup script:\r\rSource File: loop\rLine Number: 12\r\r").size())
        << "the failure's own message follows";
    EXPECT_EQ(run.host.attention, (std::vector<std::string>{"error", "clear"}))
        << "the taskbar shows the error while the report is up";

    TracedRun past_end({if_equal("A", "1"), mark("never")}, {{"A", "0"}});
    EXPECT_FALSE(past_end.run()) << "a block without End is a runtime error, not a silent end";
    EXPECT_EQ(past_end.host.errors.size(), 1u);
}

// A switch that cannot take effect before the next command (a language whose
// tables are missing) is a runtime error of the command that set it.
TEST(ExecutionLoop, ALanguageThatCannotBeLoadedFailsTheCommandThatSetIt)
{
    TracedRun run({mark("a"), {"Set Variable", {"LANGUAGE", "Klingon"}}, mark("b")});
    run.host.refresh_failure = "Klingon";
    run.host.refresh_vars = &run.vars;
    EXPECT_FALSE(run.run());
    EXPECT_EQ(run.trace, "a");
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_NE(run.host.errors[0].find("Line Number: 12\r"), std::string::npos) << run.host.errors[0];
    EXPECT_NE(run.host.errors[0].find("Cannot open translations.Klingon"), std::string::npos) << run.host.errors[0];
}

TEST(ExecutionLoop, HeadOfEveryIterationPumpsRefreshesAndSetsAbort)
{
    std::vector<Cmd> commands(700, plain("Comment"));
    TracedRun run(commands);
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.host.pumps, 3) << "at the commands 0, 314 and 628";
    EXPECT_EQ(run.host.refreshes, 700);

    TracedRun abort({mark("$ABORT$"), {std::string(second_probe_command), {}}, mark("$ABORT$")},
                    {{"KYRT_IsCancelled", "FALSE"}});
    abort.handlers.add(second_probe_command, [](CommandCall& call) -> Result<void> {
        DefineVar(call.vars(), "KYRT_IsCancelled", "-1", "test");
        return {};
    });
    EXPECT_TRUE(abort.run());
    EXPECT_EQ(abort.trace, "FALSETRUE");
}

TEST(ExecutionLoop, NamesMatchExactlyAndUnknownNamesDoNothing)
{
    TracedRun run({{"write to text file", {"lower"}}, {"Some Newer Command", {"x"}}, plain("Label"), mark("ok")});
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.trace, "ok");
}

// Every catalog command, run once with plain parameters: the known names that
// do nothing do nothing, a built handler reads its parameters in the forms the
// catalog gives, and a command whose handler is not built is a runtime error
// naming it rather than a silent success.
TEST(ExecutionLoop, EveryCatalogCommandRunsFailsAsUnsupportedOrDoesNothing)
{
    HandlerTable standard = StandardHandlers();
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        if ((info.marks & mark_block) != 0)
            continue; // "If", "Else If", "Else" and "End" are the loop's own
        std::vector<std::string> parameters(20);
        for (const ParamSpec& spec : info.parameters) {
            std::string& value = parameters[spec.position - 1];
            switch (spec.form) {
            case ParamForm::integer: value = "0"; break;
            case ParamForm::boolean:
            case ParamForm::boolean_written:
            case ParamForm::exact_flag:
            case ParamForm::exact_flag_written: value = "FALSE"; break;
            case ParamForm::result:
            case ParamForm::result_written:
            case ParamForm::result_persisted: value = "OUT"; break;
            default: break;
            }
        }
        if (info.name == "GoTo Label")
            parameters[0] = "there";
        ScriptRun run({{std::string(info.name), parameters}, {"Label", {"there"}}}, {{"SILENT", "TRUE"}});
        run.host.silent_run = true;
        bool ran = run.run();
        std::string report = run.host.errors.empty() ? std::string() : run.host.errors.front();
        const HandlerTable::Entry* entry = standard.find(info.name);
        ASSERT_NE(entry, nullptr);
        if ((info.marks & mark_no_op) != 0) {
            EXPECT_TRUE(ran) << report;
            EXPECT_FALSE(entry->handler) << "a no-op needs no handler";
        } else if (!entry->handler) {
            EXPECT_FALSE(ran);
            EXPECT_NE(report.find(NotSupportedMessage(info.name)), std::string::npos) << report;
        } else {
            EXPECT_EQ(report.find("is not supported"), std::string::npos) << report;
            EXPECT_EQ(report.find("form the command catalog gives"), std::string::npos) << report;
        }
    }
}

TEST(HandlerTable, OnlyCatalogNamesHaveEntries)
{
    HandlerTable table = StandardHandlers();
    EXPECT_EQ(table.entries().size(), CommandCatalog().size());
    EXPECT_EQ(table.find("set variable"), nullptr);
    EXPECT_EQ(table.find("(Un)Install MSI Setup"), nullptr);
    ASSERT_NE(table.find("Set Variable"), nullptr);
    EXPECT_TRUE(table.find("Set Variable")->handler);
    EXPECT_DEATH(table.add("Not A Command", [](CommandCall&) -> Result<void> { return {}; }), "not a catalog command");
}

TEST(ExecutionLoop, SetSixtyFourBitModeTakesTheLastExactTrue)
{
    // The first command sets "ia64", so an unchanged mode is visible.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"TRUE", "FALSE", "TRUE"}, "x64"},
        {{"true", "true", "true"}, "ia64"},
        {{"TRUE", "FALSE", "FALSE"}, "Win32"},
        {{"FALSE", "-1", "FALSE"}, "ia64"},
    };
    for (const auto& [flags, mode] : cases) {
        TracedRun run({{"Set 64 Bit Mode", {"FALSE", "TRUE", "FALSE"}}, {"Set 64 Bit Mode", flags}});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.executor->platform_mode(), mode) << flags[0] << flags[1] << flags[2];
    }
}

} // namespace
} // namespace quillon::test
