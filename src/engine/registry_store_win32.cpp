#include "engine/registry_store_win32.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/wow64_view_win32.h"

#include <windows.h>

#include <vector>

namespace quillon {

namespace {

using win32::to_wide;

HKEY root_of(RegistryHive hive)
{
    switch (hive) {
    case RegistryHive::classes_root: return HKEY_CLASSES_ROOT;
    case RegistryHive::current_user: return HKEY_CURRENT_USER;
    case RegistryHive::local_machine: return HKEY_LOCAL_MACHINE;
    case RegistryHive::users: return HKEY_USERS;
    case RegistryHive::current_config: return HKEY_CURRENT_CONFIG;
    }
    return HKEY_CURRENT_USER;
}

bool is_string_type(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

} // namespace

RegistryRead WindowsRegistryStore::read_value(RegistryHive hive, const std::string& key, const std::string& name,
                                              PlatformView view)
{
    win32::UniqueHkey opened;
    if (RegOpenKeyExW(root_of(hive), to_wide(key).c_str(), 0, KEY_READ | win32::registry_view_flag(view),
                      opened.put()) != ERROR_SUCCESS)
        return {RegistryLookup::no_key, 0, {}};
    std::wstring wide_name = to_wide(name);
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return {RegistryLookup::no_value, 0, {}};
    std::vector<BYTE> data;
    // The value may grow between the two questions: ask again with its new size.
    for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
        if (attempt == 4)
            return {RegistryLookup::failed, 0, {}};
        data.resize(size);
        status = RegQueryValueExW(opened.get(), wide_name.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            break;
        }
    }
    if (status != ERROR_SUCCESS)
        return {RegistryLookup::failed, 0, {}};
    if (is_string_type(type)) {
        std::wstring_view text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        return {RegistryLookup::found, type, win32::to_ansi(text)};
    }
    return {RegistryLookup::found, type, std::string(data.begin(), data.end())};
}

void WindowsRegistryStore::delete_tree(RegistryHive hive, const std::string& key, PlatformView view)
{
    REGSAM flag = win32::registry_view_flag(view);
    std::wstring wide_key = to_wide(key);
    {
        win32::UniqueHkey opened;
        if (RegOpenKeyExW(root_of(hive), wide_key.c_str(), 0,
                          DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | flag,
                          opened.put()) != ERROR_SUCCESS)
            return;
        // The subkeys (deepest first) and the values; then the key itself.
        RegDeleteTreeW(opened.get(), nullptr);
    }
    RegDeleteKeyExW(root_of(hive), wide_key.c_str(), flag, 0);
}

void WindowsRegistryStore::delete_leaf_key(RegistryHive hive, const std::string& parent, const std::string& name)
{
    win32::UniqueHkey opened;
    if (RegOpenKeyExW(root_of(hive), to_wide(parent).c_str(), 0, KEY_WRITE | KEY_WOW64_64KEY, opened.put()) !=
        ERROR_SUCCESS)
        return;
    RegDeleteKeyExW(opened.get(), to_wide(name).c_str(), KEY_WOW64_64KEY, 0);
}

void WindowsRegistryStore::delete_value(RegistryHive hive, const std::string& key, const std::string& name,
                                        PlatformView view)
{
    win32::UniqueHkey opened;
    if (RegOpenKeyExW(root_of(hive), to_wide(key).c_str(), 0, KEY_SET_VALUE | win32::registry_view_flag(view),
                      opened.put()) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(opened.get(), to_wide(name).c_str());
}

} // namespace quillon
