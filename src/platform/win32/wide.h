// The one conversion pair between the engine's ANSI strings and UTF-16, used at Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace quillon::win32 {

std::wstring to_wide(std::string_view ansi);
std::string to_ansi(std::wstring_view wide);

} // namespace quillon::win32
