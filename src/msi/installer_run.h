// One Windows Installer run as the engine prepares it: the request the script
// thread fills, the command line, the hand-over entries, the log header and
// the result words. Portable decisions; the installer thread carries them out.
#pragma once

#include "msi/handover_file.h"
#include "msi/install_record.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::msi {

enum class InstallerOperation : std::uint8_t { install, advertise, remove, patch };

// Parameters 3 (install) and 4 (remove) of "Apply Changes": install, else
// remove, and advertise when neither is set.
InstallerOperation OperationOf(bool install, bool remove);

struct InstallerRequest {
    InstallerOperation operation = InstallerOperation::install;
    std::string package_path; // the ".msi" (or ".msp") the engine edits
    std::string target_folder;
    std::string product_code;
    std::string revision_code;
    std::vector<std::string> properties; // the instance list: name, value, ...
    std::vector<std::string> variables;  // every script variable: name, value, ...
    std::string data_folder;
    std::string media_folder;
    std::string temp_folder;
    std::string platform_mode; // "Win32", "ia64", "x64"
    std::string log_file;      // empty: no log
    std::string engine_cache_folder;
    std::string caption; // the standard caption, for the log header
    // What the run writes into the package first.
    InstallRecord::Pairs queue;
    std::vector<ShortcutText> shortcut_texts;
    std::vector<FileTypeText> file_type_texts;
    // Shortcuts to pin after the run, the installed ones to unpin before it,
    // and application user model IDs of shortcuts.
    std::vector<std::string> shortcut_list;
    std::vector<std::string> installed_shortcuts;
    InstallRecord::Pairs application_ids;
    std::uintptr_t parent_window = 0;
    // The page that shows the run's progress; empty for none.
    std::string progress_dialog;
    // A transformed instance: the package takes the new product and revision
    // codes; its component identities are renewed once in the process.
    bool instance_transform = false;
    bool renew_component_ids = false;

    bool patch() const { return operation == InstallerOperation::patch; }
    // The advertise flag implies the install flag.
    bool install_flag() const
    {
        return operation == InstallerOperation::install || operation == InstallerOperation::advertise;
    }
};

// -1 failure, 0 cancelled, 1 complete, 2 complete and a restart is needed.
struct InstallerResult {
    int outcome = -1;
    std::string error_text;
};

// "ERROR", "CANCEL", "COMPLETE" or "REBOOT".
std::string_view ResultWord(int outcome);

// The outcome from the run state: a failure that came with a cancel counts as
// cancelled; a cancel that Windows Installer did not act on is complete,
// except when the run was skipped because of it.
int RunOutcome(bool error, bool cancelled, bool skipped_for_cancel, bool restart);

// Windows Installer's own property names, never handed over as script variables.
bool IsInstallerPropertyName(std::string_view name);

// The data folder's parent without its drive: C:\PROGRA~1\Vendor\data\ gives \PROGRA~1\Vendor\.
std::string MediaPackagePath(std::string_view data_folder);

struct CommandLineInputs {
    InstallerOperation operation = InstallerOperation::install;
    bool all_users = false;               // ALLUSERS is exactly "TRUE"
    bool disable_rollback = false;        // KYRT_DISABLE_ROLLBACK is exactly "TRUE"
    bool disable_restart_manager = false; // KYRT_DISABLE_VISTA_RESTART_MANAGER is exactly "TRUE"
    bool product_installed = false;
    bool only_advertised_before = false; // the engine cache holds "__ad"
    std::string target_folder;
    std::string data_folder;
    std::string package_folder;
    std::string media_package_path;
    std::string media_folder;
    bool quote_folders = false;
    bool quote_source = false;
};
std::string ComposeCommandLine(const CommandLineInputs& inputs);

// The hand-over file's entries. `path_form` expands a value and reduces its
// doubled backslashes; `exists` tells an existing file or folder.
struct HandOverInputs {
    const InstallerRequest& request;
    std::string media_package_path;
    std::function<std::string(std::string_view)> path_form;
    std::function<bool(const std::string&)> exists;
};
std::vector<HandOverEntry> HandOverEntries(const HandOverInputs& inputs);

// The log header's lines (without line ends), from its title line to the last empty line.
struct LogHeaderInputs {
    std::string caption;
    std::string timestamp;
    std::string variables;  // comma text
    std::string properties; // comma text
    std::string package;
    std::string product_code;
    std::string data_folder;
    std::string media_package_path;
    std::string package_folder;
};
std::vector<std::string> LogHeaderLines(const LogHeaderInputs& inputs);

// "Windows Installer" with one, two or three dots for the attempt after a busy answer (1, 2, 3, 4 ...).
std::string BusyProgressText(int attempt);
inline constexpr std::string_view installer_progress_text = "Windows Installer";
inline constexpr std::uint32_t installer_busy = 1618;
inline constexpr int busy_retry_ms = 3141;

// A system message for an error code as the result text: trailing blanks, line breaks and periods removed.
std::string TrimSystemMessage(std::string_view text);
// The error text of a run: a first "." that is its last character is removed.
std::string FinishErrorText(std::string text);

// Whether Windows Installer's answer is a success, and whether it needs a restart.
inline bool InstallerSucceeded(std::uint32_t code)
{
    return code == 0 || code == 1641 || code == 3010;
}
inline bool InstallerNeedsRestart(std::uint32_t code)
{
    return code == 1641 || code == 3010;
}

// The packed form of a GUID that Windows Installer's registry keys use:
// {12345678-9ABC-DEF0-1234-56789ABCDEF0} gives 87654321CBA90FED21436587A9CBED0F.
std::string PackedGuid(std::string_view guid);

// The values the source list of a product gets when it is removed.
std::string LastUsedSource(std::string_view current, std::string_view package_folder);

} // namespace quillon::msi
