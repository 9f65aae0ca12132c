// Dialog host forms under Wine: the example project's wizard pages and a form
// with every class open as real windows; a test finds each control by its
// name and reads its place, text and state through Win32 calls.
#include "dfm_writer.h"
#include "dialogs/rules.h"
#include "dialogs/uPool.h"
#include "harness/harness.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::string example_dialog(const std::string& name)
{
    return to_utf8(
        (test_data(L"..") / L".." / L"examples" / L"basic" / L"resources" / win32::to_wide(name + ".dfm")).wstring());
}

void pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

RECT client_rect_of(HWND control, HWND form)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LOGFONTW font_of(HWND control)
{
    LOGFONTW font{};
    auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    GetObjectW(handle, sizeof font, &font);
    return font;
}

std::unique_ptr<TPoolTemplate> load(const std::string& path)
{
    Result<std::unique_ptr<TPoolTemplate>> form = TPoolTemplate::Load(path, "");
    EXPECT_TRUE(form) << (form ? "" : form.error().message);
    if (!form)
        return nullptr;
    ShowWindow((*form)->window(), SW_SHOWNA);
    pump();
    return std::move(*form);
}

TEST(TPoolTemplate, SampleDialogsPlaceEveryControlWhereTheFormSays)
{
    for (const char* name : {"Welcome", "License", "Destination", "Features", "Ready", "Progress", "Finish"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<TPoolTemplate> form = load(example_dialog(name));
        ASSERT_NE(form, nullptr);
        HWND window = form->window();
        RECT client;
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, 497);
        EXPECT_EQ(client.bottom, 358);
        EXPECT_EQ(to_utf8(window_text(window)), "$TITLE$ Setup");
        wchar_t class_name[64];
        GetClassNameW(window, class_name, 64);
        EXPECT_STREQ(class_name, L"TPoolTemplate");
        for (const FormControl& control : form->model().controls) {
            SCOPED_TRACE(control.name);
            HWND child = find_control(window, win32::to_wide(control.name));
            ASSERT_NE(child, nullptr);
            RECT rect = client_rect_of(child, window);
            EXPECT_EQ(rect.left, control.bounds.left);
            EXPECT_EQ(rect.top, control.bounds.top);
            EXPECT_EQ(rect.right - rect.left, control.bounds.width);
            EXPECT_EQ(IsWindowVisible(child) != FALSE, control.shown);
            EXPECT_EQ(IsWindowEnabled(child) != FALSE, control.enabled);
            EXPECT_STREQ(font_of(child).lfFaceName, L"MS Sans Serif");
        }
        // Buttons read as designed; the banner's title is bold, its subtitle is not.
        EXPECT_EQ(window_text(find_control(window, L"btnCancel")), L"Cancel");
        if (HWND title = find_control(window, L"lblTitle")) {
            EXPECT_GE(font_of(title).lfWeight, FW_BOLD);
            EXPECT_EQ(font_of(find_control(window, L"lblSubtitle")).lfWeight, FW_NORMAL);
            RECT banner = client_rect_of(find_control(window, L"pnlBanner"), window);
            EXPECT_EQ(banner.right - banner.left, 497) << "aligned to the top, full width";
        }
    }
}

// A page saved in binary by a form designer (a resource header before the
// stream) shows the same controls, at the same places, with the same texts and
// states, as its text twin.
TEST(TPoolTemplate, ABinaryPageWithItsResourceHeaderShowsAsItsTextTwin)
{
    fs::path dir = fresh_scratch_dir(L"binary_pages");
    for (const char* name : {"Welcome", "License", "Destination", "Features", "Finish"}) {
        SCOPED_TRACE(name);
        std::string text_path = example_dialog(name);
        std::optional<std::string> text = read_file_bytes(win32::to_wide(text_path));
        ASSERT_TRUE(text);
        Result<dfm::Component> tree = dfm::ParseFormFile(std::as_bytes(std::span(text->data(), text->size())), name);
        ASSERT_TRUE(tree) << tree.error().message;
        fs::path binary_path = dir / (win32::to_wide(name) + L".dfm");
        std::ofstream(binary_path, std::ios::binary) << BinaryFormWriter::saved_form(*tree);
        std::optional<std::string> saved = read_file_bytes(binary_path);
        ASSERT_TRUE(saved);
        ASSERT_EQ(static_cast<unsigned char>((*saved)[0]), 0xFF) << "the resource header comes first";

        std::unique_ptr<TPoolTemplate> from_text = load(text_path);
        std::unique_ptr<TPoolTemplate> from_binary = load(to_utf8(binary_path.wstring()));
        ASSERT_NE(from_text, nullptr);
        ASSERT_NE(from_binary, nullptr);
        EXPECT_EQ(window_text(from_binary->window()), window_text(from_text->window()));
        ASSERT_EQ(from_binary->model().controls.size(), from_text->model().controls.size());
        for (const FormControl& control : from_text->model().controls) {
            SCOPED_TRACE(control.name);
            HWND a = find_control(from_text->window(), win32::to_wide(control.name));
            HWND b = find_control(from_binary->window(), win32::to_wide(control.name));
            ASSERT_NE(a, nullptr);
            ASSERT_NE(b, nullptr);
            RECT ra = client_rect_of(a, from_text->window());
            RECT rb = client_rect_of(b, from_binary->window());
            EXPECT_TRUE(EqualRect(&ra, &rb));
            EXPECT_EQ(control_text(b), control_text(a));
            EXPECT_EQ(IsWindowVisible(b), IsWindowVisible(a));
            EXPECT_EQ(IsWindowEnabled(b), IsWindowEnabled(a));
            wchar_t class_a[64] = {}, class_b[64] = {};
            GetClassNameW(a, class_a, 64);
            GetClassNameW(b, class_b, 64);
            EXPECT_STREQ(class_b, class_a);
            EXPECT_EQ(is_checked(b), is_checked(a));
        }
        wchar_t shots[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"QUILLON_SHOTS", shots, MAX_PATH) > 0) {
            save_window_bitmap(from_text->window(), fs::path(shots) / (win32::to_wide(name) + L"-text.bmp"));
            save_window_bitmap(from_binary->window(), fs::path(shots) / (win32::to_wide(name) + L"-binary.bmp"));
        }
    }
}

