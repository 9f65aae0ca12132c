#include "interp/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>

namespace quillon {
namespace {

std::optional<ParamForm> FormOf(const CommandInfo& info, int position)
{
    for (const ParamSpec& p : info.parameters) {
        if (p.position == position)
            return p.form;
    }
    return std::nullopt;
}

bool IsResultForm(ParamForm form)
{
    return form == ParamForm::result || form == ParamForm::result_written || form == ParamForm::result_persisted;
}

TEST(CommandCatalog, LookupIsExactAndCaseSensitive)
{
    const CommandInfo* info = FindCommand("Set Variable");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->name, "Set Variable");

    for (std::string_view name : {"set variable", "SET VARIABLE", "Set variable", "Set Variable ", " Set Variable",
                                  "Set", "Set Variables", "", "if", "END"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(FindCommand(name), nullptr);
    }
}

TEST(CommandCatalog, PlugInNamesAreNotInTheCatalog)
{
    EXPECT_EQ(FindCommand("(Un)Install MSI Setup"), nullptr);
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        EXPECT_NE(info.kind, CommandKind::plugin);
    }
}

TEST(CommandCatalog, EveryNameIsUniqueAndFindable)
{
    std::set<std::string_view> seen;
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        EXPECT_FALSE(info.name.empty());
        EXPECT_TRUE(seen.insert(info.name).second) << "duplicate name";
        EXPECT_EQ(FindCommand(info.name), &info);
        // A lookup must not match a copy of the name by address only.
        const std::string copy(info.name);
        EXPECT_EQ(FindCommand(copy), &info);
    }
}

TEST(CommandCatalog, ParameterPositionsStrictlyIncrease)
{
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        int previous = 0;
        for (const ParamSpec& p : info.parameters) {
            EXPECT_GT(p.position, previous);
            previous = p.position;
        }
    }
}

TEST(CommandCatalog, ResultPositionsAreResultParameters)
{
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        auto [first, second] = info.results;
        if (first == 0) {
            EXPECT_EQ(second, 0);
        } else if (second != 0) {
            EXPECT_LT(first, second);
        }
        for (std::uint8_t position : info.results) {
            if (position == 0)
                continue;
            std::optional<ParamForm> form = FormOf(info, position);
            ASSERT_TRUE(form.has_value()) << "result " << int(position) << " is not a parameter";
            EXPECT_TRUE(IsResultForm(*form)) << "result " << int(position) << " has no result form";
        }
        // And the other way round: a result variable that is read is a result.
        for (const ParamSpec& p : info.parameters) {
            if (IsResultForm(p.form)) {
                EXPECT_TRUE(p.position == first || p.position == second) << "parameter " << int(p.position);
            }
        }
    }
}

TEST(CommandCatalog, MarksUseOnlyKnownBits)
{
    for (const CommandInfo& info : CommandCatalog()) {
        SCOPED_TRACE(info.name);
        EXPECT_EQ(info.marks & ~(mark_64 | mark_view | mark_no_op | mark_block), 0);
        if ((info.marks & (mark_no_op | mark_block)) != 0) {
            EXPECT_EQ(info.kind, CommandKind::control) << "only control commands are left to the loop";
        }
    }
}

struct Param {
    int position;
    ParamForm form;
};

struct Case {
    std::string_view name;
    CommandKind kind;
    std::uint8_t marks;
    std::array<std::uint8_t, 2> results;
    std::initializer_list<Param> parameters; // checked ones, not necessarily all
    std::initializer_list<int> not_read = {};
};

using enum ParamForm;
constexpr std::uint8_t m64 = mark_64;
constexpr std::uint8_t mview = mark_view;
constexpr std::uint8_t no_op = mark_no_op;
constexpr std::uint8_t block = mark_block;

