// Reading 7z header bytes: every read is checked against the end, and every
// count against the bytes left before anything is sized by it.
#pragma once

#include "base/byte_cursor.h"
#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon::sevenzip {

inline std::unexpected<Error> corrupt(std::string message)
{
    return make_error(ErrorCode::corrupt, "7z archive: " + std::move(message));
}

inline std::unexpected<Error> unsupported(std::string message)
{
    return make_error(ErrorCode::unsupported, "7z archive: " + std::move(message));
}

// The 7z reader of header bytes over the bounded cursor: a read past the end
// is a corrupt archive, and every count is checked against the bytes left
// before anything is sized by it.
class HeaderReader {
public:
    explicit HeaderReader(std::span<const std::byte> bytes) noexcept : m_cursor(bytes) {}

    std::size_t remaining() const noexcept { return m_cursor.remaining(); }
    bool at_end() const noexcept { return m_cursor.at_end(); }

    Result<std::uint8_t> byte() { return checked(m_cursor.u8()); }
    Result<std::uint32_t> u32() { return checked(m_cursor.u32()); }
    Result<std::uint64_t> u64() { return checked(m_cursor.u64()); }

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

    Result<std::span<const std::byte>> bytes(std::uint64_t size) { return checked(m_cursor.bytes(size)); }

    Result<void> skip(std::uint64_t size)
    {
        TRY(bytes(size));
        return {};
    }

private:
    template <typename T>
    static Result<T> checked(std::optional<T> value)
    {
        if (!value)
            return corrupt("the header ends early");
        return *value;
    }

    ByteCursor m_cursor;
};

} // namespace quillon::sevenzip
