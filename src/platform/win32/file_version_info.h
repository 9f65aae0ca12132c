// A file's version resource through version.dll, which is not a KnownDLL: it is
// loaded from the system folder at run time, never imported.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quillon::win32 {

// The fixed file version, four 16-bit parts, most significant first.
std::optional<std::array<std::uint16_t, 4>> file_version(const std::string& path);

// The language of the first entry of "\VarFileInfo\Translation".
std::optional<std::uint16_t> file_language(const std::string& path);

} // namespace quillon::win32
