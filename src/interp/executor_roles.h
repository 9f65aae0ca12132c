// What the execution loop and the command handlers ask of the engine around
// them, in four roles. The Windows engine implements each with real windows
// and system calls and connects them in one place; tests give small fakes.
// Every method is a question or an order of the script's run: none has a
// default, so a role that forgets one does not compile.
#pragma once

#include "base/error.h"
#include "interp/file_system_access.h"
#include "interp/process_services.h"
#include "interp/program_start.h"
#include "interp/registry_store.h"
#include "interp/system_information.h"
#include "interp/web_server.h"
#include "interp/worker_types.h"
#include "msi/installer_run.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class TScriptExecutor;

// The run around the loop: the message pump, the switches read back between
// commands, the modeless progress page and the translation of script texts.
class RunEnvironment {
public:
    virtual ~RunEnvironment() = default;

    // Lets the user interface handle every pending message.
    virtual void pump_messages() = 0;
    // Reads the engine's switches back from their variables (log file, silent
    // flag, DATE and TIME, LANGUAGE). Fails when the tables of a newly set
    // LANGUAGE cannot be loaded.
    virtual Result<void> refresh_switches() = 0;
    // Whether a modeless progress page is on the screen; if so, show the text
    // and the value (0 to 100) and let one pending message be handled.
    virtual bool progress_dialog_shown() = 0;
    virtual void update_progress_dialog(const std::string& text, std::int32_t value) = 0;
    // Translation of script texts: whether a language is set, and the
    // ordinal-th translatable text under a key (a command identifier).
    virtual bool language_set() const = 0;
    virtual Result<std::string> translate(const std::string& text, std::string_view key, std::size_t ordinal) = 0;
};

// Engine texts the core shows, by name; the engine gives them in the language of its messages.
enum class EngineText : std::uint8_t {
    runtime_error_heading, // "Runtime error in setup script:"
    percent_complete,      // "% complete"
    general_setup_failure, // "General setup failure"
    locate_sources,        // "Please locate your original setup sources to continue operation"
    sources_required,      // "Original setup sources required to complete operation, sources not found"
};

// What the user sees: message boxes, error reports, the taskbar's attention,
// balloon tips, the tray icon and the wizard's pages. A silent run shows nothing.
class UserInterface {
public:
    virtual ~UserInterface() = default;

    virtual bool silent() const = 0;
    virtual std::string engine_text(EngineText which) const = 0;
    // The runtime error report: shown under the standard caption unless the run is silent.
    virtual void report_runtime_error(const std::string& report) = 0;
    // The taskbar attention while a message is shown.
    virtual void set_attention(bool error) = 0;
    virtual void clear_attention() = 0;
    // A message box with the error icon under the standard caption (only logged in a silent run).
    virtual void show_error_message(const std::string& text) = 0;
    // "MessageBox": a box under the given caption, owned by the current modeless
    // page; the answer (IDOK, IDCANCEL, ...), 0 when nothing was shown.
    virtual std::int32_t message_box(const std::string& caption, const std::string& text, std::uint32_t flags) = 0;
    // "MessageBalloon": a balloon tip at the tray icon; icon 0 information, 1 warning, 2 error.
    virtual void show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                              std::int32_t timeout_ms) = 0;
    // The four steps of "System Tray".
    virtual void tray_minimize() = 0;
    virtual void tray_show_icon() = 0;
    virtual void tray_restore() = 0;
    virtual void tray_remove_icon() = 0;

    // The wizard's pages, for "Display Dialog" and "Hide Dialog". A key is the
    // decimal index of the page's "Display Dialog" command.
    virtual void release_dialog(const std::string& key) = 0;
    virtual Result<void> prepare_dialog(const std::string& key) = 0;
    // The result code (2 cancel, 6 next, 7 back, 8 custom with its text), or
    // for a modeless page its window handle. A silent run answers 6.
    struct DialogOutcome {
        std::int32_t code = 6;
        std::string custom;
        std::uintptr_t window = 0;
    };
    virtual Result<DialogOutcome> show_dialog(const std::string& key, bool modal) = 0;
    virtual void hide_current_dialog() = 0;
};

// The system: file-system redirection, restarting, the resume entry, names of
// files and temporary files, where the setup's files lie.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // The file-system redirection of a 32-bit process on 64-bit Windows:
    // turned off around commands marked 64 when the platform mode is not
    // "Win32". Returns whether it was turned off (and must be reverted).
    virtual bool disable_redirection() = 0;
    virtual void revert_redirection() = 0;
    // Restarting Windows, and the RunOnce entry of "Reboot and Resume".
    virtual void restart_computer() = 0;
    virtual void write_resume_entry(bool all_users, const std::string& name, const std::string& command) = 0;
    // What the resume entry runs: the package or the engine, and the command-line tail.
    virtual std::string resume_program() const = 0;
    virtual std::string command_tail() const = 0;
    // Short (8.3) and long names, and temporary files ("Convert Path", "Get Temporary File").
    virtual std::optional<std::string> short_path(const std::string& path) = 0;
    // The name the file system reports for the last part of a path, or nothing when it is not found.
    virtual std::optional<std::string> found_name(const std::string& path) = 0;
    // Creates an empty file with a unique name in the folder; its full path, or empty.
    virtual std::string create_temp_file(const std::string& folder, const std::string& prefix) = 0;
    // The support folder (plug-in libraries without a media folder lie there).
    virtual std::string support_folder() const = 0;
    virtual bool file_exists(const std::string& path) = 0;
    virtual bool windows_7_or_later() const = 0;
    // Whether Windows Installer reports the product installed; an error when
    // msi.dll or its function cannot be had.
    virtual Result<bool> product_installed(const std::string& product_code) = 0;
};

