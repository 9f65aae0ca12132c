// What the folder, file and drive controls of a page show and write: decided
// here without windows, carried out by the runtime. The controls are the
// classic folder list, file list and drive box and the shell tree, list and
// combo. Folders are written as the controls report them: without a trailing
// backslash, "C:\" for a drive's root.
#pragma once

#include "dialogs/form_model.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// The one file-system question the decisions need.
enum class PathKind : std::uint8_t { missing, file, folder };
using PathProbe = std::function<PathKind(const std::string& path)>;

bool IsFolderControl(ControlKind kind);

// The nearest existing folder of a path, and the part of the path below it
// ("C:\Program Files\Vendor\Product" where only "C:\Program Files" exists
// gives that folder and "Vendor\Product").
std::pair<std::string, std::string> ResolveExisting(const std::string& path, const PathProbe& probe);

// The destination after the user chose a folder (a browse button, or a folder
// control with Tag 1): TARGETDIR as it was when the page was shown stays when
// it lies in the chosen folder (ignoring case); otherwise the chosen folder
// followed by the part of TARGETDIR that did not exist then.
std::string DestinationAfterChoice(const std::string& shown_target, const std::string& unresolved_tail,
                                   const std::string& chosen);

// Where a control points: a folder, and for a file list the file to select in it.
struct FolderView {
    std::string folder;
    std::string file; // file lists: the file's full path, empty for none
    bool operator==(const FolderView&) const = default;
};

// When a page is prepared: the Hint variable's value when it names an
// existing folder (for a file list, a file whose folder exists, or a folder);
// then, with Tag 1, the destination (for a file list its folder). Nothing when
// neither applies: the control keeps what it shows.
std::optional<FolderView> PreparedView(ControlKind kind, std::int32_t tag, const std::optional<std::string>& bound,
                                       const std::string& destination, const PathProbe& probe);

// A live-bound control (Tag 100) following its variable: file lists go to a
// file (its folder, selecting it) or a folder; folder lists and shell
// controls to an existing folder; drive boxes to the drive of the value when
// its root exists. Nothing otherwise.
std::optional<FolderView> LiveView(ControlKind kind, const std::string& value, const PathProbe& probe);

// What the user did to a folder control.
enum class FolderEvent : std::uint8_t {
    selected,      // a folder chosen (tree, combo, folder list, drive box) or an item selected (lists)
    folder_opened, // the shell list shows another folder
};

// What a change writes: the value for the Hint variable, the handler's name
// as its origin, and for controls with Tag 1 the folder that becomes the destination.
struct FolderWrite {
    std::string value;
    std::string origin;
    std::optional<std::string> destination;
    bool operator==(const FolderWrite&) const = default;
};

// `path` is what the control reports: the folder, the selected file's full
// path, the shell list's selected item, or a drive ("C:\"). A shell list item
// that is a folder writes nothing.
std::optional<FolderWrite> FolderChange(ControlKind kind, FolderEvent event, std::int32_t tag, const std::string& path,
                                        bool item_is_folder);

// The levels of a classic folder list: the drive's root, each folder down to
// the one shown, each with its full path.
struct FolderLevel {
    std::string text;
    std::string path;
    bool operator==(const FolderLevel&) const = default;
};
std::vector<FolderLevel> FolderLevels(const std::string& folder);

// Whether a file name matches a file list's mask ("*.txt;*.log", "*.*"; "*" and "?", ignoring ASCII case).
bool MatchesMask(std::string_view name, std::string_view mask);

} // namespace quillon
