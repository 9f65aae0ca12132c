// Byte-exact helpers for the engine's 8-bit strings (ANSI code page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The one case-insensitive equality for names (variables, identifiers, labels).
// On Windows it is CompareString with NORM_IGNORECASE in the invariant locale;
// the portable build folds ASCII and the Latin-1 letters of code page 1252.
bool equal_nocase(std::string_view a, std::string_view b);

// Upper case in the ANSI code page (CharUpperBuff on Windows).
std::string ansi_upper(std::string_view text);
std::string ansi_lower(std::string_view text);

bool equal_ascii_nocase(std::string_view a, std::string_view b) noexcept;
std::string ascii_upper(std::string_view text);
std::string ascii_lower(std::string_view text);

// Position of needle in haystack ignoring case as ansi_upper does, npos if absent.
std::size_t find_nocase(std::string_view haystack, std::string_view needle);

// Decimal text with an optional leading "+" or "-" and nothing else; empty
// when the text is not such a number or the value does not fit.
std::optional<std::int32_t> parse_int32(std::string_view text) noexcept;
std::optional<std::int64_t> parse_int64(std::string_view text) noexcept;

// The leading decimal integer of a text ("16 rest" gives 16); empty when the
// text does not start with a digit or sign followed by a digit.
std::optional<std::int64_t> parse_leading_int64(std::string_view text) noexcept;

// Replaces every occurrence of from (exact) by to, scanning left to right without overlap.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);

// The lines of a text ended by CR LF (a bare LF is accepted too); a last line
// without its line break counts, an empty text has none.
std::vector<std::string> split_lines(std::string_view text);

// "$NAME$" without its dollar signs (the text both begins and ends with "$"); anything else unchanged.
std::string strip_reference(std::string_view text);

// UTF-16 text in the ANSI code page (WideCharToMultiByte on Windows; the
// portable build gives Latin-1 and "?" for the rest).
std::string utf16_to_ansi(std::u16string_view text);
// Latin-1 for what fits in a byte, "?" for the rest (a surrogate pair is one character, so one "?").
std::string utf16_to_latin1(std::u16string_view text);

// The value of a hexadecimal digit, -1 for any other character.
int hex_digit_value(char c) noexcept;

} // namespace quillon
