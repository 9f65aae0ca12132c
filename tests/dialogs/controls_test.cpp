// The dialogs' own controls on real windows under Wine: the HTML viewer and the
// shell tree, list and combo, driven through their messages as a user would.
#include "dialogs/html_view.h"
#include "dialogs/shell_controls.h"
#include "harness/harness.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

namespace quillon::test {
namespace {

inline void destroy_window(HWND window) noexcept
{
    DestroyWindow(window);
}
inline void delete_font(HFONT font) noexcept
{
    DeleteObject(font);
}
using UniqueWindow = win32::UniqueResource<HWND, destroy_window>;
using UniqueFont = win32::UniqueResource<HFONT, delete_font>;

constexpr wchar_t host_class[] = L"QuillonControlsTestHost";

// Handles what the queue holds now (posted folder changes, paints).
void pump(std::chrono::milliseconds at_least = std::chrono::milliseconds(0))
{
    auto end = std::chrono::steady_clock::now() + at_least;
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (at_least.count() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < end);
}

std::wstring text_of(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

POINT center_of(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void click(HWND window, POINT at)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

void write_file(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A scratch path in the form the controls answer: backslashes, no trailing one.
std::string windows_path(const std::filesystem::path& path)
{
    std::wstring text = path.wstring();
    std::replace(text.begin(), text.end(), L'/', L'\\');
    while (text.size() > 3 && text.back() == L'\\')
        text.pop_back();
    return win32::to_ansi(text);
}

class Controls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterHtmlView(instance));
        ASSERT_TRUE(RegisterShellControls(instance));
        ASSERT_TRUE(RegisterHtmlView(instance)) << "registering twice is harmless";
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = instance;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        window_class.lpszClassName = host_class;
        RegisterClassW(&window_class);
    }

    void SetUp() override
    {
        m_host.reset(CreateWindowExW(0, host_class, L"Quillon dialog controls", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                     20, 20, 900, 640, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(m_host);
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        m_font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    }

    // As the dialog host creates them: no border or scroll style of its own.
    HWND make(const wchar_t* window_class, int x, int y, int width, int height)
    {
        HWND child = CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, width, height,
                                     m_host.get(), nullptr, GetModuleHandleW(nullptr), nullptr);
        if (child != nullptr)
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE);
        return child;
    }

    UniqueWindow m_host;
    UniqueFont m_font;
};

// --- HTML view ---

TEST_F(Controls, HtmlViewGivesThePageAsTextWithItsTitleAndRefresh)
{
    HWND view = make(html_view_class, 10, 10, 400, 300);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(GetWindowLongPtrW(view, GWL_STYLE) & WS_VSCROLL, 0) << "the view brings its own scroll bar";
    EXPECT_NE(GetWindowLongPtrW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0) << "and its own border";

    html_view_set_html(view, "<html><head><title>Welcome &amp; more</title>"
                             "<meta http-equiv=\"refresh\" content=\"7; URL=next.htm\"></head><body>"
                             "<h1>Welcome</h1><p>This is <b>bold</b>\nand <i>italic</i>.</p>"
                             "<ul><li>First<li>Second</ul><ol><li>One</ol><hr><p>line1<br>line2 &eacute;</p>");
    EXPECT_EQ(text_of(view), L"Welcome\r\nThis is bold and italic.\r\n\u2022 First\r\n\u2022 Second\r\n1. One\r\n\r\n"
                             L"line1\r\nline2 \u00e9");
    EXPECT_EQ(html_view_title(view), "Welcome & more");
    EXPECT_EQ(html_view_refresh(view), (std::optional<std::pair<int, std::string>>{{7, "next.htm"}}));
    EXPECT_EQ(html_view_file(view), "");

    SetWindowTextW(view, L"<p>Set as <b>window text</b></p>");
    EXPECT_EQ(text_of(view), L"Set as window text");
    EXPECT_EQ(html_view_title(view), "");
    EXPECT_EQ(html_view_refresh(view), std::nullopt);

    EXPECT_EQ(html_view_title(m_host.get()), "") << "a window of another class is left alone";
    EXPECT_EQ(html_view_link_rect(m_host.get(), 0), std::nullopt);
}

TEST_F(Controls, HtmlViewLoadsFilesAndFollowsLocalLinks)
{
    std::filesystem::path dir = fresh_scratch_dir(L"html-links");
    std::filesystem::create_directories(dir / "sub");
    write_file(dir / "index.htm", "<title>Start</title><p>Go to <a href=\"page2.htm\">the second page</a>, "
                                  "<a href=\"http://example.com/\">the web</a> or <a href=\"missing.htm\">nowhere</a>");
    write_file(dir / "page2.htm",
               "<title>Second page</title><p>You followed the link. <a href=\"sub/page%203.HTML#top\">Deeper</a>");
    write_file(dir / "sub" / "page 3.html", "<title>Third</title><p>Back <a href=\"file:../index.htm\">home</a>");

    HWND view = make(html_view_class, 10, 10, 500, 200);
    ASSERT_NE(view, nullptr);
    std::vector<std::string> clicked;
    bool handled = false;
    int pages = 0;
    html_view_on_link(view, [&](const std::string& href) {
        clicked.push_back(href);
        return handled;
    });
    html_view_on_page(view, [&] { ++pages; });

    EXPECT_FALSE(html_view_load_file(view, windows_path(dir / "absent.htm")));
    EXPECT_EQ(pages, 0);
    ASSERT_TRUE(html_view_load_file(view, windows_path(dir / "index.htm")));
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(html_view_title(view), "Start");
    EXPECT_EQ(html_view_file(view), windows_path(dir / "index.htm"));

    // Links the view cannot follow itself leave the page as it is.
    for (int link : {1, 2}) {
        std::optional<RECT> rect = html_view_link_rect(view, link);
        ASSERT_TRUE(rect) << link;
        click(view, center_of(*rect));
    }
    EXPECT_EQ(clicked, (std::vector<std::string>{"http://example.com/", "missing.htm"}));
    EXPECT_EQ(html_view_title(view), "Start");

    // Pressed on a link and released elsewhere is no click.
    std::optional<RECT> first = html_view_link_rect(view, 0);
    ASSERT_TRUE(first);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(center_of(*first).x, center_of(*first).y));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(5, 190));
    EXPECT_EQ(clicked.size(), 2u);

