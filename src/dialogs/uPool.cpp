#include "dialogs/uPool.h"
#include "base/paths.h"

#include "base/strings.h"
#include "dialogs/control_windows.h"
#include "dialogs/design_properties.h"
#include "dialogs/dfm.h"
#include "dialogs/drawn_controls.h"
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
constexpr int first_control_id = 100;
// Designed at 96 pixels per inch unless the form says otherwise.
constexpr int design_pixels_per_inch = 96;

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
    bool ok = RegisterClassExW(&form) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    ok = register_drawn_control_class(instance) && ok;
    return RegisterHtmlView(instance) && RegisterShellControls(instance) && ok;
}

Result<std::unique_ptr<TPoolTemplate>> TPoolTemplate::from_bytes(std::string_view bytes, const std::string& name,
                                                                 const std::string& dialogs_folder)
{
    std::unique_ptr<TPoolTemplate> form(new TPoolTemplate());
    form->m_hint = name;
    dfm::Component root = TRY(
        dfm::ParseFormFile(std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()), form->m_hint));
    form->m_model = TRY(BuildFormModel(std::move(root), form->m_hint));
    TRY(form->create_window(dialogs_folder));
    return form;
}

Result<std::unique_ptr<TPoolTemplate>> TPoolTemplate::Load(const std::string& form_file,
                                                           const std::string& dialogs_folder)
{
    std::string bytes = TRY(read_dialog_file(form_file));
    return from_bytes(bytes, file_name_part(form_file), dialogs_folder);
}

Result<std::unique_ptr<TPoolTemplate>> TPoolTemplate::LoadText(std::string_view form, const std::string& name)
{
    return from_bytes(form, name, {});
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
            std::string active = design_identifier(*control.model, "ActivePage");
            int page = 0, index = 0;
            for (const Control& sheet : m_controls)
                if (sheet.model->kind == ControlKind::tab_sheet && sheet.model->parent &&
                    &m_controls[*sheet.model->parent] == &control) {
                    if (same_name(sheet.model->name, active))
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
    std::optional<ControlWindowSpec> spec = control_window_spec(m);
    if (!spec)
        return {};
    int id = first_control_id + static_cast<int>(&control - m_controls.data());
    control.window = CreateWindowExW(
        spec->ex_style, spec->window_class, L"", spec->style, m.bounds.left, m.bounds.top, m.bounds.width, spec->height,
        m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control.window == nullptr)
        return make_error(ErrorCode::win32,
                          m_hint + ": cannot create the control " + m.name + " (" + m.class_name + ")", GetLastError());
    if (spec->window_class == drawn_control_class)
        attach_drawn_control(control.window, m);
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
    case ControlKind::up_down: {
        SendMessageW(w, UDM_SETRANGE32, static_cast<WPARAM>(m.minimum), static_cast<LPARAM>(m.maximum));
        SendMessageW(w, UDM_SETPOS32, 0, m.position);
        std::string associate = design_identifier(m, "Associate");
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
    default: show_design(w, m); break;
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

void TPoolTemplate::on_command(const Control& control, UINT code)
{
    ControlKind kind = control.model->kind;
    if (kind == ControlKind::radio_button && code == BN_CLICKED) {
        // One checked radio button per container.
        for (const Control& other : m_controls)
            if (other.model->kind == ControlKind::radio_button && other.model->parent == control.model->parent)
                SendMessageW(other.window, BM_SETCHECK, &other == &control ? BST_CHECKED : BST_UNCHECKED, 0);
        if (on_change)
            on_change(control);
    } else if (kind == ControlKind::check_box && code == BN_CLICKED) {
        if (on_change)
            on_change(control);
    } else if (code == BN_CLICKED || code == STN_CLICKED) {
        if (on_click)
            on_click(control);
    } else if (kind == ControlKind::directory_list_box) {
        // A folder list changes its folder when an item is opened, not when it is selected.
        if (code == LBN_DBLCLK) {
            std::string folder =
                folder_list_item(control.window, static_cast<int>(SendMessageW(control.window, LB_GETCURSEL, 0, 0)));
            if (!folder.empty() && folder_list_show(control.window, folder) && on_change)
                on_change(control);
        }
    } else if (code == EN_CHANGE || code == LBN_SELCHANGE || code == CBN_SELCHANGE || code == CBN_EDITCHANGE) {
        if (on_change)
            on_change(control);
        // A full edit moves on to the next control, as the designer's MaxLength does.
        if (code == EN_CHANGE && control.model->max_length > 0 &&
            GetWindowTextLengthW(control.window) >= control.model->max_length && GetFocus() == control.window)
            SendMessageW(m_window, WM_NEXTDLGCTL, 0, FALSE);
    }
}

void TPoolTemplate::on_notify(const Control& control, const NMHDR& header)
{
    if (header.code == TCN_SELCHANGE) {
        show_page(control, TabCtrl_GetCurSel(control.window));
    } else if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) != 0 && on_change)
            on_change(control);
    } else if (header.code == TVN_SELCHANGEDW && on_change) {
        on_change(control);
    } else if (header.code == NM_CLICK && control.model->kind == ControlKind::tree_view && on_tree_context) {
        // A click on an item's icon asks for the feature menu.
        TVHITTESTINFO hit{};
        GetCursorPos(&hit.pt);
        POINT screen = hit.pt;
        ScreenToClient(control.window, &hit.pt);
        HTREEITEM item = TreeView_HitTest(control.window, &hit);
        if (item != nullptr && (hit.flags & TVHT_ONITEMICON) != 0)
            on_tree_context(control, item, screen);
    } else if (header.code == TVN_KEYDOWN && on_tree_context &&
               reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_APPS) {
        HTREEITEM item = TreeView_GetSelection(control.window);
        RECT rect{};
        if (item != nullptr && TreeView_GetItemRect(control.window, item, &rect, TRUE)) {
            POINT corner{rect.right, rect.bottom};
            ClientToScreen(control.window, &corner);
            on_tree_context(control, item, corner);
        }
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
    case WM_COMMAND:
        if (const Control* control = control_of(reinterpret_cast<HWND>(lparam)); control != nullptr) {
            on_command(*control, HIWORD(wparam));
            return 0;
        }
        if (lparam == 0 && LOWORD(wparam) == IDCANCEL && on_escape) {
            on_escape();
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (const Control* control = control_of(header->hwndFrom); control != nullptr) {
            on_notify(*control, *header);
            return 0;
        }
        break;
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
