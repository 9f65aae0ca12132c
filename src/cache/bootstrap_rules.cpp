#include "cache/bootstrap_rules.h"

#include "base/paths.h"
#include "base/strings.h"
#include "cache/cache_texts.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr int installed_state = 5; // INSTALLSTATE_DEFAULT

bool ends_with_nocase(std::string_view name, std::string_view ending)
{
    return name.size() >= ending.size() && equal_nocase(name.substr(name.size() - ending.size()), ending);
}

// The listed name of a file, found without regard to case; empty when it is not listed.
std::string listed_name(const std::vector<std::string>& names, const std::string& wanted)
{
    auto found =
        std::find_if(names.begin(), names.end(), [&](const std::string& name) { return equal_nocase(name, wanted); });
    return found == names.end() ? std::string() : *found;
}

bool has_file(const std::vector<std::string>& names, const std::string& wanted)
{
    return !listed_name(names, wanted).empty();
}

} // namespace

InstalledDecision DecideInstalled(const InstalledProduct& product, std::string_view revision_code,
                                  std::string_view load_old_data)
{
    InstalledDecision decision;
    if (product.state != installed_state)
        return decision;
    // An installed product whose package code cannot be read counts as not installed, like any other error.
    if (!product.package_code)
        return decision;
    decision.needs_upgrade = !equal_nocase(*product.package_code, revision_code);
    decision.maintenance = !decision.needs_upgrade;
    decision.import_old_data = decision.needs_upgrade && load_old_data == "TRUE";
    return decision;
}

bool IsNewInstance(bool instance_file_beside_engine, const InstalledDecision& decision)
{
    return !instance_file_beside_engine && (decision.maintenance || decision.needs_upgrade);
}

std::string DefaultTargetFolder(bool administrator, std::string_view program_files, std::string_view documents_folder,
                                std::string_view title)
{
    std::string base = administrator ? with_backslash(program_files)
                                     : with_backslash(parent_folder(without_backslash(documents_folder)));
    return base + std::string(title) + "\\";
}

std::optional<OldDataFiles> FindOldDataFile(const std::vector<std::string>& file_names)
{
    std::vector<std::string> data_files;
    for (const std::string& name : file_names)
        if (ends_with_nocase(name, cache_text::data_extension) && !equal_nocase(name, cache_text::instance_file))
            data_files.push_back(name);
    auto with_shortcuts = [&](const std::string& data_file) {
        std::string base = without_extension(data_file);
        std::string shortcuts = base + std::string(cache_text::shortcuts_extension);
        return OldDataFiles{data_file, listed_name(file_names, shortcuts)};
    };
    if (data_files.size() == 1)
        return with_shortcuts(data_files.front());
    for (const std::string& data_file : data_files) {
        std::string base = without_extension(data_file);
        if (has_file(file_names, base + ".exe") && has_file(file_names, base + ".res") &&
            has_file(file_names, base + ".msi") && has_file(file_names, base + ".par"))
            return with_shortcuts(data_file);
    }
    return std::nullopt;
}

} // namespace quillon
