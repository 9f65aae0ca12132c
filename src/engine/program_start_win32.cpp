#include "engine/program_start_win32.h"

#include "platform/win32/com.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/os_services.h"
#include "platform/win32/module_image.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_version.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace quillon {

namespace {

using CreateProcessWithLogonFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                                     LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
using CreateProcessWithTokenFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                                     LPSTARTUPINFOW, LPPROCESS_INFORMATION);

HANDLE handle_of(SystemHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

SystemHandle system_handle(HANDLE handle)
{
    return reinterpret_cast<SystemHandle>(handle);
}

// What every CreateProcess form shares: the show command, the command line
// the call may write into, and the environment in UTF-16.
struct ProcessArguments {
    ProcessArguments(const std::string& command_line, const std::optional<std::string>& environment, std::int32_t show)
        : line(win32::to_wide(command_line))
    {
        line.push_back(L'\0');
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = static_cast<WORD>(show);
        if (environment)
            block = win32::to_wide(*environment);
    }
    LPVOID environment() { return block ? static_cast<LPVOID>(block->data()) : nullptr; }
    DWORD flags() const { return CREATE_NEW_CONSOLE | (block ? CREATE_UNICODE_ENVIRONMENT : 0); }
    std::optional<StartedProcess> started(BOOL created) const
    {
        if (!created)
            return std::nullopt;
        return StartedProcess{system_handle(info.hProcess), system_handle(info.hThread)};
    }

    std::wstring line;
    std::optional<std::wstring> block;
    STARTUPINFOW startup{};
    PROCESS_INFORMATION info{};
};

HMODULE advapi32()
{
    return win32::kept_system_library(L"advapi32.dll");
}

bool set_privilege(HANDLE token, std::string_view name, DWORD attributes)
{
    LUID luid;
    if (!LookupPrivilegeValueW(nullptr, win32::to_wide(name).c_str(), &luid))
        return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = attributes;
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr))
        return false;
    // Success with ERROR_NOT_ALL_ASSIGNED: the token does not hold the privilege.
    return GetLastError() == ERROR_SUCCESS;
}

class WindowsProcessSystem : public ProcessSystem {
public:
    std::optional<SystemHandle> shell_execute(std::string_view verb, const std::string& file,
                                              const std::string& parameters, const std::string& folder,
                                              std::int32_t show) override
    {
        std::wstring wide_verb = win32::to_wide(verb);
        std::wstring wide_file = win32::to_wide(file);
        std::wstring wide_parameters = win32::to_wide(parameters);
        std::wstring wide_folder = win32::to_wide(folder);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        // NOASYNC as well: the worker thread may end soon after the call, and a
        // start the shell hands to a thread of its own must be done by then.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        info.lpVerb = wide_verb.empty() ? nullptr : wide_verb.c_str();
        info.lpFile = wide_file.c_str();
        info.lpParameters = wide_parameters.empty() ? nullptr : wide_parameters.c_str();
        info.lpDirectory = wide_folder.empty() ? nullptr : wide_folder.c_str();
        info.nShow = show;
        if (!ShellExecuteExW(&info))
            return std::nullopt;
        return system_handle(info.hProcess);
    }

