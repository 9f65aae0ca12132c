#include "script/compile_pass.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

// Commands carry every parameter their layout has: checks read by position,
// and a shorter block would let them read the next command's lines.
struct Cmd {
    std::string name;
    std::vector<std::string> params;
    bool disabled = false;
};

TScriptImage build(const std::vector<Cmd>& commands, std::vector<BuildConstantValue> constants = {})
{
    CompiledScript script;
    script.product_code = "{5D0E5D8C-1D2B-4B8A-9C1E-0123456789AB}";
    script.product_title = "Demo";
    script.revision_code = "{6D0E5D8C-1D2B-4B8A-9C1E-0123456789AB}";
    script.build_constants = std::move(constants);
    int n = 0;
    for (const Cmd& c : commands) {
        CompiledCommand cc;
        cc.name = c.name;
        char id[48];
        std::snprintf(id, sizeof id, "{00000000-0000-0000-0000-%012d}", ++n);
        cc.identifier = id;
        cc.disabled = c.disabled;
        cc.project_file = "main";
        cc.project_line = n;
        cc.parameters = c.params;
        script.commands.push_back(std::move(cc));
    }
    auto text = write_script_image(script);
    EXPECT_TRUE(text.has_value());
    auto image = parse_script_image({reinterpret_cast<const std::byte*>(text->data()), text->size()});
    EXPECT_TRUE(image.has_value());
    return std::move(*image);
}

struct Case {
    const char* what;
    std::vector<Cmd> commands;
    std::int32_t result;
    std::string message;
};

const std::string ok = "Script compiled successfully";
const std::string not_defined = "Variable not defined: ";

TEST(CompileScript, AcceptsAndRejectsWithExactMessages)
{
    const std::vector<Case> cases = {
        {"empty script", {}, -1, ok},
        {"two If one End",
         {{"If", {"TITLE", "0", "x"}}, {"If", {"TITLE", "0", "x"}}, {"End", {}}},
         2147483644,
         "Insufficient END statements"},
        {"one If two End",
         {{"If", {"TITLE", "0", "x"}}, {"End", {}}, {"End", {}}},
         2147483644,
         "Too many END statements"},
        {"disabled If not counted", {{"If", {"TITLE", "0", "x"}, true}}, -1, ok},
        {"label inside If",
         {{"If", {"TITLE", "0", "x"}}, {"Label", {"A"}}, {"End", {}}},
         1,
         "LABEL statements cannot be nested inside loops/conditionals"},
        {"labels clash ignoring case", {{"Label", {"Start"}}, {"Label", {"START"}}}, 1, "LABEL re-defined: START"},
        {"disabled label still clashes", {{"Label", {"a"}, true}, {"Label", {"A"}}}, 1, "LABEL re-defined: A"},
        {"goto forward label", {{"GoTo Label", {"later"}}, {"Label", {"LATER"}}}, -1, ok},
        {"goto unknown label", {{"Label", {"x"}}, {"GoTo Label", {"Nowhere"}}}, 1, "LABEL undefined: Nowhere"},
        {"goto without block", {{"GoTo Label", {}}}, 0, "LABEL undefined: "},
        {"web block bad name",
         {{"Web Media Block", {"C:\\a\\b*c", "http://x"}}},
         0,
         "Web Media Block name must be a legal file name"},
        {"web block name before colon ok", {{"Web Media Block", {"x/y:block", "http://x"}}}, -1, ok},
        {"web block without url",
         {{"Web Media Block", {"block", ""}}},
         0,
         "Web Media Block must have at least one download URL"},
        {"MSI installed needs variable", {{"Is MSI Setup Installed", {"{code}", ""}}}, 0, "Variable required"},
        {"Find All Files needs variable", {{"Find All Files", {"a", "b", "c", ""}}}, 0, "Variable required"},
        {"Check Disk Space needs variable", {{"Check Disk Space", {""}}}, 0, "Variable required"},
        {"If needs variable", {{"If", {"", "0", "x"}}, {"End", {}}}, 0, "Variable required"},
        {"delete with no mode",
         {{"Delete Files", {"a", "b", "false", "0"}}},
         0,
         "At least one delete mode must be selected"},
        {"delete with -1 mode", {{"Delete Files", {"a", "b", "false", "-1"}}}, -1, ok},
        {"install without target",
         {{"Install Files", {"a", "b", ""}}},
         0,
         "A target folder must be specified for files that are being installed.\r"
         "The value $TARGETDIR$ represents the destination folder chosen by the user."},
        {"convert path undeclared",
         {{"Convert Path", {"LATER"}}, {"Set Variable", {"LATER", "x"}}},
         0,
         not_defined + "LATER"},
        {"convert path declared earlier", {{"Set Variable", {"later", "x"}}, {"Convert Case", {"LATER"}}}, -1, ok},
        {"replace string of engine variable", {{"Replace String", {"TargetDir"}}}, -1, ok},
        {"bad expression",
         {{"Evaluate Expression", {"(1 =", "R"}}},
         0,
         "Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax."},
        {"expression declares result", {{"Evaluate Expression", {"$A$ = $B$", "r"}}, {"Extract Path", {"R"}}}, -1, ok},
        {"If undefined variable", {{"If", {"NOPE", "0", "x"}}, {"End", {}}}, 0, not_defined + "NOPE"},
        {"If dollar form ok", {{"If", {"$TITLE$", "0", "x"}}, {"End", {}}}, -1, ok},
        {"If exists operator", {{"If", {"NEVER", "5", ""}}, {"End", {}}}, -1, ok},
        {"If value reference undefined", {{"If", {"TITLE", "0", "$NOPE$"}}, {"End", {}}}, 0, not_defined + "$NOPE$"},
        {"If both undefined reports value", {{"If", {"A", "0", "$B$"}}, {"End", {}}}, 0, not_defined + "$B$"},
        {"Else If checked too",
         {{"If", {"TITLE", "0", "x"}}, {"Else If", {"Q", "1", "x"}}, {"End", {}}},
         1,
         not_defined + "Q"},
        {"disabled command not checked", {{"Convert Path", {"NOPE"}, true}}, -1, ok},
        {"dialog unnamed", {{"Display Dialog", {"", "", "", ""}}}, 0, "Dialog name not specified"},
        {"dialog bad variable", {{"Display Dialog", {"Welcome", "R", "", "$NOPE$"}}}, 0, not_defined + "$NOPE$"},
        {"dialog declares result", {{"Display Dialog", {"Welcome", "res", "", ""}}, {"Convert Path", {"RES"}}}, -1, ok},
        {"declared by Mathematics", {{"Mathematics", {"1", "+", "2", "sum"}}, {"Convert Path", {"SUM"}}}, -1, ok},
        {"declared by Parse String", {{"Parse String", {"a", "b", "l", "r"}}, {"Convert Path", {"R"}}}, -1, ok},
        {"declared by Run Program As",
         {{"Run Program As", {"1", "2", "3", "4", "5", "6", "7", "rc"}}, {"Convert Path", {"RC"}}},
         -1,
         ok},
        {"flagged set variable forward",
         {{"Convert Path", {"FWD"}}, {"Set Variable", {"fwd$KYRT$KYRT$TRUE", "x"}}},
         -1,
         ok},
        {"flagged false not forward",
         {{"Convert Path", {"FWD"}}, {"Set Variable", {"fwd$KYRT$KYRT$FALSE", "x"}}},
         0,
         not_defined + "FWD"},
        {"wizard loop with set variable",
         {{"Wizard Loop", {}}, {"Display Dialog", {"A", "", "", ""}}, {"Set Variable", {"X", "1"}}, {"End", {}}},
         2,
         "Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP"},
        {"wizard loop with dialogs comments disabled",
         {{"Wizard Loop", {}},
          {"Display Dialog", {"A", "", "", ""}},
          {"Comment", {"c"}},
          {"Set Variable", {"X", "1"}, true},
          {"Ignore", {}},
          {"End", {}},
          {"Set Variable", {"Y", "1"}}},
         -1,
         ok},
        {"first failure wins", {{"Convert Path", {"A"}}, {"Convert Path", {"B"}}}, 0, not_defined + "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TScriptImage image = build(c.commands);
        TVariableManager vars;
        vars.Add("LEFTOVER", "1");
        CompileResult r = CompileScript(image, vars);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.message, c.message);
        EXPECT_FALSE(vars.Exists("LEFTOVER"));
        EXPECT_FALSE(vars.Exists("TITLE")) << "store cleared after the pass";
    }
}

