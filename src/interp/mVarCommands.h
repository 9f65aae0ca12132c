// The variable and string commands: setting variables, 64-bit arithmetic and
// the script's pseudo-random numbers, cutting, replacing and converting text,
// taking paths apart, evaluating expressions and creating temporary files.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterVariableCommands(HandlerTable& table);

} // namespace quillon
