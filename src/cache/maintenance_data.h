// The maintenance data of an installed product (B + ".dat" in its engine
// cache): the component selection file's lists and run values, written in
// full after changes are applied and updated at the end of later runs, and
// read back when the cached engine runs again.
#pragma once

#include "base/error.h"
#include "msi/components.h"
#include "msi/selection_file.h"
#include "vars/VariableManager.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// The files of the engine cache, as the cache code reaches them. Windows
// writes through the file system; tests keep them in memory.
class CacheFiles {
public:
    virtual ~CacheFiles() = default;
    // The file's bytes, nothing when it does not exist.
    virtual Result<std::optional<std::string>> read(const std::string& path) = 0;
    // Creates or overwrites the file, whole or not at all.
    virtual Result<void> write(const std::string& path, std::string_view bytes) = 0;
    // Puts `from` in the place of `to` in one step: `to` is never missing.
    virtual Result<void> replace(const std::string& from, const std::string& to) = 0;
};

// Current: a maintenance run's own data, sizes included. Import: an older
// build's data taken over by an upgrade, whose sizes do not describe this build.
enum class MaintenanceLoad : std::uint8_t { current, import };

struct MaintenanceTarget {
    TComponentModel& model;
    TVariableManager& vars;
    std::function<void(std::string_view name)> keep;          // joins the saved-variable list
    std::function<void(std::string_view mode)> platform_mode; // "Win32", "ia64" or "x64"
};

// Applies a read file: lists appended to the model, TARGETDIR, ALLUSERS,
// STARTMENU and the saved variables defined (origin "LoadComponents"). Values
// are data: "$" references stay as they are, "$NEWLINE$" becomes a line
// break again. Returns the data folder of the earlier run.
std::string ApplyMaintenanceData(const SelectionFile& file, MaintenanceLoad mode, MaintenanceTarget& target);

// Reads and applies the file; nothing happens when it does not exist.
Result<void> LoadMaintenanceData(CacheFiles& files, const std::string& path, MaintenanceLoad mode,
                                 MaintenanceTarget& target);

// The update: the old file's lists and its four run values kept, the saved
// variables with their current values, then the platform mode and
// OVERRIDECACHE. A text without its six lists is not maintenance data.
Result<std::string> UpdatedMaintenanceData(std::string_view old_text, const SelectionRunValues& values);

enum class MaintenanceSave : std::uint8_t { full, update };

// Full: the model and the values. Update (only when the file exists): the
// new text is written beside the file and then takes its place, so that a
// crash at any point leaves the old or the new file, never none; an old file
// that cannot be read as maintenance data is written in full.
Result<void> SaveMaintenanceData(CacheFiles& files, const std::string& path, MaintenanceSave mode,
                                 const TComponentModel& model, const SelectionRunValues& values);

} // namespace quillon

namespace quillon {

// The run values a save writes: TARGETDIR, ALLUSERS, STARTMENU and OVERRIDECACHE
// from the variables, the saved variables with their current values.
SelectionRunValues MaintenanceRunValues(const TVariableManager& vars, const std::vector<std::string>& saved_names,
                                        std::string platform_mode, std::string data_folder);

} // namespace quillon
