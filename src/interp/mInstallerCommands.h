// The commands that ask Windows Installer about the system: "Is MSI Setup Installed".
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterInstallerCommands(HandlerTable& table);

} // namespace quillon
