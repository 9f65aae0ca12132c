// The windows of a form's controls: which window class and styles a control
// gets, and what it shows as designed before the runtime fills it.
#pragma once

#include "dialogs/form_model.h"

#include <windows.h>

#include <optional>
#include <string>

namespace quillon {

struct ControlWindowSpec {
    const wchar_t* window_class = L"STATIC";
    DWORD style = 0;
    DWORD ex_style = 0;
    int height = 0; // a combo box's window includes its drop-down list
};

// Nothing for a component without a window.
std::optional<ControlWindowSpec> control_window_spec(const FormControl& control);

// The designed content: texts, items, checks, ranges, nodes, the folder
// controls at the current folder, an animation's clip. Up-downs and page
// controls, which need the other controls of the form, are filled by the form.
void show_design(HWND window, const FormControl& control);

// A picture stored in the form (the bytes of a bitmap file); null when it is none.
HBITMAP bitmap_from_file_bytes(const std::string& bytes);

} // namespace quillon
