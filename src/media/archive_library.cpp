#include "media/archive_library.h"
#include "base/paths.h"

#include "media/qvo_lib/qvo_abi.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <cstring>
#include <mutex>

namespace quillon {

namespace {

// The library's callbacks carry no context: the password armed before a call
// and the progress of the call in progress live here.
std::mutex g_password_mutex; // guards g_armed_password and g_password_armed; no call-outs while held
std::string g_armed_password;
bool g_password_armed = false;
thread_local const ArchiveLibrary::Progress* t_progress = nullptr;

void arm_password(const std::string& password)
{
    std::lock_guard lock(g_password_mutex);
    g_armed_password = password;
    g_password_armed = true;
}

int WINAPI password_callback(char* buffer, int buffer_size)
{
    std::lock_guard lock(g_password_mutex);
    bool give = g_password_armed && !g_armed_password.empty() && buffer != nullptr && buffer_size > 0;
    g_password_armed = false;
    if (!give)
        return 0;
    std::size_t length = std::min<std::size_t>(g_armed_password.size(), static_cast<std::size_t>(buffer_size - 1));
    std::memcpy(buffer, g_armed_password.data(), length);
    buffer[length] = '\0';
    return 1;
}

int WINAPI progress_callback(const char* member, std::int64_t position, std::int64_t total)
{
    if (t_progress == nullptr || !*t_progress)
        return 1;
    try {
        return (*t_progress)(member != nullptr ? member : "", position, total) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int WINAPI confirmation_callback(int, int)
{
    return 1;
}

int WINAPI overwrite_yes(int, int, int, int, int, int, int, int, int, int)
{
    return qvo::overwrite_replace;
}

int WINAPI overwrite_no(int, int, int, int, int, int, int, int, int, int)
{
    return qvo::overwrite_keep;
}

std::string list_failure_text(int code)
{
    switch (code) {
    case qvo::error_archive_not_found: return "The archive file was not found";
    case qvo::error_illegal_path: return "Illegal path used in a wildcard expression";
    case qvo::error_cannot_open: return std::string(archive_cannot_open_text);
    default: return "General failure opening archive";
    }
}

} // namespace

struct ArchiveLibrary::Functions {
    win32::UniqueHmodule module;
    qvo::OpenListArchiveFunction open_list = nullptr;
    qvo::CloseListArchiveFunction close_list = nullptr;
    qvo::ExtractArchiveFunction extract = nullptr;
    qvo::GetLastArchiveErrorFunction last_error = nullptr;
};

ArchiveLibrary::ArchiveLibrary(std::unique_ptr<Functions> functions) noexcept : m_functions(std::move(functions)) {}
ArchiveLibrary::ArchiveLibrary(ArchiveLibrary&&) noexcept = default;
ArchiveLibrary& ArchiveLibrary::operator=(ArchiveLibrary&&) noexcept = default;
ArchiveLibrary::~ArchiveLibrary() = default;

Result<ArchiveLibrary> ArchiveLibrary::load(const std::string& library_path)
{
    auto functions = std::make_unique<Functions>();
    Result<win32::UniqueHmodule> module = win32::load_library_by_full_path(win32::to_wide(library_path));
    if (!module)
        return make_error(module.error().code, "Unable to load the archive library " + library_path,
                          module.error().system_code);
    functions->module = std::move(*module);
    HMODULE loaded = functions->module.get();
    functions->open_list = win32::proc<qvo::OpenListArchiveFunction>(loaded, "OpenListArchive");
    functions->close_list = win32::proc<qvo::CloseListArchiveFunction>(loaded, "CloseListArchive");
    functions->extract = win32::proc<qvo::ExtractArchiveFunction>(loaded, "ExtractArchive");
    functions->last_error = win32::proc<qvo::GetLastArchiveErrorFunction>(loaded, "GetLastArchiveError");
    if (!functions->open_list || !functions->close_list || !functions->extract || !functions->last_error)
        return make_error(ErrorCode::unsupported, "The archive library " + library_path + " lacks its functions");
    return ArchiveLibrary(std::move(functions));
}

Result<std::vector<std::string>> ArchiveLibrary::ListArchiveNames(const std::string& archive,
                                                                  const std::string& password)
{
    arm_password(password);
    qvo::ArchiveEntry* entries = nullptr;
    int count = 0;
    INT_PTR handle =
        m_functions->open_list(archive.c_str(), 0, password_callback, 0, 0, 0, password.c_str(), &entries, &count);
    if (handle == 0) {
        int code = m_functions->last_error(0);
        return make_error(ErrorCode::io, list_failure_text(code), static_cast<std::uint32_t>(code));
    }
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.emplace_back(entries[i].path != nullptr ? entries[i].path : "");
    m_functions->close_list(handle);
    return names;
}

Result<void> ArchiveLibrary::ExtractWholeArchive(const std::string& archive, const std::string& password,
                                                 const std::string& target_folder, const Progress& progress,
                                                 bool overwrite, bool keep_paths)
{
    std::vector<std::string> names = TRY(ListArchiveNames(archive, password));
    std::vector<const char*> selection;
    for (const std::string& name : names)
        selection.push_back(name.c_str());
    qvo::TSZW_TARGETFILES files{selection.data(), static_cast<std::int32_t>(selection.size())};

    arm_password(password);
    const Progress* outer = t_progress;
    t_progress = &progress;
    int mode = keep_paths ? qvo::mode_full_paths : qvo::mode_flat;
    int extracted = m_functions->extract(archive.c_str(), 1, target_folder.c_str(), &files, mode, password.c_str(),
                                         password_callback, progress_callback, confirmation_callback,
                                         overwrite ? overwrite_yes : overwrite_no);
    t_progress = outer;
    if (extracted == 0) {
        int code = m_functions->last_error(0);
        return make_error(ErrorCode::io, "#" + std::to_string(code), static_cast<std::uint32_t>(code));
    }
    return {};
}

Result<void> ExtractResources(ArchiveLibrary& library, const std::string& archive, const std::string& support_folder)
{
    // The support folder is ours and may nest beyond 260 characters: its long-path form.
    return library.ExtractWholeArchive(
        archive, "", long_path_form(support_folder),
        [](const std::string&, std::int64_t, std::int64_t) { return true; }, true, true);
}

} // namespace quillon
