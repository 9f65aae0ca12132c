// The support folder: the run's private scratch folder in the temp folder.
#pragma once

#include "base/error.h"

#include <filesystem>
#include <string>

namespace quillon {

// temp folder + "qvo" + the smallest n >= 1 whose folder does not exist yet + "\".
// The folder is created with any missing parents.
Result<std::string> CreateSupportFolder(const std::string& temp_folder);

// Empties the folder three times (files in use survive a pass) and removes it.
// Returns false when something could not be removed.
bool RemoveSupportFolder(const std::string& folder);

// Copies base + ".msi" and base + ".msp" from the engine folder into the support
// folder, overwriting, with normal attributes; a missing one is skipped.
void CopyDatabaseFiles(const std::string& engine_folder, const std::string& base_name,
                       const std::string& support_folder);

// The ANSI path as a std::filesystem path (UTF-16 on Windows).
std::filesystem::path fs_path(const std::string& ansi_path);

// Whether the ANSI path names an existing file (not a folder).
bool file_exists(const std::string& ansi_path);

} // namespace quillon
