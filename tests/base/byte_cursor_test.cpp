#include "base/byte_cursor.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

namespace quillon {
namespace {

const std::array<std::byte, 7> data = {std::byte{0x01}, std::byte{0x02}, std::byte{0x03}, std::byte{0x04},
                                       std::byte{0x05}, std::byte{0x06}, std::byte{0x07}};

TEST(ByteCursor, SequentialReadsStopAtTheEndAndKeepThePosition)
{
    ByteCursor cursor(data);
    EXPECT_EQ(cursor.u16(), 0x0201);
    EXPECT_EQ(cursor.u32(), 0x06050403u);
    EXPECT_EQ(cursor.position(), 6u);
    EXPECT_FALSE(cursor.u16()) << "one byte left";
    EXPECT_EQ(cursor.position(), 6u) << "a failed read does not move";
    EXPECT_EQ(cursor.u8(), 0x07);
    EXPECT_TRUE(cursor.at_end());
    EXPECT_FALSE(cursor.u8());
    EXPECT_FALSE(cursor.bytes(1));
    EXPECT_TRUE(cursor.bytes(0));
    EXPECT_TRUE(cursor.seek(2));
    EXPECT_FALSE(cursor.seek(8));
    auto rest = cursor.bytes(5);
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->size(), 5u);
    EXPECT_FALSE(cursor.skip(1));
}

TEST(ByteCursor, AbsoluteReadsNeverWrapAround)
{
    ByteCursor cursor(data);
    EXPECT_EQ(cursor.u32_at(3), 0x07060504u);
    EXPECT_FALSE(cursor.u32_at(4));
    EXPECT_FALSE(cursor.u16_at(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_FALSE(cursor.u64_at(0)) << "seven bytes hold no 64-bit value";
    EXPECT_EQ(cursor.position(), 0u);
}

} // namespace
} // namespace quillon
