// The controls the form draws itself: panels, group boxes, bevels, shapes,
// gauges and the designer-only frames (Flash frame, form shape, glass), in
// one window class. A gauge takes the progress bar's messages, so that the
// runtime drives both alike.
#pragma once

#include "dialogs/form_model.h"

#include <windows.h>

namespace quillon {

inline constexpr wchar_t drawn_control_class[] = L"QuillonPaint";

bool register_drawn_control_class(HINSTANCE instance);
// Gives a window of the class its control, before it is first painted.
void attach_drawn_control(HWND window, const FormControl& control);

// A form colour as the system paints it.
COLORREF rgb_of(const FormColor& color);

} // namespace quillon
