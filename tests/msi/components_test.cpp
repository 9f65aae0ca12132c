// The component model: definitions, queries, sizes, the feature tree and check
// list, and what it takes from stored lists.
#include "msi/components.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quillon {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string state_of(const TComponentModel& model, std::string_view name)
{
    std::optional<std::size_t> index = model.index(name);
    return index ? model.lists().components[*index].state : "<undefined>";
}

std::vector<std::string> names_of(const TComponentModel& model)
{
    std::vector<std::string> names;
    for (const Component& component : model.lists().components)
        names.push_back(component.name);
    return names;
}

// "name=bytes" for each entry of the size table.
std::vector<std::string> sizes_of(const TComponentModel& model)
{
    std::vector<std::string> sizes;
    for (const SizeEntry& entry : model.lists().sizes)
        sizes.push_back(entry.name + "=" + entry.bytes);
    return sizes;
}

TEST(TComponentModel, RedefiningKeepsTheStateAndTakesTheNewDescription)
{
    TComponentModel model;
    model.Define("Tools", "first", true);
    model.Define("TOOLS", "second", false);
    EXPECT_THAT(names_of(model), ElementsAre("Tools"));
    EXPECT_EQ(state_of(model, "Tools"), "TRUE");
    EXPECT_EQ(model.description("tools"), "second");
    EXPECT_THAT(sizes_of(model), ElementsAre("Tools=0")) << "one size pair, not one per definition";

    model.SetState("Tools", false);
    model.Define("Tools", "third", true);
    EXPECT_EQ(state_of(model, "Tools"), "FALSE") << "a user's choice survives the script's redefinition";
}

TEST(TComponentModel, DeleteThenRedefineRemovesTheDeletionAndKeepsTheState)
{
    TComponentModel model;
    model.Define("Tools", "", true);
    model.Delete("Tools");
    model.Delete("tools");
    EXPECT_THAT(model.lists().deleted, ElementsAre("Tools")) << "listed once";
    EXPECT_TRUE(model.exists("Tools"));
    EXPECT_FALSE(model.is_selected("Tools")) << "a deleted component reads as not selected";
    EXPECT_EQ(state_of(model, "Tools"), "TRUE");

    model.Define("Tools", "", false);
    EXPECT_THAT(model.lists().deleted, IsEmpty());
    EXPECT_TRUE(model.is_selected("Tools"));

    model.Delete("Missing");
    EXPECT_THAT(model.lists().deleted, IsEmpty()) << "an undefined component is not marked";
}

TEST(TComponentModel, AStoredComponentWithoutAStateTakesItFromItsDefinition)
{
    // A stored file may carry fewer states than names: those components come
    // without a state, and a new definition after them keeps its own.
    TComponentModel model;
    ComponentLists stored;
    stored.components = {{"A", "FALSE", ""}, {"B", "", ""}};
    model.Append(stored, LoadSizes::skip);
    model.Define("C", "", true);
    EXPECT_EQ(state_of(model, "A"), "FALSE");
    EXPECT_EQ(state_of(model, "B"), "");
    EXPECT_EQ(state_of(model, "C"), "TRUE");
    model.Define("B", "", false);
    EXPECT_EQ(state_of(model, "B"), "FALSE") << "a state not yet set is taken from the definition";
    EXPECT_EQ(state_of(model, "C"), "TRUE");
}

TEST(TComponentModel, LocalizedDefinitionCarriesTheSizeOfTheUntranslatedName)
{
    TComponentModel model({"KYRT-PREDEF-COMPONENT", "98967557", "Tools", "1500", "Empty", "0"});
    model.Define("Werkzeuge", "", true, std::string_view("Tools"));
    EXPECT_EQ(model.size("Werkzeuge"), 1500);
    model.Define("Leer", "", true, std::string_view("Empty"));
    EXPECT_EQ(model.size("Leer"), 0);
    EXPECT_THAT(sizes_of(model),
                ElementsAre("KYRT-PREDEF-COMPONENT=98967557", "Tools=1500", "Empty=0", "Werkzeuge=1500", "Leer=0"));
}

