#include "engine/embedded_programs.h"

#include "base/scope_exit.h"
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

// Writes under a temporary name in the same folder and renames it: a program
// cut short by a full disk or a crash never stands under its final name.
Result<void> write_whole_file(const std::string& path, std::span<const std::byte> bytes)
{
    std::wstring wide_path = win32::to_wide(path);
    std::wstring folder = wide_path.substr(0, wide_path.find_last_of(L"\\/") + 1);
    if (folder.empty())
        folder = L".";
    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), L"qvo", 0, temporary) == 0)
        return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
    ScopeExit remove_temporary([&] { DeleteFileW(temporary); });

    {
        win32::UniqueFile file(
            CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
        std::size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
                return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
            done += written;
        }
    }
    // An earlier copy may carry the read-only attribute of a copied support folder.
    SetFileAttributesW(wide_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(temporary, wide_path.c_str(), MOVEFILE_REPLACE_EXISTING))
        return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
    remove_temporary.dismiss();
    return {};
}

Result<std::string> write_resource(const std::string& folder, const wchar_t* resource, const char* name, HMODULE module)
{
    std::string path = in_folder(folder, name);
    std::span<const std::byte> bytes = TRY(resource_bytes(module, resource, path));
    TRY(write_whole_file(path, bytes));
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
    TRY(write_whole_file(config, config_bytes));
    TRY(write_whole_file(program, program_bytes));
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
