// qvoc build: compiles a project and writes the setup folder.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <filesystem>
#include <optional>

namespace quillon::qvoc {

struct BuildOptions {
    std::filesystem::path project;
    std::filesystem::path output_folder;
    std::optional<std::filesystem::path> engine; // the engine stub; searched for when empty
    std::filesystem::path program_folder;        // the folder of the running qvoc, for that search
};

struct BuildReport {
    std::filesystem::path setup; // OUTDIR/B.exe
    std::filesystem::path engine;
    std::size_t command_count = 0;
    bool archive_library = false; // qvo.lib was found beside the engine and copied
};

// Writes B.exe (the engine stub with the script appended), B.res, B.msi,
// qvo.lib when the engine has one beside it, and data\ with the media
// folders. Everything is produced in a folder next to OUTDIR first and moved
// in only when all of it succeeded, so a failing build leaves OUTDIR as it
// was. Existing files of the same names in OUTDIR are replaced, and so is
// OUTDIR\data as a whole.
Result<BuildReport> build_setup(const BuildOptions& options);

// engine.exe beside qvoc, else dist/win64/engine.exe in qvoc's folder or a
// folder above it.
Result<std::filesystem::path> find_engine_stub(const std::filesystem::path& program_folder);

// The folder of the running executable.
Result<std::filesystem::path> executable_folder();

} // namespace quillon::qvoc
