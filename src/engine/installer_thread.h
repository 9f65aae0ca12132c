// One Windows Installer run on its own thread: the hand-over file, the
// package edits (property queue, texts, platform, word count), the log, the
// message handler with the progress sink, the command line, the busy retry
// and the result. The thread reports through the thread variables and ends
// by setting KYRT_thFinished; the script thread waits for that.
#pragma once

#include "engine/messages.h"
#include "interp/worker_types.h"
#include "msi/installer_run.h"
#include "vars/VariableManager.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace quillon {

// What the thread leaves for the script thread.
struct InstallerRunState {
    std::atomic<bool> error = false;
    std::atomic<bool> restart = false;
    // The run was not started because a cancel came first.
    std::atomic<bool> skipped_for_cancel = false;
    std::string error_text; // written by the thread before `ended` is set
    WorkerSignal ended;
};

struct InstallerThreadSetup {
    TVariableManager& vars;
    const EngineMessages& messages;
    msi::InstallerRequest request;
    std::shared_ptr<InstallerRunState> state;
    // Wakes the main thread's wait when the run has ended.
    std::function<void()> wake;
};

// A new GUID as Windows Installer writes them: upper case, with braces.
std::string NewGuid();

// Starts the run; the thread is joined by the returned object's owner.
std::thread StartInstallerThread(InstallerThreadSetup setup);

} // namespace quillon
