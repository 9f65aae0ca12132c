#include "engine/cache_override.h"

#include "base/paths.h"
#include "platform/win32/wide.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <windows.h>

#include <vector>

namespace quillon {

namespace {

bool exists(const std::string& path)
{
    return GetFileAttributesW(win32::to_wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

bool CacheOverride::apply(TVariableManager& vars)
{
    std::string value = GetVar(vars, var::override_cache);
    if (value.empty() || value == m_applied)
        return false;
    std::string folder = with_backslash(value);

    // The folders that are missing, innermost first; a drive ("C:") and a root count as there.
    std::vector<std::string> missing;
    for (std::string path = without_backslash(folder); path.size() > 2 && parent_folder(path) != path && !exists(path);
         path = parent_folder(path))
        missing.push_back(path);
    std::vector<std::string> created;
    bool made = true;
    for (auto path = missing.rbegin(); path != missing.rend() && made; ++path) {
        made = CreateDirectoryW(win32::to_wide(*path).c_str(), nullptr) != 0;
        if (made)
            created.push_back(*path);
    }
    // Only the test needed them: the cache makes its folder when it is written.
    for (auto path = created.rbegin(); path != created.rend(); ++path)
        RemoveDirectoryW(win32::to_wide(*path).c_str());

    if (!made) {
        // Written past the silent run's lock on command-line values: a root
        // that cannot be made must not stay in force.
        vars.SetValue(var::override_cache, "");
        m_applied.clear();
        return false;
    }
    SetVar(vars, var::override_cache, folder, origin::inject_override_command_line);
    m_applied = folder;
    return true;
}

} // namespace quillon
