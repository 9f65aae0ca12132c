// TSetLanguage on a real window under Wine, driven from a second thread as a user would.
#include "engine/uLanguage.h"
#include "harness/harness.h"

#include <gtest/gtest.h>

#include <thread>

namespace quillon::test {
namespace {

HWND control_named(HWND form, const wchar_t* name)
{
    struct Search {
        const wchar_t* name;
        HWND found;
    } search{name, nullptr};
    EnumChildWindows(
        form,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            auto* own = static_cast<const wchar_t*>(GetPropW(child, L"QuillonName"));
            if (own != nullptr && std::wstring_view(own) == s->name) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

const std::vector<std::string> languages = {"English", "German", "French"};

TEST(TSetLanguage, ShowsThePreselectionAndReturnsTheChoice)
{
    EngineMessages messages;
    std::thread user([] {
        HWND form = wait_for_window(L"Select Setup Language", std::chrono::seconds(30));
        ASSERT_NE(form, nullptr);
        HWND combo = control_named(form, L"LangCombo");
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1) << "the user's German is preselected";
        EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
        EXPECT_EQ(window_text(control_named(form, L"Label1")),
                  L"Please select the language to use during the installation:");
        EXPECT_EQ(window_text(control_named(form, L"BitBtn1")), L"&OK");
        SendMessageW(combo, CB_SETCURSEL, 2, 0);
        PostMessageW(control_named(form, L"BitBtn1"), BM_CLICK, 0, 0);
    });
    std::optional<std::string> chosen = ChooseLanguage(languages, "English", "German", false, messages);
    user.join();
    EXPECT_EQ(chosen, "French");
}

TEST(TSetLanguage, CancelChoosesNothing)
{
    EngineMessages messages;
    std::thread user([] {
        HWND form = wait_for_window(L"Select Setup Language", std::chrono::seconds(30));
        ASSERT_NE(form, nullptr);
        PostMessageW(control_named(form, L"BitBtn2"), BM_CLICK, 0, 0);
    });
    std::optional<std::string> chosen = ChooseLanguage(languages, "English", "German", false, messages);
    user.join();
    EXPECT_EQ(chosen, std::nullopt);
}

TEST(TSetLanguage, ASilentRunTakesThePreselectionWithoutAWindow)
{
    EngineMessages messages;
    EXPECT_EQ(ChooseLanguage(languages, "French", "Dutch", true, messages), "French");
    EXPECT_EQ(wait_for_window(L"Select Setup Language", std::chrono::milliseconds(200)), nullptr);
}

} // namespace
} // namespace quillon::test
