#include "engine/engine_cache.h"

#include "base/paths.h"
#include "base/strings.h"
#include "cache/cache_registration.h"
#include "cache/cache_texts.h"
#include "engine/cache_registry.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "script/ScriptImage.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>

namespace quillon {

namespace {

// The root an earlier installation recorded: the recorded folder's parent,
// when the recorded folder is named by this build's revision code.
std::optional<std::string> recorded_root(const std::string& product_code, const std::string& revision_code)
{
    std::optional<std::string> recorded = IdentCacheFolder(product_code);
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

void CacheVariables::refresh(TVariableManager& vars)
{
    bool all_users = text_is_true(GetVar(vars, var::all_users));
    if (m_media_mode == installed_media_mode) {
        std::string key = std::string(cache_text::uninstall_key) + GetVar(vars, var::title);
        std::string command =
            RegistryText(all_users ? RegistryRoot::local_machine : RegistryRoot::current_user, key, "UninstallString")
                .value_or(std::string());
        std::string engine = EnginePathFromUninstallString(command);
        DefineVar(vars, var::uninstall_link, engine, origin::initialization);
        DefineVar(vars, var::engine_cache, folder_part(engine), origin::initialization);
        return;
    }
    std::string revision = GetVar(vars, var::revision_code);
    auto wanted =
        std::make_tuple(all_users, GetVar(vars, var::override_cache), GetVar(vars, var::product_code), revision);
    if (wanted != m_root_for || m_root.empty()) {
        m_root = CacheRoot(all_users, std::get<1>(wanted), std::get<2>(wanted), revision);
        m_root_for = std::move(wanted);
    }
    std::string folder = m_root + revision + "\\";
    DefineVar(vars, var::engine_cache, folder, origin::initialization);
    DefineVar(vars, var::uninstall_link, folder + m_engine_file, origin::initialization);
}

} // namespace quillon
