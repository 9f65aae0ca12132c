// The hand-over between a folder's decoder thread and the thread that writes
// the files: a bounded queue of decoded chunks and file ends, so that the
// decoder runs ahead of the writer by at most a few chunks (memory stays
// bounded) and either side can stop the other.
#pragma once

#include "base/error.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

namespace quillon::sevenzip {

class FolderPipe {
public:
    enum class Kind { data, end_of_file, failure };
    struct Event {
        Kind kind = Kind::data;
        std::vector<std::byte> bytes; // data
        Error error;                  // failure
    };

    explicit FolderPipe(std::size_t capacity) : m_capacity(capacity) {}

    // Waits for room; false once the reader stopped the pipe (the event is dropped).
    bool push(Event event)
    {
        std::unique_lock lock(m_mutex);
        wait(lock, [&] { return m_stopped || m_events.size() < m_capacity; });
        if (m_stopped)
            return false;
        m_events.push_back(std::move(event));
        m_changed.notify_all();
        return true;
    }

    // Waits for the next event.
    Event pop()
    {
        std::unique_lock lock(m_mutex);
        wait(lock, [&] { return !m_events.empty(); });
        Event event = std::move(m_events.front());
        m_events.pop_front();
        m_changed.notify_all();
        return event;
    }

    // The reader gives up: a waiting or later push returns false.
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

private:
    // Waits in short slices: the Windows build's threads library can lose a
    // wake-up, which must cost a moment, never a hang.
    template <typename Ready>
    void wait(std::unique_lock<std::mutex>& lock, Ready ready)
    {
        while (!ready())
            m_changed.wait_for(lock, std::chrono::milliseconds(5));
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Event> m_events;
    const std::size_t m_capacity;
    bool m_stopped = false;
};

} // namespace quillon::sevenzip
