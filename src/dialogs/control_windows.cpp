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

std::optional<ControlWindowSpec> control_window_spec(const FormControl& m)
{
    if (m.kind == ControlKind::nonvisual)
        return std::nullopt;
    ControlWindowSpec spec;
    spec.style = WS_CHILD | WS_CLIPSIBLINGS | (m.tab_stop ? WS_TABSTOP : 0);
    spec.height = m.bounds.height;
    auto border = [&] { spec.ex_style |= WS_EX_CLIENTEDGE; };
    const wchar_t*& window_class = spec.window_class;
    DWORD& style = spec.style;
    int& height = spec.height;
    switch (m.kind) {
    case ControlKind::label:
        style |= SS_NOTIFY | (m.alignment == TextAlignment::right    ? SS_RIGHT
                              : m.alignment == TextAlignment::center ? SS_CENTER
                              : m.word_wrap                          ? SS_LEFT
                                                                     : SS_LEFTNOWORDWRAP);
        break;
    case ControlKind::static_text: {
        std::string border_style = design_identifier(m, "BorderStyle");
        style |= SS_NOTIFY | (m.alignment == TextAlignment::right    ? SS_RIGHT
                              : m.alignment == TextAlignment::center ? SS_CENTER
                                                                     : SS_LEFT);
        if (same_name(border_style, "sbsSunken"))
            style |= SS_SUNKEN;
        else if (same_name(border_style, "sbsSingle"))
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
        std::string bars = design_identifier(m, "ScrollBars");
        if (m.kind == ControlKind::rich_edit || same_name(bars, "ssVertical") || same_name(bars, "ssBoth"))
            style |= WS_VSCROLL;
        if (m.kind == ControlKind::rich_edit || same_name(bars, "ssHorizontal") || same_name(bars, "ssBoth"))
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
        style |= is_default != nullptr && same_name(is_default->value.text, "True") ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        const dfm::Property* flat = m.source->find("Flat");
        if (flat != nullptr && same_name(flat->value.text, "True"))
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
        if (multi != nullptr && same_name(multi->value.text, "True"))
            style |= LBS_EXTENDEDSEL;
        // The folder and file lists keep the order they are filled in.
        const dfm::Property* sorted = m.source->find("Sorted");
        if (m.kind == ControlKind::list_box && sorted != nullptr && same_name(sorted->value.text, "True"))
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
                 (m.kind != ControlKind::combo_box || same_name(design_identifier(m, "Style"), "csDropDownList")
                      ? CBS_DROPDOWNLIST
                      : CBS_DROPDOWN);
        height += 200; // the drop-down list
        break;
    case ControlKind::image:
        style |= SS_NOTIFY | SS_BITMAP;
        {
            const dfm::Property* center = m.source->find("Center");
            const dfm::Property* stretch = m.source->find("Stretch");
            if (stretch != nullptr && same_name(stretch->value.text, "True"))
                style |= SS_REALSIZECONTROL;
            else if (center != nullptr && same_name(center->value.text, "True"))
                style |= SS_CENTERIMAGE;
        }
        break;
    case ControlKind::progress_bar: {
        window_class = PROGRESS_CLASSW;
        const dfm::Property* smooth = m.source->find("Smooth");
        if (smooth != nullptr && same_name(smooth->value.text, "True"))
            style |= PBS_SMOOTH;
        if (same_name(design_identifier(m, "Orientation"), "pbVertical"))
            style |= PBS_VERTICAL;
        break;
    }
    case ControlKind::track_bar:
        window_class = TRACKBAR_CLASSW;
        style |= TBS_AUTOTICKS | (same_name(design_identifier(m, "Orientation"), "trVertical") ? TBS_VERT : TBS_HORZ);
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
    case ControlKind::vista_glass: window_class = drawn_control_class; break;
    case ControlKind::nonvisual: return std::nullopt;
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
