#include "dialogs/uPool.h"
#include "base/paths.h"

#include "base/strings.h"
#include "dialogs/dfm.h"
#include "dialogs/folder_controls.h"
#include "dialogs/html_view.h"
#include "dialogs/shell_controls.h"
#include "platform/win32/gdi.h"
#include "platform/win32/system_functions.h"
#include "platform/win32/wide.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillon {

namespace {

constexpr wchar_t form_class[] = L"TPoolTemplate";
constexpr wchar_t paint_class[] = L"QuillonPaint";
constexpr int first_control_id = 100;
// Designed at 96 pixels per inch unless the form says otherwise.
constexpr int design_pixels_per_inch = 96;

std::string identifier_of(const FormControl& control, std::string_view property)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    return found != nullptr && found->value.kind == dfm::ValueKind::identifier ? found->value.text : std::string();
}

std::string current_folder()
{
    wchar_t folder[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    return length == 0 || length >= MAX_PATH ? std::string() : win32::to_ansi(std::wstring_view(folder, length));
}

std::string text_of(const FormControl& control, std::string_view property)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    return found != nullptr && found->value.kind == dfm::ValueKind::string ? found->value.text : std::string();
}

bool is(const std::string& value, std::string_view expected)
{
    return equal_ascii_nocase(value, expected);
}

COLORREF rgb_of(const FormColor& color)
{
    return color.system ? GetSysColor(static_cast<int>(color.value)) : static_cast<COLORREF>(color.value);
}

std::string join_lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

// State of the windows drawn here (panels, bevels, shapes, gauges and the
// designer-only components), reached through GWLP_USERDATA.
struct PaintState {
    const FormControl* model = nullptr;
    HFONT font = nullptr;
    std::int64_t minimum = 0;
    std::int64_t maximum = 100;
    std::int64_t position = 0;
};

void fill(HDC dc, const RECT& rect, COLORREF color)
{
    win32::UniqueBrush brush(CreateSolidBrush(color));
    FillRect(dc, &rect, brush.get());
}

COLORREF property_color(const FormControl& control, std::string_view property, COLORREF fallback)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    if (found == nullptr)
        return fallback;
    std::optional<FormColor> color = ParseFormColor(found->value);
    return color ? rgb_of(*color) : fallback;
}

void paint_panel(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    auto edge = [&](const std::string& bevel) -> UINT {
        if (is(bevel, "bvLowered"))
            return BDR_SUNKENOUTER;
        if (is(bevel, "bvRaised") || bevel.empty())
            return BDR_RAISEDINNER;
        return 0;
    };
    std::string outer = identifier_of(control, "BevelOuter");
    std::string inner = identifier_of(control, "BevelInner");
    if (UINT e = edge(outer); e != 0 && !is(outer, "bvNone")) {
        DrawEdge(dc, &rect, e, BF_RECT | BF_ADJUST);
    }
    if (!inner.empty() && !is(inner, "bvNone")) {
        if (UINT e = edge(inner); e != 0)
            DrawEdge(dc, &rect, e, BF_RECT | BF_ADJUST);
    }
    std::wstring caption = win32::to_wide(control.caption);
    if (!caption.empty()) {
        win32::SelectedObject font(dc, state.font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, rgb_of(control.font.color));
        UINT align = control.alignment == TextAlignment::left    ? DT_LEFT
                     : control.alignment == TextAlignment::right ? DT_RIGHT
                                                                 : DT_CENTER;
        DrawTextW(dc, caption.c_str(), -1, &rect, align | DT_VCENTER | DT_SINGLELINE);
    }
}

// Drawn here rather than by the button class: a group box window does not
// paint its inside, which the form (clipping its children) leaves unpainted.
void paint_group_box(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    win32::SelectedObject font(dc, state.font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT frame = rect;
    frame.top += metrics.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    std::wstring caption = win32::to_wide(control.caption);
    if (!caption.empty()) {
        RECT text{rect.left + 8, rect.top, rect.right - 8, rect.top + metrics.tmHeight};
        DrawTextW(dc, caption.c_str(), -1, &text, DT_SINGLELINE | DT_CALCRECT);
        fill(dc, text, rgb_of(control.color));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, rgb_of(control.enabled ? control.font.color : FormColor{true, 17}));
        DrawTextW(dc, caption.c_str(), -1, &text, DT_SINGLELINE);
    }
}

void paint_bevel(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    std::string shape = identifier_of(control, "Shape");
    bool raised = is(identifier_of(control, "Style"), "bsRaised");
    UINT edge = raised ? EDGE_RAISED : EDGE_SUNKEN;
    UINT line_edge = raised ? BDR_RAISEDINNER | BDR_RAISEDOUTER : BDR_SUNKENOUTER | BDR_RAISEDINNER;
    if (is(shape, "bsTopLine"))
        DrawEdge(dc, &rect, line_edge, BF_TOP);
    else if (is(shape, "bsBottomLine"))
        DrawEdge(dc, &rect, line_edge, BF_BOTTOM);
    else if (is(shape, "bsLeftLine"))
        DrawEdge(dc, &rect, line_edge, BF_LEFT);
    else if (is(shape, "bsRightLine"))
        DrawEdge(dc, &rect, line_edge, BF_RIGHT);
    else if (is(shape, "bsFrame"))
        DrawEdge(dc, &rect, raised ? EDGE_BUMP : EDGE_ETCHED, BF_RECT);
    else if (!is(shape, "bsSpacer"))
        DrawEdge(dc, &rect, edge, BF_RECT); // bsBox
}

