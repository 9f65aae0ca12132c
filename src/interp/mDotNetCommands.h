// The commands that run the .NET Framework's own tools at once: native
// images, installer classes, assembly registration, and the removal of the
// package's assemblies from the global assembly cache.
#pragma once

#include "interp/mscriptexec.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

void RegisterDotNetCommands(HandlerTable& table);

// The assembly-cache files an assembly given by its strong name ("Name,
// Version=..., PublicKeyToken=...") may be, in the order they are tried.
std::vector<std::string> AssemblyCacheCandidates(std::string_view windows_folder, std::string_view strong_name);

} // namespace quillon
