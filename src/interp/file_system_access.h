// The file system as the file and INI commands reach it: one small role of
// plain operations on paths that are already in the view of the platform mode.
// What a script sees is decided in file_walk, text_files and file_versions;
// the engine carries it out on Windows, tests give an in-memory fake. None of
// the operations reports an error: the commands that use them never do.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One entry a search pattern matched ("." and ".." are never given).
struct FolderEntry {
    std::string name;
    bool folder = false;
};

struct DiskSpace {
    std::uint64_t free_to_caller = 0; // what the user's quota lets the engine use
    std::uint64_t total = 0;
};

// The entries matching a pattern whose last part is a mask (FindFirstFile's
// rules), in the order the file system gives them.
using FolderFinder = std::function<std::vector<FolderEntry>(const std::string& pattern)>;

class FileSystemAccess {
public:
    virtual ~FileSystemAccess() = default;

    // Whether a file (not a folder), or a folder, exists at the path.
    virtual bool file_exists(const std::string& path) = 0;
    virtual bool folder_exists(const std::string& path) = 0;
    // The space of the drive that holds the folder; nothing when the path is not one.
    virtual std::optional<DiskSpace> disk_space(const std::string& path) = 0;
    // The whole file, byte for byte; nothing when it cannot be read.
    virtual std::optional<std::string> read_file(const std::string& path) = 0;
    // Replaces the file with the content, whole or not at all: a failure leaves
    // the old file as it was. A read-only file is replaced too. Answers whether it was.
    virtual bool replace_file(const std::string& path, std::string_view content) = 0;
    // The search of folders. It is copied to the worker of "Find All Files",
    // which may outlive the engine's objects when it is given up, so it must not refer to them.
    virtual FolderFinder folder_finder() const = 0;
    // Clears the attributes and deletes a file; removes an empty folder. Failures are ignored.
    virtual void delete_file(const std::string& path) = 0;
    virtual void remove_folder(const std::string& path) = 0;
    // GetPrivateProfileString's answer, at most `limit` characters; empty when
    // the file, the section or the key is missing.
    virtual std::string profile_string(const std::string& file, const std::string& section, const std::string& key,
                                       std::size_t limit) = 0;
};

} // namespace quillon
