// The hidden main form on a real window under Wine: its timers fire through the
// test's own message pump, and the tray and menu are driven with the messages a
// user's clicks would produce.
#include "engine/uImageListPool.h"
#include "harness/harness.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shellapi.h>

#include <chrono>
#include <new>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

using namespace std::chrono_literals;

void pump_for(std::chrono::milliseconds time)
{
    pump_until([] { return false; }, time);
}

std::unique_ptr<TImageListPool> make_pool(const EngineMessages* messages = nullptr)
{
    auto pool = TImageListPool::Create(messages);
    if (!pool) {
        ADD_FAILURE() << pool.error().describe();
        return nullptr;
    }
    return std::move(*pool);
}

// A plain top-level window standing in for a wizard page.
struct TestWindow {
    HWND window = nullptr;
    TestWindow()
    {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"QuillonPoolTestWindow";
        RegisterClassW(&window_class);
        window = CreateWindowExW(0, window_class.lpszClassName, L"Pool test page", WS_OVERLAPPEDWINDOW, 100, 100, 400,
                                 300, nullptr, nullptr, window_class.hInstance, nullptr);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow()
    {
        if (window != nullptr)
            DestroyWindow(window);
    }
};

std::wstring menu_caption(HMENU menu, UINT position)
{
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text));
    GetMenuItemInfoW(menu, position, TRUE, &info);
    return text;
}

TEST(TImageListPool, CreatesItsWindowHiddenWithTheImages)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    ASSERT_TRUE(IsWindow(pool->window()));
    EXPECT_FALSE(IsWindowVisible(pool->window()));
    wchar_t class_name[64] = {};
    GetClassNameW(pool->window(), class_name, static_cast<int>(std::size(class_name)));
    EXPECT_STREQ(class_name, L"TImageListPool");

    int width = 0;
    int height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(pool->image_list(), &width, &height));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 16);
    EXPECT_GE(ImageList_GetImageCount(pool->image_list()), 6);
    ASSERT_TRUE(ImageList_GetIconSize(pool->image_list7(), &width, &height));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
    EXPECT_GE(ImageList_GetImageCount(pool->image_list7()), 1);
    for (PoolPicture picture : {PoolPicture::image, PoolPicture::image7_off, PoolPicture::image7_on})
        EXPECT_NE(pool->picture(picture), nullptr);

    // A second form (a test, or a restarted wizard) registers nothing twice.
    auto second = make_pool();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->window(), pool->window());
}

TEST(TImageListPool, TimersStartDisarmedWithTheirIntervals)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    for (std::size_t index = 0; index < pool_timer_count; ++index) {
        auto timer = static_cast<PoolTimer>(index);
        SCOPED_TRACE(std::string(TImageListPool::timer_name(timer)));
        EXPECT_FALSE(pool->armed(timer));
        EXPECT_EQ(pool->interval(timer), timer == PoolTimer::win7 ? 0u : 5000u);
    }
}

TEST(TImageListPool, TimerFiresOnceAndIsDisarmedBeforeItsCallback)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    pool->set_interval(PoolTimer::thz, 30);
    int ticks = 0;
    bool armed_in_callback = true;
    pool->arm(PoolTimer::thz, [&] {
        ++ticks;
        armed_in_callback = pool->armed(PoolTimer::thz);
    });
    EXPECT_TRUE(pool->armed(PoolTimer::thz));
    ASSERT_TRUE(pump_until([&] { return ticks > 0; }, 5s));
    EXPECT_FALSE(armed_in_callback);
    EXPECT_FALSE(pool->armed(PoolTimer::thz));
    pump_for(200ms);
    EXPECT_EQ(ticks, 1) << "a timer fires once per arming";
}

TEST(TImageListPool, TimerCanBeArmedAgainFromItsOwnCallback)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    pool->set_interval(PoolTimer::plug, 20);
    int ticks = 0;
    std::function<void()> watchdog = [&] {
        ++ticks;
        if (ticks < 3)
            pool->arm(PoolTimer::plug, watchdog);
    };
    pool->arm(PoolTimer::plug, watchdog);
    ASSERT_TRUE(pump_until([&] { return ticks == 3; }, 5s));
    EXPECT_FALSE(pool->armed(PoolTimer::plug));
    pump_for(150ms);
    EXPECT_EQ(ticks, 3);
}

