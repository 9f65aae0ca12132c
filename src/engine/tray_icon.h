// The tray icon of the hidden main form: the program's first icon (else the
// standard application icon) with the product's title as its tip, balloon
// tips, and what a click on it brings back. The form hands it its callback
// message and the shell's "TaskbarCreated" broadcast.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillon {

enum class BalloonIcon : std::uint8_t { none, info, warning, error };

class TrayIcon {
public:
    // The tray icon's callback message (the classic form: lparam is the mouse message).
    static constexpr UINT callback_message = WM_APP + 0x51;

    TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    // The window the shell sends the icon's messages to; set once it exists.
    void attach(HWND window) { m_window = window; }

    // Each returns false when the shell refuses; nothing else happens then.
    // Showing it again only changes the tip.
    bool add(std::string_view tip);
    bool remove();
    bool shown() const { return m_shown; }
    // A balloon tip at the icon, which must be shown.
    bool balloon(std::string_view title, std::string_view text, BalloonIcon icon, std::uint32_t timeout_ms);
    // What a click or double click on the icon brings back: first_show runs
    // first (to show a dialog that still waits for its first showing, if any),
    // then the window that current_window names is shown, brought to the top,
    // restored from minimized and made the foreground window; restored runs last.
    void set_restore_target(std::function<HWND()> current_window, std::function<void()> first_show = {},
                            std::function<void()> restored = {});

    // The icon's callback message (lparam as it came).
    void on_callback(LPARAM lparam);
    // Explorer restarted and forgot the icons.
    void on_taskbar_created();

private:
    bool notify(DWORD operation, DWORD flags, std::wstring_view title = {}, std::wstring_view text = {},
                DWORD info_flags = 0, UINT timeout = 0);
    void restore();

    HWND m_window = nullptr;
    HICON m_icon = nullptr; // shared resource icon, not destroyed
    std::wstring m_tip;
    bool m_shown = false;
    std::function<HWND()> m_current_window;
    std::function<void()> m_first_show;
    std::function<void()> m_restored;
};

} // namespace quillon
