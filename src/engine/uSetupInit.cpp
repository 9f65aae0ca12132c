#include "engine/uSetupInit.h"

#include "platform/win32/system_functions.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_version.h"

#include <commctrl.h>

namespace quillon {

namespace {

constexpr wchar_t init_class[] = L"TSetupInit";
constexpr int client_width = 420;
constexpr int client_height = 112;

HWND make_child(HWND parent, const wchar_t* window_class, const wchar_t* name, DWORD style, int x, int y, int width,
                int height)
{
    HWND child = CreateWindowExW(0, window_class, L"", WS_CHILD | style, x, y, width, height, parent, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    // Controls carry their form names as a property, so that tests can find them.
    SetPropW(child, L"QuillonName", reinterpret_cast<HANDLE>(const_cast<wchar_t*>(name)));
    return child;
}

} // namespace

POINT place_below_splash(RECT splash, SIZE form, SIZE screen)
{
    LONG splash_width = splash.right - splash.left;
    LONG splash_height = splash.bottom - splash.top;
    POINT at{splash.left + splash_width / 2 + 50, splash.top + splash_height + 25};
    if (screen.cy - form.cy - 45 < at.y)
        at.y = screen.cy - form.cy - 45;
    if (screen.cx - form.cx - 25 < at.x)
        at.x = screen.cx - form.cx - 25;
    return at;
}

LRESULT CALLBACK TSetupInit::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CTLCOLORSTATIC) { // labels on the form's own background
        SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    if (message == WM_CLOSE)
        return 0; // the start-up form closes when the engine is ready, not on request
    return DefWindowProcW(window, message, wparam, lparam);
}

TSetupInit::TSetupInit(const std::string& caption, const std::string& label_text)
{
    win32::init_common_controls(ICC_PROGRESS_CLASS);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_APPSTARTING);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = init_class;
    RegisterClassW(&window_class);

    DWORD style = WS_POPUP | WS_CAPTION | WS_BORDER;
    RECT frame{0, 0, client_width, client_height};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    m_window = CreateWindowExW(WS_EX_DLGMODALFRAME, init_class, win32::to_wide(caption).c_str(), style, 0, 0,
                               frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    m_font.reset(CreateFontIndirectW(&metrics.lfMessageFont));

    m_image1 = make_child(m_window, L"STATIC", L"Image1", SS_ICON, 16, 16, 32, 32);
    m_image2 = make_child(m_window, L"STATIC", L"Image2", SS_ICON, 16, 16, 32, 32);
    HICON icon = LoadIconW(nullptr, IDI_INFORMATION);
    SendMessageW(m_image1, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    SendMessageW(m_image2, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
    ShowWindow(win32::windows_version_at_least(5, 1) ? m_image1 : m_image2, SW_SHOW);

    m_label = make_child(m_window, L"STATIC", L"Label1", WS_VISIBLE | SS_LEFT, 64, 14, client_width - 80, 48);
    SetWindowTextW(m_label, win32::to_wide(label_text).c_str());
    SendMessageW(m_label, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), TRUE);

    m_progress = make_child(m_window, PROGRESS_CLASSW, L"ProgressBar", WS_VISIBLE, 16, 74, client_width - 32, 18);
}

TSetupInit::~TSetupInit()
{
    if (m_window != nullptr)
        DestroyWindow(m_window);
}

SIZE TSetupInit::size() const
{
    RECT rect{};
    GetWindowRect(m_window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void TSetupInit::move_to(int left, int top)
{
    SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TSetupInit::centre_on_screen()
{
    SIZE form = size();
    move_to((GetSystemMetrics(SM_CXSCREEN) - form.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - form.cy) / 2);
}

void TSetupInit::show()
{
    ShowWindow(m_window, SW_SHOW);
    paint();
}

void TSetupInit::hide()
{
    ShowWindow(m_window, SW_HIDE);
}

void TSetupInit::set_progress(int minimum, int maximum, int position)
{
    SendMessageW(m_progress, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
    SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void TSetupInit::step_progress()
{
    SendMessageW(m_progress, PBM_DELTAPOS, 1, 0);
}

void TSetupInit::paint() const
{
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

} // namespace quillon
