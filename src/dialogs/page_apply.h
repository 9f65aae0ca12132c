// The Windows side of the page binding: carries a control's fill out on its
// window, and reads back the state the user left it in. Nothing is decided
// here (page_binding.h decides); setting a window calls no change handler of
// the runtime only because the runtime marks itself as binding meanwhile.
#pragma once

#include "dialogs/form_model.h"
#include "dialogs/page_binding.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <string_view>

namespace quillon {

void apply_control_fill(HWND window, const FormControl& control, const ControlFill& fill);

ControlState read_control_state(HWND window, const FormControl& control);

void set_window_text(HWND window, std::string_view text);
// The text of a tree view's item.
std::string tree_item_text(HWND tree, HTREEITEM item);

} // namespace quillon
