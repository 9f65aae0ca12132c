// What a successful "Apply Changes" does to the engine cache: an installation
// copies the engine and its files into the cache folder, writes the run's
// data beside them and registers the cached engine with Apps & features; a
// removal takes all of it away again.
#pragma once

#include "cache/cache_registration.h"
#include "cache/instance_data.h"
#include "engine/cache_folder.h"
#include "engine/cache_registry.h"

#include <string>
#include <vector>

namespace quillon {

struct CacheInstallation {
    std::string cache_folder; // with a trailing "\"
    CacheCompression compression = CacheCompression::off;
    std::string product_marker; // media kept in the cache: the empty file named by the product code; else empty
    std::vector<std::string> copied_files; // full paths; a missing one is skipped
    std::string base_name;
    std::string maintenance_text;
    std::vector<std::string> instance_list;
    std::vector<std::string> shortcuts;
    std::string language; // empty: no ".lan"
    InstanceData instance;
    RegistryRoot root = RegistryRoot::local_machine;
    RegistrationFacts registration;
};

// False when the cache folder could not be made or a file that holds the
// run's data could not be written; copies that fail are skipped one by one.
bool WriteEngineCache(const CacheInstallation& installation);

struct CacheRemoval {
    std::string cache_folder;
    std::string product_marker;
    bool keep_data = false; // SAVEDATA: the folder stays, the entries go
    std::string title;
    std::string product_code;
};

// Returns whether the cache folder is gone (or moved out of the way).
bool RemoveEngineCache(const CacheRemoval& removal);

} // namespace quillon
