#include "interp/program_start.h"

#include <utility>

namespace quillon {

namespace {

// Each wait for a process is this long at most, with the thread's messages handled between.
constexpr std::uint32_t process_wait_slice_ms = 1000;

constexpr std::string_view debug_privilege = "SeDebugPrivilege";

// Hands a handle back to the system when it goes out of scope.
class HandleGuard {
public:
    HandleGuard(ProcessSystem& system, SystemHandle handle) : m_system(system), m_handle(handle) {}
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    ~HandleGuard()
    {
        if (m_handle != 0)
            m_system.close(m_handle);
    }
    SystemHandle get() const { return m_handle; }

private:
    ProcessSystem& m_system;
    SystemHandle m_handle;
};

std::int32_t result_of_process(ProcessSystem& system, const StartedProcess& started, bool wait,
                               const KeepWaiting& keep_waiting)
{
    HandleGuard thread(system, started.thread);
    HandleGuard process(system, started.process);
    return result_of_started(system, process.get(), wait, keep_waiting);
}

} // namespace

std::int32_t show_command_of(std::int32_t window_mode)
{
    switch (window_mode) {
    case 0: return show_normal;
    case 1: return show_hide;
    case 2: return show_maximized;
    case 3: return show_minimized;
    case 4: return show_min_no_active;
    default: return show_normal;
    }
}

std::string command_line_of(std::string_view program, std::string_view arguments)
{
    std::string line;
    line.reserve(program.size() + arguments.size() + 3);
    line += '"';
    line += program;
    line += "\" ";
    line += arguments;
    return line;
}

std::optional<std::string> environment_block(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::string block;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find("\r\n", start);
        std::string_view entry = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!entry.empty()) {
            block += entry;
            block += '\0';
        }
        if (end == std::string_view::npos)
            break;
        start = end + 2;
    }
    // An empty environment still needs its two NULs.
    if (block.empty())
        block += '\0';
    block += '\0';
    return block;
}

const std::array<std::string_view, 18> privileges_removed_for_unelevated = {
    "SeCreateGlobalPrivilege",
    "SeBackupPrivilege",
    "SeCreatePagefilePrivilege",
    "SeCreateSymbolicLinkPrivilege",
    "SeDebugPrivilege",
    "SeImpersonatePrivilege",
    "SeIncreaseBasePriorityPrivilege",
    "SeIncreaseQuotaPrivilege",
    "SeLoadDriverPrivilege",
    "SeManageVolumePrivilege",
    "SeProfileSingleProcessPrivilege",
    "SeRemoteShutdownPrivilege",
    "SeRestorePrivilege",
    "SeSecurityPrivilege",
    "SeSystemEnvironmentPrivilege",
    "SeSystemProfilePrivilege",
    "SeSystemtimePrivilege",
    "SeTakeOwnershipPrivilege",
};

std::int32_t result_of_started(ProcessSystem& system, SystemHandle process, bool wait, const KeepWaiting& keep_waiting)
{
    // The document went to a program that was running already: nothing of ours
    // runs, and nothing failed.
    if (process == 0)
        return 0;
    if (wait) {
        while (!system.wait_for_exit(process, process_wait_slice_ms)) {
            // Given up: the program keeps running, only the wait for it ends.
            if (keep_waiting && !keep_waiting())
                return run_code::cancelled;
        }
    }
    std::optional<std::uint32_t> code = system.exit_code(process);
    if (!code)
        return run_code::cannot_start;
    return static_cast<std::int32_t>(*code);
}

std::int32_t ShellStart(ProcessSystem& system, const ShellStartRequest& request, const KeepWaiting& keep_waiting)
{
    std::int32_t show = request.show ? show_normal : show_hide;
    std::optional<SystemHandle> process =
        system.shell_execute("open", request.program, request.arguments, request.folder, show);
    if (!process)
        process = system.shell_execute("", request.program, request.arguments, request.folder, show);
    if (!process)
        return run_code::cannot_start;
    HandleGuard guard(system, *process);
    return result_of_started(system, guard.get(), request.wait, keep_waiting);
}

std::int32_t StartProcess(ProcessSystem& system, const ProcessStartRequest& request, const KeepWaiting& keep_waiting)
{
    std::optional<std::string> environment = environment_block(request.environment);
    std::int32_t show = show_command_of(request.window_mode);
    std::optional<StartedProcess> started;
    if (!request.user.empty()) {
        std::optional<std::optional<StartedProcess>> logon = system.create_process_with_logon(
            request.user, request.domain, request.password, request.command_line, environment, show);
        if (!logon)
            return run_code::cannot_start;
        started = *logon;
    } else {
        started = system.create_process(request.command_line, environment, show);
    }
    if (!started)
        return run_code::create_failed;
    return result_of_process(system, *started, request.wait, keep_waiting);
}

std::int32_t StartUnelevated(ProcessSystem& system, const ProcessStartRequest& request, const KeepWaiting& keep_waiting)
{
    ProcessStartRequest as_self = request;
    as_self.user.clear();
    as_self.password.clear();
    as_self.domain.clear();
    if (!system.vista_or_later())
        return StartProcess(system, as_self, keep_waiting);
    std::optional<std::uint32_t> shell = system.shell_process_id();
    if (!shell)
        return StartProcess(system, as_self, keep_waiting);
    std::optional<std::uint32_t> own_level = system.integrity_level(std::nullopt);
    std::optional<std::uint32_t> shell_level = system.integrity_level(*shell);
    // Only an elevated engine under an unelevated shell has anything to drop;
    // otherwise the program runs as the engine does.
    if (own_level != integrity_high || shell_level != integrity_medium || !system.enable_own_privilege(debug_privilege))
        return StartProcess(system, as_self, keep_waiting);

    std::optional<SystemHandle> process = system.open_process(*shell);
    if (!process)
        return run_code::shell_not_opened;
    HandleGuard shell_process(system, *process);
    std::optional<SystemHandle> token = system.open_token(shell_process.get());
    if (!token)
        return run_code::token_not_opened;
    HandleGuard shell_token(system, *token);
    std::optional<SystemHandle> primary = system.duplicate_primary_token(shell_token.get());
    if (!primary)
        return run_code::token_not_duplicated;
    HandleGuard new_token(system, *primary);
    for (std::string_view privilege : privileges_removed_for_unelevated)
        system.remove_privilege(new_token.get(), privilege);

    std::optional<std::optional<StartedProcess>> started =
        system.create_process_with_token(new_token.get(), request.command_line, environment_block(request.environment),
                                         show_command_of(request.window_mode));
    if (!started)
        return run_code::no_token_start;
    if (!*started)
        return run_code::create_failed;
    return result_of_process(system, **started, request.wait, keep_waiting);
}

} // namespace quillon
