// Handing every message that waits in this thread's queue to its window.
#pragma once

#include <windows.h>

namespace quillon::win32 {

inline void pump_pending_messages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace quillon::win32
