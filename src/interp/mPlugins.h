// Plug-in commands: a command named in the script's plug-in list runs the
// export "RunTimeExecute" of a library on a worker thread. The library gets
// the whole variable store and hands back the whole new set.
#pragma once

#include "base/error.h"
#include "interp/command_call.h"

#include <string_view>

namespace quillon {

namespace plugin_text {
inline constexpr std::string_view library_missing =
    "Unable to load plug-in library. Please rebuild your project and make sure all required plug-ins are installed.";
inline constexpr std::string_view action_skipped = "Action skipped";
// The installer plug-in switches the file-system redirection itself on Windows 7 and later.
inline constexpr std::string_view installer_library = "mMSIExec.dll";
} // namespace plugin_text

// Parameter 1: the plug-in's parameter text, as written; parameter 2: the
// library, relative to the command's media folder.
Result<void> RunPluginCommand(CommandCall& call);

} // namespace quillon
