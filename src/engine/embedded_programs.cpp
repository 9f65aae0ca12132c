#include "engine/embedded_programs.h"

#include "base/scope_exit.h"
#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <algorithm>
#include <span>

namespace quillon {

namespace {

Result<std::span<const std::byte>> resource_bytes(HMODULE module, const wchar_t* name, const std::string& file)
{
    std::string what = "The engine carries no resource for " + file;
    HRSRC found = FindResourceW(module, name, RT_RCDATA);
    if (!found)
        return make_error(ErrorCode::not_found, what, GetLastError());
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, found);
    if (!data)
        return make_error(ErrorCode::win32, "Unable to load the engine's resource for " + file, GetLastError());
    return std::span<const std::byte>(static_cast<const std::byte*>(data), size);
}

std::string in_folder(const std::string& folder, const char* name)
{
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
        return folder + name;
    return folder + "\\" + name;
}

Result<std::string> write_resource(const std::string& folder, const wchar_t* resource, const char* name, HMODULE module)
{
    std::string path = in_folder(folder, name);
    std::span<const std::byte> bytes = TRY(resource_bytes(module, resource, path));
    TRY(win32::write_whole_file(path, bytes));
    return path;
}

Result<std::string> write_gac_utility(const std::string& support_folder, const wchar_t* program_resource,
                                      const wchar_t* config_resource, const char* program_name, const char* config_name,
                                      HMODULE module)
{
    // Both resources are checked before anything is written.
    std::string program = in_folder(support_folder, program_name);
    std::string config = in_folder(support_folder, config_name);
    std::span<const std::byte> program_bytes = TRY(resource_bytes(module, program_resource, program));
    std::span<const std::byte> config_bytes = TRY(resource_bytes(module, config_resource, config));
    TRY(win32::write_whole_file(config, config_bytes));
    TRY(win32::write_whole_file(program, program_bytes));
    return program;
}

} // namespace

Result<std::string> WriteGacUtility2(const std::string& support_folder, HMODULE module)
{
    return write_gac_utility(support_folder, L"MGAC", L"MGACEX", "mgac.exe", "mgac.exe.config", module);
}

Result<std::string> WriteGacUtility4(const std::string& support_folder, HMODULE module)
{
    return write_gac_utility(support_folder, L"MGACY", L"MGACEY", "mgacy.exe", "mgacy.exe.config", module);
}

Result<std::string> WriteIisWrapper(const std::string& folder, HMODULE module)
{
    return write_resource(folder, L"DLL", "ahadmin_wrapper.dll", module);
}

bool IisWrapperFile::remove_if_marked() noexcept
{
    if (!m_remove || m_path.empty())
        return true;
    try {
        std::wstring path = win32::to_wide(m_path);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
            GetLastError() != ERROR_PATH_NOT_FOUND)
            return false;
    } catch (...) {
        return false;
    }
    m_remove = false;
    m_path.clear();
    return true;
}

} // namespace quillon
