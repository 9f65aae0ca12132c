// The registry entries of the engine cache on Windows: written as the
// portable registration decides, deleted under both roots at removal, and the
// identification key read back.
#pragma once

#include "cache/cache_registration.h"
#include "interp/system_information.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Writes each key's values; false when a key or a value could not be written.
bool WriteRegistryKeys(RegistryRoot root, const std::vector<RegistryKeyValues>& keys);
// Deletes each key with its subkeys under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER.
void DeleteRegistryKeysEverywhere(const std::vector<RegistryKey>& keys);

// The default value of the product's identification key, under
// HKEY_LOCAL_MACHINE, else HKEY_CURRENT_USER; nothing when neither key exists.
std::optional<std::string> IdentCacheFolder(const std::string& product_code);
// A text value of a key; nothing when the key or the value is missing.
std::optional<std::string> RegistryText(RegistryRoot root, const std::string& key, const std::string& name);

} // namespace quillon
