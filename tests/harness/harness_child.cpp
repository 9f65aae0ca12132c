// A small Windows program the harness tests start: it does one thing that the
// harness must be able to observe.
//   exit N            ends with exit code N
//   hang              never ends on its own
//   reg SUBKEY NAME V writes the string V under HKCU\SUBKEY, then ends with 0
//   window TITLE      shows a window with that title until it is closed
//   utf16 PATH TEXT   writes TEXT as UTF-16LE to PATH
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int show_window(const wchar_t* title)
{
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"QuillonHarnessChild";
    RegisterClassW(&window_class);
    HWND window = CreateWindowW(L"QuillonHarnessChild", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                nullptr, nullptr, window_class.hInstance, nullptr);
    if (window == nullptr)
        return 3;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return static_cast<int>(message.wParam);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    std::wstring verb = argv[1];
    if (verb == L"exit" && argc == 3)
        return static_cast<int>(std::wcstoul(argv[2], nullptr, 10));
    if (verb == L"hang") {
        Sleep(INFINITE);
        return 0;
    }
    if (verb == L"reg" && argc == 5) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, argv[2], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return 4;
        auto size = static_cast<DWORD>((std::wcslen(argv[4]) + 1) * sizeof(wchar_t));
        LONG status = RegSetValueExW(key, argv[3], 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[4]), size);
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? 0 : 5;
    }
    if (verb == L"window" && argc == 3)
        return show_window(argv[2]);
    if (verb == L"utf16" && argc == 4) {
        FILE* file = _wfopen(argv[2], L"wb");
        if (file == nullptr)
            return 6;
        std::fwrite(argv[3], sizeof(wchar_t), std::wcslen(argv[3]), file);
        std::fclose(file);
        return 0;
    }
    return 2;
}
