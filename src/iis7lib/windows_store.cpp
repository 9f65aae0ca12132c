#include "iis7lib/windows_store.h"

#include <windows.h>

namespace quillon::iis7 {

std::wstring windows_folder()
{
    wchar_t folder[MAX_PATH + 1] = {};
    UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return L"C:\\Windows";
    return std::wstring(folder, length);
}

std::filesystem::path server_config_file()
{
    std::wstring system_folder = L"\\system32";
#ifndef _WIN64
    // The server's files lie in the native system folder, which a 32-bit
    // process reaches only under its alias.
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
        system_folder = L"\\Sysnative";
#endif
    return windows_folder() + system_folder + L"\\inetsrv\\config\\applicationHost.config";
}

Result<std::unique_ptr<AdminManager>> WindowsConfigStore::open()
{
    Result<std::unique_ptr<AdminManager>> manager = open_iis_admin_manager();
    if (manager || manager.error().code != ErrorCode::not_found)
        return manager;
    return open_file_admin_manager(server_config_file());
}

} // namespace quillon::iis7
