// The one-line-per-entry files of the engine cache: the instance list
// (".par", name and value lines in turn), the shortcut list (".lnk") and the
// language of the run (".lan"). CR LF lines; a line break inside an entry is
// stored as "$NEWLINE$" so that it cannot split the entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

std::string FormatCacheLines(const std::vector<std::string>& entries);
// The lines (CR LF or LF); a last line without its break counts. Entries
// keep their "$NEWLINE$" tokens: the instance list and the shortcut list hold
// their values in that one-line form.
std::vector<std::string> ParseCacheLines(std::string_view text);

// The instance list as read back: an odd last name without its value is
// dropped, since it would pair every later name with a value.
std::vector<std::string> ParseInstanceList(std::string_view text);

// The ".lan" file: the language, nothing when the file is empty.
std::string FormatLanguageFile(std::string_view language);
std::optional<std::string> ParseLanguageFile(std::string_view text);

} // namespace quillon
