// The engine's side of the archive library "qvo.lib": listing and extracting
// whole archives through its exported functions.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The listing failure of an archive that is damaged or needs another password.
inline constexpr std::string_view archive_cannot_open_text =
    "The archive cannot be opened: unsupported archive or incorrect password";

class ArchiveLibrary {
public:
    // Loads the library; without it nothing can be listed or extracted.
    static Result<ArchiveLibrary> load(const std::string& library_path);

    ArchiveLibrary(ArchiveLibrary&&) noexcept;
    ArchiveLibrary& operator=(ArchiveLibrary&&) noexcept;
    ~ArchiveLibrary();

    // Every member path in archive order; the error message is the failure text for the user.
    Result<std::vector<std::string>> ListArchiveNames(const std::string& archive, const std::string& password);

    using Progress = std::function<bool(const std::string& member, std::int64_t position, std::int64_t total)>;

    // Lists, then extracts every member. overwrite: replace existing files;
    // keep_paths: members keep their folders (else everything lands in target).
    // A failed extraction's message is "#" and the library's code.
    Result<void> ExtractWholeArchive(const std::string& archive, const std::string& password,
                                     const std::string& target_folder, const Progress& progress, bool overwrite,
                                     bool keep_paths);

private:
    struct Functions;
    explicit ArchiveLibrary(std::unique_ptr<Functions> functions) noexcept;
    std::unique_ptr<Functions> m_functions;
};

// Extracts the resource archive completely into the support folder.
Result<void> ExtractResources(ArchiveLibrary& library, const std::string& archive, const std::string& support_folder);

} // namespace quillon
