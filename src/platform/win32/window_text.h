// A window's own text (GetWindowText) in the engine's 8-bit code page.
#pragma once

#include "platform/win32/wide.h"

#include <windows.h>

#include <string>

namespace quillon {

inline std::wstring window_text_wide(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

inline std::string window_text_ansi(HWND window)
{
    return win32::to_ansi(window_text_wide(window));
}

} // namespace quillon
