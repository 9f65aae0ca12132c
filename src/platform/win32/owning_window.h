// The window procedure of a control class whose windows each own one C++
// object, kept in the class's first extra window word.
#pragma once

#include <windows.h>

#include <new>

namespace quillon::win32 {

// The object (constructed from the window handle) is made at WM_NCCREATE,
// after `Prepare` has added the styles the class always has, and deleted at
// WM_NCDESTROY through `Handler` (its base, with a virtual destructor, when
// the class serves several kinds); every other message goes to its
// handle(message, wparam, lparam). Nothing unwinds into the system's message
// dispatch. The class needs cbWndExtra of at least one pointer.
template <typename Object, typename Handler = Object, void (*Prepare)(HWND) = nullptr>
LRESULT CALLBACK owning_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    try {
        if (message == WM_NCCREATE) {
            auto* object = new (std::nothrow) Object(window);
            if (object == nullptr)
                return FALSE;
            SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(static_cast<Handler*>(object)));
            if constexpr (Prepare != nullptr)
                Prepare(window);
            return DefWindowProcW(window, message, wparam, lparam);
        }
        auto* object = reinterpret_cast<Handler*>(GetWindowLongPtrW(window, 0));
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, 0, 0);
            delete object;
            return DefWindowProcW(window, message, wparam, lparam);
        }
        if (object == nullptr)
            return DefWindowProcW(window, message, wparam, lparam);
        return object->handle(message, wparam, lparam);
    } catch (...) {
        return 0;
    }
}

} // namespace quillon::win32
