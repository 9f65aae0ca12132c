// GUIDs in registry form ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}") and the
// name-based GUIDs that the compiler derives when the author gives none.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::qvoc {

using GuidBytes = std::array<std::uint8_t, 16>;

// Registry form with braces, hexadecimal digits in either case; empty otherwise.
std::optional<GuidBytes> parse_guid(std::string_view text);

// Registry form, upper-case digits.
std::string format_guid(const GuidBytes& guid);

// Version 5 (SHA-1) name-based UUID: the same namespace and name always give
// the same GUID. The namespace bytes are taken in the order the text shows them.
GuidBytes name_based_guid(const GuidBytes& name_space, std::string_view name);

} // namespace quillon::qvoc
