#pragma once

#include <windows.h>

namespace quillon::win32 {

// The version Windows reports to this program (without a compatibility manifest,
// Windows 8.1 and later report 6.2, which is enough for the "XP or later" and
// "7 or later" decisions made with it).
inline bool windows_version_at_least(DWORD major, DWORD minor)
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
#pragma GCC diagnostic pop
    return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
}

} // namespace quillon::win32
