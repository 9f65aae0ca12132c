// Starting programs for "Run Program" and "Run Program As": through the shell,
// as the current user, as another user, or with the token of the shell's
// process when an elevated setup must start a program unelevated. What is
// decided (the command line, the environment block, the show command, the
// result codes, the steps of the unelevated start) is here; the system calls
// are behind ProcessSystem, which the engine implements on Windows and tests
// replace with a fake.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

namespace run_code {
inline constexpr std::int32_t still_active = 259;       // STILL_ACTIVE: started without waiting, still running
inline constexpr std::int32_t cannot_start = -1;        // the shell could not start it; no CreateProcessWithLogonW
inline constexpr std::int32_t shell_not_opened = -7;    // the shell's process could not be opened
inline constexpr std::int32_t token_not_opened = -8;    // its token could not be opened
inline constexpr std::int32_t token_not_duplicated = -9;
inline constexpr std::int32_t create_failed = -11;      // process creation failed
inline constexpr std::int32_t no_token_start = 0;       // CreateProcessWithTokenW is missing
inline constexpr std::int32_t cancelled = -314;         // cancelled, and the worker delivered no code
} // namespace run_code

// The user name of "Run Program As" that asks for the unelevated start.
inline constexpr std::string_view unelevated_marker = "$KYRT_UAC$";

// Integrity levels: the last sub-authority of the TokenIntegrityLevel SID.
inline constexpr std::uint32_t integrity_medium = 0x2000;
inline constexpr std::uint32_t integrity_high = 0x3000;

// Show commands (SW_*) as the portable side names them.
inline constexpr std::int32_t show_hide = 0;
inline constexpr std::int32_t show_minimized = 2;
inline constexpr std::int32_t show_maximized = 3;
inline constexpr std::int32_t show_normal = 5;         // SW_SHOW
inline constexpr std::int32_t show_min_no_active = 7;

// The show command of a window mode of "Run Program As" (0 show, 1 hidden,
// 2 maximized, 3 minimized, 4 minimized without activation); any other mode shows.
std::int32_t show_command_of(std::int32_t window_mode);

// The command line: the program in double quotes, a space, the arguments (the
// space also when there are none).
std::string command_line_of(std::string_view program, std::string_view arguments);

// The environment block of a text of "name=value" lines separated by CR LF:
// the entries each followed by a NUL and the block by one more. Empty lines
// are left out (one would end the block early). Nothing for an empty text:
// the program inherits the engine's environment.
std::optional<std::string> environment_block(std::string_view text);

// The privileges taken out of the shell's token before a program runs with it.
extern const std::array<std::string_view, 18> privileges_removed_for_unelevated;

// A handle the ProcessSystem gave out; 0 is none. The system's own values, which
// only the ProcessSystem that gave them reads.
using SystemHandle = std::uintptr_t;

// A started process: its process and thread handles (thread 0 when there is none).
struct StartedProcess {
    SystemHandle process = 0;
    SystemHandle thread = 0;
};

// What the start operations need from the system. Every handle given out is
// handed back through close(); the callers here hold each in a guard.
class ProcessSystem {
public:
    virtual ~ProcessSystem() = default;

    // ShellExecuteEx with SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI; an
    // empty verb is the file's default action. Nothing when it fails; a
    // handle of 0 when it succeeded without a process (the document went to
    // a program that was running already).
    virtual std::optional<SystemHandle> shell_execute(std::string_view verb, const std::string& file,
                                                      const std::string& parameters, const std::string& folder,
                                                      std::int32_t show) = 0;
    // Handles the calling thread's pending messages, then waits for the
    // process at most that long; whether it has ended.
    virtual bool wait_for_exit(SystemHandle process, std::uint32_t milliseconds) = 0;
    // GetExitCodeProcess; nothing when it fails.
    virtual std::optional<std::uint32_t> exit_code(SystemHandle process) = 0;
    virtual void close(SystemHandle handle) = 0;

    // CreateProcess as the engine's user with CREATE_NEW_CONSOLE and
    // STARTF_USESHOWWINDOW: no application name, no handle inheritance, no
    // current folder (the engine's own). Nothing when it fails.
    virtual std::optional<StartedProcess> create_process(const std::string& command_line,
                                                         const std::optional<std::string>& environment,
                                                         std::int32_t show) = 0;
    // CreateProcessWithLogonW with LOGON_WITH_PROFILE, otherwise as
    // create_process. The outer nothing: the function is missing; the inner: it failed.
    virtual std::optional<std::optional<StartedProcess>>
    create_process_with_logon(const std::string& user, const std::string& domain, const std::string& password,
                              const std::string& command_line, const std::optional<std::string>& environment,
                              std::int32_t show) = 0;
    // CreateProcessWithTokenW with no logon flags, otherwise as create_process.
    virtual std::optional<std::optional<StartedProcess>>
    create_process_with_token(SystemHandle token, const std::string& command_line,
                              const std::optional<std::string>& environment, std::int32_t show) = 0;

