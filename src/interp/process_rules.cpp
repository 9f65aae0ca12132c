#include "interp/process_rules.h"

#include "base/paths.h"
#include "base/strings.h"
#include "platform/library_rules.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

using namespace std::string_view_literals;

// dwCurrentState 1 to 7, in order.
constexpr std::array service_states = {
    "STOPPED"sv, "STARTING"sv, "STOPPING"sv, "RUNNING"sv, "CONTINUE_PENDING"sv, "PAUSE_PENDING"sv, "PAUSED"sv,
};
constexpr std::string_view not_installed = "NOTINSTALLED";

// The extension of the file-name part with its dot, or empty.
std::string_view extension_of(std::string_view path)
{
    std::size_t slash = path.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

// The engine's current folder, changed for one registration and put back
// however it ends.
class CurrentFolderScope {
public:
    CurrentFolderScope(ProcessServices& processes, const std::string& folder)
        : m_processes(processes), m_saved(processes.current_folder())
    {
        // A folder that cannot be entered does not stop the registration.
        m_processes.set_current_folder(folder);
    }
    ~CurrentFolderScope() { m_processes.set_current_folder(m_saved); }
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    ProcessServices& m_processes;
    std::string m_saved;
};

} // namespace

bool process_running(const std::vector<std::string>& executables, std::string_view file_name)
{
    return std::any_of(executables.begin(), executables.end(), [&](const std::string& executable) {
        return equal_ascii_nocase(file_name_part(executable), file_name);
    });
}

bool window_matches(const TopWindow& window, std::string_view title_part, std::string_view class_part)
{
    return (class_part.empty() || window.class_name.find(class_part) != std::string::npos) &&
           (title_part.empty() || window.title.find(title_part) != std::string::npos);
}

int terminate_program(ProcessServices& processes, std::string_view title_part, std::string_view class_part)
{
    if (title_part.empty() && class_part.empty())
        return 0;
    int posted = 0;
    for (int round = 0; round < terminate_rounds; ++round) {
        std::vector<TopWindow> windows = processes.top_level_windows();
        auto match = std::find_if(windows.begin(), windows.end(), [&](const TopWindow& window) {
            return window_matches(window, title_part, class_part);
        });
        if (match != windows.end()) {
            processes.close_window(match->handle);
            ++posted;
        }
    }
    return posted;
}

std::string_view service_state_name(std::optional<std::uint32_t> state)
{
    if (!state || *state < 1 || *state > service_states.size())
        return not_installed;
    return service_states[*state - 1];
}

LibraryKind library_kind(std::string_view path)
{
    std::string_view extension = extension_of(path);
    if (equal_ascii_nocase(extension, ".tlb"))
        return LibraryKind::type_library;
    if (equal_ascii_nocase(extension, ".exe"))
        return LibraryKind::server_program;
    return LibraryKind::server_library;
}

std::string server_command_line(std::string_view path, RegisterAction action)
{
    std::string line = "\"" + std::string(path) + "\"";
    line += action == RegisterAction::register_server ? " /regserver" : " /unregserver";
    return line;
}

std::string registrar_command_line(std::string_view registrar, std::string_view path, RegisterAction action)
{
    std::string line = "\"" + std::string(registrar) + "\" /s ";
    if (action == RegisterAction::unregister_server)
        line += "/u ";
    return line + "\"" + std::string(path) + "\"";
}

bool register_library(ProcessServices& processes, const std::string& path, RegisterAction action)
{
    if (!is_full_path(path))
        return false;
    CurrentFolderScope folder(processes, folder_part(path));
    switch (library_kind(path)) {
    case LibraryKind::type_library: return processes.register_type_library(path, action);
    case LibraryKind::server_program: return processes.start_server_program(path, server_command_line(path, action));
    case LibraryKind::server_library: return processes.call_server_library(path, action);
    }
    return false;
}

} // namespace quillon
