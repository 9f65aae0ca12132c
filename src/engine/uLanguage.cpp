#include "engine/uLanguage.h"
#include "platform/win32/gdi.h"

#include "engine/language_choice.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_version.h"

#include <windows.h>

namespace quillon {

namespace {

constexpr wchar_t language_class[] = L"TSetLanguage";
constexpr int client_width = 360;
constexpr int client_height = 150;
constexpr int combo_id = 100;

struct FormState {
    bool done = false;
    bool accepted = false;
};

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* state = reinterpret_cast<FormState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (state != nullptr && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
            state->accepted = LOWORD(wparam) == IDOK;
            state->done = true;
            return 0;
        }
        break;
    case WM_CLOSE:
        if (state != nullptr)
            state->done = true; // closing the window is a cancel
        return 0;
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_child(HWND parent, const wchar_t* window_class, const wchar_t* name, const std::string& text, DWORD style,
                RECT at, int id, HFONT font)
{
    HWND child = CreateWindowExW(0, window_class, win32::to_wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, at.left,
                                 at.top, at.right, at.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
    // Controls carry their form names as a property, so that tests can find them.
    SetPropW(child, L"QuillonName", reinterpret_cast<HANDLE>(const_cast<wchar_t*>(name)));
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return child;
}

} // namespace

std::optional<std::string> ChooseLanguage(const std::vector<std::string>& available,
                                          const std::string& default_language, const std::string& user_language,
                                          bool silent, const EngineMessages& messages)
{
    std::size_t preselected = preselect_language(available, default_language, user_language);
    if (available.empty())
        return std::nullopt;
    if (silent)
        return available[preselected];

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = language_class;
    RegisterClassW(&window_class);

    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    HWND form =
        CreateWindowExW(WS_EX_DLGMODALFRAME, language_class,
                        win32::to_wide(messages.text(MessageLine::select_language_caption)).c_str(), style,
                        (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                        width, height, nullptr, nullptr, instance, nullptr);
    if (form == nullptr)
        return available[preselected];
    FormState state;
    SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    win32::UniqueFont owned_font(CreateFontIndirectW(&metrics.lfMessageFont));
    HFONT font = owned_font.get();

    bool xp_or_later = win32::windows_version_at_least(5, 1);
    HWND image1 = make_child(form, L"STATIC", L"Image1", "", SS_ICON, {16, 16, 32, 32}, 0, font);
    HWND image2 = make_child(form, L"STATIC", L"Image2", "", SS_ICON, {16, 16, 32, 32}, 0, font);
    SendMessageW(image1, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
    SendMessageW(image2, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
    ShowWindow(xp_or_later ? image2 : image1, SW_HIDE);
    make_child(form, L"STATIC", L"Label1", messages.text(MessageLine::select_language_prompt), SS_LEFT,
               {64, 16, client_width - 80, 36}, 0, font);
    HWND combo = make_child(form, L"COMBOBOX", L"LangCombo", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                            {64, 60, client_width - 80, 200}, combo_id, font);
    for (const std::string& language : available)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::to_wide(language).c_str()));
    SendMessageW(combo, CB_SETCURSEL, preselected, 0);
    make_child(form, L"BUTTON", L"BitBtn1", messages.text(MessageLine::ok_button), BS_DEFPUSHBUTTON | WS_TABSTOP,
               {client_width - 190, client_height - 40, 80, 26}, IDOK, font);
    make_child(form, L"BUTTON", L"BitBtn2", messages.text(MessageLine::cancel_button), BS_PUSHBUTTON | WS_TABSTOP,
               {client_width - 96, client_height - 40, 80, 26}, IDCANCEL, font);

    ShowWindow(form, SW_SHOW);
    SetForegroundWindow(form);
    SetFocus(combo);
    MSG message;
    while (!state.done && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(form, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    DestroyWindow(form);
    if (!state.accepted)
        return std::nullopt;
    if (selected < 0 || static_cast<std::size_t>(selected) >= available.size())
        return available[preselected];
    return available[static_cast<std::size_t>(selected)];
}

} // namespace quillon
