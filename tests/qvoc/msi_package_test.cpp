#include "qvoc/compound_file.h"
#include "qvoc/msi_package.h"
#include "qvoc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <windows.h>

#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <wtypes.h>
#endif

namespace quillon::test {
namespace {

qvoc::MsiPackageInfo sample_package()
{
    qvoc::MsiPackageInfo info;
    info.product_code = "{29BBD25B-E9D0-4A3B-9109-24194F12BFFD}";
    info.product_name = "Caf\xE9 Setup"; // code page 1252
    info.product_version = "2.5.17";
    info.manufacturer = "-Quillon Samples";
    info.package_code = "{3CF5FF44-CF4F-5694-AB84-030A55A79C12}";
    info.platform = "x64";
    return info;
}

fs::path create_sample(const fs::path& folder, const qvoc::MsiPackageInfo& info)
{
    fs::path work = folder / "work";
    fs::create_directories(work);
    fs::path package = folder / "setup.msi";
    auto created = qvoc::create_msi_package(package, info, work);
    EXPECT_TRUE(created) << (created ? "" : created.error().describe());
    return package;
}

TEST(MsiPackage, TemplateNamesThePlatformAndLanguage)
{
    qvoc::MsiPackageInfo info = sample_package();
    EXPECT_EQ(qvoc::package_template(info), "x64;1033");
    info.platform = "x86";
    EXPECT_EQ(qvoc::package_template(info), ";1033");
}

TEST(MsiPackage, SummaryIntegersAreSet)
{
    fs::path package = create_sample(scratch_folder(), sample_package());
    std::string bytes = read_file(package);
    EXPECT_EQ(qvoc::summary_integer(bytes, 14).value_or(-1), 200); // page count
    EXPECT_EQ(qvoc::summary_integer(bytes, 15).value_or(-1), 2);   // word count
}

TEST(CompoundFile, DamagedContainerIsCorruptNotACrash)
{
    fs::path package = create_sample(scratch_folder(), sample_package());
    std::string bytes = read_file(package);
    struct Case {
        std::string_view what;
        std::size_t offset;
        std::string_view patch;
    };
    const Case cases[] = {
        {"signature", 0, "XXXX"},
        {"first directory sector far away", 0x30, "\xF0\xFF\xFF\x0F"},
        {"sector size", 0x1E, "\x05\x00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string damaged = bytes;
        damaged.replace(c.offset, c.patch.size(), c.patch);
        auto value = qvoc::summary_integer(damaged, 15);
        ASSERT_FALSE(value);
        EXPECT_EQ(value.error().code, ErrorCode::corrupt);
    }
    EXPECT_FALSE(qvoc::summary_integer(bytes.substr(0, 300), 15));
}

#ifndef _WIN32

std::string command_output(const std::string& command)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return output;
    std::array<char, 4096> buffer;
    while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe.get()))
        output.append(buffer.data(), got);
    return output;
}

TEST(MsiPackage, MsiinfoReadsPropertiesAndSummary)
{
    fs::path package = create_sample(scratch_folder(), sample_package());
    std::string quoted = "'" + package.string() + "'";

    std::string tables = command_output("msiinfo tables " + quoted + " 2>&1");
    EXPECT_NE(tables.find("Property"), std::string::npos) << tables;

    // msiinfo exports in UTF-8; the package holds the name in code page 1252.
    std::string properties = command_output("msiinfo export " + quoted + " Property 2>&1");
    for (std::string_view row :
         {"ProductCode\t{29BBD25B-E9D0-4A3B-9109-24194F12BFFD}\r\n", "ProductName\tCaf\xC3\xA9 Setup\r\n",
          "ProductVersion\t2.5.17\r\n", "Manufacturer\t-Quillon Samples\r\n", "ProductLanguage\t1033\r\n"}) {
        SCOPED_TRACE(row);
        EXPECT_NE(properties.find(row), std::string::npos) << properties;
    }

    std::string summary = command_output("msiinfo suminfo " + quoted + " 2>&1");
    for (std::string_view line :
         {"Template: x64;1033\n", "Revision number (UUID): {3CF5FF44-CF4F-5694-AB84-030A55A79C12}\n", "Version: 200 ",
          "Source: 2 ", "Subject: Caf\xC3\xA9 Setup\n"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(summary.find(line), std::string::npos) << summary;
    }
}

TEST(MsiPackage, TextThatWouldBreakTheTableIsRefused)
{
    qvoc::MsiPackageInfo info = sample_package();
    info.manufacturer = "tab\there";
    fs::path folder = scratch_folder();
    fs::create_directories(folder / "work");
    auto created = qvoc::create_msi_package(folder / "setup.msi", info, folder / "work");
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().code, ErrorCode::unsupported);
    EXPECT_FALSE(fs::exists(folder / "setup.msi"));
}

#else

std::wstring property(MSIHANDLE database, const wchar_t* name)
{
    std::wstring query = std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + name + L"'";
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    std::wstring value;
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS && MsiViewExecute(view, 0) == 0 &&
        MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t buffer[256];
        DWORD size = 256;
        if (MsiRecordGetStringW(record, 1, buffer, &size) == ERROR_SUCCESS)
            value.assign(buffer, size);
    }
    if (record)
        MsiCloseHandle(record);
    if (view)
        MsiCloseHandle(view);
    return value;
}

TEST(MsiPackage, WindowsInstallerReadsPropertiesAndSummary)
{
    fs::path package = create_sample(scratch_folder(), sample_package());
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(package.wstring().c_str(), MSIDBOPEN_READONLY, &database), 0u);
    EXPECT_EQ(property(database, L"ProductCode"), L"{29BBD25B-E9D0-4A3B-9109-24194F12BFFD}");
    EXPECT_EQ(property(database, L"ProductName"), L"Caf\u00E9 Setup");
    EXPECT_EQ(property(database, L"ProductVersion"), L"2.5.17");
    EXPECT_EQ(property(database, L"ProductLanguage"), L"1033");

    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationW(database, nullptr, 0, &summary), 0u);
    wchar_t text[128];
    DWORD size = 128;
    UINT type = 0;
    INT number = 0;
    ASSERT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_TEMPLATE, &type, &number, nullptr, text, &size), 0u);
    EXPECT_EQ(std::wstring(text, size), L"x64;1033");
    size = 128;
    ASSERT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_REVNUMBER, &type, &number, nullptr, text, &size), 0u);
    EXPECT_EQ(std::wstring(text, size), L"{3CF5FF44-CF4F-5694-AB84-030A55A79C12}");
    ASSERT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_WORDCOUNT, &type, &number, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(number, 2);
    ASSERT_EQ(MsiSummaryInfoGetPropertyW(summary, PID_PAGECOUNT, &type, &number, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(number, 200);
    MsiCloseHandle(summary);
    MsiCloseHandle(database);
}

#endif

} // namespace
} // namespace quillon::test
