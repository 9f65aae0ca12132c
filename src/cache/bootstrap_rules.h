// The decisions of the bootstrap that need no system: whether a run maintains
// the installed product, upgrades it or installs it first, where a first
// installation goes, and which file of an older build's cache holds its data.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// What Windows Installer said about the product code: its state (5 is
// installed) and the installed package code; nothing where a call failed.
struct InstalledProduct {
    std::optional<int> state;
    std::optional<std::string> package_code;
};

struct InstalledDecision {
    bool needs_upgrade = false; // installed from another build (another package code)
    bool maintenance = false;   // installed from this build
    bool import_old_data = false;
};

// load_old_data is the build constant LOADOLDDATA.
InstalledDecision DecideInstalled(const InstalledProduct& product, std::string_view revision_code,
                                  std::string_view load_old_data);

// A setup started from its package rather than from the cache while the product is installed.
bool IsNewInstance(bool instance_file_beside_engine, const InstalledDecision& decision);

// Program Files for an administrator, else the folder above the user's
// documents (where a user without rights can write), then the title.
std::string DefaultTargetFolder(bool administrator, std::string_view program_files, std::string_view documents_folder,
                                std::string_view title);

struct OldDataFiles {
    std::string data_file;      // the ".dat" name
    std::string shortcuts_file; // its ".lnk" name when that exists, else empty
};

// The maintenance data in an older build's cache folder, given the names of
// its files: the one ".dat" other than "instance.dat", or with several, the
// first whose base name also has ".exe", ".res", ".msi" and ".par" files.
std::optional<OldDataFiles> FindOldDataFile(const std::vector<std::string>& file_names);

} // namespace quillon
