// The component model: the components (features) a script defines, which are
// selected, hidden, locked or deleted, their sizes and descriptions, and the
// component selection file that carries them from one run to the next. The
// wizard's tree and check-list controls call the fill and click functions
// below with plain structures, so that all of it runs without a window.
#pragma once

#include "base/error.h"
#include "vars/reserved_names.h"
#include "vars/VariableManager.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The parts of a selection file that are not component lists.
struct SelectionRunValues {
    std::string target_dir;
    std::string all_users;
    std::string start_menu;
    std::string data_folder; // empty from "Save Feature Selections"; the engine cache writes its short path
    std::vector<std::pair<std::string, std::string>> saved_variables; // name, current value, in marking order
    std::string platform_mode;
    std::string override_cache;
};

// A variable pair read back from a selection file.
struct LoadedVariable {
    std::string name;
    std::string value;
    bool saved = true; // joins the saved-variable list (not the pair after the platform mode)
};

// A selection file as read: the six lists and what follows them. Values that
// the file does not hold (a file cut short after its lists) stay empty optionals.
struct SelectionFile {
    std::vector<std::string> names;
    std::vector<std::string> states;
    std::vector<std::string> deleted;
    std::vector<std::string> hidden;
    std::vector<std::string> locked;
    std::vector<std::string> sizes;
    std::optional<std::string> target_dir;
    std::optional<std::string> all_users;
    std::optional<std::string> start_menu;
    std::optional<std::string> data_folder;
    std::vector<LoadedVariable> variables;
    std::optional<std::string> platform_mode;
};

enum class LoadSizes : std::uint8_t { append, skip };

class TComponentModel {
public:
    // The size list starts as the script's predefined list (name, size, ...).
    explicit TComponentModel(std::vector<std::string> sizes = {});

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
    // For the wizard controls; an index beyond the names does nothing.
    void set_selected(std::size_t index, bool selected);

    bool exists(std::string_view name) const; // deleted ones included
    std::optional<std::size_t> index(std::string_view name) const;
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

    // "Load Feature Selections": the file's states for the components defined
    // now; the deleted, hidden and locked lists replaced; sizes ignored.
    void Merge(const SelectionFile& file);
    // The engine cache's read: the lists appended as they are.
    void Append(const SelectionFile& file, LoadSizes sizes);

    const std::vector<std::string>& names() const { return m_names; }
    const std::vector<std::string>& states() const { return m_states; }
    const std::vector<std::string>& descriptions() const { return m_descriptions; }
    const std::vector<std::string>& sizes() const { return m_sizes; }
    const std::vector<std::string>& deleted() const { return m_deleted; }
    const std::vector<std::string>& hidden() const { return m_hidden; }
    const std::vector<std::string>& locked() const { return m_locked; }
    // The state text of a component index, empty when not yet set.
    std::string state(std::size_t index) const;

private:
    void set_state_at(std::size_t index, bool selected);
    // The position of the size entry of a name in the size list.
    std::optional<std::size_t> size_slot(std::string_view name) const;
    std::optional<std::size_t> size_slot_upper(std::string_view name) const;
    void store_description(std::size_t index, std::string_view description);

    std::vector<std::string> m_names;
    std::vector<std::string> m_states; // parallel to m_names; may be shorter after a stored file was read
    std::vector<std::string> m_descriptions;
    std::vector<std::string> m_sizes; // name, size, name, size, ...
    std::vector<std::string> m_deleted;
    std::vector<std::string> m_hidden;
    std::vector<std::string> m_locked;
    std::int64_t m_baseline = 0;
};

// The selection file's text: CR LF lines, the lists each ended by "$".
std::string FormatSelectionFile(const TComponentModel& model, const SelectionRunValues& values);
// A text that ends before its six lists are complete is not a selection file.
Result<SelectionFile> ParseSelectionFile(std::string_view text);

// The file's bytes, or nothing when the file does not exist.
Result<std::optional<std::string>> ReadSelectionFile(const std::string& path);
// Creates or overwrites the file.
Result<void> WriteSelectionFile(const std::string& path, std::string_view text);

// Sets TARGETDIR, ALLUSERS, STARTMENU and the variable pairs of a loaded file
// (origin "LoadComponents") and calls keep(name) for each name that joins the
// saved-variable list. The platform mode is the caller's.
void ApplySelectionVariables(TVariableManager& vars, const SelectionFile& file,
                             const std::function<void(std::string_view name)>& keep);

} // namespace quillon
