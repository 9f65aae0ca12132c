// The registry entries that lead to the engine cache.
#include "cache/cache_registration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillon {
namespace {

using ::testing::ElementsAre;

RegistrationFacts sample_facts()
{
    RegistrationFacts facts;
    facts.cache_root = "C:\\ProgramData\\";
    facts.cache_folder = "C:\\ProgramData\\{REV}\\";
    facts.engine_file = "setup.exe";
    facts.base_name = "setup";
    facts.product_code = "{PROD}";
    facts.revision_code = "{REV}";
    facts.title = "Sample App";
    facts.publisher = "Corvanta";
    facts.contact = "help desk";
    facts.help_link = "https://example.org/help";
    facts.update_link = "https://example.org/update";
    facts.comments = "comments";
    facts.version = "3.14.2";
    facts.install_location = "C:\\Program Files\\Sample App";
    return facts;
}

RegistryValue text(std::string name, std::string value)
{
    return {std::move(name), std::move(value), std::nullopt};
}
RegistryValue number(std::string name, std::uint32_t value)
{
    return {std::move(name), {}, value};
}

TEST(CacheRegistration, UninstallEntryPointsAtTheCachedEngine)
{
    std::vector<RegistryKeyValues> keys = RegistrationKeys(sample_facts());
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample App");
    EXPECT_THAT(keys[0].values,
                ElementsAre(text("DisplayIcon", "C:\\ProgramData\\{REV}\\setup.exe"), text("DisplayName", "Sample App"),
                            text("UninstallString", "\"C:\\ProgramData\\{REV}\\setup.exe\" REMOVE=TRUE MODIFY=FALSE"),
                            text("ModifyPath", "\"C:\\ProgramData\\{REV}\\setup.exe\""), text("Publisher", "Corvanta"),
                            text("Contact", "help desk"), text("HelpLink", "https://example.org/help"),
                            text("URLUpdateInfo", "https://example.org/update"), text("Comments", "comments"),
                            text("DisplayVersion", "3.14.2"), number("VersionMajor", 3), number("VersionMinor", 14),
                            text("InstallLocation", "C:\\Program Files\\Sample App")));
    EXPECT_EQ(keys[0].view, RegistryView::engine);
    EXPECT_EQ(keys[1].key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{PROD}");
    EXPECT_EQ(keys[1].view, RegistryView::package_32bit);
    EXPECT_THAT(keys[1].values, ElementsAre(text("UninstallString", "\"C:\\ProgramData\\{REV}\\setup.exe\"")));
    EXPECT_EQ(keys[2].key, "SOFTWARE\\Corvanta\\Quillon\\Ident.Cache\\{PROD}");
    EXPECT_THAT(keys[2].values, ElementsAre(number("VersionMajor", 3), number("VersionMinor", 14),
                                            text("", "C:\\ProgramData\\{REV}\\")));
}

TEST(CacheRegistration, ProductEntryFollowsThePackagePlatform)
{
    RegistrationFacts facts = sample_facts();
    facts.package_64bit = true;
    EXPECT_EQ(RegistrationKeys(facts)[1].view, RegistryView::package_64bit);
}

TEST(CacheRegistration, RemovalDeletesEveryEntryItWrote)
{
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    EXPECT_THAT(RegistrationKeysRemoved("Sample App", "{PROD}"),
                ElementsAre(RegistryKey{uninstall + "Sample App", RegistryView::engine},
                            RegistryKey{"SOFTWARE\\Corvanta\\Quillon\\Ident.Cache\\{PROD}", RegistryView::engine},
                            RegistryKey{uninstall + "{PROD}", RegistryView::package_32bit},
                            RegistryKey{uninstall + "{PROD}", RegistryView::package_64bit}));
}

TEST(CacheRegistration, VersionNumbers)
{
    struct Case {
        std::string_view version;
        std::uint32_t major;
        std::uint32_t minor;
    };
    for (Case c : {Case{"3.14.2", 3, 14}, Case{"7", 7, 0}, Case{"", 0, 0}, Case{"2.1b", 2, 1}, Case{"beta", 0, 0},
                   Case{"99999999999.1", 4294967295u, 1}}) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(VersionNumbers(c.version), std::make_pair(c.major, c.minor));
    }
}

TEST(CacheRegistration, EnginePathFromUninstallString)
{
    struct Case {
        std::string_view command;
        std::string_view path;
    };
    for (Case c :
         {Case{"\"C:\\Cache\\{R}\\setup.exe\" REMOVE=TRUE MODIFY=FALSE", "C:\\Cache\\{R}\\setup.exe"},
          Case{"C:\\Cache\\setup.exe", "C:\\Cache\\setup.exe"}, Case{"\"C:\\open", "C:\\open"}, Case{"", ""}}) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(EnginePathFromUninstallString(c.command), c.path);
    }
}

} // namespace
} // namespace quillon
