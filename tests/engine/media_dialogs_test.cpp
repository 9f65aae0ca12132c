// The questions of a failed web media fetch as real windows under Wine,
// answered from another thread as a user would.
#include "engine/media_dialogs.h"
#include "harness/harness.h"

#include <gtest/gtest.h>

#include <thread>

namespace quillon::test {
namespace {

using namespace std::chrono_literals;

struct AttentionCount : PageShell {
    void set_attention(bool error) override { attention.push_back(error ? "error" : "pause"); }
    void clear_attention() override { attention.push_back("clear"); }
    void show_taskbar_progress(HWND, bool, std::int64_t, std::int64_t) override {}
    HIMAGELIST tree_images() const override { return nullptr; }
    bool in_tray() const override { return false; }
    bool tray_icon_visible() const override { return false; }
    void tray_minimize() override {}
    void tray_restore() override {}
    bool feature_menu(HWND, POINT, const std::vector<ComponentTreeNode>&, std::size_t) override { return false; }
    std::vector<std::string> attention;
};

// Runs `answer` on its own thread once the dialog with the title is up.
class User {
public:
    User(std::wstring title, std::function<void(HWND dialog)> answer)
        : m_thread([title = std::move(title), answer = std::move(answer)] {
              HWND dialog = wait_for_window(title, 10s);
              if (dialog == nullptr)
                  return;
              wchar_t folder[MAX_PATH] = {};
              if (GetEnvironmentVariableW(L"QUILLON_SHOTS", folder, MAX_PATH) > 0) {
                  std::this_thread::sleep_for(300ms);
                  std::wstring file = title;
                  std::erase(file, L'?');
                  save_window_bitmap(dialog, std::filesystem::path(folder) / (file + L".bmp"));
              }
              answer(dialog);
          })
    {
    }
    ~User() { m_thread.join(); }

private:
    std::thread m_thread;
};

struct MediaDialogTest : ::testing::Test {
    EngineMessages messages;
    AttentionCount shell;
    MediaDialogHost host{messages, nullptr, &shell, 60000};
};

TEST_F(MediaDialogTest, TheProxyQuestionTakesTheEditedValuesOrNo)
{
    ProxySettings current{"proxy.example", "8080", "ann", "secret"};
    std::optional<ProxySettings> answered;
    {
        User user(L"Retry Download?", [](HWND dialog) {
            EXPECT_EQ(control_text(find_control(dialog, L"Server")), L"proxy.example")
                << "filled with the current values";
            EXPECT_EQ(control_text(find_control(dialog, L"Label6")), L"Proxy Pass&word:");
            type_text(find_control(dialog, L"Server"), L"127.0.0.2");
            type_text(find_control(dialog, L"Port"), L"3128");
            click(find_control(dialog, L"BitBtn1"));
        });
        Result<std::optional<ProxySettings>> result = AskRetryThroughProxy(host, current);
        ASSERT_TRUE(result) << result.error().describe();
        answered = *result;
    }
    ASSERT_TRUE(answered) << "Yes retries";
    EXPECT_EQ(answered->server, "127.0.0.2");
    EXPECT_EQ(answered->port, "3128");
    EXPECT_EQ(answered->user, "ann");
    EXPECT_EQ(shell.attention, (std::vector<std::string>{"pause", "clear"})) << "the taskbar shows the pause meanwhile";

    User escape(L"Retry Download?", [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    Result<std::optional<ProxySettings>> refused = AskRetryThroughProxy(host, current);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(*refused) << "Esc answers No";
}

TEST_F(MediaDialogTest, UnansweredQuestionsAnswerThemselves)
{
    host.timeout_ms = 700;
    struct Case {
        std::string_view what;
        const wchar_t* pick; // the radio button the user picks first, or none
        std::optional<ResumeChoice> expected;
    };
    const Case cases[] = {
        {"resume by default", nullptr, ResumeChoice::resume},
        {"a new copy picked before", L"NewCopy", ResumeChoice::new_copy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        User user(L"Retry Download?", [&](HWND dialog) {
            if (c.pick != nullptr)
                click(find_control(dialog, c.pick));
        });
        Result<std::optional<ResumeChoice>> answer = AskResumeOrNewCopy(host);
        ASSERT_TRUE(answer) << answer.error().describe();
        EXPECT_EQ(*answer, c.expected);
    }
    {
        User user(L"Retry Extraction?", [](HWND dialog) { click(find_control(dialog, L"Extract")); });
        Result<std::optional<ExtractChoice>> answer = AskDownloadOrExtract(host);
        ASSERT_TRUE(answer) << answer.error().describe();
        EXPECT_EQ(*answer, ExtractChoice::download) << "unanswered, always a fresh download";
    }
}

TEST_F(MediaDialogTest, OkAndCancel)
{
    {
        User user(L"Retry Extraction?", [](HWND dialog) {
            click(find_control(dialog, L"Extract"));
            std::this_thread::sleep_for(200ms);
            click(find_control(dialog, L"BitBtn1"));
        });
        Result<std::optional<ExtractChoice>> answer = AskDownloadOrExtract(host);
        ASSERT_TRUE(answer) << answer.error().describe();
        EXPECT_EQ(*answer, ExtractChoice::extract);
    }
    {
        User user(L"Retry Download?", [](HWND dialog) { click(find_control(dialog, L"BitBtn2")); });
        Result<std::optional<ResumeChoice>> answer = AskResumeOrNewCopy(host);
        ASSERT_TRUE(answer) << answer.error().describe();
        EXPECT_FALSE(*answer) << "Cancel";
    }
    {
        User user(L"Retry Extraction?", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
        Result<std::optional<ExtractChoice>> answer = AskDownloadOrExtract(host);
        ASSERT_TRUE(answer) << answer.error().describe();
        EXPECT_FALSE(*answer) << "closing the window is Cancel";
    }
}

} // namespace
} // namespace quillon::test
