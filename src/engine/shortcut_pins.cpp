#include "engine/shortcut_pins.h"

#include "msi/shortcut_pins.h"
#include "platform/win32/com.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <propkey.h>
#include <shldisp.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>

namespace quillon {

namespace {

bool file_exists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string load_string(HMODULE module, unsigned id)
{
    wchar_t* text = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? win32::to_ansi(std::wstring_view(text, static_cast<std::size_t>(length))) : std::string();
}

// The system's texts of one verb: from every language's shell32.dll.mui below
// the system folder (the verbs are shown in the user's language), or from
// shell32.dll itself on systems before them.
std::vector<std::string> verb_texts(unsigned id)
{
    std::vector<std::string> texts;
    wchar_t system[MAX_PATH] = L"";
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return texts;
    std::vector<std::wstring> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(
             system, std::filesystem::directory_options::skip_permission_denied, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->path().filename() == L"shell32.dll.mui")
            files.push_back(it->path().wstring());
        if (it.depth() >= 1)
            it.disable_recursion_pending();
    }
    files.push_back(std::wstring(system) + L"\\shell32.dll");
    for (const std::wstring& file : files) {
        HMODULE module =
            LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (module == nullptr)
            continue;
        std::string text = load_string(module, id);
        FreeLibrary(module);
        if (!text.empty())
            texts.push_back(std::move(text));
    }
    return texts;
}

void invoke_verb(IShellDispatch* shell, const std::wstring& shortcut, unsigned verb_id)
{
    std::size_t slash = shortcut.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return;
    VARIANT folder_name;
    VariantInit(&folder_name);
    folder_name.vt = VT_BSTR;
    folder_name.bstrVal = SysAllocString(shortcut.substr(0, slash).c_str());
    win32::ComPtr<Folder> folder;
    HRESULT opened = shell->NameSpace(folder_name, folder.put());
    VariantClear(&folder_name);
    if (FAILED(opened) || !folder)
        return;
    win32::ComPtr<FolderItem> item;
    BSTR file = SysAllocString(shortcut.substr(slash + 1).c_str());
    HRESULT parsed = folder->ParseName(file, item.put());
    SysFreeString(file);
    if (FAILED(parsed) || !item)
        return;
    win32::ComPtr<FolderItemVerbs> verbs;
    if (FAILED(item->Verbs(verbs.put())) || !verbs)
        return;
    long count = 0;
    verbs->get_Count(&count);
    std::vector<win32::ComPtr<FolderItemVerb>> items;
    std::vector<std::string> names;
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        win32::ComPtr<FolderItemVerb> verb;
        if (FAILED(verbs->Item(index, verb.put())) || !verb)
            continue;
        BSTR name = nullptr;
        verb->get_Name(&name);
        names.push_back(name != nullptr ? win32::to_ansi(name) : std::string());
        SysFreeString(name);
        items.push_back(std::move(verb));
    }
    if (std::optional<std::size_t> match = msi::MatchVerb(names, verb_texts(verb_id)))
        items[*match]->DoIt();
}

} // namespace

void SetApplicationIds(const std::vector<std::pair<std::string, std::string>>& ids)
{
    win32::ComApartment apartment;
    for (const auto& [shortcut, id] : ids) {
        std::wstring path = win32::to_wide(shortcut);
        if (!file_exists(path))
            continue;
        win32::ComPtr<IShellLinkW> link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
            continue;
        win32::ComPtr<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
            FAILED(file->Load(path.c_str(), STGM_READWRITE)))
            continue;
        win32::ComPtr<IPropertyStore> store;
        if (FAILED(link->QueryInterface(IID_IPropertyStore, store.put_void())))
            continue;
        std::wstring text = win32::to_wide(id);
        PROPVARIANT value;
        PropVariantInit(&value);
        value.vt = VT_LPWSTR;
        value.pwszVal = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
        if (value.pwszVal == nullptr)
            continue;
        std::copy(text.c_str(), text.c_str() + text.size() + 1, value.pwszVal);
        bool stored = SUCCEEDED(store->SetValue(PKEY_AppUserModel_ID, value)) && SUCCEEDED(store->Commit());
        PropVariantClear(&value);
        if (stored)
            file->Save(path.c_str(), TRUE);
    }
}

void PinShortcuts(const std::vector<std::string>& entries, bool pin)
{
    if (entries.empty())
        return;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    win32::ComApartment apartment;
    win32::ComPtr<IShellDispatch> shell;
    if (FAILED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_IShellDispatch, shell.put_void())))
        return;
    for (const std::string& entry : entries) {
        std::optional<msi::PinRequest> request = msi::ParsePinRequest(entry);
        if (!request)
            continue;
        msi::PinRequest places = msi::PlacesOnWindows(*request, static_cast<int>(version.dwMajorVersion),
                                                      static_cast<int>(version.dwMinorVersion));
        std::wstring shortcut = win32::to_wide(places.shortcut);
        if (places.taskbar)
            invoke_verb(shell.get(), shortcut, pin ? msi::pin_to_taskbar : msi::unpin_from_taskbar);
        if (places.start_menu)
            invoke_verb(shell.get(), shortcut, pin ? msi::pin_to_start_menu : msi::unpin_from_start_menu);
    }
}

} // namespace quillon
