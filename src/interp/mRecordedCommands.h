// The installation commands: each records itself and its values as Windows
// Installer properties (the package's rows for it are switched on by them) and
// changes nothing on the machine until the changes are applied.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterRecordedCommands(HandlerTable& table);

} // namespace quillon
