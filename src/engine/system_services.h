// The system as the commands of a run see it on Windows: redirection,
// restarting, the resume entry, names of files and temporary files, and where
// the setup's files lie.
#pragma once

#include "interp/executor_roles.h"
#include "platform/win32/os_services.h"

#include <string>

namespace quillon {

struct SetupLocation {
    std::string support_folder;
    std::string exe_file;
    std::string package_path; // "/m=", empty when the engine was started directly
    std::string command_tail;
    std::string database_path;  // the engine's copy of the package
    std::string temp_folder;
    std::string media_override; // "/p=", empty when not given
};

class WindowsSystemServices : public SystemServices {
public:
    explicit WindowsSystemServices(SetupLocation location) : m_location(std::move(location)) {}

    bool disable_redirection() override { return m_redirection.disable(); }
    void revert_redirection() override { m_redirection.revert(); }
    void restart_computer() override { win32::restart_windows(); }
    void write_resume_entry(bool all_users, const std::string& name, const std::string& command) override
    {
        win32::write_run_once_entry(all_users, name, command);
    }
    std::string resume_program() const override;
    std::string command_tail() const override { return m_location.command_tail; }
    std::optional<std::string> short_path(const std::string& path) override { return win32::short_path_name(path); }
    std::optional<std::string> found_name(const std::string& path) override { return win32::found_file_name(path); }
    std::string create_temp_file(const std::string& folder, const std::string& prefix) override
    {
        return win32::create_temp_file(folder, prefix);
    }
    std::string support_folder() const override { return m_location.support_folder; }
    bool file_exists(const std::string& path) override;
    bool windows_7_or_later() const override;
    Result<bool> product_installed(const std::string& product_code) override;

private:
    SetupLocation m_location;
    win32::FileSystemRedirection m_redirection;
};

} // namespace quillon
