// The dialog runtime in-process under Wine: how a page is filled from the
// variables, how its controls write them back, and where pages are placed.
#include "dialogs/html_view.h"
#include "dialogs/shell_controls.h"
#include "dialogs/uDlgAPI.h"
#include "harness/harness.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view page_form = R"(object Page: TForm
  Caption = 'Page of $TITLE$'
  ClientWidth = 400
  ClientHeight = 300
  object chkKeep: TRzCheckBox
    Left = 8
    Top = 8
    Width = 200
    Height = 17
    Caption = 'Keep'
    Checked = True
    Hint = 'NOTDEFINEDYET'
  end
  object edtTarget: TEdit
    Left = 8
    Top = 30
    Width = 300
    Height = 21
    Tag = 2
  end
  object edtDesigned: TEdit
    Left = 8
    Top = 60
    Width = 300
    Height = 21
    Text = '$TITLE$ as designed'
    Hint = 'NOSUCHVARIABLE'
  end
  object lstItems: TListBox
    Left = 8
    Top = 90
    Width = 200
    Height = 60
    Items.Strings = (
      'first'
      '$EMPTY$'
      '$TITLE$')
    Hint = 'PICKED'
  end
  object htmStart: THTMLViewer
    Left = 210
    Top = 90
    Width = 180
    Height = 100
    Tag = 1
  end
  object txtRequired: TStaticText
    Left = 8
    Top = 160
    Width = 200
    Height = 17
    Tag = 4
  end
  object clbParts: TCheckListBox
    Left = 8
    Top = 190
    Width = 200
    Height = 60
    Items.Strings = (
      'Docs'
      '$EMPTY$'
      '$TITLE$ tools')
    Hint = 'PARTS'
  end
  object btnNext: TButton
    Left = 300
    Top = 260
    Width = 75
    Height = 23
    Caption = 'Next'
    Tag = 1
  end
end
)";

// The engine around the pages as the tests need it: each answer is a field or
// a function that a test sets.
struct FakePageRoles : PageRun, PageShell, InstallerRun {
    bool silent() const override { return silent_run; }
    bool workers_busy() const override { return false; }
    TComponentModel* components() override { return model; }
    DialogTexts texts() const override { return current_texts; }
    std::string translate(const std::string& text, const std::string& key, std::size_t index) override
    {
        return translator ? translator(text, key, index) : text;
    }

    void set_attention(bool) override {}
    void clear_attention() override {}
    void show_taskbar_progress(HWND, bool, std::int64_t, std::int64_t) override {}
    HIMAGELIST tree_images() const override { return nullptr; }
    bool in_tray() const override { return wizard_in_tray; }
    bool tray_icon_visible() const override { return tray_icon; }
    void tray_minimize() override { ++to_tray; }
    void tray_restore() override { ++from_tray; }
    bool feature_menu(HWND owner, POINT screen, const std::vector<ComponentTreeNode>& tree, std::size_t node) override
    {
        return menu && menu(owner, screen, tree, node);
    }

    void start() override
    {
        if (installer_start)
            installer_start();
    }
    void run_and_wait() override
    {
        if (installer_run)
            installer_run();
    }

    bool silent_run = false;
    TComponentModel* model = nullptr;
    DialogTexts current_texts; // what the engine's messages say now
    std::function<std::string(const std::string&, const std::string&, std::size_t)> translator;
    bool wizard_in_tray = false;
    bool tray_icon = false;
    int to_tray = 0;
    int from_tray = 0;
    std::function<bool(HWND, POINT, const std::vector<ComponentTreeNode>&, std::size_t)> menu;
    std::function<void()> installer_start;
    std::function<void()> installer_run;
};

