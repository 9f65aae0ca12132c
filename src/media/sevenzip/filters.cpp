// The BCJ x86 and Delta decoders: byte-for-byte transforms of their input.
#include "media/sevenzip/coders.h"
#include "media/sevenzip/header_reader.h"

#include <array>
#include <cstring>
#include <vector>

namespace quillon::sevenzip {

namespace {

// Undoes the x86 branch converter: the encoder turned the relative targets of
// E8 (call) and E9 (jmp) into absolute ones so that repeated calls compress;
// decoding subtracts the instruction's position again. The mask remembers
// which of the last three bytes were E8/E9 opcodes, because an operand that
// overlaps such a byte was left alone by the encoder.
class X86Converter {
public:
    explicit X86Converter(std::uint32_t start) noexcept : m_position(start) {}

    // Converts what it can and returns how many leading bytes are final; the
    // rest (at most four bytes) needs the bytes that follow.
    std::size_t decode(std::uint8_t* data, std::size_t size) noexcept
    {
        static constexpr bool mask_allows[8] = {true, true, true, false, true, false, false, false};
        static constexpr unsigned mask_to_byte[8] = {0, 1, 2, 2, 3, 3, 3, 3};
        auto is_sign_byte = [](std::uint8_t b) { return b == 0x00 || b == 0xFF; };

        if (size < 5)
            return 0;
        const std::uint32_t base = m_position + 5;
        const std::size_t limit = size - 4;
        std::uint32_t mask = m_mask;
        std::size_t pos = 0;
        std::size_t previous = ~std::size_t{0}; // last opcode seen, one before the buffer initially
        for (;;) {
            while (pos < limit && (data[pos] & 0xFE) != 0xE8)
                ++pos;
            if (pos >= limit)
                break;
            std::size_t gap = pos - previous;
            if (gap > 3) {
                mask = 0;
            } else {
                mask = (mask << (gap - 1)) & 7;
                if (mask != 0 && (!mask_allows[mask] || is_sign_byte(data[pos + 4 - mask_to_byte[mask]]))) {
                    previous = pos;
                    mask = ((mask << 1) & 7) | 1;
                    ++pos;
                    continue;
                }
            }
            previous = pos;
            if (!is_sign_byte(data[pos + 4])) {
                mask = ((mask << 1) & 7) | 1;
                ++pos;
                continue;
            }
            std::uint32_t source = std::uint32_t{data[pos + 1]} | std::uint32_t{data[pos + 2]} << 8 |
                                   std::uint32_t{data[pos + 3]} << 16 | std::uint32_t{data[pos + 4]} << 24;
            std::uint32_t target = 0;
            for (;;) {
                target = source - (base + static_cast<std::uint32_t>(pos));
                if (mask == 0)
                    break;
                unsigned shift = mask_to_byte[mask] * 8;
                if (!is_sign_byte(static_cast<std::uint8_t>(target >> (24 - shift))))
                    break;
                source = target ^ ((std::uint32_t{1} << (32 - shift)) - 1);
            }
            data[pos + 4] = (target & 0x01000000) ? 0xFF : 0x00;
            data[pos + 3] = static_cast<std::uint8_t>(target >> 16);
            data[pos + 2] = static_cast<std::uint8_t>(target >> 8);
            data[pos + 1] = static_cast<std::uint8_t>(target);
            pos += 5;
        }
        std::size_t gap = pos - previous;
        m_mask = gap > 3 ? 0 : ((mask << (gap - 1)) & 7);
        m_position += static_cast<std::uint32_t>(pos);
        return pos;
    }

private:
    std::uint32_t m_position;
    std::uint32_t m_mask = 0;
};

class BcjStream final : public Stream {
public:
    BcjStream(std::unique_ptr<Stream> input, std::uint32_t start) : m_input(std::move(input)), m_converter(start) {}

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t done = 0;
        while (done < out.size()) {
            if (m_ready_begin < m_ready_end) {
                std::size_t n = std::min(out.size() - done, m_ready_end - m_ready_begin);
                std::memcpy(out.data() + done, m_buffer.data() + m_ready_begin, n);
                m_ready_begin += n;
                done += n;
                continue;
            }
            if (m_input_ended && m_ready_end == m_filled)
                break;
            // Keep the unconverted tail, top the buffer up and convert again.
            std::size_t tail = m_filled - m_ready_end;
            std::memmove(m_buffer.data(), m_buffer.data() + m_ready_end, tail);
            m_filled = tail;
            m_ready_begin = m_ready_end = 0;
            while (!m_input_ended && m_filled < m_buffer.size()) {
                auto span = std::span<std::byte>(reinterpret_cast<std::byte*>(m_buffer.data()) + m_filled,
                                                 m_buffer.size() - m_filled);
                std::size_t n = TRY(m_input->read(span));
                if (n == 0)
                    m_input_ended = true;
                m_filled += n;
                if (done > 0)
                    break; // hand out what is ready rather than wait for a full buffer
            }
            m_ready_end = m_converter.decode(m_buffer.data(), m_filled);
            if (m_input_ended)
                m_ready_end = m_filled; // the last few bytes cannot hold an operand
        }
        return done;
    }

private:
    std::unique_ptr<Stream> m_input;
    X86Converter m_converter;
    std::array<std::uint8_t, 1 << 16> m_buffer{};
    std::size_t m_filled = 0;
    std::size_t m_ready_begin = 0;
    std::size_t m_ready_end = 0;
    bool m_input_ended = false;
};

// Each byte was stored as the difference to the byte `distance` positions before it.
class DeltaStream final : public Stream {
public:
    DeltaStream(std::unique_ptr<Stream> input, unsigned distance) : m_input(std::move(input)), m_distance(distance) {}

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t n = TRY(m_input->read(out));
        auto* p = reinterpret_cast<std::uint8_t*>(out.data());
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t value = static_cast<std::uint8_t>(p[i] + m_history[(m_position - m_distance) & 0xFF]);
            m_history[m_position & 0xFF] = value;
            p[i] = value;
            ++m_position;
        }
        return n;
    }

private:
    std::unique_ptr<Stream> m_input;
    unsigned m_distance;
    std::array<std::uint8_t, 256> m_history{};
    std::size_t m_position = 0;
};

} // namespace

Result<std::unique_ptr<Stream>> make_bcj_x86_decoder(std::unique_ptr<Stream> input,
                                                     std::span<const std::byte> properties)
{
    std::uint32_t start = 0;
    if (properties.size() == 4) {
        HeaderReader reader(properties);
        start = TRY(reader.u32());
    } else if (!properties.empty()) {
        return unsupported("BCJ properties of " + std::to_string(properties.size()) + " bytes are not supported");
    }
    return std::unique_ptr<Stream>(new BcjStream(std::move(input), start));
}

Result<std::unique_ptr<Stream>> make_delta_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties)
{
    if (properties.size() != 1)
        return corrupt("the Delta filter's properties are invalid");
    unsigned distance = std::to_integer<unsigned>(properties[0]) + 1;
    return std::unique_ptr<Stream>(new DeltaStream(std::move(input), distance));
}

} // namespace quillon::sevenzip
