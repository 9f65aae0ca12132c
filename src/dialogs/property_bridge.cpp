// The published properties of a form's components in their text form, as
// the dialog rules read and set them.
#include "dialogs/uPool.h"

#include "base/strings.h"

#include <commctrl.h>

namespace quillon {

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

} // namespace quillon
