#include "platform/win32/system_functions.h"

#include "platform/win32/system_library.h"

#include <mmsystem.h>

namespace quillon::win32 {

namespace {

struct CommonControls {
    decltype(&InitCommonControlsEx) init = nullptr;
    decltype(&ImageList_Create) create = nullptr;
    decltype(&ImageList_Add) add = nullptr;
    decltype(&ImageList_GetIcon) get_icon = nullptr;
    decltype(&ImageList_Destroy) destroy = nullptr;
};

const CommonControls& common_controls() noexcept
{
    static const CommonControls table = [] {
        CommonControls functions;
        HMODULE module = kept_system_library(L"comctl32.dll");
        functions.init = proc<decltype(functions.init)>(module, "InitCommonControlsEx");
        functions.create = proc<decltype(functions.create)>(module, "ImageList_Create");
        functions.add = proc<decltype(functions.add)>(module, "ImageList_Add");
        functions.get_icon = proc<decltype(functions.get_icon)>(module, "ImageList_GetIcon");
        functions.destroy = proc<decltype(functions.destroy)>(module, "ImageList_Destroy");
        return functions;
    }();
    return table;
}

} // namespace

bool init_common_controls(DWORD classes) noexcept
{
    auto init = common_controls().init;
    INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    return init != nullptr && init(&controls);
}

HIMAGELIST image_list_create(int width, int height, UINT flags, int initial, int grow) noexcept
{
    auto create = common_controls().create;
    return create != nullptr ? create(width, height, flags, initial, grow) : nullptr;
}

int image_list_add(HIMAGELIST list, HBITMAP image, HBITMAP mask) noexcept
{
    auto add = common_controls().add;
    return add != nullptr ? add(list, image, mask) : -1;
}

HICON image_list_get_icon(HIMAGELIST list, int index, UINT flags) noexcept
{
    auto get_icon = common_controls().get_icon;
    return get_icon != nullptr ? get_icon(list, index, flags) : nullptr;
}

bool image_list_destroy(HIMAGELIST list) noexcept
{
    auto destroy = common_controls().destroy;
    return destroy != nullptr && destroy(list);
}

bool play_sound(const wchar_t* sound, DWORD flags) noexcept
{
    static const auto play = proc<decltype(&PlaySoundW)>(kept_system_library(L"winmm.dll"), "PlaySoundW");
    return play != nullptr && play(sound, nullptr, flags);
}

bool register_rich_edit_class() noexcept
{
    static const bool loaded = kept_system_library(L"riched20.dll") != nullptr;
    return loaded;
}

} // namespace quillon::win32
