// The way back from a built setup to a project: reads the script appended
// to a setup executable and writes it in the project form, with explicit
// identifiers, media headers and source positions only where the compiler
// would not produce the same ones by itself.
#pragma once

#include "base/error.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon::qvoc {

// The bytes appended to a PE executable (everything behind its last
// section). An executable without appended data is ErrorCode::not_found.
Result<std::string> read_appended_script(const std::filesystem::path& executable);

struct DumpOptions {
    std::string output_name; // written as the project's output name when not empty
    // Without it, a script that the project form cannot reproduce byte for
    // byte is refused (ErrorCode::unsupported) instead of dumped.
    bool allow_inexact = false;
};

struct DumpResult {
    std::string project;
    std::string inexact_reason; // empty when building the project gives the same script bytes
};

// Every dump is checked by compiling it again and comparing the bytes.
Result<DumpResult> dump_script(std::string_view script_bytes, const DumpOptions& options);

} // namespace quillon::qvoc
