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

std::string check(int number, const std::string& variable, const std::string& expected)
{
    return "If\n| " + variable + "\n| 0\n| " + expected + "\n| TRUE\n    Terminate with Exit Code\n    | " +
           std::to_string(number) + "\nEnd\n";
}

std::string checks(const std::string& target)
{
    return "\n" + check(1, "TARGETDIR", target) + check(2, "LICENSEACCEPTED", "TRUE") +
           check(3, "CUSTOMSETUP", "FALSE") + check(4, "SHOWREADME", "FALSE") + check(5, "WIZARD", "NEXT") +
           check(6, "INSTALLRESULT", "COMPLETE") + "Terminate with Exit Code\n| 100\n";
}

// The example project with the checks after its last page, built into a scratch folder.
fs::path build_example(const std::wstring& name, const std::wstring& target = typed_target)
{
    fs::path dir = fresh_scratch_dir(name);
    fs::path example = test_data(L"..") / L".." / L"examples" / L"basic";
    fs::copy(example, dir / L"project", fs::copy_options::recursive);
    fs::path project = dir / L"project" / L"basic.qvp";
    std::ofstream(project, std::ios::binary | std::ios::app) << checks(to_utf8(target));
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
    if (GetEnvironmentVariableW(L"QUILLON_SHOTS", folder, MAX_PATH) == 0)
        return;
    // The page paints itself in its own process: give it the time to.
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(700ms);
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
// byte, in the destination the user chose.
void expect_installed_payload(const std::wstring& target = typed_target)
{
    fs::path payload = test_data(L"..") / L".." / L"examples" / L"basic" / L"payload";
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(payload)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        fs::path installed = fs::path(target) / fs::relative(entry.path(), payload);
        EXPECT_EQ(read_file_bytes(installed), read_file_bytes(entry.path())) << to_utf8(installed.wstring());
    }
    EXPECT_GT(files, 0);
}

// Windows Installer keeps the example installed between tests: each test that
// installs it removes it again through its setup (REMOVE=TRUE), also when it fails.
class ExampleRemoval {
public:
    ExampleRemoval(fs::path setup, std::wstring target) : m_setup(std::move(setup)), m_target(std::move(target)) {}
    ~ExampleRemoval() { remove(); }
    RunOutcome remove()
    {
        if (m_setup.empty())
            return {};
        RunOutcome outcome = run_program({m_setup, L"/s REMOVE=TRUE TARGETDIR=\"" + m_target + L"\"", page_timeout});
        m_setup.clear();
        return outcome;
    }

private:
    fs::path m_setup;
    std::wstring m_target;
};

TEST(ExampleWizard, ForwardBackSkippedPageAndTheChoicesAtTheEnd)
{
    fs::path setup = build_example(L"wizard_forward");
    ASSERT_FALSE(setup.empty());
    ExampleRemoval removal(setup, typed_target);
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

// The destination page's folder tree: it starts at the nearest existing folder
// of TARGETDIR, and the folder the user picks becomes the destination, with the
// part of TARGETDIR that did not exist kept below it. The files land there.
TEST(ExampleWizard, AFolderPickedInTheTreeBecomesTheDestination)
{
    const fs::path base = L"C:\\Quillon Tree\\Base";
    fs::remove_all(L"C:\\Quillon Tree");
    fs::create_directories(base / L"Chosen");
    const std::wstring target = base.wstring() + L"\\Chosen\\Product\\";
    fs::path setup = build_example(L"wizard_tree", target);
    ExampleRemoval removal(setup, target);
    ASSERT_FALSE(setup.empty());
    StartedProgram program = start_program({setup, L"TARGETDIR=\"" + base.wstring() + L"\\Product\\\""});

    HWND page = wait_for_page(L"Welcome.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    page = next_page(page, L"License.dfm");
    ASSERT_NE(page, nullptr);
    click(control(page, L"rbAccept"));
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(control(page, L"btnNext")) != FALSE; }));
    page = next_page(page, L"Destination.dfm");
    ASSERT_NE(page, nullptr);
    HWND tree = control(page, L"tvFolders");
    EXPECT_EQ(control_text(tree), base.wstring()) << "the tree starts at the nearest existing folder";

    // Expand the folder shown (as a click on its button does) and pick its one subfolder.
    auto selected = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    ASSERT_NE(selected, nullptr);
    SendMessageW(GetWindow(tree, GW_CHILD), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(selected));
    auto chosen = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(selected)));
    ASSERT_NE(chosen, nullptr);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen));
    EXPECT_TRUE(wait_until([&] { return control_text(control(page, L"edtTarget")) == target; }))
        << to_utf8(control_text(control(page, L"edtTarget")));
    shot(page, L"wizard-destination-tree");

    page = next_page(page, L"Ready.dfm");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(control_text(control(page, L"lblFolder")), target);
    click(control(page, L"btnNext"));
    page = wait_for_page(L"Finish.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    click(control(page, L"chkLaunch"));
    EXPECT_TRUE(wait_until([&] { return !is_checked(control(page, L"chkLaunch")); }));
    click(control(page, L"btnNext"));
    RunOutcome outcome = program.wait(page_timeout);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 100u) << "check " << outcome.exit_code << " of the script failed";
    expect_installed_payload(target);
}