// Workers: the main thread's wait, its wake-up and the watchdog timers, and
// the callers that run on worker threads.
class WorkerServices {
public:
    virtual ~WorkerServices() = default;

    // One pass of a worker's wait: handle one window message, waiting for the
    // next at most a short slice (50 ms) when none is queued; in a silent run
    // wait that slice for `ended` instead (timers still run). No pass blocks
    // longer, so that a cancel reaches a worker that hangs.
    virtual void wait_step(WorkerSignal& ended) = 0;
    // Called from worker threads: wakes a wait_step blocked in the message queue.
    virtual void wake_main_thread() = 0;
    // The worker timers of the hidden main form: one-shot, disarmed before on_tick runs.
    virtual void arm_worker_timer(WorkerKind kind, std::function<void()> on_tick) = 0;
    virtual void disarm_worker_timer(WorkerKind kind) = 0;
    virtual bool worker_timer_armed(WorkerKind kind) const = 0;
    // The caller of plug-in libraries and the archive library. They are copied
    // to the worker, which may outlive the engine's objects when it is given
    // up, so they must not refer to them.
    virtual PluginCaller plugin_caller() const = 0;
    virtual ArchiveExtractor archive_extractor() const = 0;
};

// Media of the commands that need them: the current web media block, and the
// fetch of a command's media folder into the data folder.
class MediaServices {
public:
    virtual ~MediaServices() = default;

    // "Web Media Block": the block's name as written and its locations, one per line.
    virtual Result<void> set_web_media_block(const std::string& name, const std::string& locations) = 0;
    // Copies, or downloads and extracts, the folder (waiting for each worker
    // with the cancel protocol). The error's message is the text to show.
    virtual Result<void> fetch_media(TScriptExecutor& executor, const std::string& folder) = 0;
};

struct PackageAssemblies {
    std::vector<std::string> names;
    std::vector<std::string> versions;
};

// Windows Installer around "Apply Changes": where the installed media are,
// the package run on the installer thread, and the engine cache after it.
class InstallerServices {
public:
    virtual ~InstallerServices() = default;

    // The "UninstallString" of the product's uninstall entry (under
    // HKEY_LOCAL_MACHINE for all users, else HKEY_CURRENT_USER), or nothing.
    virtual std::optional<std::string> uninstall_string(bool all_users, const std::string& title) = 0;
    // The media folder given on the command line, or empty.
    virtual std::string media_override() const = 0;
    // Asks the user for the folder of the original media; nothing when cancelled.
    virtual std::optional<std::string> ask_for_media(const std::string& prompt) = 0;
    // The Windows language code of the run's language, empty when none is set.
    virtual std::string language_code() = 0;
    // Fills in the engine's part of the request (the package, the temp folder,
    // the log, the caption), runs the package on the installer thread with
    // the request's progress page, and waits for it.
    virtual msi::InstallerResult run_installer(TScriptExecutor& executor, msi::InstallerRequest request) = 0;
    // After a successful install, advertise or remove run: the engine cache.
    virtual void changes_applied(TScriptExecutor& executor, const msi::InstallerRequest& request) = 0;
    // "Transform Instance": whether a patch (".msp") lies beside the package;
    // and the new instance: new product and revision codes, the package's
    // component identities renewed at its next run, the bootstrap again.
    virtual bool patch_beside_package() = 0;
    virtual void transform_instance(TScriptExecutor& executor) = 0;

    // The .NET Framework's tools. The Windows folder with a trailing "\".
    virtual std::string windows_folder() = 0;
    // Starts a program hidden, in the folder, through the shell ("open", else
    // the default verb), and waits for it while the user interface handles its
    // messages; its exit code, or -1 when it cannot be started.
    virtual std::int32_t run_tool(const std::string& program, const std::string& arguments,
                                  const std::string& folder) = 0;
    // The .NET assemblies of the package (MsiAssemblyName's Name and Version
    // of every MsiAssembly component), read without changing it.
    virtual PackageAssemblies package_assemblies() = 0;
    // Writes the engine's assembly-cache helper for the 4.0 (else the 2.0)
    // runtime into the support folder; its path.
    virtual Result<std::string> write_gac_helper(bool runtime4) = 0;
};

// The roles of one run, given to the executor when it is made.
struct ExecutorRoles {
    RunEnvironment& run;
    UserInterface& ui;
    SystemServices& system;
    WorkerServices& workers;
    MediaServices& media;
    InstallerServices& installer;
    // The machine's facts for the system information commands (system_information.h).
    SystemInformation& machine;
    // Processes, windows, services and COM registration (process_services.h).
    ProcessServices& processes;
    // The file system and the registry of the file, registry and INI commands.
    FileSystemAccess& files;
    RegistryStore& registry;
    // Starting programs ("Run Program", "Run Program As"; program_start.h).
    ProgramStarter& programs;
    // The local web server (web_server.h).
    WebServer& web;
};

} // namespace quillon
