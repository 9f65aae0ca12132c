// The one bounded reader of binary input (the appended script's PE image, 7z
// headers, binary form files): little-endian values read at an absolute
// offset or in sequence, every read checked against the end so that damaged
// input fails instead of reading past it. A failed read answers nothing and
// leaves the position where it was; callers turn that into their own error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillon {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::byte> bytes) noexcept : m_bytes(bytes) {}

    std::size_t size() const noexcept { return m_bytes.size(); }
    std::size_t position() const noexcept { return m_position; }
    std::size_t remaining() const noexcept { return m_bytes.size() - m_position; }
    bool at_end() const noexcept { return m_position == m_bytes.size(); }

    // Values at an absolute offset; the position does not move.
    std::optional<std::uint8_t> u8_at(std::uint64_t offset) const noexcept
    {
        return narrow<std::uint8_t>(read_at(offset, 1));
    }
    std::optional<std::uint16_t> u16_at(std::uint64_t offset) const noexcept
    {
        return narrow<std::uint16_t>(read_at(offset, 2));
    }
    std::optional<std::uint32_t> u32_at(std::uint64_t offset) const noexcept
    {
        return narrow<std::uint32_t>(read_at(offset, 4));
    }
    std::optional<std::uint64_t> u64_at(std::uint64_t offset) const noexcept { return read_at(offset, 8); }

    // Values in sequence from the position, which moves past them.
    std::optional<std::uint8_t> u8() noexcept { return narrow<std::uint8_t>(next(1)); }
    std::optional<std::uint16_t> u16() noexcept { return narrow<std::uint16_t>(next(2)); }
    std::optional<std::uint32_t> u32() noexcept { return narrow<std::uint32_t>(next(4)); }
    std::optional<std::uint64_t> u64() noexcept { return next(8); }
    std::optional<std::span<const std::byte>> bytes(std::uint64_t count) noexcept
    {
        if (count > remaining())
            return std::nullopt;
        auto view = m_bytes.subspan(m_position, static_cast<std::size_t>(count));
        m_position += static_cast<std::size_t>(count);
        return view;
    }
    bool skip(std::uint64_t count) noexcept { return bytes(count).has_value(); }
    bool seek(std::uint64_t offset) noexcept
    {
        if (offset > m_bytes.size())
            return false;
        m_position = static_cast<std::size_t>(offset);
        return true;
    }

private:
    template <typename T>
    static std::optional<T> narrow(std::optional<std::uint64_t> value) noexcept
    {
        if (!value)
            return std::nullopt;
        return static_cast<T>(*value);
    }

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

    std::optional<std::uint64_t> next(std::size_t width) noexcept
    {
        std::optional<std::uint64_t> value = read_at(m_position, width);
        if (value)
            m_position += width;
        return value;
    }

    std::span<const std::byte> m_bytes;
    std::size_t m_position = 0;
};

} // namespace quillon
