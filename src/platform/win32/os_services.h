// Services of Windows that a setup's commands ask for, one call each: the
// file-system redirection of a 32-bit process, restarting, the RunOnce
// entries, short names, found names and temporary files.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace quillon::win32 {

// Whether the process runs under WOW64 (a 32-bit process on 64-bit Windows).
bool running_under_wow64();

// The file-system redirection of a WOW64 process, turned off until reverted.
// Outside WOW64 there is nothing to turn off.
class FileSystemRedirection {
public:
    FileSystemRedirection() = default;
    ~FileSystemRedirection() { revert(); }
    FileSystemRedirection(const FileSystemRedirection&) = delete;
    FileSystemRedirection& operator=(const FileSystemRedirection&) = delete;

    // Whether it was turned off now (and must be reverted).
    bool disable();
    void revert();

private:
    void* m_cookie = nullptr;
};

// Asks Windows to restart, with the shutdown privilege enabled; a refused
// restart is not an error of the caller (the run then ends normally).
void restart_windows();

// A value of the RunOnce key of the machine or the user.
void write_run_once_entry(bool all_users, const std::string& name, const std::string& command);
void delete_run_once_entry(bool all_users, const std::string& name);

// The process's current folder (empty when it cannot be read), and changing it
// (false for an empty folder or when it cannot be changed).
std::string current_folder();
bool set_current_folder(const std::string& folder);

// The short (8.3) form of an existing path.
std::optional<std::string> short_path_name(const std::string& path);
// The name the file system reports for the last part of a path; nothing when it is not found.
std::optional<std::string> found_file_name(const std::string& path);
// An empty file with a unique name in the folder; its full path, or empty.
std::string create_temp_file(const std::string& folder, const std::string& prefix);

// Writes the file whole or not at all: under a temporary name in the same
// folder, then renamed over the path, so that a write cut short by a full
// disk or a crash never stands under the final name.
Result<void> write_whole_file(const std::string& path, std::span<const std::byte> bytes);
// The same for a file that holds a user's choices or secrets: readable only by
// the system, the administrators and the user who writes it.
Result<void> write_private_file(const std::string& path, std::span<const std::byte> bytes);

} // namespace quillon::win32
