// The workers of a run on Windows: the main thread's wait with its time-out
// slices, its wake-up, the watchdog timers of the hidden main form, and the
// callers of plug-in libraries and the archive library.
#pragma once

#include "dialogs/uDlgAPI.h"
#include "engine/run_environment.h"
#include "engine/wizard_shell.h"
#include "interp/executor_roles.h"

#include <windows.h>

#include <string>

namespace quillon {

class WindowsWorkerServices : public WorkerServices {
public:
    // `engine_file`: the engine's own path; the archive library lies beside it.
    WindowsWorkerServices(const RunSwitches& switches, WizardShell& shell, TDialogRuntime& dialogs,
                          std::string engine_file);

    void wait_step(WorkerSignal& ended) override;
    void wake_main_thread() override;
    void arm_worker_timer(WorkerKind kind, std::function<void()> on_tick) override;
    void disarm_worker_timer(WorkerKind kind) override;
    bool worker_timer_armed(WorkerKind kind) const override;
    PluginCaller plugin_caller() const override;
    ArchiveExtractor archive_extractor() const override;

private:
    const RunSwitches& m_switches;
    WizardShell& m_shell;
    TDialogRuntime& m_dialogs;
    std::string m_engine_file;
    HWND m_pool_window = nullptr; // read by worker threads to wake the main thread
    DWORD m_main_thread = 0;
};

} // namespace quillon
