// TImageListPool: the hidden main form. It owns the one-shot timers that end
// cancelled workers, the tray icon, the taskbar button's progress and overlay,
// the images of the feature tree and its popup menu. It lives on the main
// thread; every member is called there, and its callbacks run there, from the
// window procedure, under whatever message loop the main thread runs.
#pragma once

#include "base/error.h"
#include "engine/feature_menu.h"
#include "engine/messages.h"
#include "platform/win32/gdi.h"
#include "platform/win32/system_functions.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

enum class PoolTimer : std::uint8_t { thz, thy, thx, trax, tdem, tra, tfaf, plug, win7 };
inline constexpr std::size_t pool_timer_count = 9;

enum class TaskbarState : std::uint8_t { normal, indeterminate, error, paused, none };
enum class BalloonIcon : std::uint8_t { none, info, warning, error };
// The pictures that dialogs take from the form.
enum class PoolPicture : std::uint8_t { image, image7_off, image7_on };

class TImageListPool {
public:
    // The tray icon's callback message (the classic form: lparam is the mouse message).
    static constexpr UINT tray_callback_message = WM_APP + 0x51;

    // Registers the class and creates the window hidden; it is never shown.
    // Without messages the menu has its English captions.
    static Result<std::unique_ptr<TImageListPool>> Create(const EngineMessages* messages);
    TImageListPool(const TImageListPool&) = delete;
    TImageListPool& operator=(const TImageListPool&) = delete;
    // Kills the timers, removes the tray icon and frees the menus, images and window.
    ~TImageListPool();

    HWND window() const { return m_window.get(); }

    // One-shot timers, disarmed at creation: a timer disarms itself when it
    // fires, before on_tick runs, so on_tick may arm it again. Arming an armed
    // timer restarts its interval with the new callback. A timer whose interval
    // is 0 stays armed without running until an interval is set.
    void arm(PoolTimer timer, std::function<void()> on_tick);
    void disarm(PoolTimer timer);
    bool armed(PoolTimer timer) const;
    // Restarts an armed timer with the new interval.
    void set_interval(PoolTimer timer, std::uint32_t milliseconds);
    std::uint32_t interval(PoolTimer timer) const;
    static std::string_view timer_name(PoolTimer timer); // "thzTimer" ... "Win7Timer"

    // The tray icon (the program's first icon, else the standard application
    // icon). Each returns false when the shell refuses; nothing else happens then.
    // Showing it again only changes the tip.
    bool add_tray_icon(std::string_view tip);
    bool remove_tray_icon();
    bool tray_icon_shown() const { return m_tray_shown; }
    // A balloon tip at the tray icon, which must be shown.
    bool tray_balloon(std::string_view title, std::string_view text, BalloonIcon icon, std::uint32_t timeout_ms);
    // What a click or double click on the tray icon brings back: first_show runs
    // first (to show a dialog that still waits for its first showing, if any),
    // then the window that current_window names is shown, brought to the top,
    // restored from minimized and made the foreground window; restored runs last.
    void set_restore_target(std::function<HWND()> current_window, std::function<void()> first_show = {},
                            std::function<void()> restored = {});

    // The taskbar button (ITaskbarList3, created on first use). Every failure is
    // ignored: systems without it show nothing.
    void set_taskbar_state(HWND window, TaskbarState state);
    void set_taskbar_value(HWND window, std::uint64_t completed, std::uint64_t total);
    // The first image of ImageList7 as overlay, with the description as its alternative text.
    void set_taskbar_overlay(HWND window, bool on, std::string_view description);
    // Whether the taskbar interface exists here (creates it on first use).
    bool taskbar_available();

    // ImageList (32 x 16): 0 not selected, 1 selected (the feature tree), and
    // the menu images 2 to 5. ImageList7 (32 x 32): the overlay.
    HIMAGELIST image_list() const { return m_image_list.get(); }
    HIMAGELIST image_list7() const { return m_image_list7.get(); }
    HBITMAP picture(PoolPicture which) const { return m_pictures[static_cast<std::size_t>(which)].get(); }

    // The feature tree's popup menu with the visible items. The two hidden
    // items are kept in a menu of their own that is never shown, so that their
    // commands and captions exist without appearing.
    HMENU popup_menu() const { return m_popup.get(); }
    HMENU hidden_items() const { return m_hidden.get(); }
    static UINT command_id(FeatureMenuAction action);
    static std::optional<FeatureMenuAction> action_for_command(UINT command);
    static std::string_view item_name(FeatureMenuAction action); // "InstallComponentOnly1" ...
    // Shows the popup menu at a screen position and returns the chosen action.
    std::optional<FeatureMenuAction> track_popup_menu(HWND owner, POINT screen) const;

private:
    struct Taskbar;
    struct Timer {
        std::uint32_t interval = 5000;
        bool armed = false;
        UINT_PTR id = 0; // of the running system timer, 0 when none runs
        std::function<void()> on_tick;
    };

    using UniqueWindow = win32::UniqueWindow;
    using UniqueMenu = win32::UniqueMenu;
    using UniqueImageList = win32::UniqueImageList;
    using UniqueBitmap = win32::UniqueBitmap;
    using UniqueIcon = win32::UniqueIcon;

    TImageListPool();
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    std::optional<LRESULT> handle(UINT message, WPARAM wparam, LPARAM lparam);
    Result<void> create_images();
    Result<void> create_menus(const EngineMessages* messages);
    void start(Timer& timer);
    void stop(Timer& timer);
    void fire(WPARAM id);
    bool notify_tray(DWORD operation, DWORD flags, std::wstring_view title = {}, std::wstring_view text = {},
                     DWORD info_flags = 0, UINT timeout = 0);
    void restore_from_tray();
    Taskbar* taskbar();

    // Declared first so that it is destroyed last, after everything it owns.
    UniqueWindow m_window;
    UINT m_taskbar_created = 0; // the shell's broadcast after Explorer restarts
    std::array<Timer, pool_timer_count> m_timers;
    UINT_PTR m_next_timer_id = 1;

    UniqueImageList m_image_list;
    UniqueImageList m_image_list7;
    UniqueIcon m_overlay_icon;
    std::array<UniqueBitmap, 3> m_pictures;
    // Menu bitmaps are not freed with their menus: declared before the menus, freed after them.
    std::array<UniqueBitmap, 6> m_menu_bitmaps;
    UniqueMenu m_popup;
    UniqueMenu m_hidden;

    HICON m_tray_icon = nullptr; // shared resource icon, not destroyed
    std::wstring m_tray_tip;
    bool m_tray_shown = false;
    std::function<HWND()> m_current_window;
    std::function<void()> m_first_show;
    std::function<void()> m_restored;

    std::unique_ptr<Taskbar> m_taskbar;
    bool m_taskbar_tried = false;
};

} // namespace quillon
