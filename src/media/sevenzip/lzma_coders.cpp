// LZMA and LZMA2 decoders over the LZMA SDK's dictionary interface. The
// dictionary doubles as the output buffer: decoded bytes are handed out from it
// before the decoder wraps around and overwrites them.
#include "media/sevenzip/coders.h"
#include "media/sevenzip/header_reader.h"

// The SDK's Types.h includes <windows.h> on Windows only to name DWORD. The
// decoder's header needs none of that, so its few types are declared here
// (identical to the SDK's) and the header's include guard is set.
#define __7Z_TYPES_H
extern "C" {
typedef int SRes;
typedef unsigned char Byte;
typedef unsigned short UInt16;
typedef unsigned int UInt32;
typedef std::size_t SizeT;
typedef int Bool;
typedef struct {
    void* (*Alloc)(void* p, std::size_t size);
    void (*Free)(void* p, void* address);
} ISzAlloc;
}
#define SZ_OK 0
#include "LzmaDec.h"

extern "C" void LzmaDec_InitDicAndState(CLzmaDec* p, Bool initDic, Bool initState);

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace quillon::sevenzip {

namespace {

void* sdk_alloc(void*, std::size_t size)
{
    return ::operator new(size, std::nothrow);
}

void sdk_free(void*, void* address)
{
    ::operator delete(address);
}

ISzAlloc sdk_allocator = {sdk_alloc, sdk_free};

constexpr std::size_t input_buffer_size = std::size_t{1} << 16;
constexpr std::uint32_t min_dictionary = 1 << 12;

// Owns the SDK state, the dictionary and the input buffer.
class LzmaCore {
public:
    explicit LzmaCore(std::unique_ptr<Stream> input) : m_input(std::move(input)), m_in(input_buffer_size)
    {
        LzmaDec_Construct(&m_state);
    }

    ~LzmaCore()
    {
        LzmaDec_FreeProbs(&m_state, &sdk_allocator);
        ::operator delete(m_state.dic);
    }

    LzmaCore(const LzmaCore&) = delete;
    LzmaCore& operator=(const LzmaCore&) = delete;

    // A dictionary larger than the whole output is never filled, so the output
    // size caps it; the decoder's own window checks keep matches inside it.
    Result<void> allocate(const Byte* props, std::uint32_t dictionary, std::uint64_t out_size, const Limits& limits)
    {
        if (LzmaDec_AllocateProbs(&m_state, props, LZMA_PROPS_SIZE, &sdk_allocator) != SZ_OK)
            return unsupported("the LZMA properties are not supported");
        std::uint64_t size = std::max<std::uint64_t>(
            std::min<std::uint64_t>(std::max(dictionary, min_dictionary), out_size), min_dictionary);
        if (size > limits.max_dictionary || size > SIZE_MAX)
            return unsupported("a dictionary of " + std::to_string(size >> 20) + " MiB exceeds the memory limit");
        m_state.dic = static_cast<Byte*>(::operator new(static_cast<std::size_t>(size), std::nothrow));
        if (!m_state.dic)
            return make_error(ErrorCode::io,
                              "7z archive: not enough memory for a " + std::to_string(size >> 20) + " MiB dictionary");
        m_state.dicBufSize = static_cast<SizeT>(size);
        LzmaDec_Init(&m_state);
        return {};
    }

    // Hands out decoded bytes that are still in the dictionary.
    std::size_t drain(std::span<std::byte> out) noexcept
    {
        std::size_t n = std::min(out.size(), m_state.dicPos - m_handed_out);
        std::memcpy(out.data(), m_state.dic + m_handed_out, n);
        m_handed_out += n;
        return n;
    }

    bool drained() const noexcept { return m_handed_out == m_state.dicPos; }

    // Room left before the dictionary wraps; wraps once everything is handed out.
    std::size_t room() noexcept
    {
        if (m_state.dicPos == m_state.dicBufSize && drained()) {
            m_state.dicPos = 0;
            m_handed_out = 0;
        }
        return m_state.dicBufSize - m_state.dicPos;
    }

    Result<void> fill_input()
    {
        if (m_in_pos < m_in_size || m_input_ended)
            return {};
        m_in_pos = 0;
        m_in_size = TRY(m_input->read(std::span<std::byte>(reinterpret_cast<std::byte*>(m_in.data()), m_in.size())));
        if (m_in_size == 0)
            m_input_ended = true;
        return {};
    }

    std::size_t available() const noexcept { return m_in_size - m_in_pos; }
    bool input_ended() const noexcept { return m_input_ended && m_in_pos == m_in_size; }

    struct Step {
        std::size_t produced = 0;
        std::size_t consumed = 0;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
    };

    Result<Step> decode(std::size_t out_limit, std::size_t in_limit, ELzmaFinishMode mode)
    {
        Step step;
        SizeT in_size = std::min(available(), in_limit);
        SizeT before = m_state.dicPos;
        SRes result = LzmaDec_DecodeToDic(&m_state, m_state.dicPos + out_limit, m_in.data() + m_in_pos, &in_size, mode,
                                          &step.status);
        m_in_pos += in_size;
        step.consumed = in_size;
        step.produced = m_state.dicPos - before;
        if (result != SZ_OK)
            return corrupt("the LZMA data is corrupt");
        return step;
    }

    // Uncompressed LZMA2 chunk: copied into the window as if decoded.
    std::size_t copy_input(std::size_t limit) noexcept
    {
        std::size_t n = std::min({limit, available(), room()});
        std::memcpy(m_state.dic + m_state.dicPos, m_in.data() + m_in_pos, n);
        if (m_state.checkDicSize == 0 && m_state.prop.dicSize - m_state.processedPos <= n)
            m_state.checkDicSize = m_state.prop.dicSize;
        m_state.processedPos += static_cast<UInt32>(n);
        m_state.dicPos += n;
        m_in_pos += n;
        return n;
    }

    Result<std::uint8_t> input_byte()
    {
        TRY(fill_input());
        if (available() == 0)
            return corrupt("the LZMA2 data ends early");
        return m_in[m_in_pos++];
    }

    CLzmaDec& state() noexcept { return m_state; }

private:
    std::unique_ptr<Stream> m_input;
    std::vector<Byte> m_in;
    std::size_t m_in_pos = 0;
    std::size_t m_in_size = 0;
    bool m_input_ended = false;
    CLzmaDec m_state{};
    std::size_t m_handed_out = 0;
};

class LzmaStream final : public Stream {
public:
    LzmaStream(std::unique_ptr<Stream> input, std::uint64_t out_size) : m_core(std::move(input)), m_left(out_size) {}

    LzmaCore& core() noexcept { return m_core; }

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t done = 0;
        while (done < out.size()) {
            if (!m_core.drained()) {
                done += m_core.drain(out.subspan(done));
                continue;
            }
            if (m_left == 0)
                break;
            TRY(m_core.fill_input());
            std::size_t limit = static_cast<std::size_t>(std::min<std::uint64_t>(m_core.room(), m_left));
            // 7z streams end at their declared size, with or without an end mark.
            auto step = TRY(m_core.decode(limit, m_core.available(), LZMA_FINISH_ANY));
            m_left -= step.produced;
            if (step.status == LZMA_STATUS_FINISHED_WITH_MARK && m_left != 0)
                return corrupt("the LZMA data ends before its declared size");
            if (step.produced == 0 && step.consumed == 0 && (m_core.input_ended() || m_core.available() != 0))
                return corrupt("the LZMA data ends before its declared size");
        }
        return done;
    }

private:
    LzmaCore m_core;
    std::uint64_t m_left;
};

// LZMA2 frames LZMA data in chunks of at most 2 MiB unpacked, each starting
// with a control byte:
//   0x00                end of stream
//   0x01, 0x02          uncompressed chunk (with, without dictionary reset), size-1 as 2 bytes
//   0x80 | m << 5 | u   LZMA chunk: unpacked size-1 (u, then 2 bytes), packed size-1 (2 bytes),
//                       m = 0 nothing reset, 1 state reset, 2 + new properties byte, 3 + dictionary reset
class Lzma2Stream final : public Stream {
public:
    Lzma2Stream(std::unique_ptr<Stream> input, std::uint32_t dictionary, std::uint64_t out_size)
        : m_core(std::move(input)), m_dictionary(dictionary), m_left(out_size)
    {
    }

    Result<void> allocate(const Limits& limits)
    {
        // lc=0 lp=0 pb=0 until the first chunk brings its own properties.
        Byte props[LZMA_PROPS_SIZE] = {0, static_cast<Byte>(m_dictionary), static_cast<Byte>(m_dictionary >> 8),
                                       static_cast<Byte>(m_dictionary >> 16), static_cast<Byte>(m_dictionary >> 24)};
        return m_core.allocate(props, m_dictionary, m_left, limits);
    }

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t done = 0;
        while (done < out.size()) {
            if (!m_core.drained()) {
                done += m_core.drain(out.subspan(done));
                continue;
            }
            if (m_left == 0)
                break;
            if (m_chunk == Chunk::none) {
                TRY(start_chunk());
                continue;
            }
            TRY(m_core.fill_input());
            std::size_t limit = static_cast<std::size_t>(std::min<std::uint64_t>({m_core.room(), m_unpacked, m_left}));
            if (m_chunk == Chunk::stored) {
                std::size_t n = m_core.copy_input(limit);
                if (n == 0)
                    return corrupt("the LZMA2 data ends early");
                m_unpacked -= n;
                m_left -= n;
            } else {
                ELzmaFinishMode mode = limit == m_unpacked ? LZMA_FINISH_END : LZMA_FINISH_ANY;
                auto step = TRY(m_core.decode(limit, m_packed, mode));
                m_unpacked -= step.produced;
                m_packed -= step.consumed;
                m_left -= step.produced;
                if (step.status == LZMA_STATUS_FINISHED_WITH_MARK)
                    return corrupt("an LZMA2 chunk carries an end mark");
                // A chunk's range coder is flushed: all its bytes consumed, the code back at zero.
                if (m_unpacked == 0 && (m_packed != 0 || m_core.state().code != 0))
                    return corrupt("an LZMA2 chunk does not end where its header says");
                if (step.produced == 0 && step.consumed == 0)
                    return corrupt("the LZMA2 data ends early");
            }
            if (m_unpacked == 0)
                m_chunk = Chunk::none;
        }
        return done;
    }

private:
    enum class Chunk { none, stored, lzma };

    Result<void> start_chunk()
    {
        std::uint8_t control = TRY(m_core.input_byte());
        if (control == 0x00)
            return corrupt("the LZMA2 data ends before its declared size");
        CLzmaDec& state = m_core.state();
        if (control == 0x01 || control == 0x02) {
            bool reset_dictionary = control == 0x01;
            if (m_need_dictionary_reset && !reset_dictionary)
                return corrupt("the LZMA2 data does not start with a dictionary reset");
            m_unpacked = (std::uint32_t{TRY(m_core.input_byte())} << 8 | TRY(m_core.input_byte())) + 1u;
            LzmaDec_InitDicAndState(&state, reset_dictionary, 0);
            if (reset_dictionary)
                m_need_properties = true;
            m_need_dictionary_reset = false;
            m_chunk = Chunk::stored;
            return {};
        }
        if (control < 0x80)
            return corrupt("the LZMA2 data has an invalid control byte");
        unsigned mode = (control >> 5) & 3;
        if (m_need_dictionary_reset && mode != 3)
            return corrupt("the LZMA2 data does not start with a dictionary reset");
        std::uint32_t unpacked = std::uint32_t{control & 0x1Fu} << 16;
        unpacked |= std::uint32_t{TRY(m_core.input_byte())} << 8;
        unpacked |= TRY(m_core.input_byte());
        std::uint32_t packed = std::uint32_t{TRY(m_core.input_byte())} << 8;
        packed |= TRY(m_core.input_byte());
        if (mode >= 2) {
            std::uint8_t properties = TRY(m_core.input_byte());
            if (properties >= 9 * 5 * 5)
                return corrupt("an LZMA2 chunk has invalid properties");
            unsigned lc = properties % 9;
            unsigned lp = (properties / 9) % 5;
            if (lc + lp > 4)
                return corrupt("an LZMA2 chunk has invalid properties");
            Byte props[LZMA_PROPS_SIZE] = {properties, static_cast<Byte>(m_dictionary),
                                           static_cast<Byte>(m_dictionary >> 8), static_cast<Byte>(m_dictionary >> 16),
                                           static_cast<Byte>(m_dictionary >> 24)};
            if (LzmaDec_AllocateProbs(&state, props, LZMA_PROPS_SIZE, &sdk_allocator) != SZ_OK)
                return make_error(ErrorCode::io, "7z archive: not enough memory for the LZMA2 decoder");
            m_need_properties = false;
        } else if (m_need_properties) {
            return corrupt("an LZMA2 chunk lacks its properties");
        }
        LzmaDec_InitDicAndState(&state, mode == 3, mode >= 1);
        m_need_dictionary_reset = false;
        m_unpacked = unpacked + 1u;
        m_packed = packed + 1u;
        m_chunk = Chunk::lzma;
        return {};
    }

    LzmaCore m_core;
    std::uint32_t m_dictionary;
    std::uint64_t m_left;
    Chunk m_chunk = Chunk::none;
    std::uint64_t m_unpacked = 0;
    std::uint64_t m_packed = 0;
    bool m_need_dictionary_reset = true;
    bool m_need_properties = true;
};

} // namespace

