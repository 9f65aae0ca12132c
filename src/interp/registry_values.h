// What "Read Registry", "Check Registry" and "Delete Registry" decide: the root
// of an index, the text of a stored value and the sentinels in its place.
#pragma once

#include "interp/registry_store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

namespace registry_text {
inline constexpr std::string_view no_key = "NO$KEY";
inline constexpr std::string_view no_value = "NO$VALUE";
inline constexpr std::string_view unknown_type = "UNKNOWN$TYPE";
inline constexpr std::string_view read_error = "READ$ERROR";
// Never produced here, but scripts of older engines test for it, and "Read Registry" blanks it too.
inline constexpr std::string_view binary_value = "BINARY$VALUE";
} // namespace registry_text

// The roots 0 to 4; any other index selects HKEY_CURRENT_USER, as the registry object's default.
RegistryHive hive_of_index(std::int32_t index) noexcept;

// The value as "Check Registry" gives it: strings as stored (not expanded),
// a REG_DWORD as a signed decimal, binary data as upper-case hexadecimal pairs,
// a REG_MULTI_SZ joined by "$NEWLINE$", or the sentinel of what failed.
std::string registry_value_text(const RegistryRead& read);

// "Read Registry" gives the empty text in place of every sentinel.
std::string without_sentinel(std::string text);

// A key path split at its last backslash into the parent and the last part;
// a path without a backslash is a key directly under the root (empty parent).
std::pair<std::string, std::string> split_last_key(std::string_view key);

} // namespace quillon
