// The execution loop: runs the loaded script one command at a time on the
// main thread, with the block structure of If / Else If / Else / End, the
// wizard walk of "Wizard Loop" and "GoTo Label".
#pragma once

#include "base/error.h"
#include "interp/catalog.h"
#include "interp/command_call.h"
#include "interp/mscriptexecthread.h"
#include "interp/worker_types.h"
#include "msi/components.h"
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

// What the loop and the handlers need from the engine around them. The
// Windows engine implements it with real windows; tests use a recording one.
class ExecutorHost {
public:
    virtual ~ExecutorHost() = default;

    // Lets the user interface handle every pending message.
    virtual void pump_messages() {}
    // Reads the engine's switches back from their variables (log file, silent
    // flag, caption, cache override, DATE and TIME, LANGUAGE, engine cache).
    // Fails when the tables of a newly set LANGUAGE cannot be loaded.
    virtual Result<void> refresh_switches() { return {}; }
    // Whether a modeless progress dialog is on screen; if so, show the text and
    // the value (range 0 to 100) and let one pending message be handled.
    virtual bool progress_dialog_shown() { return false; }
    virtual void update_progress_dialog(const std::string& /*text*/, std::int32_t /*value*/) {}
    // The runtime error report: shown under the standard caption unless the run is silent.
    virtual void report_runtime_error(const std::string& /*report*/) {}
    // Its first line, in the language of the engine's messages.
    virtual std::string runtime_error_heading() const { return "Runtime error in setup script:"; }

    // Translation of script texts: whether a language is set, and the
    // ordinal-th translatable text under a key (a command identifier).
    virtual bool language_set() const { return false; }
    virtual Result<std::string> translate(const std::string& text, std::string_view /*key*/, std::size_t /*ordinal*/)
    {
        return text;
    }

    // The file-system redirection of a 32-bit process on 64-bit Windows:
    // turned off around commands marked 64 when the platform mode is not
    // "Win32". Returns whether it was turned off (and must be reverted).
    virtual bool disable_redirection() { return false; }
    virtual void revert_redirection() {}

    // Restarting Windows, and the RunOnce entry of "Reboot and Resume".
    virtual void restart_computer() {}
    virtual void write_resume_entry(bool /*all_users*/, const std::string& /*name*/, const std::string& /*command*/) {}
    // What the resume entry runs: the package or the engine, and the command-line tail.
    virtual std::string resume_program() const { return {}; }
    virtual std::string command_tail() const { return {}; }

    // Worker threads. One pass of a worker's wait: handle one window message,
    // waiting for the next at most a short slice (50 ms) when none is queued;
    // in a silent run wait that slice for `ended` instead (timers still run).
    // No pass blocks longer, so that a cancel reaches a worker that hangs.
    virtual void wait_step(WorkerSignal& ended) { ended.wait_for(std::chrono::milliseconds(50)); }
    // Called from worker threads: wakes a wait_step blocked in the message queue.
    virtual void wake_main_thread() {}
    // The worker timers of the hidden main form: one-shot, disarmed before on_tick runs.
    virtual void arm_worker_timer(WorkerKind /*kind*/, std::function<void()> /*on_tick*/) {}
    virtual void disarm_worker_timer(WorkerKind /*kind*/) {}
    virtual bool worker_timer_armed(WorkerKind /*kind*/) const { return false; }

    // The taskbar attention while a message is shown, and a message box with the
    // error icon under the standard caption (none in a silent run).
    virtual void set_attention(bool /*error*/) {}
    virtual void clear_attention() {}
    virtual void show_error_message(const std::string& /*text*/) {}
    virtual bool silent() const { return false; }

    // Plug-in libraries: where they lie, and the call of one (made on the worker
    // thread). No answer counts as the library returning -1.
    virtual std::string support_folder() const { return {}; }
    virtual bool file_exists(const std::string& /*path*/) { return false; }
    virtual bool windows_7_or_later() const { return true; }
    // The caller of plug-in libraries. It is copied to the worker, which may
    // outlive this host when it is given up, so it must not refer to the host.
    virtual PluginCaller plugin_caller() const { return {}; }
    // The archive library for "Extract 7Zip Archive", called on the worker
    // thread; like the plug-in caller it must not refer to the host.
    virtual ArchiveExtractor archive_extractor() const { return {}; }
    // "% complete", in the language of the engine's messages.
    virtual std::string percent_complete_text() const { return "% complete"; }
    // "General setup failure", in the language of the engine's messages.
    virtual std::string general_failure_text() const { return "General setup failure"; }

    // "MessageBox": a message box under the given caption, owned by the current
    // modeless dialog (shown again without an owner when that fails); the
    // answer (IDOK, IDCANCEL, ...), 0 when nothing was shown.
    virtual std::int32_t message_box(const std::string& /*caption*/, const std::string& /*text*/,
                                     std::uint32_t /*flags*/)
    {
        return 0;
    }
    // "MessageBalloon": a balloon tip at the tray icon; icon 0 information, 1 warning, 2 error.
    virtual void show_balloon(const std::string& /*title*/, const std::string& /*text*/, std::int32_t /*icon*/,
                              std::int32_t /*timeout_ms*/)
    {
    }
    // The four steps of "System Tray".
    virtual void tray_minimize() {}
    virtual void tray_show_icon() {}
    virtual void tray_restore() {}
    virtual void tray_remove_icon() {}

    // The dialog runtime, for "Display Dialog" and "Hide Dialog". A key is the
    // decimal index of the dialog's "Display Dialog" command.
    virtual void release_dialog(const std::string& /*key*/) {}
    virtual Result<void> prepare_dialog(const std::string& /*key*/) { return {}; }
    // The result code (2 cancel, 6 next, 7 back, 8 custom with its text), or
    // for a modeless dialog its window handle. A silent run answers 6.
    struct DialogOutcome {
        std::int32_t code = 6;
        std::string custom;
        std::uintptr_t window = 0;
    };
    virtual Result<DialogOutcome> show_dialog(const std::string& /*key*/, bool /*modal*/) { return DialogOutcome{}; }
    virtual void hide_current_dialog() {}

    // Short (8.3) and long names, and temporary files ("Convert Path", "Get Temporary File").
    virtual std::optional<std::string> short_path(const std::string& /*path*/) { return std::nullopt; }
    // The name the file system reports for the last part of a path, or nothing when it is not found.
    virtual std::optional<std::string> found_name(const std::string& /*path*/) { return std::nullopt; }
    // Creates an empty file with a unique name in the folder; its full path, or empty.
    virtual std::string create_temp_file(const std::string& /*folder*/, const std::string& /*prefix*/) { return {}; }
};

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
    TScriptExecutor(const TScriptImage& script, TVariableManager& vars, ExecutorHost& host,
                    const HandlerTable& handlers, ProcessState& process, std::map<std::string, std::size_t> labels);

    // Runs the script to its end. Returns false when a runtime error ended it
    // (the report has gone to the host).
    bool Run();

    const TScriptImage& script() const { return m_script; }
    TVariableManager& vars() { return m_vars; }
    ExecutorHost& host() { return m_host; }
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
    ExecutorHost& m_host;
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
};

} // namespace quillon
