// Loading libraries without the DLL-planting hole. A setup runs from a Downloads
// folder, often elevated: whatever lies beside setup.exe or in the current folder
// must never be loaded. System libraries come from the system folder only; the
// engine's own libraries (qvo.lib, plug-ins, the Flash player) by full path only.
// Statically the engine imports KnownDLLs alone (platform/library_rules.h).
#pragma once

#include "base/error.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <string_view>

namespace quillon::win32 {

// An exported function as its type; null when the module lacks it (or is null).
template <typename Function>
Function proc(HMODULE module, const char* name) noexcept
{
    if (module == nullptr)
        return nullptr;
    // GetProcAddress returns a generic function pointer; going through void*
    // keeps the compiler from warning about the cast between function types.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// How far the process's library search could be restricted.
enum class LibrarySearch {
    system_folder_only,   // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
    without_current_folder, // Windows 7 without the update that brings it: SetDllDirectory("")
    unchanged,
};

// The first thing a program of the engine does: every later load by bare name,
// also those that system libraries make on the engine's behalf, searches the
// system folder only. Safe to call more than once.
LibrarySearch restrict_library_search() noexcept;

// Whether LoadLibraryEx takes the LOAD_LIBRARY_SEARCH_* flags here (Windows 8 and
// later, Windows 7 with KB2533623).
bool library_search_flags_supported() noexcept;

// A system library that is not a KnownDLL ("comctl32.dll", "msi.dll"), from the
// system folder, its own dependencies from there too. A name with a path in it
// is refused: this is not the loader of the engine's own files.
Result<UniqueHmodule> load_system_library(std::wstring_view file_name);

// The same, loaded for the rest of the process and never freed: for libraries
// whose windows, threads or timers may outlive the caller. Null when it
// cannot be loaded.
HMODULE kept_system_library(const wchar_t* file_name) noexcept;

// One of the engine's own libraries or a plug-in, by full path only (a relative
// path is refused, it would be searched for). Its dependencies come from its
// own folder and the system folder, never from the current folder.
Result<UniqueHmodule> load_library_by_full_path(std::wstring_view path);

} // namespace quillon::win32
