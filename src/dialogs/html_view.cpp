#include "dialogs/html_view.h"
#include "base/paths.h"

#include "base/strings.h"
#include "dialogs/html_document.h"
#include "dialogs/html_layout.h"
#include "dialogs/html_links.h"
#include "platform/win32/owning_window.h"
#include "platform/win32/gdi.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quillon {

namespace {

using html::FontKey;
using html::Piece;
using win32::SelectedObject;
using win32::UniqueBitmap;
using win32::UniqueFont;
using win32::UniqueMemoryDc;
using win32::WindowDc;

constexpr int padding = 6;
constexpr int indent_per_level = 24;
constexpr int max_indent_levels = 8; // deeper lists stop moving right
constexpr COLORREF link_color = RGB(0, 0, 204);
constexpr std::size_t max_page_bytes = 64u << 20;

std::atomic<ATOM> view_atom{0};

struct Font {
    UniqueFont handle;
    TEXTMETRICW metrics{};
};

struct Rule {
    int top = 0;
    int left = 0;
    int right = 0;
};

std::wstring plain_text(const html::Document& document)
{
    std::wstring text;
    for (std::size_t i = 0; i < document.blocks.size(); ++i) {
        const html::Block& block = document.blocks[i];
        if (i > 0)
            text += L"\r\n";
        if (block.kind == html::BlockKind::rule)
            continue;
        if (block.kind == html::BlockKind::list_item)
            text += html::marker_text(block) + L" ";
        text += win32::to_wide(html::block_text(block));
    }
    return text;
}

std::string code_page_text(char32_t code_point)
{
    wchar_t units[2];
    std::size_t count = 1;
    if (code_point >= 0x10000) {
        units[0] = static_cast<wchar_t>(0xD800 + ((code_point - 0x10000) >> 10));
        units[1] = static_cast<wchar_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
        count = 2;
    } else {
        units[0] = static_cast<wchar_t>(code_point);
    }
    return win32::to_ansi(std::wstring_view(units, count));
}

html::Document parse_page(std::string_view page)
{
    html::ParseOptions options;
    options.code_point = code_page_text;
    return html::parse_html(page, options);
}

// A page file's bytes; a UTF-8 byte order mark means the file is UTF-8, which
// is turned into the code page like everything else the view shows.
std::optional<std::string> read_page(const std::string& path)
{
    win32::UniqueFile file(CreateFileW(win32::to_wide(path).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > max_page_bytes)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break;
        done += read;
    }
    bytes.resize(done);
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        std::string_view utf8 = std::string_view(bytes).substr(3);
        int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(count), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), count);
        return win32::to_ansi(wide);
    }
    return bytes;
}

std::string full_path(const std::string& path)
{
    std::wstring wide = win32::to_wide(path);
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return win32::to_ansi(full);
}