Result<std::unique_ptr<Stream>> make_lzma_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                  std::uint64_t out_size, const Limits& limits)
{
    if (properties.size() != LZMA_PROPS_SIZE)
        return corrupt("the LZMA properties are invalid");
    const Byte* props = reinterpret_cast<const Byte*>(properties.data());
    std::uint32_t dictionary = std::uint32_t{props[1]} | std::uint32_t{props[2]} << 8 | std::uint32_t{props[3]} << 16 |
                               std::uint32_t{props[4]} << 24;
    auto stream = std::make_unique<LzmaStream>(std::move(input), out_size);
    TRY(stream->core().allocate(props, dictionary, out_size, limits));
    return std::unique_ptr<Stream>(std::move(stream));
}

Result<std::unique_ptr<Stream>> make_lzma2_decoder(std::unique_ptr<Stream> input, std::span<const std::byte> properties,
                                                   std::uint64_t out_size, const Limits& limits)
{
    if (properties.size() != 1)
        return corrupt("the LZMA2 properties are invalid");
    unsigned bits = std::to_integer<unsigned>(properties[0]);
    if (bits > 40)
        return unsupported("the LZMA2 dictionary size is not supported");
    std::uint32_t dictionary = bits == 40 ? 0xFFFFFFFFu : (2u | (bits & 1u)) << (bits / 2 + 11);
    auto stream = std::make_unique<Lzma2Stream>(std::move(input), dictionary, out_size);
    TRY(stream->allocate(limits));
    return std::unique_ptr<Stream>(std::move(stream));
}

} // namespace quillon::sevenzip
