#include "engine/uSetupSplash.h"

namespace quillon {

namespace {
constexpr wchar_t splash_class[] = L"TSetupSplash";
}

TSetupSplash::~TSetupSplash()
{
    if (m_window != nullptr)
        DestroyWindow(m_window);
}

LRESULT CALLBACK TSetupSplash::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcW(window, message, wparam, lparam);
}

bool TSetupSplash::load(const std::wstring& bitmap_path)
{
    m_bitmap.reset(static_cast<HBITMAP>(LoadImageW(nullptr, bitmap_path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    if (!m_bitmap)
        return false;
    BITMAP info{};
    GetObjectW(m_bitmap.get(), sizeof info, &info);
    m_size = {info.bmWidth, info.bmHeight};

    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = splash_class;
    RegisterClassW(&window_class);
    // Auto-sized: the form is exactly as large as its image.
    m_window = CreateWindowExW(WS_EX_TOOLWINDOW, splash_class, L"", WS_POPUP, 0, 0, m_size.cx, m_size.cy, nullptr,
                               nullptr, instance, nullptr);
    if (m_window == nullptr)
        return false;
    m_image = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 0, m_size.cx, m_size.cy,
                              m_window, nullptr, instance, nullptr);
    SetPropW(m_image, L"QuillonName", reinterpret_cast<HANDLE>(const_cast<wchar_t*>(L"Image")));
    SendMessageW(m_image, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_bitmap.get()));
    return true;
}

void TSetupSplash::show_centred()
{
    if (m_window == nullptr)
        return;
    int left = (GetSystemMetrics(SM_CXSCREEN) - m_size.cx) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - m_size.cy) / 2;
    SetWindowPos(m_window, HWND_TOP, left, top, m_size.cx, m_size.cy, SWP_SHOWWINDOW);
    paint();
}

void TSetupSplash::hide()
{
    if (m_window != nullptr)
        ShowWindow(m_window, SW_HIDE);
}

RECT TSetupSplash::bounds() const
{
    RECT rect{};
    if (m_window != nullptr)
        GetWindowRect(m_window, &rect);
    return rect;
}

void TSetupSplash::paint() const
{
    if (m_window != nullptr) {
        RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

} // namespace quillon