void paint_shape(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    bool clear = is(identifier_of(control, "Brush.Style"), "bsClear");
    win32::UniqueBrush solid;
    if (!clear)
        solid.reset(CreateSolidBrush(property_color(control, "Brush.Color", RGB(255, 255, 255))));
    win32::UniquePen pen(CreatePen(PS_SOLID, 1, property_color(control, "Pen.Color", RGB(0, 0, 0))));
    win32::SelectedObject selected_brush(dc, clear ? GetStockObject(NULL_BRUSH) : solid.get());
    win32::SelectedObject selected_pen(dc, pen.get());
    std::string shape = identifier_of(control, "Shape");
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    if (is(shape, "stSquare") || is(shape, "stCircle") || is(shape, "stRoundSquare")) {
        int side = std::min(w, h);
        rect.left += (w - side) / 2;
        rect.top += (h - side) / 2;
        rect.right = rect.left + side;
        rect.bottom = rect.top + side;
    }
    if (is(shape, "stEllipse") || is(shape, "stCircle"))
        Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
    else if (is(shape, "stRoundRect") || is(shape, "stRoundSquare"))
        RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, std::min(w, h) / 4, std::min(w, h) / 4);
    else
        Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void paint_gauge(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    COLORREF back = property_color(control, "BackColor", RGB(255, 255, 255));
    COLORREF fore = property_color(control, "ForeColor", RGB(0, 0, 0));
    DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    fill(dc, rect, back);
    std::int64_t span = std::max<std::int64_t>(1, state.maximum - state.minimum);
    std::int64_t done = std::clamp<std::int64_t>(state.position - state.minimum, 0, span);
    RECT bar = rect;
    bar.right = rect.left + static_cast<LONG>((rect.right - rect.left) * done / span);
    fill(dc, bar, fore);
    const dfm::Property* show_text = control.source != nullptr ? control.source->find("ShowText") : nullptr;
    if (show_text == nullptr || !is(show_text->value.text, "False")) {
        std::wstring percent = std::to_wstring(done * 100 / span) + L"%";
        win32::SelectedObject font(dc, state.font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(128, 128, 128));
        DrawTextW(dc, percent.c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

LRESULT CALLBACK paint_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    auto* state = reinterpret_cast<PaintState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT rect;
        GetClientRect(window, &rect);
        if (state != nullptr && state->model != nullptr) {
            switch (state->model->kind) {
            case ControlKind::panel: paint_panel(dc, rect, *state); break;
            case ControlKind::group_box: paint_group_box(dc, rect, *state); break;
            case ControlKind::bevel: paint_bevel(dc, rect, *state); break;
            case ControlKind::shape: paint_shape(dc, rect, *state); break;
            case ControlKind::gauge: paint_gauge(dc, rect, *state); break;
            default: fill(dc, rect, rgb_of(state->model->color)); break;
            }
            // A Flash frame without its player says why in its text.
            if (state->model->kind == ControlKind::flash_frame) {
                wchar_t text[512] = {};
                if (GetWindowTextW(window, text, 512) > 0) {
                    win32::SelectedObject font(dc, state->font);
                    SetBkMode(dc, TRANSPARENT);
                    SetTextColor(dc, rgb_of(state->model->font.color));
                    RECT inside = rect;
                    InflateRect(&inside, -4, -4);
                    DrawTextW(dc, text, -1, &inside, DT_CENTER | DT_WORDBREAK);
                }
            }
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_SETFONT:
        if (state != nullptr)
            state->font = reinterpret_cast<HFONT>(wparam);
        return 0;
    case WM_GETFONT: return state != nullptr ? reinterpret_cast<LRESULT>(state->font) : 0;
    case WM_SETTEXT:
        DefWindowProcW(window, message, wparam, lparam);
        InvalidateRect(window, nullptr, FALSE);
        return TRUE;
    // Gauges take the progress bar's messages, so that the runtime drives both alike.
    case PBM_SETRANGE32:
        if (state != nullptr) {
            state->minimum = static_cast<int>(wparam);
            state->maximum = static_cast<int>(lparam);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case PBM_SETPOS:
        if (state != nullptr) {
            std::int64_t old = state->position;
            state->position = static_cast<int>(wparam);
            InvalidateRect(window, nullptr, FALSE);
            return static_cast<LRESULT>(old);
        }
        return 0;
    case PBM_GETPOS: return state != nullptr ? static_cast<LRESULT>(state->position) : 0;
    case WM_LBUTTONUP:
        // Shapes react on mouse-up, as the designer's shapes do.
        if (state != nullptr && state->model != nullptr && state->model->kind == ControlKind::shape)
            SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), STN_CLICKED),
                         reinterpret_cast<LPARAM>(window));
        return 0;
    case WM_NCDESTROY:
        delete state;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Common AVI clips of shell32, by the designer's CommonAVI names.
int common_avi(const std::string& name)
{
    static constexpr std::pair<std::string_view, int> table[] = {
        {"aviFindFolder", 150}, {"aviFindFile", 151},    {"aviFindComputer", 152}, {"aviCopyFiles", 160},
        {"aviCopyFile", 161},   {"aviRecycleFile", 162}, {"aviEmptyRecycle", 163}, {"aviDeleteFile", 164},
    };
    for (const auto& [avi, id] : table)
        if (is(name, avi))
            return id;
    return 0;
}

HBITMAP bitmap_from_file_bytes(const std::string& bytes)
{
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || bytes[0] != 'B' || bytes[1] != 'M')
        return nullptr;
    BITMAPFILEHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (header.bfOffBits >= bytes.size())
        return nullptr;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + sizeof(BITMAPFILEHEADER));
    win32::WindowDc screen;
    return CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, bytes.data() + header.bfOffBits, info,
                          DIB_RGB_COLORS);
}

} // namespace

