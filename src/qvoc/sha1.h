// SHA-1, only for name-based UUIDs: the identifiers it derives must be stable,
// not secret.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon::qvoc {

std::array<std::uint8_t, 20> sha1(std::string_view bytes);

} // namespace quillon::qvoc
