// The one-shot timers of the hidden main form that end cancelled workers (and
// the balloon's attention timer). They run on the form's window, on the main
// thread; the form hands its WM_TIMER messages to fire().
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace quillon {

enum class PoolTimer : std::uint8_t { thz, thy, thx, trax, tdem, tra, tfaf, plug, win7 };
inline constexpr std::size_t pool_timer_count = 9;

class WorkerTimers {
public:
    WorkerTimers();
    WorkerTimers(const WorkerTimers&) = delete;
    WorkerTimers& operator=(const WorkerTimers&) = delete;
    ~WorkerTimers() { stop_all(); }

    // The window the system timers run on; set once it exists.
    void attach(HWND window) { m_window = window; }

    // One-shot timers, disarmed at creation: a timer disarms itself when it
    // fires, before on_tick runs, so on_tick may arm it again. Arming an armed
    // timer restarts its interval with the new callback. A timer whose interval
    // is 0 stays armed without running until an interval is set.
    void arm(PoolTimer timer, std::function<void()> on_tick);
    void disarm(PoolTimer timer);
    bool armed(PoolTimer timer) const;
    // Restarts an armed timer with the new interval.
    void set_interval(PoolTimer timer, std::uint32_t milliseconds);
    std::uint32_t interval(PoolTimer timer) const;
    static std::string_view timer_name(PoolTimer timer); // "thzTimer" ... "Win7Timer"

    // A WM_TIMER of the window.
    void fire(WPARAM id);
    void stop_all();

private:
    struct Timer {
        std::uint32_t interval = 5000;
        bool armed = false;
        UINT_PTR id = 0; // of the running system timer, 0 when none runs
        std::function<void()> on_tick;
    };
    void start(Timer& timer);
    void stop(Timer& timer);

    HWND m_window = nullptr;
    std::array<Timer, pool_timer_count> m_timers;
    UINT_PTR m_next_timer_id = 1;
};

} // namespace quillon
