// "Terminate Install", "Terminate with Exit Code", "Reboot Computer" and
// "Reboot and Resume": the commands that end the script early.
#pragma once

#include "interp/mscriptexec.h"

#include <string>
#include <string_view>

namespace quillon {

void RegisterTerminationCommands(HandlerTable& table);

// The command Windows runs once at the next log-on: the program, quoted when
// its path holds a blank, and the command-line tail behind one blank.
std::string ResumeCommand(std::string_view program, std::string_view tail);

// The RunOnce value name of a product: the eight characters after the opening brace of its code.
std::string ResumeEntryName(std::string_view product_code);

} // namespace quillon