TEST(TImageListPool, DisarmedTimerNeverFires)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    int ticks = 0;
    for (PoolTimer timer : {PoolTimer::thy, PoolTimer::tdem}) {
        pool->set_interval(timer, 20);
        pool->arm(timer, [&] { ++ticks; });
    }
    pool->disarm(PoolTimer::thy);
    // tdem's tick becomes due while nobody handles messages; disarming must still win.
    Sleep(100);
    pool->disarm(PoolTimer::tdem);
    // Windows may still deliver ticks queued before KillTimer (Wine drops them): the same messages, sent by hand.
    for (WPARAM id = 1; id <= 64; ++id)
        PostMessageW(pool->window(), WM_TIMER, id, 0);
    pump_for(300ms);
    EXPECT_EQ(ticks, 0);
    EXPECT_FALSE(pool->armed(PoolTimer::thy));
    EXPECT_FALSE(pool->armed(PoolTimer::tdem));
}

TEST(TImageListPool, ArmingAgainRestartsWithTheNewCallback)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    std::vector<std::string> fired;
    pool->set_interval(PoolTimer::tra, 20);
    pool->arm(PoolTimer::tra, [&] { fired.push_back("first"); });
    Sleep(100); // the first arming's tick is due
    pool->set_interval(PoolTimer::tra, 2000);
    pool->arm(PoolTimer::tra, [&] { fired.push_back("second"); });
    pump_for(300ms);
    EXPECT_TRUE(fired.empty()) << "the restarted timer runs its new interval from the start";
    EXPECT_TRUE(pool->armed(PoolTimer::tra));

    pool->set_interval(PoolTimer::tra, 20);
    ASSERT_TRUE(pump_until([&] { return !fired.empty(); }, 5s));
    pump_for(100ms);
    EXPECT_EQ(fired, std::vector<std::string>{"second"});
}

TEST(TImageListPool, CallbackThatThrowsStopsAtTheWindowProcedure)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    pool->set_interval(PoolTimer::trax, 20);
    bool thrown = false;
    pool->arm(PoolTimer::trax, [&] {
        thrown = true;
        throw std::bad_alloc();
    });
    ASSERT_TRUE(pump_until([&] { return thrown; }, 5s));
    EXPECT_FALSE(pool->armed(PoolTimer::trax));
    bool ticked = false;
    pool->arm(PoolTimer::trax, [&] { ticked = true; });
    EXPECT_TRUE(pump_until([&] { return ticked; }, 5s)) << "the form keeps working";
}

TEST(TImageListPool, TimerWithoutIntervalWaitsForOne)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    int ticks = 0;
    pool->arm(PoolTimer::win7, [&] { ++ticks; });
    pump_for(200ms);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(pool->armed(PoolTimer::win7));
    pool->set_interval(PoolTimer::win7, 20);
    EXPECT_TRUE(pump_until([&] { return ticks == 1; }, 5s));
}

TEST(TImageListPool, TrayClickRestoresTheMinimizedWindow)
{
    struct Case {
        const char* what;
        UINT mouse_message;
        bool restores;
    };
    // One page for all cases: under Wine without a window manager every hide of
    // a mapped window waits two seconds for a withdrawn state that never comes.
    const Case cases[] = {
        {"mouse move", WM_MOUSEMOVE, false},
        {"right button", WM_RBUTTONUP, false},
        {"click", WM_LBUTTONUP, true},
        {"double click", WM_LBUTTONDBLCLK, true},
    };
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    TestWindow page;
    ASSERT_NE(page.window, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!IsIconic(page.window) || IsWindowVisible(page.window)) {
            ShowWindow(page.window, SW_SHOWMINIMIZED);
            ShowWindow(page.window, SW_HIDE); // minimized to the tray
        }
        ASSERT_TRUE(IsIconic(page.window));
        std::vector<std::string> calls;
        pool->set_restore_target(
            [&] {
                calls.push_back("current window");
                return page.window;
            },
            [&] { calls.push_back("first show"); }, [&] { calls.push_back("restored"); });

        SendMessageW(pool->window(), TImageListPool::tray_callback_message, 1, c.mouse_message);
        if (c.restores) {
            EXPECT_FALSE(IsIconic(page.window));
            EXPECT_TRUE(IsWindowVisible(page.window));
            EXPECT_EQ(calls, (std::vector<std::string>{"first show", "current window", "restored"}));
        } else {
            EXPECT_TRUE(IsIconic(page.window));
            EXPECT_FALSE(IsWindowVisible(page.window));
            EXPECT_TRUE(calls.empty());
        }
    }

    // Without a target (no dialog yet) a click does nothing, and a dialog
    // that went away meanwhile is left alone.
    pool->set_restore_target({});
    SendMessageW(pool->window(), TImageListPool::tray_callback_message, 1, WM_LBUTTONUP);
    HWND gone = CreateWindowExW(0, L"QuillonPoolTestWindow", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    int first_shows = 0;
    pool->set_restore_target([&] { return gone; }, [&] { ++first_shows; });
    SendMessageW(pool->window(), TImageListPool::tray_callback_message, 1, WM_LBUTTONUP);
    EXPECT_EQ(first_shows, 1);
    EXPECT_TRUE(IsWindow(pool->window()));
}

