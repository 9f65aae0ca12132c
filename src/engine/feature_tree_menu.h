// The feature tree's popup menu on the hidden main form: the visible items
// with their images, and the two hidden items kept in a menu of their own that
// is never shown, so that their commands and captions exist without appearing.
#pragma once

#include "base/error.h"
#include "engine/feature_menu.h"
#include "engine/messages.h"
#include "engine/pool_images.h"
#include "platform/win32/gdi.h"

#include <windows.h>

#include <optional>
#include <string_view>

namespace quillon {

class FeatureTreeMenu {
public:
    // Without messages the items have their English captions. The images must
    // outlive the menu (menu bitmaps are not freed with their menus).
    Result<void> create(const EngineMessages* messages, const PoolImages& images);

    HMENU popup_menu() const { return m_popup.get(); }
    HMENU hidden_items() const { return m_hidden.get(); }
    static UINT command_id(FeatureMenuAction action);
    static std::optional<FeatureMenuAction> action_for_command(UINT command);
    static std::string_view item_name(FeatureMenuAction action); // "InstallComponentOnly1" ...
    // Shows the popup menu at a screen position and returns the chosen action.
    std::optional<FeatureMenuAction> track(HWND owner, POINT screen) const;

private:
    win32::UniqueMenu m_popup;
    win32::UniqueMenu m_hidden;
};

} // namespace quillon
