// The registry entries that lead to an installed product's engine cache: the
// uninstall entry under the title (what Apps & features lists and runs), the
// one under the product code, and the identification key that later builds
// find the cache by. Decided here; the engine writes them as given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

struct RegistryValue {
    std::string name; // empty for the key's default value
    std::string text;
    std::optional<std::uint32_t> number; // a DWORD value; text is unused then
    bool operator==(const RegistryValue&) const = default;
};

// Which registry view a key is in. Windows Installer keeps a product's own
// uninstall entry in the view of the package's platform (a 32-bit package's in
// the 32-bit view of 64-bit Windows); the engine's own keys are in its view.
enum class RegistryView : std::uint8_t { engine, package_32bit, package_64bit };

struct RegistryKey {
    std::string key; // below the root
    RegistryView view = RegistryView::engine;
    bool operator==(const RegistryKey&) const = default;
};

struct RegistryKeyValues {
    std::string key; // below the root
    RegistryView view = RegistryView::engine;
    std::vector<RegistryValue> values;
};

struct RegistrationFacts {
    std::string cache_root;   // with a trailing "\"
    std::string cache_folder; // with a trailing "\"
    std::string engine_file;  // the engine's file name
    std::string base_name;    // the package's base name
    std::string product_code;
    std::string revision_code;
    std::string title;
    std::string publisher;
    std::string contact;
    std::string help_link;
    std::string update_link;
    std::string comments;
    std::string version;
    std::string install_location; // TARGETDIR in its normalized form
    bool package_64bit = false;   // the package is run for the 64-bit platform
};

// The first two dot-separated numbers of a version text; 0 for one that is missing.
std::pair<std::uint32_t, std::uint32_t> VersionNumbers(std::string_view version);

// What Apps & features runs: the cached engine in quotes (a path with blanks
// must not be split by the loader), with or without the removal assignments.
std::string CachedEngineCommand(const RegistrationFacts& facts);
std::string UninstallCommand(const RegistrationFacts& facts);

// The three keys with their values, in writing order. The entry under the
// product code is Windows Installer's own, in the package's view, whose
// uninstall command now starts the cached engine.
std::vector<RegistryKeyValues> RegistrationKeys(const RegistrationFacts& facts);
// The keys a removal deletes, under both roots: the uninstall entry under the
// title, the identification key of the product code, and the entry under the
// product code in both package views, which Windows Installer has already
// removed unless the engine's value landed beside it.
std::vector<RegistryKey> RegistrationKeysRemoved(std::string_view title, std::string_view product_code);

// The engine's path in an "UninstallString": the text after its first double
// quote up to the next one (the text as it is when it has none).
std::string EnginePathFromUninstallString(std::string_view command);

} // namespace quillon
