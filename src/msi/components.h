// The component model: the components (features) a script defines, which are
// selected, hidden, locked or deleted, their sizes and descriptions. The
// wizard's tree and check-list controls call the fill and click functions
// below with plain structures, so that all of it runs without a window. The
// selection file that carries the model from one run to the next is
// msi/selection_file.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Texts that scripts and stored selection files see.
namespace component_text {
inline constexpr std::string_view predefined = "KYRT-PREDEF-COMPONENT";
inline constexpr std::string_view selected = "TRUE";
inline constexpr std::string_view not_selected = "FALSE";
inline constexpr std::string_view section_end = "$";
inline constexpr std::string_view platform_mode_name = "KYRT64WOW";
} // namespace component_text

// The unit words of a size text; language files may replace them.
struct SizeUnits {
    std::string bytes = "bytes";
    std::string kilobytes = "KB";
    std::string megabytes = "MB";
};

// "1,234 KB": bytes below 1 MiB (and every negative count), KiB below 1 GiB, MiB above.
std::string SizeText(std::int64_t bytes, const SizeUnits& units = {});

// The name without its last backslash-separated segment (trailing backslashes
// ignored); empty for a top-level name.
std::string ComponentParent(std::string_view name);

// One node of a feature tree, in creation order: every node was created as the
// last child of its parent (or as the last top-level node), so inserting the
// nodes in this order rebuilds the tree.
struct ComponentTreeNode {
    std::string text;
    std::optional<std::size_t> parent;    // index of the parent node
    std::optional<std::size_t> component; // model index; none for a node made only for a path segment
    int image = 0;                        // 1 selected, 0 not
};

// One item of a component check list.
struct ComponentCheckItem {
    std::string text;
    bool checked = false;
};

// One component of the model, defined by the script or read from a stored
// file. The state is the text a definition, a click or a
// stored file gave it ("TRUE", "FALSE", or whatever a stored file held); empty
// until one of them sets it, so that a definition can tell whether to apply
// its initial state.
struct Component {
    std::string name;
    std::string state;
    std::string description; // not stored in a selection file
    bool operator==(const Component&) const = default;
};

// One entry of the size table: a component name and its size in bytes as
// text. The table is keyed by name, not by component: it starts as the
// script's list, which also names components a run never defines, and keeps
// the untranslated names beside the translated ones.
struct SizeEntry {
    std::string name;
    std::string bytes;
    bool operator==(const SizeEntry&) const = default;
};

// What a selection file stores of the model. The deleted, hidden and locked
// lists hold names as they were given, not flags of defined components: a
// stored list may name components this run does not define, and hiding or
// locking a name reaches every component below it.
struct ComponentLists {
    std::vector<Component> components;
    std::vector<std::string> deleted;
    std::vector<std::string> hidden;
    std::vector<std::string> locked;
    std::vector<SizeEntry> sizes;
    bool operator==(const ComponentLists&) const = default;
};

enum class LoadSizes : std::uint8_t { append, skip };

// The size table of a flat list (name, size, name, size, ...). A last name
// without its size gets "0", what a component nobody sized has: leaving it
// unpaired would shift every pair appended after it.
std::vector<SizeEntry> size_table(const std::vector<std::string>& flat);

class TComponentModel {
public:
    // The size table starts as the script's list (name, size, ...).
    explicit TComponentModel(const std::vector<std::string>& sizes = {});

    // Empties every list except the sizes.
    void Clear();
    // A first installation: the lists emptied and the predefined component defined selected.
    void StartFirstInstallation();

    // Defines or redefines a component. untranslated_name is given when the
    // script runs localized: the name before translation (expanded), under
    // which the script's size list knows the component.
    void Define(std::string_view name, std::string_view description, bool initial_state,
                std::optional<std::string_view> untranslated_name = std::nullopt);
    void Delete(std::string_view name);
    // Each returns whether the component exists (and so was changed).
    bool SetState(std::string_view name, bool selected);
    bool SetSpace(std::string_view name, std::int64_t bytes);
    void SetChoice(std::string_view name, bool allowed);
    void SetVisibility(std::string_view name, bool visible);
    // For the wizard controls; an index beyond the components does nothing.
    void set_selected(std::size_t index, bool selected);

    bool exists(std::string_view name) const; // deleted ones included
    std::optional<std::size_t> index(std::string_view name) const;
    // The component at a model index; none beyond the list, since a control's
    // node may hold an index from an older fill.
    const Component* component_at(std::size_t index) const;
    bool is_deleted(std::string_view name) const;
    bool is_selected(std::string_view name) const; // exists, not deleted, state true
    bool is_locked(std::string_view name) const;   // the name or an ancestor is locked
    bool is_hidden(std::string_view name) const;   // the name or an ancestor is hidden
    std::string description(std::string_view name) const;
    std::int64_t size(std::string_view name) const;
    // The sizes of the selected components that are not deleted (hidden and locked ones count).
    std::int64_t selected_size() const;
    // selected_size less the installed-size baseline; negative when a maintenance run frees space.
    std::int64_t total_required_size() const;
    std::int64_t remaining_space(std::int64_t free_space) const;

    // What a maintenance run's previous selections already occupy.
    std::int64_t installed_baseline() const { return m_baseline; }
    void set_installed_baseline(std::int64_t bytes) { m_baseline = bytes; }

    // The feature tree: one node per shown component, with nodes made for the
    // segments of nested names whose parent component is not defined.
    std::vector<ComponentTreeNode> FillTree() const;
    // Sets the node's component and image; with recursive, also every child
    // whose component is not locked, and theirs.
    void SetNodeSelected(std::vector<ComponentTreeNode>& tree, std::size_t node, bool recursive, bool selected);
    // The check list: the top-level components that are shown.
    std::vector<ComponentCheckItem> FillCheckList() const;
    // After a click: every item's check mark drives the components whose name
    // begins with its text (locked ones keep their state) and shows the state
    // of the last of them.
    void CheckListClicked(std::vector<ComponentCheckItem>& items);

    // "Load Feature Selections": the stored states for the components defined
    // now; the deleted, hidden and locked lists replaced; sizes ignored.
    void Merge(const ComponentLists& stored);
    // The engine cache's read: the lists appended as they are.
    void Append(const ComponentLists& stored, LoadSizes sizes);

    const ComponentLists& lists() const { return m_lists; }

private:
    void set_state_at(std::size_t index, bool selected);
    // The position of the entry of a name in the size table.
    std::optional<std::size_t> size_slot(std::string_view name) const;
    std::optional<std::size_t> size_slot_upper(std::string_view name) const;

    ComponentLists m_lists;
    std::int64_t m_baseline = 0;
};

} // namespace quillon
