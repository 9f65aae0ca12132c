#include "platform/win32/os_services.h"

#include "base/scope_exit.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <vector>

namespace quillon::win32 {

namespace {

// Run-time lookups: these functions are missing on older systems.
template <typename Function>
Function kernel32_function(const char* name)
{
    return proc<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

constexpr const wchar_t* run_once_key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

} // namespace

bool running_under_wow64()
{
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto is_wow64 = kernel32_function<IsWow64ProcessFunction>("IsWow64Process");
    BOOL wow64 = FALSE;
    return is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

bool FileSystemRedirection::disable()
{
    if (m_cookie != nullptr || !running_under_wow64())
        return false;
    using DisableFunction = BOOL(WINAPI*)(PVOID*);
    auto disable_redirection = kernel32_function<DisableFunction>("Wow64DisableWow64FsRedirection");
    return disable_redirection != nullptr && disable_redirection(&m_cookie);
}

void FileSystemRedirection::revert()
{
    if (m_cookie == nullptr)
        return;
    using RevertFunction = BOOL(WINAPI*)(PVOID);
    auto revert_redirection = kernel32_function<RevertFunction>("Wow64RevertWow64FsRedirection");
    if (revert_redirection != nullptr)
        revert_redirection(m_cookie);
    m_cookie = nullptr;
}

void restart_windows()
{
    HANDLE raw_token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw_token)) {
        UniqueHandle token(raw_token);
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
            AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
    ExitWindowsEx(EWX_REBOOT, 0);
}

void write_run_once_entry(bool all_users, const std::string& name, const std::string& command)
{
    UniqueHkey key;
    if (RegCreateKeyExW(all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, run_once_key, 0, nullptr, 0, KEY_WRITE,
                        nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return;
    std::wstring data = to_wide(command);
    RegSetValueExW(key.get(), to_wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

void delete_run_once_entry(bool all_users, const std::string& name)
{
    UniqueHkey key;
    if (RegOpenKeyExW(all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, run_once_key, 0, KEY_SET_VALUE, key.put()) ==
        ERROR_SUCCESS)
        RegDeleteValueW(key.get(), to_wide(name).c_str());
}

std::optional<std::string> short_path_name(const std::string& path)
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetShortPathNameW(to_wide(path).c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return to_ansi(std::wstring_view(buffer, length));
}

std::optional<std::string> found_file_name(const std::string& path)
{
    WIN32_FIND_DATAW data{};
    UniqueFind find(FindFirstFileW(to_wide(path).c_str(), &data));
    if (!find)
        return std::nullopt;
    return to_ansi(data.cFileName);
}

std::string current_folder()
{
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return {};
    std::wstring folder(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, folder.data());
    if (length == 0 || length >= size)
        return {};
    folder.resize(length);
    return to_ansi(folder);
}

bool set_current_folder(const std::string& folder)
{
    return !folder.empty() && SetCurrentDirectoryW(to_wide(folder).c_str()) != FALSE;
}

std::string create_temp_file(const std::string& folder, const std::string& prefix)
{
    wchar_t buffer[MAX_PATH];
    if (GetTempFileNameW(to_wide(folder).c_str(), to_wide(prefix).c_str(), 0, buffer) == 0)
        return {};
    return to_ansi(buffer);
}

namespace {

Result<void> write_file_through_temporary(const std::string& path, std::span<const std::byte> bytes,
                                          SECURITY_ATTRIBUTES* security)
{
    std::wstring wide_path = win32::to_wide(path);
    std::wstring folder = wide_path.substr(0, wide_path.find_last_of(L"\\/") + 1);
    if (folder.empty())
        folder = L".";
    wchar_t temporary[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), L"qvo", 0, temporary) == 0)
        return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
    ScopeExit remove_temporary([&] { DeleteFileW(temporary); });
    // GetTempFileName made the file with the folder's permissions; it is made
    // again below with the caller's.
    if (security != nullptr)
        DeleteFileW(temporary);

    {
        win32::UniqueFile file(
            CreateFileW(temporary, GENERIC_WRITE, 0, security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
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

// Full access for the system, the administrators and the user who writes the
// file; nothing inherited from the folder.
std::optional<std::wstring> private_descriptor()
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return std::nullopt;
    UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::vector<std::byte> buffer(size);
    if (size == 0 || !GetTokenInformation(raw, TokenUser, buffer.data(), size, &size))
        return std::nullopt;
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid))
        return std::nullopt;
    std::wstring text = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    return text;
}

} // namespace

Result<void> write_whole_file(const std::string& path, std::span<const std::byte> bytes)
{
    return write_file_through_temporary(path, bytes, nullptr);
}

Result<void> write_private_file(const std::string& path, std::span<const std::byte> bytes)
{
    std::optional<std::wstring> text = private_descriptor();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!text ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(text->c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return make_error(ErrorCode::win32, "Unable to write " + path, GetLastError());
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    Result<void> written = write_file_through_temporary(path, bytes, &security);
    LocalFree(descriptor);
    return written;
}

} // namespace quillon::win32