    // A handled link is the owner's business.
    handled = true;
    click(view, center_of(*first));
    EXPECT_EQ(clicked.back(), "page2.htm");
    EXPECT_EQ(html_view_title(view), "Start");

    handled = false;
    click(view, center_of(*first));
    EXPECT_EQ(html_view_title(view), "Second page");
    EXPECT_EQ(html_view_file(view), windows_path(dir / "page2.htm"));
    EXPECT_EQ(text_of(view), L"You followed the link. Deeper");
    EXPECT_EQ(pages, 2);

    // Relative to the page shown, with "/" and "%20", a fragment and an upper-case extension.
    std::optional<RECT> deeper = html_view_link_rect(view, 0);
    ASSERT_TRUE(deeper);
    click(view, center_of(*deeper));
    EXPECT_EQ(html_view_title(view), "Third");
    std::optional<RECT> home = html_view_link_rect(view, 0);
    ASSERT_TRUE(home);
    click(view, center_of(*home));
    EXPECT_EQ(html_view_title(view), "Start") << "a file: link relative to the page's folder";

    // A page set as text resolves against the base folder the owner gives.
    html_view_set_html(view, "<a href=\"page2.htm\">two</a>");
    html_view_set_base(view, windows_path(dir / "sub"));
    click(view, center_of(html_view_link_rect(view, 0).value()));
    EXPECT_EQ(html_view_title(view), "") << "sub\\page2.htm does not exist";
    html_view_set_base(view, windows_path(dir) + "\\");
    click(view, center_of(html_view_link_rect(view, 0).value()));
    EXPECT_EQ(html_view_title(view), "Second page");
}

