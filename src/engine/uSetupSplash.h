// The splash form: a borderless window that sizes itself to "setup.bmp".
#pragma once

#include <windows.h>
#include "platform/win32/gdi.h"

#include <string>

namespace quillon {

class TSetupSplash {
public:
    TSetupSplash() = default;
    TSetupSplash(const TSetupSplash&) = delete;
    TSetupSplash& operator=(const TSetupSplash&) = delete;
    ~TSetupSplash();

    // Loads the bitmap into the image; false when the file is missing or unreadable.
    bool load(const std::wstring& bitmap_path);
    // Centres the form on the screen, shows and paints it.
    void show_centred();
    void hide();
    bool visible() const { return m_window != nullptr && IsWindowVisible(m_window); }
    RECT bounds() const;
    void paint() const;

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND m_window = nullptr;
    HWND m_image = nullptr; // "Image"
    win32::UniqueBitmap m_bitmap;
    SIZE m_size{};
};

} // namespace quillon
