// Worker threads: long commands run on a thread of their own while the main
// thread handles one window message at a time, so the wizard stays
// responsive and the user can cancel. Workers and the main thread talk only
// through the reserved variables of the store.
#pragma once

#include "base/error.h"
#include "vars/reserved_names.h"
#include "interp/worker_types.h"
#include "vars/VariableManager.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class WorkerServices;
class TScriptExecutor;

namespace worker_text {

// Texts of ReportProgress: "$KYRT$" is a pure heartbeat, "$IGNORE$" keeps the status text.
inline constexpr std::string_view heartbeat_only = "$KYRT$";
inline constexpr std::string_view keep_text = "$IGNORE$";

inline constexpr std::string_view setup_cancelled = "Setup cancelled";
inline constexpr std::string_view cancel_at_run_as_time = "Cancel at Run-As Time";
inline constexpr std::string_view cancel_at_plug_in_time = "Cancel at Plug-In Time";
inline constexpr std::string_view cancel_at_light_mode_time = "Cancel at Light-Mode Time";
inline constexpr std::string_view cancel_at_find_files_time = "Cancel at Find-Files Time";
inline constexpr std::string_view cancel_at_extract_7zip_time = "Cancel at Extract-7Zip Time";
} // namespace worker_text

// A position of -1 leaves range and position as they are.
inline constexpr std::int64_t position_unchanged = -1;

// Publishes progress from any thread: the heartbeat, then range and position
// (unless the position is -1), then the status text (unless it is "$IGNORE$").
// Each write locks the store for that write alone, so a reader may see a new
// position with an old maximum.
void ReportProgress(TVariableManager& vars, std::string_view text, std::int64_t minimum, std::int64_t maximum,
                    std::int64_t position);

// The taskbar attention of a message shown during a long command: PROGRESSMODE
// is saved once and set to "ERROR" or "PAUSE", and put back when cleared.
class ProgressAttention {
public:
    explicit ProgressAttention(TVariableManager& vars) : m_vars(vars) {}
    // Both answer the state the taskbar shows afterwards.
    TaskbarMode set(bool error);
    TaskbarMode clear();
    TaskbarMode current() const;
    static TaskbarMode mode_of(std::string_view progress_mode);

private:
    TVariableManager& m_vars;
    std::optional<std::string> m_saved;
};

// What a worker thread and the main thread share. A worker writes variables
// and posts its finished call only through the gate; once the main thread has
// abandoned the worker (or the command is over) the gate is closed, and from
// then on nothing the worker does reaches the store or the main thread, even
// though the thread may still run. That is why a worker is never killed: a
// thread ended inside the store's lock or the heap's would take the setup with it.
class WorkerGate {
public:
    WorkerGate(TVariableManager& vars, WorkerServices& host, std::uint64_t generation)
        : m_vars(vars), m_host(host), m_generation(generation)
    {
    }

    // Runs write(vars) while the gate is open; answers whether it ran.
    bool write(const std::function<void(TVariableManager&)>& write);
    // Wakes the main thread's wait while the gate is open.
    void wake();
    // Queues the finished call for the main thread and wakes it.
    void post_finished(const std::function<void(std::uint64_t generation)>& post);
    // After close() returns no write of this worker is under way or will follow.
    void close();
    bool open() const;
    std::uint64_t generation() const { return m_generation; }
    // Every report of the worker counts: the tick count moves in steps of
    // many milliseconds, so two reports in one step look alike to the
    // heartbeat variables, and the watchdog would give up a worker that reports.
    void count_report() { m_reports.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t reports() const { return m_reports.load(std::memory_order_relaxed); }

private:
    // Guards m_open and is held across each write the worker makes, so that
    // close() waits for a write in progress. Taken before the store's own lock;
    // the main thread never holds the store's lock when it closes a gate.
    mutable std::mutex m_mutex;
    bool m_open = true;
    TVariableManager& m_vars;
    WorkerServices& m_host;
    const std::uint64_t m_generation;
    std::atomic<std::uint64_t> m_reports = 0;
};

// A worker's side: its termination request and its ways to report.
class WorkerContext {
public:
    explicit WorkerContext(std::shared_ptr<WorkerGate> gate, std::shared_ptr<std::atomic<bool>> stop)
        : m_gate(std::move(gate)), m_stop(std::move(stop))
    {
    }

