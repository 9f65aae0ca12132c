// Command names and messages of the compile pass, as scripts and logs see them.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillon::compile_text {

inline constexpr std::int32_t accepted = -1;
inline constexpr std::int32_t end_imbalance = 2147483644; // 0x7FFFFFFC

inline constexpr std::string_view compiled_ok = "Script compiled successfully";
inline constexpr std::string_view label_nested = "LABEL statements cannot be nested inside loops/conditionals";
inline constexpr std::string_view insufficient_end = "Insufficient END statements";
inline constexpr std::string_view too_many_end = "Too many END statements";
inline constexpr std::string_view label_redefined = "LABEL re-defined: ";
inline constexpr std::string_view label_undefined = "LABEL undefined: ";
inline constexpr std::string_view variable_not_defined = "Variable not defined: ";
inline constexpr std::string_view variable_required = "Variable required";
inline constexpr std::string_view web_block_name = "Web Media Block name must be a legal file name";
inline constexpr std::string_view web_block_url = "Web Media Block must have at least one download URL";
inline constexpr std::string_view delete_mode = "At least one delete mode must be selected";
inline constexpr std::string_view install_target =
    "A target folder must be specified for files that are being installed.\r"
    "The value $TARGETDIR$ represents the destination folder chosen by the user.";
inline constexpr std::string_view expression_syntax =
    "Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the correct syntax.";
inline constexpr std::string_view dialog_unnamed = "Dialog name not specified";
inline constexpr std::string_view wizard_loop_only =
    "Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP";
inline constexpr std::string_view flag_marker = "$KYRT$KYRT$";

inline constexpr std::string_view cmd_if = "If";
inline constexpr std::string_view cmd_else_if = "Else If";
inline constexpr std::string_view cmd_end = "End";
inline constexpr std::string_view cmd_wizard_loop = "Wizard Loop";
inline constexpr std::string_view cmd_label = "Label";
inline constexpr std::string_view cmd_goto_label = "GoTo Label";
inline constexpr std::string_view cmd_set_variable = "Set Variable";
inline constexpr std::string_view cmd_display_dialog = "Display Dialog";
inline constexpr std::string_view cmd_comment = "Comment";
inline constexpr std::string_view cmd_ignore = "Ignore";

} // namespace quillon::compile_text
