// The web server commands: "IIS Anonymous User" (the other commands of the
// family are not carried out by this engine yet).
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterWebServerCommands(HandlerTable& table);

} // namespace quillon
