#include "platform/win32/wow64_view_win32.h"

#include "base/paths.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace quillon::win32 {

namespace {

constexpr std::string_view current_version_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

UniqueHkey open_for_reading(HKEY root, std::string_view key, PlatformView view)
{
    UniqueHkey opened;
    if (RegOpenKeyExW(root, to_wide(key).c_str(), 0, KEY_READ | registry_view_flag(view), opened.put()) !=
        ERROR_SUCCESS)
        return {};
    return opened;
}

// A folder function that fills a wide buffer and returns the length (0 on failure).
template <typename Function>
std::string folder_text(Function function)
{
    wchar_t buffer[MAX_PATH + 1];
    UINT length = function(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    return without_backslash(to_ansi(std::wstring_view(buffer, length)));
}

} // namespace

REGSAM registry_view_flag(PlatformView view) noexcept
{
    return view == PlatformView::wow64_32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

SystemFolders system_folders()
{
    SystemFolders folders;
    folders.windows = folder_text([](wchar_t* buffer, UINT size) { return GetWindowsDirectoryW(buffer, size); });
    folders.system = folder_text([](wchar_t* buffer, UINT size) { return GetSystemDirectoryW(buffer, size); });
    folders.system_32 = folder_text([](wchar_t* buffer, UINT size) { return GetSystemWow64DirectoryW(buffer, size); });
    return folders;
}

std::string system_folder(PlatformView view)
{
    SystemFolders folders = system_folders();
    return view == PlatformView::wow64_32 && !folders.system_32.empty() ? folders.system_32 : folders.system;
}

std::string files_folder(FilesFolder which, PlatformView view)
{
    bool program = which == FilesFolder::program_files;
    std::optional<std::string> folder =
        registry_text(HKEY_LOCAL_MACHINE, current_version_key, program ? "ProgramFilesDir" : "CommonFilesDir", view);
    if ((!folder || folder->empty()) && view == PlatformView::wow64_32)
        folder = registry_text(HKEY_LOCAL_MACHINE, current_version_key,
                               program ? "ProgramFilesDir (x86)" : "CommonFilesDir (x86)", PlatformView::native);
    return folder.value_or(std::string());
}

std::optional<std::string> registry_text(HKEY root, std::string_view key, std::string_view name, PlatformView view)
{
    UniqueHkey opened = open_for_reading(root, key, view);
    if (!opened)
        return std::nullopt;
    std::wstring wide_name = to_wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    text.resize(size / sizeof(wchar_t));
    // The stored text ends at its first zero, whether or not the writer stored one.
    if (std::size_t end = text.find(L'\0'); end != std::wstring::npos)
        text.resize(end);
    return to_ansi(text);
}

std::optional<std::uint32_t> registry_dword(HKEY root, std::string_view key, std::string_view name, PlatformView view)
{
    UniqueHkey opened = open_for_reading(root, key, view);
    if (!opened)
        return std::nullopt;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(opened.get(), to_wide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

} // namespace quillon::win32
