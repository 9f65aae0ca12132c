// The system calls of the program starts for native tests: programs are
// names with an exit code and a number of waits they run for, every call is
// written to a log, every handle given out is counted until it is closed.
// Calls come from worker threads, so everything is guarded by one mutex.
#pragma once

#include "interp/program_start.h"

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillon::test {

class FakeProcessSystem : public ProcessSystem {
public:
    struct Program {
        std::uint32_t exit_code = 0;
        int waits = 0;          // slices of wait_for_exit before it ends; -1 never
        bool no_process = false; // the shell hands it to a running program
    };
    // Known to the shell by file, to CreateProcess by the command line's program in quotes.
    std::map<std::string, Program> programs;
    std::set<std::string> failing_verbs; // "open", "" (the default action)

    bool logon_available = true;
    bool token_start_available = true;
    bool vista = true;
    std::optional<std::uint32_t> shell_pid = 4242;
    std::optional<std::uint32_t> own_level = integrity_high;
    std::optional<std::uint32_t> shell_level = integrity_medium;
    bool debug_privilege = true;
    bool open_process_works = true;
    bool open_token_works = true;
    bool duplicate_works = true;

    std::optional<SystemHandle> shell_execute(std::string_view verb, const std::string& file,
                                              const std::string& parameters, const std::string& folder,
                                              std::int32_t show) override
    {
        std::lock_guard lock(m_mutex);
        log.push_back("shell " + std::string(verb) + "|" + file + "|" + parameters + "|" + folder + "|" +
                      std::to_string(show));
        auto found = programs.find(file);
        if (failing_verbs.contains(std::string(verb)) || found == programs.end())
            return std::nullopt;
        if (found->second.no_process)
            return SystemHandle{0};
        return open_handle(found->second);
    }
    bool wait_for_exit(SystemHandle process, std::uint32_t milliseconds) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++waits;
            last_wait_ms = milliseconds;
            Running& running = m_running.at(process);
            if (running.waits_left == 0)
                return true;
            if (running.waits_left > 0)
                --running.waits_left;
        }
        // A slice of a program that runs on: short, so that tests stay quick.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return false;
    }
    std::optional<std::uint32_t> exit_code(SystemHandle process) override
    {
        std::lock_guard lock(m_mutex);
        const Running& running = m_running.at(process);
        return running.waits_left == 0 ? running.exit_code : static_cast<std::uint32_t>(run_code::still_active);
    }
    void close(SystemHandle handle) override
    {
        std::lock_guard lock(m_mutex);
        if (m_open.erase(handle) == 0)
            log.push_back("closed twice or unknown " + std::to_string(handle));
    }
    std::optional<StartedProcess> create_process(const std::string& command_line,
                                                 const std::optional<std::string>& environment,
                                                 std::int32_t show) override
    {
        std::lock_guard lock(m_mutex);
        log.push_back("create|" + command_line + "|" + std::to_string(show));
        return start(command_line, environment);
    }
    std::optional<std::optional<StartedProcess>>
    create_process_with_logon(const std::string& user, const std::string& domain, const std::string& password,
                              const std::string& command_line, const std::optional<std::string>& environment,
                              std::int32_t show) override
    {
        std::lock_guard lock(m_mutex);
        if (!logon_available)
            return std::nullopt;
        log.push_back("logon " + user + "/" + domain + "/" + password + "|" + command_line + "|" +
                      std::to_string(show));
        return std::optional<std::optional<StartedProcess>>(start(command_line, environment));
    }
    std::optional<std::optional<StartedProcess>>
    create_process_with_token(SystemHandle token, const std::string& command_line,
                              const std::optional<std::string>& environment, std::int32_t show) override
    {
        std::lock_guard lock(m_mutex);
        if (!token_start_available)
            return std::nullopt;
        log.push_back("token " + std::to_string(token) + "|" + command_line + "|" + std::to_string(show));
        return std::optional<std::optional<StartedProcess>>(start(command_line, environment));
    }
    bool vista_or_later() override { return vista; }
    std::optional<std::uint32_t> shell_process_id() override { return shell_pid; }
    std::optional<std::uint32_t> integrity_level(std::optional<std::uint32_t> process_id) override
    {
        return process_id ? shell_level : own_level;
    }
    bool enable_own_privilege(std::string_view name) override
    {
        std::lock_guard lock(m_mutex);
        log.push_back("enable " + std::string(name));
        return debug_privilege;
    }
    std::optional<SystemHandle> open_process(std::uint32_t process_id) override
    {
        std::lock_guard lock(m_mutex);
        log.push_back("open process " + std::to_string(process_id));
        return open_process_works ? std::optional<SystemHandle>(new_handle()) : std::nullopt;
    }
    std::optional<SystemHandle> open_token(SystemHandle) override
    {
        std::lock_guard lock(m_mutex);
        return open_token_works ? std::optional<SystemHandle>(new_handle()) : std::nullopt;
    }
    std::optional<SystemHandle> duplicate_primary_token(SystemHandle) override
    {
        std::lock_guard lock(m_mutex);
        if (!duplicate_works)
            return std::nullopt;
        primary_token = new_handle();
        return primary_token;
    }
    void remove_privilege(SystemHandle token, std::string_view name) override
    {
        std::lock_guard lock(m_mutex);
        if (token == primary_token)
            removed_privileges.push_back(std::string(name));
    }

    // Copies, under the lock, of what a test reads after the worker.
    std::vector<std::string> calls() const
    {
        std::lock_guard lock(m_mutex);
        return log;
    }
    std::size_t open_handles() const
    {
        std::lock_guard lock(m_mutex);
        return m_open.size();
    }
    int wait_count() const
    {
        std::lock_guard lock(m_mutex);
        return waits;
    }
    std::optional<std::string> last_environment() const
    {
        std::lock_guard lock(m_mutex);
        return environment_seen;
    }

    std::vector<std::string> log;
    std::vector<std::string> removed_privileges;
    SystemHandle primary_token = 0;
    int waits = 0;
    std::uint32_t last_wait_ms = 0;
    std::optional<std::string> environment_seen;