// A page of the classic folder controls in a setup of its own: a double click
// in the folder list opens a folder and makes it the destination; the file list
// and the drive box write what the user selects.
TEST(ClassicFolderControls, APageOfThemWritesTheUsersChoices)
{
    const fs::path base = L"C:\\Quillon Classic\\Base";
    fs::remove_all(L"C:\\Quillon Classic");
    fs::create_directories(base / L"Chosen");
    std::ofstream(base / L"notes.txt") << "notes";
    const std::string base_text = to_utf8(base.wstring());
    fs::path dir = fresh_scratch_dir(L"classic_folders");
    fs::create_directories(dir / L"res");
    std::ofstream(dir / L"res" / L"Folders.dfm", std::ios::binary)
        << "object Folders: TForm\r\n  Caption = 'Folders'\r\n  ClientWidth = 520\r\n  ClientHeight = 300\r\n"
           "  object edtTarget: TEdit\r\n    Left = 8\r\n    Top = 8\r\n    Width = 500\r\n    Height = 21\r\n"
           "    Hint = 'TARGETDIR'\r\n    Tag = 2\r\n  end\r\n"
           "  object lstFolders: TDirectoryListBox\r\n    Left = 8\r\n    Top = 40\r\n    Width = 240\r\n"
           "    Height = 200\r\n    Hint = 'PICKED'\r\n    Tag = 1\r\n  end\r\n"
           "  object lstFiles: TFileListBox\r\n    Left = 260\r\n    Top = 40\r\n    Width = 250\r\n    Height = "
           "150\r\n"
           "    Hint = 'FILEPICK'\r\n    Mask = '*.txt'\r\n  end\r\n"
           "  object cbDrive: TDriveComboBox\r\n    Left = 260\r\n    Top = 200\r\n    Width = 120\r\n"
           "    Height = 21\r\n    Hint = 'DRIVEPICK'\r\n  end\r\n"
           "  object btnNext: TButton\r\n    Left = 430\r\n    Top = 260\r\n    Width = 75\r\n    Height = 23\r\n"
           "    Caption = 'Next'\r\n    Tag = 1\r\n  end\r\nend\r\n";
    std::ofstream(dir / L"res" / L"Folders.dfm.qvof", std::ios::binary);
    const std::string expected = base_text + "\\Chosen\\Product\\";
    std::ofstream(dir / L"classic.qvp", std::ios::binary)
        << "[setup]\ntitle = Classic Test\nproduct-code = {3C3C3C3C-1111-2222-3333-44444444444B}\nresources = res\n\n"
           "[script]\n"
           "Set Variable\n| TARGETDIR\n| " +
               base_text +
               "\\Product\\\n"
               "Set Variable\n| FILEPICK\n| " +
               base_text +
               "\n"
               "Set Variable\n| PICKED\n|\nSet Variable\n| DRIVEPICK\n|\n"
               "Display Dialog\n| Folders\n| WIZARD\n| TRUE\n|\n|\n| FALSE\n" +
               check(1, "TARGETDIR", expected) + check(2, "PICKED", base_text + "\\Chosen") +
               check(3, "FILEPICK", base_text + "\\notes.txt") + check(4, "DRIVEPICK", "C:\\") +
               "Terminate with Exit Code\n| 100\n";
    qvoc::BuildOptions options;
    options.project = dir / L"classic.qvp";
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    ASSERT_TRUE(report) << report.error().message;
    StartedProgram program = start_program({report->setup});

    HWND page = wait_for_page(L"Folders.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    HWND folders = control(page, L"lstFolders");
    HWND files = control(page, L"lstFiles");
    HWND drives = control(page, L"cbDrive");
    EXPECT_EQ(control_text(folders), base.wstring()) << "the destination's nearest existing folder";
    EXPECT_EQ(control_text(files), base.wstring()) << "the folder its variable names";

    // A double click on the last item, the one subfolder, as the mouse gives it.
    auto last = static_cast<int>(SendMessageW(folders, LB_GETCOUNT, 0, 0)) - 1;
    auto height = static_cast<int>(SendMessageW(folders, LB_GETITEMHEIGHT, 0, 0));
    LPARAM at = MAKELPARAM(10, last * height + height / 2);
    PostMessageW(folders, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(folders, WM_LBUTTONUP, 0, at);
    PostMessageW(folders, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(folders, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(wait_until([&] { return control_text(folders) == base.wstring() + L"\\Chosen"; }))
        << to_utf8(control_text(folders));
    EXPECT_TRUE(wait_until([&] {
        return control_text(control(page, L"edtTarget")) == base.wstring() + L"\\Chosen\\Product\\";
    })) << to_utf8(control_text(control(page, L"edtTarget")));

    // The file list's one file, clicked; the drive box's drive C: chosen.
    PostMessageW(files, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, height / 2));
    PostMessageW(files, WM_LBUTTONUP, 0, MAKELPARAM(10, height / 2));
    LRESULT drive_c =
        SendMessageW(drives, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"c:"));
    ASSERT_NE(drive_c, CB_ERR);
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(drive_c), 0);
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(drives), CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
    EXPECT_TRUE(wait_until([&] { return SendMessageW(files, LB_GETCURSEL, 0, 0) == 0; }));
    shot(page, L"classic-folders");

    click(control(page, L"btnNext"));
    RunOutcome outcome = program.wait(page_timeout);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 100u) << "check " << outcome.exit_code << " of the script failed";
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
    ExampleRemoval removal(setup, typed_target);
    fs::remove_all(typed_target);
    // An administrator gives the choices on the command line; every page answers
    // Next without a window, so the script reaches its checks.
    RunOutcome outcome = run_program({setup,
                                      L"/s TARGETDIR=\"C:\\Quillon Test\\App\" LICENSEACCEPTED=TRUE "
                                      L"SHOWREADME=FALSE",
                                      page_timeout});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 100u) << "check " << outcome.exit_code << " of the script failed";
    expect_installed_payload();
    EXPECT_EQ(registry_string(HKEY_CURRENT_USER, L"Software\\Quillon Samples\\Basic", L"InstallDir"), typed_target);

    // The removal takes the files and the registry value away again.
    RunOutcome removed = removal.remove();
    EXPECT_EQ(removed.exit_code, 0u);
    EXPECT_FALSE(fs::exists(fs::path(typed_target) / L"readme.txt"));
    EXPECT_FALSE(fs::exists(fs::path(typed_target) / L"help" / L"guide.txt"));
    EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, L"Software\\Quillon Samples\\Basic", L"InstallDir"));
}

