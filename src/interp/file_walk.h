// The walk over a folder tree that "Find All Files" and "Delete Files
// Recursive" share, on the paths a script names in the view of its platform mode.
#pragma once

#include "interp/file_system_access.h"
#include "platform/wow64_view.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The file system as a script of one platform mode sees it: a path it names
// is reached through the 32-bit system folder's mapping in "Win32" mode.
// Results keep the script's own path texts.
class FileView {
public:
    FileView(PlatformView view, SystemFolders folders) : m_view(view), m_folders(std::move(folders)) {}
    std::string real(std::string_view path) const { return map_to_view(path, m_view, m_folders); }

private:
    PlatformView m_view;
    SystemFolders m_folders;
};

// What the worker's walk reports and when it stops early.
struct WalkHooks {
    std::function<void()> entered_folder;                 // on entering each folder
    std::function<void(const std::string& path)> found_file; // for each file listed
    std::function<bool()> stop_requested;                 // after each subfolder and each file
};

// The paths matching the pattern's mask in its folder and, with recurse, in
// every folder below; with include_folders the folders too, each after its
// own contents. Files of a folder come after its subfolders.
std::vector<std::string> CollectFiles(const FolderFinder& find, const FileView& view, std::string_view pattern,
                                      bool recurse, bool include_folders, const WalkHooks& hooks = {});

// Deletes what the pattern matches below its folder, files and folders, read-only
// ones too, in passes until a pass changes nothing. The pattern's folder stays.
void DeleteFilesRecursive(FileSystemAccess& files, const FileView& view, std::string_view pattern);

// The paths joined by "|"; a path with a character up to the blank, a double
// quote or a "|" is enclosed in double quotes with its quotes doubled.
std::string delimited_paths(const std::vector<std::string>& paths);

} // namespace quillon
