#include "qvoc/crc32.h"

#include <array>

namespace quillon::qvoc {

namespace {

constexpr std::array<std::uint32_t, 256> make_table()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> table = make_table();

} // namespace

void Crc32::update(std::string_view bytes) noexcept
{
    std::uint32_t c = m_state;
    for (char byte : bytes)
        c = table[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    m_state = c;
}

std::uint32_t crc32(std::string_view bytes) noexcept
{
    Crc32 crc;
    crc.update(bytes);
    return crc.value();
}

} // namespace quillon::qvoc
