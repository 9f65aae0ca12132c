// The system information commands that act at once: "Get System Settings",
// "Get OS or SP Level", "Get Folder Location" and "Get Environment". They ask
// the machine through the SystemInformation role and decide in system_settings.
#pragma once

#include "interp/mscriptexec.h"

namespace quillon {

void RegisterSystemCommands(HandlerTable& table);

// The registry view flag follows the platform mode while it lives, and is put
// back to the resting 32-bit view when it ends (also by a failure).
class RegistryViewScope {
public:
    explicit RegistryViewScope(TScriptExecutor& executor);
    ~RegistryViewScope();
    RegistryViewScope(const RegistryViewScope&) = delete;
    RegistryViewScope& operator=(const RegistryViewScope&) = delete;

private:
    SystemInformation& m_machine;
};

} // namespace quillon
