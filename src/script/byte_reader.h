// A bounded little-endian reader over a byte span: every read is checked
// against the end, so a damaged image fails instead of reading past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillon {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::byte> bytes) noexcept : m_bytes(bytes) {}

    std::size_t size() const noexcept { return m_bytes.size(); }

    // Value at an absolute offset; empty when any of its bytes lies outside.
    std::optional<std::uint16_t> u16_at(std::uint64_t offset) const noexcept
    {
        auto value = read_at(offset, 2);
        if (!value)
            return std::nullopt;
        return static_cast<std::uint16_t>(*value);
    }

    std::optional<std::uint32_t> u32_at(std::uint64_t offset) const noexcept
    {
        auto value = read_at(offset, 4);
        if (!value)
            return std::nullopt;
        return static_cast<std::uint32_t>(*value);
    }

private:
    std::optional<std::uint64_t> read_at(std::uint64_t offset, std::size_t width) const noexcept
    {
        // Written as a subtraction so that a huge offset cannot wrap around.
        if (m_bytes.size() < width || offset > m_bytes.size() - width)
            return std::nullopt;
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= static_cast<std::uint64_t>(std::to_integer<std::uint8_t>(m_bytes[offset + i])) << (8 * i);
        return value;
    }

    std::span<const std::byte> m_bytes;
};

} // namespace quillon
