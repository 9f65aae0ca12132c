#include "qvoc/msi_package.h"

#include "qvoc/qvoc_texts.h"

#include <string_view>

namespace quillon::qvoc {

std::string package_template(const MsiPackageInfo& info)
{
    std::string platform = info.platform == texts::platform_x64 ? "x64" : "";
    return platform + ";" + info.product_language;
}

std::vector<std::pair<std::string, std::string>> package_properties(const MsiPackageInfo& info)
{
    std::vector<std::pair<std::string, std::string>> rows = {
        {"ProductCode", info.product_code},         {"ProductName", info.product_name},
        {"ProductVersion", info.product_version},   {"Manufacturer", info.manufacturer},
        {"ProductLanguage", info.product_language},
    };
    std::string hidden;
    for (const std::string& name : info.rows.hidden_properties)
        hidden += (hidden.empty() ? "" : ";") + name;
    rows.emplace_back("MsiHiddenProperties", hidden);
    // An empty text is a null in Windows Installer, and the Value column
    // takes no nulls: a property without a value is left out.
    std::erase_if(rows, [](const auto& row) { return row.second.empty(); });
    return rows;
}

std::string idt_text(const PackageTable& table)
{
    std::string text = table.columns + "\r\n" + table.types + "\r\n" + table.name + "\t" + table.keys + "\r\n";
    for (const std::vector<std::string>& row : table.rows) {
        for (std::size_t field = 0; field < row.size(); ++field) {
            if (field > 0)
                text += '\t';
            text += row[field];
        }
        text += "\r\n";
    }
    return text;
}

namespace {

using Rows = std::vector<std::vector<std::string>>;

PackageTable sequence_table(std::string name, Rows rows)
{
    return {std::move(name), "Action\tCondition\tSequence", "s72\tS255\tI2", "Action", std::move(rows)};
}

Rows install_sequence(const PackageRows& rows)
{
    Rows sequence;
    if (!rows.empty())
        sequence.push_back({std::string(handover_action), "", std::to_string(handover_sequence)});
    Rows standard = {{"CostInitialize", "", "800"},     {"FileCost", "", "900"},
                     {"CostFinalize", "", "1000"},      {"InstallValidate", "", "1400"},
                     {"InstallInitialize", "", "1500"}, {"ProcessComponents", "", "1600"},
                     {"UnpublishFeatures", "", "1800"}};
    sequence.insert(sequence.end(), standard.begin(), standard.end());
    if (!rows.empty()) {
        Rows carry_out = {{"RemoveRegistryValues", "", "2600"},
                          {"RemoveShortcuts", "", "3200"},
                          {"RemoveFiles", "", "3500"},
                          {"RemoveFolders", "", "3600"},
                          {"CreateFolders", "", "3700"},
                          {"InstallFiles", "", "4000"},
                          {"CreateShortcuts", "", "4500"},
                          {"WriteRegistryValues", "", "4700"},
                          {"RemoveEnvironmentStrings", "", "3300"},
                          {"WriteEnvironmentStrings", "", "5200"},
                          {"RemoveIniValues", "", "3100"},
                          {"WriteIniValues", "", "5100"},
                          {"MoveFiles", "", "3800"},
                          {"StopServices", "", "1900"},
                          {"DeleteServices", "", "2000"},
                          {"InstallServices", "", "5800"},
                          {"StartServices", "", "5900"},
                          {"UnregisterExtensionInfo", "", "2800"},
                          {"UnregisterProgIdInfo", "", "2900"},
                          {"RegisterExtensionInfo", "", "4800"},
                          {"RegisterProgIdInfo", "", "4850"},
                          {"RemoveODBC", "", "2400"},
                          {"InstallODBC", "", "5400"}};
        sequence.insert(sequence.end(), carry_out.begin(), carry_out.end());
    }
    Rows registration = {{"RegisterUser", "", "6000"},
                         {"RegisterProduct", "", "6100"},
                         {"PublishFeatures", "", "6300"},
                         {"PublishProduct", "", "6400"},
                         {"InstallFinalize", "", "6600"}};
    sequence.insert(sequence.end(), registration.begin(), registration.end());
    return sequence;
}

} // namespace

std::vector<PackageTable> package_tables(const PackageRows& rows)
{
    Rows directories = {{"TARGETDIR", "", "SourceDir"}};
    directories.insert(directories.end(), rows.directories.begin(), rows.directories.end());
    std::string feature(texts::product_feature);
    Rows features = {{feature, "", feature, "", "1", "1", "TARGETDIR", "0"}};
    features.insert(features.end(), rows.features.begin(), rows.features.end());
    std::vector<PackageTable> tables = {
        {"Directory", "Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255", "Directory", directories},
        {"Feature", "Feature\tFeature_Parent\tTitle\tDescription\tDisplay\tLevel\tDirectory_\tAttributes",
         "s38\tS38\tL64\tL255\tI2\ti2\tS72\ti2", "Feature", features},
        sequence_table("InstallExecuteSequence", install_sequence(rows)),
        sequence_table("AdvtExecuteSequence", {{"CostInitialize", "", "800"},
                                               {"CostFinalize", "", "1000"},
                                               {"InstallValidate", "", "1400"},
                                               {"InstallInitialize", "", "1500"},
                                               {"PublishFeatures", "", "6300"},
                                               {"PublishProduct", "", "6400"},
                                               {"InstallFinalize", "", "6600"}}),
    };
    if (rows.empty())
        return tables;

    tables.push_back({"Component", "Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath",
                      "s72\tS38\ts72\ti2\tS255\tS72", "Component", rows.components});
    tables.push_back(
        {"FeatureComponents", "Feature_\tComponent_", "s38\ts72", "Feature_\tComponent_", rows.feature_components});
    if (!rows.files.empty()) {
        tables.push_back({"File", "File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence",
                          "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti4", "File", rows.files});
        // The files lie beside the package, uncompressed, on one medium.
        tables.push_back({"Media",
                          "DiskId\tLastSequence\tDiskPrompt\tCabinet\tVolumeLabel\tSource",
                          "i2\ti4\tL64\tS255\tS32\tS72",
                          "DiskId",
                          {{"1", std::to_string(rows.last_file_sequence), "", "", "", ""}}});
    }
    if (!rows.create_folders.empty())
        tables.push_back(
            {"CreateFolder", "Directory_\tComponent_", "s72\ts72", "Directory_\tComponent_", rows.create_folders});
    if (!rows.registry.empty())
        tables.push_back({"Registry", "Registry\tRoot\tKey\tName\tValue\tComponent_", "s72\ti2\tl255\tL255\tL0\ts72",
                          "Registry", rows.registry});
    if (!rows.shortcuts.empty())
        tables.push_back({"Shortcut",
                          "Shortcut\tDirectory_\tName\tComponent_\tTarget\tArguments\tDescription\tHotkey\tIcon_"
                          "\tIconIndex\tShowCmd\t"
                          "WkDir",
                          "s72\ts72\tl128\ts72\ts72\tS255\tL255\tI2\tS72\tI2\tI2\tS72", "Shortcut", rows.shortcuts});
    if (!rows.conditions.empty())
        tables.push_back(
            {"Condition", "Feature_\tLevel\tCondition", "s38\ti2\tS255", "Feature_\tLevel", rows.conditions});
    if (!rows.prog_ids.empty())
        tables.push_back({"ProgId", "ProgId\tProgId_Parent\tClass_\tDescription\tIcon_\tIconIndex",
                          "s255\tS255\tS38\tL255\tS72\tI2", "ProgId", rows.prog_ids});
    if (!rows.extensions.empty())
        tables.push_back({"Extension", "Extension\tComponent_\tProgId_\tMIME_\tFeature_", "s255\ts72\tS255\tS64\ts38",
                          "Extension\tComponent_", rows.extensions});
    if (!rows.verbs.empty())
        tables.push_back({"Verb", "Extension_\tVerb\tSequence\tCommand\tArgument", "s255\ts32\tI2\tL255\tL255",
                          "Extension_\tVerb", rows.verbs});
    if (!rows.odbc_drivers.empty())
        tables.push_back({"ODBCDriver", "Driver\tComponent_\tDescription\tFile_\tFile_Setup",
                          "s72\ts72\ts255\ts72\tS72", "Driver", rows.odbc_drivers});
    if (!rows.odbc_data_sources.empty())
        tables.push_back({"ODBCDataSource", "DataSource\tComponent_\tDescription\tDriverDescription\tRegistration",
                          "s72\ts72\ts255\ts255\ti2", "DataSource", rows.odbc_data_sources});
    if (!rows.ini_files.empty())
        tables.push_back({"IniFile", "IniFile\tFileName\tDirProperty\tSection\tKey\tValue\tAction\tComponent_",
                          "s72\tl255\tS72\tl96\tl128\tl255\ti2\ts72", "IniFile", rows.ini_files});
    if (!rows.environment.empty())
        tables.push_back({"Environment", "Environment\tName\tValue\tComponent_", "s72\tl255\tL255\ts72", "Environment",
                          rows.environment});
    if (!rows.move_files.empty())
        tables.push_back({"MoveFile", "FileKey\tComponent_\tSourceName\tDestName\tSourceFolder\tDestFolder\tOptions",
                          "s72\ts72\tL255\tL255\tS72\ts72\ti2", "FileKey", rows.move_files});
    if (!rows.remove_files.empty())
        tables.push_back({"RemoveFile", "FileKey\tComponent_\tFileName\tDirProperty\tInstallMode",
                          "s72\ts72\tL255\ts72\ti2", "FileKey", rows.remove_files});
    if (!rows.service_installs.empty())
        tables.push_back({"ServiceInstall",
                          "ServiceInstall\tName\tDisplayName\tServiceType\tStartType\tErrorControl\tLoadOrderGroup\t"
                          "Dependencies\tStartName\tPassword\tArguments\tComponent_\tDescription",
                          "s72\ts255\tL255\ti4\ti4\ti4\tS255\tS255\tS255\tS255\tS255\ts72\tL255", "ServiceInstall",
                          rows.service_installs});
    if (!rows.service_controls.empty())
        tables.push_back({"ServiceControl", "ServiceControl\tName\tEvent\tArguments\tWait\tComponent_",
                          "s72\tl255\ti2\tS255\tI2\ts72", "ServiceControl", rows.service_controls});
    tables.push_back({"Binary",
                      "Name\tData",
                      "s72\tv0",
                      "Name",
                      {{std::string(handover_binary_key), std::string(handover_binary_file)}}});
    // Type 1: a function of a library in the Binary table, run at once in the
    // installer's sequence, its failure failing the installation.
    tables.push_back(
        {"CustomAction",
         "Action\tType\tSource\tTarget",
         "s72\ti2\tS72\tS255",
         "Action",
         {{std::string(handover_action), "1", std::string(handover_binary_key), std::string(handover_function)}}});
    return tables;
}

Result<void> check_idt_fields(const PackageTable& table)
{
    for (const std::vector<std::string>& row : table.rows)
        for (const std::string& field : row)
            if (field.find_first_of("\t\r\n") != std::string::npos)
                return make_error(ErrorCode::unsupported, "The installer table " + table.name +
                                                              " cannot hold a tab or line break: \"" + field + "\"");
    return {};
}

Result<void> stage_binary_data(const MsiPackageInfo& info, const std::filesystem::path& work_folder)
{
    if (info.rows.empty())
        return {};
    if (info.handover_library.empty())
        return make_error(ErrorCode::internal, "The package has installer rows but no hand-over library");
    std::error_code code;
    std::filesystem::path folder = work_folder / "Binary";
    std::filesystem::create_directories(folder, code);
    if (!code)
        std::filesystem::copy_file(info.handover_library, folder / handover_binary_file,
                                   std::filesystem::copy_options::overwrite_existing, code);
    if (code)
        return make_error(ErrorCode::io, "Cannot copy " + info.handover_library.string() + ": " + code.message(),
                          static_cast<std::uint32_t>(code.value()));
    return {};
}

} // namespace quillon::qvoc
