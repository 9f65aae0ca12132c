// What the user of a run sees on Windows: message boxes under the standard
// caption, error reports, the taskbar's attention, balloon tips, the tray icon
// and the wizard's pages. A silent run shows nothing.
#pragma once

#include "dialogs/uDlgAPI.h"
#include "engine/messages.h"
#include "engine/run_environment.h"
#include "engine/startup_trace.h"
#include "engine/wizard_shell.h"
#include "interp/executor_roles.h"
#include "vars/VariableManager.h"

namespace quillon {

class WindowsUserInterface : public UserInterface {
public:
    WindowsUserInterface(TVariableManager& vars, StartupTrace& trace, const EngineMessages& messages,
                         const RunSwitches& switches, WizardShell& shell, TDialogRuntime& dialogs);

    bool silent() const override { return m_switches.silent; }
    std::string engine_text(EngineText which) const override;
    void report_runtime_error(const std::string& report) override;
    void set_attention(bool error) override { m_shell.set_attention(error); }
    void clear_attention() override { m_shell.clear_attention(); }
    void show_error_message(const std::string& text) override;
    std::int32_t message_box(const std::string& caption, const std::string& text, std::uint32_t flags) override;
    void show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                      std::int32_t timeout_ms) override;
    void tray_minimize() override { m_shell.tray_minimize(); }
    void tray_show_icon() override { m_shell.tray_show_icon(); }
    void tray_restore() override { m_shell.tray_restore(); }
    void tray_remove_icon() override { m_shell.tray_remove_icon(); }
    void release_dialog(const std::string& key) override;
    Result<void> prepare_dialog(const std::string& key) override;
    Result<DialogOutcome> show_dialog(const std::string& key, bool modal) override;
    void hide_current_dialog() override;

private:
    TVariableManager& m_vars;
    StartupTrace& m_trace;
    const EngineMessages& m_messages;
    const RunSwitches& m_switches;
    WizardShell& m_shell;
    TDialogRuntime& m_dialogs;
};

} // namespace quillon