// The local page a link names, when it names one that exists: no protocol
// (a ':' at index 1 is a drive) or "file:", ".htm" or ".html", relative to base.
std::optional<std::string> local_page(std::string_view href, const std::string& base)
{
    std::string_view target = href.substr(0, href.find_first_of("#?"));
    if (!(target.size() >= 5 && equal_ascii_nocase(target.substr(0, 5), "file:"))) {
        std::size_t colon = target.find(':');
        if (colon != std::string_view::npos && colon >= 2 && target.find_first_of("/\\") > colon)
            return std::nullopt; // http:, mailto: and the like belong to the owner
    }
    std::string path = FileLinkPath(target);
    std::string lower = ascii_lower(path);
    if (!lower.ends_with(".htm") && !lower.ends_with(".html"))
        return std::nullopt;
    bool absolute = path.starts_with('\\') || (path.size() >= 2 && path[1] == ':');
    if (!absolute) {
        if (base.empty())
            return std::nullopt;
        path = base + (base.ends_with('\\') || base.ends_with('/') ? "" : "\\") + path;
    }
    DWORD attributes = GetFileAttributesW(win32::to_wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return path;
}

class HtmlView {
public:
    explicit HtmlView(HWND window) : m_window(window) {}

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

    void set_document(html::Document document, std::string file);
    bool load_file(const std::string& path);
    void set_base(std::string folder) { m_base = std::move(folder); }
    const std::string& file() const { return m_file; }
    const html::Document& document() const { return m_document; }
    void on_link(std::function<bool(const std::string&)> handler) { m_on_link = std::move(handler); }
    void on_page(std::function<void()> handler) { m_on_page = std::move(handler); }
    std::optional<RECT> link_rect(int index) const;

private:
    const Font& font(HDC dc, const FontKey& key);
    void reset_fonts() { m_fonts.clear(); }
    void layout();
    class DcMeasure;
    int layout_block(HDC dc, const html::Block& block, int left, int right, int top);
    void on_create(const CREATESTRUCTW& create);
    void on_size(int width);
    void on_set_font(HFONT font, bool redraw);
    LRESULT copy_text(std::size_t capacity, wchar_t* buffer) const;
    void on_vertical_scroll(int code);
    void on_mouse_wheel(int delta);
    bool on_key(WPARAM key);
    void on_set_cursor();
    void on_button_down(POINT point);
    void on_button_up(POINT point);
    void update_scroll_bar();
    void scroll_to(int position);
    int line_step();
    int link_at(POINT client_point) const;
    void paint(HDC target, const RECT& area);
    static void follow_link(HWND window, HtmlView* view, int link);

    HWND m_window;
    HFONT m_base_font = nullptr; // the owner's; never deleted here
    std::map<FontKey, Font> m_fonts;
    html::Document m_document;
    std::wstring m_plain_text;
    std::string m_file;
    std::string m_base;
    std::vector<Piece> m_pieces;
    std::vector<Rule> m_rules;
    int m_layout_width = -1;
    int m_content_height = 0;
    int m_scroll = 0;
    int m_wheel_remainder = 0;
    int m_pressed_link = -1;
    std::function<bool(const std::string&)> m_on_link;
    std::function<void()> m_on_page;
};

HtmlView* view_of(HWND window)
{
    ATOM atom = view_atom.load();
    if (window == nullptr || atom == 0 || static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM)) != atom)
        return nullptr;
    return reinterpret_cast<HtmlView*>(GetWindowLongPtrW(window, 0));
}

const Font& HtmlView::font(HDC dc, const FontKey& key)
{
    auto found = m_fonts.find(key);
    if (found != m_fonts.end())
        return found->second;
    LOGFONTW base{};
    HFONT base_font = m_base_font != nullptr ? m_base_font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (GetObjectW(base_font, sizeof base, &base) == 0 || base.lfHeight == 0)
        base.lfHeight = -11;
    LOGFONTW wanted = base;
    wanted.lfHeight = MulDiv(base.lfHeight, key.scale, 100);
    wanted.lfWidth = 0;
    if (key.bold)
        wanted.lfWeight = FW_BOLD;
    wanted.lfItalic = key.italic ? TRUE : FALSE;
    wanted.lfUnderline = key.underline ? TRUE : FALSE;
    if (key.mono) {
        wanted.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        wcscpy_s(wanted.lfFaceName, L"Courier New");
    }
    Font entry;
    entry.handle.reset(CreateFontIndirectW(&wanted));
    HFONT selected = entry.handle ? entry.handle.get() : base_font;
    SelectedObject scope(dc, selected);
    GetTextMetricsW(dc, &entry.metrics);
    return m_fonts.emplace(key, std::move(entry)).first->second;
}

// Text measured with the view's fonts on a device context.
class HtmlView::DcMeasure : public html::TextMeasure {
public:
    DcMeasure(HtmlView& view, HDC dc) : m_view(view), m_dc(dc) {}

