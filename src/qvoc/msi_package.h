// The installer package that travels beside a built setup: a minimal valid
// Windows Installer database with the product's Property table and summary
// information. The portable build runs msitools, the Windows build msi.dll;
// both behind this one function.
#pragma once

#include "base/error.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quillon::qvoc {

struct MsiPackageInfo {
    std::string product_code; // GUID, upper case
    std::string product_name;
    std::string product_version;
    std::string manufacturer;
    std::string product_language = "1033";
    std::string package_code; // GUID, upper case: the summary's revision number
    std::string platform;     // "x64" or "x86"
    int code_page = 1252;     // of the 8-bit texts above
};

// The summary template: "x64;1033", or ";1033" for a 32-bit package.
std::string package_template(const MsiPackageInfo& info);

// The Property rows in the order they are written; a property with an empty
// value (a setup without publisher) has no row.
std::vector<std::pair<std::string, std::string>> package_properties(const MsiPackageInfo& info);

// The tables that make the package installable besides its properties, as
// text archive (.idt) files: TARGETDIR, one feature that every installation
// selects, and the standard install and advertise sequences, which register
// the product with Windows Installer (its state, its package code, the
// removal). Plain ASCII, so that they import in any code page.
struct PackageTable {
    std::string file_name; // "Feature.idt"
    std::string text;
};
std::vector<PackageTable> package_tables();

// Creates the package at path, replacing any file there. work_folder is an
// empty folder the function may use for intermediate files.
Result<void> create_msi_package(const std::filesystem::path& path, const MsiPackageInfo& info,
                                const std::filesystem::path& work_folder);

// Summary information values every package gets.
inline constexpr int package_page_count = 200; // needs Windows Installer 2.0
inline constexpr int package_word_count = 2;   // compressed sources

} // namespace quillon::qvoc