TEST_F(Controls, HtmlViewWrapsAtItsWidthAndScrolls)
{
    HWND view = make(html_view_class, 10, 10, 500, 120);
    ASSERT_NE(view, nullptr);
    std::string page = "<p>";
    for (int i = 0; i < 60; ++i)
        page += "word" + std::to_string(i) + " ";
    page += "<a href=\"x.htm\">the end</a></p><p>" + std::string(300, 'W') + "</p>";
    html_view_set_html(view, page);

    RECT client{};
    GetClientRect(view, &client);
    std::optional<RECT> wide = html_view_link_rect(view, 0);
    ASSERT_TRUE(wide);
    EXPECT_LE(wide->right, client.right);

    SetWindowPos(view, nullptr, 0, 0, 220, 120, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(view, &client);
    std::optional<RECT> narrow = html_view_link_rect(view, 0);
    ASSERT_TRUE(narrow);
    EXPECT_GT(narrow->top, wide->top + (wide->bottom - wide->top)) << "more lines at a smaller width";
    EXPECT_LE(narrow->right, client.right);

    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(view, SB_VERT, &info));
    EXPECT_GT(info.nMax + 1, static_cast<int>(info.nPage)) << "the page is taller than the view";
    EXPECT_EQ(info.nPos, 0);

    SendMessageW(view, WM_VSCROLL, SB_LINEDOWN, 0);
    std::optional<RECT> scrolled = html_view_link_rect(view, 0);
    ASSERT_TRUE(scrolled);
    int line = narrow->top - scrolled->top;
    EXPECT_GT(line, 0);
    EXPECT_EQ(GetScrollPos(view, SB_VERT), line);

    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_GT(GetScrollPos(view, SB_VERT), line) << "the wheel scrolls down";
    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(WHEEL_DELTA * 10)), 0);
    EXPECT_EQ(GetScrollPos(view, SB_VERT), 0) << "and stops at the top";
    SendMessageW(view, WM_VSCROLL, SB_BOTTOM, 0);
    ASSERT_TRUE(GetScrollInfo(view, SB_VERT, &info));
    EXPECT_EQ(info.nPos, info.nMax + 1 - static_cast<int>(info.nPage)) << "the last page ends at the bottom";

    // Setting a page starts at its top.
    html_view_set_html(view, page);
    EXPECT_EQ(GetScrollPos(view, SB_VERT), 0);
}

