// The registry as the registry commands reach it: reading one value raw,
// deleting keys and values, each through a view (the 32-bit one or the native
// one). The texts a script sees are decided in registry_values; the engine
// carries it out on Windows, tests give an in-memory fake.
#pragma once

#include "platform/wow64_view.h"

#include <cstdint>
#include <string>

namespace quillon {

// The roots a script names by index 0 to 4.
enum class RegistryHive : std::uint8_t { classes_root, current_user, local_machine, users, current_config };

// Value types as Windows numbers them.
namespace registry_type {
inline constexpr std::uint32_t string = 1;          // REG_SZ
inline constexpr std::uint32_t expand_string = 2;   // REG_EXPAND_SZ
inline constexpr std::uint32_t binary = 3;          // REG_BINARY
inline constexpr std::uint32_t dword = 4;           // REG_DWORD
inline constexpr std::uint32_t multi_string = 7;    // REG_MULTI_SZ
inline constexpr std::uint32_t qword = 11;          // REG_QWORD
} // namespace registry_type

enum class RegistryLookup : std::uint8_t {
    found,
    no_key,   // the key cannot be opened for reading
    no_value, // the key has no such value
    failed,   // the value is there but could not be read
};

// One value as stored. The data of the string types (1, 2, 7) is the text in
// the ANSI code page with its zero characters as stored; of any other type the bytes.
struct RegistryRead {
    RegistryLookup lookup = RegistryLookup::no_key;
    std::uint32_t type = 0;
    std::string data;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;

    virtual RegistryRead read_value(RegistryHive hive, const std::string& key, const std::string& name,
                                    PlatformView view) = 0;
    // Deletes the key with its whole subtree. Failures are ignored.
    virtual void delete_tree(RegistryHive hive, const std::string& key, PlatformView view) = 0;
    // Deletes one key of the native view that has no subkeys (RegDeleteKeyEx):
    // a key with subkeys stays. `parent` may be empty for a key under the root.
    virtual void delete_leaf_key(RegistryHive hive, const std::string& parent, const std::string& name) = 0;
    // Deletes a value of an existing key (the key is never created).
    virtual void delete_value(RegistryHive hive, const std::string& key, const std::string& name,
                              PlatformView view) = 0;
};

} // namespace quillon