TEST(TImageListPool, TrayIconComesBackAfterTheShellRestarts)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    EXPECT_TRUE(pool->remove_tray_icon()) << "removing an icon that is not shown is no failure";
    EXPECT_FALSE(pool->tray_balloon("Title", "Text", BalloonIcon::info, 10000)) << "a balloon needs the icon";

    bool added = pool->add_tray_icon("Quillon test");
    RecordProperty("tray_icon_added", added ? "yes" : "no");
    EXPECT_EQ(pool->tray_icon_shown(), added);
    if (!added)
        GTEST_SKIP() << "no notification area here (a bare Wine display may lack one; see image_list_pool_tray)";

    EXPECT_TRUE(pool->add_tray_icon("Quillon test, new tip")) << "showing it again changes the tip";
    EXPECT_TRUE(pool->tray_balloon("Title", "Text", BalloonIcon::warning, 10000));

    // A restarted Explorer has forgotten the icon; its broadcast brings it back.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = pool->window();
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    SendMessageW(pool->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    data.uFlags = NIF_TIP;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data)) << "the icon is there again";

    EXPECT_TRUE(pool->remove_tray_icon());
    EXPECT_FALSE(pool->tray_icon_shown());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
}

TEST(TImageListPool, PopupMenuHasTheItemsInOrder)
{
    EngineMessages localized;
    localized.set(113, "Wird auf der lokalen Festplatte &installiert");
    localized.set(114, "&Gesamtes Feature wird auf der lokalen Festplatte installiert");
    localized.set(115, "Gesamtes Feature wird &nicht verf\xFCgbar sein");
    EngineMessages empty_lines;
    empty_lines.set(113, "");
    struct Case {
        const char* what;
        const EngineMessages* messages;
        std::vector<std::wstring> captions;
    };
    const Case cases[] = {
        {"no messages",
         nullptr,
         {L"Will be &installed on local hard drive", L"&Entire feature will be installed on local hard drive", L"",
          L"Entire feature will be &unavailable"}},
        {"localized",
         &localized,
         {L"Wird auf der lokalen Festplatte &installiert",
          L"&Gesamtes Feature wird auf der lokalen Festplatte installiert", L"",
          L"Gesamtes Feature wird &nicht verf\u00FCgbar sein"}},
        {"an empty line keeps the English caption",
         &empty_lines,
         {L"Will be &installed on local hard drive", L"&Entire feature will be installed on local hard drive", L"",
          L"Entire feature will be &unavailable"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto pool = make_pool(c.messages);
        ASSERT_NE(pool, nullptr);
        HMENU menu = pool->popup_menu();
        ASSERT_EQ(GetMenuItemCount(menu), 4);
        const FeatureMenuAction visible[] = {FeatureMenuAction::install_node, FeatureMenuAction::install_feature,
                                             FeatureMenuAction::unavailable};
        const UINT positions[] = {0, 1, 3};
        for (std::size_t index = 0; index < 3; ++index) {
            EXPECT_EQ(menu_caption(menu, positions[index]), c.captions[positions[index]]);
            EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(positions[index])),
                      TImageListPool::command_id(visible[index]));
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_BITMAP;
            GetMenuItemInfoW(menu, positions[index], TRUE, &info);
            EXPECT_NE(info.hbmpItem, nullptr) << "each item has its image";
        }
        EXPECT_TRUE(GetMenuState(menu, 2, MF_BYPOSITION) & MF_SEPARATOR);

        // The hidden items exist with their commands, never in the shown menu, never localized.
        HMENU hidden = pool->hidden_items();
        ASSERT_EQ(GetMenuItemCount(hidden), 2);
        EXPECT_EQ(menu_caption(hidden, 0), L"Do Not Install Component &Only");
        EXPECT_EQ(menu_caption(hidden, 1), L"Do &Not Install Component or Sub Components");
        EXPECT_EQ(GetMenuItemID(hidden, 0), TImageListPool::command_id(FeatureMenuAction::node_only_off));
        EXPECT_EQ(GetMenuItemID(hidden, 1), TImageListPool::command_id(FeatureMenuAction::node_and_children_off));
    }
}