// Renders the view as it paints itself and looks at the pixels.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top-down

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Capture capture(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    Capture result;
    result.width = client.right;
    result.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = result.width;
    info.bmiHeader.biHeight = -result.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    result.pixels.assign(pixels, pixels + result.width * result.height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return result;
}

bool is_blue(std::uint32_t pixel)
{
    int red = (pixel >> 16) & 0xFF;
    int green = (pixel >> 8) & 0xFF;
    int blue = pixel & 0xFF;
    return blue > 140 && red < 100 && green < 100;
}

bool is_dark(std::uint32_t pixel)
{
    return ((pixel >> 16) & 0xFF) < 100 && ((pixel >> 8) & 0xFF) < 100 && (pixel & 0xFF) < 100;
}

// Heights of the bands of rows that hold dark (text) pixels, top to bottom.
std::vector<int> text_bands(const Capture& image)
{
    std::vector<int> bands;
    int run = 0;
    for (int y = 0; y < image.height; ++y) {
        bool text = false;
        for (int x = 0; x < image.width && !text; ++x)
            text = is_dark(image.at(x, y));
        if (text) {
            ++run;
        } else if (run > 0) {
            bands.push_back(run);
            run = 0;
        }
    }
    if (run > 0)
        bands.push_back(run);
    return bands;
}

TEST_F(Controls, HtmlViewPaintsHeadingsLargerAndLinksBlue)
{
    HWND view = make(html_view_class, 10, 10, 400, 200);
    ASSERT_NE(view, nullptr);
    html_view_set_html(view, "<h1>Heading</h1><p>plain text</p><p>a <a href=\"x.htm\">link</a></p>");

    std::vector<int> bands = text_bands(capture(view));
    ASSERT_GE(bands.size(), 2u);
    EXPECT_GT(bands[0], bands[1] * 3 / 2) << "the first-level heading is drawn at twice the size";

    RECT link = html_view_link_rect(view, 0).value();
    Capture image = capture(view);
    int blue = 0;
    for (int y = link.top; y < link.bottom; ++y)
        for (int x = link.left; x < link.right; ++x)
            blue += is_blue(image.at(x, y)) ? 1 : 0;
    EXPECT_GT(blue, 10) << "links are blue";
    int underline_row = 0;
    for (int y = link.top; y < link.bottom; ++y) {
        int in_row = 0;
        for (int x = link.left; x < link.right; ++x)
            in_row += is_blue(image.at(x, y)) ? 1 : 0;
        underline_row = std::max(underline_row, in_row);
    }
    EXPECT_GE(underline_row, (link.right - link.left) * 3 / 4) << "and underlined across their width";

    // A larger dialog font lays the page out larger.
    LOGFONTW large{};
    GetObjectW(m_font.get(), sizeof large, &large);
    large.lfHeight *= 2;
    UniqueFont larger(CreateFontIndirectW(&large));
    SendMessageW(view, WM_SETFONT, reinterpret_cast<WPARAM>(larger.get()), TRUE);
    RECT bigger = html_view_link_rect(view, 0).value();
    EXPECT_GT(bigger.bottom - bigger.top, (link.bottom - link.top) * 3 / 2);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(view, WM_GETFONT, 0, 0)), larger.get());
    DestroyWindow(view); // before the font it uses
}

// --- Shell controls ---

class ShellControls : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        m_dir = fresh_scratch_dir(L"shell-controls");
        std::filesystem::create_directories(m_dir / "Sub A");
        std::filesystem::create_directories(m_dir / "Sub B" / "Deeper");
        write_file(m_dir / "readme.txt", std::string(2000, 'r'));
        write_file(m_dir / "setup.ini", "[setup]\r\n");
        m_folder = windows_path(m_dir);
    }

    struct Event {
        ShellChange kind;
        std::string path;
        bool operator==(const Event&) const = default;
    };

    void record(HWND control)
    {
        shell_on_change(control,
                        [this](ShellChange kind, const std::string& path) { m_events.push_back({kind, path}); });
    }

    std::filesystem::path m_dir;
    std::string m_folder;
    std::vector<Event> m_events;
};

std::wstring tree_text(HWND tree, HTREEITEM item)
{
    wchar_t buffer[MAX_PATH]{};
    TVITEMW query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = buffer;
    query.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return buffer;
}

HTREEITEM tree_next(HWND tree, UINT relation, HTREEITEM item)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::vector<std::wstring> tree_children(HWND tree, HTREEITEM parent)
{
    std::vector<std::wstring> names;
    for (HTREEITEM item = tree_next(tree, parent ? TVGN_CHILD : TVGN_ROOT, parent); item != nullptr;
         item = tree_next(tree, TVGN_NEXT, item))
        names.push_back(tree_text(tree, item));
    return names;
}

HTREEITEM tree_child(HWND tree, HTREEITEM parent, const std::wstring& name)
{
    for (HTREEITEM item = tree_next(tree, TVGN_CHILD, parent); item != nullptr; item = tree_next(tree, TVGN_NEXT, item))
        if (tree_text(tree, item) == name)
            return item;
    return nullptr;
}