// The example installed, then maintained as Apps & features does it: the
// cached engine started with the uninstall entry's ModifyPath repairs a
// deleted program file (the saved destination comes back from the engine
// cache), and with its UninstallString removes the product.
TEST(ExampleMaintenance, TheCachedEngineRepairsAndRemoves)
{
    const std::wstring target = L"C:\\Quillon Test\\Repaired";
    const std::wstring entry = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon Basic Example";
    fs::path setup = build_example(L"maintenance", target);
    ASSERT_FALSE(setup.empty());
    ExampleRemoval removal(setup, target);
    fs::remove_all(target);
    RunOutcome installed =
        run_program({setup, L"/s TARGETDIR=\"" + target + L"\" LICENSEACCEPTED=TRUE SHOWREADME=FALSE", page_timeout});
    ASSERT_EQ(installed.exit_code, 100u) << "check " << installed.exit_code << " of the script failed";
    expect_installed_payload(target);

    std::optional<std::wstring> modify = registry_string(HKEY_LOCAL_MACHINE, entry, L"ModifyPath");
    std::optional<std::wstring> uninstall = registry_string(HKEY_LOCAL_MACHINE, entry, L"UninstallString");
    ASSERT_TRUE(modify && uninstall);
    ASSERT_EQ(modify->front(), L'"');
    fs::path cached_engine = modify->substr(1, modify->find(L'"', 1) - 1);
    ASSERT_TRUE(fs::exists(cached_engine)) << to_utf8(*modify);

    // Repair: no TARGETDIR on the command line; the maintenance data give it.
    // The program files' sources are the setup's media, which the cache does
    // not hold: a silent run names them (a run with a user asks for them).
    fs::remove(fs::path(target) / L"readme.txt");
    RunOutcome repaired = run_program(
        {cached_engine,
         L"/s LICENSEACCEPTED=TRUE SHOWREADME=FALSE \"DATADIR=" + (setup.parent_path() / L"data").wstring() + L"\\\"",
         page_timeout});
    EXPECT_EQ(repaired.exit_code, 100u) << "check " << repaired.exit_code << " of the script failed";
    expect_installed_payload(target);

    // Removal with the entry's own command line.
    std::size_t close = uninstall->find(L'"', 1);
    ASSERT_NE(close, std::wstring::npos);
    RunOutcome removed =
        run_program({fs::path(uninstall->substr(1, close - 1)), uninstall->substr(close + 2), page_timeout});
    EXPECT_EQ(removed.exit_code, 0u);
    EXPECT_FALSE(fs::exists(fs::path(target) / L"help" / L"guide.txt"));
    EXPECT_FALSE(registry_string(HKEY_LOCAL_MACHINE, entry, L"ModifyPath"));
    EXPECT_FALSE(fs::exists(cached_engine));
}

