// The property hand-over file: the properties and script variables that the
// engine gives the package's own custom action for one run. Entries of
// three CR LF lines: the name, the value and the separator "$ex". The engine
// writes it in the temp folder under the product code; the custom action in
// the package reads it at the start of every run (install, repair, removal)
// and sets each entry as a property.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::msi {

struct HandOverEntry {
    std::string name;
    std::string value;
};

inline constexpr std::string_view handover_separator = "$ex";

// The file's text. A value with line breaks keeps them: the reader takes
// every line up to the separator as the value.
std::string ComposeHandOver(const std::vector<HandOverEntry>& entries);

// The entries of a file's text, in order. Lines may end with CR LF or LF; an
// entry without its separator at the end of the text still counts, an entry
// with an empty name is skipped.
std::vector<HandOverEntry> ParseHandOver(std::string_view text);

// The file's name in the temp folder: the product code with its braces.
std::string HandOverFileName(std::string_view product_code);

} // namespace quillon::msi
