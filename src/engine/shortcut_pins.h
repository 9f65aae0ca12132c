// The product's shortcuts in the shell: their application user model IDs,
// and pinning them to (or unpinning them from) the taskbar and the Start menu
// through the shortcut's own shell verbs. Failures are ignored: a shortcut
// that cannot be pinned is still installed.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillon {

// Sets System.AppUserModel.ID of every existing shortcut: (shortcut file, ID) pairs.
void SetApplicationIds(const std::vector<std::pair<std::string, std::string>>& ids);

// Pins (or unpins) each entry "shortcut|flags|target" where its flags ask for it.
void PinShortcuts(const std::vector<std::string>& entries, bool pin);

} // namespace quillon
