#include "dialogs/folder_binding.h"

#include "base/paths.h"
#include "base/strings.h"

#include <cctype>

namespace quillon {

namespace {

constexpr std::int32_t tag_destination = 1;

// Doubled backslashes reduced, a network path's leading pair kept.
std::string reduced(const std::string& path)
{
    bool network = path.starts_with("\\\\");
    std::string text = replace_all(path, "\\\\", "\\");
    if (network && !text.starts_with("\\\\"))
        text.insert(0, 1, '\\');
    return text;
}

std::string drive_root(const std::string& path)
{
    if (path.size() < 2 || path[1] != ':' || !std::isalpha(static_cast<unsigned char>(path[0])))
        return {};
    return path.substr(0, 2) + "\\";
}

FolderView folder_view(const std::string& folder, std::string file = {})
{
    return {without_backslash(folder), std::move(file)};
}

// A file list points at a file's folder and selects it, or at a folder.
std::optional<FolderView> file_list_view(const std::string& value, const PathProbe& probe)
{
    PathKind kind = probe(value);
    if (kind == PathKind::file)
        return folder_view(folder_part(value), value);
    if (kind == PathKind::folder)
        return folder_view(value);
    return std::nullopt;
}

bool wildcard_match(std::string_view name, std::string_view pattern)
{
    std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || std::tolower(static_cast<unsigned char>(pattern[p])) ==
                                                            std::tolower(static_cast<unsigned char>(name[n])))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool IsFolderControl(ControlKind kind)
{
    switch (kind) {
    case ControlKind::file_list_box:
    case ControlKind::directory_list_box:
    case ControlKind::drive_combo_box:
    case ControlKind::shell_tree:
    case ControlKind::shell_list:
    case ControlKind::shell_combo: return true;
    default: return false;
    }
}

std::pair<std::string, std::string> ResolveExisting(const std::string& path, const PathProbe& probe)
{
    std::string folder = path;
    while (!folder.empty() && probe(folder) != PathKind::folder) {
        std::string parent = with_backslash(parent_folder(folder));
        if (parent == folder || parent == with_backslash(folder))
            break;
        folder = parent;
    }
    std::string tail = path.size() > folder.size() ? path.substr(folder.size()) : std::string();
    if (!tail.empty() && tail.front() == '\\')
        tail.erase(0, 1);
    return {folder, tail};
}

std::string DestinationAfterChoice(const std::string& shown_target, const std::string& unresolved_tail,
                                   const std::string& chosen)
{
    std::string shown = shown_target.empty() ? chosen : shown_target;
    if (find_nocase(shown, chosen) == 0)
        return shown;
    return with_backslash(chosen) + unresolved_tail;
}

std::optional<FolderView> PreparedView(ControlKind kind, std::int32_t tag, const std::optional<std::string>& bound,
                                       const std::string& destination, const PathProbe& probe)
{
    if (!IsFolderControl(kind))
        return std::nullopt;
    std::optional<FolderView> view;
    if (bound) {
        std::string value = reduced(*bound);
        if (kind == ControlKind::file_list_box) {
            view = file_list_view(value, probe);
            if (!view && probe(folder_part(value)) == PathKind::folder)
                view = folder_view(folder_part(value));
        } else if (kind == ControlKind::drive_combo_box) {
            std::string root = drive_root(value);
            if (!root.empty() && probe(root) == PathKind::folder)
                view = folder_view(root);
        } else if (probe(value) == PathKind::folder) {
            view = folder_view(value);
        }
    }
    if (tag == tag_destination && !destination.empty()) {
        if (kind == ControlKind::drive_combo_box)
            view = folder_view(drive_root(destination));
        else
            view = folder_view(destination);
    }
    return view;
}

std::optional<FolderView> LiveView(ControlKind kind, const std::string& raw_value, const PathProbe& probe)
{
    std::string value = reduced(raw_value);
    switch (kind) {
    case ControlKind::file_list_box: return file_list_view(value, probe);
    case ControlKind::drive_combo_box: {
        std::string root = drive_root(value);
        if (!root.empty() && probe(root) == PathKind::folder)
            return folder_view(root);
        return std::nullopt;
    }
    case ControlKind::directory_list_box:
    case ControlKind::shell_tree:
    case ControlKind::shell_list:
    case ControlKind::shell_combo:
        if (probe(value) == PathKind::folder)
            return folder_view(value);
        return std::nullopt;
    default: return std::nullopt;
    }
}

std::optional<FolderWrite> FolderChange(ControlKind kind, FolderEvent event, std::int32_t tag, const std::string& path,
                                        bool item_is_folder)
{
    FolderWrite write{path, {}, std::nullopt};
    std::string folder = path; // what becomes the destination
    switch (kind) {
    case ControlKind::file_list_box:
        write.origin = "FileListBox1Change";
        folder = without_backslash(folder_part(path));
        break;
    case ControlKind::directory_list_box: write.origin = "DirectoryListBox1Change"; break;
    case ControlKind::drive_combo_box: write.origin = "DriveComboBox1Change"; break;
    case ControlKind::shell_tree: write.origin = "PTShellTree1Change"; break;
    case ControlKind::shell_combo: write.origin = "PTShellCombo1Change"; break;
    case ControlKind::shell_list:
        if (event == FolderEvent::folder_opened) {
            write.origin = "PTShellList1FolderChanged";
        } else {
            // A subfolder only selected is not a choice yet: it counts once the list opens it.
            if (item_is_folder)
                return std::nullopt;
            write.origin = "PTShellList1Change";
            folder = without_backslash(folder_part(path));
        }
        break;
    default: return std::nullopt;
    }
    if (tag == tag_destination && !folder.empty())
        write.destination = folder;
    return write;
}

std::vector<FolderLevel> FolderLevels(const std::string& folder)
{
    std::vector<FolderLevel> levels;
    std::string path = without_backslash(folder);
    if (path.empty())
        return levels;
    std::size_t start = 0;
    if (is_drive_root(path.substr(0, 3))) {
        levels.push_back({path.substr(0, 3), path.substr(0, 3)});
        start = 3;
    } else if (path.starts_with("\\\\")) {
        // A network share counts as one level, as a drive does.
        std::size_t server_end = path.find('\\', 2);
        std::size_t share_end = server_end == std::string::npos ? std::string::npos : path.find('\\', server_end + 1);
        std::string share = path.substr(0, share_end);
        levels.push_back({share, share});
        start = share_end == std::string::npos ? path.size() : share_end + 1;
    }
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        std::string name = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string full = path.substr(0, end);
        if (!name.empty())
            levels.push_back({name, full});
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return levels;
}

bool MatchesMask(std::string_view name, std::string_view mask)
{
    if (mask.empty())
        return true;
    std::size_t at = 0;
    while (at <= mask.size()) {
        std::size_t end = mask.find(';', at);
        std::string_view pattern = mask.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        while (!pattern.empty() && pattern.front() == ' ')
            pattern.remove_prefix(1);
        while (!pattern.empty() && pattern.back() == ' ')
            pattern.remove_suffix(1);
        // "*.*" is every file, also one without a dot, as the system reads it.
        if (pattern == "*.*" || pattern == "*" || (!pattern.empty() && wildcard_match(name, pattern)))
            return true;
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    return false;
}

} // namespace quillon
