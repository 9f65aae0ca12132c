// Data appended behind the sections of a loaded module's file (the script behind
// the engine, the message file behind the archive library).
#pragma once

#include "base/error.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace quillon::win32 {

// The size of the module's file without appended data, from the headers the loader mapped.
Result<std::uint64_t> module_stub_size(HMODULE module);

// The module's file path (ANSI).
std::string module_file_path(HMODULE module);

} // namespace quillon::win32
