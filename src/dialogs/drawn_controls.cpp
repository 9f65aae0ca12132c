#include "dialogs/drawn_controls.h"

#include "dialogs/design_properties.h"
#include "platform/win32/gdi.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_text.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>

namespace quillon {

COLORREF rgb_of(const FormColor& color)
{
    return color.system ? GetSysColor(static_cast<int>(color.value)) : static_cast<COLORREF>(color.value);
}

namespace {

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

void paint_panel(HDC dc, RECT rect, const PaintState& state, const std::wstring& caption)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    auto edge = [&](const std::string& bevel) -> UINT {
        if (same_name(bevel, "bvLowered"))
            return BDR_SUNKENOUTER;
        if (same_name(bevel, "bvRaised") || bevel.empty())
            return BDR_RAISEDINNER;
        return 0;
    };
    std::string outer = design_identifier(control, "BevelOuter");
    std::string inner = design_identifier(control, "BevelInner");
    if (UINT e = edge(outer); e != 0 && !same_name(outer, "bvNone")) {
        DrawEdge(dc, &rect, e, BF_RECT | BF_ADJUST);
    }
    if (!inner.empty() && !same_name(inner, "bvNone")) {
        if (UINT e = edge(inner); e != 0)
            DrawEdge(dc, &rect, e, BF_RECT | BF_ADJUST);
    }
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
void paint_group_box(HDC dc, RECT rect, const PaintState& state, const std::wstring& caption)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    win32::SelectedObject font(dc, state.font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT frame = rect;
    frame.top += metrics.tmHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
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
    std::string shape = design_identifier(control, "Shape");
    bool raised = same_name(design_identifier(control, "Style"), "bsRaised");
    UINT edge = raised ? EDGE_RAISED : EDGE_SUNKEN;
    UINT line_edge = raised ? BDR_RAISEDINNER | BDR_RAISEDOUTER : BDR_SUNKENOUTER | BDR_RAISEDINNER;
    if (same_name(shape, "bsTopLine"))
        DrawEdge(dc, &rect, line_edge, BF_TOP);
    else if (same_name(shape, "bsBottomLine"))
        DrawEdge(dc, &rect, line_edge, BF_BOTTOM);
    else if (same_name(shape, "bsLeftLine"))
        DrawEdge(dc, &rect, line_edge, BF_LEFT);
    else if (same_name(shape, "bsRightLine"))
        DrawEdge(dc, &rect, line_edge, BF_RIGHT);
    else if (same_name(shape, "bsFrame"))
        DrawEdge(dc, &rect, raised ? EDGE_BUMP : EDGE_ETCHED, BF_RECT);
    else if (!same_name(shape, "bsSpacer"))
        DrawEdge(dc, &rect, edge, BF_RECT); // bsBox
}

void paint_shape(HDC dc, RECT rect, const PaintState& state)
{
    const FormControl& control = *state.model;
    fill(dc, rect, rgb_of(control.color));
    bool clear = same_name(design_identifier(control, "Brush.Style"), "bsClear");
    win32::UniqueBrush solid;
    if (!clear)
        solid.reset(CreateSolidBrush(property_color(control, "Brush.Color", RGB(255, 255, 255))));
    win32::UniquePen pen(CreatePen(PS_SOLID, 1, property_color(control, "Pen.Color", RGB(0, 0, 0))));
    win32::SelectedObject selected_brush(dc, clear ? GetStockObject(NULL_BRUSH) : solid.get());
    win32::SelectedObject selected_pen(dc, pen.get());
    std::string shape = design_identifier(control, "Shape");
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    if (same_name(shape, "stSquare") || same_name(shape, "stCircle") || same_name(shape, "stRoundSquare")) {
        int side = std::min(w, h);
        rect.left += (w - side) / 2;
        rect.top += (h - side) / 2;
        rect.right = rect.left + side;
        rect.bottom = rect.top + side;
    }
    if (same_name(shape, "stEllipse") || same_name(shape, "stCircle"))
        Ellipse(dc, rect.left, rect.top, rect.right, rect.bottom);
    else if (same_name(shape, "stRoundRect") || same_name(shape, "stRoundSquare"))
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
    if (show_text == nullptr || !same_name(show_text->value.text, "False")) {
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
            // The window's text, which the runtime sets from the design (expanded, translated).
            case ControlKind::panel: paint_panel(dc, rect, *state, window_text_wide(window)); break;
            case ControlKind::group_box: paint_group_box(dc, rect, *state, window_text_wide(window)); break;
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

} // namespace

bool register_drawn_control_class(HINSTANCE instance)
{
    WNDCLASSEXW paint{};
    paint.cbSize = sizeof paint;
    paint.lpfnWndProc = &paint_proc;
    paint.hInstance = instance;
    paint.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    paint.lpszClassName = drawn_control_class;
    return RegisterClassExW(&paint) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void attach_drawn_control(HWND window, const FormControl& control)
{
    auto* state = new PaintState{&control, nullptr, control.minimum, control.maximum, control.position};
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
}

} // namespace quillon