TEST(TComponentModel, StartFirstInstallationEmptiesAllButTheSizes)
{
    TComponentModel model({"KYRT-PREDEF-COMPONENT", "100"});
    model.Define("A", "a", false);
    model.SetVisibility("A", false);
    model.SetChoice("A", false);
    model.Delete("A");
    model.set_installed_baseline(5);
    model.StartFirstInstallation();
    EXPECT_THAT(names_of(model), ElementsAre("KYRT-PREDEF-COMPONENT"));
    EXPECT_EQ(state_of(model, "KYRT-PREDEF-COMPONENT"), "TRUE");
    EXPECT_THAT(model.lists().deleted, IsEmpty());
    EXPECT_THAT(model.lists().hidden, IsEmpty());
    EXPECT_THAT(model.lists().locked, IsEmpty());
    EXPECT_EQ(model.installed_baseline(), 0);
    EXPECT_THAT(sizes_of(model), ElementsAre("KYRT-PREDEF-COMPONENT=100", "A=0"));
    EXPECT_EQ(model.total_required_size(), 100);
}

TEST(ComponentParent, CutsTheLastSegment)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Tools", ""},
        {"Tools\\Editors", "Tools"},
        {"Tools\\Editors\\Vim", "Tools\\Editors"},
        {"Tools\\Editors\\", "Tools"},
        {"Tools\\\\Editors", "Tools"},
        {"\\Tools", ""},
        {"", ""},
    };
    for (const auto& [name, parent] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ComponentParent(name), parent);
    }
}

