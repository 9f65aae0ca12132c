#include "interp/mscriptexecthread.h"
#include "vars/reserved_names.h"

#include "base/clock.h"
#include "base/scope_exit.h"
#include "base/thread.h"
#include "base/strings.h"
#include "interp/mscriptexec.h"
#include "vars/mEval.h"
#include "vars/texts.h"

#include <exception>
#include <string>

namespace quillon {

namespace {

constexpr std::string_view mode_error = "ERROR";
constexpr std::string_view mode_pause = "PAUSE";
constexpr std::string_view mode_marquee = "MARQUEE";

using Writer = std::function<void(std::string_view name, std::string_view value)>;

void report_progress(const Writer& write, std::string_view text, std::int64_t minimum, std::int64_t maximum,
                     std::int64_t position)
{
    write(var::last_delegate_tick, std::to_string(tick_count()));
    // "$KYRT$" takes all four values from the variables themselves: writing them
    // back would change nothing, so the call is the heartbeat alone.
    if (text == worker_text::heartbeat_only)
        return;
    if (position != position_unchanged) {
        write(var::thread_maximum, std::to_string(maximum));
        write(var::thread_minimum, std::to_string(minimum));
        write(var::thread_progress, std::to_string(position));
    }
    if (text != worker_text::keep_text)
        write(var::thread_progress_text, text);
}

bool variable_true(const TVariableManager& vars, std::string_view name)
{
    return text_is_true(GetVar(vars, name));
}

} // namespace

WorkerEnding worker_ending(WorkerKind kind) noexcept
{
    return kind == WorkerKind::run_app || kind == WorkerKind::run_as ? WorkerEnding::kill_timer
                                                                     : WorkerEnding::watchdog;
}

void ReportProgress(TVariableManager& vars, std::string_view text, std::int64_t minimum, std::int64_t maximum,
                    std::int64_t position)
{
    report_progress([&vars](std::string_view name, std::string_view value) { vars.SetValue(name, value); }, text,
                    minimum, maximum, position);
}

TaskbarMode ProgressAttention::mode_of(std::string_view progress_mode)
{
    if (progress_mode == mode_marquee)
        return TaskbarMode::indeterminate;
    if (progress_mode == mode_error)
        return TaskbarMode::error;
    if (progress_mode == mode_pause)
        return TaskbarMode::paused;
    return TaskbarMode::normal;
}

TaskbarMode ProgressAttention::current() const
{
    return mode_of(GetVar(m_vars, var::progress_mode));
}

TaskbarMode ProgressAttention::set(bool error)
{
    // Saved once: a second attention before the first is cleared must not
    // make "ERROR" the mode to return to.
    if (!m_saved)
        m_saved = GetVar(m_vars, var::progress_mode);
    DefineVar(m_vars, var::progress_mode, error ? mode_error : mode_pause, origin::cancel_state);
    return current();
}

TaskbarMode ProgressAttention::clear()
{
    if (m_saved) {
        DefineVar(m_vars, var::progress_mode, *m_saved, origin::cancel_state);
        m_saved.reset();
    }
    return current();
}

bool WorkerGate::write(const std::function<void(TVariableManager&)>& write)
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return false;
    write(m_vars);
    return true;
}

void WorkerGate::post_finished(const std::function<void(std::uint64_t)>& post)
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return;
    post(m_generation);
    m_host.wake_main_thread();
}

void WorkerGate::wake()
{
    std::lock_guard lock(m_mutex);
    if (m_open)
        m_host.wake_main_thread();
}

void WorkerGate::close()
{
    std::lock_guard lock(m_mutex);
    m_open = false;
}

bool WorkerGate::open() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

void WorkerContext::report_progress(std::string_view text, std::int64_t minimum, std::int64_t maximum,
                                    std::int64_t position)
{
    m_gate->count_report();
    m_gate->write([&](TVariableManager& vars) {
        quillon::report_progress([&vars](std::string_view name, std::string_view value) { vars.SetValue(name, value); },
                                 text, minimum, maximum, position);
    });
}

void WorkerContext::wake_main_thread()
{
    m_gate->wake();
}

bool WorkerContext::write(std::string_view name, std::string_view value)
{
    return m_gate->write([&](TVariableManager& vars) { vars.SetValue(name, value); });
}

