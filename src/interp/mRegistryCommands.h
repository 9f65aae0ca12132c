// The registry and INI commands that act at once: "Read Registry", "Check
// Registry", "Delete Registry" and "Get INI File Settings". The recorded ones
// ("Write Registry", "Edit INI File") are in mRecordedCommands.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterRegistryCommands(HandlerTable& table);

} // namespace quillon