TEST(TPoolTemplate, LicencePageTextsAndRadioButtons)
{
    std::unique_ptr<TPoolTemplate> form = load(example_dialog("License"));
    ASSERT_NE(form, nullptr);
    HWND window = form->window();
    HWND accept = find_control(window, L"rbAccept");
    HWND decline = find_control(window, L"rbDecline");
    EXPECT_EQ(window_text(find_control(window, L"memLicense")), L"The license agreement is loaded from license.txt.");
    EXPECT_EQ(SendMessageW(accept, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(decline, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(find_control(window, L"btnNext")));
    std::vector<std::string> changes;
    form->on_change = [&](const TPoolTemplate::Control& control) { changes.push_back(control.model->name); };
    SendMessageW(accept, BM_CLICK, 0, 0);
    pump();
    EXPECT_EQ(SendMessageW(accept, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(decline, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "one checked radio per container";
    EXPECT_EQ(changes, std::vector<std::string>{"rbAccept"});
    std::vector<std::string> clicks;
    form->on_click = [&](const TPoolTemplate::Control& control) { clicks.push_back(control.model->name); };
    SendMessageW(find_control(window, L"btnCancel"), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, std::vector<std::string>{"btnCancel"});
}

TEST(TPoolTemplate, PropertiesByNameDriveTheRules)
{
    std::unique_ptr<TPoolTemplate> form = load(example_dialog("License"));
    ASSERT_NE(form, nullptr);
    TPoolTemplate& f = *form;
    DialogProperties access{
        [&f](std::string_view c, std::string_view p) { return f.property(c, p); },
        [&f](std::string_view c, std::string_view p, std::string_view text) { f.set_property(c, p, text); }};
    const std::vector<std::string> rules = {"IF (rbAccept.Checked = True)  THEN  btnNext.Enabled := True;",
                                            "IF (rbAccept.Checked = False)  THEN  btnNext.Enabled := False;"};
    EXPECT_EQ(f.property("rbAccept", "checked"), "False");
    EXPECT_EQ(f.property("btnNext", "Enabled"), "False");
    EXPECT_EQ(f.property("btnNext", "Caption"), "&Next >");
    EXPECT_EQ(f.property("btnNext", "Left"), "320");
    EXPECT_EQ(f.property("License", "Caption"), "$TITLE$ Setup");
    EXPECT_EQ(f.property("btnNext", "NoSuchProperty"), std::nullopt);
    EXPECT_EQ(f.property("noSuchControl", "Caption"), std::nullopt);
    ApplyDialogRules(rules, access);
    EXPECT_FALSE(IsWindowEnabled(f.find("btnNext")->window));
    EXPECT_TRUE(f.set_property("rbAccept", "Checked", "True"));
    EXPECT_EQ(f.property("rbDecline", "Checked"), "False") << "the container's other radio button";
    ApplyDialogRules(rules, access);
    EXPECT_TRUE(IsWindowEnabled(f.find("btnNext")->window));
    EXPECT_FALSE(f.set_property("btnNext", "Enabled", "maybe"));
    EXPECT_TRUE(f.set_property("lblTitle", "Caption", "Licence"));
    EXPECT_EQ(f.property("lblTitle", "Caption"), "Licence");
}

TEST(TPoolTemplate, EveryClassGetsAControl)
{
    std::unique_ptr<TPoolTemplate> form = load(to_utf8(test_data(L"dialogs\\every_class.dfm").wstring()));
    ASSERT_NE(form, nullptr);
    HWND window = form->window();
    struct Case {
        const wchar_t* name;
        const wchar_t* window_class;
    };
    const Case cases[] = {
        {L"cLabel", L"Static"},
        {L"cStaticText", L"Static"},
        {L"cEdit", L"Edit"},
        {L"cMaskEdit", L"Edit"},
        {L"cMemo", L"Edit"},
        {L"cRichEdit", L"RichEdit20W"},
        {L"cButton", L"Button"},
        {L"cBitBtn", L"Button"},
        {L"cSpeedButton", L"Button"},
        {L"cRzBmpButton", L"Button"},
        {L"cRzCheckBox", L"Button"},
        {L"cRzRadioButton", L"Button"},
        {L"cListBox", L"ListBox"},
        {L"cCheckListBox", L"SysListView32"},
        {L"cComboBox", L"ComboBox"},
        {L"cGroupBox", L"QuillonPaint"},
        {L"cPanel", L"QuillonPaint"},
        {L"cImage", L"Static"},
        {L"cShape", L"QuillonPaint"},
        {L"cBevel", L"QuillonPaint"},
        {L"cGauge", L"QuillonPaint"},
        {L"cProgressBar", L"msctls_progress32"},
        {L"cTrackBar", L"msctls_trackbar32"},
        {L"cUpDown", L"msctls_updown32"},
        {L"cPageControl", L"SysTabControl32"},
        {L"cTreeView", L"SysTreeView32"},
        {L"cAnimate", L"SysAnimate32"},
        {L"cFileListBox", L"ListBox"},
        {L"cDirectoryListBox", L"ListBox"},
        {L"cDriveComboBox", L"ComboBox"},
        {L"cFilterComboBox", L"ComboBox"},
        {L"cHTMLViewer", L"QuillonHtmlView"},
        {L"cFlashFrame", L"QuillonPaint"},
        {L"cPTShellTree", L"QuillonShellTree"},
        {L"cPTShellList", L"QuillonShellList"},
        {L"cPTShellCombo", L"QuillonShellCombo"},
        {L"cRzFormShape", L"QuillonPaint"},
        {L"cVistaGlass", L"QuillonPaint"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.name));
        HWND control = find_control(window, c.name);
        ASSERT_NE(control, nullptr);
        wchar_t class_name[64];
        GetClassNameW(control, class_name, 64);
        EXPECT_EQ(CompareStringOrdinal(class_name, -1, c.window_class, -1, TRUE), CSTR_EQUAL) << to_utf8(class_name);
    }
    EXPECT_EQ(window_text(find_control(window, L"cLabel")), L"TLabel caption");
    EXPECT_EQ(window_text(find_control(window, L"cEdit")), L"TEdit text");
    EXPECT_EQ(SendMessageW(find_control(window, L"cListBox"), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ListView_GetItemCount(find_control(window, L"cCheckListBox")), 2);
    EXPECT_EQ(SendMessageW(find_control(window, L"cComboBox"), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(window_text(find_control(window, L"cComboBox")), L"TComboBox text");
    EXPECT_EQ(SendMessageW(find_control(window, L"cFilterComboBox"), CB_GETCOUNT, 0, 0), 2);
    EXPECT_GT(SendMessageW(find_control(window, L"cDriveComboBox"), CB_GETCOUNT, 0, 0), 0) << "drives listed";

    // The designer's active page shows; choosing the other tab swaps the sheets' controls.
    HWND tabs = find_control(window, L"cPageControl");
    EXPECT_EQ(TabCtrl_GetItemCount(tabs), 2);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);
    EXPECT_FALSE(IsWindowVisible(find_control(window, L"cOnSheet1")));
    EXPECT_TRUE(IsWindowVisible(find_control(window, L"cOnSheet2")));
    TabCtrl_SetCurSel(tabs, 0);
    NMHDR change{tabs, static_cast<UINT_PTR>(GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(window, WM_NOTIFY, change.idFrom, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(IsWindowVisible(find_control(window, L"cOnSheet1")));
    EXPECT_FALSE(IsWindowVisible(find_control(window, L"cOnSheet2")));
}

TEST(TPoolTemplate, BadFilesFailWithTheFileAndLine)
{
    fs::path dir = fresh_scratch_dir(L"pool_bad");
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"object F: TForm\r\n  object X: TUnknownThing\r\n  end\r\nend\r\n", "bad.dfm:2: unknown class TUnknownThing"},
        {"object F: TForm\r\n  Caption = 'never closed\r\nend\r\n", "bad.dfm:2"},
        {"TPF0\x05TForm\x01", "bad.dfm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        fs::path file = dir / L"bad.dfm";
        std::ofstream(file, std::ios::binary) << c.text;
        Result<std::unique_ptr<TPoolTemplate>> form = TPoolTemplate::Load(to_utf8(file.wstring()), "");
        ASSERT_FALSE(form);
        EXPECT_NE(form.error().message.find(c.message), std::string::npos) << form.error().message;
    }
    Result<std::unique_ptr<TPoolTemplate>> missing = TPoolTemplate::Load(to_utf8((dir / L"absent.dfm").wstring()), "");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::not_found);
}

} // namespace
} // namespace quillon::test
