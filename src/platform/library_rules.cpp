#include "platform/library_rules.h"

#include "base/strings.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

using namespace std::string_view_literals;

constexpr std::array known = {
    "advapi32.dll"sv, "clbcatq.dll"sv,  "combase.dll"sv,  "comdlg32.dll"sv, "coml2.dll"sv,    "difxapi.dll"sv,
    "gdi32.dll"sv,    "gdiplus.dll"sv,  "imagehlp.dll"sv, "imm32.dll"sv,    "kernel32.dll"sv, "msctf.dll"sv,
    "msvcrt.dll"sv,   "normaliz.dll"sv, "nsi.dll"sv,      "ntdll.dll"sv,    "ole32.dll"sv,    "oleaut32.dll"sv,
    "psapi.dll"sv,    "rpcrt4.dll"sv,   "sechost.dll"sv,  "setupapi.dll"sv, "shcore.dll"sv,   "shell32.dll"sv,
    "shlwapi.dll"sv,  "user32.dll"sv,   "wldap32.dll"sv,  "ws2_32.dll"sv,
};

constexpr std::string_view api_set_prefix = "api-ms-win-";

template <typename Char>
bool is_separator(Char c)
{
    return c == Char('\\') || c == Char('/');
}

template <typename Char>
bool is_drive_letter(Char c)
{
    return (c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z'));
}

template <typename Char>
bool full_path(std::basic_string_view<Char> path)
{
    if (path.size() >= 3 && is_drive_letter(path[0]) && path[1] == Char(':') && is_separator(path[2]))
        return true;
    // "\\server\share\..." and the device forms "\\?\..." and "\\.\..." need a name after the two separators.
    return path.size() >= 3 && is_separator(path[0]) && is_separator(path[1]) && !is_separator(path[2]);
}

} // namespace

std::span<const std::string_view> known_dlls() noexcept
{
    return known;
}

bool is_known_dll(std::string_view file_name) noexcept
{
    if (file_name.size() > api_set_prefix.size() &&
        equal_ascii_nocase(file_name.substr(0, api_set_prefix.size()), api_set_prefix))
        return true;
    return std::any_of(known.begin(), known.end(),
                       [&](std::string_view name) { return equal_ascii_nocase(name, file_name); });
}

bool is_full_path(std::string_view path) noexcept
{
    return full_path(path);
}

bool is_full_path(std::wstring_view path) noexcept
{
    return full_path(path);
}

} // namespace quillon
