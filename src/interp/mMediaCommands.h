// "Web Media Block", and the fetch of a command's media folder before the
// command uses it (plug-in commands, and the installing commands).
#pragma once

#include "interp/mscriptexec.h"

#include <cstddef>

namespace quillon {

void RegisterMediaCommands(HandlerTable& table);

// Fetches the media folder of command `index` when the script keeps its media
// in the engine cache (media mode 2), the command has a media folder and no
// earlier failure set ABORTEDONERROR. A failed fetch is shown to the user;
// then the script ends when ABORTONERROR is true (answer false), or
// ABORTEDONERROR is set and the command goes on (answer true).
bool FetchCommandMedia(TScriptExecutor& executor, std::size_t index);
// The same for a folder of the caller's ("OFFLINE\" before the changes are applied).
bool FetchMediaFolder(TScriptExecutor& executor, const std::string& folder);

} // namespace quillon
