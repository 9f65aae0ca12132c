#include "engine/cache_registry.h"

#include "cache/cache_texts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

namespace quillon {

namespace {

HKEY root_key(RegistryRoot root)
{
    return root == RegistryRoot::local_machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM view_flag(RegistryView view)
{
    switch (view) {
    case RegistryView::package_32bit: return KEY_WOW64_32KEY;
    case RegistryView::package_64bit: return KEY_WOW64_64KEY;
    case RegistryView::engine: break;
    }
    return 0;
}

bool write_value(HKEY key, const RegistryValue& value)
{
    std::wstring name = win32::to_wide(value.name);
    const wchar_t* name_or_default = value.name.empty() ? nullptr : name.c_str();
    if (value.number) {
        DWORD number = *value.number;
        return RegSetValueExW(key, name_or_default, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                              sizeof number) == ERROR_SUCCESS;
    }
    std::wstring text = win32::to_wide(value.text);
    return RegSetValueExW(key, name_or_default, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace

bool WriteRegistryKeys(RegistryRoot root, const std::vector<RegistryKeyValues>& keys)
{
    bool all = true;
    for (const RegistryKeyValues& entry : keys) {
        win32::UniqueHkey key;
        if (RegCreateKeyExW(root_key(root), win32::to_wide(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE | view_flag(entry.view), nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
            all = false;
            continue;
        }
        for (const RegistryValue& value : entry.values)
            all = write_value(key.get(), value) && all;
    }
    return all;
}

void DeleteRegistryKeysEverywhere(const std::vector<RegistryKey>& keys)
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const RegistryKey& entry : keys) {
            std::wstring name = win32::to_wide(entry.key);
            REGSAM view = view_flag(entry.view);
            {
                // Emptied first: a key with subkeys cannot be deleted, and RegDeleteTree knows no view.
                win32::UniqueHkey key;
                if (RegOpenKeyExW(root, name.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS)
                    continue;
                RegDeleteTreeW(key.get(), nullptr);
            }
            RegDeleteKeyExW(root, name.c_str(), view, 0);
        }
}

std::optional<std::string> RegistryText(RegistryRoot root, const std::string& key_name, const std::string& name)
{
    win32::UniqueHkey key;
    if (RegOpenKeyExW(root_key(root), win32::to_wide(key_name).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value_name = win32::to_wide(name);
    const wchar_t* name_or_default = name.empty() ? nullptr : value_name.c_str();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name_or_default, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), name_or_default, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return win32::to_ansi(value);
}

std::optional<std::string> IdentCacheFolder(const std::string& product_code)
{
    std::string key = std::string(cache_text::ident_cache_key) + product_code;
    if (std::optional<std::string> folder = RegistryText(RegistryRoot::local_machine, key, ""))
        return folder;
    return RegistryText(RegistryRoot::current_user, key, "");
}

} // namespace quillon
