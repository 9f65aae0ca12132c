#include "engine/feature_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace quillon {
namespace {

using Writes = std::map<std::size_t, bool>; // component -> last state written

// Tools            c0
//   Editors        c1
//     Vim          c2
//   Locked         c3, excluded
//     Inner        c4, not excluded itself
//   Mid            no component
//     Leaf         c5
// Docs             c6
// A                no component
//   B              c7
const std::vector<FeatureTreeNode> tree = {
    {std::nullopt, {1, 3, 5}, 0},      // 0 Tools
    {0, {2}, 1},                       // 1 Tools\Editors
    {1, {}, 2},                        // 2 Tools\Editors\Vim
    {0, {4}, 3},                       // 3 Tools\Locked
    {3, {}, 4},                        // 4 Tools\Locked\Inner
    {0, {6}, std::nullopt},            // 5 Tools\Mid
    {5, {}, 5},                        // 6 Tools\Mid\Leaf
    {std::nullopt, {}, 6},             // 7 Docs
    {std::nullopt, {9}, std::nullopt}, // 8 A
    {8, {}, 7},                        // 9 A\B
};

Writes apply(std::span<const FeatureTreeNode> nodes, std::size_t clicked, FeatureMenuAction action,
             const std::vector<std::size_t>& excluded_components)
{
    Writes writes;
    ApplyFeatureMenuAction(
        nodes, clicked, action, [&](std::size_t component, bool selected) { writes[component] = selected; },
        [&](std::size_t component) {
            return std::find(excluded_components.begin(), excluded_components.end(), component) !=
                   excluded_components.end();
        });
    return writes;
}

TEST(FeatureMenu, ActionsSetTheNodeItsSubtreeAndItsAncestors)
{
    using enum FeatureMenuAction;
    struct Case {
        std::string_view what;
        std::size_t clicked;
        FeatureMenuAction action;
        Writes expected;
    };
    const Case cases[] = {
        {"node only, then every ancestor", 2, install_node, {{2, true}, {1, true}, {0, true}}},
        {"node only leaves the children alone", 1, install_node, {{1, true}, {0, true}}},
        {"whole feature stops at an excluded child and never reaches below it",
         0,
         install_feature,
         {{0, true}, {1, true}, {2, true}, {5, true}}},
        {"whole feature below the top selects the ancestors but not their other children",
         1,
         install_feature,
         {{1, true}, {2, true}, {0, true}}},
        {"unavailable deselects the subtree, not the ancestors",
         0,
         unavailable,
         {{0, false}, {1, false}, {2, false}, {5, false}}},
        {"the hidden subtree item acts as unavailable", 1, node_and_children_off, {{1, false}, {2, false}}},
        {"the hidden node-only item deselects the node alone", 1, node_only_off, {{1, false}}},
        {"an ancestor without a component is passed over", 6, install_feature, {{5, true}, {0, true}}},
        {"a top-level node under an intermediate node", 9, install_node, {{7, true}}},
        {"a node without a component is left alone", 5, install_feature, {}},
        {"an excluded node is left alone", 3, unavailable, {}},
        {"a node below an excluded one is left alone", 4, install_node, {}},
        {"a node outside the tree", 42, install_feature, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what));
        EXPECT_EQ(apply(tree, c.clicked, c.action, {3}), c.expected);
    }
}

TEST(FeatureMenu, WithoutExclusionsTheWholeSubtreeIsReached)
{
    EXPECT_EQ(apply(tree, 0, FeatureMenuAction::unavailable, {}),
              (Writes{{0, false}, {1, false}, {2, false}, {3, false}, {4, false}, {5, false}}));
}

TEST(FeatureMenu, MalformedTreeIsWalkedSafely)
{
    // A cycle and a child index outside the tree, as a broken caller might build them.
    const std::vector<FeatureTreeNode> broken = {
        {1, {1, 99}, 0},
        {0, {0}, 1},
    };
    EXPECT_EQ(apply(broken, 0, FeatureMenuAction::install_feature, {}), (Writes{{0, true}, {1, true}}));
    EXPECT_EQ(apply(broken, 1, FeatureMenuAction::unavailable, {}), (Writes{{0, false}, {1, false}}));
}

} // namespace
} // namespace quillon
