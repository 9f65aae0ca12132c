#include "engine/engine_cache.h"

#include "base/paths.h"
#include "base/strings.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>

namespace quillon {

namespace {

constexpr wchar_t ident_cache_key[] = L"SOFTWARE\\Corvanta\\Quillon\\Ident.Cache\\";

std::optional<std::string> default_value(HKEY root, const std::wstring& key)
{
    win32::UniqueHkey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t value[MAX_PATH * 2] = L"";
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(opened.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    value[size / sizeof(wchar_t)] = L'\0';
    return win32::to_ansi(value);
}

// The root an earlier installation recorded: the recorded folder's parent,
// when the recorded folder is named by this build's revision code.
std::optional<std::string> recorded_root(const std::string& product_code, const std::string& revision_code)
{
    std::wstring key = ident_cache_key + win32::to_wide(product_code);
    std::optional<std::string> recorded = default_value(HKEY_LOCAL_MACHINE, key);
    if (!recorded)
        recorded = default_value(HKEY_CURRENT_USER, key);
    if (!recorded || recorded->empty())
        return std::nullopt;
    std::string folder = without_backslash(*recorded);
    if (!equal_nocase(file_name_part(folder), revision_code))
        return std::nullopt;
    return with_backslash(parent_folder(folder));
}

std::optional<std::string> shell_folder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK || path[0] == L'\0')
        return std::nullopt;
    return with_backslash(win32::to_ansi(path));
}

} // namespace

std::string CacheRoot(bool all_users, const std::string& override_cache, const std::string& product_code,
                      const std::string& revision_code)
{
    if (!override_cache.empty())
        return with_backslash(override_cache);
    if (std::optional<std::string> root = recorded_root(product_code, revision_code))
        return *root;
    std::optional<std::string> folder =
        all_users ? shell_folder(CSIDL_COMMON_APPDATA) : shell_folder(CSIDL_LOCAL_APPDATA);
    if (!folder && !all_users)
        folder = shell_folder(CSIDL_APPDATA);
    if (folder)
        return *folder;
    std::optional<std::string> desktop = shell_folder(CSIDL_DESKTOPDIRECTORY);
    return desktop ? with_backslash(parent_folder(*desktop)) + "Application Data\\" : std::string();
}

} // namespace quillon
