// Texts of the appended script format that the loader and the writer share.
#pragma once

#include <string_view>

namespace quillon::script_texts {

inline constexpr std::string_view line_end = "\r\n";
inline constexpr std::string_view section_end = "$";

// Whole-line escapes of a parameter whose value is a single "$".
inline constexpr std::string_view dollar_escape = "$DOLLAR$";
inline constexpr std::string_view wild_dollar_escape = "$WILD_DOLLAR$";

inline constexpr std::string_view disabled_flag = "C";
inline constexpr std::string_view true_text = "TRUE";
inline constexpr std::string_view false_text = "FALSE";
inline constexpr std::string_view source_position_separator = "*";

// Block name whose password serves web media blocks without an entry of their own.
inline constexpr std::string_view offline_block = "offline";

inline constexpr std::string_view temp_file_name = "qvo.tmp";

inline constexpr std::string_view missing_header_message =
    "Unable to obtain command headers. Please rebuild your project.";

} // namespace quillon::script_texts
