// The file system of the file and INI commands on Windows. Paths come already
// in the view of the platform mode; the engine is a 64-bit program, so nothing
// is redirected on the way.
#pragma once

#include "interp/file_system_access.h"

namespace quillon {

class WindowsFileSystem : public FileSystemAccess {
public:
    bool file_exists(const std::string& path) override;
    bool folder_exists(const std::string& path) override;
    std::optional<DiskSpace> disk_space(const std::string& path) override;
    std::optional<std::string> read_file(const std::string& path) override;
    bool replace_file(const std::string& path, std::string_view content) override;
    FolderFinder folder_finder() const override;
    void delete_file(const std::string& path) override;
    void remove_folder(const std::string& path) override;
    std::string profile_string(const std::string& file, const std::string& section, const std::string& key,
                               std::size_t limit) override;
};

} // namespace quillon