    bool wait_for_exit(SystemHandle process, std::uint32_t milliseconds) override
    {
        win32::pump_pending_messages();
        HANDLE handle = handle_of(process);
        return MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds, QS_ALLINPUT) == WAIT_OBJECT_0;
    }

    std::optional<std::uint32_t> exit_code(SystemHandle process) override
    {
        DWORD code = 0;
        if (!GetExitCodeProcess(handle_of(process), &code))
            return std::nullopt;
        return code;
    }

    void close(SystemHandle handle) override { CloseHandle(handle_of(handle)); }

    std::optional<StartedProcess> create_process(const std::string& command_line,
                                                 const std::optional<std::string>& environment,
                                                 std::int32_t show) override
    {
        ProcessArguments call(command_line, environment, show);
        return call.started(CreateProcessW(nullptr, call.line.data(), nullptr, nullptr, FALSE, call.flags(),
                                           call.environment(), nullptr, &call.startup, &call.info));
    }

    std::optional<std::optional<StartedProcess>>
    create_process_with_logon(const std::string& user, const std::string& domain, const std::string& password,
                              const std::string& command_line, const std::optional<std::string>& environment,
                              std::int32_t show) override
    {
        auto create = win32::proc<CreateProcessWithLogonFunction>(advapi32(), "CreateProcessWithLogonW");
        if (create == nullptr)
            return std::nullopt;
        ProcessArguments call(command_line, environment, show);
        std::wstring wide_user = win32::to_wide(user);
        std::wstring wide_domain = win32::to_wide(domain);
        std::wstring wide_password = win32::to_wide(password);
        BOOL created = create(wide_user.c_str(), wide_domain.empty() ? nullptr : wide_domain.c_str(),
                              wide_password.c_str(), LOGON_WITH_PROFILE, nullptr, call.line.data(), call.flags(),
                              call.environment(), nullptr, &call.startup, &call.info);
        SecureZeroMemory(wide_password.data(), wide_password.size() * sizeof(wchar_t));
        return call.started(created);
    }

    std::optional<std::optional<StartedProcess>>
    create_process_with_token(SystemHandle token, const std::string& command_line,
                              const std::optional<std::string>& environment, std::int32_t show) override
    {
        auto create = win32::proc<CreateProcessWithTokenFunction>(advapi32(), "CreateProcessWithTokenW");
        if (create == nullptr)
            return std::nullopt;
        ProcessArguments call(command_line, environment, show);
        return call.started(create(handle_of(token), 0, nullptr, call.line.data(), call.flags(), call.environment(),
                                   nullptr, &call.startup, &call.info));
    }

    bool vista_or_later() override { return win32::windows_version_at_least(6, 0); }

    std::optional<std::uint32_t> shell_process_id() override
    {
        HWND desktop = FindWindowW(L"Progman", nullptr);
        if (desktop == nullptr)
            return std::nullopt;
        DWORD process_id = 0;
        GetWindowThreadProcessId(desktop, &process_id);
        if (process_id == 0)
            return std::nullopt;
        return process_id;
    }

    std::optional<std::uint32_t> integrity_level(std::optional<std::uint32_t> process_id) override
    {
        win32::UniqueHandle opened;
        HANDLE process = GetCurrentProcess();
        if (process_id) {
            opened.reset(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, *process_id));
            if (!opened)
                return std::nullopt;
            process = opened.get();
        }
        HANDLE raw_token = nullptr;
        if (!OpenProcessToken(process, TOKEN_QUERY, &raw_token))
            return std::nullopt;
        win32::UniqueHandle token(raw_token);
        DWORD size = 0;
        GetTokenInformation(token.get(), TokenIntegrityLevel, nullptr, 0, &size);
        if (size < sizeof(TOKEN_MANDATORY_LABEL))
            return std::nullopt;
        std::vector<std::byte> buffer(size);
        if (!GetTokenInformation(token.get(), TokenIntegrityLevel, buffer.data(), size, &size))
            return std::nullopt;
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
        if (sid == nullptr || !IsValidSid(sid) || *GetSidSubAuthorityCount(sid) == 0)
            return std::nullopt;
        return *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
    }

    bool enable_own_privilege(std::string_view name) override
    {
        HANDLE raw_token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw_token))
            return false;
        win32::UniqueHandle token(raw_token);
        return set_privilege(token.get(), name, SE_PRIVILEGE_ENABLED);
    }

    std::optional<SystemHandle> open_process(std::uint32_t process_id) override
    {
        HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process_id);
        if (process == nullptr)
            return std::nullopt;
        return system_handle(process);
    }

    std::optional<SystemHandle> open_token(SystemHandle process) override
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(handle_of(process),
                              TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_QUERY_SOURCE | READ_CONTROL,
                              &token))
            return std::nullopt;
        return system_handle(token);
    }

    std::optional<SystemHandle> duplicate_primary_token(SystemHandle token) override
    {
        HANDLE primary = nullptr;
        if (!DuplicateTokenEx(handle_of(token), MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary,
                              &primary))
            return std::nullopt;
        return system_handle(primary);
    }

    void remove_privilege(SystemHandle token, std::string_view name) override
    {
        set_privilege(handle_of(token), name, SE_PRIVILEGE_REMOVED);
    }
};

} // namespace

std::shared_ptr<ProcessSystem> WindowsProgramStarter::process_system()
{
    return std::make_shared<WindowsProcessSystem>();
}

std::string WindowsProgramStarter::current_folder()
{
    return win32::current_folder();
}

bool WindowsProgramStarter::set_current_folder(const std::string& folder)
{
    return win32::set_current_folder(folder);
}

std::function<void(const std::function<void()>&)> WindowsProgramStarter::thread_frame()
{
    return [](const std::function<void()>& start) {
        // The shell's extensions and its DDE need an apartment on the calling thread.
        win32::ComApartment apartment;
        start();
    };
}

bool WindowsProgramStarter::write_light_mode_setup(const std::string& script_file, const std::string& target)
{
    Result<std::uint64_t> stub_size = win32::module_stub_size(GetModuleHandleW(nullptr));
    if (!stub_size)
        return false;
    wchar_t engine[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, engine, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    std::ifstream stub(std::filesystem::path(engine), std::ios::binary);
    std::ifstream script(std::filesystem::path(win32::to_wide(script_file)), std::ios::binary);
    if (!stub || !script)
        return false;
    // CREATE_NEW: a file of that name that is there already is not ours to replace.
    win32::UniqueFile out(CreateFileW(win32::to_wide(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return false;
    std::vector<char> chunk(1 << 16);
    auto copy = [&](std::ifstream& in, std::uint64_t limit) {
        while (limit > 0) {
            auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(limit, chunk.size()));
            in.read(chunk.data(), want);
            std::streamsize got = in.gcount();
            if (got <= 0)
                return limit == UINT64_MAX;
            DWORD written = 0;
            if (!WriteFile(out.get(), chunk.data(), static_cast<DWORD>(got), &written, nullptr) ||
                written != static_cast<DWORD>(got))
                return false;
            if (limit != UINT64_MAX)
                limit -= static_cast<std::uint64_t>(got);
        }
        return true;
    };
    if (copy(stub, *stub_size) && copy(script, UINT64_MAX))
        return true;
    out.reset();
    DeleteFileW(win32::to_wide(target).c_str());
    return false;
}

std::string WindowsProgramStarter::engine_folder()
{
    wchar_t engine[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(nullptr, engine, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::string path = win32::to_ansi(std::wstring_view(engine, length));
    return path.substr(0, path.find_last_of('\\') + 1);
}

bool WindowsProgramStarter::file_exists(const std::string& path)
{
    return GetFileAttributesW(win32::to_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsProgramStarter::move_file(const std::string& from, const std::string& to)
{
    return MoveFileExW(win32::to_wide(from).c_str(), win32::to_wide(to).c_str(), 0) != FALSE;
}

bool WindowsProgramStarter::copy_file(const std::string& from, const std::string& to)
{
    return CopyFileW(win32::to_wide(from).c_str(), win32::to_wide(to).c_str(), TRUE) != FALSE;
}

bool WindowsProgramStarter::delete_file(const std::string& path)
{
    return DeleteFileW(win32::to_wide(path).c_str()) != FALSE;
}

} // namespace quillon
