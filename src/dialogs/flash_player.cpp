#include "dialogs/flash_player.h"

#include "platform/win32/com.h"
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
    // page, and unloading code that still has windows would crash.
    HMODULE player_module = LoadLibraryW(win32::to_wide(player_library).c_str());
    if (player_module == nullptr)
        return false;
    HMODULE atl = LoadLibraryW(L"atl.dll");
    if (atl == nullptr)
        return false;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using AttachControl = HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**);
    using AxWinInit = BOOL(WINAPI*)();
    auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(player_module, "DllGetClassObject")));
    auto attach = reinterpret_cast<AttachControl>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxAttachControl")));
    auto init = reinterpret_cast<AxWinInit>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
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
