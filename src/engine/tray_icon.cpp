#include "engine/tray_icon.h"

#include "platform/win32/wide.h"

#include <shellapi.h>

#include <algorithm>

namespace quillon {

namespace {

constexpr UINT tray_icon_id = 1;

// The program's first icon, else the standard application icon. Icons from
// LoadIcon are shared and never destroyed.
HICON application_icon()
{
    HMODULE module = GetModuleHandleW(nullptr);
    struct Found {
        bool any = false;
        std::wstring name;
        WORD id = 0;
    } found;
    EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            f->any = true;
            if (IS_INTRESOURCE(name))
                f->id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
            else
                f->name = name;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    HICON icon = nullptr;
    if (found.any)
        icon = LoadIconW(module, found.name.empty() ? MAKEINTRESOURCEW(found.id) : found.name.c_str());
    return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

template <std::size_t N>
void copy_truncated(wchar_t (&target)[N], std::wstring_view text)
{
    std::size_t count = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), count, target);
    target[count] = L'\0';
}

} // namespace

TrayIcon::TrayIcon() : m_icon(application_icon()) {}

TrayIcon::~TrayIcon()
{
    if (m_shown)
        notify(NIM_DELETE, 0);
}

void TrayIcon::on_callback(LPARAM lparam)
{
    // The classic notification: lparam is the mouse message itself.
    auto mouse = static_cast<UINT>(lparam);
    if (mouse == WM_LBUTTONUP || mouse == WM_LBUTTONDBLCLK)
        restore();
}

void TrayIcon::on_taskbar_created()
{
    if (m_shown)
        notify(NIM_ADD, NIF_ICON | NIF_TIP | NIF_MESSAGE);
}

bool TrayIcon::notify(DWORD operation, DWORD flags, std::wstring_view title, std::wstring_view text, DWORD info_flags,
                      UINT timeout)
{
    if (m_window == nullptr)
        return false;
    NOTIFYICONDATAW data{};
    // The XP layout: every later shell accepts it, and it carries balloons.
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = m_window;
    data.uID = tray_icon_id;
    data.uFlags = flags;
    data.uCallbackMessage = callback_message;
    data.hIcon = m_icon;
    copy_truncated(data.szTip, m_tip);
    copy_truncated(data.szInfoTitle, title);
    copy_truncated(data.szInfo, text);
    data.dwInfoFlags = info_flags;
    data.uTimeout = timeout; // honoured up to Windows XP; later systems take the accessibility setting
    return Shell_NotifyIconW(operation, &data) != FALSE;
}

bool TrayIcon::add(std::string_view tip)
{
    m_tip = win32::to_wide(tip);
    constexpr DWORD flags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    // Modify first; an icon lost with a restarted Explorer is added again.
    if (m_shown && notify(NIM_MODIFY, flags))
        return true;
    m_shown = notify(NIM_ADD, flags);
    return m_shown;
}

bool TrayIcon::remove()
{
    if (!m_shown)
        return true;
    m_shown = false;
    return notify(NIM_DELETE, 0);
}

bool TrayIcon::balloon(std::string_view title, std::string_view text, BalloonIcon icon, std::uint32_t timeout_ms)
{
    if (!m_shown)
        return false;
    DWORD info_flags = NIIF_NONE;
    switch (icon) {
    case BalloonIcon::none: break;
    case BalloonIcon::info: info_flags = NIIF_INFO; break;
    case BalloonIcon::warning: info_flags = NIIF_WARNING; break;
    case BalloonIcon::error: info_flags = NIIF_ERROR; break;
    }
    return notify(NIM_MODIFY, NIF_INFO, win32::to_wide(title), win32::to_wide(text), info_flags, timeout_ms);
}

void TrayIcon::set_restore_target(std::function<HWND()> current_window, std::function<void()> first_show,
                                  std::function<void()> restored)
{
    m_current_window = std::move(current_window);
    m_first_show = std::move(first_show);
    m_restored = std::move(restored);
}

void TrayIcon::restore()
{
    if (m_first_show)
        m_first_show();
    HWND target = m_current_window ? m_current_window() : nullptr;
    if (target != nullptr && IsWindow(target)) {
        ShowWindow(target, SW_SHOW);
        BringWindowToTop(target);
        // Through the window's own system command, so that its handler sees the restore.
        if (IsIconic(target))
            SendMessageW(target, WM_SYSCOMMAND, SC_RESTORE, 0);
        SetForegroundWindow(target);
    }
    if (m_restored)
        m_restored();
}

} // namespace quillon
