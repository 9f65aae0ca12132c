// Owners of GDI and user-interface objects: fonts, brushes, pens, bitmaps,
// memory device contexts, icons, menus, image lists and windows, each freed
// the way its kind is freed; a borrowed screen DC given back; an object
// selected into a DC for a scope and the previous one put back.
#pragma once

#include "platform/win32/system_functions.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <commctrl.h>

namespace quillon::win32 {

namespace detail {
inline void delete_font(HFONT font) noexcept
{
    DeleteObject(font);
}
inline void delete_brush(HBRUSH brush) noexcept
{
    DeleteObject(brush);
}
inline void delete_pen(HPEN pen) noexcept
{
    DeleteObject(pen);
}
inline void delete_bitmap(HBITMAP bitmap) noexcept
{
    DeleteObject(bitmap);
}
inline void delete_dc(HDC dc) noexcept
{
    DeleteDC(dc);
}
inline void destroy_icon(HICON icon) noexcept
{
    DestroyIcon(icon);
}
inline void destroy_menu(HMENU menu) noexcept
{
    DestroyMenu(menu);
}
inline void destroy_image_list(HIMAGELIST list) noexcept
{
    image_list_destroy(list);
}
inline void destroy_window(HWND window) noexcept
{
    DestroyWindow(window);
}
} // namespace detail

using UniqueFont = UniqueResource<HFONT, detail::delete_font>;
using UniqueBrush = UniqueResource<HBRUSH, detail::delete_brush>;
using UniquePen = UniqueResource<HPEN, detail::delete_pen>;
using UniqueBitmap = UniqueResource<HBITMAP, detail::delete_bitmap>;
using UniqueMemoryDc = UniqueResource<HDC, detail::delete_dc>;
using UniqueIcon = UniqueResource<HICON, detail::destroy_icon>;
using UniqueMenu = UniqueResource<HMENU, detail::destroy_menu>;
using UniqueImageList = UniqueResource<HIMAGELIST, detail::destroy_image_list>;
using UniqueWindow = UniqueResource<HWND, detail::destroy_window>;

// A window's DC (the screen's for no window), given back at the end of the scope.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) noexcept : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDc()
    {
        if (m_dc != nullptr)
            ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An object selected into a DC for a scope; the one it replaced goes back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        if (m_previous != nullptr && m_previous != HGDI_ERROR)
            SelectObject(m_dc, m_previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace quillon::win32
