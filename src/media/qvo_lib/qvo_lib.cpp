// The archive library "qvo.lib": the exported functions over the 7z reader.
// No exception leaves an exported function.
#include "media/qvo_lib/qvo_abi.h"
#include "media/sevenzip/sevenzip.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace quillon;
using namespace quillon::qvo;

namespace {

// The code of the last failure, for GetLastArchiveError.
std::atomic<int> g_last_error{error_none};

struct ListHandle {
    std::vector<std::string> paths;
    std::vector<ArchiveEntry> entries;
};

std::filesystem::path wide_path(const char* ansi)
{
    return std::filesystem::path(win32::to_wide(ansi != nullptr ? ansi : ""));
}

std::string ansi_name(std::u16string_view name)
{
    std::wstring wide(name.begin(), name.end());
    return win32::to_ansi(wide);
}

sevenzip::PasswordProvider password_provider(PasswordCallback callback, const char* password)
{
    return [callback, given = std::string(password != nullptr ? password : "")]() -> std::optional<std::u16string> {
        std::string text = given;
        if (callback != nullptr) {
            std::vector<char> buffer(1024, '\0');
            if (callback(buffer.data(), static_cast<int>(buffer.size() - 1)) != 0)
                text.assign(buffer.data());
        }
        if (text.empty())
            return std::nullopt;
        std::wstring wide = win32::to_wide(text);
        return std::u16string(wide.begin(), wide.end());
    };
}

sevenzip::OpenOptions open_options(PasswordCallback callback, const char* password)
{
    sevenzip::OpenOptions options;
    options.password = password_provider(callback, password);
    options.name_converter = ansi_name;
    options.separator = '\\';
    return options;
}

// The file exists when an open fails: what is left is an unreadable, unsupported
// or locked (no or a wrong password) archive.
int open_error_code(const Error&)
{
    return error_cannot_open;
}

// Windows attributes (the low 16 bits; Unix archivers put st_mode above them) and
// the modification time, in one call on one handle: under Wine every call costs,
// and archives of many small files pay it per file.
Result<void> apply_windows_metadata(const std::filesystem::path& path, const sevenzip::Entry& entry)
{
    FILE_BASIC_INFO info{}; // zero leaves a time or the attributes as they are
    if (entry.modified && !entry.is_directory)
        info.LastWriteTime.QuadPart = static_cast<LONGLONG>(*entry.modified);
    if (entry.has_attributes) {
        DWORD attributes = entry.attributes & 0x7FFF & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
        if (!entry.is_directory || attributes != 0)
            info.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    }
    if (info.LastWriteTime.QuadPart == 0 && info.FileAttributes == 0)
        return {};
    win32::UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file)
        SetFileInformationByHandle(file.get(), FileBasicInfo, &info, sizeof info);
    return {};
}

int extract_error_code(const Error& error)
{
    switch (error.code) {
    case ErrorCode::corrupt:
        return error.message.find("member") != std::string::npos ? error_illegal_path : error_corrupt_data;
    case ErrorCode::not_found:
    case ErrorCode::out_of_range: return error_illegal_path;
    case ErrorCode::io:
    case ErrorCode::win32: return error_write_failed;
    case ErrorCode::cancelled: return error_cancelled;
    case ErrorCode::unsupported: return error_unsupported_method;
    default: return error_general;
    }
}

// Opens the archive, or records why not for GetLastArchiveError.
std::optional<sevenzip::Archive> open_archive(const char* archive, PasswordCallback password_callback,
                                              const char* password)
{
    std::filesystem::path path = wide_path(archive);
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        g_last_error = error_archive_not_found;
        return std::nullopt;
    }
    Result<sevenzip::Archive> opened = sevenzip::Archive::open(path, open_options(password_callback, password));
    if (!opened) {
        g_last_error = open_error_code(opened.error());
        return std::nullopt;
    }
    return std::move(*opened);
}

} // namespace

