// The engine's calls of msi.dll under Wine, on a package that the setup
// compiler writes: reading and updating rows, summary information, installed
// products, and the errors of a library or function that cannot be had.
#include "msi/compiled_package.h"
#include "msi/installer_api.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

const std::string product_code = "{3B0F9C52-7E1D-4A66-9F21-5C8E0A7D4B13}";

const std::string package_code = "{0D7B3E21-6C4A-4F8B-9E15-2A3C4D5E6F70}";

std::string make_package(const std::wstring& name)
{
    return compiled_package(name, product_code, package_code);
}

// The values of a one-column query, in order.
std::vector<std::string> column(const msi::MsiHandle& database, const std::string& sql)
{
    std::vector<std::string> values;
    Result<msi::MsiHandle> view = msi::OpenView(database, sql);
    EXPECT_TRUE(view) << view.error().describe();
    if (!view || !msi::Execute(*view))
        return values;
    for (;;) {
        Result<std::optional<msi::MsiHandle>> record = msi::Fetch(*view);
        EXPECT_TRUE(record) << record.error().describe();
        if (!record || !*record)
            break;
        values.push_back(msi::RecordString(**record, 1).value_or("<error>"));
    }
    return values;
}

TEST(InstallerApi, ReadsAndUpdatesRowsAndSummaryInformation)
{
    std::string package = make_package(L"installer-api");
    {
        Result<msi::MsiHandle> database = msi::OpenDatabase(package, false);
        ASSERT_TRUE(database) << database.error().describe();
        EXPECT_EQ(column(*database, "SELECT `Value` FROM `Property` WHERE `Property`='ProductName'"),
                  std::vector<std::string>{"Installer Test"});
        Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 0);
        ASSERT_TRUE(summary);
        EXPECT_EQ(msi::SummaryString(*summary, msi::summary_template), "x64;1033");
    }
    {
        // Edits: an update through a fetched record, a value longer than the usual
        // read buffer, the summary's word count and template; committed.
        Result<msi::MsiHandle> database = msi::OpenDatabase(package, true);
        ASSERT_TRUE(database) << database.error().describe();
        Result<msi::MsiHandle> view =
            msi::OpenView(*database, "SELECT `Property`,`Value` FROM `Property` WHERE `Property`='ProductName'");
        ASSERT_TRUE(view);
        ASSERT_TRUE(msi::Execute(*view));
        Result<std::optional<msi::MsiHandle>> record = msi::Fetch(*view);
        ASSERT_TRUE(record && *record);
        ASSERT_TRUE(msi::SetRecordString(**record, 2, "Renamed Product"));
        ASSERT_TRUE(msi::UpdateRecord(*view, **record));
        ASSERT_TRUE(msi::CloseView(*view));
        const std::string long_value(12000, 'v');
        Result<msi::MsiHandle> insert = msi::OpenView(
            *database, "INSERT INTO `Property` (`Property`,`Value`) VALUES ('LONGVALUE','" + long_value + "')");
        ASSERT_TRUE(insert) << insert.error().describe();
        ASSERT_TRUE(msi::Execute(*insert));
        Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 2);
        ASSERT_TRUE(summary);
        ASSERT_TRUE(msi::SetSummaryInteger(*summary, msi::summary_word_count, 8));
        ASSERT_TRUE(msi::SetSummaryString(*summary, msi::summary_template, "Intel;1033"));
        ASSERT_TRUE(msi::PersistSummary(*summary));
        ASSERT_TRUE(msi::Commit(*database));
    }
    Result<msi::MsiHandle> database = msi::OpenDatabase(package, false);
    ASSERT_TRUE(database);
    EXPECT_EQ(column(*database, "SELECT `Value` FROM `Property` WHERE `Property`='ProductName'"),
              std::vector<std::string>{"Renamed Product"});
    std::vector<std::string> long_values =
        column(*database, "SELECT `Value` FROM `Property` WHERE `Property`='LONGVALUE'");
    ASSERT_EQ(long_values.size(), 1u);
    EXPECT_EQ(long_values[0].size(), 12000u) << "read whole, not cut at the buffer's size";
    Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 0);
    ASSERT_TRUE(summary);
    EXPECT_EQ(msi::SummaryInteger(*summary, msi::summary_word_count), 8);
    EXPECT_EQ(msi::SummaryString(*summary, msi::summary_template), "Intel;1033");
}

TEST(InstallerApi, ProductsThatAreNotInstalledAndMissingFunctions)
{
    Result<int> state = msi::QueryProductState(product_code);
    ASSERT_TRUE(state) << state.error().describe();
    EXPECT_NE(*state, msi::product_installed);
    Result<std::string> info = msi::ProductInfo(product_code, "PackageCode");
    ASSERT_FALSE(info);
    EXPECT_EQ(info.error().code, ErrorCode::installer);

    Result<msi::MsiHandle> missing = msi::OpenDatabase("C:\\no\\such\\package.msi", false);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::installer);

    Result<void*> function = msi::detail::find_function(L"msi.dll", "MsiNoSuchFunction");
    ASSERT_FALSE(function);
    EXPECT_EQ(function.error().message, "Function not found: msi.dll.MsiNoSuchFunction");
    Result<void*> library = msi::detail::find_function(L"quillon-no-such.dll", "MsiOpenDatabaseA");
    ASSERT_FALSE(library);
    EXPECT_EQ(library.error().message, "Library not found: quillon-no-such.dll");
}

struct Messages {
    int count = 0;
    int action_starts = 0;
};

int __stdcall count_messages(void* context, std::uint32_t type, const char*)
{
    auto* messages = static_cast<Messages*>(context);
    ++messages->count;
    if ((type >> 24) == 0x08)
        ++messages->action_starts;
    return 1;
}

// A real run of a package the setup compiler writes: it installs silently
// with the messages going to the engine's handler and a log, Windows Installer
// then knows the product and its package code, and removing it forgets it.
TEST(InstallerApi, ThePackageInstallsAndIsRemovedWithTheMessagesInTheHandler)
{
    std::string package = make_package(L"installer-api-run");
    std::string log = package + ".log";
    Messages messages;
    ASSERT_TRUE(msi::SetInternalUI(msi::ui_level_none_with_source_resolution));
    ASSERT_TRUE(msi::SetExternalUI(count_messages, msi::message_filter_all, &messages));
    ASSERT_TRUE(msi::EnableLog(msi::log_mode_all, log, msi::log_attributes));
    Result<std::uint32_t> installed = msi::InstallProduct(package, "ALLUSERS=1");
    ASSERT_TRUE(installed) << installed.error().describe();
    EXPECT_EQ(*installed, 0u);
    EXPECT_GT(messages.action_starts, 0);
    EXPECT_EQ(msi::QueryProductState(product_code), msi::product_installed);
    EXPECT_EQ(msi::ProductInfo(product_code, "PackageCode"), package_code);
    Result<std::uint32_t> removed = msi::InstallProduct(package, "REMOVE=ALL");
    ASSERT_TRUE(removed);
    EXPECT_EQ(*removed, 0u);
    EXPECT_NE(msi::QueryProductState(product_code), msi::product_installed);
    ASSERT_TRUE(msi::ClearExternalUI());
    EXPECT_TRUE(fs::exists(win32::to_wide(log))) << "the installer's log";
}

} // namespace
} // namespace quillon::test
