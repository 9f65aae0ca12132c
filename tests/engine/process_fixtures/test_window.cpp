// qwindow.exe: a program with one top-level window of the class
// "QuillonTestWindow" titled by its first argument. With "--ignore-close" it
// keeps its window on WM_CLOSE and counts the requests in its title
// ("<title> [n]"); otherwise WM_CLOSE ends it with exit code 0. Started with
// "/regserver" or "/unregserver" anywhere on its command line it is a server
// program being registered: it writes its whole command line to
// HKCU\Software\QuillonTest\ServerProgram and ends.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring title;
bool ignore_close = false;
int close_requests = 0;

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CLOSE:
        if (ignore_close) {
            ++close_requests;
            SetWindowTextW(window, (title + L" [" + std::to_wstring(close_requests) + L"]").c_str());
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

int record_server_registration(const wchar_t* command_line)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\QuillonTest\\ServerProgram", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return 1;
    std::wstring line = command_line;
    RegSetValueExW(key, L"CommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                   static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    const wchar_t* command_line = GetCommandLineW();
    std::wstring whole = command_line;
    if (whole.find(L"/regserver") != std::wstring::npos || whole.find(L"/unregserver") != std::wstring::npos)
        return record_server_registration(command_line);
    if (__argc > 1)
        title = __wargv[1];
    ignore_close = __argc > 2 && std::wstring(__wargv[2]) == L"--ignore-close";

    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = L"QuillonTestWindow";
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, L"QuillonTestWindow", title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 2;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