TEST(TImageListPool, CommandsMapBackToTheirActions)
{
    using enum FeatureMenuAction;
    const FeatureMenuAction actions[] = {install_node, install_feature, unavailable, node_only_off,
                                         node_and_children_off};
    for (FeatureMenuAction action : actions) {
        SCOPED_TRACE(std::string(TImageListPool::item_name(action)));
        UINT command = TImageListPool::command_id(action);
        EXPECT_NE(command, 0u);
        EXPECT_EQ(TImageListPool::action_for_command(command), action);
    }
    EXPECT_EQ(TImageListPool::action_for_command(0), std::nullopt) << "a dismissed menu chooses nothing";
    EXPECT_EQ(TImageListPool::action_for_command(TImageListPool::command_id(install_node) - 1), std::nullopt);
    EXPECT_EQ(TImageListPool::action_for_command(TImageListPool::command_id(node_and_children_off) + 1), std::nullopt);
}

TEST(TImageListPool, TrackedMenuReturnsTheChosenAction)
{
    auto pool = make_pool();
    ASSERT_NE(pool, nullptr);
    TestWindow page;
    ASSERT_NE(page.window, nullptr);
    ShowWindow(page.window, SW_SHOW);
    SetForegroundWindow(page.window);
    pump_for(50ms);
    struct Case {
        const char* what;
        std::vector<WPARAM> keys;
        std::optional<FeatureMenuAction> expected;
    };
    const Case cases[] = {
        {"first item", {VK_DOWN, VK_RETURN}, FeatureMenuAction::install_node},
        {"the separator is skipped", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, FeatureMenuAction::unavailable},
        {"escape", {VK_ESCAPE}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The menu's own loop takes these keys from the queue, as it would a user's.
        for (WPARAM key : c.keys) {
            PostMessageW(page.window, WM_KEYDOWN, key, 0);
            PostMessageW(page.window, WM_KEYUP, key, 0xC0000000);
        }
        EXPECT_EQ(pool->track_popup_menu(page.window, POINT{150, 150}), c.expected);
        pump_for(20ms);
    }
}

TEST(TImageListPool, TaskbarCallsOnARealWindowAreHarmless)
{
    // COM is not initialized on this thread before the form uses the taskbar...
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
    {
        auto pool = make_pool();
        ASSERT_NE(pool, nullptr);
        TestWindow page;
        ASSERT_NE(page.window, nullptr);
        ShowWindow(page.window, SW_SHOW);
        pump_for(50ms);
        bool available = pool->taskbar_available();
        RecordProperty("taskbar_list_available", available ? "yes" : "no");
        for (TaskbarState state : {TaskbarState::normal, TaskbarState::indeterminate, TaskbarState::error,
                                   TaskbarState::paused, TaskbarState::none})
            pool->set_taskbar_state(page.window, state);
        pool->set_taskbar_value(page.window, 57, 100);
        pool->set_taskbar_value(page.window, 1, 0);
        pool->set_taskbar_overlay(page.window, true, "Quillon test");
        pool->set_taskbar_overlay(page.window, false, "");
        pool->set_taskbar_state(nullptr, TaskbarState::normal);
        EXPECT_EQ(pool->taskbar_available(), available) << "created once";
        EXPECT_TRUE(IsWindowVisible(page.window));
    }
    // ...and the form leaves it as it found it.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
}

} // namespace
} // namespace quillon::test
