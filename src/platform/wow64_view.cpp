#include "platform/wow64_view.h"

#include "base/paths.h"
#include "base/strings.h"

#include <array>
#include <optional>

namespace quillon {

namespace {

using namespace std::string_view_literals;

// Subfolders of the system folder that the redirector leaves in the 64-bit one.
constexpr std::array redirection_exempt = {
    "catroot"sv, "catroot2"sv, "driverstore"sv, "drivers\\etc"sv, "logfiles"sv, "spool"sv,
};

// The rest of path after folder (starting with its backslash, or empty), when
// path is the folder itself or lies under it.
std::optional<std::string_view> rest_under(std::string_view path, std::string_view folder)
{
    if (folder.empty() || path.size() < folder.size() || !equal_nocase(path.substr(0, folder.size()), folder))
        return std::nullopt;
    std::string_view rest = path.substr(folder.size());
    if (!rest.empty() && rest.front() != '\\')
        return std::nullopt;
    return rest;
}

bool exempt(std::string_view rest)
{
    if (rest.empty())
        return false;
    rest.remove_prefix(1);
    for (std::string_view folder : redirection_exempt)
        if (rest_under(rest, folder))
            return true;
    return false;
}

} // namespace

PlatformView view_for_mode(std::string_view platform_mode) noexcept
{
    return platform_mode == platform_mode_win32 ? PlatformView::wow64_32 : PlatformView::native;
}

std::string map_to_view(std::string_view path, PlatformView view, const SystemFolders& folders)
{
    if (view == PlatformView::native || folders.system_32.empty() || folders.windows.empty())
        return std::string(path);
    std::string windows = without_backslash(folders.windows);
    std::string system = without_backslash(folders.system);
    std::string system_32 = without_backslash(folders.system_32);
    if (auto rest = rest_under(path, system)) {
        if (exempt(*rest))
            return std::string(path);
        return system_32 + std::string(*rest);
    }
    if (auto rest = rest_under(path, windows + "\\Sysnative"))
        return system + std::string(*rest);
    if (auto rest = rest_under(path, windows + "\\lastgood\\system32"))
        return windows + "\\lastgood\\" + file_name_part(system_32) + std::string(*rest);
    if (equal_nocase(path, windows + "\\regedit.exe"))
        return system_32 + "\\regedit.exe";
    return std::string(path);
}

} // namespace quillon
