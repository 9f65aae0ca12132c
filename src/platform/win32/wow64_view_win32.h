// The 32-bit view of platform/wow64_view.h carried out on Windows: the registry
// view flag of a view, the system folders, the program and common files folders
// of each view, and reading registry values through a view. Every command that
// follows the platform mode, and the plug-in caller, go through here.
#pragma once

#include "platform/wow64_view.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::win32 {

// The access flag that opens keys in the view: KEY_WOW64_32KEY or KEY_WOW64_64KEY.
REGSAM registry_view_flag(PlatformView view) noexcept;

// The Windows folder, the system folder and the 32-bit system folder.
SystemFolders system_folders();

// The system folder a process of the view sees (the 32-bit one for wow64_32,
// the real one where there is no 32-bit folder).
std::string system_folder(PlatformView view);

// ProgramFilesDir or CommonFilesDir of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion
// in the view. Where the 32-bit view lacks the value (a system without a 32-bit
// side), the native view's "ProgramFilesDir (x86)" or "CommonFilesDir (x86)",
// which Windows keeps for 32-bit programs. Empty when neither is there.
std::string files_folder(FilesFolder which, PlatformView view);

// A string value (REG_SZ or REG_EXPAND_SZ, not expanded) and a REG_DWORD value
// of a key opened for reading in the view; nothing when the key, the value or
// the type does not fit.
std::optional<std::string> registry_text(HKEY root, std::string_view key, std::string_view name, PlatformView view);
std::optional<std::uint32_t> registry_dword(HKEY root, std::string_view key, std::string_view name, PlatformView view);

} // namespace quillon::win32
