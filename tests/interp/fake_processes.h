// Processes, windows, services and COM registration for native tests: what
// the machine shows is set by the test, what was asked of it is recorded.
#pragma once

#include "interp/process_services.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quillon::test {

class FakeProcesses : public ProcessServices {
public:
    std::vector<std::string> process_names() override { return processes; }
    std::vector<TopWindow> top_level_windows() override
    {
        ++walks;
        return windows;
    }
    void close_window(std::uintptr_t window) override
    {
        closed.push_back(window);
        if (on_close)
            on_close(window);
    }
    std::optional<std::uint32_t> service_state(const std::string& computer, const std::string& service) override
    {
        service_queries.push_back(computer + "|" + service);
        auto found = services.find(service);
        return found == services.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
    }
    std::string current_folder() override { return folder; }
    bool set_current_folder(const std::string& to) override
    {
        folder_changes.push_back(to);
        folder = to;
        return true;
    }
    bool register_type_library(const std::string& path, RegisterAction action) override
    {
        return record("tlb", path, action == RegisterAction::register_server ? "register" : "unregister");
    }
    bool start_server_program(const std::string& path, const std::string& command_line) override
    {
        return record("exe", path, command_line);
    }
    bool call_server_library(const std::string& path, RegisterAction action) override
    {
        return record("dll", path, action == RegisterAction::register_server ? "register" : "unregister");
    }

    std::vector<std::string> processes;
    std::vector<TopWindow> windows;
    std::function<void(std::uintptr_t)> on_close;
    std::map<std::string, std::uint32_t> services; // name -> dwCurrentState; others cannot be opened
    std::string folder = "C:\\Setup\\";
    bool registration_succeeds = true;

    int walks = 0;
    std::vector<std::uintptr_t> closed;
    std::vector<std::string> service_queries;
    std::vector<std::string> folder_changes;
    // Each registration as "kind|path|action or command line|current folder".
    std::vector<std::string> registrations;

private:
    bool record(const char* kind, const std::string& path, const std::string& what)
    {
        registrations.push_back(std::string(kind) + "|" + path + "|" + what + "|" + folder);
        return registration_succeeds;
    }
};

} // namespace quillon::test
