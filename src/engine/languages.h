// The languages a setup can be shown in, with their Windows language identifiers.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillon {

// The identifier (decimal text) of the language whose name equals the given one
// ignoring case; "1033" when none does.
std::string LanguageIdFromName(std::string_view name);

// The table's name for an identifier. For one not in the table, english_name_of
// (the system's English name of the language, empty when unknown) is mapped
// through the table; failing that, "English".
std::string LanguageNameFromId(int identifier, const std::function<std::string(int)>& english_name_of);

enum class UserLanguageKind {
    current, // LOCALE_ILANGUAGE of the user locale
    default_language, // LOCALE_IDEFAULTLANGUAGE
};

} // namespace quillon
