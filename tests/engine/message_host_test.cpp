// "MessageBox", "MessageBalloon" and "System Tray" with the engine's own host
// under Wine: a real message box answered from another thread as a user's
// click would, its owner, the balloon's taskbar attention, and the wizard
// window taken to the tray and brought back.
#include "engine/engine_host.h"
#include "harness/harness.h"
#include "interp/interp_test_support.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <chrono>
#include <string>
#include <thread>

namespace quillon::test {
namespace {

using namespace std::chrono_literals;

// One script run with the Windows host, not silent.
struct HostRun {
    HostRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {})
        : script(build_script(commands)), trace("")
    {
        DefineVar(vars, "SILENT", "FALSE", "Initialization");
        DefineVar(vars, "TITLE", "Message Test", "Initialization");
        DefineVar(vars, "WINDOWHANDLE", "0", "Initialization");
        DefineVar(vars, "PROGRESSMODE", "MARQUEE", "Initialization");
        for (const auto& [name, value] : start)
            DefineVar(vars, name, value, "Initialization");
        host.emplace(
            EngineHostSetup{script, vars, trace, messages, SetupLocation{"", "setup.exe", "", "", "", "", ""}, false});
        handlers = StandardHandlers();
        executor.emplace(script, vars, host->roles(), handlers, process, BuildLabelTable(script));
    }

    bool run() { return executor->Run(); }
    std::string var(std::string_view name) const { return GetVar(vars, name); }