extern "C" {

__declspec(dllexport) INT_PTR WINAPI OpenListArchive(const char* archive, int, PasswordCallback password_callback, int,
                                                     int, int, const char* password, ArchiveEntry** entries,
                                                     int* count) noexcept
{
    try {
        if (entries != nullptr)
            *entries = nullptr;
        if (count != nullptr)
            *count = 0;
        std::optional<sevenzip::Archive> opened = open_archive(archive, password_callback, password);
        if (!opened)
            return 0;
        auto handle = std::make_unique<ListHandle>();
        for (const sevenzip::Entry& entry : opened->entries())
            handle->paths.push_back(entry.path);
        for (std::size_t i = 0; i < opened->entries().size(); ++i) {
            const sevenzip::Entry& entry = opened->entries()[i];
            handle->entries.push_back(ArchiveEntry{handle->paths[i].c_str(), entry.size, entry.modified.value_or(0),
                                                   entry.attributes, entry.crc.value_or(0),
                                                   entry.is_directory ? 1u : 0u, 0, 0});
        }
        if (entries != nullptr)
            *entries = handle->entries.data();
        if (count != nullptr)
            *count = static_cast<int>(handle->entries.size());
        g_last_error = error_none;
        return reinterpret_cast<INT_PTR>(handle.release());
    } catch (...) {
        g_last_error = error_general;
        return 0;
    }
}

__declspec(dllexport) void WINAPI CloseListArchive(INT_PTR handle) noexcept
{
    delete reinterpret_cast<ListHandle*>(handle);
}

__declspec(dllexport) int WINAPI ExtractArchive(const char* archive, int, const char* target,
                                                const TSZW_TARGETFILES* files, int mode, const char* password,
                                                PasswordCallback password_callback, ProgressCallback progress,
                                                ConfirmationCallback confirmation,
                                                OverwriteQueryCallback overwrite_query) noexcept
{
    try {
        std::optional<sevenzip::Archive> opened = open_archive(archive, password_callback, password);
        if (!opened)
            return 0;
        sevenzip::ExtractOptions options;
        if (files != nullptr && files->files != nullptr && files->count > 0) {
            std::vector<std::string> names(files->files, files->files + files->count);
            Result<std::vector<std::size_t>> selection = opened->find(names);
            if (!selection) {
                g_last_error = error_illegal_path;
                return 0;
            }
            options.selection = std::move(*selection);
        }
        options.apply_metadata = apply_windows_metadata;
        options.path_mode = mode == mode_flat ? sevenzip::PathMode::flat : sevenzip::PathMode::full;
        if (confirmation != nullptr)
            confirmation(0, 0);
        options.overwrite = sevenzip::Overwrite::ask;
        options.overwrite_query = [overwrite_query](const sevenzip::Entry&, const std::filesystem::path&) {
            if (overwrite_query == nullptr)
                return sevenzip::OverwriteAnswer::replace;
            return overwrite_query(0, 0, 0, 0, 0, 0, 0, 0, 0, 0) == overwrite_replace
                       ? sevenzip::OverwriteAnswer::replace
                       : sevenzip::OverwriteAnswer::skip;
        };
        if (progress != nullptr)
            options.progress = [progress](const sevenzip::Entry& entry, std::uint64_t position, std::uint64_t total) {
                return progress(entry.path.c_str(), static_cast<std::int64_t>(position),
                                static_cast<std::int64_t>(total)) != 0;
            };
        Result<void> extracted = opened->extract(wide_path(target), options);
        if (!extracted) {
            g_last_error = extract_error_code(extracted.error());
            return 0;
        }
        g_last_error = error_none;
        return 1;
    } catch (...) {
        g_last_error = error_general;
        return 0;
    }
}

__declspec(dllexport) int WINAPI GetLastArchiveError(int) noexcept
{
    return g_last_error;
}

} // extern "C"
