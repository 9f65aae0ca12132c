#include "engine/languages.h"
#include "engine/messages.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

// A block of 115 lines whose line n reads "<tag> n".
std::string block(const std::string& tag)
{
    std::string text;
    for (int line = 1; line <= EngineMessages::line_count; ++line)
        text += tag + " " + std::to_string(line) + "\r\n";
    return text;
}

TEST(EngineMessages, StartWithTheBuiltInEnglishTexts)
{
    EngineMessages messages;
    EXPECT_EQ(messages.text(MessageLine::resource_not_found), "Setup resource not found");
    EXPECT_EQ(messages.text(MessageLine::runtime_error_in_install), "Runtime error in install: ");
    EXPECT_EQ(messages.text(MessageLine::wizard_caption), "Quillon Wizard");
    EXPECT_EQ(messages.text(54), "");
    EXPECT_EQ(messages.text(87), "Accept ranges");
    EXPECT_EQ(messages.text(115), "Entire feature will be &unavailable");
}

TEST(LoadMessageTable, TheUserLanguageBlockWinsElseTheLast)
{
    const std::string file = block("base") + "German\r\n" + block("de") + "French\r\n" + block("fr");
    struct Case {
        std::string_view user_language;
        std::string_view expected_line_2;
    };
    const Case cases[] = {{"German", "de 2"}, {"GERMAN", "de 2"}, {"French", "fr 2"}, {"Dutch", "fr 2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user_language);
        EngineMessages messages;
        LoadMessageTable(messages, file, c.user_language);
        EXPECT_EQ(messages.text(2), c.expected_line_2);
        EXPECT_EQ(messages.text(91), "") << "lines 91 to 111 are ignored";
        EXPECT_EQ(messages.text(112), std::string(c.expected_line_2.substr(0, 2)) + " 112");
    }
}

TEST(LoadMessageTable, OnlyTheUnnamedBlockServesEveryLanguage)
{
    EngineMessages messages;
    LoadMessageTable(messages, block("only"), "German");
    EXPECT_EQ(messages.text(MessageLine::preparing_wizard), "only 24");
    EXPECT_EQ(messages.text(54), "only 54");
}

TEST(LoadMessageTable, AShortFileReplacesOnlyTheLinesItHas)
{
    EngineMessages messages;
    LoadMessageTable(messages, "first\r\nsecond", "English");
    EXPECT_EQ(messages.text(1), "first");
    EXPECT_EQ(messages.text(2), "second");
    EXPECT_EQ(messages.text(3), "Setup resource decompression failure");
}

TEST(Languages, NamesAndIdentifiers)
{
    EXPECT_EQ(LanguageIdFromName("German"), "1031");
    EXPECT_EQ(LanguageIdFromName("portugese (brazil)"), "1046");
    EXPECT_EQ(LanguageIdFromName("Portuguese (Brazil)"), "1033") << "only the table's own spelling counts";
    EXPECT_EQ(LanguageIdFromName("Klingon"), "1033");

    auto english_names = [](int identifier) -> std::string {
        return identifier == 2055 ? "German" : identifier == 2057 ? "English" : identifier == 1111 ? "Klingon" : "";
    };
    EXPECT_EQ(LanguageNameFromId(3082, english_names), "Spanish");
    EXPECT_EQ(LanguageNameFromId(2055, english_names), "German") << "Swiss German maps through its English name";
    EXPECT_EQ(LanguageNameFromId(1111, english_names), "English");
    EXPECT_EQ(LanguageNameFromId(0, english_names), "English");
    EXPECT_EQ(LanguageNameFromId(0, nullptr), "English");
}

} // namespace
} // namespace quillon
