// Where the engine cache lives: a folder per setup build below the cache root.
// The cache root is the folder that OVERRIDECACHE names, else the one an earlier
// installation of the product recorded under Ident.Cache, else the common (all
// users) or the local (one user) application data folder.
#pragma once

#include "vars/VariableManager.h"

#include <string>
#include <tuple>

namespace quillon {

// The cache root with a trailing "\".
std::string CacheRoot(bool all_users, const std::string& override_cache, const std::string& product_code,
                      const std::string& revision_code);

// ENGINECACHE and UNINSTALLLINK, set again before every command for the
// current ALLUSERS. With media kept by an installed product (media mode 3)
// they come from the product's uninstall entry instead.
class CacheVariables {
public:
    CacheVariables(std::string engine_file, int media_mode)
        : m_engine_file(std::move(engine_file)), m_media_mode(media_mode)
    {
    }
    void refresh(TVariableManager& vars);

private:
    std::string m_engine_file;
    int m_media_mode;
    // The cache root asks the registry and the shell; it is asked again only
    // when one of what it depends on changed.
    std::tuple<bool, std::string, std::string, std::string> m_root_for;
    std::string m_root;
};

} // namespace quillon
