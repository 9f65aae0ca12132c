#include "qvoc/msi_package.h"

#include "qvoc/qvoc_texts.h"

#include <initializer_list>
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
    // An empty text is a null in Windows Installer, and the Value column
    // takes no nulls: a property without a value is left out.
    std::erase_if(rows, [](const auto& row) { return row.second.empty(); });
    return rows;
}

namespace {

// A text archive: the column names, their types, the table name and its keys, the rows.
std::string idt(std::string_view columns, std::string_view types, std::string_view keys,
                std::initializer_list<std::string_view> rows)
{
    std::string text = std::string(columns) + "\r\n" + std::string(types) + "\r\n" + std::string(keys) + "\r\n";
    for (std::string_view row : rows)
        text += std::string(row) + "\r\n";
    return text;
}

} // namespace

std::vector<PackageTable> package_tables()
{
    return {
        {"Directory.idt", idt("Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255", "Directory\tDirectory",
                              {"TARGETDIR\t\tSourceDir"})},
        {"Feature.idt", idt("Feature\tFeature_Parent\tTitle\tDescription\tDisplay\tLevel\tDirectory_\tAttributes",
                            "s38\tS38\tL64\tL255\tI2\ti2\tS72\ti2", "Feature\tFeature",
                            {std::string(texts::product_feature) + "\t\t" + std::string(texts::product_feature) +
                             "\t\t1\t1\tTARGETDIR\t0"})},
        {"InstallExecuteSequence.idt",
         idt("Action\tCondition\tSequence", "s72\tS255\tI2", "InstallExecuteSequence\tAction",
             {"CostInitialize\t\t800", "FileCost\t\t900", "CostFinalize\t\t1000", "InstallValidate\t\t1400",
              "InstallInitialize\t\t1500", "ProcessComponents\t\t1600", "UnpublishFeatures\t\t1800",
              "RegisterUser\t\t6000", "RegisterProduct\t\t6100", "PublishFeatures\t\t6300", "PublishProduct\t\t6400",
              "InstallFinalize\t\t6600"})},
        {"AdvtExecuteSequence.idt",
         idt("Action\tCondition\tSequence", "s72\tS255\tI2", "AdvtExecuteSequence\tAction",
             {"CostInitialize\t\t800", "CostFinalize\t\t1000", "InstallValidate\t\t1400", "InstallInitialize\t\t1500",
              "PublishFeatures\t\t6300", "PublishProduct\t\t6400", "InstallFinalize\t\t6600"})},
    };
}

} // namespace quillon::qvoc
