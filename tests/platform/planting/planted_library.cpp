// qplant.dll: a library that tells of every load. Its DllMain leaves an empty
// file "<name it was loaded as>.loaded" in the folder that QUILLON_PLANT_MARKERS
// names. Copied beside a program as winmm.dll, comctl32.dll, ..., it shows
// whether that program loads a library planted in its folder.
#include <windows.h>

#include <cwchar>

extern "C" __declspec(dllexport) int quillon_plant_marker() noexcept
{
    return 1; // something for qplantuser.dll to import
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) noexcept
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    // Only kernel32 under the loader lock, and nothing that could fail the load.
    wchar_t folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    wchar_t module[MAX_PATH];
    DWORD module_length = GetModuleFileNameW(self, module, MAX_PATH);
    if (module_length == 0 || module_length >= MAX_PATH)
        return TRUE;
    const wchar_t* slash = std::wcsrchr(module, L'\\');
    const wchar_t* name = slash != nullptr ? slash + 1 : module;
    wchar_t marker[2 * MAX_PATH + 16];
    if (std::swprintf(marker, sizeof marker / sizeof marker[0], L"%ls\\%ls.loaded", folder, name) < 0)
        return TRUE;
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
