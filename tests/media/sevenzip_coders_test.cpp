#include "media/sevenzip/coders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace quillon::test {
namespace {

using namespace sevenzip;

// Hands out its bytes at most `step` at a time, to shake out chunking bugs.
class TrickleStream final : public Stream {
public:
    TrickleStream(std::string bytes, std::size_t step) : m_bytes(std::move(bytes)), m_step(step) {}

    Result<std::size_t> read(std::span<std::byte> out) override
    {
        std::size_t n = std::min({out.size(), m_step, m_bytes.size() - m_at});
        std::memcpy(out.data(), m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }

private:
    std::string m_bytes;
    std::size_t m_step;
    std::size_t m_at = 0;
};

Result<std::string> drain(Stream& stream, std::size_t chunk = 4096)
{
    std::string out;
    std::string buffer(chunk, '\0');
    for (;;) {
        std::size_t n = TRY(stream.read(std::as_writable_bytes(std::span(buffer.data(), buffer.size()))));
        if (n == 0)
            return out;
        out.append(buffer.data(), n);
    }
}

std::span<const std::byte> props(const std::string& bytes)
{
    return {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()};
}

std::string stored_chunk(char control, const std::string& data)
{
    std::size_t size = data.size() - 1;
    return std::string{control, static_cast<char>(size >> 8), static_cast<char>(size & 0xFF)} + data;
}

TEST(Lzma2Decoder, JoinsStoredChunksWithAndWithoutDictionaryReset)
{
    std::string first(3000, 'a');
    std::string second = "tail of the stream";
    std::string stream = stored_chunk('\x01', first) + stored_chunk('\x02', second) + std::string(1, '\0');
    for (std::size_t step : {1u, 7u, 100000u}) {
        SCOPED_TRACE(step);
        auto decoder = make_lzma2_decoder(std::make_unique<TrickleStream>(stream, step), props("\x10"),
                                          first.size() + second.size(), Limits{});
        ASSERT_TRUE(decoder.has_value()) << decoder.error().message;
        auto out = drain(**decoder, step == 1 ? 5 : 4096);
        ASSERT_TRUE(out.has_value()) << out.error().message;
        EXPECT_EQ(*out, first + second);
    }
}

TEST(Lzma2Decoder, RejectsMalformedChunkSequences)
{
    struct Case {
        const char* what;
        std::string stream;
        std::uint64_t size;
    };
    const Case cases[] = {
        {"first chunk keeps the dictionary", stored_chunk('\x02', "abc") + '\0', 3},
        {"invalid control byte", std::string("\x03\x00\x00x", 4), 1},
        {"first LZMA chunk keeps the dictionary", std::string("\x80\x00\x00\x00\x05\x00\x00\x00\x00\x00", 10), 1},
        {"LZMA chunk after a dictionary reset lacks properties",
         stored_chunk('\x01', "ab") + std::string("\xA0\x00\x00\x00\x05\x00\x00\x00\x00\x00", 10), 3},
        {"LZMA chunk with lc + lp above 4", std::string("\xE0\x00\x00\x00\x05\x0D\x00\x00\x00\x00\x00", 11), 1},
        {"end marker before the declared size", stored_chunk('\x01', "abc") + '\0', 10},
        {"stream cut inside a chunk", stored_chunk('\x01', "abcdef").substr(0, 6), 6},
        {"stream cut before the end", stored_chunk('\x01', "abc"), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto decoder =
            make_lzma2_decoder(std::make_unique<TrickleStream>(c.stream, 64), props("\x10"), c.size, Limits{});
        ASSERT_TRUE(decoder.has_value()) << decoder.error().message;
        auto out = drain(**decoder);
        ASSERT_FALSE(out.has_value());
        EXPECT_EQ(out.error().code, ErrorCode::corrupt) << out.error().message;
    }
}

TEST(Lzma2Decoder, RefusesADictionaryAboveTheMemoryLimit)
{
    Limits limits;
    limits.max_dictionary = 1 << 20;
    // Property 40 means a 4 GiB dictionary; a large output needs all of it.
    auto decoder =
        make_lzma2_decoder(std::make_unique<TrickleStream>("", 1), props("\x28"), std::uint64_t{1} << 32, limits);
    ASSERT_FALSE(decoder.has_value());
    EXPECT_EQ(decoder.error().code, ErrorCode::unsupported);
    // The same property for a small output needs only the output's size.
    auto small = make_lzma2_decoder(std::make_unique<TrickleStream>(stored_chunk('\x01', "xy") + '\0', 1),
                                    props("\x28"), 2, limits);
    ASSERT_TRUE(small.has_value()) << small.error().message;
    EXPECT_EQ(drain(**small).value_or("<error>"), "xy");
}

TEST(BcjX86Decoder, TurnsAbsoluteCallTargetsBackIntoRelativeOnesAcrossReads)
{
    // A call at offset 0 whose stored absolute target 0x0A becomes 0x0A - 5;
    // a call at 16 with target 0x100 becomes 0x100 - 21; a call whose
    // operand's top byte is not 00/FF is not a converted call and stays.
    std::string encoded = std::string("\xE8\x0A\x00\x00\x00", 5) + std::string(11, '\x90') +
                          std::string("\xE8\x00\x01\x00\x00", 5) + std::string("\xE9\x01\x02\x03\x42", 5) + "tail";
    std::string expected = std::string("\xE8\x05\x00\x00\x00", 5) + std::string(11, '\x90') +
                           std::string("\xE8\xEB\x00\x00\x00", 5) + std::string("\xE9\x01\x02\x03\x42", 5) + "tail";
    for (std::size_t step : {1u, 3u, 1000u}) {
        SCOPED_TRACE(step);
        auto decoder = make_bcj_x86_decoder(std::make_unique<TrickleStream>(encoded, step), {});
        ASSERT_TRUE(decoder.has_value());
        EXPECT_EQ(drain(**decoder, step == 1 ? 2 : 4096).value_or("<error>"), expected);
    }
}

TEST(DeltaDecoder, AddsTheByteThatLiesDistanceBack)
{
    auto decoder = make_delta_decoder(std::make_unique<TrickleStream>(std::string("\x01\x02\x01\x02\x01\x02", 6), 1),
                                      props(std::string(1, '\x01'))); // distance 2
    ASSERT_TRUE(decoder.has_value());
    EXPECT_EQ(drain(**decoder, 3).value_or("<error>"), std::string("\x01\x02\x02\x04\x03\x06", 6));
    EXPECT_FALSE(make_delta_decoder(std::make_unique<TrickleStream>("", 1), {}).has_value());
}

TEST(MethodName, NamesKnownMethodsAndShowsOthersInHex)
{
    EXPECT_EQ(method_name(0x030401), "PPMD");
    EXPECT_EQ(method_name(0x040202), "BZip2");
    EXPECT_EQ(method_name(0x21), "LZMA2");
    EXPECT_EQ(method_name(0x0401AB), "0x401AB");
}

} // namespace
} // namespace quillon::test