TEST(CommandCatalog, EntriesMatchTheCommandTables)
{
    const Case cases[] = {
        {"If", CommandKind::control, block, {0, 0}, {{1, translated}, {2, text}, {3, translated}, {4, boolean}}},
        {"Else If", CommandKind::control, block, {0, 0}, {{1, translated}, {4, boolean}}},
        {"End", CommandKind::control, block, {0, 0}, {}, {1}},
        {"GoTo Label", CommandKind::control, 0, {0, 0}, {{1, written}}},
        {"Comment", CommandKind::control, no_op, {0, 0}, {}, {1}},
        {"Set Variable", CommandKind::immediate, 0, {1, 0}, {{1, result_persisted}, {2, translated}}},
        {"Localization Variable", CommandKind::immediate, 0, {1, 0}, {{1, result}, {2, translated_by_variable}}},
        {"Evaluate Expression", CommandKind::immediate, 0, {2, 0}, {{1, expression}, {2, result_written}}},
        {"System Tray",
         CommandKind::immediate,
         0,
         {0, 0},
         {{1, exact_flag}, {2, exact_flag}, {3, exact_flag}, {4, exact_flag}}},
        {"Set Component State", CommandKind::immediate, 0, {0, 0}, {{1, translated}, {2, boolean_written}}},
        {"Mathematics", CommandKind::immediate, m64, {4, 0}, {{3, integer}, {4, result_written}}},
        {"Parse String",
         CommandKind::immediate,
         0,
         {3, 4},
         {{1, path}, {2, path}, {3, result_written}, {4, result_written}, {5, integer}, {6, boolean}, {7, boolean}}},
        {"Replace String", CommandKind::immediate, 0, {1, 0}, {{1, result}, {4, boolean}, {5, boolean}}},
        {"Get Temporary File", CommandKind::immediate, m64, {1, 0}, {{1, result}}},
        {"Display Dialog",
         CommandKind::immediate,
         0,
         {2, 0},
         {{2, result_written}, {3, boolean}, {5, stored}, {6, boolean}}},
        {"MessageBox",
         CommandKind::immediate,
         0,
         {5, 0},
         {{1, translated}, {2, translated}, {3, integer}, {4, integer}, {5, result_written}}},
        {"Hide Dialog", CommandKind::immediate, 0, {0, 0}, {}, {1}},
        {"Terminate Install", CommandKind::control, 0, {0, 0}, {}},
        {"Terminate with Exit Code", CommandKind::control, 0, {0, 0}, {}},
        {"Reboot and Resume", CommandKind::immediate, 0, {0, 0}, {}},
        {"Copy/Move Local Files", CommandKind::recorded, 0, {0, 0}, {{1, path}, {3, path}}, {2}},
        {"Find All Files", CommandKind::worker, m64, {4, 0}, {{1, path}, {2, boolean}, {4, result}}},
        {"Read from Text File",
         CommandKind::immediate,
         m64,
         {2, 3},
         {{1, path}, {2, result_written}, {3, result_written}}},
        {"Check File Version", CommandKind::immediate, m64, {1, 0}, {{1, result_written}, {4, path}, {5, version}}},
        {"Check Disk Space", CommandKind::immediate, m64, {1, 0}, {{1, result}, {2, path}}},
        {"Write Registry",
         CommandKind::recorded,
         0,
         {0, 0},
         {{3, installer_value}, {4, installer_value}, {5, installer_value}},
         {1, 2}},
        {"Delete Registry", CommandKind::immediate, mview, {0, 0}, {{1, integer}, {2, path}, {4, boolean}}},
        {"Read Registry", CommandKind::immediate, mview, {1, 0}, {{1, result_written}, {2, integer}, {4, path}}},
        {"Check Registry", CommandKind::immediate, mview, {1, 0}, {{1, result_written}, {2, integer}, {4, path}}},
        {"Get Folder Location",
         CommandKind::immediate,
         m64 | mview,
         {1, 0},
         {{1, result_written}, {2, integer}, {3, boolean}}},
        {"Set 64 Bit Mode",
         CommandKind::immediate,
         0,
         {0, 0},
         {{1, exact_flag_written}, {2, exact_flag_written}, {3, exact_flag_written}}},
        {"Run Program As",
         CommandKind::worker,
         m64,
         {8, 0},
         {{1, path}, {4, integer}, {8, result_written}, {9, boolean}, {10, path}}},
        {"Register Library", CommandKind::immediate, m64 | mview, {3, 0}, {{2, boolean}, {3, result_written}}},
        {"Control Service", CommandKind::recorded, 0, {0, 0}, {{2, installer_value}}},
        {"Create Virtual Folder",
         CommandKind::immediate,
         m64,
         {0, 0},
         {{1, translated_path}, {9, pair}, {10, pair}, {12, translated_path}, {18, integer}}},
        {"Get IIS Property", CommandKind::immediate, m64, {6, 0}, {{1, boolean}, {6, result}}, {2}},
        {"IIS Anonymous User", CommandKind::immediate, 0, {1, 0}, {{1, result_written}}},
        {"Create Share", CommandKind::immediate, m64, {0, 0}, {{1, pair}, {2, translated}, {3, translated}}},
        {"Set Access Control", CommandKind::immediate, 0, {0, 0}, {{1, translated}, {6, translated}, {16, boolean}}},
        {"Get Component Space", CommandKind::immediate, 0, {2, 0}, {{1, translated}, {2, result}}},
        {"Set Component Visibility", CommandKind::immediate, 0, {0, 0}, {{1, translated}}},
        {"Load Feature Selections", CommandKind::immediate, m64, {0, 0}, {}},
        {"Install ODBC Driver", CommandKind::recorded, 0, {0, 0}, {{4, path}}, {1, 2, 3}},
        {"Advertised Shortcut",
         CommandKind::recorded,
         0,
         {0, 0},
         {{1, path}, {2, translated}, {3, path}, {4, translated}, {8, pair}, {9, pair}},
         {7}},
        {"Register Assembly", CommandKind::immediate, m64, {0, 0}, {{1, pair}}},
        {"Transform Instance", CommandKind::immediate, 0, {0, 0}, {}},
        {"Apply Changes", CommandKind::worker, 0, {2, 0}, {{2, result_written}, {3, boolean}, {4, boolean}}},
        {"Run Light Mode Setup", CommandKind::worker, m64, {2, 0}, {{1, path}, {2, result_written}, {4, boolean}}},
        {"Web Media Block", CommandKind::immediate, 0, {0, 0}, {{1, written}, {3, stored}}},
        {"Extract 7Zip Archive",
         CommandKind::worker,
         m64,
         {3, 0},
         {{1, path}, {2, path}, {3, result_written}, {5, boolean}, {6, boolean}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandInfo* info = FindCommand(c.name);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->kind, c.kind);
        EXPECT_EQ(info->marks, c.marks);
        EXPECT_EQ(info->results, c.results);
        for (const Param& p : c.parameters) {
            SCOPED_TRACE(p.position);
            std::optional<ParamForm> form = FormOf(*info, p.position);
            ASSERT_TRUE(form.has_value());
            EXPECT_EQ(*form, p.form);
        }
        for (int position : c.not_read) {
            EXPECT_FALSE(FormOf(*info, position).has_value()) << "parameter " << position << " is not read";
        }
    }
}

TEST(CommandCatalog, CommandsWithoutParametersReadNone)
{
    for (std::string_view name :
         {"Else", "End", "Wizard Loop", "Comment", "Ignore", "Hide Dialog", "Terminate Install", "Reboot Computer",
          "Reboot and Resume", "Create ODBC DSN", "Remove Assemblies", "Transform Instance"}) {
        SCOPED_TRACE(name);
        const CommandInfo* info = FindCommand(name);
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(info->parameters.empty());
        EXPECT_EQ(info->results, (std::array<std::uint8_t, 2>{0, 0}));
    }
}

TEST(CommandCatalog, CommandsOfOneRowShareTheirParameters)
{
    const std::pair<std::string_view, std::string_view> rows[] = {
        {"Read Registry", "Check Registry"},
        {"If", "Else If"},
        {"Get Component State", "Get Component Space"},
        {"Create Shortcut", "Advertised Shortcut"},
        {"Save Feature Selections", "Load Feature Selections"},
    };
    for (auto [first, second] : rows) {
        SCOPED_TRACE(first);
        const CommandInfo* a = FindCommand(first);
        const CommandInfo* b = FindCommand(second);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(a->kind, b->kind);
        EXPECT_EQ(a->marks, b->marks);
        EXPECT_EQ(a->results, b->results);
        ASSERT_EQ(a->parameters.size(), b->parameters.size());
        for (std::size_t i = 0; i < a->parameters.size(); ++i) {
            EXPECT_EQ(a->parameters[i].position, b->parameters[i].position);
            EXPECT_EQ(a->parameters[i].form, b->parameters[i].form);
        }
    }
}

TEST(CommandCatalog, NoOpNamesAreExact)
{
    for (std::string_view name : {"Label", "Code Folding Region", "Comment", "Ignore", "Compiler Variable End"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsNoOpCommand(name));
    }
    for (std::string_view name : {"label", "COMMENT", "Ignore ", "", "Else", "End", "GoTo Label", "Wizard Loop",
                                  "Set Variable", "Code Folding"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsNoOpCommand(name));
    }
}

} // namespace
} // namespace quillon
