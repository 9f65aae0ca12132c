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
// the modification time, as one call on an open handle.
FILE_BASIC_INFO basic_info(const sevenzip::Entry& entry)
{
    FILE_BASIC_INFO info{}; // zero leaves a time or the attributes as they are
    if (entry.modified && !entry.is_directory)
        info.LastWriteTime.QuadPart = static_cast<LONGLONG>(*entry.modified);
    if (entry.has_attributes) {
        DWORD attributes = entry.attributes & 0x7FFF & ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
        if (!entry.is_directory || attributes != 0)
            info.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    }
    return info;
}

// Folders get their metadata after their files were written.
Result<void> apply_windows_metadata(const std::filesystem::path& path, const sevenzip::Entry& entry)
{
    FILE_BASIC_INFO info = basic_info(entry);
    if (info.LastWriteTime.QuadPart == 0 && info.FileAttributes == 0)
        return {};
    win32::UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file)
        SetFileInformationByHandle(file.get(), FileBasicInfo, &info, sizeof info);
    return {};
}

Error write_error(const char* what, const std::filesystem::path& path)
{
    DWORD code = GetLastError();
    return Error{ErrorCode::io, code, std::string(what) + " " + win32::to_ansi(path.wstring())};
}

// Extracted files through the file handles themselves: created exclusively
// (which is the existence check), written, given their time and attributes
// on the same handle. Under Wine every system call costs, and an archive of
// many small files pays for each one per file.
class WindowsOutput final : public sevenzip::OutputFiles {
public:
    Existing existing(const std::filesystem::path& path) override
    {
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Existing::none;
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Existing::folder : Existing::file;
    }
    Result<std::unique_ptr<sevenzip::OutputFile>> create_new(const std::filesystem::path& path) override
    {
        HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD code = GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS)
                return std::unique_ptr<sevenzip::OutputFile>();
            return std::unexpected(write_error("cannot create", path));
        }
        return std::unique_ptr<sevenzip::OutputFile>(std::make_unique<File>(handle, path));
    }
    Result<void> replace(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return {};
        // A read-only file in the way.
        SetFileAttributesW(to.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
            return {};
        return std::unexpected(write_error("cannot rename the extracted file to", to));
    }
    void remove(const std::filesystem::path& path) noexcept override
    {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }

private:
    class File final : public sevenzip::OutputFile {
    public:
        File(HANDLE handle, std::filesystem::path path) : m_handle(handle), m_path(std::move(path)) {}
        Result<void> write(std::span<const std::byte> data) override
        {
            while (!data.empty()) {
                DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 30));
                DWORD written = 0;
                if (!WriteFile(m_handle.get(), data.data(), chunk, &written, nullptr) || written == 0)
                    return std::unexpected(write_error("cannot write", m_path));
                data = data.subspan(written);
            }
            return {};
        }
        Result<void> finish(const sevenzip::Entry& entry) override
        {
            FILE_BASIC_INFO info = basic_info(entry);
            // A new file is born with the archive attribute: only other attributes cost a call.
            if (info.FileAttributes == FILE_ATTRIBUTE_ARCHIVE)
                info.FileAttributes = 0;
            if (info.FileAttributes == 0 && info.LastWriteTime.QuadPart != 0) {
                FILETIME time{static_cast<DWORD>(info.LastWriteTime.QuadPart),
                              static_cast<DWORD>(info.LastWriteTime.QuadPart >> 32)};
                SetFileTime(m_handle.get(), nullptr, nullptr, &time);
            } else if (info.FileAttributes != 0 || info.LastWriteTime.QuadPart != 0) {
                SetFileInformationByHandle(m_handle.get(), FileBasicInfo, &info, sizeof info);
            }
            if (!CloseHandle(m_handle.release()))
                return std::unexpected(write_error("cannot write", m_path));
            return {};
        }

    private:
        win32::UniqueFile m_handle;
        std::filesystem::path m_path;
    };
};

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
        WindowsOutput output;
        options.output = &output;
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