// Modify as Apps & features starts it: the cached engine, with a component
// chosen that the first installation left out, installs that component's
// files beside the others; the removal takes both away.
TEST(ExampleMaintenance, ModifyAddsAComponentsFiles)
{
    const std::wstring target = L"C:\\Quillon Test\\Modified\\";
    const std::wstring entry = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Modify Test";
    fs::path dir = fresh_scratch_dir(L"maintenance-modify");
    fs::create_directories(dir / L"main");
    fs::create_directories(dir / L"extra");
    std::ofstream(dir / L"main" / L"app.txt", std::ios::binary) << "the program";
    std::ofstream(dir / L"extra" / L"extra.txt", std::ios::binary) << "the extra part";
    std::ofstream(dir / L"modify.qvp", std::ios::binary)
        << "[setup]\ntitle = Modify Test\nproduct-code = {5B5B5B5B-1111-2222-3333-444444444446}\n"
           "media-folder = main\nmedia-folder = extra\n\n[script]\n"
           "Define Component\n| Extra\n| FALSE\n| The extra part\n"
           "If\n| ADDEXTRA\n| 5\n|\n| FALSE\n    Set Component State\n    | Extra\n    | TRUE\nEnd\n"
           "Set Variable\n| INSTALLING\n| TRUE\n"
           "If\n| REMOVE\n| 0\n| TRUE\n| FALSE\n    Set Variable\n    | INSTALLING\n    | FALSE\nEnd\n"
           "Install Files\n@media-folder = main\\\n| *\n|\n| $TARGETDIR$\n"
           "Get Component State\n| Extra\n| EXTRASTATE\n"
           "If\n| EXTRASTATE\n| 0\n| TRUE\n| FALSE\n"
           "    Install Files\n    @media-folder = extra\\\n    | *\n    |\n    | $TARGETDIR$extra\nEnd\n"
           "Apply Changes\n|\n| RESULT\n| $INSTALLING$\n| $REMOVE$\n"
           "If\n| RESULT\n| 0\n| COMPLETE\n| TRUE\n    Terminate with Exit Code\n    | 1603\nEnd\n";
    qvoc::BuildOptions options;
    options.project = dir / L"modify.qvp";
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    ASSERT_TRUE(report) << report.error().message;
    fs::remove_all(target);
    std::wstring data = L" \"DATADIR=" + (dir / L"out" / L"data").wstring() + L"\\\"";

    ASSERT_EQ(run_program({report->setup, L"/s \"TARGETDIR=" + target + L"\"", page_timeout}).exit_code, 0u);
    EXPECT_TRUE(fs::exists(fs::path(target) / L"app.txt"));
    EXPECT_FALSE(fs::exists(fs::path(target) / L"extra" / L"extra.txt"));
    std::optional<std::wstring> modify = registry_string(HKEY_LOCAL_MACHINE, entry, L"ModifyPath");
    std::optional<std::wstring> uninstall = registry_string(HKEY_LOCAL_MACHINE, entry, L"UninstallString");
    ASSERT_TRUE(modify && uninstall);
    fs::path cached_engine = modify->substr(1, modify->find(L'"', 1) - 1);

    RunOutcome modified = run_program({cached_engine, L"/s ADDEXTRA=1" + data, page_timeout});
    EXPECT_EQ(modified.exit_code, 0u);
    EXPECT_TRUE(fs::exists(fs::path(target) / L"app.txt"));
    EXPECT_EQ(read_file_bytes(fs::path(target) / L"extra" / L"extra.txt"), "the extra part");

    std::size_t close = uninstall->find(L'"', 1);
    RunOutcome removed =
        run_program({fs::path(uninstall->substr(1, close - 1)), uninstall->substr(close + 2) + data, page_timeout});
    EXPECT_EQ(removed.exit_code, 0u);
    EXPECT_FALSE(fs::exists(fs::path(target) / L"app.txt"));
    EXPECT_FALSE(fs::exists(fs::path(target) / L"extra" / L"extra.txt"));
    EXPECT_FALSE(registry_string(HKEY_LOCAL_MACHINE, entry, L"ModifyPath"));
}

} // namespace
} // namespace quillon::test
