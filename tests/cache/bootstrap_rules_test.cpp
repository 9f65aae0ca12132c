// The bootstrap's decisions: first installation, maintenance or upgrade, the
// default target folder, and the older build's data file.
#include "cache/bootstrap_rules.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(BootstrapRules, InstalledStateDecidesMaintenanceAndUpgrade)
{
    struct Case {
        std::optional<int> state;
        std::optional<std::string> package_code;
        std::string_view load_old_data;
        bool needs_upgrade;
        bool maintenance;
        bool import_old_data;
    };
    const Case cases[] = {
        {-1, std::nullopt, "TRUE", false, false, false},   // unknown product: a fresh machine
        {std::nullopt, std::nullopt, "", false, false, false}, // msi.dll failed
        {5, "{rev-a}", "", false, true, false},            // this build, compared without case
        {5, "{REV-B}", "", true, false, false},            // another build
        {5, "{REV-B}", "TRUE", true, false, true},
        {5, "{REV-B}", "true", true, false, false},        // the constant must be exactly TRUE
        {5, std::nullopt, "TRUE", false, false, false},    // the package code could not be read
        {1, "{REV-A}", "TRUE", false, false, false},       // advertised, not installed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.package_code.value_or("none"));
        InstalledDecision decision = DecideInstalled({c.state, c.package_code}, "{REV-A}", c.load_old_data);
        EXPECT_EQ(decision.needs_upgrade, c.needs_upgrade);
        EXPECT_EQ(decision.maintenance, c.maintenance);
        EXPECT_EQ(decision.import_old_data, c.import_old_data);
    }
}

TEST(BootstrapRules, NewInstanceWhenInstalledAndNotStartedFromTheCache)
{
    InstalledDecision maintenance{false, true, false};
    InstalledDecision upgrade{true, false, false};
    InstalledDecision fresh{};
    EXPECT_TRUE(IsNewInstance(false, maintenance));
    EXPECT_TRUE(IsNewInstance(false, upgrade));
    EXPECT_FALSE(IsNewInstance(true, maintenance));
    EXPECT_FALSE(IsNewInstance(false, fresh));
}

TEST(BootstrapRules, DefaultTargetFolder)
{
    EXPECT_EQ(DefaultTargetFolder(true, "C:\\Program Files", "C:\\Users\\ann\\Documents", "Sample"),
              "C:\\Program Files\\Sample\\");
    EXPECT_EQ(DefaultTargetFolder(false, "C:\\Program Files", "C:\\Users\\ann\\Documents\\", "Sample"),
              "C:\\Users\\ann\\Sample\\");
}

TEST(BootstrapRules, OldDataFile)
{
    struct Case {
        std::vector<std::string> names;
        std::optional<std::string> data_file;
        std::string shortcuts_file;
    };
    const Case cases[] = {
        {{"instance.dat", "setup.exe", "Setup.DAT", "setup.lnk"}, "Setup.DAT", "setup.lnk"},
        {{"INSTANCE.DAT", "setup.exe"}, std::nullopt, ""},
        // Several: the one with its engine, resources, package and instance list.
        {{"a.dat", "b.dat", "a.exe", "b.exe", "b.res", "b.msi", "b.par", "a.res"}, "b.dat", ""},
        {{"a.dat", "b.dat", "a.exe"}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.front());
        std::optional<OldDataFiles> found = FindOldDataFile(c.names);
        ASSERT_EQ(found.has_value(), c.data_file.has_value());
        if (found) {
            EXPECT_EQ(found->data_file, *c.data_file);
            EXPECT_EQ(found->shortcuts_file, c.shortcuts_file);
        }
    }
}

} // namespace
} // namespace quillon
