// The start-up form: "Quillon is preparing..." with a progress bar over the dialogs.
#pragma once

#include <windows.h>
#include "platform/win32/gdi.h"

#include <string>

namespace quillon {

class TSetupInit {
public:
    TSetupInit(const std::string& caption, const std::string& label_text);
    TSetupInit(const TSetupInit&) = delete;
    TSetupInit& operator=(const TSetupInit&) = delete;
    ~TSetupInit();

    HWND window() const { return m_window; }
    SIZE size() const;
    void move_to(int left, int top);
    void centre_on_screen();
    void show();
    void hide();
    void set_progress(int minimum, int maximum, int position);
    void step_progress();
    void paint() const;

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

    HWND m_window = nullptr;
    HWND m_label = nullptr;    // "Label1"
    HWND m_image1 = nullptr;   // "Image1", shown on Windows XP and later
    HWND m_image2 = nullptr;   // "Image2", shown before
    HWND m_progress = nullptr; // "ProgressBar"
    win32::UniqueFont m_font;
};

// Places the start-up form below and to the right of the splash, pulled back on screen.
POINT place_below_splash(RECT splash, SIZE form, SIZE screen);

} // namespace quillon
