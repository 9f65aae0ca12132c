#include "dialogs/page_apply.h"

#include "dialogs/html_view.h"
#include "dialogs/uPool.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_text.h"

#include <commctrl.h>

namespace quillon {

namespace {

void fill_list(HWND window, bool list, const ControlFill& fill)
{
    SendMessageW(window, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
    if (fill.items)
        for (const std::string& item : *fill.items)
            SendMessageW(window, list ? LB_ADDSTRING : CB_ADDSTRING, 0,
                         reinterpret_cast<LPARAM>(win32::to_wide(item).c_str()));
    if (!fill.select)
        return;
    std::wstring value = win32::to_wide(*fill.select);
    LRESULT index = SendMessageW(window, list ? LB_FINDSTRINGEXACT : CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(value.c_str()));
    if (index >= 0)
        SendMessageW(window, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    else if (!list)
        SetWindowTextW(window, value.c_str());
}

void fill_check_list(HWND window, const std::vector<ComponentCheckItem>& items)
{
    ListView_DeleteAllItems(window);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::wstring text = win32::to_wide(items[i].text);
        LVITEMW entry{};
        entry.mask = LVIF_TEXT;
        entry.iItem = static_cast<int>(i);
        entry.pszText = text.data();
        ListView_InsertItem(window, &entry);
        ListView_SetCheckState(window, static_cast<UINT>(i), items[i].checked);
    }
}

std::string list_item_text(HWND window, int index)
{
    std::wstring item(static_cast<std::size_t>(SendMessageW(window, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0)),
                      L'\0');
    SendMessageW(window, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
    return win32::to_ansi(item);
}

} // namespace

std::string tree_item_text(HWND tree, HTREEITEM item)
{
    wchar_t text[512] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = 512;
    TreeView_GetItem(tree, &query);
    return win32::to_ansi(text);
}

void set_window_text(HWND window, std::string_view text)
{
    SetWindowTextW(window, win32::to_wide(text).c_str());
}

void apply_control_fill(HWND w, const FormControl& m, const ControlFill& fill)
{
    switch (m.kind) {
    case ControlKind::list_box:
    case ControlKind::combo_box: fill_list(w, m.kind == ControlKind::list_box, fill); return;
    case ControlKind::check_list_box:
        if (fill.check_items)
            fill_check_list(w, *fill.check_items);
        return;
    case ControlKind::track_bar:
        if (fill.position)
            SendMessageW(w, TBM_SETPOS, TRUE, *fill.position);
        return;
    case ControlKind::progress_bar:
    case ControlKind::gauge:
        if (fill.position) {
            SendMessageW(w, PBM_SETRANGE32, 0, 100);
            SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(*fill.position), 0);
        }
        return;
    case ControlKind::tree_view:
        if (fill.node_texts)
            show_tree_nodes(w, m.nodes, *fill.node_texts);
        return;
    case ControlKind::html_viewer:
        if (fill.page_file)
            html_view_load_file(w, *fill.page_file);
        else if (fill.text)
            html_view_set_html(w, *fill.text);
        return;
    case ControlKind::animate: SendMessageW(w, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)); return;
    default: break;
    }
    if (fill.text) {
        set_window_text(w, *fill.text);
        // Labels and panels draw their text themselves (transparent or wrapped): paint them again.
        if (m.kind == ControlKind::label || m.kind == ControlKind::panel || m.kind == ControlKind::group_box ||
            m.kind == ControlKind::tab_sheet || m.kind == ControlKind::static_text)
            InvalidateRect(w, nullptr, TRUE);
    }
    if (fill.checked)
        SendMessageW(w, BM_SETCHECK, *fill.checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

ControlState read_control_state(HWND w, const FormControl& m)
{
    ControlState state;
    switch (m.kind) {
    case ControlKind::edit:
    case ControlKind::mask_edit:
    case ControlKind::memo:
    case ControlKind::rich_edit:
    case ControlKind::combo_box: state.text = window_text_ansi(w); break;
    case ControlKind::check_box:
    case ControlKind::radio_button: state.checked = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED; break;
    case ControlKind::list_box: {
        int count = static_cast<int>(SendMessageW(w, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (SendMessageW(w, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0)
                state.selected.push_back(list_item_text(w, i));
        break;
    }
    case ControlKind::check_list_box: {
        int count = ListView_GetItemCount(w);
        for (int i = 0; i < count; ++i) {
            if (!ListView_GetCheckState(w, static_cast<UINT>(i)))
                continue;
            wchar_t text[512] = {};
            ListView_GetItemText(w, i, 0, text, 512);
            state.selected.push_back(win32::to_ansi(text));
        }
        break;
    }
    case ControlKind::track_bar: state.position = SendMessageW(w, TBM_GETPOS, 0, 0); break;
    case ControlKind::tree_view:
        if (HTREEITEM selected = TreeView_GetSelection(w); selected != nullptr)
            state.node = tree_item_text(w, selected);
        break;
    default: break;
    }
    return state;
}

} // namespace quillon
