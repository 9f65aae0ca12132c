// The component selection file: the model's lists and the run's folder and
// saved variables, carried from one run to the next ("Save Feature
// Selections", "Load Feature Selections" and the engine cache). CR LF lines;
// six lists each ended by "$" (names, states, deleted, hidden, locked, sizes as
// name and size lines), then the run values.
#pragma once

#include "base/error.h"
#include "msi/components.h"
#include "vars/VariableManager.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

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

// A selection file as read: the lists and what follows them. Values that the
// file does not hold (a file cut short after its lists) stay empty optionals.
struct SelectionFile {
    // A name without a state line (a states list shorter than the names) gets
    // an empty state, which tells nothing; states beyond the names are dropped.
    ComponentLists lists;
    std::optional<std::string> target_dir;
    std::optional<std::string> all_users;
    std::optional<std::string> start_menu;
    std::optional<std::string> data_folder;
    std::vector<LoadedVariable> variables;
    std::optional<std::string> platform_mode;
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