TEST(CompileScript, LabelTableAndMarks)
{
    TScriptImage image = build({{"Label", {"one"}},
                                {"Create Folder", {"x"}},
                                {"Write Registry", {"x"}, true},
                                {"Delete Files", {"a", "b", "TRUE", ""}},
                                {"Label", {"Two"}, true},
                                {"Set Variable", {"A", "1"}}});
    TVariableManager vars;
    CompileResult r = CompileScript(image, vars);
    ASSERT_TRUE(r.accepted());
    EXPECT_EQ(r.labels, (std::vector<std::string>{"ONE", "TWO"}));
    EXPECT_EQ(r.marks, (std::vector<std::string>{"SKIP", "FALSE", "SKIP", "FALSE", "SKIP", "SKIP"}));
}

TEST(CompileScript, RejectedPassStillMarksEveryCommand)
{
    TScriptImage image = build({{"Convert Path", {"NOPE"}}, {"Create Folder", {"x"}}});
    TVariableManager vars;
    CompileResult r = CompileScript(image, vars);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.marks.size(), 2u);
}

TEST(ExpandBuildConstants, Cases)
{
    TScriptImage image = build({}, {{"SingleInstance", "TRUE"},
                                    {"OUTER", "[#inner#]"},
                                    {"INNER", "in"},
                                    {"SELF", "x#SELF#"},
                                    {"PING", "#PONG#"},
                                    {"PONG", "#PING#"}});
    struct Row {
        std::string in;
        std::string out;
    };
    const std::vector<Row> rows = {
        {"no hash", "no hash"},     {"#SINGLEINSTANCE#", "TRUE"}, {"#singleinstance#/#SingleInstance#", "TRUE/TRUE"},
        {"#LOCMODE#", "#LOCMODE#"}, {"a #OUTER# b", "a [in] b"},  {"#", "#"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ExpandBuildConstants(row.in, image), row.out) << row.in;
    }
    // Self-reference terminates and keeps growing only a bounded number of times.
    std::string self = ExpandBuildConstants("#SELF#", image);
    EXPECT_TRUE(self.starts_with("xxx"));
    EXPECT_LT(self.size(), 200u);
    std::string ping = ExpandBuildConstants("#PING#", image);
    EXPECT_TRUE(ping == "#PING#" || ping == "#PONG#");

    TScriptImage none = build({});
    EXPECT_EQ(ExpandBuildConstants("#SINGLEINSTANCE#", none), "#SINGLEINSTANCE#");
}

} // namespace
} // namespace quillon::test
