// TImageListPool: the hidden main form. It owns the one-shot timers that end
// cancelled workers (worker_timers), the tray icon (tray_icon), the taskbar
// button's progress and overlay (taskbar_button), the images of the feature
// tree (pool_images) and its popup menu (feature_tree_menu), and routes its
// window's messages to them. It lives on the main thread; every member is
// called there, and its callbacks run there, from the window procedure, under
// whatever message loop the main thread runs.
#pragma once

#include "base/error.h"
#include "engine/feature_menu.h"
#include "engine/feature_tree_menu.h"
#include "engine/messages.h"
#include "engine/pool_images.h"
#include "engine/taskbar_button.h"
#include "engine/tray_icon.h"
#include "engine/worker_timers.h"
#include "platform/win32/gdi.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace quillon {

class TImageListPool {
public:
    static constexpr UINT tray_callback_message = TrayIcon::callback_message;

    // Registers the class and creates the window hidden; it is never shown.
    // Without messages the menu has its English captions.
    static Result<std::unique_ptr<TImageListPool>> Create(const EngineMessages* messages);
    TImageListPool(const TImageListPool&) = delete;
    TImageListPool& operator=(const TImageListPool&) = delete;
    // Kills the timers, removes the tray icon and frees the menus, images and window.
    ~TImageListPool();

    HWND window() const { return m_window.get(); }

    // The worker timers (worker_timers.h).
    void arm(PoolTimer timer, std::function<void()> on_tick) { m_timers.arm(timer, std::move(on_tick)); }
    void disarm(PoolTimer timer) { m_timers.disarm(timer); }
    bool armed(PoolTimer timer) const { return m_timers.armed(timer); }
    void set_interval(PoolTimer timer, std::uint32_t milliseconds) { m_timers.set_interval(timer, milliseconds); }
    std::uint32_t interval(PoolTimer timer) const { return m_timers.interval(timer); }
    static std::string_view timer_name(PoolTimer timer) { return WorkerTimers::timer_name(timer); }

    // The tray icon (tray_icon.h).
    bool add_tray_icon(std::string_view tip) { return m_tray.add(tip); }
    bool remove_tray_icon() { return m_tray.remove(); }
    bool tray_icon_shown() const { return m_tray.shown(); }
    bool tray_balloon(std::string_view title, std::string_view text, BalloonIcon icon, std::uint32_t timeout_ms)
    {
        return m_tray.balloon(title, text, icon, timeout_ms);
    }
    void set_restore_target(std::function<HWND()> current_window, std::function<void()> first_show = {},
                            std::function<void()> restored = {})
    {
        m_tray.set_restore_target(std::move(current_window), std::move(first_show), std::move(restored));
    }

    // The taskbar button (taskbar_button.h); the overlay is the first image of ImageList7.
    void set_taskbar_state(HWND window, TaskbarState state) { m_taskbar.set_state(window, state); }
    void set_taskbar_value(HWND window, std::uint64_t completed, std::uint64_t total)
    {
        m_taskbar.set_value(window, completed, total);
    }
    void set_taskbar_overlay(HWND window, bool on, std::string_view description)
    {
        m_taskbar.set_overlay(window, on ? m_images.overlay_icon() : nullptr, description);
    }
    bool taskbar_available() { return m_taskbar.available(); }

    // The images (pool_images.h).
    HIMAGELIST image_list() const { return m_images.image_list(); }
    HIMAGELIST image_list7() const { return m_images.image_list7(); }
    HBITMAP picture(PoolPicture which) const { return m_images.picture(which); }

    // The feature tree's popup menu (feature_tree_menu.h).
    HMENU popup_menu() const { return m_menu.popup_menu(); }
    HMENU hidden_items() const { return m_menu.hidden_items(); }
    static UINT command_id(FeatureMenuAction action) { return FeatureTreeMenu::command_id(action); }
    static std::optional<FeatureMenuAction> action_for_command(UINT command)
    {
        return FeatureTreeMenu::action_for_command(command);
    }
    static std::string_view item_name(FeatureMenuAction action) { return FeatureTreeMenu::item_name(action); }
    std::optional<FeatureMenuAction> track_popup_menu(HWND owner, POINT screen) const
    {
        return m_menu.track(owner, screen);
    }

private:
    TImageListPool() = default;
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    std::optional<LRESULT> handle(UINT message, WPARAM wparam, LPARAM lparam);

    // Declared first so that it is destroyed last, after everything that uses it.
    win32::UniqueWindow m_window;
    UINT m_taskbar_created = 0; // the shell's broadcast after Explorer restarts
    PoolImages m_images;        // before the menu, whose items show its bitmaps
    FeatureTreeMenu m_menu;
    WorkerTimers m_timers;
    TrayIcon m_tray;
    TaskbarButton m_taskbar;
};

} // namespace quillon