void show_tree_nodes(HWND tree, const std::vector<FormTreeNode>& nodes, const std::vector<std::string>& texts)
{
    TreeView_DeleteAllItems(tree);
    std::vector<HTREEITEM> items;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        std::wstring text = win32::to_wide(i < texts.size() ? texts[i] : std::string());
        TVINSERTSTRUCTW insert{};
        insert.hParent = nodes[i].parent && *nodes[i].parent < items.size() ? items[*nodes[i].parent] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = text.data();
        items.push_back(TreeView_InsertItem(tree, &insert));
    }
}

Result<std::string> read_dialog_file(const std::string& path)
{
    std::ifstream in(std::filesystem::path(win32::to_wide(path)), std::ios::binary);
    if (!in)
        return make_error(ErrorCode::not_found, "Cannot open the dialog file " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool RegisterDialogClasses(HINSTANCE instance)
{
    win32::init_common_controls(ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_ANIMATE_CLASS);
    win32::register_rich_edit_class();

    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = &TPoolTemplate::form_proc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    form.lpszClassName = form_class;
    WNDCLASSEXW paint{};
    paint.cbSize = sizeof paint;
    paint.lpfnWndProc = &paint_proc;
    paint.hInstance = instance;
    paint.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    paint.lpszClassName = paint_class;
    bool ok = true;
    for (const WNDCLASSEXW* wc : {&form, &paint})
        if (RegisterClassExW(wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            ok = false;
    return RegisterHtmlView(instance) && RegisterShellControls(instance) && ok;
}

Result<std::unique_ptr<TPoolTemplate>> TPoolTemplate::Load(const std::string& form_file,
                                                           const std::string& dialogs_folder)
{
    std::string bytes = TRY(read_dialog_file(form_file));
    std::unique_ptr<TPoolTemplate> form(new TPoolTemplate());
    form->m_hint = file_name_part(form_file);
    dfm::Component root = TRY(
        dfm::ParseFormFile(std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()), form->m_hint));
    form->m_model = TRY(BuildFormModel(std::move(root), form->m_hint));
    TRY(form->create_window(dialogs_folder));
    return form;
}

TPoolTemplate::~TPoolTemplate()
{
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    for (ATOM atom : m_atoms)
        GlobalDeleteAtom(atom);
}

HFONT TPoolTemplate::font_for(const FormFont& font)
{
    for (auto& [known, handle] : m_fonts)
        if (known == font)
            return handle.get();
    int height = MulDiv(font.height, GetDeviceCaps(win32::WindowDc().get(), LOGPIXELSY), design_pixels_per_inch);
    HFONT handle =
        CreateFontW(height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic, font.underline, font.strike_out,
                    static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, win32::to_wide(font.name).c_str());
    m_fonts.emplace_back(font, win32::UniqueFont(handle));
    return handle;
}

HBRUSH TPoolTemplate::brush_for(const FormColor& color)
{
    for (auto& [known, brush] : m_brushes)
        if (known == color)
            return brush.get();
    // The system's colour brushes are shared and never deleted: only solid ones are owned.
    if (color.system)
        return GetSysColorBrush(static_cast<int>(color.value));
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(color.value));
    m_brushes.emplace_back(color, win32::UniqueBrush(brush));
    return brush;
}

Result<void> TPoolTemplate::create_window(const std::string& dialogs_folder)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // The classes are the process's: registered with the first dialog, not with every one.
    static const bool registered = RegisterDialogClasses(instance);
    (void)registered;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | (m_model.minimize_box ? WS_MINIMIZEBOX : 0);
    DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, m_model.client_width, m_model.client_height};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    m_window = CreateWindowExW(ex_style, form_class, win32::to_wide(m_model.caption).c_str(), style, CW_USEDEFAULT,
                               CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                               instance, this);
    if (m_window == nullptr)
        return make_error(ErrorCode::win32, "Cannot create the dialog window of " + m_hint, GetLastError());
    m_controls.resize(m_model.controls.size());
    for (std::size_t i = 0; i < m_controls.size(); ++i) {
        m_controls[i].model = &m_model.controls[i];
        TRY(create_control(m_controls[i], dialogs_folder));
    }
    for (Control& control : m_controls)
        fill_control(control);
    order_containers();
    for (const Control& control : m_controls)
        if (control.model->kind == ControlKind::page_control) {
            // The designer's active page, else the first.
            std::string active = identifier_of(*control.model, "ActivePage");
            int page = 0, index = 0;
            for (const Control& sheet : m_controls)
                if (sheet.model->kind == ControlKind::tab_sheet && sheet.model->parent &&
                    &m_controls[*sheet.model->parent] == &control) {
                    if (is(sheet.model->name, active))
                        page = index;
                    ++index;
                }
            TabCtrl_SetCurSel(control.window, page);
            show_page(control, page);
        }
    return {};
}

