#include "base/crc32.h"

#include <array>

namespace quillon {

namespace {

// Slicing by eight: table k advances a byte that sits k positions further back.
constexpr std::array<std::array<std::uint32_t, 256>, 8> make_tables()
{
    std::array<std::array<std::uint32_t, 256>, 8> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value >> 1) ^ (0xEDB88320u & (0u - (value & 1)));
        tables[0][i] = value;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr auto tables = make_tables();

} // namespace

std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::byte> data) noexcept
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t size = data.size();
    crc = ~crc;
    while (size >= 8) {
        std::uint32_t low = crc ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                                   std::uint32_t{p[3]} << 24);
        std::uint32_t high =
            std::uint32_t{p[4]} | std::uint32_t{p[5]} << 8 | std::uint32_t{p[6]} << 16 | std::uint32_t{p[7]} << 24;
        crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
              tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
              tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
        p += 8;
        size -= 8;
    }
    while (size-- > 0)
        crc = (crc >> 8) ^ tables[0][(crc ^ *p++) & 0xFF];
    return ~crc;
}

} // namespace quillon