    TScriptImage script;
    TVariableManager vars;
    StartupTrace trace;
    EngineMessages messages;
    std::optional<EngineHost> host;
    HandlerTable handlers;
    ProcessState process;
    std::optional<TScriptExecutor> executor;
};

// A plain top-level window standing in for a modeless wizard dialog.
struct TestWindow {
    HWND window = nullptr;
    TestWindow()
    {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"QuillonMessageTestWindow";
        RegisterClassW(&window_class);
        window = CreateWindowExW(0, window_class.lpszClassName, L"Message test page", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 100, 100, 400, 300, nullptr, nullptr, window_class.hInstance, nullptr);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow()
    {
        if (window != nullptr)
            DestroyWindow(window);
    }
    std::string handle_text() const { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }
};

// A caption no other test process shows.
std::string unique_caption(std::string_view what)
{
    return "Quillon " + std::string(what) + " " + std::to_string(GetCurrentProcessId());
}

// Waits on its own thread for the box with the caption, notes what it shows,
// and presses a button the way a click does. Should the box never come, the
// main thread's dialogs are cancelled so that the test cannot hang.
class BoxAnswerer {
public:
    BoxAnswerer(const std::string& caption, WPARAM button, const TVariableManager& vars)
        : m_main_thread(GetCurrentThreadId()), m_thread([this, caption, button, &vars] {
              HWND box = wait_for_window(std::wstring(caption.begin(), caption.end()), 20s);
              if (box == nullptr) {
                  EnumThreadWindows(m_main_thread, cancel_dialog, 0);
                  return;
              }
              found = true;
              caption_shown = to_utf8(window_text(box));
              owner = GetWindow(box, GW_OWNER);
              has_ok = GetDlgItem(box, IDOK) != nullptr;
              has_cancel = GetDlgItem(box, IDCANCEL) != nullptr;
              has_yes = GetDlgItem(box, IDYES) != nullptr;
              EnumChildWindows(box, collect_text, reinterpret_cast<LPARAM>(&texts));
              progress_mode = GetVar(vars, "PROGRESSMODE");
              PostMessageW(box, WM_COMMAND, button, 0);
          })
    {
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer() { join(); }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    bool found = false;
    std::string caption_shown;
    HWND owner = nullptr;
    bool has_ok = false;
    bool has_cancel = false;
    bool has_yes = false;
    std::wstring texts; // of every control of the box
    std::string progress_mode;

private:
    static BOOL CALLBACK cancel_dialog(HWND window, LPARAM)
    {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring_view(name) == L"#32770")
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    static BOOL CALLBACK collect_text(HWND child, LPARAM param)
    {
        *reinterpret_cast<std::wstring*>(param) += window_text(child) + L"|";
        return TRUE;
    }

    DWORD m_main_thread;
    std::thread m_thread;
};

// Whether the shell takes tray icons here (a bare Wine display may have no
// notification area): asked with an icon of the test's own.
bool notification_area_present(HWND window)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = window;
    data.uID = 77;
    data.uFlags = NIF_ICON;
    data.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    if (!Shell_NotifyIconW(NIM_ADD, &data))
        return false;
    Shell_NotifyIconW(NIM_DELETE, &data);
    return true;
}

TEST(MessageHost, MessageBoxStoresTheButtonPressed)
{
    struct Case {
        WPARAM button;
        std::string stored;
    };
    const Case cases[] = {{IDCANCEL, "CANCEL"}, {IDOK, "OK"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        const std::string caption = unique_caption("question " + c.stored);
        // Icon 2 (warning) with buttons 2 (OK/Cancel).
        HostRun run({{"MessageBox", {caption, "Go on with $WHAT$?", "2", "2", "ANSWER"}}},
                    {{"WHAT", "the test"}, {"ANSWER", "before"}});
        BoxAnswerer answerer(caption, c.button, run.vars);
        ASSERT_TRUE(run.run());
        answerer.join();
        ASSERT_TRUE(answerer.found) << "no message box came up";
        EXPECT_EQ(answerer.caption_shown, caption);
        EXPECT_NE(answerer.texts.find(L"Go on with the test?"), std::wstring::npos) << to_utf8(answerer.texts);
        EXPECT_TRUE(answerer.has_ok);
        EXPECT_TRUE(answerer.has_cancel);
        EXPECT_FALSE(answerer.has_yes);
        EXPECT_EQ(answerer.owner, nullptr) << "WINDOWHANDLE names no window";
        EXPECT_EQ(answerer.progress_mode, "PAUSE") << "a question shows as waiting on the taskbar";
        EXPECT_EQ(run.var("PROGRESSMODE"), "MARQUEE") << "and the mode comes back after it";
        EXPECT_EQ(run.var("ANSWER"), c.stored);
    }
}

TEST(MessageHost, MessageBoxIsOwnedByTheCurrentDialog)
{
    TestWindow page;
    ASSERT_NE(page.window, nullptr);
    HWND gone = CreateWindowExW(0, L"QuillonMessageTestWindow", L"gone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    std::string gone_handle = std::to_string(reinterpret_cast<std::uintptr_t>(gone));
    DestroyWindow(gone);
    struct Case {
        std::string what;
        std::string window_handle;
        HWND owner;
    };
    const Case cases[] = {
        {"current dialog", page.handle_text(), page.window},
        {"no dialog", "0", nullptr},
        {"dialog that went away", gone_handle, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string caption = unique_caption("owner " + c.what);
        // Icon 3 with OK alone: an error notice.
        HostRun run({{"MessageBox", {caption, "Owned?", "3", "1", "ANSWER"}}}, {{"WINDOWHANDLE", c.window_handle}});
        BoxAnswerer answerer(caption, IDOK, run.vars);
        ASSERT_TRUE(run.run());
        answerer.join();
        ASSERT_TRUE(answerer.found) << "no message box came up";
        EXPECT_EQ(answerer.owner, c.owner);
        EXPECT_EQ(answerer.progress_mode, "ERROR");
        EXPECT_EQ(run.var("ANSWER"), "OK");
    }
    EXPECT_TRUE(IsWindowEnabled(page.window)) << "the owner is enabled again after the box";
}

TEST(MessageHost, BalloonPausesTheTaskbarUntilItsTimeOut)
{
    HostRun run({{"MessageBalloon", {"Balloon", "Installed", "0", "5"}}});
    ASSERT_NE(run.host->shell().pool(), nullptr);
    ASSERT_TRUE(run.run());
    TImageListPool& pool = *run.host->shell().pool();
    RecordProperty("tray_icon_added", pool.tray_icon_shown() ? "yes" : "no");
    EXPECT_EQ(run.var("PROGRESSMODE"), "PAUSE");
    EXPECT_TRUE(pool.armed(PoolTimer::win7));
    EXPECT_EQ(pool.interval(PoolTimer::win7), 10000u) << "five seconds are raised to ten";
    pool.set_interval(PoolTimer::win7, 20);
    EXPECT_TRUE(pump_until([&] { return run.var("PROGRESSMODE") == "MARQUEE"; }, 5s));
    EXPECT_FALSE(pool.armed(PoolTimer::win7));
}

TEST(MessageHost, SystemTrayTakesTheWizardToTheTrayAndBack)
{
    TestWindow page;
    ASSERT_NE(page.window, nullptr);
    ShowWindow(page.window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(page.window));

    HostRun run({{"System Tray", {"TRUE", "FALSE", "FALSE", "FALSE"}},
                 {"Write to Text File", {}},
                 {"System Tray", {"TRUE", "TRUE", "TRUE", "TRUE"}}},
                {{"WINDOWHANDLE", page.handle_text()}});
    ASSERT_NE(run.host->shell().pool(), nullptr);
    bool probed = false;
    bool visible_in_tray = true;
    bool in_tray = false;
    bool icon_in_tray = false;
    run.handlers.add("Write to Text File", [&](CommandCall&) -> Result<void> {
        probed = true;
        visible_in_tray = IsWindowVisible(page.window) != FALSE;
        in_tray = run.host->shell().in_tray();
        icon_in_tray = run.host->shell().pool()->tray_icon_shown();
        return {};
    });
    ASSERT_TRUE(run.run());
    ASSERT_TRUE(probed);
    EXPECT_FALSE(visible_in_tray) << "minimized to the tray: hidden";
    EXPECT_TRUE(in_tray);
    RecordProperty("tray_icon_added", icon_in_tray ? "yes" : "no");
    if (notification_area_present(page.window)) {
        EXPECT_TRUE(icon_in_tray) << "the shell takes icons here: the wizard's must be there";
    }

    EXPECT_FALSE(run.host->shell().pool()->tray_icon_shown());
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = run.host->shell().pool()->window();
    data.uID = 1;
    data.uFlags = NIF_TIP;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data)) << "the shell has no icon of the form left";
    EXPECT_FALSE(run.host->shell().in_tray());
    EXPECT_TRUE(IsWindowVisible(page.window));
    EXPECT_FALSE(IsIconic(page.window));
}

} // namespace
} // namespace quillon::test
