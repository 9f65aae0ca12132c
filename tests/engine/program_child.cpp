// A small program that "Run Program" tests start. Each form ends with the
// exit code N given last.
//   exit N               ends at once
//   wait FILE N          writes FILE.started, waits until FILE exists (two
//                        minutes at most, then ends with 99), writes FILE.ended
//   report FILE N        writes how it was started into FILE: the show command
//                        and its flag, the current folder, QV_TEST and the user
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool write_text(const std::wstring& path, const std::wstring& text)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    std::string utf8(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size() - 1, file);
    std::fclose(file);
    return true;
}

std::wstring report()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    wchar_t value[256] = L"";
    if (GetEnvironmentVariableW(L"QV_TEST", value, 256) == 0)
        std::wcscpy(value, L"<none>");
    wchar_t user[256] = L"";
    DWORD size = 256;
    GetUserNameW(user, &size);
    return L"show=" + std::to_wstring(startup.wShowWindow) + L"\nuse_show=" +
           std::to_wstring((startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? 1 : 0) + L"\nfolder=" + folder +
           L"\nQV_TEST=" + value + L"\nuser=" + user + L"\n";
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    std::wstring verb = argv[1];
    int code = static_cast<int>(std::wcstol(argv[argc - 1], nullptr, 10));
    if (verb == L"exit" && argc == 3)
        return code;
    if (verb == L"wait" && argc == 4) {
        std::wstring release = argv[2];
        write_text(release + L".started", L"");
        for (int i = 0; i < 2400; ++i) {
            if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) {
                write_text(release + L".ended", L"");
                return code;
            }
            Sleep(50);
        }
        return 99;
    }
    if (verb == L"report" && argc == 4)
        return write_text(argv[2], report()) ? code : 3;
    return 2;
}
