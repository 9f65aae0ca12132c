#include "engine/cache_files_win32.h"

#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <limits>

namespace quillon {

Result<std::optional<std::string>> WindowsCacheFiles::read(const std::string& path)
{
    win32::UniqueFile file(CreateFileW(win32::to_wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::optional<std::string>();
        return make_error(ErrorCode::win32, "Unable to read " + path, error);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return make_error(ErrorCode::win32, "Unable to read " + path, GetLastError());
    // The engine's own small text files; anything near this size is not one.
    if (size.QuadPart > std::numeric_limits<std::int32_t>::max())
        return make_error(ErrorCode::corrupt, "The file " + path + " is too large");
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            return make_error(ErrorCode::win32, "Unable to read " + path, GetLastError());
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return std::optional<std::string>(std::move(bytes));
}

Result<void> WindowsCacheFiles::write(const std::string& path, std::string_view bytes)
{
    // The saved variables may hold secrets; a machine-wide cache lies in a folder every user can read.
    return win32::write_private_file(path, std::as_bytes(std::span(bytes.data(), bytes.size())));
}

Result<void> WindowsCacheFiles::replace(const std::string& from, const std::string& to)
{
    // A hidden or read-only target would refuse the move.
    SetFileAttributesW(win32::to_wide(to).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(win32::to_wide(from).c_str(), win32::to_wide(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return make_error(ErrorCode::win32, "Unable to replace " + to, GetLastError());
    return {};
}

} // namespace quillon
