#include "engine/languages.h"

#include "base/strings.h"

#include <array>

namespace quillon {

namespace {

struct Language {
    std::string_view name; // shown and compared exactly as written, spellings included
    int identifier;
};

constexpr std::array<Language, 35> language_table = {{
    {"Arabic", 1025},
    {"Catalan", 1027},
    {"Chinese (Taiwan)", 1028},
    {"Chinese (PRC)", 2052},
    {"Czech", 1029},
    {"Danish", 1030},
    {"German", 1031},
    {"Greek", 1032},
    {"English", 1033},
    {"Spanish", 3082},
    {"Estonian", 1061},
    {"Finnish", 1035},
    {"French", 1036},
    {"Hebrew", 1037},
    {"Hungarian", 1038},
    {"Italian", 1040},
    {"Japanese", 1041},
    {"Korean", 1042},
    {"Lithuanian", 1063},
    {"Latvian", 1062},
    {"Dutch", 1043},
    {"Norwegian", 1044},
    {"Polish", 1045},
    {"Portugese (Brazil)", 1046},
    {"Portugese (Portugal)", 2070},
    {"Romanian", 1048},
    {"Russian", 1049},
    {"Croatian", 1050},
    {"Slovak", 1051},
    {"Swedish", 1053},
    {"Thai", 1054},
    {"Turkish", 1055},
    {"Slovenian", 1060},
    {"Vietnamese", 1066},
    {"Basque", 1069},
}};

const Language* find_by_name(std::string_view name)
{
    std::string upper = ansi_upper(name);
    for (const Language& language : language_table)
        if (ansi_upper(language.name) == upper)
            return &language;
    return nullptr;
}

} // namespace

std::string LanguageIdFromName(std::string_view name)
{
    const Language* language = find_by_name(name);
    return std::to_string(language != nullptr ? language->identifier : 1033);
}

std::string LanguageNameFromId(int identifier, const std::function<std::string(int)>& english_name_of)
{
    for (const Language& language : language_table)
        if (language.identifier == identifier)
            return std::string(language.name);
    if (english_name_of) {
        if (const Language* language = find_by_name(english_name_of(identifier)))
            return std::string(language->name);
    }
    return "English";
}

} // namespace quillon