private:
    struct Running {
        std::uint32_t exit_code = 0;
        int waits_left = 0;
    };
    SystemHandle new_handle()
    {
        SystemHandle handle = m_next++;
        m_open.insert(handle);
        return handle;
    }
    SystemHandle open_handle(const Program& program)
    {
        SystemHandle handle = new_handle();
        m_running[handle] = {program.exit_code, program.waits};
        return handle;
    }
    // The program of a command line is the text between its first two quotes.
    std::optional<StartedProcess> start(const std::string& command_line, const std::optional<std::string>& environment)
    {
        environment_seen = environment;
        std::size_t end = command_line.find('"', 1);
        std::string program = end == std::string::npos ? command_line : command_line.substr(1, end - 1);
        auto found = programs.find(program);
        if (found == programs.end())
            return std::nullopt;
        return StartedProcess{open_handle(found->second), new_handle()};
    }

    mutable std::mutex m_mutex; // guards every member; nothing is called out while it is held
    SystemHandle m_next = 0x100;
    std::set<SystemHandle> m_open;
    std::map<SystemHandle, Running> m_running;
};

// The role: the fake system, and the engine's current folder as a text.
class FakeProgramStarter : public ProgramStarter {
public:
    std::shared_ptr<FakeProcessSystem> system = std::make_shared<FakeProcessSystem>();
    std::string folder = "C:\\Engine\\";
    std::set<std::string> missing_folders;
    std::vector<std::string> folder_changes;
    std::shared_ptr<std::atomic<int>> frames = std::make_shared<std::atomic<int>>(0);

    std::shared_ptr<ProcessSystem> process_system() override { return system; }
    std::string current_folder() override { return folder; }
    bool set_current_folder(const std::string& to) override
    {
        folder_changes.push_back(to);
        if (missing_folders.contains(to))
            return false;
        folder = to;
        return true;
    }
    std::function<void(const std::function<void()>&)> thread_frame() override
    {
        return [frames = frames](const std::function<void()>& start) {
            ++*frames;
            start();
        };
    }

    // Files by path; the engine's program without its script is "STUB:".
    std::map<std::string, std::string> files;
    std::set<std::string> locked; // held by a running program: not deleted
    bool write_light_mode_setup(const std::string& script_file, const std::string& target) override
    {
        if (!files.contains(script_file) || files.contains(target))
            return false;
        files[target] = "STUB:" + files[script_file];
        return true;
    }
    std::string engine_folder() override { return "C:\\Engine\\"; }
    bool file_exists(const std::string& path) override { return files.contains(path); }
    bool move_file(const std::string& from, const std::string& to) override
    {
        if (!files.contains(from) || files.contains(to) || locked.contains(from))
            return false;
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    bool copy_file(const std::string& from, const std::string& to) override
    {
        if (!files.contains(from) || files.contains(to))
            return false;
        files[to] = files[from];
        return true;
    }
    bool delete_file(const std::string& path) override
    {
        if (locked.contains(path))
            return false;
        return files.erase(path) > 0;
    }
};

} // namespace quillon::test
