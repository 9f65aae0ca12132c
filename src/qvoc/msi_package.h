// The installer package that travels beside a built setup: the product's
// Property table and summary information, what registers the product, and
// the installer rows of the script's recorded commands. The portable build
// runs msitools, the Windows build msi.dll; both behind this one function.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::qvoc {

// A table of the package as a text archive (.idt) describes it: the column
// names, their types and the primary keys, tab-separated, and the rows, each
// field an 8-bit text in the package's code page (empty for a null).
struct PackageTable {
    std::string name; // "Feature"
    std::string columns;
    std::string types;
    std::string keys;
    std::vector<std::vector<std::string>> rows;
};

// The table's text archive, CR LF lines, texts as they are.
std::string idt_text(const PackageTable& table);

// The installer rows of the script's recorded commands (package_rows.h makes
// them), each vector one table's rows in that table's column order.
struct PackageRows {
    std::vector<std::vector<std::string>> directories; // below TARGETDIR
    std::vector<std::vector<std::string>> components;
    std::vector<std::vector<std::string>> feature_components;
    std::vector<std::vector<std::string>> files;
    std::vector<std::vector<std::string>> create_folders;
    std::vector<std::vector<std::string>> registry;
    std::vector<std::vector<std::string>> shortcuts;
    // Features below the one every installation selects, and the Condition
    // rows that switch them off.
    std::vector<std::vector<std::string>> features;
    std::vector<std::vector<std::string>> conditions;
    std::vector<std::vector<std::string>> prog_ids;
    std::vector<std::vector<std::string>> extensions;
    std::vector<std::vector<std::string>> verbs;
    std::vector<std::vector<std::string>> odbc_drivers;
    std::vector<std::vector<std::string>> odbc_data_sources;
    std::vector<std::vector<std::string>> environment;
    std::vector<std::vector<std::string>> ini_files;
    std::vector<std::vector<std::string>> move_files;
    std::vector<std::vector<std::string>> remove_files;
    std::vector<std::vector<std::string>> service_installs;
    std::vector<std::vector<std::string>> service_controls;
    // Properties whose values the installer's log must not show (passwords).
    std::vector<std::string> hidden_properties;
    std::size_t last_file_sequence = 0;

    bool empty() const { return components.empty(); }
};

struct MsiPackageInfo {
    std::string product_code; // GUID, upper case
    std::string product_name;
    std::string product_version;
    std::string manufacturer;
    std::string product_language = "1033";
    std::string package_code; // GUID, upper case: the summary's revision number
    std::string platform;     // "x64" or "x86"
    int code_page = 1252;     // of the 8-bit texts above
    PackageRows rows;
    // The hand-over action's library, copied into the Binary table; needed
    // when there are rows.
    std::filesystem::path handover_library;
};

// The summary template: "x64;1033", or ";1033" for a 32-bit package.
std::string package_template(const MsiPackageInfo& info);

// The Property rows in the order they are written; a property with an empty
// value (a setup without publisher) has no row.
std::vector<std::pair<std::string, std::string>> package_properties(const MsiPackageInfo& info);

// The package's own custom action: the library in the Binary table, the
// function it exports, and the action that runs it.
inline constexpr std::string_view handover_library_name = "quillon_handover.dll";
inline constexpr std::string_view handover_binary_key = "QuillonHandOver";
inline constexpr std::string_view handover_function = "ReadHandOver";
inline constexpr std::string_view handover_action = "QuillonHandOver";
// Before anything reads a property: AppSearch, LaunchConditions, costing.
inline constexpr int handover_sequence = 10;
// The Binary row's data file, in the work folder's "Binary" subfolder.
inline constexpr std::string_view handover_binary_file = "QuillonHandOver.ibd";

// Every table besides Property: TARGETDIR and the rows' folders, one
// feature that every installation selects, the components, files, folders
// and registry values of the recorded commands, and the standard install and
// advertise sequences, which register the product with Windows Installer (its
// state, its package code, the removal) and carry out the rows. When the
// rows are not empty the hand-over action comes first in the install
// sequence and its library is the Binary row.
std::vector<PackageTable> package_tables(const PackageRows& rows = {});

// A field with a tab or line break would split its row of the text archive:
// such a table is refused, naming the text.
Result<void> check_idt_fields(const PackageTable& table);

// Copies the hand-over action's library to the Binary row's data file below
// work_folder, when the package has rows; refuses rows without the library.
Result<void> stage_binary_data(const MsiPackageInfo& info, const std::filesystem::path& work_folder);

// Creates the package at path, replacing any file there. work_folder is an
// empty folder the function may use for intermediate files.
Result<void> create_msi_package(const std::filesystem::path& path, const MsiPackageInfo& info,
                                const std::filesystem::path& work_folder);

// Summary information values every package gets.
inline constexpr int package_page_count = 200; // needs Windows Installer 2.0
// Compressed sources; the engine sets 8 (plain files, long names) before
// every run, and the files are marked uncompressed themselves as well.
inline constexpr int package_word_count = 2;

} // namespace quillon::qvoc
