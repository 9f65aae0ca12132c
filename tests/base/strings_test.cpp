#include "base/strings.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(ParseInt32, AcceptsOnlySignedDecimalThatFits)
{
    struct Case {
        std::string_view text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"42", 42},
        {"+5", 5},
        {"-17", -17},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1x", std::nullopt},
        {"0x10", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_int32(c.text), c.expected);
    }
}

TEST(ParseInt64, CoversTheWholeRange)
{
    EXPECT_EQ(parse_int64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(parse_int64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(parse_int64("9223372036854775808"), std::nullopt);
}

TEST(ParseLeadingInt64, ReadsTheDigitsAtTheStart)
{
    EXPECT_EQ(parse_leading_int64("1252"), 1252);
    EXPECT_EQ(parse_leading_int64("2 and more"), 2);
    EXPECT_EQ(parse_leading_int64("-3x"), -3);
    EXPECT_EQ(parse_leading_int64("x3"), std::nullopt);
    EXPECT_EQ(parse_leading_int64(""), std::nullopt);
}

TEST(ReplaceAll, ScansLeftToRightWithoutOverlap)
{
    EXPECT_EQ(replace_all("\\\\\\", "\\\\", "\\"), "\\\\");
    EXPECT_EQ(replace_all("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(replace_all("abc", "", "x"), "abc");
    EXPECT_EQ(replace_all("a$NEWLINE$b", "$NEWLINE$", "\r\n"), "a\r\nb");
}

TEST(EqualNocase, FoldsAsciiAndLatinLetters)
{
    EXPECT_TRUE(equal_nocase("TargetDir", "TARGETDIR"));
    EXPECT_TRUE(equal_nocase("", ""));
    EXPECT_FALSE(equal_nocase("TARGETDIR", "TARGETDIR2"));
    EXPECT_FALSE(equal_nocase("A", ""));
    EXPECT_TRUE(equal_nocase("\xE9t\xE9", "\xC9T\xC9")); // ete with acute accents, code page 1252
    EXPECT_FALSE(equal_nocase("\xE9", "e"));
}

TEST(AnsiUpper, MapsLettersOfTheCodePage)
{
    EXPECT_EQ(ansi_upper("abc-XyZ 1"), "ABC-XYZ 1");
    EXPECT_EQ(ansi_upper("\xE0\xFC"), "\xC0\xDC");
    EXPECT_EQ(ascii_upper("\xE0z"), "\xE0Z");
    EXPECT_EQ(find_nocase("Program Files", "FILES"), 8u);
    EXPECT_EQ(find_nocase("abc", "d"), std::string::npos);
}

} // namespace
} // namespace quillon
