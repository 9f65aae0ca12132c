// Bounded reader of 7z header bytes: every read is checked against the end,
// and every count is checked against the bytes left before anything is sized by it.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon::sevenzip
{

inline std::unexpected<Error> corrupt(std::string message)
{
    return make_error(ErrorCode::corrupt, "7z archive: " + std::move(message));
}

inline std::unexpected<Error> unsupported(std::string message)
{
    return make_error(ErrorCode::unsupported, "7z archive: " + std::move(message));
}

class HeaderReader
{
  public:
    explicit HeaderReader(std::span<const std::byte> bytes) noexcept : m_bytes(bytes) {}

    std::size_t remaining() const noexcept { return m_bytes.size() - m_position; }
    bool at_end() const noexcept { return m_position == m_bytes.size(); }

    Result<std::uint8_t> byte()
    {
        if (remaining() < 1)
            return truncated();
        return std::to_integer<std::uint8_t>(m_bytes[m_position++]);
    }

    Result<std::uint32_t> u32()
    {
        auto value = fixed(4);
        if (!value)
            return std::unexpected(value.error());
        return static_cast<std::uint32_t>(*value);
    }

    Result<std::uint64_t> u64() { return fixed(8); }

    // The 7z variable-length number: the count of leading one bits of the
    // first byte is the count of extra little-endian bytes.
    Result<std::uint64_t> number()
    {
        std::uint8_t first = TRY(byte());
        std::uint8_t mask = 0x80;
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0) {
                std::uint64_t high = first & (mask - 1u);
                return value | (high << (8 * i));
            }
            std::uint8_t next = TRY(byte());
            value |= std::uint64_t{next} << (8 * i);
            mask >>= 1;
        }
        return value;
    }

    // A number that sizes a table of items of at least min_item_size bytes each
    // that are still to be read: larger than the header can hold is corrupt.
    Result<std::uint64_t> count(std::size_t min_item_size = 1)
    {
        std::uint64_t value = TRY(number());
        if (min_item_size != 0 && value > remaining() / min_item_size)
            return corrupt("a count in the header exceeds the header's size");
        return value;
    }

    Result<std::span<const std::byte>> bytes(std::uint64_t size)
    {
        if (size > remaining())
            return truncated();
        auto view = m_bytes.subspan(m_position, static_cast<std::size_t>(size));
        m_position += static_cast<std::size_t>(size);
        return view;
    }

    Result<void> skip(std::uint64_t size)
    {
        TRY(bytes(size));
        return {};
    }

  private:
    static std::unexpected<Error> truncated() { return corrupt("the header ends early"); }

    Result<std::uint64_t> fixed(std::size_t width)
    {
        if (remaining() < width)
            return truncated();
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i)
            value |= std::uint64_t{std::to_integer<std::uint8_t>(m_bytes[m_position + i])} << (8 * i);
        m_position += width;
        return value;
    }

    std::span<const std::byte> m_bytes;
    std::size_t m_position = 0;
};

} // namespace quillon::sevenzip
