#include "engine/uImageListPool.h"

#include "platform/win32/system_library.h"

namespace quillon {

namespace {

constexpr wchar_t pool_class[] = L"TImageListPool";

// An elevated engine must still hear from the lower-integrity shell. The call
// exists from Windows 7 on, so it is looked up at run time.
void allow_message_from_shell(HWND window, UINT message)
{
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    auto filter = win32::proc<Filter>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
    if (filter != nullptr)
        filter(window, message, MSGFLT_ALLOW, nullptr);
}

} // namespace

Result<std::unique_ptr<TImageListPool>> TImageListPool::Create(const EngineMessages* messages)
{
    std::unique_ptr<TImageListPool> pool(new TImageListPool());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = pool_class;
    if (RegisterClassW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return make_error(ErrorCode::win32, "Cannot register the window class TImageListPool", GetLastError());
    // A top-level window, not a message-only one: only top-level windows hear
    // the shell's "TaskbarCreated" broadcast.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, pool_class, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                  pool.get());
    if (window == nullptr)
        return make_error(ErrorCode::win32, "Cannot create the window TImageListPool", GetLastError());
    pool->m_window.reset(window);
    pool->m_timers.attach(window);
    pool->m_tray.attach(window);

    pool->m_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    if (pool->m_taskbar_created != 0)
        allow_message_from_shell(window, pool->m_taskbar_created);
    allow_message_from_shell(window, tray_callback_message);

    TRY(pool->m_images.create());
    TRY(pool->m_menu.create(messages, pool->m_images));
    return pool;
}

TImageListPool::~TImageListPool()
{
    if (!m_window)
        return;
    // Whatever the window still receives while it goes away is not ours to handle.
    SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, 0);
    m_timers.stop_all();
    m_tray.remove();
}

LRESULT CALLBACK TImageListPool::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* pool = reinterpret_cast<TImageListPool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (pool != nullptr) {
            if (std::optional<LRESULT> result = pool->handle(message, wparam, lparam))
                return *result;
        }
    } catch (...) {
        // A callback that throws loses only its own work; the message loop goes on.
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::optional<LRESULT> TImageListPool::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_TIMER: m_timers.fire(wparam); return 0;
    case TrayIcon::callback_message: m_tray.on_callback(lparam); return 0;
    case WM_CLOSE:
        // The form lives as long as the engine; a close request (a task manager's) does not end it.
        return 0;
    case WM_DESTROY:
        // Destroyed from outside (the thread ends): the handle must not be destroyed twice.
        SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, 0);
        m_window.release();
        m_timers.attach(nullptr);
        m_tray.attach(nullptr);
        return 0;
    default: break;
    }
    if (m_taskbar_created != 0 && message == m_taskbar_created) {
        m_tray.on_taskbar_created();
        return 0;
    }
    return std::nullopt;
}

} // namespace quillon
