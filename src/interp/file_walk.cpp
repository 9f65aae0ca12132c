#include "interp/file_walk.h"

#include "base/paths.h"

namespace quillon {

namespace {

struct Walk {
    const FolderFinder& find;
    const FileView& view;
    std::string_view mask;
    bool recurse;
    bool include_folders;
    const WalkHooks& hooks;

    bool stopped() const { return hooks.stop_requested && hooks.stop_requested(); }

    // Appends what lies in folder (with its trailing backslash); false when told to stop.
    bool collect(const std::string& folder, std::vector<std::string>& found) const
    {
        if (hooks.entered_folder)
            hooks.entered_folder();
        for (const FolderEntry& entry : find(view.real(folder + "*.*"))) {
            if (!entry.folder)
                continue;
            if (recurse) {
                if (!collect(folder + entry.name + "\\", found))
                    return false;
                if (stopped())
                    return false;
            }
            if (include_folders)
                found.push_back(folder + entry.name);
        }
        for (const FolderEntry& entry : find(view.real(folder + std::string(mask)))) {
            if (entry.folder)
                continue;
            found.push_back(folder + entry.name);
            if (hooks.found_file)
                hooks.found_file(found.back());
            if (stopped())
                return false;
        }
        return true;
    }
};

bool needs_quotes(std::string_view path)
{
    for (char c : path)
        if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '|')
            return true;
    return false;
}

} // namespace

std::vector<std::string> CollectFiles(const FolderFinder& find, const FileView& view, std::string_view pattern,
                                      bool recurse, bool include_folders, const WalkHooks& hooks)
{
    std::string folder = folder_part(pattern);
    std::string mask = file_name_part(pattern);
    std::vector<std::string> found;
    Walk{find, view, mask, recurse, include_folders, hooks}.collect(folder, found);
    return found;
}

void DeleteFilesRecursive(FileSystemAccess& files, const FileView& view, std::string_view pattern)
{
    FolderFinder find = files.folder_finder();
    std::vector<std::string> entries = CollectFiles(find, view, pattern, true, true);
    for (;;) {
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            files.delete_file(view.real(*entry));
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry)
            files.remove_folder(view.real(*entry));
        std::vector<std::string> left = CollectFiles(find, view, pattern, true, true);
        // A pass that removed nothing ends it; so does one that found more (something
        // else is writing there), so that the command always ends.
        if (left.size() >= entries.size())
            return;
        entries = std::move(left);
    }
}

std::string delimited_paths(const std::vector<std::string>& paths)
{
    std::string text;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        if (k > 0)
            text += '|';
        const std::string& path = paths[k];
        if (!needs_quotes(path)) {
            text += path;
            continue;
        }
        text += '"';
        for (char c : path) {
            if (c == '"')
                text += '"';
            text += c;
        }
        text += '"';
    }
    return text;
}

} // namespace quillon
