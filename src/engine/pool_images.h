// The pictures of the hidden main form, drawn by code: the feature tree's
// check-state images and the menu images (ImageList), the taskbar overlay
// (ImageList7) and the pictures that dialogs take from the form.
#pragma once

#include "base/error.h"
#include "platform/win32/gdi.h"

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <cstdint>

namespace quillon {

// The pictures that dialogs take from the form.
enum class PoolPicture : std::uint8_t { image, image7_off, image7_on };

class PoolImages {
public:
    Result<void> create();

    // ImageList (32 x 16): 0 not selected, 1 selected (the feature tree), and
    // the menu images 2 to 5. ImageList7 (32 x 32): the overlay.
    HIMAGELIST image_list() const { return m_image_list.get(); }
    HIMAGELIST image_list7() const { return m_image_list7.get(); }
    HICON overlay_icon() const { return m_overlay_icon.get(); }
    HBITMAP picture(PoolPicture which) const { return m_pictures[static_cast<std::size_t>(which)].get(); }
    // The image of ImageList as a bitmap of its own, for a menu item.
    HBITMAP menu_bitmap(int index) const { return m_menu_bitmaps[static_cast<std::size_t>(index)].get(); }

private:
    win32::UniqueImageList m_image_list;
    win32::UniqueImageList m_image_list7;
    win32::UniqueIcon m_overlay_icon;
    std::array<win32::UniqueBitmap, 3> m_pictures;
    std::array<win32::UniqueBitmap, 6> m_menu_bitmaps;
};

} // namespace quillon
