#include "qvoc/msi_package.h"

#include "qvoc/qvoc_texts.h"

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

} // namespace quillon::qvoc
