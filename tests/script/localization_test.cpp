#include "script/localization.h"

#include <gtest/gtest.h>

#include <map>

namespace quillon {
namespace {

const std::string support = "C:\\Temp\\qvo1\\";
const std::string set_variable_id = "{AAAAAAAA-0000-0000-0000-000000000001}";
const std::string if_id = "{AAAAAAAA-0000-0000-0000-000000000002}";

struct Fixture {
    std::map<std::string, std::vector<std::string>> files = {
        {support + "Example.mtx", {set_variable_id, if_id, "", "FORGEKIT$GREETING$FORGEKIT"}},
        {support + "translations.Original", {"Hello", "full", "custom", "Good morning"}},
        {support + "translations.German", {"Hallo #EDITION#", "voll", "angepasst", "Guten Morgen"}},
        {support + "translations.Short", {"Hallo"}},
        {support + "translations.Map", {"map"}},
    };
    std::map<std::string, std::string> constants = {{"EDITION", "Pro"}};

    TLocalization make()
    {
        auto reader = [this](const std::string& path) -> Result<std::vector<std::string>> {
            auto found = files.find(path);
            if (found == files.end())
                return make_error(ErrorCode::not_found, "Cannot open file " + path);
            return found->second;
        };
        // A stand-in for the script's build constants: #NAME# replaced once.
        auto expand = [this](std::string_view text) {
            std::string out(text);
            for (const auto& [name, value] : constants) {
                std::string reference = "#" + name + "#";
                for (std::size_t at; (at = out.find(reference)) != std::string::npos;)
                    out.replace(at, reference.size(), value);
            }
            return out;
        };
        return TLocalization(support, "Example", reader, expand);
    }
};

TEST(TLocalization, TranslatesByModeKeyAndIndex)
{
    struct Case {
        std::optional<std::string> mode; // LOCMODE, or undefined
        std::string text;
        std::string key;
        std::size_t index;
        std::string expected;
    };
    const Case cases[] = {
        {std::nullopt, "Hello", set_variable_id, 1, "Hallo Pro"}, // constants expanded after translation
        {std::nullopt, "Hello!", set_variable_id, 1, "Hello!"},   // edited after translation: kept
        {std::nullopt, "custom", if_id, 2, "angepasst"},
        {std::nullopt, "full", if_id, 1, "voll"},
        {std::nullopt, "x", "{NOT-IN-THE-MATRIX}", 1, "x"},
        {std::string("newonly"), "full", "{aaaaaaaa-0000-0000-0000-000000000002}", 1, "voll"}, // key ignores case
        {std::string("VARSONLY"), "Hello", set_variable_id, 1, "Hello"},
        {std::string("VARSONLY"), "Good morning", "FORGEKIT$GREETING$FORGEKIT", 1, "Guten Morgen"},
        {std::string("ALL"), "Hello!", set_variable_id, 1, "Hallo Pro"},
        {std::string(""), "anything", if_id, 1, "voll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " / " + c.key + " / " + c.mode.value_or("(undefined)"));
        Fixture fixture;
        if (c.mode)
            fixture.constants["LOCMODE"] = *c.mode;
        TLocalization localization = fixture.make();
        ASSERT_TRUE(localization.LoadLanguageTables("German", {}));
        Result<std::string> result = localization.LocalizeText(c.text, c.key, c.index);
        ASSERT_TRUE(result) << result.error().message;
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(TLocalization, AShorterTranslationFileIsAnIndexError)
{
    Fixture fixture;
    fixture.constants["LOCMODE"] = "ALL";
    TLocalization localization = fixture.make();
    ASSERT_TRUE(localization.LoadLanguageTables("Short", {}));
    Result<std::string> result = localization.LocalizeText("full", if_id, 1);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, ErrorCode::out_of_range);
}

TEST(TLocalization, LoadsOnlyWhenTheLanguageChanges)
{
    Fixture fixture;
    TLocalization localization = fixture.make();
    EXPECT_EQ(localization.loaded_language(), "ZILCH");
    auto exists = [](const std::string& path) { return path == support + "shared.translations.German"; };
    Result<std::optional<std::string>> first = localization.LoadLanguageTables("German", exists);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, support + "shared.translations.German");
    fixture.files.erase(support + "translations.German"); // a reload would now fail
    EXPECT_TRUE(localization.LoadLanguageTables("German", exists));
    EXPECT_TRUE(localization.LoadLanguageTables("", exists)) << "an empty language keeps the tables";
    EXPECT_EQ(*localization.LocalizeText("full", if_id, 1), "voll");
    Result<std::optional<std::string>> missing = localization.LoadLanguageTables("French", exists);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::not_found);
    // Nothing of the failed load is kept: the German tables still translate.
    EXPECT_EQ(localization.loaded_language(), "German");
    EXPECT_EQ(*localization.LocalizeText("full", if_id, 1), "voll");
}

TEST(DiscoverLanguages, OffersEveryLanguageFileButMapOriginalAndShared)
{
    DiscoveredLanguages found = discover_languages(
        {support + "translations.German", support + "TRANSLATIONS.MAP", support + "translations.English",
         support + "translations.Original", support + "shared.translations.French", support + "translations.Dutch"},
        support, "English");
    EXPECT_EQ(found.available, (std::vector<std::string>{"German", "English", "Dutch"}));
    EXPECT_EQ(found.current, "English");
    EXPECT_EQ(discover_languages({support + "translations.German"}, support, "English").current, "");
    EXPECT_TRUE(
        discover_languages({"C:\\shared\\qvo1\\translations.German"}, "C:\\shared\\qvo1\\", "German").available.empty())
        << "a path containing shared anywhere is never a language";
}

} // namespace
} // namespace quillon
