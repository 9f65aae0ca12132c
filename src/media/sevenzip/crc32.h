// CRC-32 (IEEE 802.3, reflected, the checksum of 7z and zip).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon::sevenzip
{

// Continues a running CRC; start with 0.
std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::byte> data) noexcept;

inline std::uint32_t crc32(std::span<const std::byte> data) noexcept
{
    return crc32_update(0, data);
}

} // namespace quillon::sevenzip
