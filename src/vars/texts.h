// Texts of the variable subsystem that scripts, dialogs and saved data see.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Who writes a variable. Only inject_override_command_line changes anything:
// it may overwrite command-line values in a silent run.
namespace origin {
inline constexpr std::string_view compilation = "Compilation";
inline constexpr std::string_view pre_initialization = "Pre-Initialization";
inline constexpr std::string_view bootstrap = "Bootstrap";
inline constexpr std::string_view initialization = "Initialization";
inline constexpr std::string_view inject_override_command_line = "Inject Override Command Line";
inline constexpr std::string_view load_components = "LoadComponents";
inline constexpr std::string_view cancel_state = "Cancel State";
inline constexpr std::string_view cancel_at_run_program_time = "Cancel at Run-Program Time";
inline constexpr std::string_view weblock_abort = "Weblock Abort";
inline constexpr std::string_view failed_cache_override = "Failed Cache Override";

// A command writing its result: the command's name followed by " Action".
inline std::string action(std::string_view command_name)
{
    std::string text(command_name);
    text += " Action";
    return text;
}
} // namespace origin

namespace vars_text {
// ReferencedValue's answer for a variable that does not exist.
inline constexpr std::string_view not_exist_marker = "$KYRTNX$";
// The line-break token of one-line storage.
inline constexpr std::string_view newline_token = "$NEWLINE$";
inline constexpr std::string_view crlf = "\r\n";

// Results of EvaluateExpression.
inline constexpr std::string_view expression_true = "TRUE";
inline constexpr std::string_view expression_false = "FALSE";
inline constexpr std::string_view expression_error = "ERROR";
} // namespace vars_text

} // namespace quillon
