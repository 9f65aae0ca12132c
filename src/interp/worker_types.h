// The small types that the execution loop's host and the worker threads share.
#pragma once

#include "base/error.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

// One kind per long command; at most one worker of a kind runs at a time, and
// each kind has its own timer on the hidden main form.
enum class WorkerKind : std::uint8_t {
    run_app,        // "Run Program", "Run Light Mode Setup"
    run_as,         // "Run Program As"
    direct_extract, // "Extract 7Zip Archive"
    find_files,     // "Find All Files"
    plugin,         // plug-in commands
    copy_media,
    grab_media,
    extract_media,
};
inline constexpr std::size_t worker_kind_count = 8;

// How a worker that ignores its termination request is given up after a cancel.
enum class WorkerEnding : std::uint8_t {
    kill_timer, // on the timer's first tick
    watchdog,   // on a tick that finds no heartbeat since the last handled message
};
WorkerEnding worker_ending(WorkerKind kind) noexcept;

// Set once, by a worker thread as its very last step; waited for by the main
// thread. Polled rather than a condition variable: the condition variables of
// the Windows build's threads library can lose a wake-up against a timed wait
// and leave both threads waiting for ever (seen under load).
class WorkerSignal {
public:
    void set() { m_set.store(true, std::memory_order_release); }
    bool is_set() const { return m_set.load(std::memory_order_acquire); }
    // Whether the signal is set, waiting at most `slice` for it.
    bool wait_for(std::chrono::milliseconds slice)
    {
        auto deadline = std::chrono::steady_clock::now() + slice;
        while (!is_set()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    std::atomic<bool> m_set = false;
};

// The taskbar button's progress state, as PROGRESSMODE selects it.
enum class TaskbarMode : std::uint8_t { normal, indeterminate, error, paused };

// One call of a plug-in library's entry point (made on the worker thread).
struct PluginInvocation {
    std::string library_path;
    std::uintptr_t window = 0; // the current dialog, 0 for none
    std::string variables;     // the whole store as comma text
    std::string parameter;     // the plug-in's own parameter text
    // Position and text from the library; answers whether it may go on.
    std::function<bool(std::int32_t position, std::string_view text)> progress;
};

// Calls a library's entry point; no answer counts as the library returning -1.
using PluginCaller = std::function<std::optional<std::string>(const PluginInvocation& call)>;

// One whole-archive extraction ("Extract 7Zip Archive").
struct ArchiveExtraction {
    std::string archive;
    std::string target_folder;
    std::string password;
    bool overwrite = false;  // existing files are replaced
    bool keep_paths = false; // members keep their folders below the target
};
// The member being extracted and the position of total; answers whether to go on.
using ArchiveProgress = std::function<bool(const std::string& member, std::int64_t position, std::int64_t total)>;
// Creates the target folder and extracts into it (on the worker thread); the
// error's message is the text the script receives.
using ArchiveExtractor = std::function<Result<void>(const ArchiveExtraction& job, const ArchiveProgress& progress)>;

} // namespace quillon
