// The example project's wizard, driven through its real windows in the same
// Wine prefix: forward, back with the values kept, a page skipped by its
// condition variable in both directions, Cancel with its confirmation, and a
// silent run that walks every page forward. The script ends with checks of
// what was typed and chosen (exit code 100 when all hold).
#include "harness/harness.h"
#include "qvoc/build.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto page_timeout = 60s;
const std::wstring typed_target = L"C:\\Quillon Test\\App";

std::string checks()
{
    auto check = [](int number, const std::string& variable, const std::string& expected) {
        return "If\n| " + variable + "\n| 0\n| " + expected + "\n| TRUE\n    Terminate with Exit Code\n    | " +
               std::to_string(number) + "\nEnd\n";
    };
    return "\n" + check(1, "TARGETDIR", "C:\\Quillon Test\\App") + check(2, "LICENSEACCEPTED", "TRUE") +
           check(3, "CUSTOMSETUP", "FALSE") + check(4, "SHOWREADME", "FALSE") + check(5, "WIZARD", "NEXT") +
           check(6, "EXTRACTRESULT", "SUCCESS") +
           "Terminate with Exit Code\n| 100\n";
}

// The example project with the checks after its last page, built into a scratch folder.
fs::path build_example(const std::wstring& name)
{
    fs::path dir = fresh_scratch_dir(name);
    fs::path example = test_data(L"..") / L".." / L"examples" / L"basic";
    fs::copy(example, dir / L"project", fs::copy_options::recursive);
    fs::path project = dir / L"project" / L"basic.qvp";
    std::ofstream(project, std::ios::binary | std::ios::app) << checks();
    qvoc::BuildOptions options;
    options.project = project;
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    EXPECT_TRUE(report) << (report ? "" : report.error().message);
    return report ? report->setup : fs::path();
}

// Pages are saved as bitmaps when QUILLON_SHOTS names a folder (for the documentation).
void shot(HWND page, const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"QUILLON_SHOTS", folder, MAX_PATH) > 0)
        save_window_bitmap(page, fs::path(folder) / (name + L".bmp"));
}

HWND control(HWND page, const wchar_t* name)
{
    HWND found = find_control(page, name);
    EXPECT_NE(found, nullptr) << to_utf8(name);
    return found;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The confirmation box of Cancel: a standard dialog box owned by the page.
HWND wait_for_message_box(std::chrono::milliseconds timeout)
{
    HWND found = nullptr;
    wait_until(
        [&] {
            found = find_own_window(L"#32770", [](HWND) { return true; });
            return found != nullptr;
        },
        timeout);
    return found;
}

HWND next_page(HWND page, const std::wstring& form_file)
{
    click(control(page, L"btnNext"));
    return wait_for_page(form_file, page_timeout);
}

HWND back_page(HWND page, const std::wstring& form_file)
{
    click(control(page, L"btnBack"));
    return wait_for_page(form_file, page_timeout);
}

// The program files of the example: every file of its payload folder, byte for
// byte, in the destination the user typed.
void expect_installed_payload()
{
    fs::path payload = test_data(L"..") / L".." / L"examples" / L"basic" / L"payload";
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(payload)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        fs::path installed = fs::path(typed_target) / fs::relative(entry.path(), payload);
        EXPECT_EQ(read_file_bytes(installed), read_file_bytes(entry.path())) << to_utf8(installed.wstring());
    }
    EXPECT_GT(files, 0);
}

