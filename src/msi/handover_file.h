// The property hand-over file: the properties and script variables that the
// engine gives the package's own custom action for one run. Entries of
// three CR LF lines: the name, the value and the separator "$ex". The engine
// writes it in the temp folder under the product code; the custom action in
// the package reads it at the start of every run (install, repair, removal)
// and sets each entry as a property.
#pragma once

#include <optional>
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

// A recorded command's value ("P" + its eight-digit header + "_" + n) that
// is a path also gives its folder, as the property of that name + "D" with a
// trailing backslash: the installer's INI rows name their file's folder by a
// property. Nothing for other entries or a value without a folder.
std::optional<HandOverEntry> FolderEntryOf(const HandOverEntry& entry);

// The file's name in the temp folder: the product code with its braces.
std::string HandOverFileName(std::string_view product_code);

} // namespace quillon::msi
