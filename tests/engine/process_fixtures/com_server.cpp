// qcomserver.dll: a COM in-process server as far as registration goes. Its
// DllRegisterServer writes the class's InprocServer32 key with the library's
// own path; DllUnregisterServer removes the class's key again.
#include <windows.h>

#include <objbase.h>

namespace {

constexpr wchar_t class_key[] = L"Software\\Classes\\CLSID\\{5D1C2B3A-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";
HMODULE self = nullptr;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) noexcept
{
    if (reason == DLL_PROCESS_ATTACH)
        self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() noexcept
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    HKEY key = nullptr;
    wchar_t inproc[256];
    wsprintfW(inproc, L"%ls\\InprocServer32", class_key);
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, inproc, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    LONG written =
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), (length + 1) * sizeof(wchar_t));
    RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Apartment"), sizeof L"Apartment");
    RegCloseKey(key);
    return written == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() noexcept
{
    LONG result = RegDeleteTreeW(HKEY_LOCAL_MACHINE, class_key);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
