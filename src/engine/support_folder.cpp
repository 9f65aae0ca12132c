#include "engine/support_folder.h"

#ifdef _WIN32
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

namespace {

// Clears read-only, hidden and system attributes so that the file can be replaced or deleted.
void make_writable(const fs::path& path)
{
#ifdef _WIN32
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
#endif
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
#ifdef _WIN32
        if (CopyFileW(source.c_str(), target.c_str(), FALSE))
            make_writable(target);
#else
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
        if (!error)
            make_writable(target);
#endif
    }
}

} // namespace quillon
