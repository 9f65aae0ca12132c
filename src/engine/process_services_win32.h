// Processes, top-level windows, services and COM registration on Windows: the
// ProcessServices role carried out with the process snapshot, the window
// list, the service control manager and OLE.
#pragma once

#include "interp/process_services.h"

namespace quillon {

class WindowsProcessServices : public ProcessServices {
public:
    std::vector<std::string> process_names() override;
    std::vector<TopWindow> top_level_windows() override;
    void close_window(std::uintptr_t window) override;
    std::optional<std::uint32_t> service_state(const std::string& computer, const std::string& service) override;
    std::string current_folder() override;
    bool set_current_folder(const std::string& folder) override;
    bool register_type_library(const std::string& path, RegisterAction action) override;
    bool start_server_program(const std::string& path, const std::string& command_line) override;
    bool call_server_library(const std::string& path, RegisterAction action) override;
};

} // namespace quillon
