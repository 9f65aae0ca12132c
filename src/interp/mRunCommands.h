// "Run Program", "Run Program As" and "Run Light Mode Setup": a program
// started on a worker thread (through the shell, or with CreateProcess as
// this user, another user or the unelevated user) while the wizard stays
// responsive and can cancel.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterRunCommands(HandlerTable& table);

} // namespace quillon
