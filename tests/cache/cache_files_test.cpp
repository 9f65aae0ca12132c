// The instance data and the list files of the engine cache.
#include "cache/cache_lines.h"
#include "cache/instance_data.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using ::testing::ElementsAre;

TEST(InstanceData, ThreeLinesComeBack)
{
    InstanceData data{"{11111111-2222-3333-4444-555555555555}", "{AAAAAAAA-0000-0000-0000-000000000001}", "Sample"};
    std::string text = FormatInstanceData(data);
    EXPECT_EQ(text, "{11111111-2222-3333-4444-555555555555}\r\n{AAAAAAAA-0000-0000-0000-000000000001}\r\nSample\r\n");
    EXPECT_EQ(ParseInstanceData(text), data);
    EXPECT_EQ(ParseInstanceData("{P}\n{R}\nTitle"), (InstanceData{"{P}", "{R}", "Title"}));
}

TEST(InstanceData, DamagedFileGivesNothing)
{
    struct Case {
        std::string_view text;
    };
    for (Case c : {Case{""}, Case{"{P}\r\n{R}\r\n"}, Case{"\r\n{R}\r\nTitle\r\n"}, Case{"{P}\r\n\r\nTitle\r\n"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseInstanceData(c.text), std::nullopt);
    }
}

TEST(CacheLines, EntriesStayOneLineEach)
{
    std::string text = FormatCacheLines({"AHEADER", "TRUE", "PHEADER_1", "two\r\nlines", "bare\nbreak"});
    EXPECT_EQ(text, "AHEADER\r\nTRUE\r\nPHEADER_1\r\ntwo$NEWLINE$lines\r\nbare$NEWLINE$break\r\n");
    EXPECT_THAT(ParseCacheLines(text),
                ElementsAre("AHEADER", "TRUE", "PHEADER_1", "two$NEWLINE$lines", "bare$NEWLINE$break"));
}

TEST(CacheLines, InstanceListDropsANameWithoutItsValue)
{
    EXPECT_THAT(ParseInstanceList("A1\r\nTRUE\r\nP1_1\r\n"), ElementsAre("A1", "TRUE"));
    EXPECT_THAT(ParseInstanceList(""), ElementsAre());
}

TEST(CacheLines, LanguageFile)
{
    EXPECT_EQ(FormatLanguageFile("German"), "German\r\n");
    EXPECT_EQ(ParseLanguageFile("German\r\n"), "German");
    EXPECT_EQ(ParseLanguageFile("\r\n"), std::nullopt);
    EXPECT_EQ(ParseLanguageFile(""), std::nullopt);
}

} // namespace
} // namespace quillon
