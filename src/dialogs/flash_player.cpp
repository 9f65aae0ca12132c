#include "dialogs/flash_player.h"

#include "platform/win32/com.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <objbase.h>
#include <oleauto.h>

namespace quillon {

namespace {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}: the Shockwave Flash object.
constexpr CLSID clsid_shockwave_flash = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

bool invoke(IDispatch* player, const wchar_t* name, WORD flags, VARIANT* argument)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    if (FAILED(player->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return false;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    if (argument != nullptr) {
        parameters.rgvarg = argument;
        parameters.cArgs = 1;
        if (flags == DISPATCH_PROPERTYPUT) {
            parameters.rgdispidNamedArgs = &named;
            parameters.cNamedArgs = 1;
        }
    }
    return SUCCEEDED(player->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, nullptr, nullptr, nullptr));
}

} // namespace

bool PlayFlashMovie(HWND frame, const std::string& player_library, const std::string& movie)
{
    // Both libraries stay loaded for the rest of the process: the hosted
    // player lives as long as its frame window, which may outlive this call's
    // page, and unloading code that still has windows would crash. The player
    // is the setup's own file; ATL's control host comes from the system folder.
    Result<win32::UniqueHmodule> player_module = win32::load_library_by_full_path(win32::to_wide(player_library));
    if (!player_module)
        return false;
    Result<win32::UniqueHmodule> atl_module = win32::load_system_library(L"atl.dll");
    if (!atl_module)
        return false;
    HMODULE player_code = player_module->release();
    HMODULE atl = atl_module->release();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using AttachControl = HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**);
    using AxWinInit = BOOL(WINAPI*)();
    auto get_class_object = win32::proc<GetClassObject>(player_code, "DllGetClassObject");
    auto attach = win32::proc<AttachControl>(atl, "AtlAxAttachControl");
    auto init = win32::proc<AxWinInit>(atl, "AtlAxWinInit");
    if (get_class_object == nullptr || attach == nullptr || init == nullptr || !init())
        return false;

    win32::ComPtr<IClassFactory> factory;
    if (FAILED(get_class_object(clsid_shockwave_flash, IID_IClassFactory, factory.put_void())))
        return false;
    win32::ComPtr<IUnknown> control;
    if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, control.put_void())))
        return false;
    win32::ComPtr<IDispatch> player;
    if (FAILED(control->QueryInterface(IID_IDispatch, player.put_void())))
        return false;
    win32::ComPtr<IUnknown> container;
    if (FAILED(attach(control.get(), frame, container.put())))
        return false;
    win32::Bstr path = win32::Bstr::from_ansi(movie);
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = path.get();
    if (!invoke(player.get(), L"Movie", DISPATCH_PROPERTYPUT, &argument))
        return false;
    return invoke(player.get(), L"Play", DISPATCH_METHOD, nullptr);
}

} // namespace quillon
