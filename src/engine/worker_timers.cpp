#include "engine/worker_timers.h"

#include <algorithm>

namespace quillon {

namespace {

// The names the form gives its timers.
constexpr std::array<std::string_view, pool_timer_count> timer_names = {
    "thzTimer", "thyTimer", "thxTimer", "traxTimer", "tdemTimer", "traTimer", "tfafTimer", "plugTimer", "Win7Timer",
};

} // namespace

WorkerTimers::WorkerTimers()
{
    m_timers[static_cast<std::size_t>(PoolTimer::win7)].interval = 0; // set from the balloon's time-out
}

void WorkerTimers::stop_all()
{
    for (Timer& timer : m_timers)
        stop(timer);
}

std::string_view WorkerTimers::timer_name(PoolTimer timer)
{
    return timer_names[static_cast<std::size_t>(timer)];
}

void WorkerTimers::start(Timer& timer)
{
    stop(timer);
    if (timer.interval == 0 || m_window == nullptr)
        return;
    // A fresh id per start: a tick of an earlier start that is still queued can
    // never be taken for this one.
    UINT_PTR id = m_next_timer_id++;
    UINT interval = std::min<std::uint32_t>(timer.interval, USER_TIMER_MAXIMUM);
    if (SetTimer(m_window, id, interval, nullptr) != 0)
        timer.id = id;
}

void WorkerTimers::stop(Timer& timer)
{
    if (timer.id != 0 && m_window != nullptr)
        KillTimer(m_window, timer.id);
    timer.id = 0;
}

void WorkerTimers::fire(WPARAM id)
{
    for (Timer& timer : m_timers) {
        if (timer.armed && timer.id != 0 && timer.id == id) {
            stop(timer);
            timer.armed = false;
            // Moved out first: the callback may arm this timer again with a new one.
            std::function<void()> tick = std::move(timer.on_tick);
            timer.on_tick = nullptr;
            if (tick)
                tick();
            return;
        }
    }
    // A tick that was already queued when its timer was stopped or restarted.
    if (m_window != nullptr)
        KillTimer(m_window, id);
}

void WorkerTimers::arm(PoolTimer which, std::function<void()> on_tick)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    timer.on_tick = std::move(on_tick);
    timer.armed = true;
    start(timer);
}

void WorkerTimers::disarm(PoolTimer which)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    stop(timer);
    timer.armed = false;
    timer.on_tick = nullptr;
}

bool WorkerTimers::armed(PoolTimer which) const
{
    return m_timers[static_cast<std::size_t>(which)].armed;
}

void WorkerTimers::set_interval(PoolTimer which, std::uint32_t milliseconds)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    timer.interval = milliseconds;
    if (timer.armed)
        start(timer);
}

std::uint32_t WorkerTimers::interval(PoolTimer which) const
{
    return m_timers[static_cast<std::size_t>(which)].interval;
}

} // namespace quillon
