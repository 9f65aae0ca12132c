#include "media/sevenzip/member_path.h"

#include "media/sevenzip/sevenzip.h"

#include <algorithm>

namespace quillon::sevenzip {

namespace {

char16_t ascii_upper(char16_t c) noexcept
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
}

// Windows opens these devices whatever the folder and extension ("nul.txt" too).
bool is_device_name(std::u16string_view component) noexcept
{
    std::u16string_view stem = component.substr(0, component.find(u'.'));
    while (!stem.empty() && stem.back() == u' ')
        stem.remove_suffix(1);
    std::u16string upper;
    for (char16_t c : stem)
        upper.push_back(ascii_upper(c));
    if (upper == u"CON" || upper == u"PRN" || upper == u"AUX" || upper == u"NUL" || upper == u"CONIN$" ||
        upper == u"CONOUT$")
        return true;
    if (upper.size() == 4 && (upper.starts_with(u"COM") || upper.starts_with(u"LPT")))
        return upper[3] >= u'0' && upper[3] <= u'9';
    return false;
}

std::unexpected<Error> unsafe(std::u16string_view name, const char* why)
{
    return make_error(ErrorCode::corrupt, "7z archive: the member \"" + utf16_to_utf8(name) + "\" " + why);
}

} // namespace

Result<std::vector<std::u16string>> member_components(std::u16string_view name)
{
    if (!name.empty() && (name[0] == u'/' || name[0] == u'\\'))
        return unsafe(name, "has an absolute path");
    std::vector<std::u16string> components;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of(u"/\\", start);
        if (end == std::u16string_view::npos)
            end = name.size();
        std::u16string_view component = name.substr(start, end - start);
        start = end + 1;
        if (component.empty() || component == u".")
            continue;
        if (component.find(u':') != std::u16string_view::npos)
            return unsafe(name, "names a drive or a stream");
        if (component == u"..") {
            if (components.empty())
                return unsafe(name, "leads outside the target folder");
            components.pop_back();
            continue;
        }
        // Windows drops trailing dots and spaces, so ". ." would become "..".
        if (std::all_of(component.begin(), component.end(), [](char16_t c) { return c == u'.' || c == u' '; }))
            return unsafe(name, "has a component of only dots and spaces");
        if (is_device_name(component))
            return unsafe(name, "names a device");
        components.emplace_back(component);
    }
    if (components.empty())
        return unsafe(name, "names no file");
    return components;
}

} // namespace quillon::sevenzip
