#include "engine/feature_menu.h"

namespace quillon {

namespace {

struct Walk {
    std::span<const FeatureTreeNode> tree;
    const std::function<void(std::size_t, bool)>& set_state;
    const std::function<bool(std::size_t)>& excluded;
    std::vector<bool> visited; // a malformed tree with a cycle must not loop

    bool is_excluded(std::size_t node) const
    {
        const std::optional<std::size_t>& component = tree[node].component;
        return component.has_value() && excluded(*component);
    }

    void set(std::size_t node, bool selected) const
    {
        if (tree[node].component.has_value())
            set_state(*tree[node].component, selected);
    }

    // A child is visited only when neither its own component nor any component
    // above it is excluded. The clicked node and its ancestors were checked
    // before the walk, so refusing an excluded child here is enough: its whole
    // subtree stays as it is, even parts that are not excluded themselves.
    // Nodes without a component are passed through to reach their children.
    void descend(std::size_t node, bool selected)
    {
        std::vector<std::size_t> pending{node};
        while (!pending.empty()) {
            std::size_t current = pending.back();
            pending.pop_back();
            if (current >= tree.size() || visited[current])
                continue;
            visited[current] = true;
            set(current, selected);
            const std::vector<std::size_t>& children = tree[current].children;
            for (auto child = children.rbegin(); child != children.rend(); ++child) {
                if (*child < tree.size() && !is_excluded(*child))
                    pending.push_back(*child);
            }
        }
    }

    // The ancestors from the parent up; bounded by the tree size against cycles.
    template <typename Visit>
    bool for_each_ancestor(std::size_t node, Visit visit) const
    {
        std::optional<std::size_t> current = tree[node].parent;
        for (std::size_t steps = 0; current.has_value() && steps < tree.size(); ++steps) {
            if (*current >= tree.size())
                return true;
            if (!visit(*current))
                return false;
            current = tree[*current].parent;
        }
        return true;
    }
};

} // namespace

void ApplyFeatureMenuAction(std::span<const FeatureTreeNode> tree, std::size_t clicked, FeatureMenuAction action,
                            const std::function<void(std::size_t component, bool selected)>& set_state,
                            const std::function<bool(std::size_t component)>& excluded)
{
    if (clicked >= tree.size() || !tree[clicked].component.has_value())
        return;
    Walk walk{tree, set_state, excluded, std::vector<bool>(tree.size(), false)};
    if (walk.is_excluded(clicked))
        return;
    if (!walk.for_each_ancestor(clicked, [&](std::size_t ancestor) { return !walk.is_excluded(ancestor); }))
        return;

    switch (action) {
    case FeatureMenuAction::install_node: walk.set(clicked, true); break;
    case FeatureMenuAction::install_feature: walk.descend(clicked, true); break;
    case FeatureMenuAction::unavailable:
    case FeatureMenuAction::node_and_children_off: walk.descend(clicked, false); return;
    case FeatureMenuAction::node_only_off: walk.set(clicked, false); return;
    }
    // A selected feature needs its parents: each ancestor is selected, but none of their other children.
    walk.for_each_ancestor(clicked, [&](std::size_t ancestor) {
        walk.set(ancestor, true);
        return true;
    });
}

} // namespace quillon