    std::wstring widen(std::string_view text) override { return win32::to_wide(text); }
    int width(std::wstring_view text, const FontKey& key) override
    {
        SelectedObject scope(m_dc, m_view.font(m_dc, key).handle.get());
        SIZE size{};
        GetTextExtentPoint32W(m_dc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    }
    int fit(std::wstring_view text, const FontKey& key, int available) override
    {
        SelectedObject scope(m_dc, m_view.font(m_dc, key).handle.get());
        int fit = 0;
        SIZE size{};
        GetTextExtentExPointW(m_dc, text.data(), static_cast<int>(text.size()), available, &fit, nullptr, &size);
        return fit;
    }
    html::FontMetrics metrics(const FontKey& key) override
    {
        const TEXTMETRICW& metrics = m_view.font(m_dc, key).metrics;
        return {static_cast<int>(metrics.tmAscent), static_cast<int>(metrics.tmDescent),
                static_cast<int>(metrics.tmExternalLeading), static_cast<int>(metrics.tmAveCharWidth)};
    }

private:
    HtmlView& m_view;
    HDC m_dc;
};

int HtmlView::layout_block(HDC dc, const html::Block& block, int left, int right, int top)
{
    DcMeasure measure(*this, dc);
    return html::LayoutBlock(block, left, right, top, measure, m_pieces);
}

void HtmlView::layout()
{
    m_pieces.clear();
    m_rules.clear();
    RECT client{};
    GetClientRect(m_window, &client);
    m_layout_width = client.right;
    WindowDc window_dc(m_window);
    HDC dc = window_dc.get();
    if (dc == nullptr)
        return;
    int left = padding;
    int right = std::max<int>(left + 16, client.right - padding);
    const Font& base = font(dc, FontKey{});
    int line = base.metrics.tmHeight;

    int y = padding;
    int previous_after = 0;
    bool first = true;
    html::BlockKind previous_kind = html::BlockKind::paragraph;
    for (const html::Block& block : m_document.blocks) {
        int before = line * 3 / 4;
        int after = line * 3 / 4;
        switch (block.kind) {
        case html::BlockKind::heading: {
            int height =
                font(dc, FontKey{html::heading_scale[static_cast<std::size_t>(std::clamp(block.level, 1, 6) - 1)], true,
                                 false, false, false})
                    .metrics.tmHeight;
            before = height * 2 / 3;
            after = height / 3;
            break;
        }
        case html::BlockKind::list_item:
            // Items of one list sit close, and so does a nested list; a list as a whole
            // keeps a paragraph's distance.
            before = previous_kind == html::BlockKind::list_item && !(block.starts_list && block.level == 1)
                         ? 2
                         : line * 3 / 4;
            after = 2;
            break;
        case html::BlockKind::rule: before = after = line / 2; break;
        case html::BlockKind::paragraph:
        case html::BlockKind::preformatted: break;
        }
        if (!first)
            y += std::max(previous_after, before);
        first = false;
        previous_after = after;
        previous_kind = block.kind;
        if (block.kind == html::BlockKind::rule) {
            m_rules.push_back(Rule{y, left, right});
            y += 2;
            continue;
        }
        int indent = 0;
        if (block.kind == html::BlockKind::list_item)
            indent = std::clamp(block.level, 1, max_indent_levels) * indent_per_level;
        y = layout_block(dc, block, left + indent, right, y);
    }
    m_content_height = y + padding;
}

void HtmlView::update_scroll_bar()
{
    RECT client{};
    GetClientRect(m_window, &client);
    int page = std::max<int>(0, client.bottom);
    int limit = std::max(0, m_content_height - page);
    m_scroll = std::clamp(m_scroll, 0, limit);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    // The bar stays (disabled when all fits), so the wrap width never depends on it.
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    info.nMin = 0;
    info.nMax = std::max(0, m_content_height - 1);
    info.nPage = static_cast<UINT>(page);
    info.nPos = m_scroll;
    SetScrollInfo(m_window, SB_VERT, &info, TRUE);
}

void HtmlView::scroll_to(int position)
{
    RECT client{};
    GetClientRect(m_window, &client);
    int limit = std::max(0, m_content_height - static_cast<int>(client.bottom));
    position = std::clamp(position, 0, limit);
    if (position == m_scroll)
        return;
    m_scroll = position;
    SetScrollPos(m_window, SB_VERT, m_scroll, TRUE);
    InvalidateRect(m_window, nullptr, FALSE);
}

int HtmlView::line_step()
{
    WindowDc dc(m_window);
    return dc.get() != nullptr ? std::max<int>(1, font(dc.get(), FontKey{}).metrics.tmHeight) : 16;
}

int HtmlView::link_at(POINT point) const
{
    int y = point.y + m_scroll;
    for (const Piece& piece : m_pieces)
        if (piece.link >= 0 && point.x >= piece.x && point.x < piece.x + piece.width && y >= piece.line_top &&
            y < piece.line_top + piece.line_height)
            return piece.link;
    return -1;
}

std::optional<RECT> HtmlView::link_rect(int index) const
{
    for (const Piece& piece : m_pieces)
        if (piece.link == index && index >= 0)
            return RECT{piece.x, piece.line_top - m_scroll, piece.x + piece.width,
                        piece.line_top + piece.line_height - m_scroll};
    return std::nullopt;
}

void HtmlView::paint(HDC target, const RECT& area)
{
    RECT client{};
    GetClientRect(m_window, &client);
    if (client.right <= 0 || client.bottom <= 0)
        return;
    // Drawn off screen first, so that scrolling and resizing do not flicker.
    UniqueMemoryDc memory(CreateCompatibleDC(target));
    UniqueBitmap bitmap(CreateCompatibleBitmap(target, client.right, client.bottom));
    HDC dc = memory ? memory.get() : target;
    std::optional<SelectedObject> bitmap_scope;
    if (memory && bitmap)
        bitmap_scope.emplace(dc, bitmap.get());
    else
        dc = target;
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    bool enabled = IsWindowEnabled(m_window) != FALSE;
    COLORREF text_color = GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
    for (const Piece& piece : m_pieces) {
        int top = piece.line_top - m_scroll;
        if (top >= area.bottom || top + piece.line_height <= area.top)
            continue;
        SelectedObject scope(dc, font(dc, piece.font).handle.get());
        SetTextColor(dc, piece.link >= 0 && enabled ? link_color : text_color);
        TextOutW(dc, piece.x, piece.text_top - m_scroll, piece.text.c_str(), static_cast<int>(piece.text.size()));
    }
    for (const Rule& rule : m_rules) {
        RECT line{rule.left, rule.top - m_scroll, rule.right, rule.top - m_scroll + 2};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    }
    if (dc != target)
        BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc, area.left, area.top,
               SRCCOPY);
}

