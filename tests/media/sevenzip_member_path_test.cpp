#include "media/sevenzip/member_path.h"
#include "media/sevenzip/sevenzip.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

using sevenzip::member_components;

TEST(MemberComponents, SplitsOnBothSeparatorsAndResolvesDots)
{
    struct Case {
        std::u16string_view name;
        std::vector<std::u16string> components;
    };
    const Case cases[] = {
        {u"file.txt", {u"file.txt"}},       {u"a/b\\c.txt", {u"a", u"b", u"c.txt"}},
        {u"a//./b/", {u"a", u"b"}},         {u"a/../b.txt", {u"b.txt"}},
        {u"...hidden", {u"...hidden"}},     {u"\u00DCn\u00EFc\u00F6d\u00E9.txt", {u"\u00DCn\u00EFc\u00F6d\u00E9.txt"}},
        {u"console.log", {u"console.log"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(sevenzip::utf16_to_utf8(c.name));
        auto components = member_components(c.name);
        ASSERT_TRUE(components.has_value()) << components.error().message;
        EXPECT_EQ(*components, c.components);
    }
}

TEST(MemberComponents, RejectsNamesThatLeaveTheTargetOrNameDevices)
{
    const std::u16string_view unsafe[] = {
        u"../evil.txt",
        u"..\\evil.txt",
        u"a/../../evil.txt",
        u"/etc/passwd",
        u"\\Windows\\evil.dll",
        u"\\\\server\\share\\evil.txt",
        u"//server/share/evil.txt",
        u"C:\\evil.txt",
        u"C:evil.txt",
        u"c:/evil.txt",
        u"a/b.txt:stream",
        u".. /evil.txt",
        u"a/. ./evil.txt",
        u"...",
        u"CON",
        u"nul.txt",
        u"dir/COM1",
        u"lpt9.log",
        u"",
        u"a/..",
        u"./",
    };
    for (auto name : unsafe) {
        SCOPED_TRACE(sevenzip::utf16_to_utf8(name));
        auto components = member_components(name);
        ASSERT_FALSE(components.has_value());
        EXPECT_EQ(components.error().code, ErrorCode::corrupt);
    }
}

TEST(NameConversion, ConvertsUtf16ToUtf8AndLatin1)
{
    std::u16string name = u"\u00DCn\u00EFc\u00F6d\u00E9 \u20AC \U0001F600";
    EXPECT_EQ(sevenzip::utf16_to_utf8(name), "\xC3\x9Cn\xC3\xAF"
                                             "c\xC3\xB6"
                                             "d\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    EXPECT_EQ(sevenzip::utf16_to_latin1(name), "\xDCn\xEF"
                                               "c\xF6"
                                               "d\xE9 ? ?");
    // A lone surrogate cannot be encoded; it becomes U+FFFD rather than invalid UTF-8.
    EXPECT_EQ(sevenzip::utf16_to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
} // namespace quillon::test
