#include "engine/support_folder.h"

#include "base/paths.h"

#ifdef _WIN32
#include "platform/win32/unique_handle.h"
#include "media/media_files.h"
#include "platform/win32/wide.h"

#include <windows.h>
#endif

#include <system_error>

namespace quillon {

namespace fs = std::filesystem;

fs::path fs_path(const std::string& ansi_path)
{
#ifdef _WIN32
    return fs::path(win32::to_wide(ansi_path));
#else
    return fs::path(ansi_path);
#endif
}

bool file_exists(const std::string& ansi_path)
{
    std::error_code ignored;
    return !ansi_path.empty() && fs::is_regular_file(fs_path(ansi_path), ignored);
}

#ifdef _WIN32

namespace {

// The support folder and what the resource archive put into it may nest
// beyond 260 characters: the engine reaches everything it made itself
// through the long-path form.
std::wstring long_wide(const std::string& path)
{
    return win32::to_wide(long_path_form(path));
}

DWORD attributes_of(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
}

void make_writable(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

} // namespace

Result<std::string> CreateSupportFolder(const std::string& temp_folder)
{
    std::error_code ignored;
    fs::create_directories(fs_path(temp_folder), ignored);
    for (unsigned n = 1; n < 100000; ++n) {
        std::string folder = temp_folder + "qvo" + std::to_string(n) + "\\";
        // Creating is the test: of two setups starting at once, only one gets a number.
        if (CreateDirectoryW(long_wide(folder).c_str(), nullptr))
            return folder;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS)
            return make_error(ErrorCode::win32, "Unable to create the support folder " + folder, error);
    }
    return make_error(ErrorCode::io, "No free support folder name in " + temp_folder);
}

bool RemoveSupportFolder(const std::string& folder)
{
    std::wstring path = long_wide(without_backslash(folder));
    if (attributes_of(path) == INVALID_FILE_ATTRIBUTES)
        return true;
    media::ClearFolderThrice(folder);
    make_writable(path);
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

void CopyDatabaseFiles(const std::string& engine_folder, const std::string& base_name,
                       const std::string& support_folder)
{
    for (const char* extension : {".msi", ".msp"}) {
        std::wstring source = long_wide(engine_folder + base_name + extension);
        std::wstring target = long_wide(support_folder + base_name + extension);
        if (attributes_of(source) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (attributes_of(target) != INVALID_FILE_ATTRIBUTES)
            make_writable(target);
        if (CopyFileW(source.c_str(), target.c_str(), FALSE))
            make_writable(target);
    }
}

#else

namespace {

// Clears the read-only bit so that the file can be replaced or deleted.
void make_writable(const fs::path& path)
{
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
}

void empty_folder(const fs::path& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& entry = it->path();
        std::error_code ignored;
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            empty_folder(entry);
            fs::remove(entry, ignored);
        } else {
            make_writable(entry);
            fs::remove(entry, ignored);
        }
    }
}

} // namespace

Result<std::string> CreateSupportFolder(const std::string& temp_folder)
{
    for (unsigned n = 1; n < 100000; ++n) {
        std::string folder = temp_folder + "qvo" + std::to_string(n) + "\\";
        std::error_code error;
        if (fs::exists(fs_path(folder), error))
            continue;
        fs::create_directories(fs_path(temp_folder), error);
        // Creating is the test: of two setups starting at once, only one gets a number.
        bool created = fs::create_directory(fs_path(folder), error);
        if (error)
            return make_error(ErrorCode::io, "Unable to create the support folder " + folder + ": " + error.message(),
                              static_cast<std::uint32_t>(error.value()));
        if (created)
            return folder;
    }
    return make_error(ErrorCode::io, "No free support folder name in " + temp_folder);
}

bool RemoveSupportFolder(const std::string& folder)
{
    fs::path path = fs_path(folder);
    std::error_code error;
    if (!fs::exists(path, error))
        return true;
    for (int pass = 0; pass < 3; ++pass)
        empty_folder(path);
    return fs::remove(path, error) && !error;
}

void CopyDatabaseFiles(const std::string& engine_folder, const std::string& base_name,
                       const std::string& support_folder)
{
    for (const char* extension : {".msi", ".msp"}) {
        fs::path source = fs_path(engine_folder + base_name + extension);
        fs::path target = fs_path(support_folder + base_name + extension);
        std::error_code error;
        if (!fs::exists(source, error))
            continue;
        if (fs::exists(target, error))
            make_writable(target);
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        if (!error)
            make_writable(target);
    }
}

#endif

} // namespace quillon