struct RuntimeFixture {
    RuntimeFixture() : folder(fresh_scratch_dir(L"dialog_runtime"))
    {
        std::ofstream(folder / L"Page.dfm", std::ios::binary) << page_form;
        std::ofstream(folder / L"Page.dfm.qvof", std::ios::binary);
        std::ofstream(folder / L"Other.dfm", std::ios::binary)
            << "object Other: TForm\r\n  ClientWidth = 200\r\n  ClientHeight = 100\r\nend\r\n";
        std::ofstream(folder / L"Other.dfm.qvof", std::ios::binary);
        std::ofstream(folder / L"index.htm", std::ios::binary) << "<h1>Start page</h1><p>Hello</p>";
        DefineVar(vars, "TITLE", "Widget", "Initialization");
        DefineVar(vars, "TARGETDIR", "C:\\\\Widget\\\\", "Initialization");
        DefineVar(vars, "EMPTY", "", "Initialization");
        DefineVar(vars, "PICKED", "Widget", "Initialization");
        DefineVar(vars, "KYRTLOGO", "TRUE", "Initialization");
        components.StartFirstInstallation();
        components.Define("Core", "", true, {});
        components.SetSpace("Core", 2048);
        roles.model = &components;
        runtime.emplace(to_utf8(folder.wstring()), vars, PageRoles{roles, roles, roles});
    }
    HWND control(const std::string& key, const wchar_t* name)
    {
        return find_control(runtime->dialog(key)->window(), name);
    }

    fs::path folder;
    TVariableManager vars;
    TComponentModel components;
    FakePageRoles roles;
    std::optional<TDialogRuntime> runtime;
};

TEST(TDialogRuntime, PreparingFillsThePageFromTheVariables)
{
    RuntimeFixture f;
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Page.dfm").wstring())));
    Result<void> prepared = f.runtime->PrepareDialog("1");
    ASSERT_TRUE(prepared) << prepared.error().message;
    HWND page = f.runtime->dialog("1")->window();
    EXPECT_EQ(window_text(page), L"Page of Widget") << "expanded; no brand with KYRTLOGO TRUE";
    EXPECT_TRUE(is_checked(f.control("1", L"chkKeep"))) << "a Hint without its variable keeps the designed state";
    EXPECT_FALSE(f.vars.Exists("NOTDEFINEDYET"));
    EXPECT_EQ(control_text(f.control("1", L"edtTarget")), L"C:\\Widget\\") << "Tag 2 default, doubled \\ reduced";
    EXPECT_EQ(control_text(f.control("1", L"edtDesigned")), L"$TITLE$ as designed") << "unexpanded design text";
    HWND list = f.control("1", L"lstItems");
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2) << "items that expand to nothing are left out";
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 1) << "the item equal to the Hint variable";
    EXPECT_NE(control_text(f.control("1", L"htmStart")).find(L"Start page"), std::wstring::npos);
    EXPECT_EQ(control_text(f.control("1", L"txtRequired")), L"2,048 bytes")
        << "space required by the selected components";
    // The engine's texts are asked when shown: a language chosen later changes the units.
    f.roles.current_texts.units = {"Byte", "KB", "MB"};
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    EXPECT_EQ(control_text(f.control("1", L"txtRequired")), L"2,048 Byte");

    // The user's changes reach the variables.
    click(f.control("1", L"chkKeep"));
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    EXPECT_EQ(GetVar(f.vars, "NOTDEFINEDYET"), "FALSE") << "clicking creates the variable";
    type_text(f.control("1", L"edtTarget"), L"D:\\Apps\\");
    EXPECT_EQ(GetVar(f.vars, "TARGETDIR"), "C:\\\\Widget\\\\") << "an edit without a Hint binds nothing";
}

