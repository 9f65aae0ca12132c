// The execution loop: runs the loaded script one command at a time on the
// main thread, with the block structure of If / Else If / Else / End, the
// wizard walk of "Wizard Loop" and "GoTo Label".
#pragma once

#include "base/error.h"
#include "interp/catalog.h"
#include "interp/command_call.h"
#include "interp/executor_roles.h"
#include "interp/mscriptexecthread.h"
#include "interp/text_files.h"
#include "interp/worker_types.h"
#include "msi/components.h"
#include "msi/install_record.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

using CommandHandler = std::function<Result<void>(CommandCall&)>;

// One entry per catalog command with its handler. Command families register
// theirs; a catalog command without one is a runtime error when it runs, so
// that a setup never looks successful having skipped what it asked for.
class HandlerTable {
public:
    struct Entry {
        const CommandInfo* info;
        CommandHandler handler; // empty: not built in this engine
    };

    HandlerTable();
    // The name must be in the catalog: a family that registers anything else
    // is a fault of the engine, caught when the table is built.
    void add(std::string_view name, CommandHandler handler);
    // The entry of a catalog name (exact, case-sensitive), or null.
    const Entry* find(std::string_view name) const;
    std::span<const Entry> entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries; // in catalog order
};

// The handlers of every command family built so far.
HandlerTable StandardHandlers();

// Upper-case label name -> index of its "Label" command (disabled ones
// included). The compile pass has rejected duplicate names.
std::map<std::string, std::size_t> BuildLabelTable(const TScriptImage& script);

// State that outlives one script run: the pseudo-random generator lives for the process.
struct RandomState {
    std::int32_t multiplier = 0;
    std::int32_t increment = 0;
    std::int32_t state = 0;
};

struct ProcessState {
    RandomState random;
    std::int32_t timeout_seconds = 10; // KYRT_TIMEOUT
};

enum class WizardDirection : std::int8_t { cancel = 0, next = 1, back = -1 };

// Why the script ended, when it did not simply run out or end itself.
enum class ScriptOutcome : std::uint8_t {
    completed, // ran to its end, or a command ended it on purpose
    cancelled, // a cancel ended it (ABORTONERROR)
    failed,    // a media or installer failure ended it (ABORTONERROR)
};

class TScriptExecutor {
public:
    TScriptExecutor(const TScriptImage& script, TVariableManager& vars, ExecutorRoles roles,
                    const HandlerTable& handlers, ProcessState& process, std::map<std::string, std::size_t> labels);

    // Runs the script to its end. Returns false when a runtime error ended it
    // (the report has gone to the host).
    bool Run();

    const TScriptImage& script() const { return m_script; }
    TVariableManager& vars() { return m_vars; }
    RunEnvironment& run_environment() { return m_roles.run; }
    UserInterface& ui() { return m_roles.ui; }
    SystemServices& system() { return m_roles.system; }
    WorkerServices& worker_services() { return m_roles.workers; }
    MediaServices& media() { return m_roles.media; }
    InstallerServices& installer() { return m_roles.installer; }
    SystemInformation& machine() { return m_roles.machine; }
    ProcessServices& processes() { return m_roles.processes; }
    FileSystemAccess& files() { return m_roles.files; }
    RegistryStore& registry() { return m_roles.registry; }
    // The file "Read from Text File" reads, open for the run.
    OpenTextFile& text_file() { return m_text_file; }
    ProgramStarter& programs() { return m_roles.programs; }
    WebServer& web() { return m_roles.web; }
    ProcessState& process() { return m_process; }

    // Ends the script after the current command; the end-of-run sequence
    // follows. The first cancel or failure that ends it is kept for the exit code.
    void end_script(ScriptOutcome why = ScriptOutcome::completed)
    {
        m_ended = true;
        if (m_outcome == ScriptOutcome::completed)
            m_outcome = why;
    }
    bool ended() const { return m_ended; }
    ScriptOutcome outcome() const { return m_outcome; }
    void set_exit_code(std::int32_t code) { m_exit_code = code; }
    std::optional<std::int32_t> exit_code() const { return m_exit_code; }

    // "GoTo Label": continues at the label and resets the block and wizard state.
    Result<void> goto_label(std::string_view name);
    // "Wizard Loop" and the modal result of a "Display Dialog" inside it.
    void start_wizard();
    bool wizard_active() const { return m_wizard_active; }
    void set_wizard_result(std::int32_t modal_result);

    const std::string& platform_mode() const { return m_platform_mode; }
    void set_platform_mode(std::string mode) { m_platform_mode = std::move(mode); }

    // Names "Set Variable" marked for saving with the maintenance data.
    const std::vector<std::string>& persisted_variables() const { return m_persisted; }
    void persist_variable(std::string_view name);

    WorkerControl& workers() { return m_workers; }

    // What the installation commands recorded for Windows Installer.
    msi::InstallRecord& install_record() { return m_record; }

    // The component model of the run, started from the script's size list.
    TComponentModel& components() { return m_components; }

    // The number of "If" branches entered and not yet ended, for tests.
    std::int32_t branch_counter() const { return m_branches; }

private:
    enum class Skip { none, to_branch, to_end };

    void read_next();
    Result<void> skip_scan();
    Result<void> wizard_step();
    void leave_wizard();
    Result<void> execute_current();
    Result<bool> condition_holds(std::size_t index);
    Result<void> dispatch(std::size_t index);
    std::string runtime_error_report(std::size_t index, const Error& error) const;
    bool disabled(std::size_t index) const { return m_script.IsDisabled(index); }
    const std::string& name(std::size_t index) const { return m_script.CommandName(index); }

    const TScriptImage& m_script;
    TVariableManager& m_vars;
    ExecutorRoles m_roles;
    const HandlerTable& m_handlers;
    ProcessState& m_process;
    std::map<std::string, std::size_t> m_labels; // upper-case name -> index of its "Label"

    std::size_t m_index = 0;
    std::size_t m_count = 0;
    std::int32_t m_branches = 0;
    Skip m_skip = Skip::none;
    bool m_end_of_skip = false;
    bool m_evaluate_else_if = false; // a skip-to-branch scan stopped at this "Else If"
    std::size_t m_current = 0;       // the command whose failure a runtime error reports
    bool m_wizard_active = false;
    WizardDirection m_direction = WizardDirection::next;
    bool m_wizard_exit = false;
    bool m_ended = false;
    ScriptOutcome m_outcome = ScriptOutcome::completed;
    std::optional<std::int32_t> m_exit_code;
    std::string m_shown_progress_text;
    std::int32_t m_shown_progress = 0;
    std::string m_platform_mode = "Win32";
    std::vector<std::string> m_persisted;
    WorkerControl m_workers;
    TComponentModel m_components;
    msi::InstallRecord m_record;
    OpenTextFile m_text_file;
};

} // namespace quillon
