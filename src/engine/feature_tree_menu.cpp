#include "engine/feature_tree_menu.h"

#include "platform/win32/wide.h"

#include <iterator>
#include <string>

namespace quillon {

namespace {

constexpr UINT first_command_id = 0x5101;

struct PopupItem {
    FeatureMenuAction action;
    std::string_view name;
    std::string_view caption; // English; replaced by the message line when there is one
    std::optional<MessageLine> message_line; // none: the caption is not localized
    int image;                // in ImageList
    bool visible;
    bool separator_before;
};

constexpr PopupItem popup_items[] = {
    {FeatureMenuAction::install_node, "InstallComponentOnly1", "Will be &installed on local hard drive",
     MessageLine::install_node, 4, true, false},
    {FeatureMenuAction::install_feature, "InstallComponentwithSubComponents1",
     "&Entire feature will be installed on local hard drive", MessageLine::install_feature, 5, true, false},
    {FeatureMenuAction::unavailable, "Entirefeaturewillbeunavailable1", "Entire feature will be &unavailable",
     MessageLine::feature_unavailable, 2, true, true},
    {FeatureMenuAction::node_only_off, "DoNotInstallComponentOnly1", "Do Not Install Component &Only", std::nullopt, 2,
     false, false},
    {FeatureMenuAction::node_and_children_off, "DoNotInstallComponentorSubComponents1",
     "Do &Not Install Component or Sub Components", std::nullopt, 3, false, false},
};

const PopupItem* find_item(FeatureMenuAction action)
{
    for (const PopupItem& item : popup_items) {
        if (item.action == action)
            return &item;
    }
    return nullptr;
}

} // namespace

Result<void> FeatureTreeMenu::create(const EngineMessages* messages, const PoolImages& images)
{
    m_popup.reset(CreatePopupMenu());
    m_hidden.reset(CreatePopupMenu());
    if (!m_popup || !m_hidden)
        return make_error(ErrorCode::win32, "Cannot create the menu Popup", GetLastError());
    for (const PopupItem& item : popup_items) {
        HMENU menu = item.visible ? m_popup.get() : m_hidden.get();
        if (item.separator_before) {
            MENUITEMINFOW separator{};
            separator.cbSize = sizeof separator;
            separator.fMask = MIIM_FTYPE;
            separator.fType = MFT_SEPARATOR;
            InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &separator);
        }
        std::string caption(item.caption);
        // An empty localized text would leave a blank item: keep the English one then.
        if (messages != nullptr && item.message_line && !messages->text(*item.message_line).empty())
            caption = messages->text(*item.message_line);
        std::wstring wide = win32::to_wide(caption);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_BITMAP;
        info.fType = MFT_STRING;
        info.wID = command_id(item.action);
        info.dwTypeData = wide.data();
        info.hbmpItem = images.menu_bitmap(item.image);
        if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &info))
            return make_error(ErrorCode::win32, "Cannot add the menu item " + std::string(item.name), GetLastError());
    }
    return {};
}

UINT FeatureTreeMenu::command_id(FeatureMenuAction action)
{
    for (std::size_t index = 0; index < std::size(popup_items); ++index) {
        if (popup_items[index].action == action)
            return first_command_id + static_cast<UINT>(index);
    }
    return 0;
}

std::optional<FeatureMenuAction> FeatureTreeMenu::action_for_command(UINT command)
{
    if (command < first_command_id || command >= first_command_id + std::size(popup_items))
        return std::nullopt;
    return popup_items[command - first_command_id].action;
}

std::string_view FeatureTreeMenu::item_name(FeatureMenuAction action)
{
    const PopupItem* item = find_item(action);
    return item != nullptr ? item->name : std::string_view{};
}

std::optional<FeatureMenuAction> FeatureTreeMenu::track(HWND owner, POINT screen) const
{
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN;
    BOOL chosen = TrackPopupMenuEx(m_popup.get(), flags, screen.x, screen.y, owner, nullptr);
    return action_for_command(static_cast<UINT>(chosen));
}

} // namespace quillon
