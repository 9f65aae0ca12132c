#include "dialogs/control_windows.h"

#include "dialogs/design_properties.h"
#include "dialogs/drawn_controls.h"
#include "dialogs/folder_controls.h"
#include "dialogs/html_view.h"
#include "dialogs/shell_controls.h"
#include "dialogs/uPool.h"
#include "platform/win32/gdi.h"
#include "platform/win32/wide.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

// Common AVI clips of shell32, by the designer's CommonAVI names.
int common_avi(const std::string& name)
{
    static constexpr std::pair<std::string_view, int> table[] = {
        {"aviFindFolder", 150}, {"aviFindFile", 151},    {"aviFindComputer", 152}, {"aviCopyFiles", 160},
        {"aviCopyFile", 161},   {"aviRecycleFile", 162}, {"aviEmptyRecycle", 163}, {"aviDeleteFile", 164},
    };
    for (const auto& [avi, id] : table)
        if (same_name(name, avi))
            return id;
    return 0;
}

std::string current_folder()
{
    wchar_t folder[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    return length == 0 || length >= MAX_PATH ? std::string() : win32::to_ansi(std::wstring_view(folder, length));
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

} // namespace

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

namespace {

DWORD text_alignment(const FormControl& m, DWORD left)
{
    return m.alignment == TextAlignment::right ? SS_RIGHT : m.alignment == TextAlignment::center ? SS_CENTER : left;
}

// Labels, static texts and images: the STATIC class.
void static_spec(const FormControl& m, ControlWindowSpec& spec)
{
    spec.style |= SS_NOTIFY;
    if (m.kind == ControlKind::label) {
        spec.style |= text_alignment(m, m.word_wrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
    } else if (m.kind == ControlKind::static_text) {
        spec.style |= text_alignment(m, SS_LEFT);
        std::string border_style = design_identifier(m, "BorderStyle");
        if (same_name(border_style, "sbsSunken"))
            spec.style |= SS_SUNKEN;
        else if (same_name(border_style, "sbsSingle"))
            spec.style |= WS_BORDER;
    } else {
        spec.style |= SS_BITMAP;
        if (design_flag_is(m, "Stretch", "True"))
            spec.style |= SS_REALSIZECONTROL;
        else if (design_flag_is(m, "Center", "True"))
            spec.style |= SS_CENTERIMAGE;
    }
}

// Edits, memos and rich edits.
void edit_spec(const FormControl& m, ControlWindowSpec& spec)
{
    spec.ex_style |= WS_EX_CLIENTEDGE;
    spec.style |= m.read_only ? ES_READONLY : 0;
    if (m.kind == ControlKind::edit || m.kind == ControlKind::mask_edit) {
        spec.window_class = L"EDIT";
        spec.style |= ES_AUTOHSCROLL;
        std::string password = design_text(m, "PasswordChar");
        if (!password.empty() && password != std::string(1, '\0'))
            spec.style |= ES_PASSWORD;
        return;
    }
    bool rich = m.kind == ControlKind::rich_edit;
    spec.window_class = rich ? L"RichEdit20W" : L"EDIT";
    spec.style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    std::string bars = design_identifier(m, "ScrollBars");
    if (rich || same_name(bars, "ssVertical") || same_name(bars, "ssBoth"))
        spec.style |= WS_VSCROLL;
    if (rich || same_name(bars, "ssHorizontal") || same_name(bars, "ssBoth"))
        spec.style |= WS_HSCROLL;
    if (!m.word_wrap)
        spec.style |= ES_AUTOHSCROLL;
}

// Push buttons, check boxes and radio buttons: the BUTTON class.
void button_spec(const FormControl& m, ControlWindowSpec& spec)
{
    spec.window_class = L"BUTTON";
    if (m.kind == ControlKind::check_box) {
        spec.style |= BS_AUTOCHECKBOX | (m.word_wrap ? BS_MULTILINE : 0);
    } else if (m.kind == ControlKind::radio_button) {
        // Grouped by their container, not by window order: checked by hand.
        spec.style |= BS_RADIOBUTTON | (m.word_wrap ? BS_MULTILINE : 0);
    } else {
        spec.style |= design_flag_is(m, "Default", "True") ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        if (design_flag_is(m, "Flat", "True"))
            spec.style |= BS_FLAT;
    }
}

// List boxes (also the folder and file lists), check lists and combo boxes.
void list_spec(const FormControl& m, ControlWindowSpec& spec)
{
    if (m.kind == ControlKind::check_list_box) {
        spec.window_class = WC_LISTVIEWW;
        spec.style |= LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        spec.ex_style |= WS_EX_CLIENTEDGE;
    } else if (m.kind == ControlKind::list_box || m.kind == ControlKind::file_list_box ||
               m.kind == ControlKind::directory_list_box) {
        spec.window_class = L"LISTBOX";
        spec.style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        if (design_flag_is(m, "MultiSelect", "True"))
            spec.style |= LBS_EXTENDEDSEL;
        // The folder and file lists keep the order they are filled in.
        if (m.kind == ControlKind::list_box && design_flag_is(m, "Sorted", "True"))
            spec.style |= LBS_SORT;
        spec.ex_style |= WS_EX_CLIENTEDGE;
    } else {
        spec.window_class = L"COMBOBOX";
        bool drop_down_list =
            m.kind != ControlKind::combo_box || same_name(design_identifier(m, "Style"), "csDropDownList");
        spec.style |= WS_VSCROLL | CBS_AUTOHSCROLL | (drop_down_list ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
        spec.height += 200; // the drop-down list
    }
}

// The common controls with a class of their own.
void common_control_spec(const FormControl& m, ControlWindowSpec& spec)
{
    std::string orientation = design_identifier(m, "Orientation");
    switch (m.kind) {
    case ControlKind::progress_bar:
        spec.window_class = PROGRESS_CLASSW;
        spec.style |= (design_flag_is(m, "Smooth", "True") ? PBS_SMOOTH : 0) |
                      (same_name(orientation, "pbVertical") ? PBS_VERTICAL : 0);
        break;
    case ControlKind::track_bar:
        spec.window_class = TRACKBAR_CLASSW;
        spec.style |= TBS_AUTOTICKS | (same_name(orientation, "trVertical") ? TBS_VERT : TBS_HORZ);
        break;
    case ControlKind::up_down:
        spec.window_class = UPDOWN_CLASSW;
        spec.style |= UDS_ARROWKEYS | UDS_SETBUDDYINT;
        break;
    case ControlKind::page_control: spec.window_class = WC_TABCONTROLW; break;
    case ControlKind::tree_view:
        spec.window_class = WC_TREEVIEWW;
        spec.style |= TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS;
        spec.ex_style |= WS_EX_CLIENTEDGE;
        break;
    case ControlKind::animate:
        spec.window_class = ANIMATE_CLASSW;
        spec.style |= ACS_TRANSPARENT | ACS_CENTER;
        break;
    default: break;
    }
}

} // namespace

std::optional<ControlWindowSpec> control_window_spec(const FormControl& m)
{
    ControlWindowSpec spec;
    spec.style = WS_CHILD | WS_CLIPSIBLINGS | (m.tab_stop ? WS_TABSTOP : 0);
    spec.height = m.bounds.height;
    switch (m.kind) {
    case ControlKind::nonvisual: return std::nullopt;
    case ControlKind::label:
    case ControlKind::static_text:
    case ControlKind::image: static_spec(m, spec); break;
    case ControlKind::edit:
    case ControlKind::mask_edit:
    case ControlKind::memo:
    case ControlKind::rich_edit: edit_spec(m, spec); break;
    case ControlKind::button:
    case ControlKind::bit_button:
    case ControlKind::bmp_button:
    case ControlKind::speed_button:
    case ControlKind::check_box:
    case ControlKind::radio_button: button_spec(m, spec); break;
    case ControlKind::list_box:
    case ControlKind::file_list_box:
    case ControlKind::directory_list_box:
    case ControlKind::check_list_box:
    case ControlKind::combo_box:
    case ControlKind::drive_combo_box:
    case ControlKind::filter_combo_box: list_spec(m, spec); break;
    case ControlKind::progress_bar:
    case ControlKind::track_bar:
    case ControlKind::up_down:
    case ControlKind::page_control:
    case ControlKind::tree_view:
    case ControlKind::animate: common_control_spec(m, spec); break;
    // Controls of our own.
    case ControlKind::html_viewer: spec.window_class = html_view_class; break;
    case ControlKind::shell_tree: spec.window_class = shell_tree_class; break;
    case ControlKind::shell_list: spec.window_class = shell_list_class; break;
    case ControlKind::shell_combo:
        spec.window_class = shell_combo_class;
        spec.height += 200;
        break;
    case ControlKind::panel:
    case ControlKind::group_box:
    case ControlKind::tab_sheet:
    case ControlKind::shape:
    case ControlKind::bevel:
    case ControlKind::gauge:
    case ControlKind::flash_frame:
    case ControlKind::form_shape:
    case ControlKind::vista_glass: spec.window_class = drawn_control_class; break;
    }
    return spec;
}

void show_design(HWND w, const FormControl& m)
{
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
            std::string filter = design_text(m, "Filter");
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
    case ControlKind::file_list_box: file_list_show(w, current_folder(), design_text(m, "Mask")); break;
    case ControlKind::directory_list_box: folder_list_show(w, current_folder()); break;
    case ControlKind::tree_view: {
        std::vector<std::string> texts;
        for (const FormTreeNode& node : m.nodes)
            texts.push_back(utf16_to_ansi(node.text));
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
    case ControlKind::animate: {
        int clip = common_avi(design_identifier(m, "CommonAVI"));
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
}

} // namespace quillon
