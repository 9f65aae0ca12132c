// The actions of the feature tree's popup menu, on an abstract tree so that they
// run without a window: the tree control and the component model plug in through
// two callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace quillon {

enum class FeatureMenuAction : std::uint8_t {
    install_node,          // "Will be &installed on local hard drive"
    install_feature,       // "&Entire feature will be installed on local hard drive"
    unavailable,           // "Entire feature will be &unavailable"
    node_only_off,         // "Do Not Install Component &Only" (hidden item)
    node_and_children_off, // "Do &Not Install Component or Sub Components" (hidden item)
};

// One node of a feature tree. Nodes created only for an intermediate segment of
// a component name carry no component.
struct FeatureTreeNode {
    std::optional<std::size_t> parent;
    std::vector<std::size_t> children;
    std::optional<std::size_t> component;
};

// Applies the action to `clicked` as the menu items do: set_state(component,
// selected) writes a selection; excluded(component) tells a component kept out
// of such changes (the caller compares names ignoring case). Nothing happens
// for a node without a component or one that is excluded itself or below an
// excluded component, since the menu does not open there. Indices outside the
// tree are ignored.
void ApplyFeatureMenuAction(std::span<const FeatureTreeNode> tree, std::size_t clicked, FeatureMenuAction action,
                            const std::function<void(std::size_t component, bool selected)>& set_state,
                            const std::function<bool(std::size_t component)>& excluded);

} // namespace quillon
