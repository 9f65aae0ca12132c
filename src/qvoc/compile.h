// Turns a parsed project into the script the engine reads, filling in what
// the author left out: identifiers, media headers, source positions and the
// defaults of the single values.
#pragma once

#include "base/error.h"
#include "qvoc/guid.h"
#include "qvoc/project.h"
#include "script/script_writer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::qvoc {

// What a build needs beyond the script.
// The archives are compressed unless the project says otherwise.
inline constexpr int default_compression = 5;

struct BuildSettings {
    std::string output_name;                // base name of B.exe, B.res, B.msi
    std::optional<std::string> resources;   // folder packed into B.res, relative to the project
    std::vector<std::string> media_folders; // copied under data\, relative to the project
    std::string platform;                   // "x64" or "x86"
    int compression = default_compression;  // 0 stored, 1 to 9 as 7-Zip's -mx
    std::string package_code;               // summary information of B.msi
};

struct CompiledProject {
    CompiledScript script;
    BuildSettings build;
};

// Every failure names the project line it comes from ("name:line: message").
Result<CompiledProject> compile_project(const Project& project);

bool is_recorded_command(std::string_view name);

// Identifiers for the commands that have no explicit one: a name-based GUID
// from the product code and the command's index, moved on to the next
// candidate when that GUID is already taken, so that adding an explicit
// identifier never makes two commands share one.
std::vector<std::string> assign_identifiers(const GuidBytes& product_code,
                                            const std::vector<std::optional<std::string>>& explicit_identifiers);

// Media headers: explicit ones as given (empty for none); recorded commands
// without one get eight hexadecimal digits derived like the identifiers,
// never repeating another header and never reading as a command index.
std::vector<std::string> assign_headers(const GuidBytes& product_code, const std::vector<std::string>& command_names,
                                        const std::vector<std::optional<std::string>>& explicit_headers);

// The candidates those functions try for command index, attempt 0 first.
std::string identifier_candidate(const GuidBytes& product_code, std::size_t index, std::size_t attempt);
std::string header_candidate(const GuidBytes& product_code, std::size_t index, std::size_t attempt);

std::string default_revision_code(const GuidBytes& product_code, std::string_view version);

} // namespace quillon::qvoc
