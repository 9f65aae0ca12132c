// The component commands: defining, deleting and querying the components of
// the run's component model, changing their state, size, choice and
// visibility, and saving and loading the component selection file.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterComponentCommands(HandlerTable& table);

} // namespace quillon