Result<void> TPoolTemplate::create_control(Control& control, const std::string& dialogs_folder)
{
    const FormControl& m = *control.model;
    if (m.kind == ControlKind::nonvisual)
        return {};
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (m.tab_stop ? WS_TABSTOP : 0);
    DWORD ex_style = 0;
    int height = m.bounds.height;
    auto border = [&] { ex_style |= WS_EX_CLIENTEDGE; };
    switch (m.kind) {
    case ControlKind::label:
        style |= SS_NOTIFY | (m.alignment == TextAlignment::right    ? SS_RIGHT
                              : m.alignment == TextAlignment::center ? SS_CENTER
                              : m.word_wrap                          ? SS_LEFT
                                                                     : SS_LEFTNOWORDWRAP);
        break;
    case ControlKind::static_text: {
        std::string border_style = identifier_of(m, "BorderStyle");
        style |= SS_NOTIFY | (m.alignment == TextAlignment::right    ? SS_RIGHT
                              : m.alignment == TextAlignment::center ? SS_CENTER
                                                                     : SS_LEFT);
        if (is(border_style, "sbsSunken"))
            style |= SS_SUNKEN;
        else if (is(border_style, "sbsSingle"))
            style |= WS_BORDER;
        break;
    }
    case ControlKind::edit:
    case ControlKind::mask_edit: {
        window_class = L"EDIT";
        style |= ES_AUTOHSCROLL | (m.read_only ? ES_READONLY : 0);
        const dfm::Property* password = m.source->find("PasswordChar");
        if (password != nullptr && password->value.kind == dfm::ValueKind::string && !password->value.text.empty() &&
            password->value.text != std::string(1, '\0'))
            style |= ES_PASSWORD;
        border();
        break;
    }
    case ControlKind::memo:
    case ControlKind::rich_edit: {
        window_class = m.kind == ControlKind::memo ? L"EDIT" : L"RichEdit20W";
        style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | (m.read_only ? ES_READONLY : 0);
        std::string bars = identifier_of(m, "ScrollBars");
        if (m.kind == ControlKind::rich_edit || is(bars, "ssVertical") || is(bars, "ssBoth"))
            style |= WS_VSCROLL;
        if (m.kind == ControlKind::rich_edit || is(bars, "ssHorizontal") || is(bars, "ssBoth"))
            style |= WS_HSCROLL;
        if (!m.word_wrap)
            style |= ES_AUTOHSCROLL;
        border();
        break;
    }
    case ControlKind::button:
    case ControlKind::bit_button:
    case ControlKind::bmp_button:
    case ControlKind::speed_button: {
        window_class = L"BUTTON";
        const dfm::Property* is_default = m.source->find("Default");
        style |= is_default != nullptr && is(is_default->value.text, "True") ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        const dfm::Property* flat = m.source->find("Flat");
        if (flat != nullptr && is(flat->value.text, "True"))
            style |= BS_FLAT;
        break;
    }
    case ControlKind::check_box:
        window_class = L"BUTTON";
        style |= BS_AUTOCHECKBOX | (m.word_wrap ? BS_MULTILINE : 0);
        break;
    case ControlKind::radio_button:
        // Grouped by their container, not by window order: checked by hand.
        window_class = L"BUTTON";
        style |= BS_RADIOBUTTON | (m.word_wrap ? BS_MULTILINE : 0);
        break;
    case ControlKind::list_box:
    case ControlKind::file_list_box:
    case ControlKind::directory_list_box: {
        window_class = L"LISTBOX";
        style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        const dfm::Property* multi = m.source->find("MultiSelect");
        if (multi != nullptr && is(multi->value.text, "True"))
            style |= LBS_EXTENDEDSEL;
        // The folder and file lists keep the order they are filled in.
        const dfm::Property* sorted = m.source->find("Sorted");
        if (m.kind == ControlKind::list_box && sorted != nullptr && is(sorted->value.text, "True"))
            style |= LBS_SORT;
        border();
        break;
    }
    case ControlKind::check_list_box:
        window_class = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        border();
        break;
    case ControlKind::combo_box:
    case ControlKind::drive_combo_box:
    case ControlKind::filter_combo_box:
        window_class = L"COMBOBOX";
        style |= WS_VSCROLL | CBS_AUTOHSCROLL |
                 (m.kind != ControlKind::combo_box || is(identifier_of(m, "Style"), "csDropDownList") ? CBS_DROPDOWNLIST
                                                                                                      : CBS_DROPDOWN);
        height += 200; // the drop-down list
        break;
    case ControlKind::image:
        style |= SS_NOTIFY | SS_BITMAP;
        {
            const dfm::Property* center = m.source->find("Center");
            const dfm::Property* stretch = m.source->find("Stretch");
            if (stretch != nullptr && is(stretch->value.text, "True"))
                style |= SS_REALSIZECONTROL;
            else if (center != nullptr && is(center->value.text, "True"))
                style |= SS_CENTERIMAGE;
        }
        break;
    case ControlKind::progress_bar: {
        window_class = PROGRESS_CLASSW;
        const dfm::Property* smooth = m.source->find("Smooth");
        if (smooth != nullptr && is(smooth->value.text, "True"))
            style |= PBS_SMOOTH;
        if (is(identifier_of(m, "Orientation"), "pbVertical"))
            style |= PBS_VERTICAL;
        break;
    }
    case ControlKind::track_bar:
        window_class = TRACKBAR_CLASSW;
        style |= TBS_AUTOTICKS | (is(identifier_of(m, "Orientation"), "trVertical") ? TBS_VERT : TBS_HORZ);
        break;
    case ControlKind::up_down:
        window_class = UPDOWN_CLASSW;
        style |= UDS_ARROWKEYS | UDS_SETBUDDYINT;
        break;
    case ControlKind::page_control: window_class = WC_TABCONTROLW; break;
    case ControlKind::tree_view:
        window_class = WC_TREEVIEWW;
        style |= TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
        border();
        break;
    case ControlKind::animate:
        window_class = ANIMATE_CLASSW;
        style |= ACS_TRANSPARENT | ACS_CENTER;
        break;
    case ControlKind::html_viewer: window_class = html_view_class; break;
    case ControlKind::shell_tree: window_class = shell_tree_class; break;
    case ControlKind::shell_list: window_class = shell_list_class; break;
    case ControlKind::shell_combo:
        window_class = shell_combo_class;
        height += 200;
        break;
    case ControlKind::panel:
    case ControlKind::group_box:
    case ControlKind::tab_sheet:
    case ControlKind::shape:
    case ControlKind::bevel:
    case ControlKind::gauge:
    case ControlKind::flash_frame:
    case ControlKind::form_shape:
    case ControlKind::vista_glass: window_class = paint_class; break;
    case ControlKind::nonvisual: return {};
    }
    int id = first_control_id + static_cast<int>(&control - m_controls.data());
    control.window = CreateWindowExW(ex_style, window_class, L"", style, m.bounds.left, m.bounds.top, m.bounds.width,
                                     height, m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     GetModuleHandleW(nullptr), nullptr);
    if (control.window == nullptr)
        return make_error(ErrorCode::win32,
                          m_hint + ": cannot create the control " + m.name + " (" + m.class_name + ")", GetLastError());
    if (window_class == paint_class) {
        auto* state = new PaintState{&m, nullptr, m.minimum, m.maximum, m.position};
        SetWindowLongPtrW(control.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    ATOM atom = GlobalAddAtomW(win32::to_wide(m.name).c_str());
    if (atom != 0) {
        m_atoms.push_back(atom);
        SetPropW(control.window, control_name_property, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
    }
    SendMessageW(control.window, WM_SETFONT, reinterpret_cast<WPARAM>(font_for(m.font)), FALSE);

    if (m.kind == ControlKind::image) {
        control.bitmap.reset(bitmap_from_file_bytes(m.picture));
        if (!control.bitmap && !dialogs_folder.empty()) {
            std::string path = join_path(dialogs_folder, m.name + ".bmp");
            control.bitmap.reset(static_cast<HBITMAP>(
                LoadImageW(nullptr, win32::to_wide(path).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
        }
        if (control.bitmap)
            SendMessageW(control.window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(control.bitmap.get()));
    }
    return {};
}

void TPoolTemplate::fill_control(Control& control)
{
    const FormControl& m = *control.model;
    HWND w = control.window;
    if (w == nullptr)
        return;
    switch (m.kind) {
    case ControlKind::memo:
    case ControlKind::rich_edit: SetWindowTextW(w, win32::to_wide(join_lines(m.lines)).c_str()); break;
    case ControlKind::list_box:
        for (const std::string& item : m.items)
            SendMessageW(w, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::to_wide(item).c_str()));
        SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(m.item_index), 0);
        break;
    case ControlKind::check_list_box: {
        ListView_SetExtendedListViewStyle(w, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = std::max(10, m.bounds.width - GetSystemMetrics(SM_CXVSCROLL) - 4);
        ListView_InsertColumn(w, 0, &column);
        int row = 0;
        for (const std::string& item : m.items) {
            std::wstring text = win32::to_wide(item);
            LVITEMW entry{};
            entry.mask = LVIF_TEXT;
            entry.iItem = row++;
            entry.pszText = text.data();
            ListView_InsertItem(w, &entry);
        }
        break;
    }
    case ControlKind::combo_box:
    case ControlKind::filter_combo_box: {
        std::vector<std::string> items = m.items;
        if (m.kind == ControlKind::filter_combo_box) {
            // "Text files (*.txt)|*.txt|All files|*.*": the descriptions are the items.
            items.clear();
            std::string filter = text_of(m, "Filter");
            std::size_t at = 0;
            for (bool description = true; at <= filter.size(); description = !description) {
                std::size_t bar = filter.find('|', at);
                std::string part = filter.substr(at, bar == std::string::npos ? std::string::npos : bar - at);
                if (description && !part.empty())
                    items.push_back(part);
                if (bar == std::string::npos)
                    break;
                at = bar + 1;
            }
        }
        for (const std::string& item : items)
            SendMessageW(w, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::to_wide(item).c_str()));
        if (m.item_index >= 0 || m.kind == ControlKind::filter_combo_box)
            SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(std::max(0, m.item_index)), 0);
        else
            SetWindowTextW(w, win32::to_wide(m.caption).c_str());
        break;
    }
    // The designer's folder controls show the current folder (the dialogs
    // folder while a page is loaded) until the runtime points them elsewhere.
    case ControlKind::drive_combo_box:
        drive_box_fill(w);
        drive_box_select(w, current_folder());
        break;
    case ControlKind::file_list_box: file_list_show(w, current_folder(), text_of(m, "Mask")); break;
    case ControlKind::directory_list_box: folder_list_show(w, current_folder()); break;
    case ControlKind::tree_view: {
        std::vector<std::string> texts;
        for (const FormTreeNode& node : m.nodes)
            texts.push_back(win32::to_ansi(std::wstring(node.text.begin(), node.text.end())));
        show_tree_nodes(w, m.nodes, texts);
        break;
    }
    case ControlKind::check_box:
    case ControlKind::radio_button:
        SetWindowTextW(w, win32::to_wide(m.caption).c_str());
        SendMessageW(w, BM_SETCHECK, m.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::progress_bar:
    case ControlKind::gauge:
        SendMessageW(w, PBM_SETRANGE32, static_cast<WPARAM>(m.minimum), static_cast<LPARAM>(m.maximum));
        SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(m.position), 0);
        break;
    case ControlKind::track_bar:
        SendMessageW(w, TBM_SETRANGEMIN, FALSE, m.minimum);
        SendMessageW(w, TBM_SETRANGEMAX, FALSE, m.maximum);
        SendMessageW(w, TBM_SETPOS, TRUE, m.position);
        break;
    case ControlKind::up_down: {
        SendMessageW(w, UDM_SETRANGE32, static_cast<WPARAM>(m.minimum), static_cast<LPARAM>(m.maximum));
        SendMessageW(w, UDM_SETPOS32, 0, m.position);
        std::string associate = identifier_of(m, "Associate");
        if (const Control* buddy = find(associate); buddy != nullptr && buddy->window != nullptr) {
            control.buddy = buddy->window;
            SendMessageW(w, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy->window), 0);
        }
        break;
    }
    case ControlKind::page_control: {
        int page = 0;
        for (const Control& sheet : m_controls) {
            if (sheet.model->kind != ControlKind::tab_sheet || !sheet.model->parent ||
                &m_controls[*sheet.model->parent] != &control)
                continue;
            std::wstring caption = win32::to_wide(sheet.model->caption);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption.data();
            TabCtrl_InsertItem(w, page++, &item);
        }
        break;
    }
    case ControlKind::animate: {
        int clip = common_avi(identifier_of(m, "CommonAVI"));
        if (clip != 0) {
            SendMessageW(w, ACM_OPENW, reinterpret_cast<WPARAM>(GetModuleHandleW(L"shell32.dll")),
                         reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(clip)));
        }
        break;
    }
    case ControlKind::html_viewer:
    case ControlKind::shell_tree:
    case ControlKind::shell_list:
    case ControlKind::shell_combo:
    case ControlKind::image: break;
    default: SetWindowTextW(w, win32::to_wide(m.caption).c_str()); break;
    }
    if (m.max_length > 0 && (m.kind == ControlKind::edit || m.kind == ControlKind::mask_edit))
        SendMessageW(w, EM_LIMITTEXT, static_cast<WPARAM>(m.max_length), 0);
    EnableWindow(w, m.enabled);
    ShowWindow(w, m.shown ? SW_SHOWNA : SW_HIDE);
}

void TPoolTemplate::order_containers()
{
    // Tab order: depth first, siblings by TabOrder. Each window put at the
    // bottom in turn ends up in that order from the top.
    std::vector<std::size_t> sequence;
    std::function<void(std::optional<std::size_t>)> visit = [&](std::optional<std::size_t> parent) {
        std::vector<std::size_t> children;
        for (std::size_t i = 0; i < m_controls.size(); ++i)
            if (m_controls[i].model->parent == parent)
                children.push_back(i);
        std::stable_sort(children.begin(), children.end(), [&](std::size_t a, std::size_t b) {
            auto key = [&](std::size_t i) {
                std::int32_t order = m_controls[i].model->tab_order;
                return order < 0 ? INT32_MAX : order;
            };
            return key(a) < key(b);
        });
        for (std::size_t child : children) {
            sequence.push_back(child);
            visit(child);
        }
    };
    visit(std::nullopt);
    for (std::size_t index : sequence)
        if (m_controls[index].window != nullptr)
            SetWindowPos(m_controls[index].window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // Containers below everything, the outermost lowest, so they never paint over what they hold.
    for (auto it = sequence.rbegin(); it != sequence.rend(); ++it) {
        const Control& control = m_controls[*it];
        if (control.window != nullptr && IsContainer(control.model->kind))
            SetWindowPos(control.window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void TPoolTemplate::show_page(const Control& page_control, int page)
{
    auto below = [&](std::size_t index, std::size_t ancestor) {
        for (std::optional<std::size_t> at = m_controls[index].model->parent; at; at = m_controls[*at].model->parent)
            if (*at == ancestor)
                return true;
        return false;
    };
    std::size_t page_index = static_cast<std::size_t>(&page_control - m_controls.data());
    int sheet_number = 0;
    for (std::size_t s = 0; s < m_controls.size(); ++s) {
        if (m_controls[s].model->kind != ControlKind::tab_sheet || m_controls[s].model->parent != page_index)
            continue;
        bool active = sheet_number++ == page;
        for (std::size_t i = 0; i < m_controls.size(); ++i)
            if ((i == s || below(i, s)) && m_controls[i].window != nullptr)
                ShowWindow(m_controls[i].window, active && m_controls[i].model->shown ? SW_SHOWNA : SW_HIDE);
    }
}

const TPoolTemplate::Control* TPoolTemplate::find(std::string_view name) const
{
    for (const Control& control : m_controls)
        if (equal_ascii_nocase(control.model->name, name))
            return &control;
    return nullptr;
}

const TPoolTemplate::Control* TPoolTemplate::control_of(HWND window) const
{
    int id = GetDlgCtrlID(window) - first_control_id;
    if (id < 0 || static_cast<std::size_t>(id) >= m_controls.size() ||
        m_controls[static_cast<std::size_t>(id)].window != window)
        return nullptr;
    return &m_controls[static_cast<std::size_t>(id)];
}

namespace {

std::string bool_text(bool value)
{
    return value ? "True" : "False";
}

std::optional<bool> bool_of(std::string_view text)
{
    if (equal_ascii_nocase(text, "True"))
        return true;
    if (equal_ascii_nocase(text, "False"))
        return false;
    return std::nullopt;
}

bool is_list(ControlKind kind)
{
    return kind == ControlKind::list_box || kind == ControlKind::file_list_box ||
           kind == ControlKind::directory_list_box;
}

bool is_combo(ControlKind kind)
{
    return kind == ControlKind::combo_box || kind == ControlKind::drive_combo_box ||
           kind == ControlKind::filter_combo_box;
}

} // namespace

std::optional<std::string> TPoolTemplate::property(std::string_view component, std::string_view name) const
{
    if (equal_ascii_nocase(component, m_model.name)) {
        if (equal_ascii_nocase(name, "Caption"))
            return window_text_ansi(m_window);
        if (equal_ascii_nocase(name, "Hint"))
            return m_hint;
        return std::nullopt;
    }
    const Control* control = find(component);
    if (control == nullptr || control->window == nullptr)
        return std::nullopt;
    HWND w = control->window;
    ControlKind kind = control->model->kind;
    RECT rect = {};
    GetWindowRect(w, &rect);
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&rect), 2);
    if (equal_ascii_nocase(name, "Caption") || equal_ascii_nocase(name, "Text"))
        return window_text_ansi(w);
    if (equal_ascii_nocase(name, "Checked") && (kind == ControlKind::check_box || kind == ControlKind::radio_button))
        return bool_text(SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED);
    if (equal_ascii_nocase(name, "Enabled"))
        return bool_text(IsWindowEnabled(w) != FALSE);
    if (equal_ascii_nocase(name, "Visible"))
        return bool_text((GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0);
    if (equal_ascii_nocase(name, "ItemIndex") && is_list(kind))
        return std::to_string(static_cast<int>(SendMessageW(w, LB_GETCURSEL, 0, 0)));
    if (equal_ascii_nocase(name, "ItemIndex") && is_combo(kind))
        return std::to_string(static_cast<int>(SendMessageW(w, CB_GETCURSEL, 0, 0)));
    if (equal_ascii_nocase(name, "Position") && kind == ControlKind::track_bar)
        return std::to_string(static_cast<int>(SendMessageW(w, TBM_GETPOS, 0, 0)));
    if (equal_ascii_nocase(name, "Position") && (kind == ControlKind::progress_bar || kind == ControlKind::gauge))
        return std::to_string(static_cast<int>(SendMessageW(w, PBM_GETPOS, 0, 0)));
    if (equal_ascii_nocase(name, "Tag"))
        return std::to_string(control->model->tag);
    if (equal_ascii_nocase(name, "Hint"))
        return control->model->hint;
    if (equal_ascii_nocase(name, "Left"))
        return std::to_string(rect.left);
    if (equal_ascii_nocase(name, "Top"))
        return std::to_string(rect.top);
    if (equal_ascii_nocase(name, "Width"))
        return std::to_string(rect.right - rect.left);
    if (equal_ascii_nocase(name, "Height"))
        return std::to_string(rect.bottom - rect.top);
    return std::nullopt;
}

bool TPoolTemplate::set_property(std::string_view component, std::string_view name, std::string_view text)
{
    if (equal_ascii_nocase(component, m_model.name)) {
        if (!equal_ascii_nocase(name, "Caption"))
            return false;
        SetWindowTextW(m_window, win32::to_wide(text).c_str());
        return true;
    }
    const Control* control = find(component);
    if (control == nullptr || control->window == nullptr)
        return false;
    HWND w = control->window;
    ControlKind kind = control->model->kind;
    if (equal_ascii_nocase(name, "Caption") || equal_ascii_nocase(name, "Text")) {
        SetWindowTextW(w, win32::to_wide(text).c_str());
        InvalidateRect(w, nullptr, TRUE);
        return true;
    }
    if (std::optional<bool> flag = bool_of(text)) {
        if (equal_ascii_nocase(name, "Checked") &&
            (kind == ControlKind::check_box || kind == ControlKind::radio_button)) {
            if (*flag && kind == ControlKind::radio_button) {
                // Checking one radio button unchecks the others of its container.
                for (const Control& other : m_controls)
                    if (other.model->kind == ControlKind::radio_button && other.model->parent == control->model->parent)
                        SendMessageW(other.window, BM_SETCHECK, BST_UNCHECKED, 0);
            }
            SendMessageW(w, BM_SETCHECK, *flag ? BST_CHECKED : BST_UNCHECKED, 0);
            return true;
        }
        if (equal_ascii_nocase(name, "Enabled")) {
            EnableWindow(w, *flag);
            InvalidateRect(w, nullptr, TRUE);
            return true;
        }
        if (equal_ascii_nocase(name, "Visible")) {
            ShowWindow(w, *flag ? SW_SHOWNA : SW_HIDE);
            return true;
        }
        return false;
    }
    std::optional<std::int32_t> number = parse_int32(text);
    if (!number)
        return false;
    if (equal_ascii_nocase(name, "ItemIndex") && is_list(kind))
        SendMessageW(w, LB_SETCURSEL, static_cast<WPARAM>(*number), 0);
    else if (equal_ascii_nocase(name, "ItemIndex") && is_combo(kind))
        SendMessageW(w, CB_SETCURSEL, static_cast<WPARAM>(*number), 0);
    else if (equal_ascii_nocase(name, "Position") && kind == ControlKind::track_bar)
        SendMessageW(w, TBM_SETPOS, TRUE, *number);
    else if (equal_ascii_nocase(name, "Position") && (kind == ControlKind::progress_bar || kind == ControlKind::gauge))
        SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(*number), 0);
    else
        return false;
    return true;
}

void TPoolTemplate::center()
{
    RECT frame;
    GetWindowRect(m_window, &frame);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    SetWindowPos(m_window, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TPoolTemplate::pre_translate(MSG& message)
{
    return m_window != nullptr && IsDialogMessageW(m_window, &message);
}

LRESULT CALLBACK TPoolTemplate::form_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<TPoolTemplate*>(create->lpCreateParams)->m_window = window;
    }
    auto* form = reinterpret_cast<TPoolTemplate*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(window, message, wparam, lparam);
    try {
        return form->handle(message, wparam, lparam);
    } catch (...) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

LRESULT TPoolTemplate::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT rect;
        GetClientRect(m_window, &rect);
        FillRect(reinterpret_cast<HDC>(wparam), &rect, brush_for(m_model.color));
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        const Control* control = control_of(reinterpret_cast<HWND>(lparam));
        if (control == nullptr)
            break;
        HDC dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, rgb_of(control->model->font.color));
        SetBkColor(dc, rgb_of(control->model->color));
        return reinterpret_cast<LRESULT>(brush_for(control->model->color));
    }
    case WM_COMMAND: {
        const Control* control = control_of(reinterpret_cast<HWND>(lparam));
        if (control == nullptr)
            break;
        UINT code = HIWORD(wparam);
        ControlKind kind = control->model->kind;
        if (kind == ControlKind::radio_button && code == BN_CLICKED) {
            // One checked radio button per container.
            for (const Control& other : m_controls)
                if (other.model->kind == ControlKind::radio_button && other.model->parent == control->model->parent)
                    SendMessageW(other.window, BM_SETCHECK, &other == control ? BST_CHECKED : BST_UNCHECKED, 0);
            if (on_change)
                on_change(*control);
        } else if (kind == ControlKind::check_box && code == BN_CLICKED) {
            if (on_change)
                on_change(*control);
        } else if (code == BN_CLICKED || code == STN_CLICKED) {
            if (on_click)
                on_click(*control);
        } else if (kind == ControlKind::directory_list_box) {
            // A folder list changes its folder when an item is opened, not when it is selected.
            if (code == LBN_DBLCLK) {
                std::string folder = folder_list_item(
                    control->window, static_cast<int>(SendMessageW(control->window, LB_GETCURSEL, 0, 0)));
                if (!folder.empty() && folder_list_show(control->window, folder) && on_change)
                    on_change(*control);
            }
        } else if (code == EN_CHANGE || code == LBN_SELCHANGE || code == CBN_SELCHANGE || code == CBN_EDITCHANGE) {
            if (on_change)
                on_change(*control);
            // A full edit moves on to the next control, as the designer's MaxLength does.
            if (code == EN_CHANGE && control->model->max_length > 0 &&
                GetWindowTextLengthW(control->window) >= control->model->max_length && GetFocus() == control->window)
                SendMessageW(m_window, WM_NEXTDLGCTL, 0, FALSE);
        }
        return 0;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        const Control* control = control_of(header->hwndFrom);
        if (control == nullptr)
            break;
        if (header->code == TCN_SELCHANGE) {
            show_page(*control, TabCtrl_GetCurSel(control->window));
        } else if (header->code == LVN_ITEMCHANGED) {
            auto* change = reinterpret_cast<NMLISTVIEW*>(lparam);
            if ((change->uChanged & LVIF_STATE) != 0 && on_change)
                on_change(*control);
        } else if (header->code == TVN_SELCHANGEDW && on_change) {
            on_change(*control);
        } else if (header->code == NM_CLICK && control->model->kind == ControlKind::tree_view && on_tree_context) {
            TVHITTESTINFO hit{};
            GetCursorPos(&hit.pt);
            POINT screen = hit.pt;
            ScreenToClient(control->window, &hit.pt);
            HTREEITEM item = TreeView_HitTest(control->window, &hit);
            if (item != nullptr && (hit.flags & TVHT_ONITEMICON) != 0)
                on_tree_context(*control, item, screen);
        } else if (header->code == TVN_KEYDOWN && on_tree_context &&
                   reinterpret_cast<NMTVKEYDOWN*>(lparam)->wVKey == VK_APPS) {
            HTREEITEM item = TreeView_GetSelection(control->window);
            RECT rect{};
            if (item != nullptr && TreeView_GetItemRect(control->window, item, &rect, TRUE)) {
                POINT corner{rect.right, rect.bottom};
                ClientToScreen(control->window, &corner);
                on_tree_context(*control, item, corner);
            }
        }
        return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (const Control* control = control_of(reinterpret_cast<HWND>(lparam));
            control != nullptr && control->model->kind == ControlKind::track_bar && on_change)
            on_change(*control);
        return 0;
    case WM_TIMER:
        if (on_timer)
            on_timer(wparam);
        return 0;
    case WM_SYSCOMMAND:
        if ((wparam & 0xFFF0) == SC_MINIMIZE && on_minimize && on_minimize())
            return 0;
        if ((wparam & 0xFFF0) == SC_RESTORE && IsIconic(m_window)) {
            LRESULT result = DefWindowProcW(m_window, message, wparam, lparam);
            if (on_restore)
                on_restore();
            return result;
        }
        break;
    case WM_CLOSE:
        // The close button does not close a wizard page; the runtime decides.
        if (on_close)
            on_close();
        return 0;
    default: break;
    }
    return DefWindowProcW(m_window, message, wparam, lparam);
}

} // namespace quillon
