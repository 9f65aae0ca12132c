// The product's shortcuts in Wine's shell: setting an application user model
// ID and pin requests leave a real shortcut whole and pointing at its target.
// (Wine's shell link keeps no properties, so the ID itself cannot be read back
// here; see docs/wine.md.)
#include "engine/shortcut_pins.h"
#include "harness/harness.h"
#include "platform/win32/com.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <propkey.h>
#include <shlobj.h>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

bool make_shortcut(const fs::path& file, const fs::path& target)
{
    win32::ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return false;
    link->SetPath(target.c_str());
    win32::ComPtr<IPersistFile> persist;
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.put_void())) &&
           SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

std::wstring target_of(const fs::path& file)
{
    win32::ComPtr<IShellLinkW> link;
    win32::ComPtr<IPersistFile> persist;
    wchar_t target[MAX_PATH] = L"";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, persist.put_void())) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ)))
        link->GetPath(target, MAX_PATH, nullptr, 0);
    return target;
}

std::wstring application_id(const fs::path& file)
{
    win32::ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return L"(no link)";
    win32::ComPtr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return L"(not loaded)";
    win32::ComPtr<IPropertyStore> store;
    if (FAILED(link->QueryInterface(IID_IPropertyStore, store.put_void())))
        return L"(no store)";
    PROPVARIANT value;
    PropVariantInit(&value);
    if (FAILED(store->GetValue(PKEY_AppUserModel_ID, &value)))
        return L"(no value)";
    std::wstring id = value.vt == VT_LPWSTR && value.pwszVal != nullptr ? value.pwszVal : L"";
    PropVariantClear(&value);
    return id;
}

TEST(ShortcutPins, IdsAndPinRequestsLeaveTheShortcutWhole)
{
    win32::ComApartment apartment;
    fs::path folder = fresh_scratch_dir(L"shortcut-pins");
    fs::path shortcut = folder / L"Basic App.lnk";
    ASSERT_TRUE(make_shortcut(shortcut, folder / L"app.exe"));
    std::string path = win32::to_ansi(shortcut.wstring());

    std::wstring target = target_of(shortcut);
    ASSERT_NE(target.find(L"app.exe"), std::wstring::npos);

    SetApplicationIds({{path, "Quillon.Basic.App"}, {win32::to_ansi((folder / L"gone.lnk").wstring()), "X"}});
    EXPECT_FALSE(fs::exists(folder / L"gone.lnk")) << "only existing shortcuts are touched";
    EXPECT_EQ(target_of(shortcut), target);
    if (std::wstring id = application_id(shortcut); id != L"(no value)") {
        EXPECT_EQ(id, L"Quillon.Basic.App"); // a shell that keeps the property
    }

    // Wine's shell offers no pin verbs: nothing is invoked, the file stays.
    PinShortcuts({path + "|7X|C:\\app.exe"}, true);
    PinShortcuts({path + "|7X|C:\\app.exe"}, false);
    EXPECT_EQ(target_of(shortcut), target);
}

} // namespace
} // namespace quillon::test
