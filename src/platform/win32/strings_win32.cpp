// Case rules of the Windows build: the system's own comparison and case mapping
// for the ANSI code page.
#include "base/strings.h"
#include "platform/win32/windows_version.h"

#include <windows.h>

#include <limits>

namespace quillon {

namespace {

// The invariant locale, or U.S. English before Windows XP, chosen once.
LCID name_compare_locale()
{
    static const LCID lcid = static_cast<LCID>(win32::windows_version_at_least(5, 1) ? 0x007F : 0x0409);
    return lcid;
}

std::string map_case(std::string_view text, bool upper)
{
    std::string out(text);
    // CharUpperBuffA takes a DWORD count; texts longer than that are not names.
    std::size_t done = 0;
    while (done < out.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(out.size() - done, 1u << 30));
        if (upper)
            CharUpperBuffA(out.data() + done, chunk);
        else
            CharLowerBuffA(out.data() + done, chunk);
        done += chunk;
    }
    return out;
}

bool plain_name(std::string_view text) noexcept
{
    for (char c : text) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!plain)
            return false;
    }
    return true;
}

} // namespace

bool equal_nocase(std::string_view a, std::string_view b)
{
    if (a.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        b.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    // Identical bytes compare equal under any locale; most lookups use the stored spelling.
    if (a == b)
        return true;
    if (a.empty() || b.empty())
        return false;
    // Letters, digits and "_" have no ignorable or locale-folded forms, so plain
    // ASCII folding gives the system's answer without the call's cost.
    if (plain_name(a) && plain_name(b))
        return equal_ascii_nocase(a, b);
    int outcome = CompareStringA(name_compare_locale(), NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                                 static_cast<int>(b.size()));
    return outcome == CSTR_EQUAL;
}

std::string ansi_upper(std::string_view text)
{
    return map_case(text, true);
}

std::string ansi_lower(std::string_view text)
{
    return map_case(text, false);
}

std::string utf16_to_ansi(std::u16string_view text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return utf16_to_latin1(text);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace quillon
