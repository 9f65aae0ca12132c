// The designer's classic folder controls on standard list and combo boxes: a
// folder list (the levels down to its folder, then that folder's subfolders),
// a file list (the files of its folder that match its mask) and a drive box
// (the drives). The lists keep their folder as their window text, so WM_GETTEXT
// answers it. Filling them sends no notification.
#pragma once

#include <windows.h>

#include <string>

namespace quillon {

// Shows the folder; false, with the list unchanged, when it is not an existing folder.
bool folder_list_show(HWND list, const std::string& folder);
// The full path of an item: a level above (or the folder itself) or a subfolder; empty for none.
std::string folder_list_item(HWND list, int index);

// Shows the files of the folder matching the mask ("*.*" when empty) and
// selects the file given (a full path), if it is there.
bool file_list_show(HWND list, const std::string& folder, const std::string& mask, const std::string& select_file = {});
// The selected file's full path; empty when none is selected.
std::string file_list_selected(HWND list);

// The folder a folder list or file list shows.
std::string list_folder(HWND list);

// Fills the box with the drives ("c:", "d:", ...).
void drive_box_fill(HWND combo);
// Selects the drive of a path ("D:\anything"); false when the box has no such drive.
bool drive_box_select(HWND combo, const std::string& path);
// The selected drive's root ("D:\"); empty when none is selected.
std::string drive_box_selected(HWND combo);

} // namespace quillon
