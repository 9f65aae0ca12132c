// The engine side of the execution loop on Windows: message pumping, the
// switches read back before every command, message boxes, translations,
// WOW64 redirection, restarting and the resume entry.
#pragma once

#include "dialogs/uDlgAPI.h"
#include "engine/messages.h"
#include "engine/startup_trace.h"
#include "engine/uImageListPool.h"
#include "interp/executor_roles.h"
#include "interp/mscriptexec.h"
#include "script/ScriptImage.h"
#include "script/localization.h"
#include "vars/VariableManager.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

struct ScriptHostSetup {
    const TScriptImage& script;
    TVariableManager& vars;
    StartupTrace& trace;
    EngineMessages& messages;
    std::string support_folder;
    std::string exe_file;
    std::string package_path; // "/m=", empty when the engine was started directly
    std::string command_tail;
    bool silent = false;
    TDialogRuntime* dialogs = nullptr;
};

class WindowsScriptHost : public RunEnvironment,
                          public UserInterface,
                          public SystemServices,
                          public WorkerServices {
public:
    explicit WindowsScriptHost(ScriptHostSetup setup);
    ExecutorRoles roles() { return {*this, *this, *this, *this}; }

    void pump_messages() override;
    Result<void> refresh_switches() override;
    void report_runtime_error(const std::string& report) override;


    bool language_set() const override;
    Result<std::string> translate(const std::string& text, std::string_view key, std::size_t ordinal) override;

    bool disable_redirection() override;
    void revert_redirection() override;

    void restart_computer() override;
    void write_resume_entry(bool all_users, const std::string& name, const std::string& command) override;
    std::string resume_program() const override;
    std::string command_tail() const override { return m_setup.command_tail; }

    std::optional<std::string> short_path(const std::string& path) override;
    std::optional<std::string> found_name(const std::string& path) override;
    std::string create_temp_file(const std::string& folder, const std::string& prefix) override;

    void wait_step(WorkerSignal& ended) override;
    void wake_main_thread() override;
    void arm_worker_timer(WorkerKind kind, std::function<void()> on_tick) override;
    void disarm_worker_timer(WorkerKind kind) override;
    bool worker_timer_armed(WorkerKind kind) const override;
    void set_attention(bool error) override;
    void clear_attention() override;
    void show_error_message(const std::string& text) override;
    bool silent() const override { return m_silent; }
    bool progress_dialog_shown() override;
    void update_progress_dialog(const std::string& text, std::int32_t value) override;
    void release_dialog(const std::string& key) override;
    Result<void> prepare_dialog(const std::string& key) override;
    Result<DialogOutcome> show_dialog(const std::string& key, bool modal) override;
    void hide_current_dialog() override;
    // The component model the feature controls show, and the busy flag their refresh follows.
    void attach_executor(TScriptExecutor& executor);
    std::string support_folder() const override { return m_setup.support_folder; }
    bool file_exists(const std::string& path) override;
    bool windows_7_or_later() const override;
    PluginCaller plugin_caller() const override;
    ArchiveExtractor archive_extractor() const override;
    std::string engine_text(EngineText which) const override;

    // "MessageBox", "MessageBalloon" and "System Tray" (script_host_messages.cpp).
    std::int32_t message_box(const std::string& caption, const std::string& text, std::uint32_t flags) override;
    void show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                      std::int32_t timeout_ms) override;
    void tray_minimize() override;
    void tray_show_icon() override;
    void tray_restore() override;
    void tray_remove_icon() override;
    // Set while the wizard is minimized to the tray: new dialogs wait for the tray click.
    bool in_tray() const { return m_in_tray; }

    // The hidden main form; null when it could not be created (workers then
    // cannot be given up after a cancel, and nothing shows on the taskbar).
    TImageListPool* pool() const { return m_pool.get(); }

private:
    ScriptHostSetup m_setup;
    TLocalization m_localization;
    Result<void> load_language(const std::string& language);

    bool m_localized; // the translation matrix was extracted with the resources
    EngineMessages m_startup_messages; // for a language without a message file of its own
    bool m_silent;
    std::string m_log_file;
    void* m_redirection_cookie = nullptr;
    // DATE and TIME as last formatted, and the second they were formatted for.
    std::string m_date;
    std::string m_time;
    std::array<std::uint16_t, 8> m_formatted_at{}; // a SYSTEMTIME
    std::uint64_t m_clock_tick = 0;
    std::unique_ptr<TImageListPool> m_pool;
    HWND m_pool_window = nullptr; // read by worker threads to wake the main thread
    DWORD m_main_thread = 0;
    ProgressAttention m_attention;
    bool m_in_tray = false;
};

// The current modeless dialog (WINDOWHANDLE), which owns message boxes; null
// when the variable names no window.
HWND current_window(const TVariableManager& vars);

// A text file of CR LF lines, whole.
Result<std::vector<std::string>> read_crlf_lines(const std::string& path);

} // namespace quillon