TEST_F(ShellControls, TreeShowsDrivesAndExpandsThePathToTheFolder)
{
    HWND tree = make(shell_tree_class, 10, 10, 300, 400);
    ASSERT_NE(tree, nullptr);
    record(tree);
    std::vector<std::wstring> drives = tree_children(tree, nullptr);
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"C:\\"), drives.end());
    EXPECT_NE(std::find(drives.begin(), drives.end(), L"Z:\\"), drives.end());
    EXPECT_EQ(shell_folder(tree), "") << "nothing is chosen until a folder is set";

    ASSERT_TRUE(shell_set_folder(tree, m_folder));
    EXPECT_EQ(shell_folder(tree), m_folder);
    EXPECT_EQ(text_of(tree), win32::to_wide(m_folder));
    HTREEITEM selected = tree_next(tree, TVGN_CARET, nullptr);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(tree_text(tree, selected), L"shell-controls");
    // Every folder above it is expanded, up to its drive at the top.
    std::wstring path;
    for (HTREEITEM item = tree_next(tree, TVGN_PARENT, selected); item != nullptr;
         item = tree_next(tree, TVGN_PARENT, item)) {
        LRESULT state = SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED);
        EXPECT_NE(state & TVIS_EXPANDED, 0) << win32::to_ansi(tree_text(tree, item));
        std::wstring name = tree_text(tree, item);
        path = name + (path.empty() || name.ends_with(L"\\") ? L"" : L"\\") + path;
    }
    EXPECT_EQ(win32::to_ansi(path) + "\\shell-controls", m_folder);
    EXPECT_TRUE(m_events.empty()) << "setting the folder is not a user's choice";

    // Its subfolders are read when it is expanded, and only then. Expanding the inner
    // tree view itself takes the path of a click on the button (its notification).
    EXPECT_TRUE(tree_children(tree, selected).empty());
    HWND inner = GetWindow(tree, GW_CHILD);
    ASSERT_NE(inner, nullptr);
    SendMessageW(inner, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(selected));
    EXPECT_EQ(tree_children(tree, selected), (std::vector<std::wstring>{L"Sub A", L"Sub B"}));
    HTREEITEM sub_a = tree_child(tree, selected, L"Sub A");
    HTREEITEM sub_b = tree_child(tree, selected, L"Sub B");
    ASSERT_NE(sub_a, nullptr);
    ASSERT_NE(sub_b, nullptr);
    TVITEMW children{};
    children.mask = TVIF_CHILDREN | TVIF_HANDLE;
    children.hItem = sub_a;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children.cChildren, 0) << "no expand button on a folder without subfolders";
    children.hItem = sub_b;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children.cChildren, 1);

    // The user selects a folder.
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sub_b));
    EXPECT_EQ(m_events, (std::vector<Event>{{ShellChange::folder_selected, m_folder + "\\Sub B"}}));
    EXPECT_EQ(shell_folder(tree), m_folder + "\\Sub B");

    // Paths that are not folders change nothing.
    EXPECT_FALSE(shell_set_folder(tree, m_folder + "\\missing"));
    EXPECT_FALSE(shell_set_folder(tree, m_folder + "\\readme.txt"));
    EXPECT_FALSE(shell_set_folder(tree, ""));
    EXPECT_EQ(shell_folder(tree), m_folder + "\\Sub B");

    // Another spelling of the same folder, with forward slashes, a trailing one and another case.
    std::string spelled = m_folder + "/sub b/deeper/";
    std::replace(spelled.begin(), spelled.end(), '\\', '/');
    ASSERT_TRUE(shell_set_folder(tree, spelled));
    EXPECT_EQ(shell_folder(tree), m_folder + "\\Sub B\\Deeper");
    EXPECT_EQ(m_events.size(), 1u);
}

std::wstring list_text(HWND list, int item, int column)
{
    wchar_t buffer[MAX_PATH]{};
    LVITEMW query{};
    query.iSubItem = column;
    query.pszText = buffer;
    query.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&query));
    return buffer;
}

std::vector<std::wstring> list_names(HWND list)
{
    std::vector<std::wstring> names;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        names.push_back(list_text(list, i, 0));
    return names;
}

