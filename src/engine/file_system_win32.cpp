#include "engine/file_system_win32.h"

#include "base/paths.h"
#include "base/scope_exit.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <limits>
#include <vector>

namespace quillon {

namespace {

using win32::to_ansi;
using win32::to_wide;

std::optional<DWORD> attributes(const std::string& path)
{
    DWORD found = GetFileAttributesW(to_wide(path).c_str());
    if (found == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    return found;
}

bool write_all(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

std::vector<FolderEntry> find_entries(const std::string& pattern)
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind search(
        FindFirstFileExW(to_wide(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return entries;
    do {
        std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries.push_back({to_ansi(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search.get(), &data));
    return entries;
}

} // namespace

bool WindowsFileSystem::file_exists(const std::string& path)
{
    std::optional<DWORD> found = attributes(path);
    return found && (*found & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WindowsFileSystem::folder_exists(const std::string& path)
{
    std::optional<DWORD> found = attributes(path);
    return found && (*found & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<DiskSpace> WindowsFileSystem::disk_space(const std::string& path)
{
    ULARGE_INTEGER free_to_caller{};
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW(to_wide(path).c_str(), &free_to_caller, &total, nullptr))
        return std::nullopt;
    return DiskSpace{free_to_caller.QuadPart, total.QuadPart};
}

std::optional<std::string> WindowsFileSystem::read_file(const std::string& path)
{
    win32::UniqueFile file(CreateFileW(to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t have = 0;
    while (have < content.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - have, 1u << 20));
        DWORD read = 0;
        if (!ReadFile(file.get(), content.data() + have, chunk, &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break; // the file became shorter since its size was asked
        have += read;
    }
    content.resize(have);
    return content;
}

bool WindowsFileSystem::replace_file(const std::string& path, std::string_view content)
{
    // The new content goes into a file beside the old one first, and takes its
    // place in one step: a failure on the way leaves the old file whole.
    std::wstring target = to_wide(path);
    std::string folder = folder_part(path);
    wchar_t temp[MAX_PATH + 1];
    if (GetTempFileNameW(to_wide(folder.empty() ? std::string(".") : folder).c_str(), L"qvt", 0, temp) == 0)
        return false;
    ScopeExit remove_temp([&] { DeleteFileW(temp); });
    {
        win32::UniqueFile file(
            CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file || !write_all(file.get(), content) || !FlushFileBuffers(file.get()))
            return false;
    }
    std::optional<DWORD> old = attributes(path);
    if (old) {
        // A read-only file is replaced too.
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        // ReplaceFile keeps the old file's security and identity.
        if (ReplaceFileW(target.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            remove_temp.dismiss();
            return true;
        }
    }
    if (!MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    remove_temp.dismiss();
    return true;
}

FolderFinder WindowsFileSystem::folder_finder() const
{
    return find_entries;
}

void WindowsFileSystem::delete_file(const std::string& path)
{
    std::wstring wide = to_wide(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
}

void WindowsFileSystem::remove_folder(const std::string& path)
{
    RemoveDirectoryW(to_wide(path).c_str());
}

std::string WindowsFileSystem::profile_string(const std::string& file, const std::string& section,
                                              const std::string& key, std::size_t limit)
{
    std::wstring buffer(limit + 1, L'\0');
    DWORD length = GetPrivateProfileStringW(to_wide(section).c_str(), to_wide(key).c_str(), L"", buffer.data(),
                                            static_cast<DWORD>(buffer.size()), to_wide(file).c_str());
    std::string text = to_ansi(std::wstring_view(buffer.data(), std::min<std::size_t>(length, limit)));
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

} // namespace quillon
