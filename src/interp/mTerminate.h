// "Terminate Install", "Terminate with Exit Code", "Reboot Computer" and
// "Reboot and Resume": the commands that end the script early.
#pragma once

#include "interp/mscriptexec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

void RegisterTerminationCommands(HandlerTable& table);

// Exit codes of a run that the script did not choose itself: the codes
// deployment tools know from msiexec for a cancel and a failure.
inline constexpr std::uint32_t exit_runtime_error = 11;
inline constexpr std::uint32_t exit_user_cancel = 1602;
inline constexpr std::uint32_t exit_install_failure = 1603;

// The process's exit code after a script run: the script's own code always
// wins; then a runtime error (11), a cancel that ended the script (1602), a
// failure that ended it (1603); otherwise 0.
std::uint32_t ScriptExitCode(std::optional<std::int32_t> script_code, bool runtime_error, ScriptOutcome outcome);

// The command Windows runs once at the next log-on: the program, quoted when
// its path holds a blank, and the command-line tail behind one blank.
std::string ResumeCommand(std::string_view program, std::string_view tail);

// The RunOnce value name of a product: the eight characters after the opening brace of its code.
std::string ResumeEntryName(std::string_view product_code);

} // namespace quillon