TEST(ExampleWizard, ForwardBackSkippedPageAndTheChoicesAtTheEnd)
{
    fs::path setup = build_example(L"wizard_forward");
    ASSERT_FALSE(setup.empty());
    fs::remove_all(typed_target);
    StartedProgram program = start_program({setup});

    HWND page = wait_for_page(L"Welcome.dfm", page_timeout);
    ASSERT_NE(page, nullptr) << "the first page came up";
    EXPECT_EQ(to_utf8(window_text(page)), "Quillon Basic Example Setup - Quillon Wizard");
    EXPECT_FALSE(IsWindowEnabled(control(page, L"btnBack")));
    shot(page, L"wizard-welcome");

    page = next_page(page, L"License.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_NE(control_text(control(page, L"memLicense")).find(L"LICENSE AGREEMENT"), std::wstring::npos)
        << "license.txt is loaded";
    HWND next = control(page, L"btnNext");
    EXPECT_FALSE(IsWindowEnabled(next)) << "Next waits for the accept button";
    click(control(page, L"rbAccept"));
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(next) != FALSE; })) << "the rule enabled Next";
    shot(page, L"wizard-license");

    page = next_page(page, L"Destination.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_NE(control_text(control(page, L"edtTarget")), L"") << "TARGETDIR shown";
    type_text(control(page, L"edtTarget"), typed_target);

    // Back keeps what was chosen, forward keeps what was typed.
    page = back_page(page, L"License.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(is_checked(control(page, L"rbAccept")));
    EXPECT_TRUE(IsWindowEnabled(control(page, L"btnNext")));
    page = next_page(page, L"Destination.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(control_text(control(page, L"edtTarget")), typed_target);

    // The features page shows only while its box is ticked, in both directions.
    click(control(page, L"chkCustom"));
    EXPECT_TRUE(wait_until([&] { return is_checked(control(page, L"chkCustom")); }));
    shot(page, L"wizard-destination");
    page = next_page(page, L"Features.dfm");
    ASSERT_NE(page, nullptr) << "shown while CUSTOMSETUP is TRUE";
    EXPECT_GE(SendMessageW(control(page, L"tvFeatures"), TVM_GETCOUNT, 0, 0), 3) << "the feature tree is filled";
    shot(page, L"wizard-features");
    page = back_page(page, L"Destination.dfm");
    ASSERT_NE(page, nullptr);
    click(control(page, L"chkCustom"));
    EXPECT_TRUE(wait_until([&] { return !is_checked(control(page, L"chkCustom")); }));
    page = next_page(page, L"Ready.dfm");
    ASSERT_NE(page, nullptr) << "Features passed over forwards";
    page = back_page(page, L"Destination.dfm");
    ASSERT_NE(page, nullptr) << "and backwards";
    page = next_page(page, L"Ready.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(control_text(control(page, L"lblFolder")), typed_target);
    shot(page, L"wizard-ready");

    // Install: the modeless progress page, then the last page.
    click(control(page, L"btnNext"));
    page = wait_for_page(L"Finish.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(IsWindowEnabled(control(page, L"btnCancel")));
    click(control(page, L"chkLaunch"));
    EXPECT_TRUE(wait_until([&] { return !is_checked(control(page, L"chkLaunch")); }));
    shot(page, L"wizard-finish");
    click(control(page, L"btnNext"));

    RunOutcome outcome = program.wait(page_timeout);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 100u) << "check " << outcome.exit_code << " of the script failed";
    expect_installed_payload();
}

TEST(ExampleWizard, CancelAsksFirstAndEndsOnYes)
{
    fs::path setup = build_example(L"wizard_cancel");
    ASSERT_FALSE(setup.empty());
    StartedProgram program = start_program({setup});
    HWND page = wait_for_page(L"Welcome.dfm", page_timeout);
    ASSERT_NE(page, nullptr);

    click(control(page, L"btnCancel"));
    HWND box = wait_for_message_box(10s);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), page);
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    std::this_thread::sleep_for(300ms);
    std::wstring file;
    EXPECT_EQ(current_page(&file), page) << "No leaves the page waiting";
    EXPECT_TRUE(IsWindowEnabled(control(page, L"btnCancel")));

    click(control(page, L"btnCancel"));
    box = wait_for_message_box(10s);
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    RunOutcome outcome = program.wait(page_timeout);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 1602u) << "the script saw WIZARD = CANCEL";
}

TEST(ExampleWizard, SilentRunWalksEveryPageForward)
{
    fs::path setup = build_example(L"wizard_silent");
    ASSERT_FALSE(setup.empty());
    fs::remove_all(typed_target);
    // An administrator gives the choices on the command line; every page answers
    // Next without a window, so the script reaches its checks.
    RunOutcome outcome = run_program({setup, L"/s TARGETDIR=\"C:\\Quillon Test\\App\" LICENSEACCEPTED=TRUE "
                                             L"SHOWREADME=FALSE",
                                      page_timeout});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 100u) << "check " << outcome.exit_code << " of the script failed";
    expect_installed_payload();
}

} // namespace
} // namespace quillon::test