TEST(TComponentModel, HiddenAndLockedFollowTheAncestors)
{
    TComponentModel model;
    for (const char* name : {"Tools", "Tools\\Editors", "Tools\\Editors\\Vim", "Toolbox", "Docs", "Docs\\Api"})
        model.Define(name, "", true);
    model.SetVisibility("Tools\\Editors", false);
    model.SetChoice("docs", false);
    model.SetVisibility("Undefined", false);
    model.SetChoice("Undefined", false);
    EXPECT_THAT(model.lists().hidden, ElementsAre("Tools\\Editors"));
    EXPECT_THAT(model.lists().locked, ElementsAre("docs"));

    struct Case {
        std::string_view name;
        bool hidden;
        bool locked;
    };
    const Case cases[] = {
        {"Tools", false, false},           {"Tools\\Editors", true, false}, {"TOOLS\\EDITORS\\VIM", true, false},
        {"Toolbox", false, false},         {"Docs", false, true},           {"Docs\\Api", false, true},
        {"Docs\\Api\\Later", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(model.is_hidden(c.name), c.hidden);
        EXPECT_EQ(model.is_locked(c.name), c.locked);
    }

    model.SetVisibility("TOOLS\\editors", true);
    model.SetChoice("Docs", true);
    EXPECT_FALSE(model.is_hidden("Tools\\Editors\\Vim"));
    EXPECT_FALSE(model.is_locked("Docs\\Api"));
}

TEST(TComponentModel, ShowingAgainRemovesOnlyTheFirstEntry)
{
    TComponentModel model;
    ComponentLists stored;
    stored.hidden = {"A", "a"};
    model.Append(stored, LoadSizes::skip);
    model.SetVisibility("A", true);
    EXPECT_THAT(model.lists().hidden, ElementsAre("a"));
    EXPECT_TRUE(model.is_hidden("A"));
}

TEST(TComponentModel, SizeLookupComparesNamesOnly)
{
    TComponentModel model(
        {"KYRT-PREDEF-COMPONENT", "98967557", "Tools", "10000", "Broken", "12kb", "Sample", "5000", "5000", "77"});
    struct Case {
        std::string_view name;
        std::int64_t size;
    };
    const Case cases[] = {
        {"tools", 10000}, {"KYRT-PREDEF-COMPONENT", 98967557}, {"Broken", 0}, {"Missing", 0},
        {"10000", 0}, // a size entry is no name
        {"5000", 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(model.size(c.name), c.size);
    }
}

TEST(TComponentModel, SetSpaceReplacesTheEntryOfTheNameInAnyCaseOrAppendsOne)
{
    TComponentModel model({"Tools", "10000", "Other", "5"});
    EXPECT_FALSE(model.SetSpace("Tools", 1)) << "only defined components take a size";
    EXPECT_THAT(sizes_of(model), ElementsAre("Tools=10000", "Other=5"));

    model.Define("tools", "", true);
    model.Define("New", "", true);
    // Named like the size of Tools: gets a pair of its own, and its size
    // change leaves the pair of Tools and the name after it alone.
    model.Define("10000", "", true);
    EXPECT_TRUE(model.SetSpace("10000", 3));
    EXPECT_TRUE(model.SetSpace("TOOLS", 9000000000));
    EXPECT_THAT(sizes_of(model), ElementsAre("Tools=9000000000", "Other=5", "New=0", "10000=3"));
    EXPECT_EQ(model.size("Tools"), 9000000000);
}

TEST(TComponentModel, TotalCountsSelectedUndeletedComponentsLessTheBaseline)
{
    TComponentModel model({"Tools", "10000", "Tools\\Editors", "5000000", "Docs", "700", "Gone", "999", "Off", "50"});
    model.Define("Tools", "", true);
    model.Define("Tools\\Editors", "", true);
    model.Define("Docs", "", true);
    model.Define("Gone", "", true);
    model.Define("Off", "", false);
    model.SetVisibility("Docs", false);
    model.SetChoice("Docs", false);
    model.Delete("Gone");
    EXPECT_EQ(model.total_required_size(), 5010700) << "hidden and locked count, deleted and unselected do not";

    model.SetVisibility("Docs", true);
    model.SetState("Docs", false);
    EXPECT_EQ(model.total_required_size(), 5010000);
    EXPECT_EQ(SizeText(model.total_required_size()), "4,892 KB");

    model.set_installed_baseline(6000000);
    EXPECT_EQ(model.total_required_size(), -990000);
    EXPECT_EQ(SizeText(model.total_required_size()), "-990,000 bytes");
    EXPECT_EQ(model.remaining_space(1000000), 1990000);
}

TEST(TComponentModel, TotalDoesNotOverflow)
{
    TComponentModel model({"A", "9223372036854775807", "B", "9223372036854775807"});
    model.Define("A", "", true);
    model.Define("B", "", true);
    EXPECT_EQ(model.total_required_size(), std::numeric_limits<std::int64_t>::max());
    model.set_installed_baseline(std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(model.total_required_size(), std::numeric_limits<std::int64_t>::max());
}

TEST(SizeText, GroupsDigitsAndPicksTheUnit)
{
    struct Case {
        std::int64_t bytes;
        std::string_view text;
    };
    const Case cases[] = {
        {0, "0 bytes"},
        {999, "999 bytes"},
        {1000, "1,000 bytes"},
        {1048575, "1,048,575 bytes"},
        {1048576, "1,024 KB"},
        {1049599, "1,024 KB"},
        {1073741823, "1,048,575 KB"},
        {1073741824, "1,024 MB"},
        {-2048, "-2,048 bytes"},
        {-5000000000, "-5,000,000,000 bytes"},
        {std::numeric_limits<std::int64_t>::max(), "8,796,093,022,207 MB"},
        {std::numeric_limits<std::int64_t>::min(), "-9,223,372,036,854,775,808 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(SizeText(c.bytes), c.text);
    }
    EXPECT_EQ(SizeText(2048, {"Byte", "KiB", "MiB"}), "2,048 Byte");
    EXPECT_EQ(SizeText(3 * 1048576, {"Byte", "KiB", "MiB"}), "3,072 KiB");
    EXPECT_EQ(SizeText(3LL * 1073741824, {"Byte", "KiB", "MiB"}), "3,072 MiB");
}

struct NodeView {
    std::string text;
    std::optional<std::size_t> parent;
    std::optional<std::string> component; // name, for readable expectations
    int image;
    bool operator==(const NodeView&) const = default;
};

void PrintTo(const NodeView& node, std::ostream* out)
{
    *out << "{" << node.text << ", parent " << (node.parent ? std::to_string(*node.parent) : "-") << ", "
         << node.component.value_or("-") << ", image " << node.image << "}";
}

std::vector<NodeView> view(const TComponentModel& model, const std::vector<ComponentTreeNode>& tree)
{
    std::vector<NodeView> nodes;
    for (const ComponentTreeNode& node : tree) {
        std::optional<std::string> component;
        if (node.component)
            component = model.lists().components.at(*node.component).name;
        nodes.push_back({node.text, node.parent, component, node.image});
    }
    return nodes;
}

TEST(TComponentModel, FillTreeBuildsIntermediateNodesAndLeavesOutHiddenBranches)
{
    TComponentModel model;
    model.StartFirstInstallation();
    model.Define("Docs\\Manual", "", true);
    model.Define("Tools", "", true);
    model.Define("tools\\Editors", "", false);
    model.Define("Secret", "", true);
    model.Define("Secret\\Keys", "", true);
    model.Define("Gone", "", true);
    model.Define("Docs", "", false);
    model.Define("Tools\\Editors\\Vim", "", true);
    model.SetVisibility("Secret", false);
    model.Delete("Gone");

    EXPECT_THAT(view(model, model.FillTree()),
                ElementsAre(NodeView{"Docs", std::nullopt, "Docs", 0}, NodeView{"Manual", 0, "Docs\\Manual", 1},
                            NodeView{"Tools", std::nullopt, "Tools", 1}, NodeView{"Editors", 2, "tools\\Editors", 0},
                            NodeView{"Vim", 3, "Tools\\Editors\\Vim", 1}));
}

TEST(TComponentModel, FillTreeKeepsATopLevelComponentOffANestedNodeOfTheSameName)
{
    TComponentModel model;
    model.Define("Tools", "", true);
    model.Define("Tools\\Docs", "", true);
    model.Define("Docs", "", false);
    EXPECT_THAT(view(model, model.FillTree()),
                ElementsAre(NodeView{"Tools", std::nullopt, "Tools", 1}, NodeView{"Docs", 0, "Tools\\Docs", 1},
                            NodeView{"Docs", std::nullopt, "Docs", 0}));
}

TEST(TComponentModel, SetNodeSelectedRecursiveSkipsLockedBranches)
{
    TComponentModel model;
    for (const char* name : {"Suite", "Suite\\Tools", "Suite\\Tools\\Editors", "Suite\\Docs\\Api", "Suite\\Extra"})
        model.Define(name, "", true);
    model.SetChoice("Suite\\Tools", false);
    std::vector<ComponentTreeNode> tree = model.FillTree();
    ASSERT_EQ(tree.size(), 6u);
    ASSERT_EQ(tree[3].text, "Docs");
    ASSERT_FALSE(tree[3].component) << "an intermediate node";

    model.SetNodeSelected(tree, 0, true, false);
    EXPECT_FALSE(model.is_selected("Suite"));
    EXPECT_TRUE(model.is_selected("Suite\\Tools")) << "locked";
    EXPECT_TRUE(model.is_selected("Suite\\Tools\\Editors")) << "below a locked component";
    EXPECT_FALSE(model.is_selected("Suite\\Docs\\Api")) << "reached through a node without a component";
    EXPECT_FALSE(model.is_selected("Suite\\Extra"));
    std::vector<int> images;
    for (const ComponentTreeNode& node : tree)
        images.push_back(node.image);
    EXPECT_THAT(images, ElementsAre(0, 1, 1, 0, 0, 0));

    model.SetNodeSelected(tree, 0, false, true);
    EXPECT_TRUE(model.is_selected("Suite"));
    EXPECT_FALSE(model.is_selected("Suite\\Extra")) << "not recursive";
    EXPECT_EQ(tree[0].image, 1);
    model.SetNodeSelected(tree, 99, true, true); // beyond the tree: nothing
}

TEST(TComponentModel, FillCheckListShowsTopLevelComponents)
{
    TComponentModel model;
    model.StartFirstInstallation();
    model.Define("Tools", "", true);
    model.Define("Tools\\Editors", "", true);
    model.Define("Docs", "", false);
    model.Define("Secret", "", true);
    model.Define("Gone", "", true);
    model.SetVisibility("Secret", false);
    model.Delete("Gone");
    std::vector<ComponentCheckItem> items = model.FillCheckList();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "Tools");
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[1].text, "Docs");
    EXPECT_FALSE(items[1].checked);
}

TEST(TComponentModel, CheckListClickedDrivesEveryComponentWithTheItemsPrefix)
{
    TComponentModel model;
    model.StartFirstInstallation();
    model.Define("Tool", "", true);
    model.Define("Tool\\Part", "", true);
    model.Define("Toolbox", "", true);
    model.Define("Other", "", false);
    model.Define("K", "", true);
    std::vector<ComponentCheckItem> items = {{"tool", false}, {"Other", true}, {"K", false}};
    model.CheckListClicked(items);
    EXPECT_FALSE(model.is_selected("Tool"));
    EXPECT_FALSE(model.is_selected("Tool\\Part"));
    EXPECT_FALSE(model.is_selected("Toolbox")) << "a name that merely starts with the item's text";
    EXPECT_TRUE(model.is_selected("Other"));
    EXPECT_FALSE(model.is_selected("K"));
    EXPECT_TRUE(model.is_selected("KYRT-PREDEF-COMPONENT")) << "never driven by an item";
    EXPECT_FALSE(items[0].checked);
    EXPECT_TRUE(items[1].checked);
    EXPECT_FALSE(items[2].checked);
}

TEST(TComponentModel, ALockedComponentsItemSpringsBack)
{
    TComponentModel model;
    model.Define("Tool", "", true);
    model.Define("Toolbox", "", true);
    model.Define("Fixed", "", true);
    model.Define("Fixed\\Part", "", true);
    model.SetChoice("Toolbox", false);
    model.SetChoice("Fixed", false);
    std::vector<ComponentCheckItem> items = {{"Tool", false}, {"Fixed", false}};
    model.CheckListClicked(items);
    EXPECT_FALSE(model.is_selected("Tool"));
    EXPECT_TRUE(model.is_selected("Toolbox"));
    EXPECT_TRUE(items[0].checked) << "the last component visited, the locked Toolbox, decides the mark";
    EXPECT_TRUE(model.is_selected("Fixed\\Part"));
    EXPECT_TRUE(items[1].checked);
}

TEST(TComponentModel, MergeFollowsTheStoredListsOnlyWhereTheyHaveSomethingToSay)
{
    TComponentModel model({"Tools", "10"});
    model.Define("Tools", "", true);
    model.Define("Docs", "", false);
    model.Define("Late", "", true);
    model.Define("Extra", "", false);
    model.Define("Gone", "", true);
    model.SetVisibility("Late", false);
    model.SetChoice("Docs", false);
    model.Delete("Gone");

    ComponentLists stored;
    // tools in another case; Unknown is not defined; Extra came without a state line.
    stored.components = {{"tools", "FALSE", ""}, {"Docs", "-1", ""}, {"Unknown", "TRUE", ""}, {"Extra", "", ""}};
    stored.deleted = {"Docs"};
    stored.hidden = {};
    stored.locked = {"Unknown"};
    stored.sizes = {{"Tools", "99999"}};
    model.Merge(stored);

    EXPECT_EQ(state_of(model, "Tools"), "FALSE");
    EXPECT_EQ(state_of(model, "Docs"), "TRUE") << "a true value is stored as TRUE";
    EXPECT_EQ(state_of(model, "Late"), "TRUE") << "absent from the file: keeps its state";
    EXPECT_EQ(state_of(model, "Extra"), "FALSE") << "no state: keeps its state";
    EXPECT_FALSE(model.exists("Unknown")) << "a stored name does not define a component";
    EXPECT_THAT(model.lists().deleted, ElementsAre("Docs"));
    EXPECT_THAT(model.lists().hidden, IsEmpty());
    EXPECT_THAT(model.lists().locked, ElementsAre("Unknown"));
    EXPECT_THAT(sizes_of(model), ElementsAre("Tools=10", "Docs=0", "Late=0", "Extra=0", "Gone=0"))
        << "stored sizes are discarded";
    EXPECT_TRUE(model.is_selected("Gone")) << "the file's deleted list replaced the current one";
}

TEST(TComponentModel, AppendTakesTheListsAsTheyAre)
{
    TComponentModel model({"KYRT-PREDEF-COMPONENT", "0"});
    ComponentLists stored;
    stored.components = {{"A", "TRUE", ""}, {"B", "FALSE", ""}};
    stored.deleted = {"B"};
    stored.hidden = {"A"};
    stored.locked = {"A"};
    stored.sizes = {{"A", "700"}};
    model.Append(stored, LoadSizes::append);
    EXPECT_EQ(model.lists().components, stored.components);
    EXPECT_THAT(sizes_of(model), ElementsAre("KYRT-PREDEF-COMPONENT=0", "A=700"));
    EXPECT_TRUE(model.is_hidden("A"));
    EXPECT_TRUE(model.is_locked("A"));
    EXPECT_TRUE(model.is_deleted("B"));
    model.set_installed_baseline(model.selected_size());
    EXPECT_EQ(model.total_required_size(), 0);

    TComponentModel without_sizes({"KYRT-PREDEF-COMPONENT", "0"});
    without_sizes.Append(stored, LoadSizes::skip);
    EXPECT_THAT(sizes_of(without_sizes), ElementsAre("KYRT-PREDEF-COMPONENT=0"));
}

TEST(TComponentModel, AnIndexFromAnOlderFillFindsNoComponent)
{
    TComponentModel model;
    model.Define("A", "", true);
    ASSERT_NE(model.component_at(0), nullptr);
    EXPECT_EQ(model.component_at(0)->name, "A");
    EXPECT_EQ(model.component_at(1), nullptr);
    model.set_selected(1, false); // nothing to change
    EXPECT_TRUE(model.is_selected("A"));
}

} // namespace
} // namespace quillon