void select_list_item(HWND list, int index)
{
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
}

TEST_F(ShellControls, ListShowsTheFolderAndOpensSubfolders)
{
    HWND list = make(shell_list_class, 10, 10, 500, 300);
    ASSERT_NE(list, nullptr);
    record(list);
    ASSERT_TRUE(shell_set_folder(list, m_folder));
    EXPECT_EQ(shell_folder(list), m_folder);
    EXPECT_EQ(list_names(list), (std::vector<std::wstring>{L"Sub A", L"Sub B", L"readme.txt", L"setup.ini"}))
        << "folders first, then files";
    EXPECT_EQ(list_text(list, 2, 1), L"2 KB");
    EXPECT_EQ(list_text(list, 0, 1), L"") << "folders have no size";
    EXPECT_FALSE(list_text(list, 2, 2).empty()) << "a modification time";
    EXPECT_EQ(shell_selected_item(list), "");
    EXPECT_TRUE(m_events.empty());

    select_list_item(list, 2);
    select_list_item(list, 1);
    EXPECT_EQ(m_events, (std::vector<Event>{{ShellChange::file_item_selected, m_folder + "\\readme.txt"},
                                            {ShellChange::folder_item_selected, m_folder + "\\Sub B"}}));
    EXPECT_EQ(shell_selected_item(list), m_folder + "\\Sub B");
    EXPECT_EQ(shell_folder(list), m_folder) << "selecting a subfolder does not open it";

    // A double click opens it.
    HWND inner = GetWindow(list, GW_CHILD);
    ASSERT_NE(inner, nullptr);
    RECT item{};
    item.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item)));
    POINT at = center_of(item);
    m_events.clear();
    SendMessageW(inner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(inner, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(inner, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(inner, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    pump();
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(m_events.back(), (Event{ShellChange::folder_opened, m_folder + "\\Sub B"}));
    EXPECT_EQ(shell_folder(list), m_folder + "\\Sub B");
    EXPECT_EQ(list_names(list), (std::vector<std::wstring>{L"Deeper"}));

    // Backspace goes up again.
    m_events.clear();
    SendMessageW(inner, WM_KEYDOWN, VK_BACK, 0);
    pump();
    EXPECT_EQ(m_events, (std::vector<Event>{{ShellChange::folder_opened, m_folder}}));
    EXPECT_EQ(list_names(list).size(), 4u);

    EXPECT_FALSE(shell_set_folder(list, m_folder + "\\readme.txt"));
    EXPECT_FALSE(shell_set_folder(list, m_folder + "\\missing"));
    EXPECT_EQ(shell_folder(list), m_folder);
    EXPECT_EQ(list_names(list).size(), 4u);
}

std::wstring combo_text(HWND combo, int index, int* indent = nullptr)
{
    wchar_t buffer[MAX_PATH]{};
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_INDENT;
    item.iItem = index;
    item.pszText = buffer;
    item.cchTextMax = MAX_PATH;
    SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (indent != nullptr)
        *indent = item.iIndent;
    return buffer;
}

TEST_F(ShellControls, ComboShowsTheDrivesAndThePath)
{
    HWND combo = make(shell_combo_class, 10, 10, 400, 24 + 200);
    ASSERT_NE(combo, nullptr);
    RECT shown{};
    GetWindowRect(combo, &shown);
    EXPECT_LT(shown.bottom - shown.top, 60) << "only the closed combo box's height; the rest was for its list";
    record(combo);
    EXPECT_EQ(shell_folder(combo), "");

    ASSERT_TRUE(shell_set_folder(combo, m_folder));
    EXPECT_EQ(shell_folder(combo), m_folder);
    EXPECT_EQ(text_of(combo), win32::to_wide(m_folder));
    int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    ASSERT_GE(selected, 0);
    int indent = 0;
    EXPECT_EQ(combo_text(combo, selected, &indent), win32::to_wide(m_folder)) << "the combo shows the path";
    EXPECT_EQ(indent, static_cast<int>(std::count(m_folder.begin(), m_folder.end(), '\\')))
        << "each folder one step in from its parent";
    std::vector<std::wstring> items;
    int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        items.push_back(combo_text(combo, i));
    EXPECT_NE(std::find(items.begin(), items.end(), L"C:\\"), items.end());
    EXPECT_NE(std::find(items.begin(), items.end(), L"Z:\\"), items.end());
    EXPECT_EQ(items[static_cast<std::size_t>(selected) - 1], win32::to_wide(windows_path(m_dir.parent_path())));
    EXPECT_TRUE(m_events.empty());

    // The user moves to the parent folder with the arrow key on the closed combo box.
    auto inner_combo = reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETCOMBOCONTROL, 0, 0));
    ASSERT_NE(inner_combo, nullptr);
    SendMessageW(inner_combo, WM_KEYDOWN, VK_UP, 0);
    pump();
    std::string parent = windows_path(m_dir.parent_path());
    EXPECT_EQ(m_events, (std::vector<Event>{{ShellChange::folder_selected, parent}}));
    EXPECT_EQ(shell_folder(combo), parent);
    EXPECT_EQ(combo_text(combo, static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0))), win32::to_wide(parent));

    EXPECT_FALSE(shell_set_folder(combo, m_folder + "\\missing"));
    EXPECT_EQ(shell_folder(combo), parent);
}

