// The shell browsing controls of the wizard's dialogs: a folder tree, a list of
// a folder's subfolders and files, and a combo box of the drives and the
// current folder. Each is a window of its own class hosting one common
// control (tree view, list view, ComboBoxEx) that fills it; the tree-view,
// list-view and combo-box messages (TVM_*, LVM_*, CB_* and CBEM_*) sent to the
// control are passed to that inner control, so the control can be driven
// like the common control it holds.
//
// Paths are 8-bit strings in the ANSI code page. A folder is written without
// a trailing backslash, except a drive's root: "C:\" and "C:\Program Files".
// Until a folder is set (or the user picks one), a control's folder is empty.
// WM_GETTEXT gives the control's folder.
//
// The icons come from the system image list (SHGetFileInfo); the thread that
// creates the controls should have COM initialized, as for any shell call.
// Hidden files and folders are not listed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

inline constexpr wchar_t shell_tree_class[] = L"QuillonShellTree";
inline constexpr wchar_t shell_list_class[] = L"QuillonShellList";
inline constexpr wchar_t shell_combo_class[] = L"QuillonShellCombo";

// Registers the three window classes once per process (and the common controls
// they hold); true when all are registered.
bool RegisterShellControls(HINSTANCE instance);

enum class ShellChange : std::uint8_t {
    folder_selected,      // tree, combo: the user chose a folder; it is now the control's folder
    file_item_selected,   // list: the user selected a file (the path of that file)
    folder_item_selected, // list: the user selected a subfolder, which the list does not open yet
    folder_opened,        // list: the list now shows another folder (double click or Enter on a
                          // subfolder, Backspace for the parent)
};

// Shows the folder: the tree expands the path down to it and selects it, the
// list lists it, the combo selects it. False, with the control unchanged, when
// the path is not an existing folder (or is not on a drive, for the tree).
// Setting the folder this way does not call the change handler.
bool shell_set_folder(HWND control, const std::string& path);

std::string shell_folder(HWND control);

// The list's selected item (a file or a subfolder, full path); empty when
// nothing is selected or the control is not a list.
std::string shell_selected_item(HWND control);

// Called for what the user does (see ShellChange), never while shell_set_folder runs.
void shell_on_change(HWND control, std::function<void(ShellChange kind, const std::string& path)> handler);

} // namespace quillon
