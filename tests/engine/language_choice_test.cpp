#include "engine/language_choice.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(PreselectLanguage, UserLanguageElseAuthorsDefaultElseFirst)
{
    struct Case {
        std::vector<std::string> available;
        std::string_view default_language;
        std::string_view user_language;
        std::size_t expected;
    };
    const Case cases[] = {
        {{"English", "German"}, "English", "German", 1},
        {{"English", "German"}, "English", "French", 0},
        {{"German", "English"}, "english", "French", 1}, // the default is found ignoring case
        {{"German", "French"}, "English", "Dutch", 0},   // neither: the first
        {{"English", "German"}, "German", "german", 1},  // the user's language must match exactly
        {{"English", "German", "German"}, "English", "German", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.default_language) + " / " + std::string(c.user_language));
        EXPECT_EQ(preselect_language(c.available, c.default_language, c.user_language), c.expected);
    }
}

} // namespace
} // namespace quillon