    // Polled between units of work; the worker stops when it is set.
    bool stop_requested() const { return m_stop->load(std::memory_order_acquire); }
    // Whether the main thread has given the worker up: nothing it delivers counts any more.
    bool given_up() const { return !m_gate->open(); }
    // ReportProgress through the gate.
    void report_progress(std::string_view text, std::int64_t minimum, std::int64_t maximum, std::int64_t position);
    // Wakes the main thread's wait (the WM_NULL of the media workers).
    void wake_main_thread();
    // One variable write through the gate; false once the worker was given up.
    bool write(std::string_view name, std::string_view value);

private:
    std::shared_ptr<WorkerGate> m_gate;
    std::shared_ptr<std::atomic<bool>> m_stop;
};

struct WorkerRequest {
    WorkerKind kind = WorkerKind::plugin;
    // Runs on the worker thread. What it computes goes into state that the
    // caller shares with it (a shared_ptr), read only when the outcome is finished.
    std::function<void(WorkerContext&)> body;
    // Origin of ABORTEDONERROR when a cancel does not end the script.
    std::string_view cancel_origin;
    // The program-running workers publish PROGRESS and PROGRESSTEXT before every wait step.
    bool publishes_program_progress = false;
    // A command applies the cancel rules after its wait; the media fetch
    // reports a cancelled worker as its own failure instead.
    bool apply_cancel_rules = true;
};

enum class WorkerEnd : std::uint8_t {
    finished,  // the worker's finished call arrived
    abandoned, // its timer gave it up after a cancel; its results are not to be read
};

struct WorkerOutcome {
    WorkerEnd end = WorkerEnd::finished;
    bool cancelled = false; // KYRT_IsCancelled held a true Boolean after the wait
};

// The interpreter's side of the workers: the busy flag, the finished flags,
// the marshalled calls and the timers that give up a cancelled worker.
class WorkerControl {
public:
    WorkerControl(TVariableManager& vars, WorkerServices& host) : m_vars(vars), m_host(host) {}
    WorkerControl(const WorkerControl&) = delete;
    WorkerControl& operator=(const WorkerControl&) = delete;

    // Starts the worker, waits for it with the cancel protocol and applies the
    // cancel rules (which may end the script through the executor).
    Result<WorkerOutcome> run(TScriptExecutor& executor, WorkerRequest request);

    // True while the main thread waits for a worker (and while "Set Variable"
    // refreshes the progress display); the visible dialog refreshes its
    // progress controls once a second while it is set.
    bool busy() const { return m_busy; }
    void set_busy(bool busy) { m_busy = busy; }
    bool finished(WorkerKind kind) const { return m_slots[index(kind)].finished; }

private:
    struct Slot {
        bool finished = true;
        bool abandoned = false;
        std::uint64_t generation = 0;
        std::shared_ptr<WorkerGate> gate;
        std::uint64_t reports_seen = 0; // the gate's report count at the last heartbeat copy
    };
    static std::size_t index(WorkerKind kind) { return static_cast<std::size_t>(kind); }

    void run_queued_calls();
    void timer_fired(WorkerKind kind, std::uint64_t generation);
    void abandon(Slot& slot);

    TVariableManager& m_vars;
    WorkerServices& m_host;
    bool m_busy = false;
    std::uint64_t m_generation = 0;
    std::array<Slot, worker_kind_count> m_slots;

    // Finished calls posted by workers: generation of the worker.
    // Guards m_queued only; nothing is called while it is held.
    std::mutex m_queue_mutex;
    std::vector<std::uint64_t> m_queued;
};

// The cancel rules of a long command: "Setup cancelled" (unless ABORTEDONERROR
// is already true), then the end of the script when ABORTONERROR is true, else
// ABORTEDONERROR := "TRUE" under the command's origin.
void ApplyCancelRules(TScriptExecutor& executor, std::string_view origin);

} // namespace quillon
