// The registry of the registry commands on Windows, through the view each
// call names (platform/win32/wow64_view_win32.h gives its access flag).
#pragma once

#include "interp/registry_store.h"

namespace quillon {

class WindowsRegistryStore : public RegistryStore {
public:
    RegistryRead read_value(RegistryHive hive, const std::string& key, const std::string& name,
                            PlatformView view) override;
    void delete_tree(RegistryHive hive, const std::string& key, PlatformView view) override;
    void delete_leaf_key(RegistryHive hive, const std::string& parent, const std::string& name) override;
    void delete_value(RegistryHive hive, const std::string& key, const std::string& name, PlatformView view) override;
};

} // namespace quillon