TEST(TDialogRuntime, TextsAreFixedAtTheFirstPreparationInTheirTranslation)
{
    RuntimeFixture f;
    std::vector<std::string> asked;
    f.roles.translator = [&](const std::string& text, const std::string& key, std::size_t index) {
        asked.push_back(key + "/" + std::to_string(index));
        return key == "Page.dfm.btnNext"                  ? "Weiter"
               : key == "Page.dfm.clbParts" && index == 3 ? "$TITLE$-Werkzeuge"
                                                          : text;
    };
    DefineVar(f.vars, "PARTS", "Docs$NEWLINE$Widget-Werkzeuge", "Initialization");
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Page.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    EXPECT_EQ(control_text(f.control("1", L"btnNext")), L"Weiter");
    EXPECT_NE(std::find(asked.begin(), asked.end(), "Page.dfm.Page/1"), asked.end())
        << "the caption's key is the form's name";
    HWND parts = f.control("1", L"clbParts");
    ASSERT_EQ(ListView_GetItemCount(parts), 2) << "the item that expands to nothing is left out";
    wchar_t text[64] = {};
    ListView_GetItemText(parts, 1, 0, text, 64);
    EXPECT_STREQ(text, L"Widget-Werkzeuge") << "translated, then expanded";
    EXPECT_TRUE(ListView_GetCheckState(parts, 0)) << "items named by a line of the Hint variable are checked";
    EXPECT_TRUE(ListView_GetCheckState(parts, 1));

    // A later preparation keeps the texts of the first one.
    f.roles.translator = [](const std::string&, const std::string&, std::size_t) { return std::string("other"); };
    DefineVar(f.vars, "PARTS", "Docs", "Initialization");
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    EXPECT_EQ(control_text(f.control("1", L"btnNext")), L"Weiter");
    EXPECT_TRUE(ListView_GetCheckState(parts, 0));
    EXPECT_FALSE(ListView_GetCheckState(parts, 1));
}

TEST(TDialogRuntime, HtmlPagesStartTheirProgramLinksAndFollowTheirRefresh)
{
    RuntimeFixture f;
    fs::path marker = f.folder / L"clicked.txt";
    std::ofstream(f.folder / L"index.htm", std::ios::binary)
        << "<title>Start</title><meta http-equiv=\"refresh\" content=\"1; url=second%2Ehtm\">"
           "<p><a href=\"C:\\windows\\system32\\cmd.exe /c echo clicked> &quot;"
        << to_utf8(marker.wstring()) << "&quot;\">run</a></p>";
    std::ofstream(f.folder / L"second.htm", std::ios::binary)
        << "<title>Second page</title><meta http-equiv=\"refresh\" content=\"1; url=third.htm\"><p>two</p>";
    std::ofstream(f.folder / L"third.htm", std::ios::binary) << "<title>Third</title><p>three</p>";
    std::ofstream(f.folder / L"other.htm", std::ios::binary) << "<title>Other</title><p>elsewhere</p>";
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Page.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    HWND view = f.control("1", L"htmStart");
    HWND page = f.runtime->dialog("1")->window();

    // A program link starts the program with the text after the name as its arguments.
    std::optional<RECT> link = html_view_link_rect(view, 0);
    ASSERT_TRUE(link);
    LPARAM at = MAKELPARAM((link->left + link->right) / 2, (link->top + link->bottom) / 2);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(view, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(pump_until([&] { return fs::exists(marker); }, std::chrono::seconds(20)));

    // The refresh leads on after its delay, and the page's title becomes the caption.
    ASSERT_TRUE(pump_until([&] { return html_view_title(view) == "Second page"; }, std::chrono::seconds(10)));
    EXPECT_EQ(window_text(page), L"Second page");
    // A page the user went to before the delay ended stays.
    ASSERT_TRUE(html_view_load_file(view, to_utf8((f.folder / L"other.htm").wstring())));
    pump_until([] { return false; }, std::chrono::milliseconds(1800));
    EXPECT_EQ(html_view_title(view), "Other");
}

TEST(TDialogRuntime, PagesOfOneSizeShareAPlaceAndAnotherSizeIsCentred)
{
    RuntimeFixture f;
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Page.dfm").wstring())));
    ASSERT_TRUE(f.runtime->RegisterDialog("2", to_utf8((f.folder / L"Page.dfm").wstring())));
    ASSERT_TRUE(f.runtime->RegisterDialog("3", to_utf8((f.folder / L"Other.dfm").wstring())));
    auto place = [&](const std::string& key) {
        RECT rect;
        GetWindowRect(f.runtime->dialog(key)->window(), &rect);
        return rect;
    };
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    // While the first page waits, the user moves it and clicks Next.
    static HWND moved_page = nullptr;
    static HWND next_button = nullptr;
    moved_page = f.runtime->dialog("1")->window();
    next_button = f.control("1", L"btnNext");
    UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        SetWindowPos(moved_page, nullptr, 17, 23, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageW(next_button, BM_CLICK, 0, 0);
    });
    Result<DialogResult> first = f.runtime->ShowDialog("1", true);
    KillTimer(nullptr, timer);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 6);
    ASSERT_TRUE(f.runtime->PrepareDialog("2"));
    ASSERT_TRUE(f.runtime->ShowDialog("2", false));
    EXPECT_EQ(place("2").left, 17);
    EXPECT_EQ(place("2").top, 23);
    EXPECT_FALSE(IsWindowVisible(f.runtime->dialog("1")->window()));
    ASSERT_TRUE(f.runtime->PrepareDialog("3"));
    ASSERT_TRUE(f.runtime->ShowDialog("3", false));
    RECT other = place("3");
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((other.left + other.right) / 2, (work.left + work.right) / 2, 2) << "another size is centred";
    EXPECT_FALSE(IsWindowVisible(f.runtime->dialog("2")->window())) << "the page before is hidden after";
    EXPECT_EQ(GetVar(f.vars, "KYRT_IsCancelled"), "FALSE");
}

