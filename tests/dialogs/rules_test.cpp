// Dialog rules: the line format and the firing order, on a table of properties.
#include "dialogs/rules.h"

#include <gtest/gtest.h>

#include <map>

namespace quillon::test {
namespace {

struct Properties {
    std::map<std::string, std::string> values; // "component.property" -> text
    DialogProperties access()
    {
        return {[this](std::string_view c, std::string_view p) -> std::optional<std::string> {
                    auto found = values.find(std::string(c) + "." + std::string(p));
                    return found == values.end() ? std::nullopt : std::optional(found->second);
                },
                [this](std::string_view c, std::string_view p, std::string_view text) {
                    std::string key = std::string(c) + "." + std::string(p);
                    if (values.contains(key))
                        values[key] = text;
                }};
    }
};

TEST(DialogRules, ParsesTheLineFormat)
{
    std::optional<DialogRule> rule = ParseDialogRule("IF (rbAccept.Checked = True)  THEN  btnNext.Enabled := True;");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->component, "rbAccept");
    EXPECT_EQ(rule->property, "Checked");
    EXPECT_FALSE(rule->not_equal);
    EXPECT_EQ(rule->value, "True");
    EXPECT_EQ(rule->target_component, "btnNext");
    EXPECT_EQ(rule->target_property, "Enabled");
    EXPECT_EQ(rule->new_value, "True");
    rule = ParseDialogRule("IF (edtName.Text <> )  THEN  lblHint.Caption := Hello; world;");
    ASSERT_TRUE(rule);
    EXPECT_TRUE(rule->not_equal);
    EXPECT_EQ(rule->value, "");
    EXPECT_EQ(rule->new_value, "Hello; world") << "up to the last ';'";
    for (std::string_view bad : {"", "IF (", "IF (x = y)  THEN  z := 1;", "IF (a.b = c) THEN d.e := 1;",
                                 "IF (a.b = c)  THEN  d.e = 1;", "IF (a.b = c)  THEN  d.e := 1"})
        EXPECT_FALSE(ParseDialogRule(bad)) << bad;
}

TEST(DialogRules, RulesSetButNeverUndo)
{
    Properties p;
    p.values = {
        {"rbAccept.Checked", "False"}, {"btnNext.Enabled", "False"}, {"edtName.Text", ""}, {"lblName.Caption", "none"}};
    const std::vector<std::string> rules = {
        "IF (rbAccept.Checked = True)  THEN  btnNext.Enabled := True;",
        "IF (edtName.Text <> )  THEN  lblName.Caption := edtName.Text;",
        "IF (missing.Checked = True)  THEN  btnNext.Enabled := False;",
        "not a rule at all",
    };
    ApplyDialogRules(rules, p.access());
    EXPECT_EQ(p.values["btnNext.Enabled"], "False");
    EXPECT_EQ(p.values["lblName.Caption"], "none");
    p.values["rbAccept.Checked"] = "True";
    p.values["edtName.Text"] = "Ada";
    ApplyDialogRules(rules, p.access());
    EXPECT_EQ(p.values["btnNext.Enabled"], "True");
    EXPECT_EQ(p.values["lblName.Caption"], "Ada") << "a component.property value stands for its text";
    p.values["rbAccept.Checked"] = "False";
    ApplyDialogRules(rules, p.access());
    EXPECT_EQ(p.values["btnNext.Enabled"], "True") << "no rule turns it back";
}

TEST(DialogRules, LaterRulesSeeEarlierOnes)
{
    Properties p;
    p.values = {{"a.X", "1"}, {"b.X", "0"}, {"c.X", "0"}};
    ApplyDialogRules({"IF (a.X = 1)  THEN  b.X := 1;", "IF (b.X = 1)  THEN  c.X := b.X;"}, p.access());
    EXPECT_EQ(p.values["c.X"], "1");
}

} // namespace
} // namespace quillon::test
