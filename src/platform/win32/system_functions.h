// The functions the engine uses from system libraries that are not KnownDLLs
// (common controls, sound, rich edit). They are looked up at run time from
// libraries loaded out of the system folder (system_library.h), never imported:
// the loader resolves static imports before the engine's first instruction, by
// the standard search that puts the program's own folder first.
//
// Why tables and not delay-load imports: a table's load names the system folder
// itself and so holds also where SetDefaultDllDirectories is missing (Windows 7
// without KB2533623), where a delay-load helper's bare LoadLibrary would search
// the Downloads folder first; a missing function is a null to handle, not an
// exception raised from the helper; and this toolchain's linker does not record
// delay-load tables in the data directory, so an import check could not see them.
//
// Each library is loaded on first use and kept for the process: the windows of
// its classes may live until the end. Every wrapper does nothing and reports
// failure when its library or function is missing.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace quillon::win32 {

// comctl32.dll
bool init_common_controls(DWORD classes) noexcept;
HIMAGELIST image_list_create(int width, int height, UINT flags, int initial, int grow) noexcept;
int image_list_add(HIMAGELIST list, HBITMAP image, HBITMAP mask) noexcept; // -1 on failure
HICON image_list_get_icon(HIMAGELIST list, int index, UINT flags) noexcept;
bool image_list_destroy(HIMAGELIST list) noexcept;

// winmm.dll
bool play_sound(const wchar_t* sound, DWORD flags) noexcept;

// riched20.dll: loading it registers the rich edit class "RichEdit20W".
bool register_rich_edit_class() noexcept;

} // namespace quillon::win32
