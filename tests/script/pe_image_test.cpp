#include "script/pe_image.h"
#include "script/test_pe.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon::test {
namespace {

TEST(PeStubSize, IsTheLargestSectionEndForBothImageKinds)
{
    struct Case {
        std::string name;
        std::uint16_t magic;
        std::uint16_t optional_header_size;
        std::vector<TestSection> sections;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"PE32, last section ends last", pe32_magic, pe32_optional_header_size, {{0x400, 0x200}, {0x600, 0x1000}},
         0x1600},
        {"PE32+, last section ends last", pe32_plus_magic, pe32_plus_optional_header_size,
         {{0x400, 0x3000}, {0x3400, 0x200}}, 0x3600},
        {"PE32+, an earlier section ends last", pe32_plus_magic, pe32_plus_optional_header_size,
         {{0x400, 0x8000}, {0x1000, 0x200}}, 0x8400},
        {"uninitialised data has no raw bytes", pe32_magic, pe32_optional_header_size, {{0x400, 0x200}, {0, 0}},
         0x600},
        {"no sections", pe32_plus_magic, pe32_plus_optional_header_size, {}, 0},
        {"sum beyond 32 bits", pe32_magic, pe32_optional_header_size, {{0xFFFFFFF0u, 0x100}}, 0x1000000F0ull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::byte> image = build_pe_headers(c.magic, c.optional_header_size, c.sections);
        auto size = pe_stub_size(image);
        ASSERT_TRUE(size.has_value()) << size.error().message;
        EXPECT_EQ(*size, c.expected);
    }
}

TEST(PeStubSize, DamagedHeadersAreCorrupt)
{
    std::vector<std::byte> valid = build_pe_headers(pe32_magic, pe32_optional_header_size, {{0x400, 0x200}});
    struct Case {
        std::string name;
        std::vector<std::byte> image;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    {
        auto image = valid;
        image[0] = std::byte{'X'};
        cases.push_back({"no MZ", image});
    }
    {
        auto image = valid;
        put_u32(image, 0x3C, 0xFFFFFFFFu);
        cases.push_back({"signature offset far beyond the end", image});
    }
    {
        auto image = valid;
        put_u32(image, 0x3C, static_cast<std::uint32_t>(image.size() - 2));
        cases.push_back({"signature offset at the last bytes", image});
    }
    {
        auto image = valid;
        image[test_pe_offset] = std::byte{'N'};
        cases.push_back({"no PE signature", image});
    }
    {
        auto image = valid;
        put_u16(image, test_pe_offset + 4 + 2, 2);
        cases.push_back({"more sections than the table holds", image});
    }
    {
        auto image = valid;
        put_u16(image, test_pe_offset + 4 + 16, 0xFFFF);
        cases.push_back({"optional header larger than the image", image});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto size = pe_stub_size(c.image);
        ASSERT_FALSE(size.has_value());
        EXPECT_EQ(size.error().code, ErrorCode::corrupt);
    }
}

TEST(PeStubSize, EveryTruncatedHeaderFailsCleanly)
{
    std::vector<std::byte> image =
        build_pe_headers(pe32_plus_magic, pe32_plus_optional_header_size, {{0x400, 0x200}, {0x600, 0x200}});
    for (std::size_t length = 0; length < image.size(); ++length) {
        SCOPED_TRACE(length);
        auto size = pe_stub_size(std::span<const std::byte>(image.data(), length));
        ASSERT_FALSE(size.has_value());
        EXPECT_EQ(size.error().code, ErrorCode::corrupt);
    }
    EXPECT_EQ(pe_stub_size(image).value_or(0), 0x800u);
}

} // namespace
} // namespace quillon::test
