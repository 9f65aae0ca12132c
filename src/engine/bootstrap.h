// The bootstrap of a script run: first installation or maintenance of an
// installed product, the identity a cached engine was installed under, the
// engine-cache variables, and the data of earlier runs read back from the
// engine cache. The variables are set at once; what belongs to the executor
// (component lists, saved-variable names, platform mode, instance and
// shortcut lists) is handed over when the executor is made.
#pragma once

#include "interp/mscriptexec.h"
#include "msi/components.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"
#include "vars/predefined.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

struct BootstrapSetup {
    const TScriptImage& script;
    TVariableManager& vars;
    StartupFacts& startup; // its title becomes the installed one
    std::string base_name;
    bool administrator = false;
    std::string database_path; // the engine's copy of the package; a patch lies beside it as B + ".msp"
    // A transformed instance's product and revision codes, in place of the script's.
    std::optional<std::pair<std::string, std::string>> new_instance;
};

struct BootstrapLoad {
    bool first_installation = true;
    std::vector<std::pair<ComponentLists, LoadSizes>> lists; // appended in this order
    std::vector<std::string> saved_names;
    std::optional<std::string> platform_mode;
    std::optional<std::vector<std::string>> instance_list;
    std::vector<std::string> installed_shortcuts;
    std::string saved_language; // the ".lan" of the cache, empty when none
    bool installed_sizes = false; // the loaded selection is what the installed product occupies
    // A patch run's: the name of the installed product's cache folder (its
    // uninstall entry's), empty when there is none.
    std::string installed_cache_name;
};

BootstrapLoad Bootstrap(BootstrapSetup& setup);
void ApplyBootstrapLoad(TScriptExecutor& executor, const BootstrapLoad& load);

// Where the maintenance data of this build are: the per-user cache folder
// when it holds B + ".dat", else the machine-wide one.
std::string MaintenanceDataFolder(const TVariableManager& vars, const std::string& revision_code,
                                  const std::string& base_name);

// At the end of the run: fetched sources deleted from the cache when the
// build keeps none (CACHESOURCES "FALSE"), the cache folder marked again and the maintenance
// data written (in full when the run made the cache, else updated), unless
// the run removed the cache or nothing is saved.
struct SaveAfterRun {
    bool cache_written = false;
    bool cache_removed = false;
    // The cache folder's name below the root when it is not the revision code
    // (media kept by the installed product: the installed product's folder).
    std::string cache_folder_name;
};
void SaveDataAfterRun(const TScriptImage& script, TScriptExecutor& executor, TVariableManager& vars,
                      const std::string& base_name, SaveAfterRun done);

} // namespace quillon
