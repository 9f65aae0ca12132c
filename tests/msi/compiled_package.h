// An installer package written by the setup compiler, for tests that install
// it with Windows Installer under Wine.
#pragma once

#include "harness/harness.h"
#include "platform/win32/wide.h"
#include "qvoc/msi_package.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon::test {

// A fresh scratch folder's "product.msi" for the product and package codes,
// with the given rows (and then the hand-over action); its path.
inline std::string compiled_package(const std::wstring& folder_name, const std::string& product_code,
                                    const std::string& package_code, const qvoc::PackageRows& rows = {})
{
    std::filesystem::path folder = fresh_scratch_dir(folder_name);
    std::filesystem::create_directories(folder / L"work");
    qvoc::MsiPackageInfo info;
    info.product_code = product_code;
    info.product_name = "Installer Test";
    info.product_version = "1.2.3.4";
    info.manufacturer = "Quillon Tests";
    info.package_code = package_code;
    info.platform = "x64";
    info.rows = rows;
    if (!rows.empty())
        info.handover_library = dist_file(L"quillon_handover.dll");
    Result<void> made = qvoc::create_msi_package(folder / L"product.msi", info, folder / L"work");
    EXPECT_TRUE(made) << made.error().describe();
    return win32::to_ansi((folder / L"product.msi").wstring());
}

} // namespace quillon::test