TEST(TDialogRuntime, APageThatComesWhileInTheTrayWaitsForTheTrayClick)
{
    RuntimeFixture f;
    f.roles.wizard_in_tray = true;
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Other.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    Result<DialogResult> shown = f.runtime->ShowDialog("1", false);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->window, f.runtime->dialog("1")->window());
    EXPECT_FALSE(IsWindowVisible(shown->window)) << "not brought up while in the tray";
    f.roles.wizard_in_tray = false;
    f.runtime->show_pending();
    EXPECT_TRUE(IsWindowVisible(shown->window));
}

TEST(TDialogRuntime, MinimizeAndCloseButtonsOfAPage)
{
    RuntimeFixture f;
    bool& icon = f.roles.tray_icon;
    const int& to_tray = f.roles.to_tray;
    const int& from_tray = f.roles.from_tray;
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Other.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    ASSERT_TRUE(f.runtime->ShowDialog("1", false));
    HWND page = f.runtime->dialog("1")->window();
    // Another window of the wizard, as a second page or a form would be.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                                 nullptr);
    ASSERT_NE(other, nullptr);

    // Without the tray icon the page minimizes and takes the other windows with it.
    SendMessageW(page, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(page));
    EXPECT_FALSE(IsWindowVisible(other));
    // The close button does not close it: the page comes back, and so do the others.
    SendMessageW(page, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(page));
    EXPECT_FALSE(IsIconic(page));
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_TRUE(IsWindowVisible(other));
    EXPECT_EQ(to_tray + from_tray, 0);

    // With the tray icon the page goes to the tray, and the close button restores it from there.
    icon = true;
    SendMessageW(page, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(to_tray, 1);
    EXPECT_FALSE(IsIconic(page)) << "the tray takes the page, not the taskbar";
    SendMessageW(page, WM_CLOSE, 0, 0);
    EXPECT_EQ(from_tray, 1);
    EXPECT_TRUE(IsWindow(page));
    DestroyWindow(other);
}

TEST(TDialogRuntime, TheFeatureMenuOfATreeNodeChangesTheSelectionAndTheTexts)
{
    RuntimeFixture f;
    f.components.Define("Docs", "The manuals.", true, {});
    f.components.SetSpace("Docs", 3 * 1024 * 1024);
    f.components.Define("Tools", "", true, {});
    f.components.SetChoice("Tools", false);
    std::ofstream(f.folder / L"Features.dfm", std::ios::binary)
        << "object Features: TForm\r\n  ClientWidth = 300\r\n  ClientHeight = 200\r\n"
           "  object tvFeatures: TTreeView\r\n    Left = 8\r\n    Top = 8\r\n    Width = 200\r\n    Height = 120\r\n"
           "    Tag = 1\r\n  end\r\n"
           "  object txtRequired: TStaticText\r\n    Left = 8\r\n    Top = 140\r\n    Width = 200\r\n"
           "    Height = 17\r\n    Tag = 4\r\n  end\r\nend\r\n";
    std::ofstream(f.folder / L"Features.dfm.qvof", std::ios::binary);
    std::vector<std::size_t> asked;
    f.roles.menu = [&](HWND, POINT, const std::vector<ComponentTreeNode>& tree, std::size_t node) {
        asked.push_back(node);
        // The user chose "unavailable" for the node.
        f.components.set_selected(*tree[node].component, false);
        return true;
    };
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Features.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    HWND tree = f.control("1", L"tvFeatures");
    EXPECT_EQ(control_text(f.control("1", L"txtRequired")), L"3,074 KB");

    // The context-menu key on the selected node: the second one, Docs.
    HTREEITEM docs = TreeView_GetNextSibling(tree, TreeView_GetRoot(tree));
    ASSERT_NE(docs, nullptr);
    TreeView_SelectItem(tree, docs);
    SendMessageW(tree, WM_KEYDOWN, VK_APPS, 0);
    ASSERT_EQ(asked, std::vector<std::size_t>{1});
    EXPECT_FALSE(f.components.is_selected("Docs"));
    TVITEMW item{};
    item.mask = TVIF_IMAGE;
    item.hItem = docs;
    TreeView_GetItem(tree, &item);
    EXPECT_EQ(item.iImage, 0) << "the node shows its new state";
    EXPECT_EQ(control_text(f.control("1", L"txtRequired")), L"2,048 bytes") << "the space texts follow";

    // A component the user may not change has no menu.
    HTREEITEM tools = TreeView_GetNextSibling(tree, docs);
    ASSERT_NE(tools, nullptr);
    TreeView_SelectItem(tree, tools);
    SendMessageW(tree, WM_KEYDOWN, VK_APPS, 0);
    EXPECT_EQ(asked.size(), 1u);
}

TEST(TDialogRuntime, AnInstallerPageStartsTheInstallerAndReturnsWhenItHasFinished)
{
    RuntimeFixture f;
    std::ofstream(f.folder / L"Installing.dfm", std::ios::binary)
        << "object Installing: TForm\r\n  ClientWidth = 300\r\n  ClientHeight = 100\r\n"
           "  object txt: TStaticText\r\n    Left = 8\r\n    Top = 8\r\n    Width = 200\r\n    Height = 17\r\n"
           "    Tag = 1\r\n  end\r\nend\r\n";
    std::ofstream(f.folder / L"Installing.dfm.qvof", std::ios::binary);
    f.vars.SetValue("KYRT_thFinished", "TRUE"); // left over from an earlier worker
    int started = 0;
    int silent_runs = 0;
    std::string finished_at_start;
    std::thread installer;
    f.roles.installer_start = [&] {
        ++started;
        finished_at_start = GetVar(f.vars, "KYRT_thFinished");
        installer = std::thread([&vars = f.vars] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            vars.SetValue("KYRT_thMin", "0");
            vars.SetValue("KYRT_thMax", "100");
            vars.SetValue("KYRT_thProgress", "100");
            vars.SetValue("KYRT_thProgressText", "Copying new files");
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
            vars.SetValue("KYRT_thFinished", "TRUE");
        });
    };
    f.roles.installer_run = [&] { ++silent_runs; };
    ASSERT_TRUE(f.runtime->RegisterDialog("7", to_utf8((f.folder / L"Installing.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("7"));
    Result<DialogResult> shown = f.runtime->ShowDialog("7", true, true);
    if (installer.joinable())
        installer.join();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->code, 1) << "the installer's end ends the page";
    EXPECT_EQ(started, 1);
    EXPECT_EQ(finished_at_start, "FALSE") << "reset before the installer starts";
    EXPECT_EQ(control_text(f.control("7", L"txt")), L"Copying new files");

    // A silent run starts the installer and waits for it without a page.
    f.roles.silent_run = true;
    Result<DialogResult> silent = f.runtime->ShowDialog("7", true, true);
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->code, 6);
    EXPECT_EQ(silent_runs, 1);
    EXPECT_EQ(started, 1);
}

TEST(TDialogRuntime, AFlashFrameSaysWhatItLacks)
{
    RuntimeFixture f;
    std::ofstream(f.folder / L"Movie.dfm", std::ios::binary)
        << "object Movie: TForm\r\n  ClientWidth = 300\r\n  ClientHeight = 200\r\n"
           "  object flsIntro: TFlashFrame\r\n    Left = 8\r\n    Top = 8\r\n    Width = 280\r\n    Height = 150\r\n"
           "    Tag = 1\r\n  end\r\nend\r\n";
    std::ofstream(f.folder / L"Movie.dfm.qvof", std::ios::binary);
    ASSERT_TRUE(f.runtime->RegisterDialog("1", to_utf8((f.folder / L"Movie.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    EXPECT_EQ(window_text(f.control("1", L"flsIntro")), L"Add a movie.swf file to your project to display it here.");
    // A movie without a player beside it (there is no flash.ocx here).
    std::ofstream(f.folder / L"movie.swf", std::ios::binary) << "FWS";
    ASSERT_TRUE(f.runtime->PrepareDialog("1"));
    EXPECT_EQ(window_text(f.control("1", L"flsIntro")), L"Unable to play Flash movie");
}

// Designed tree nodes as the form designer stores them (version 3): "Top of
// $TITLE$" with the child "Leaf".
std::string tree_node_data_hex()
{
    auto record = [](const std::u16string& text, int children) {
        std::string bytes;
        auto put = [&](std::int32_t value) {
            for (int i = 0; i < 4; ++i)
                bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
        };
        put(0), put(0), put(-1), put(-1), put(0), put(0), put(children);
        bytes += '\x01';
        bytes += static_cast<char>(text.size());
        for (char16_t c : text)
            bytes += static_cast<char>(c & 0xFF), bytes += static_cast<char>(c >> 8);
        std::string sized;
        std::int32_t size = static_cast<std::int32_t>(bytes.size());
        for (int i = 0; i < 4; ++i)
            sized += static_cast<char>((size >> (8 * i)) & 0xFF);
        return sized + bytes;
    };
    std::string data = std::string("\x03\x01\x00\x00\x00", 5) + record(u"Top of $TITLE$", 1) + record(u"Leaf", 0);
    std::string hex;
    for (unsigned char c : data) {
        static const char digits[] = "0123456789ABCDEF";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

void command(HWND page, HWND control, WORD code)
{
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

HWND tree_item(HWND tree, UINT relation, HTREEITEM item = nullptr)
{
    return reinterpret_cast<HWND>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The folder, file and drive controls: where each points when the page is
// prepared, what a user's choice writes (the destination edits too, for Tag
// 1), and how live-bound ones follow their variable.
TEST(TDialogRuntime, FolderFileAndDriveControlsWriteBackAndFollow)
{
    RuntimeFixture f;
    const fs::path base = f.folder / L"Base";
    fs::create_directories(base / L"Chosen" / L"Deeper");
    fs::create_directories(base / L"Docs");
    std::ofstream(base / L"Docs" / L"a.txt") << "a";
    std::ofstream(base / L"Docs" / L"b.txt") << "b";
    std::ofstream(base / L"Docs" / L"c.log") << "c";
    std::string base_path = to_utf8(base.wstring());
    std::replace(base_path.begin(), base_path.end(), '/', '\\');
    const std::string docs = base_path + "\\Docs";
    std::ofstream(f.folder / L"Folders.dfm", std::ios::binary)
        << "object Folders: TForm\r\n  ClientWidth = 600\r\n  ClientHeight = 400\r\n"
           "  object edtTarget: TEdit\r\n    Left = 8\r\n    Top = 8\r\n    Width = 500\r\n    Height = 21\r\n"
           "    Hint = 'TARGETDIR'\r\n    Tag = 2\r\n  end\r\n"
           "  object tvShell: TPTShellTree\r\n    Left = 8\r\n    Top = 40\r\n    Width = 180\r\n    Height = 150\r\n"
           "    Hint = 'SHELLPICK'\r\n    Tag = 1\r\n  end\r\n"
           "  object cbShell: TPTShellCombo\r\n    Left = 200\r\n    Top = 40\r\n    Width = 180\r\n    Height = 21\r\n"
           "    Hint = 'FOLLOW'\r\n    Tag = 100\r\n  end\r\n"
           "  object lstFolders: TDirectoryListBox\r\n    Left = 200\r\n    Top = 70\r\n    Width = 180\r\n"
           "    Height = 120\r\n    Hint = 'DIRPICK'\r\n  end\r\n"
           "  object lstFiles: TFileListBox\r\n    Left = 400\r\n    Top = 40\r\n    Width = 180\r\n    Height = "
           "150\r\n"
           "    Hint = 'FILEPICK'\r\n    Mask = '*.txt'\r\n  end\r\n"
           "  object cbDrive: TDriveComboBox\r\n    Left = 8\r\n    Top = 200\r\n    Width = 120\r\n    Height = 21\r\n"
           "    Hint = 'DRIVEPICK'\r\n  end\r\n"
           "  object tvDesigned: TTreeView\r\n    Left = 200\r\n    Top = 200\r\n    Width = 180\r\n    Height = "
           "100\r\n"
           "    Hint = 'NODEPICK'\r\n    Items.NodeData = {\r\n      "
        << tree_node_data_hex() << "}\r\n  end\r\nend\r\n";
    std::ofstream(f.folder / L"Folders.dfm.qvof", std::ios::binary);
    // The destination does not exist below Base: the tree starts at Base, and the tail stays.
    DefineVar(f.vars, "TARGETDIR", base_path + "\\Product\\App\\", "Initialization");
    DefineVar(f.vars, "DIRPICK", base_path + "\\Chosen", "Initialization");
    DefineVar(f.vars, "FILEPICK", docs + "\\b.txt", "Initialization");
    DefineVar(f.vars, "FOLLOW", docs, "Initialization");
    ASSERT_TRUE(f.runtime->RegisterDialog("7", to_utf8((f.folder / L"Folders.dfm").wstring())));
    Result<void> prepared = f.runtime->PrepareDialog("7");
    ASSERT_TRUE(prepared) << prepared.error().message;
    ASSERT_TRUE(f.runtime->ShowDialog("7", false));
    HWND page = f.runtime->dialog("7")->window();
    HWND tree = f.control("7", L"tvShell");
    HWND folders = f.control("7", L"lstFolders");
    HWND files = f.control("7", L"lstFiles");
    HWND drives = f.control("7", L"cbDrive");
    HWND combo = f.control("7", L"cbShell");

    // Prepared: the Tag 1 tree at the destination's nearest existing folder, the others at their variables.
    EXPECT_EQ(shell_folder(tree), base_path);
    EXPECT_EQ(control_text(folders), win32::to_wide(base_path + "\\Chosen"));
    EXPECT_EQ(control_text(files), win32::to_wide(docs));
    EXPECT_EQ(SendMessageW(files, LB_GETCOUNT, 0, 0), 2) << "the mask leaves c.log out";
    EXPECT_EQ(SendMessageW(files, LB_GETCURSEL, 0, 0), 1) << "b.txt, the variable's file, is selected";
    EXPECT_EQ(shell_folder(combo), docs);
    EXPECT_FALSE(f.vars.Exists("SHELLPICK")) << "preparing writes nothing";

    // The user picks Chosen in the tree: its variable, and the destination edit with TARGETDIR through it.
    HWND inner = GetWindow(tree, GW_CHILD);
    auto selected = reinterpret_cast<HTREEITEM>(tree_item(tree, TVGN_CARET));
    ASSERT_NE(selected, nullptr);
    SendMessageW(inner, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(selected));
    auto chosen = reinterpret_cast<HTREEITEM>(tree_item(tree, TVGN_CHILD, selected));
    ASSERT_NE(chosen, nullptr);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen));
    EXPECT_EQ(GetVar(f.vars, "SHELLPICK"), base_path + "\\Chosen");
    EXPECT_EQ(control_text(f.control("7", L"edtTarget")), win32::to_wide(base_path + "\\Chosen\\Product\\App\\"));
    EXPECT_EQ(GetVar(f.vars, "TARGETDIR"), base_path + "\\Chosen\\Product\\App\\");

    // The classic folder list opens a folder on a double click, and then writes it.
    int last = static_cast<int>(SendMessageW(folders, LB_GETCOUNT, 0, 0)) - 1;
    SendMessageW(folders, LB_SETCURSEL, static_cast<WPARAM>(last), 0);
    command(page, folders, LBN_SELCHANGE);
    EXPECT_EQ(GetVar(f.vars, "DIRPICK"), base_path + "\\Chosen") << "a selection alone is no choice";
    command(page, folders, LBN_DBLCLK);
    EXPECT_EQ(GetVar(f.vars, "DIRPICK"), base_path + "\\Chosen\\Deeper");
    EXPECT_EQ(control_text(folders), win32::to_wide(base_path + "\\Chosen\\Deeper"));

    // The file list writes the selected file, the drive box the drive's root.
    SendMessageW(files, LB_SETCURSEL, 0, 0);
    command(page, files, LBN_SELCHANGE);
    EXPECT_EQ(GetVar(f.vars, "FILEPICK"), docs + "\\a.txt");
    LRESULT drive_c =
        SendMessageW(drives, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"c:"));
    ASSERT_NE(drive_c, CB_ERR);
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(drive_c), 0);
    command(page, drives, CBN_SELCHANGE);
    EXPECT_EQ(GetVar(f.vars, "DRIVEPICK"), "C:\\");

    // A live-bound control follows its variable whenever anything on the page changes.
    DefineVar(f.vars, "FOLLOW", base_path + "\\Chosen", "test");
    type_text(f.control("7", L"edtTarget"), L"D:\\Elsewhere\\");
    EXPECT_EQ(shell_folder(combo), base_path + "\\Chosen");

    // A tree view without Tag 1 shows its designed nodes, expanded, and writes the selected one.
    HWND designed = f.control("7", L"tvDesigned");
    ASSERT_EQ(SendMessageW(designed, TVM_GETCOUNT, 0, 0), 2);
    auto top = reinterpret_cast<HTREEITEM>(tree_item(designed, TVGN_ROOT));
    wchar_t text[64] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = top;
    query.pszText = text;
    query.cchTextMax = 64;
    TreeView_GetItem(designed, &query);
    EXPECT_STREQ(text, L"Top of Widget");
    SendMessageW(designed, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(top));
    EXPECT_EQ(GetVar(f.vars, "NODEPICK"), "Top of Widget");
}

TEST(TDialogRuntime, ProgressRefreshFollowsTheWorkerVariables)
{
    RuntimeFixture f;
    std::ofstream(f.folder / L"Progress.dfm", std::ios::binary)
        << "object Progress: TForm\r\n  ClientWidth = 300\r\n  ClientHeight = 100\r\n"
           "  object txt: TStaticText\r\n    Left = 8\r\n    Top = 8\r\n    Width = 200\r\n    Height = 17\r\n"
           "    Tag = 1\r\n  end\r\n"
           "  object bar: TProgressBar\r\n    Left = 8\r\n    Top = 40\r\n    Width = 200\r\n    Height = 17\r\n"
           "    Tag = 1\r\n  end\r\nend\r\n";
    std::ofstream(f.folder / L"Progress.dfm.qvof", std::ios::binary);
    ASSERT_TRUE(f.runtime->RegisterDialog("5", to_utf8((f.folder / L"Progress.dfm").wstring())));
    ASSERT_TRUE(f.runtime->PrepareDialog("5"));
    ASSERT_TRUE(f.runtime->ShowDialog("5", false));
    f.vars.SetValue("KYRT_thProgressText", "Copying setup.ini");
    f.vars.SetValue("KYRT_thProgress", "6000000000");
    f.vars.SetValue("KYRT_thMax", "8000000000");
    f.vars.SetValue("KYRT_thMin", "0");
    f.vars.SetValue("KYRT_IsCancelled", "TRUE");
    EXPECT_TRUE(f.runtime->RefreshProgress("$KYRT$", true, 0, 0, 0)) << "a pending cancel is answered";
    EXPECT_EQ(GetVar(f.vars, "KYRT_thCancelled"), "TRUE");
    EXPECT_EQ(control_text(f.control("5", L"txt")), L"Copying setup.ini");
    HWND bar = f.control("5", L"bar");
    // Ranges beyond 31 bits are scaled down together.
    auto position = SendMessageW(bar, PBM_GETPOS, 0, 0);
    auto maximum = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
    EXPECT_EQ(position, 6000000000 >> 10);
    EXPECT_EQ(maximum, 8000000000 >> 10);
}

} // namespace
} // namespace quillon::test
