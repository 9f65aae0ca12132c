#include "platform/win32/system_library.h"

#include "platform/library_rules.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <string>

namespace quillon::win32 {

namespace {

HMODULE kernel32() noexcept
{
    // Mapped before any code of the process runs; a lookup, never a load.
    return GetModuleHandleW(L"kernel32.dll");
}

std::wstring system_folder()
{
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring folder(buffer, length);
    if (folder.back() != L'\\')
        folder.push_back(L'\\');
    return folder;
}

// LoadLibraryEx documents backslashes only; a "\\?\" path is taken literally and left alone.
std::wstring with_backslashes(std::wstring_view path)
{
    std::wstring result(path);
    if (!result.starts_with(L"\\\\?\\"))
        std::replace(result.begin(), result.end(), L'/', L'\\');
    return result;
}

std::unexpected<Error> load_failure(std::wstring_view what, DWORD code)
{
    return make_error(ErrorCode::win32, "Cannot load the library " + to_ansi(what), code);
}

} // namespace

LibrarySearch restrict_library_search() noexcept
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    auto set_default = proc<SetDefaultDllDirectoriesFunction>(kernel32(), "SetDefaultDllDirectories");
    if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return LibrarySearch::system_folder_only;
    // Without the call the program's own folder stays first in the search; the
    // libraries the engine loads itself are then named by their full system path.
    if (SetDllDirectoryW(L""))
        return LibrarySearch::without_current_folder;
    return LibrarySearch::unchanged;
}

bool library_search_flags_supported() noexcept
{
    // The documented test for the LOAD_LIBRARY_SEARCH_* flags: AddDllDirectory came with them.
    static const bool supported = proc<FARPROC>(kernel32(), "AddDllDirectory") != nullptr;
    return supported;
}

Result<UniqueHmodule> load_system_library(std::wstring_view file_name)
{
    if (file_name.empty() || file_name.find_first_of(L"\\/:") != std::wstring_view::npos)
        return make_error(ErrorCode::internal, "Not the name of a system library: " + to_ansi(file_name));
    UniqueHmodule module;
    if (library_search_flags_supported()) {
        // By bare name, so that an activation context can still redirect it
        // (common controls version 6 under a manifest); the search itself is the
        // system folder only, for the library and for what it imports.
        module.reset(LoadLibraryExW(std::wstring(file_name).c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    } else {
        std::wstring folder = system_folder();
        if (folder.empty())
            return load_failure(file_name, GetLastError());
        // The altered search starts in the library's own folder, the system folder.
        module.reset(
            LoadLibraryExW((folder + std::wstring(file_name)).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    if (!module)
        return load_failure(file_name, GetLastError());
    return module;
}

HMODULE kept_system_library(const wchar_t* file_name) noexcept
{
    try {
        Result<UniqueHmodule> module = load_system_library(file_name);
        return module ? module->release() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

Result<UniqueHmodule> load_library_by_full_path(std::wstring_view path)
{
    if (!is_full_path(path))
        return make_error(ErrorCode::unsupported, "A library is loaded by its full path only, not by " + to_ansi(path));
    std::wstring file = with_backslashes(path);
    DWORD flags = library_search_flags_supported() ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32
                                                   : LOAD_WITH_ALTERED_SEARCH_PATH;
    UniqueHmodule module(LoadLibraryExW(file.c_str(), nullptr, flags));
    if (!module)
        return load_failure(path, GetLastError());
    return module;
}

} // namespace quillon::win32
