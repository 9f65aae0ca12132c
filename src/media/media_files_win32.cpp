#include "media/media_files.h"

#include "base/paths.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>
#include <winioctl.h>

namespace quillon::media {

namespace {

// The engine's folders in the cache may nest beyond 260 characters; what it
// made itself it reaches through the long-path form.
std::wstring long_wide(const std::string& path)
{
    return win32::to_wide(long_path_form(path));
}

void make_writable(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

bool is_folder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls visit(name, attributes) for every entry of the folder but "." and "..", in listing order.
template <typename Visit>
void for_each_entry(const std::wstring& folder, Visit visit)
{
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            visit(name, data.dwFileAttributes);
    } while (FindNextFileW(find.get(), &data));
}

// One pass: every file deleted, every folder emptied and removed. A link to a
// folder is removed as a link; what it points to is not ours.
void empty_folder(const std::wstring& folder)
{
    for_each_entry(folder, [&](const std::wstring& name, DWORD attributes) {
        std::wstring path = folder + L"\\" + name;
        bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        make_writable(path);
        if (directory) {
            if (!link)
                empty_folder(path);
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    });
}

void set_compression(const std::wstring& path, bool on)
{
    win32::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file)
        return;
    USHORT state = on ? COMPRESSION_FORMAT_DEFAULT : COMPRESSION_FORMAT_NONE;
    DWORD returned = 0;
    DeviceIoControl(file.get(), FSCTL_SET_COMPRESSION, &state, sizeof state, nullptr, 0, &returned, nullptr);
}

bool create_folders(const std::wstring& folder, bool compress)
{
    if (folder.empty() || is_folder(folder))
        return true;
    std::size_t last = folder.find_last_of(L'\\');
    if (last != std::wstring::npos && last > 0) {
        std::wstring parent = folder.substr(0, last);
        // Stop at a drive ("\\?\C:") or a share's root: those are never created.
        if (parent.size() > 2 && parent.back() != L':' && !create_folders(parent, compress))
            return false;
    }
    if (!CreateDirectoryW(folder.c_str(), nullptr))
        return GetLastError() == ERROR_ALREADY_EXISTS && is_folder(folder);
    if (compress)
        set_compression(folder, true);
    return true;
}

void list_files(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& files)
{
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    for_each_entry(folder, [&](const std::wstring& name, DWORD attributes) {
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            list_files(root, path, files);
        else
            files.push_back(path);
    });
}

std::wstring folder_of(const std::wstring& path)
{
    std::size_t last = path.find_last_of(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

} // namespace

void ClearFolder(const std::string& folder)
{
    if (!folder.empty())
        empty_folder(long_wide(without_backslash(folder)));
}

void ClearFolderThrice(const std::string& folder)
{
    for (int pass = 0; pass < 3; ++pass)
        ClearFolder(folder);
}

void SetCompression(const std::string& path, bool on)
{
    set_compression(long_wide(without_backslash(path)), on);
}

void SetCompression(const std::wstring& path, bool on)
{
    set_compression(path, on);
}

bool CreateFolders(const std::string& folder, bool compress)
{
    return create_folders(long_wide(without_backslash(folder)), compress);
}

bool CreateFolders(const std::wstring& folder, bool compress)
{
    return create_folders(folder, compress);
}

std::vector<std::string> SubfolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    for_each_entry(long_wide(without_backslash(folder)), [&](const std::wstring& name, DWORD attributes) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            names.push_back(win32::to_ansi(name));
    });
    return names;
}

std::vector<std::wstring> ListFilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    list_files(folder, L"", files);
    return files;
}

bool TransferTree(const std::string& source, const std::string& target, bool move, bool compress)
{
    std::wstring from = long_wide(without_backslash(source));
    std::wstring to = long_wide(without_backslash(target));
    for (const std::wstring& file : ListFilesBelow(from)) {
        std::wstring destination = to + L"\\" + file;
        if (!create_folders(folder_of(destination), compress))
            return false;
        std::wstring origin = from + L"\\" + file;
        if (move) {
            make_writable(destination);
            DeleteFileW(destination.c_str());
            if (!MoveFileW(origin.c_str(), destination.c_str()))
                return false;
        } else if (!CopyFileW(origin.c_str(), destination.c_str(), FALSE)) {
            return false;
        }
    }
    if (move) {
        for (int pass = 0; pass < 3; ++pass)
            empty_folder(from);
        make_writable(from);
        RemoveDirectoryW(from.c_str());
    }
    return true;
}

std::uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void CopyIfSizeDiffers(const std::string& source, const std::string& target, bool compress)
{
    // A drive letter or a share: a bare name would land in the current folder.
    bool has_drive = (target.size() >= 2 && target[1] == ':') || target.starts_with("\\\\");
    if (!has_drive)
        return;
    std::wstring from = long_wide(source);
    std::wstring to = long_wide(target);
    if (FileSize(from) == FileSize(to))
        return;
    create_folders(folder_of(to), compress);
    make_writable(to);
    CopyFileW(from.c_str(), to.c_str(), FALSE);
}

} // namespace quillon::media