// All four on one window, as a dialog shows them. With QUILLON_SHOWCASE_MS set,
// the window stays on the screen that long, for a screenshot.
TEST_F(ShellControls, AllFourOnOneWindow)
{
    HWND view = make(html_view_class, 10, 10, 420, 300);
    HWND tree = make(shell_tree_class, 440, 10, 430, 300);
    HWND combo = make(shell_combo_class, 10, 320, 860, 24 + 200);
    HWND list = make(shell_list_class, 10, 356, 860, 230);
    ASSERT_TRUE(view && tree && combo && list);
    html_view_set_html(view, "<title>Welcome</title><h1>Welcome to Quillon</h1>"
                             "<p>This wizard installs <b>Example Product 2.0</b> on your computer. "
                             "It is <i>recommended</i> that you close all other applications first.</p>"
                             "<h3>What is new</h3><ul><li>Faster <b>installation</b></li><li>A new <u>look</u></li>"
                             "<li>Read the <a href=\"license.htm\">licence agreement</a></li></ul>"
                             "<ol><li>Choose a folder</li><li>Click <b>Next</b></li></ol><hr>"
                             "<pre>Version  2.0.1\nBuild    1234</pre><p>&copy; Example Corp.</p>");
    ASSERT_TRUE(shell_set_folder(tree, m_folder));
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(tree_next(tree, TVGN_CARET, nullptr)));
    ASSERT_TRUE(shell_set_folder(combo, m_folder));
    ASSERT_TRUE(shell_set_folder(list, m_folder));
    select_list_item(list, 2);

    ShowWindow(m_host.get(), SW_SHOW);
    UpdateWindow(m_host.get());
    pump(std::chrono::milliseconds(200));
    if (const char* hold = std::getenv("QUILLON_SHOWCASE_MS"))
        pump(std::chrono::milliseconds(std::atoi(hold)));

    for (HWND control : {view, tree, combo, list}) {
        RECT rect{};
        GetWindowRect(control, &rect);
        EXPECT_TRUE(IsWindowVisible(control));
        EXPECT_GT(rect.right - rect.left, 0);
    }
    EXPECT_EQ(text_of(view).substr(0, 18), L"Welcome to Quillon");
    EXPECT_EQ(shell_selected_item(list), m_folder + "\\readme.txt");
    ASSERT_TRUE(html_view_link_rect(view, 0));
    EXPECT_GT(text_bands(capture(view)).size(), 8u) << "the page is painted";
}

} // namespace
} // namespace quillon::test
