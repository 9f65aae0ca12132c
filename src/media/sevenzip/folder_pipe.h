// The hand-over between a folder's decoder thread and the thread that writes
// the files: a queue of decoded chunks and file ends bounded in bytes, so
// that the decoder runs ahead of the writer by a bounded amount and either
// side can stop the other.
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

// Waits in short slices: the Windows build's threads library can lose a
// wake-up, which must cost a moment, never a hang.
template <typename Ready>
void wait_in_slices(std::condition_variable& changed, std::unique_lock<std::mutex>& lock, Ready ready)
{
    while (!ready())
        changed.wait_for(lock, std::chrono::milliseconds(5));
}

class FolderPipe {
public:
    enum class Kind { data, end_of_file, failure };
    struct Event {
        Kind kind = Kind::data;
        std::vector<std::byte> bytes; // data
        Error error;                  // failure
    };

    // Holds up to capacity bytes of data (and at most a bounded count of
    // events, each file adding its end); chunk_size is the decoder's buffer.
    FolderPipe(std::size_t capacity, std::size_t chunk_size) : m_capacity(capacity), m_chunk_size(chunk_size) {}

    // Waits for room; false once the reader stopped the pipe (the event is dropped).
    // An event always fits into an empty pipe.
    bool push(Event event)
    {
        std::unique_lock lock(m_mutex);
        const std::size_t size = event.bytes.capacity();
        wait_in_slices(m_changed, lock, [&] {
            return m_stopped || m_events.empty() || (m_queued + size <= m_capacity && m_events.size() < most_events);
        });
        if (m_stopped)
            return false;
        m_queued += size;
        m_events.push_back(std::move(event));
        m_changed.notify_all();
        return true;
    }

    // Waits for the next event.
    Event pop()
    {
        std::unique_lock lock(m_mutex);
        wait_in_slices(m_changed, lock, [&] { return !m_events.empty(); });
        Event event = std::move(m_events.front());
        m_events.pop_front();
        m_queued -= event.bytes.capacity();
        m_changed.notify_all();
        return event;
    }

    // A written full chunk's buffer goes back to the decoder: a fresh
    // megabyte per chunk costs page faults and zeroing, under Wine a system
    // call too. Smaller chunks (the ends of files) are allocated as they are,
    // so that the bytes a pipe holds are the bytes it counts.
    void recycle(std::vector<std::byte> bytes)
    {
        if (bytes.capacity() != m_chunk_size)
            return;
        std::lock_guard lock(m_mutex);
        if (m_spare.size() * m_chunk_size < m_capacity)
            m_spare.push_back(std::move(bytes));
    }

    // A buffer of size bytes, recycled when it is a full chunk and one is there.
    std::vector<std::byte> buffer(std::size_t size)
    {
        std::vector<std::byte> bytes;
        if (size == m_chunk_size) {
            std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                bytes = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        bytes.resize(size);
        return bytes;
    }

    // The writer is done with the folder: its spare buffers go back to the system.
    void drop_spares()
    {
        std::lock_guard lock(m_mutex);
        m_spare.clear();
    }

    // The reader gives up: a waiting or later push returns false.
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

private:
    static constexpr std::size_t most_events = 4096; // small files: two events each

    std::mutex m_mutex; // guards m_events, m_queued, m_spare and m_stopped; nothing calls out while holding it
    std::condition_variable m_changed;
    std::deque<Event> m_events;
    std::size_t m_queued = 0; // bytes of the data events
    std::vector<std::vector<std::byte>> m_spare;
    const std::size_t m_capacity;
    const std::size_t m_chunk_size;
    bool m_stopped = false;
};

// Which folders the decoders may start: the one being written and the next
// few. A decoder that finished a folder early would otherwise go on to the
// next ones and their pipes would fill too; with the window, decoded data
// waiting for the writer never exceeds the window's pipes.
class DecodeWindow {
public:
    explicit DecodeWindow(std::size_t width) : m_width(width) {}

    // Waits until folder job may start; false once stopped.
    bool wait_for(std::size_t job)
    {
        std::unique_lock lock(m_mutex);
        wait_in_slices(m_changed, lock, [&] { return m_stopped || job < m_writing + m_width; });
        return !m_stopped;
    }

    // The writer reached folder job.
    void advance(std::size_t job)
    {
        std::lock_guard lock(m_mutex);
        if (job > m_writing) {
            m_writing = job;
            m_changed.notify_all();
        }
    }

    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex; // guards m_writing and m_stopped; nothing calls out while holding it
    std::condition_variable m_changed;
    const std::size_t m_width;
    std::size_t m_writing = 0;
    bool m_stopped = false;
};

} // namespace quillon::sevenzip
