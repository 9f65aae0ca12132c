#include "engine/cache_folder.h"

#include "base/paths.h"
#include "base/strings.h"
#include "cache/cache_texts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <shlobj.h>
#include <winioctl.h>

#include <vector>

namespace quillon {

namespace {

bool is_folder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void set_compression(const std::wstring& folder, CacheCompression compression)
{
    win32::UniqueFile handle(CreateFileW(folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return;
    USHORT format = compression == CacheCompression::on ? COMPRESSION_FORMAT_DEFAULT : COMPRESSION_FORMAT_NONE;
    DWORD returned = 0;
    // A file system without compression refuses; the cache works uncompressed.
    DeviceIoControl(handle.get(), FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &returned, nullptr);
}

// Deletes what it can below the folder; the paths of the files that stay.
void delete_contents(const std::wstring& folder, std::vector<std::wstring>& stayed)
{
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            delete_contents(path, stayed);
            if (!RemoveDirectoryW(path.c_str()))
                stayed.push_back(path);
        } else if (!DeleteFileW(path.c_str())) {
            stayed.push_back(path);
        }
    } while (FindNextFileW(find.get(), &data));
}

} // namespace

bool PrepareCacheFolder(const std::string& folder, CacheCompression compression)
{
    std::wstring wide = win32::to_wide(without_backslash(folder));
    int created = SHCreateDirectoryExW(nullptr, wide.c_str(), nullptr);
    if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS)
        return false;
    MarkCacheFolder(folder, compression);
    return is_folder(wide);
}

void MarkCacheFolder(const std::string& folder, CacheCompression compression)
{
    std::wstring wide = win32::to_wide(without_backslash(folder));
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return;
    SetFileAttributesW(wide.c_str(), (attributes | FILE_ATTRIBUTE_HIDDEN) & ~FILE_ATTRIBUTE_DIRECTORY);
    set_compression(wide, compression);
}

bool CopyIntoCache(const std::string& source, const std::string& folder)
{
    std::wstring from = win32::to_wide(source);
    std::wstring to = win32::to_wide(with_backslash(folder) + file_name_part(source));
    wchar_t full_from[MAX_PATH * 2] = L"";
    wchar_t full_to[MAX_PATH * 2] = L"";
    if (GetFullPathNameW(from.c_str(), MAX_PATH * 2, full_from, nullptr) != 0 &&
        GetFullPathNameW(to.c_str(), MAX_PATH * 2, full_to, nullptr) != 0 &&
        CompareStringOrdinal(full_from, -1, full_to, -1, TRUE) == CSTR_EQUAL)
        return true;
    SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

void RemoveCachedSources(const std::string& folder)
{
    std::wstring wide = win32::to_wide(without_backslash(folder));
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW((wide + L"\\*").c_str(), &data));
    if (!find)
        return;
    std::vector<std::wstring> subfolders;
    do {
        std::string name = win32::to_ansi(data.cFileName);
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != ".." &&
            !equal_nocase(name, cache_text::offline_folder) && !equal_nocase(name, cache_text::advertised_marker))
            subfolders.push_back(wide + L"\\" + data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    for (const std::wstring& path : subfolders) {
        std::vector<std::wstring> stayed;
        delete_contents(path, stayed);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(path.c_str());
    }
}

bool RemoveCacheFolder(const std::string& folder)
{
    std::wstring wide = win32::to_wide(without_backslash(folder));
    if (!is_folder(wide))
        return true;
    // A process's current folder cannot be removed or renamed: the engine
    // started from its cache may be standing in it.
    wchar_t current[MAX_PATH * 2] = L"";
    DWORD length = GetCurrentDirectoryW(MAX_PATH * 2, current);
    if (length > 0 && length >= wide.size() &&
        CompareStringOrdinal(current, static_cast<int>(wide.size()), wide.c_str(), static_cast<int>(wide.size()),
                             TRUE) == CSTR_EQUAL &&
        (length == wide.size() || current[wide.size()] == L'\\'))
        SetCurrentDirectoryW(win32::to_wide(parent_folder(without_backslash(folder))).c_str());

    std::vector<std::wstring> stayed;
    delete_contents(wide, stayed);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (RemoveDirectoryW(wide.c_str()))
        return true;

    // The running engine keeps its folder: out of the way under "~n", so that
    // a new installation of the same build can make its cache, and gone at the restart.
    std::wstring parent = win32::to_wide(with_backslash(parent_folder(without_backslash(folder))));
    std::wstring renamed = wide;
    for (unsigned n = 0; n < 1000; ++n) {
        std::wstring candidate = parent + L"~" + std::to_wstring(n);
        if (GetFileAttributesW(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (MoveFileExW(wide.c_str(), candidate.c_str(), 0))
            renamed = candidate;
        break;
    }
    for (std::wstring& path : stayed) {
        if (renamed != wide)
            path = renamed + path.substr(wide.size());
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    MoveFileExW(renamed.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return renamed != wide;
}

} // namespace quillon
