#include "platform/win32/wide.h"

#include <windows.h>

namespace quillon::win32 {

std::wstring to_wide(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    int count = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), count);
    return out;
}

std::string to_ansi(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    int count =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), count, nullptr, nullptr);
    return out;
}

} // namespace quillon::win32
