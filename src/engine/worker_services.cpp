#include "engine/worker_services.h"

#include "base/paths.h"
#include "media/archive_library.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/plugin_library.h"
#include "platform/win32/wide.h"

#include <shlobj.h>

#include <chrono>

namespace quillon {

namespace {

// Each worker kind has its own timer on the hidden main form.
PoolTimer timer_of(WorkerKind kind)
{
    switch (kind) {
    case WorkerKind::run_app: return PoolTimer::tra;
    case WorkerKind::run_as: return PoolTimer::trax;
    case WorkerKind::direct_extract: return PoolTimer::tdem;
    case WorkerKind::find_files: return PoolTimer::tfaf;
    case WorkerKind::plugin: return PoolTimer::plug;
    case WorkerKind::copy_media: return PoolTimer::thz;
    case WorkerKind::grab_media: return PoolTimer::thy;
    case WorkerKind::extract_media: return PoolTimer::thx;
    }
    return PoolTimer::plug;
}

// The longest a worker's wait goes without its cancel check.
constexpr DWORD wait_slice_ms = 50;

} // namespace

WindowsWorkerServices::WindowsWorkerServices(const RunSwitches& switches, WizardShell& shell, TDialogRuntime& dialogs,
                                             std::string engine_file)
    : m_switches(switches), m_shell(shell), m_dialogs(dialogs), m_engine_file(std::move(engine_file)),
      m_pool_window(shell.pool() != nullptr ? shell.pool()->window() : nullptr), m_main_thread(GetCurrentThreadId())
{
}

void WindowsWorkerServices::wait_step(WorkerSignal& ended)
{
    MSG message;
    if (m_switches.silent) {
        // No window to keep alive: wait for the worker in slices, letting the
        // pool's timers run between them so that a cancel still gives up a
        // worker that hangs.
        ended.wait_for(std::chrono::milliseconds(wait_slice_ms));
        win32::pump_pending_messages();
        return;
    }
    // One message, waiting for it at most one slice: the cancel check and the
    // watchdogs after each step must run even while no message comes (a
    // worker's reports post nothing). The worker's end posts WM_NULL, which
    // ends the wait at once.
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjectsEx(0, nullptr, wait_slice_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            return;
    }
    if (message.message == WM_QUIT) {
        // WM_QUIT belongs to the outer loop: leave it for that loop and wait without messages.
        PostQuitMessage(static_cast<int>(message.wParam));
        ended.wait_for(std::chrono::milliseconds(wait_slice_ms));
        return;
    }
    // Tab and arrow keys move between the controls of a modeless page.
    HWND page = m_dialogs.screen_window();
    if (page != nullptr && IsDialogMessageW(page, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void WindowsWorkerServices::wake_main_thread()
{
    if (m_pool_window != nullptr)
        PostMessageW(m_pool_window, WM_NULL, 0, 0);
    else
        PostThreadMessageW(m_main_thread, WM_NULL, 0, 0);
}

void WindowsWorkerServices::arm_worker_timer(WorkerKind kind, std::function<void()> on_tick)
{
    if (TImageListPool* pool = m_shell.pool())
        pool->arm(timer_of(kind), std::move(on_tick));
}

void WindowsWorkerServices::disarm_worker_timer(WorkerKind kind)
{
    if (TImageListPool* pool = m_shell.pool())
        pool->disarm(timer_of(kind));
}

bool WindowsWorkerServices::worker_timer_armed(WorkerKind kind) const
{
    TImageListPool* pool = m_shell.pool();
    return pool != nullptr && pool->armed(timer_of(kind));
}

PluginCaller WindowsWorkerServices::plugin_caller() const
{
    // Refers to nothing of the engine: a worker given up after a cancel may still be inside it.
    return [](const PluginInvocation& invocation) {
        PluginCall call{invocation.library_path, invocation.window, invocation.variables, invocation.parameter,
                        invocation.progress};
        return RunPluginLibrary(call);
    };
}

ArchiveExtractor WindowsWorkerServices::archive_extractor() const
{
    // The archive library beside the engine, loaded by the worker for its one
    // extraction; like the plug-in caller this keeps nothing of the engine.
    std::string library = folder_part(m_engine_file) + "qvo.lib";
    return [library](const ArchiveExtraction& job, const ArchiveProgress& progress) -> Result<void> {
        ArchiveLibrary archives = TRY(ArchiveLibrary::load(library));
        std::wstring target = win32::to_wide(job.target_folder);
        int created = SHCreateDirectoryExW(nullptr, target.c_str(), nullptr);
        if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS)
            return make_error(ErrorCode::win32, "Cannot create the folder " + job.target_folder,
                              static_cast<std::uint32_t>(created));
        return archives.ExtractWholeArchive(job.archive, job.password, job.target_folder, progress, job.overwrite,
                                            job.keep_paths);
    };
}

} // namespace quillon
