// "Extract 7Zip Archive": a whole archive extracted on a worker thread while
// the wizard shows its progress.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterArchiveCommands(HandlerTable& table);

} // namespace quillon
