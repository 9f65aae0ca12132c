// The configuration stores and the command-line tool of the IIS 7 library on
// Windows. The web server's own administration manager is used where it is
// registered; without it (no IIS, or Wine) a small store of our own reads and
// writes the server's applicationHost.config in its place.
#pragma once

#include "iis7lib/config_store.h"

#include <filesystem>

namespace quillon::iis7 {

// The web server's writable administration manager through COM. Fails with
// ErrorCode::not_found when its class is not registered.
Result<std::unique_ptr<AdminManager>> open_iis_admin_manager();

// The file-backed manager: sections as nested elements of the file, paths
// below the server level in <location path="Site/folder"> elements.
Result<std::unique_ptr<AdminManager>> open_file_admin_manager(const std::filesystem::path& config_file);

// The system's Windows folder (not a terminal-server user's own).
std::wstring windows_folder();

// "<system folder>\inetsrv\config\applicationHost.config" of the native system folder.
std::filesystem::path server_config_file();

// Each open prefers the administration manager and falls back to the file.
class WindowsConfigStore final : public ConfigStore {
public:
    Result<std::unique_ptr<AdminManager>> open() override;
};

// appcmd.exe of the web server, run hidden in its own folder.
class AppCmdTool final : public CommandTool {
public:
    Result<std::string> run(std::string_view arguments) override;
};

} // namespace quillon::iis7