    // The steps of the unelevated start.
    virtual bool vista_or_later() = 0;
    // The process of the shell's desktop window (class "Progman"); nothing when there is none.
    virtual std::optional<std::uint32_t> shell_process_id() = 0;
    // The integrity level of a process (nothing: the engine's own), nothing when it cannot be read.
    virtual std::optional<std::uint32_t> integrity_level(std::optional<std::uint32_t> process_id) = 0;
    // Enables a privilege in the engine's own token; whether it is enabled.
    virtual bool enable_own_privilege(std::string_view name) = 0;
    // OpenProcess with PROCESS_ALL_ACCESS.
    virtual std::optional<SystemHandle> open_process(std::uint32_t process_id) = 0;
    // OpenProcessToken for duplication, impersonation, query, source query and READ_CONTROL.
    virtual std::optional<SystemHandle> open_token(SystemHandle process) = 0;
    // DuplicateTokenEx as a primary token (MAXIMUM_ALLOWED, SecurityImpersonation).
    virtual std::optional<SystemHandle> duplicate_primary_token(SystemHandle token) = 0;
    // Marks the privilege SE_PRIVILEGE_REMOVED; a privilege the system does not know is skipped.
    virtual void remove_privilege(SystemHandle token, std::string_view name) = 0;
};

// Asked between the waits for a process: false once nobody waits for the
// answer any more (the worker was given up), and the wait ends.
using KeepWaiting = std::function<bool()>;

// Started and, with `wait`, waited for: the program's exit code, 259 while it
// runs, 0 when no process was started for it.
std::int32_t result_of_started(ProcessSystem& system, SystemHandle process, bool wait, const KeepWaiting& keep_waiting);

struct ShellStartRequest {
    std::string program;
    std::string arguments;
    std::string folder; // the program's folder with a trailing backslash
    bool wait = false;
    bool show = true;
};
// "open", else the default action; -1 when neither starts it.
std::int32_t ShellStart(ProcessSystem& system, const ShellStartRequest& request, const KeepWaiting& keep_waiting);

struct ProcessStartRequest {
    std::string command_line;
    std::string environment; // CR LF separated "name=value" lines; empty inherits
    std::int32_t window_mode = 0;
    bool wait = false;
    std::string user; // empty: the engine's own user
    std::string password;
    std::string domain;
};
// As the user named (with CreateProcessWithLogonW), else as the engine's own user.
std::int32_t StartProcess(ProcessSystem& system, const ProcessStartRequest& request, const KeepWaiting& keep_waiting);
// With the shell's token when the engine runs elevated and the shell does
// not, else as StartProcess without a user.
std::int32_t StartUnelevated(ProcessSystem& system, const ProcessStartRequest& request,
                             const KeepWaiting& keep_waiting);

// The role the run commands are given: the system calls (shared with the
// worker, which may outlive the command when it is given up), the engine's
// current folder, and what the worker thread sets up around a start.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;

    virtual std::shared_ptr<ProcessSystem> process_system() = 0;
    // The engine's current folder, and changing it (false when it cannot be changed).
    virtual std::string current_folder() = 0;
    virtual bool set_current_folder(const std::string& folder) = 0;
    // Runs `start` on the worker thread with what the shell needs there (COM
    // for the shell's extensions). Copied to the worker: refers to nothing of the engine.
    virtual std::function<void(const std::function<void()>& start)> thread_frame() = 0;

    // "Run Light Mode Setup": the engine's own program without its script,
    // followed by the whole script file, written to `target` (a new file;
    // nothing is left there when it fails).
    virtual bool write_light_mode_setup(const std::string& script_file, const std::string& target) = 0;
    // The engine's folder with a trailing backslash (qvo.lib lies there).
    virtual std::string engine_folder() = 0;
    virtual bool file_exists(const std::string& path) = 0;
    // Both fail when the target exists.
    virtual bool move_file(const std::string& from, const std::string& to) = 0;
    virtual bool copy_file(const std::string& from, const std::string& to) = 0;
    virtual bool delete_file(const std::string& path) = 0;
};

} // namespace quillon
