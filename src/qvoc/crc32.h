// CRC-32 as 7z archives use it (IEEE polynomial, reflected, inverted in and out).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon::qvoc {

class Crc32 {
public:
    void update(std::string_view bytes) noexcept;
    std::uint32_t value() const noexcept { return ~m_state; }

private:
    std::uint32_t m_state = 0xFFFFFFFFu;
};

std::uint32_t crc32(std::string_view bytes) noexcept;

} // namespace quillon::qvoc
