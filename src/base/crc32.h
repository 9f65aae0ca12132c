// CRC-32 (IEEE 802.3, reflected, the checksum of 7z and zip).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

// Continues a running CRC; start with 0.
std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::byte> data) noexcept;

inline std::uint32_t crc32(std::span<const std::byte> data) noexcept
{
    return crc32_update(0, data);
}

inline std::uint32_t crc32_update(std::uint32_t crc, std::string_view text) noexcept
{
    return crc32_update(crc, std::as_bytes(std::span<const char>(text.data(), text.size())));
}

inline std::uint32_t crc32(std::string_view text) noexcept
{
    return crc32_update(0, text);
}

} // namespace quillon
