// Processes, top-level windows, services and COM registration as the process
// and service commands ask for them: plain questions and orders, no decisions.
// What a script sees is decided in process_rules.h; the engine carries the
// orders out on Windows, tests give a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// A top-level window as the walk reads it.
struct TopWindow {
    std::uintptr_t handle = 0;
    std::string class_name; // at most 260 characters
    std::string title;      // at most 260 characters
};

enum class RegisterAction : std::uint8_t { register_server, unregister_server };

class ProcessServices {
public:
    virtual ~ProcessServices() = default;

    // The executable file names of the running processes, as the process
    // snapshot gives them.
    virtual std::vector<std::string> process_names() = 0;
    // The top-level windows from the first child of the desktop window on, in
    // their order.
    virtual std::vector<TopWindow> top_level_windows() = 0;
    // Posts WM_CANCELMODE and then WM_CLOSE to the window.
    virtual void close_window(std::uintptr_t window) = 0;
    // The service's dwCurrentState, or nothing when the service manager of the
    // computer (empty: this one), the service or its status cannot be had.
    virtual std::optional<std::uint32_t> service_state(const std::string& computer, const std::string& service) = 0;

    // The engine's current folder, and changing it (false when it cannot be).
    virtual std::string current_folder() = 0;
    virtual bool set_current_folder(const std::string& folder) = 0;
    // COM registration with OLE initialised around it. Each answers whether it
    // succeeded. A type library is registered with the folder of its help
    // file, or unregistered by its attributes. A server program is started
    // with the command line given, not waited for. A server library is
    // loaded by its full path (its own folder and the system folder searched
    // for what it needs) and its DllRegisterServer or DllUnregisterServer called.
    virtual bool register_type_library(const std::string& path, RegisterAction action) = 0;
    virtual bool start_server_program(const std::string& path, const std::string& command_line) = 0;
    virtual bool call_server_library(const std::string& path, RegisterAction action) = 0;
};

} // namespace quillon
