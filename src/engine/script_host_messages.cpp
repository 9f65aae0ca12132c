// "MessageBox", "MessageBalloon" and "System Tray" on Windows.
#include "engine/script_host.h"
#include "vars/reserved_names.h"

#include "interp/mMessageCommands.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace quillon {

// The interpreter chooses the styles without <windows.h>; they must be the system's.
static_assert(message_box::ok == MB_OK && message_box::ok_cancel == MB_OKCANCEL &&
              message_box::abort_retry_ignore == MB_ABORTRETRYIGNORE && message_box::yes_no_cancel == MB_YESNOCANCEL &&
              message_box::yes_no == MB_YESNO && message_box::retry_cancel == MB_RETRYCANCEL);
static_assert(message_box::icon_error == MB_ICONERROR && message_box::icon_question == MB_ICONQUESTION &&
              message_box::icon_warning == MB_ICONWARNING && message_box::icon_information == MB_ICONINFORMATION);

namespace {

// The tray icon's tip and the overlay's description.

BalloonIcon balloon_icon(std::int32_t code)
{
    switch (code) {
    case 0: return BalloonIcon::info;
    case 1: return BalloonIcon::warning;
    case 2: return BalloonIcon::error;
    default: return BalloonIcon::none;
    }
}

void show_tray_icon(TImageListPool* pool, const TVariableManager& vars, HWND window)
{
    if (pool == nullptr)
        return;
    std::string title = GetVar(vars, var::title);
    pool->add_tray_icon(title);
    pool->set_taskbar_overlay(window, true, title);
}

// Brings the wizard back the way a click on the tray icon does.
void restore_window(HWND window)
{
    if (window == nullptr)
        return;
    ShowWindow(window, SW_SHOW);
    BringWindowToTop(window);
    // Through the window's own system command, so that its handler sees the
    // restore; a window that is not minimized keeps its size (a maximized one
    // would otherwise lose it).
    if (IsIconic(window))
        SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(window);
}

} // namespace

std::int32_t WindowsScriptHost::message_box(const std::string& caption, const std::string& text, std::uint32_t flags)
{
    std::wstring wide_caption = win32::to_wide(caption);
    std::wstring wide_text = win32::to_wide(text);
    HWND owner = current_window(m_setup.vars);
    int answer = MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), flags);
    // An owner that cannot own the box (a dialog of a thread that has ended,
    // say) must not cost the question: ask without one.
    if (answer == 0 && owner != nullptr)
        answer = MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), flags);
    return answer;
}

void WindowsScriptHost::show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                                     std::int32_t timeout_ms)
{
    // Without the hidden main form there is no tray icon, and no timer to end
    // the attention: PROGRESSMODE would stay "PAUSE" for the rest of the run.
    if (!m_pool)
        return;
    const auto timeout = static_cast<std::uint32_t>(std::max(timeout_ms, 0));
    m_pool->add_tray_icon(GetVar(m_setup.vars, var::title));
    m_pool->tray_balloon(title, text, balloon_icon(icon), timeout);
    set_attention(false);
    // Systems after XP keep a balloon up as long as their accessibility
    // setting says; the taskbar attention ends with the script's time-out.
    m_pool->set_interval(PoolTimer::win7, timeout);
    m_pool->arm(PoolTimer::win7, [this] { clear_attention(); });
}

void WindowsScriptHost::tray_minimize()
{
    HWND window = current_window(m_setup.vars);
    if (!silent())
        show_tray_icon(m_pool.get(), m_setup.vars, window);
    if (window != nullptr)
        ShowWindow(window, SW_HIDE);
    m_in_tray = true;
}

void WindowsScriptHost::tray_show_icon()
{
    if (!silent())
        show_tray_icon(m_pool.get(), m_setup.vars, current_window(m_setup.vars));
}

void WindowsScriptHost::tray_restore()
{
    restore_window(current_window(m_setup.vars));
    m_in_tray = false;
}

void WindowsScriptHost::tray_remove_icon()
{
    if (m_pool) {
        m_pool->remove_tray_icon();
        m_pool->set_taskbar_overlay(current_window(m_setup.vars), false, {});
    }
    tray_restore();
}

} // namespace quillon
