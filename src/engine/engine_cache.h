// Where the engine cache lives: a folder per setup build below the cache root.
// The cache root is the folder that OVERRIDECACHE names, else the one an earlier
// installation of the product recorded under Ident.Cache, else the common (all
// users) or the local (one user) application data folder.
#pragma once

#include <string>

namespace quillon {

// The cache root with a trailing "\".
std::string CacheRoot(bool all_users, const std::string& override_cache, const std::string& product_code,
                      const std::string& revision_code);

} // namespace quillon
