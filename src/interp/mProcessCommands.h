// The process and service commands that act at once: "Check Process",
// "Terminate Program", "Check Service" and "Register Library". They ask the
// system through the ProcessServices role and decide in process_rules.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterProcessCommands(HandlerTable& table);

} // namespace quillon