void HtmlView::set_document(html::Document document, std::string file)
{
    m_document = std::move(document);
    m_file = std::move(file);
    m_plain_text = plain_text(m_document);
    m_scroll = 0;
    m_pressed_link = -1;
    layout();
    update_scroll_bar();
    InvalidateRect(m_window, nullptr, FALSE);
    if (std::function<void()> handler = m_on_page)
        handler(); // last: the handler may replace the page or destroy the window
}

bool HtmlView::load_file(const std::string& path)
{
    std::string full = full_path(path);
    std::optional<std::string> page = read_page(full);
    if (!page)
        return false;
    m_base = folder_part(full);
    set_document(parse_page(*page), full);
    return true;
}

void HtmlView::follow_link(HWND window, HtmlView* view, int link)
{
    if (link < 0 || static_cast<std::size_t>(link) >= view->m_document.links.size())
        return;
    std::string href = view->m_document.links[static_cast<std::size_t>(link)];
    // Copied: the handler may replace itself, the page, or destroy the window.
    std::function<bool(const std::string&)> handler = view->m_on_link;
    if (handler && handler(href))
        return;
    if (view_of(window) != view)
        return;
    if (std::optional<std::string> page = local_page(href, view->m_base))
        view->load_file(*page);
}

void HtmlView::on_create(const CREATESTRUCTW& create)
{
    SetWindowPos(m_window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (create.lpszName != nullptr && *create.lpszName != L'\0')
        set_document(parse_page(win32::to_ansi(create.lpszName)), {});
    else
        update_scroll_bar();
}

void HtmlView::on_size(int width)
{
    if (width != m_layout_width)
        layout();
    update_scroll_bar();
    InvalidateRect(m_window, nullptr, FALSE);
}

void HtmlView::on_set_font(HFONT font, bool redraw)
{
    m_base_font = font;
    reset_fonts();
    layout();
    update_scroll_bar();
    if (redraw)
        InvalidateRect(m_window, nullptr, FALSE);
}

LRESULT HtmlView::copy_text(std::size_t capacity, wchar_t* buffer) const
{
    if (capacity == 0 || buffer == nullptr)
        return 0;
    std::size_t count = std::min<std::size_t>(m_plain_text.size(), capacity - 1);
    std::copy_n(m_plain_text.data(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<LRESULT>(count);
}

void HtmlView::on_vertical_scroll(int code)
{
    RECT client{};
    GetClientRect(m_window, &client);
    int page = std::max<int>(1, client.bottom - line_step());
    switch (code) {
    case SB_LINEUP: scroll_to(m_scroll - line_step()); break;
    case SB_LINEDOWN: scroll_to(m_scroll + line_step()); break;
    case SB_PAGEUP: scroll_to(m_scroll - page); break;
    case SB_PAGEDOWN: scroll_to(m_scroll + page); break;
    case SB_TOP: scroll_to(0); break;
    case SB_BOTTOM: scroll_to(m_content_height); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(m_window, SB_VERT, &info))
            scroll_to(info.nTrackPos);
        break;
    }
    default: break;
    }
}

void HtmlView::on_mouse_wheel(int delta)
{
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    m_wheel_remainder += delta;
    int notches = m_wheel_remainder / WHEEL_DELTA;
    m_wheel_remainder %= WHEEL_DELTA;
    if (notches == 0)
        return;
    RECT client{};
    GetClientRect(m_window, &client);
    int step = lines == WHEEL_PAGESCROLL ? std::max<int>(1, client.bottom - line_step())
                                         : static_cast<int>(lines) * line_step();
    scroll_to(m_scroll - notches * step);
}

bool HtmlView::on_key(WPARAM key)
{
    int code = 0;
    switch (key) {
    case VK_UP: code = SB_LINEUP; break;
    case VK_DOWN: code = SB_LINEDOWN; break;
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT: code = SB_PAGEDOWN; break;
    case VK_HOME: code = SB_TOP; break;
    case VK_END: code = SB_BOTTOM; break;
    default: return false;
    }
    SendMessageW(m_window, WM_VSCROLL, static_cast<WPARAM>(code), 0);
    return true;
}

void HtmlView::on_set_cursor()
{
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(m_window, &point);
    SetCursor(LoadCursorW(nullptr, link_at(point) >= 0 ? IDC_HAND : IDC_ARROW));
}

void HtmlView::on_button_down(POINT point)
{
    if (GetFocus() != m_window)
        SetFocus(m_window); // so that the wheel and the keys scroll this page
    m_pressed_link = link_at(point);
    if (m_pressed_link >= 0)
        SetCapture(m_window);
}

void HtmlView::on_button_up(POINT point)
{
    int pressed = std::exchange(m_pressed_link, -1);
    if (GetCapture() == m_window)
        ReleaseCapture();
    int link = link_at(point);
    if (pressed >= 0 && link == pressed)
        follow_link(m_window, this, link); // last: this view may be gone afterwards
}

LRESULT HtmlView::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: on_create(*reinterpret_cast<const CREATESTRUCTW*>(lparam)); return 0;
    case WM_SIZE: on_size(LOWORD(lparam)); return 0;
    case WM_SETFONT: on_set_font(reinterpret_cast<HFONT>(wparam), LOWORD(lparam) != 0); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(m_base_font);
    case WM_SETTEXT:
        set_document(parse_page(lparam != 0 ? win32::to_ansi(reinterpret_cast<const wchar_t*>(lparam)) : ""), {});
        return TRUE;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(m_plain_text.size());
    case WM_GETTEXT: return copy_text(static_cast<std::size_t>(wparam), reinterpret_cast<wchar_t*>(lparam));
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint_info{};
        HDC dc = BeginPaint(m_window, &paint_info);
        if (dc != nullptr)
            paint(dc, paint_info.rcPaint);
        EndPaint(m_window, &paint_info);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client{};
        GetClientRect(m_window, &client);
        paint(reinterpret_cast<HDC>(wparam), client);
        return 0;
    }
    case WM_ENABLE: InvalidateRect(m_window, nullptr, FALSE); return 0;
    case WM_VSCROLL: on_vertical_scroll(LOWORD(wparam)); return 0;
    case WM_MOUSEWHEEL: on_mouse_wheel(GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        if (on_key(wparam))
            return 0;
        break;
    case WM_SETCURSOR:
        if (LOWORD(lparam) == HTCLIENT) {
            on_set_cursor();
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN: on_button_down(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}); return 0;
    case WM_LBUTTONUP: on_button_up(POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}); return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lparam) != m_window)
            m_pressed_link = -1;
        return 0;
    default: break;
    }
    return DefWindowProcW(m_window, message, wparam, lparam);
}

