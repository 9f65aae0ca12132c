// The system's threads directly: the threads library of the toolchain loses a
// thread now and then when it is detached before it has started (seen under load).
#include "base/thread.h"

#include <windows.h>

#include <memory>

namespace quillon {

namespace {

DWORD WINAPI thread_start(void* parameter) noexcept
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    try {
        (*body)();
    } catch (...) {
        // body must not throw; nothing may cross the thread's boundary.
    }
    return 0;
}

} // namespace

Result<void> start_detached_thread(std::function<void()> body)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    HANDLE thread = CreateThread(nullptr, 0, &thread_start, owned.get(), 0, nullptr);
    if (thread == nullptr)
        return make_error(ErrorCode::win32, "Cannot start a thread", GetLastError());
    owned.release(); // the thread owns it now
    CloseHandle(thread);
    return {};
}

} // namespace quillon
