// "Display Dialog" and "Hide Dialog": the wizard's pages on the screen through
// the dialog runtime of the engine around the loop.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterDialogCommands(HandlerTable& handlers);

} // namespace quillon