// A border and a vertical bar belong to this control whatever the creator asked for.
void add_view_styles(HWND window)
{
    SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | WS_VSCROLL);
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
}

} // namespace

bool RegisterHtmlView(HINSTANCE instance)
{
    if (view_atom.load() != 0)
        return true;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = win32::owning_window_proc<HtmlView, HtmlView, add_view_styles>;
    window_class.cbWndExtra = sizeof(HtmlView*);
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = html_view_class;
    ATOM atom = RegisterClassExW(&window_class);
    if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        atom = static_cast<ATOM>(GetClassInfoExW(instance, html_view_class, &existing));
    }
    view_atom.store(atom);
    return atom != 0;
}

void html_view_set_html(HWND view, std::string_view html)
{
    if (HtmlView* state = view_of(view))
        state->set_document(parse_page(html), {});
}

bool html_view_load_file(HWND view, const std::string& path)
{
    HtmlView* state = view_of(view);
    return state != nullptr && state->load_file(path);
}

void html_view_set_base(HWND view, std::string folder)
{
    if (HtmlView* state = view_of(view))
        state->set_base(std::move(folder));
}

std::string html_view_file(HWND view)
{
    HtmlView* state = view_of(view);
    return state != nullptr ? state->file() : std::string();
}

std::string html_view_title(HWND view)
{
    HtmlView* state = view_of(view);
    return state != nullptr ? state->document().title : std::string();
}

std::optional<std::pair<int, std::string>> html_view_refresh(HWND view)
{
    HtmlView* state = view_of(view);
    if (state == nullptr || !state->document().refresh)
        return std::nullopt;
    const html::MetaRefresh& refresh = *state->document().refresh;
    return std::pair{refresh.delay_seconds, refresh.target};
}

void html_view_on_link(HWND view, std::function<bool(const std::string& href)> handler)
{
    if (HtmlView* state = view_of(view))
        state->on_link(std::move(handler));
}

void html_view_on_page(HWND view, std::function<void()> handler)
{
    if (HtmlView* state = view_of(view))
        state->on_page(std::move(handler));
}

std::optional<RECT> html_view_link_rect(HWND view, int index)
{
    HtmlView* state = view_of(view);
    return state != nullptr ? state->link_rect(index) : std::nullopt;
}

} // namespace quillon
