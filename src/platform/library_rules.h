// What the engine may load and how, decided without Windows: a setup runs from
// a Downloads folder, where anyone may have left a DLL named like a system one.
#pragma once

#include <span>
#include <string_view>

namespace quillon {

// The KnownDLLs of Windows 10 and 11 (the values of the registry key
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, plus ntdll,
// which every process has mapped before its imports are resolved). The loader maps these from the system folder
// whatever lies beside the program, so only they may be imported statically.
// Lower case, with extension.
std::span<const std::string_view> known_dlls() noexcept;

// A name that a static import may carry: a KnownDLL (any case) or an API set
// ("api-ms-win-..."), which the loader resolves through its schema, never from disk.
bool is_known_dll(std::string_view file_name) noexcept;

// A path that names one file without any search: "C:\dir\file.dll", "\\server\share\file.dll"
// or "\\?\C:\file.dll". Not "file.dll", "dir\file.dll", ".\file.dll", "C:file.dll"
// (relative to the drive's current folder) or "\file.dll" (relative to the current drive).
bool is_full_path(std::string_view path) noexcept;
bool is_full_path(std::wstring_view path) noexcept;

} // namespace quillon