Result<WorkerOutcome> WorkerControl::run(TScriptExecutor& executor, WorkerRequest request)
{
    Slot& slot = m_slots[index(request.kind)];
    std::uint64_t generation = ++m_generation;
    auto gate = std::make_shared<WorkerGate>(m_vars, m_host, generation);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    auto ended = std::make_shared<WorkerSignal>();
    slot = Slot{.finished = false, .abandoned = false, .generation = generation, .gate = gate};
    m_busy = true;
    // Whatever happens below, the command leaves no armed timer and no open gate behind.
    ScopeExit cleanup([&] {
        m_host.disarm_worker_timer(request.kind);
        gate->close();
        slot.finished = true;
        m_busy = false;
    });

    // A cancel made before the command reaches the worker at its first look.
    if (variable_true(m_vars, var::is_cancelled))
        stop->store(true, std::memory_order_release);
    WorkerControl* control = this;
    TRY(start_detached_thread([gate, stop, ended, control, body = std::move(request.body)]() noexcept {
        try {
            WorkerContext context(gate, stop);
            body(context);
        } catch (...) {
            // A worker's own failure leaves its results unset; the command reads them as such.
        }
        gate->post_finished([control](std::uint64_t finished_generation) {
            std::lock_guard lock(control->m_queue_mutex);
            control->m_queued.push_back(finished_generation);
        });
        ended->set();
    }));

    WorkerOutcome outcome;
    const bool heartbeat = worker_ending(request.kind) == WorkerEnding::watchdog;
    while (!slot.finished) {
        if (request.publishes_program_progress) {
            std::int64_t position = parse_int64(GetVar(m_vars, var::progress)).value_or(0);
            ReportProgress(m_vars, GetVar(m_vars, var::progress_text), 0, 100, position);
        }
        m_host.wait_step(*ended);
        run_queued_calls();
        if (slot.finished)
            break;
        if (variable_true(m_vars, var::is_cancelled)) {
            stop->store(true, std::memory_order_release);
            if (heartbeat) {
                slot.reports_seen = gate->reports();
                m_vars.SetValue(var::last_active_tick, GetVar(m_vars, var::last_delegate_tick));
            }
            if (!m_host.worker_timer_armed(request.kind))
                m_host.arm_worker_timer(request.kind,
                                        [this, kind = request.kind, generation] { timer_fired(kind, generation); });
        }
    }
    m_host.disarm_worker_timer(request.kind);
    outcome.end = slot.abandoned ? WorkerEnd::abandoned : WorkerEnd::finished;
    outcome.cancelled = variable_true(m_vars, var::is_cancelled);
    if (outcome.cancelled && request.apply_cancel_rules)
        ApplyCancelRules(executor, request.cancel_origin);
    return outcome;
}

void WorkerControl::run_queued_calls()
{
    std::vector<std::uint64_t> queued;
    {
        std::lock_guard lock(m_queue_mutex);
        queued.swap(m_queued);
    }
    for (std::uint64_t generation : queued) {
        for (Slot& slot : m_slots) {
            // A call of a worker that was given up, or of an earlier command, is stale.
            if (slot.generation == generation && !slot.finished)
                slot.finished = true;
        }
    }
}

void WorkerControl::timer_fired(WorkerKind kind, std::uint64_t generation)
{
    Slot& slot = m_slots[index(kind)];
    if (slot.generation != generation || slot.finished)
        return;
    if (worker_ending(kind) == WorkerEnding::watchdog) {
        std::string delegate = GetVar(m_vars, var::last_delegate_tick);
        std::uint64_t reports = slot.gate->reports();
        if (GetVar(m_vars, var::last_active_tick) != delegate || reports != slot.reports_seen) {
            // The worker reported since the last check: give it another interval.
            slot.reports_seen = reports;
            m_vars.SetValue(var::last_active_tick, delegate);
            m_host.arm_worker_timer(kind, [this, kind, generation] { timer_fired(kind, generation); });
            return;
        }
    }
    abandon(slot);
}

void WorkerControl::abandon(Slot& slot)
{
    // Closing the gate first: once finished is set, nothing the thread does may land.
    slot.gate->close();
    slot.abandoned = true;
    slot.finished = true;
}

void ApplyCancelRules(TScriptExecutor& executor, std::string_view origin)
{
    TVariableManager& vars = executor.vars();
    UserInterface& host = executor.ui();
    if (!variable_true(vars, var::aborted_on_error)) {
        host.set_attention(true);
        host.show_error_message(std::string(worker_text::setup_cancelled));
        host.clear_attention();
    }
    if (variable_true(vars, var::abort_on_error))
        executor.end_script(ScriptOutcome::cancelled);
    else
        SetVar(vars, var::aborted_on_error, "TRUE", origin);
}

} // namespace quillon
