// The IIS 7 operations on a configuration store in memory.
#include "iis7lib/iis7_operations.h"
#include "iis7lib/memory_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillon::iis7::test {
namespace {

constexpr std::string_view sites_section = "system.applicationHost/sites";
constexpr std::string_view pools_section = "system.applicationHost/applicationPools";

std::string site_path(std::string_view name)
{
    return std::string(apphost_path) + "/" + std::string(name);
}

std::vector<std::string> item_attributes(const MemoryNode& node, std::string_view attribute)
{
    std::vector<std::string> values;
    for (const auto& item : node.items)
        values.push_back(item->attribute(attribute));
    return values;
}

class RecordingTool : public CommandTool {
public:
    Result<std::string> run(std::string_view arguments) override
    {
        calls.emplace_back(arguments);
        if (failure)
            return std::unexpected(*failure);
        return std::string("SITE object changed\r\n");
    }

    std::vector<std::string> calls;
    std::optional<Error> failure;
};

class Iis7Operations : public ::testing::Test {
protected:
    MemoryConfigStore store;
};

TEST_F(Iis7Operations, SiteListJoinsNamesInCollectionOrder)
{
    struct Case {
        std::vector<std::string> names;
        std::string_view expected;
    };
    const Case cases[] = {
        {{}, ""},
        {{"A"}, "A"},
        {{"A", "B"}, "A$NEWLINE$B"},
        {{"Default Web Site", "", "Shop"}, "Default Web Site$NEWLINE$$NEWLINE$Shop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.expected));
        MemoryConfigStore fresh;
        fresh.sites();
        std::int32_t id = 1;
        for (const std::string& name : c.names)
            fresh.add_site(id++, name);
        Result<std::string> list = get_site_list(fresh);
        ASSERT_TRUE(list) << list.error().message;
        EXPECT_EQ(*list, c.expected);
    }
}

TEST_F(Iis7Operations, SiteIndexIsTheIdOfTheFirstSiteOfThatName)
{
    store.add_site(1, "Default Web Site");
    store.add_site(3, "Shop");
    store.add_site(7, "Shop");
    struct Case {
        std::string_view description;
        std::int32_t expected;
    };
    const Case cases[] = {{"Shop", 3}, {"Default Web Site", 1}, {"Missing", 0}, {"shop", 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.description));
        Result<std::int32_t> index = get_site_index(store, c.description);
        ASSERT_TRUE(index) << index.error().message;
        EXPECT_EQ(*index, c.expected);
    }
}

TEST_F(Iis7Operations, PropertySetThenReadAndReplacedInPlace)
{
    store.add_site(1, "Shop");
    ASSERT_TRUE(set_property(store, 1, "", "Mode", "first"));
    ASSERT_TRUE(set_property(store, 1, "", "Mode", "second"));

    Result<std::string> value = get_property(store, 1, "", "Mode");
    ASSERT_TRUE(value) << value.error().message;
    EXPECT_EQ(*value, "second");

    // A site's own level is its path with a trailing "/", and the setting is committed there.
    std::string path = site_path("Shop") + "/";
    const MemoryNode* settings = store.find_section("appSettings", path);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->items.size(), 1u) << "the second set replaces the value";
    EXPECT_EQ(settings->items[0]->name, "add");
    EXPECT_EQ(settings->items[0]->attribute("key"), "Mode");
    EXPECT_EQ(store.commits(), (std::vector<std::string>{path, path}));
}

TEST_F(Iis7Operations, PropertyOfAFolderStaysWithTheFolder)
{
    store.add_site(2, "Shop");
    ASSERT_TRUE(set_property(store, 2, "cart/api", "Endpoint", "https://x"));

    EXPECT_NE(store.find_section("appSettings", site_path("Shop") + "/cart/api"), nullptr);
    EXPECT_EQ(get_property(store, 2, "cart/api", "Endpoint").value_or("<error>"), "https://x");
    EXPECT_FALSE(get_property(store, 2, "", "Endpoint")) << "the site's own level has no such setting";
}

TEST_F(Iis7Operations, PropertyFailures)
{
    store.add_site(1, "Shop");
    store.section("appSettings", site_path("Shop") + "/").add_item("add").set("key", "Other").set("value", "x");

    Result<std::string> missing = get_property(store, 1, "", "Mode");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().message, "IISProperty not found");
    EXPECT_FALSE(get_property(store, 1, "", "other")) << "keys compare exactly";

    EXPECT_FALSE(get_property(store, 9, "", "Other"));
    EXPECT_FALSE(set_property(store, 9, "", "Other", "y"));

    store.fail_next_commit();
    EXPECT_FALSE(set_property(store, 1, "", "Other", "y"));
    EXPECT_EQ(get_property(store, 1, "", "Other").value_or("<error>"), "x");
    EXPECT_TRUE(store.commits().empty());
}

SiteSettings shop_settings()
{
    SiteSettings settings;
    settings.description = "Shop";
    settings.index_text = "";
    settings.ip_address = "*";
    settings.host_header = "shop.example";
    settings.tcp_port = "8080";
    settings.ssl_port = "8443";
    settings.connection_timeout = 3725;
    settings.keep_alive = true;
    settings.log_visits = true;
    settings.unlimited_connections = false;
    settings.max_connections = 250;
    return settings;
}

TEST_F(Iis7Operations, CreateSiteTakesTheIndexTextOrTheNextFreeIndex)
{
    struct Case {
        std::string_view index_text;
        std::int32_t expected;
    };
    const Case cases[] = {{"", 2}, {"abc", 2}, {"12x", 2}, {" 7", 2}, {"7", 7}, {"+5", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.index_text));
        MemoryConfigStore fresh;
        fresh.add_site(1, "One");
        fresh.add_site(3, "Three");
        SiteSettings settings = shop_settings();
        settings.index_text = c.index_text;
        ASSERT_TRUE(create_site(fresh, settings));
        const MemoryNode* site = fresh.find_site(c.expected);
        ASSERT_NE(site, nullptr);
        EXPECT_EQ(site->attribute("name"), "Shop");
        EXPECT_EQ(fresh.site_names(), (std::vector<std::string>{"One", "Three", "Shop"}));
    }
}

TEST_F(Iis7Operations, NextFreeIndexFillsTheFirstGap)
{
    struct Case {
        std::vector<std::int32_t> ids;
        std::int32_t expected;
    };
    const Case cases[] = {{{}, 1}, {{1, 2}, 3}, {{2, 3}, 1}, {{3, 1, 2, 5}, 4}};
    for (const Case& c : cases) {
        MemoryConfigStore fresh;
        fresh.sites();
        for (std::int32_t id : c.ids)
            fresh.add_site(id, "S" + std::to_string(id));
        Result<std::unique_ptr<AdminManager>> manager = fresh.open();
        ASSERT_TRUE(manager);
        EXPECT_EQ(next_free_site_index(**manager).value_or(-1), c.expected);
    }
}

TEST_F(Iis7Operations, CreateSiteWritesANewSite)
{
    struct Case {
        bool log_visits;
        bool keep_alive;
        bool unlimited;
        std::string_view enabled, selective, dont_log, keep_alive_text, max_connections;
    };
    const Case cases[] = {
        {true, true, false, "true", "LogSuccessful", "false", "true", "250"},
        {false, false, true, "false", "LogAll", "true", "false", "-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log_visits);
        MemoryConfigStore fresh;
        fresh.add_site(1, "Default Web Site");
        SiteSettings settings = shop_settings();
        settings.log_visits = c.log_visits;
        settings.keep_alive = c.keep_alive;
        settings.unlimited_connections = c.unlimited;
        ASSERT_TRUE(create_site(fresh, settings));

        const MemoryNode* site = fresh.find_site(2);
        ASSERT_NE(site, nullptr);
        ASSERT_EQ(site->items.size(), 1u);
        const MemoryNode& root = *site->items[0];
        EXPECT_EQ(root.name, "application");
        EXPECT_EQ(root.attribute("path"), "/");
        ASSERT_EQ(root.items.size(), 1u);
        EXPECT_EQ(root.items[0]->name, "virtualDirectory");
        EXPECT_EQ(root.items[0]->attribute("path"), "/");
        EXPECT_EQ(root.items[0]->attribute("physicalPath"), "%systemdrive%\\inetpub\\wwwroot\\shop.example");

        const MemoryNode* bindings = site->find_child("bindings");
        ASSERT_NE(bindings, nullptr);
        EXPECT_EQ(item_attributes(*bindings, "protocol"), (std::vector<std::string>{"http", "https"}));
        EXPECT_EQ(item_attributes(*bindings, "bindingInformation"),
                  (std::vector<std::string>{"*:8080:shop.example", "*:8443:shop.example"}));
        const MemoryNode* limits = site->find_child("limits");
        ASSERT_NE(limits, nullptr);
        EXPECT_EQ(limits->attribute("maxConnections"), c.max_connections);
        EXPECT_EQ(limits->attribute("connectionTimeout"), "01:02:05");
        const MemoryNode* log_file = site->find_child("logFile");
        ASSERT_NE(log_file, nullptr);
        EXPECT_EQ(log_file->attribute("enabled"), c.enabled);

        const MemoryNode* protocol = fresh.find_section("system.webServer/httpProtocol", site_path("Shop"));
        ASSERT_NE(protocol, nullptr);
        EXPECT_EQ(protocol->attribute("allowKeepAlive"), c.keep_alive_text);
        const MemoryNode* logging = fresh.find_section("system.webServer/httpLogging", site_path("Shop"));
        ASSERT_NE(logging, nullptr);
        EXPECT_EQ(logging->attribute("selectiveLogging"), c.selective);
        EXPECT_EQ(logging->attribute("dontLog"), c.dont_log);
        EXPECT_EQ(fresh.commits(), (std::vector<std::string>{std::string(apphost_path), std::string(apphost_path)}));
    }
}

TEST_F(Iis7Operations, CreateSiteUpdatesAnExistingSiteInPlace)
{
    MemoryNode& site = store.add_site(5, "Old name");
    site.add_item("application").set("path", "/api").set("applicationPool", "Api");
    MemoryNode& bindings = site.child("bindings");
    bindings.add_item("binding").set("protocol", "https").set("bindingInformation", "10.0.0.1:443:old");
    bindings.add_item("binding").set("protocol", "ftp").set("bindingInformation", "*:21:");
    bindings.add_item("binding").set("protocol", "http").set("bindingInformation", "10.0.0.1:80:old");

    SiteSettings settings = shop_settings();
    settings.index_text = "5";
    ASSERT_TRUE(create_site(store, settings));

    const MemoryNode* updated = store.find_site(5);
    ASSERT_NE(updated, nullptr);
    EXPECT_EQ(store.sites().items.size(), 1u);
    EXPECT_EQ(updated->attribute("name"), "Shop");
    EXPECT_EQ(item_attributes(*updated, "path"), (std::vector<std::string>{"/", "/api"}));
    EXPECT_EQ(updated->items[0]->items.size(), 1u);
    EXPECT_EQ(updated->items[0]->items[0]->attribute("physicalPath"), "%systemdrive%\\inetpub\\wwwroot\\shop.example");
    const MemoryNode* kept = updated->find_child("bindings");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(item_attributes(*kept, "bindingInformation"),
              (std::vector<std::string>{"*:8443:shop.example", "*:21:", "*:8080:shop.example"}));
}

TEST_F(Iis7Operations, CreateSiteFailures)
{
    store.add_site(1, "Default Web Site");

    // Refused before the first commit: nothing is kept.
    store.refuse_attribute("bindingInformation");
    EXPECT_FALSE(create_site(store, shop_settings()));
    EXPECT_EQ(store.site_names(), (std::vector<std::string>{"Default Web Site"}));
    EXPECT_TRUE(store.commits().empty());

    MemoryConfigStore failing_commit;
    failing_commit.add_site(1, "Default Web Site");
    failing_commit.fail_next_commit();
    EXPECT_FALSE(create_site(failing_commit, shop_settings()));
    EXPECT_EQ(failing_commit.site_names(), (std::vector<std::string>{"Default Web Site"}));

    // Refused after the first commit: the site stays.
    MemoryConfigStore second_step;
    second_step.add_site(1, "Default Web Site");
    second_step.refuse_attribute("allowKeepAlive");
    EXPECT_FALSE(create_site(second_step, shop_settings()));
    EXPECT_EQ(second_step.site_names(), (std::vector<std::string>{"Default Web Site", "Shop"}));
    EXPECT_EQ(second_step.find_section("system.webServer/httpLogging", site_path("Shop")), nullptr);
    EXPECT_EQ(second_step.commits().size(), 1u);
}

TEST(Iis7Texts, TimeoutIsHoursMinutesSeconds)
{
    struct Case {
        std::int32_t seconds;
        std::string_view expected;
    };
    const Case cases[] = {{0, "00:00:00"},     {59, "00:00:59"},      {120, "00:02:00"},           {3725, "01:02:05"},
                          {86399, "23:59:59"}, {360000, "100:00:00"}, {2147483647, "596523:14:07"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(timeout_text(c.seconds), c.expected);
    }
}

TEST(Iis7Texts, AccessPolicyListsTheWordsThatApply)
{
    struct Case {
        bool source, read, write;
        std::int32_t execute;
        std::string_view expected;
    };
    const Case cases[] = {
        {true, true, false, 1, "Source, Read, Script"},
        {false, false, false, 0, ""},
        {false, true, false, 0, "Read"},
        {false, false, true, 2, "Write, Script, Execute"},
        {true, true, true, 5, "Source, Read, Write, Script, Execute"},
        {false, false, false, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.expected));
        EXPECT_EQ(access_policy_text(c.source, c.read, c.write, c.execute), c.expected);
    }
}

FolderSettings folder_settings(std::string folder, std::int32_t isolation)
{
    FolderSettings settings;
    settings.folder = std::move(folder);
    settings.site = 1;
    settings.physical_folder = "C:\\content\\docs";
    settings.source_access = true;
    settings.read_access = true;
    settings.execute_permissions = 1;
    settings.isolation = isolation;
    settings.directory_browsing = true;
    settings.log_visits = false;
    settings.enable_default_document = true;
    settings.default_documents = "index.htm,default.aspx";
    settings.footer = "C:\\footer.htm";
    settings.anonymous_authentication = true;
    settings.windows_authentication = false;
    settings.basic_authentication = true;
    settings.mime_map = "xyz=text/plain,abc";
    return settings;
}

TEST_F(Iis7Operations, FolderWithoutIsolationIsADirectoryOfTheRootApplication)
{
    store.add_site(1, "Shop");
    ASSERT_TRUE(create_site_folder(store, folder_settings("docs/en", 0)));

    const MemoryNode* site = store.find_site(1);
    ASSERT_NE(site, nullptr);
    ASSERT_EQ(site->items.size(), 1u) << "no application of its own";
    const MemoryNode& root = *site->items[0];
    EXPECT_EQ(item_attributes(root, "path"), (std::vector<std::string>{"/", "/docs/en"}));
    EXPECT_EQ(root.items[1]->attribute("physicalPath"), "C:\\content\\docs");
    EXPECT_FALSE(root.has_attribute("applicationPool"));
    EXPECT_EQ(store.find_section(pools_section, apphost_path), nullptr);
}

TEST_F(Iis7Operations, FolderWithIsolationIsAnApplicationInItsPool)
{
    store.add_site(1, "Shop");
    store.section(pools_section, apphost_path).add_item("add").set("name", "DefaultAppPool");
    FolderSettings settings = folder_settings("api", 2);
    settings.application_pool = "MyPool";
    ASSERT_TRUE(create_site_folder(store, settings));

    const MemoryNode* site = store.find_site(1);
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(item_attributes(*site, "path"), (std::vector<std::string>{"/", "/api"}));
    const MemoryNode& application = *site->items[1];
    EXPECT_EQ(application.attribute("applicationPool"), "MyPool");
    ASSERT_EQ(application.items.size(), 1u);
    EXPECT_EQ(application.items[0]->attribute("path"), "/");
    EXPECT_EQ(application.items[0]->attribute("physicalPath"), "C:\\content\\docs");
    EXPECT_EQ(site->items[0]->items.size(), 1u) << "the root application is untouched";

    const MemoryNode* pools = store.find_section(pools_section, apphost_path);
    ASSERT_NE(pools, nullptr);
    EXPECT_EQ(item_attributes(*pools, "name"), (std::vector<std::string>{"DefaultAppPool", "MyPool"}));
    EXPECT_EQ(pools->items[1]->attribute("autoStart"), "true");

    // A second folder in the same pool (named in another case) adds no second pool.
    settings = folder_settings("api2", 1);
    settings.application_pool = "mypool";
    ASSERT_TRUE(create_site_folder(store, settings));
    EXPECT_EQ(store.find_section(pools_section, apphost_path)->items.size(), 2u);
}

TEST_F(Iis7Operations, FolderOfAnExistingApplicationGoesToThatApplication)
{
    MemoryNode& site = store.add_site(1, "Shop");
    site.add_item("application")
        .set("path", "/api")
        .add_item("virtualDirectory")
        .set("path", "/")
        .set("physicalPath", "C:\\old");
    ASSERT_TRUE(create_site_folder(store, folder_settings("api", 0)));

    const MemoryNode* updated = store.find_site(1);
    ASSERT_NE(updated, nullptr);
    EXPECT_EQ(updated->items.size(), 2u);
    EXPECT_EQ(updated->items[0]->items.size(), 1u) << "no directory /api in the root application";
    ASSERT_EQ(updated->items[1]->items.size(), 1u);
    EXPECT_EQ(updated->items[1]->items[0]->attribute("physicalPath"), "C:\\content\\docs");
}

TEST_F(Iis7Operations, FolderSettingsGoToTheFolderPath)
{
    store.add_site(1, "Shop");
    std::string path = site_path("Shop") + "/docs";
    // Documents the folder inherited are replaced by the list.
    store.section("system.webServer/defaultDocument", path).child("files").add_item("add").set("value", "old.htm");
    ASSERT_TRUE(create_site_folder(store, folder_settings("docs", 0)));

    auto section = [&](std::string_view name) -> const MemoryNode& {
        const MemoryNode* node = store.find_section(name, path);
        EXPECT_NE(node, nullptr) << name;
        static const MemoryNode empty("");
        return node != nullptr ? *node : empty;
    };
    EXPECT_EQ(section("system.webServer/handlers").attribute("accessPolicy"), "Source, Read, Script");
    EXPECT_EQ(section("system.webServer/directoryBrowse").attribute("enabled"), "true");
    EXPECT_EQ(section("system.webServer/httpLogging").attribute("dontLog"), "true");
    const MemoryNode& default_document = section("system.webServer/defaultDocument");
    EXPECT_EQ(default_document.attribute("enabled"), "true");
    ASSERT_NE(default_document.find_child("files"), nullptr);
    EXPECT_EQ(item_attributes(*default_document.find_child("files"), "value"),
              (std::vector<std::string>{"index.htm", "default.aspx"}));
    const MemoryNode& static_content = section("system.webServer/staticContent");
    EXPECT_EQ(static_content.attribute("enableDocFooter"), "true");
    EXPECT_EQ(static_content.attribute("defaultDocFooter"), "C:\\footer.htm");
    EXPECT_EQ(item_attributes(static_content, "fileExtension"), (std::vector<std::string>{"xyz", "abc"}));
    EXPECT_EQ(item_attributes(static_content, "mimeType"), (std::vector<std::string>{"text/plain", ""}));
    EXPECT_EQ(section("system.webServer/security/authentication/anonymousAuthentication").attribute("enabled"), "true");
    EXPECT_EQ(section("system.webServer/security/authentication/windowsAuthentication").attribute("enabled"), "false");
    EXPECT_EQ(section("system.webServer/security/authentication/basicAuthentication").attribute("enabled"), "true");
    EXPECT_EQ(store.commits(), (std::vector<std::string>{std::string(apphost_path), std::string(apphost_path)}));
}

TEST_F(Iis7Operations, FolderWithEmptyListsAndNoFooter)
{
    store.add_site(1, "Shop");
    FolderSettings settings = folder_settings("docs", 0);
    settings.default_documents = "";
    settings.mime_map = "";
    settings.footer = "";
    settings.source_access = settings.read_access = false;
    settings.execute_permissions = 0;
    ASSERT_TRUE(create_site_folder(store, settings));

    std::string path = site_path("Shop") + "/docs";
    const MemoryNode* default_document = store.find_section("system.webServer/defaultDocument", path);
    ASSERT_NE(default_document, nullptr);
    ASSERT_NE(default_document->find_child("files"), nullptr);
    EXPECT_EQ(item_attributes(*default_document->find_child("files"), "value"), (std::vector<std::string>{""}));
    const MemoryNode* static_content = store.find_section("system.webServer/staticContent", path);
    ASSERT_NE(static_content, nullptr);
    EXPECT_TRUE(static_content->items.empty());
    EXPECT_EQ(static_content->attribute("enableDocFooter"), "false");
    EXPECT_EQ(store.find_section("system.webServer/handlers", path)->attribute("accessPolicy"), "");
}

TEST_F(Iis7Operations, FolderFailures)
{
    store.add_site(1, "Shop");
    EXPECT_FALSE(create_site_folder(store, [] {
        FolderSettings settings = folder_settings("docs", 0);
        settings.site = 4;
        return settings;
    }()));
    EXPECT_TRUE(store.commits().empty());

    // The first commit places the folder; a refusal after it keeps the folder.
    store.refuse_attribute("accessPolicy");
    EXPECT_FALSE(create_site_folder(store, folder_settings("docs", 0)));
    EXPECT_EQ(item_attributes(*store.find_site(1)->items[0], "path"), (std::vector<std::string>{"/", "/docs"}));
    EXPECT_EQ(store.find_section("system.webServer/directoryBrowse", site_path("Shop") + "/docs"), nullptr);
    EXPECT_EQ(store.commits().size(), 1u);
}

TEST_F(Iis7Operations, DeleteFolderRemovesTheFirstMatch)
{
    struct Case {
        std::string_view folder;
        std::vector<std::string> applications;
        std::vector<std::string> root_directories;
        std::size_t commits;
    };
    const Case cases[] = {
        {"docs", {"/", "/api", "/docs"}, {"/"}, 1},               // the root application's directory goes first
        {"api", {"/", "/docs"}, {"/", "/docs"}, 1},               // a whole application
        {"missing", {"/", "/api", "/docs"}, {"/", "/docs"}, 0},   // nothing matches: nothing changes
        {"", {"/", "/api", "/docs"}, {"/docs"}, 1},               // the site's own root directory
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder));
        MemoryConfigStore fresh;
        MemoryNode& site = fresh.add_site(1, "Shop");
        site.items[0]->add_item("virtualDirectory").set("path", "/docs");
        site.add_item("application").set("path", "/api");
        site.add_item("application").set("path", "/docs");
        ASSERT_TRUE(delete_site_folder(fresh, 1, c.folder));
        const MemoryNode* updated = fresh.find_site(1);
        EXPECT_EQ(item_attributes(*updated, "path"), c.applications);
        EXPECT_EQ(item_attributes(*updated->items[0], "path"), c.root_directories);
        EXPECT_EQ(fresh.commits().size(), c.commits);
    }
    EXPECT_FALSE(delete_site_folder(store, 1, "docs")) << "no site 1";
}

TEST_F(Iis7Operations, DeleteSiteRemovesOnlyThatSite)
{
    store.add_site(1, "A");
    store.add_site(2, "B");
    store.add_site(3, "C");
    ASSERT_TRUE(delete_site(store, 2));
    EXPECT_EQ(store.site_names(), (std::vector<std::string>{"A", "C"}));
    ASSERT_TRUE(delete_site(store, 2)) << "no such site: nothing to do";
    EXPECT_EQ(store.site_names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(store.commits().size(), 1u);
}

TEST_F(Iis7Operations, ControlSiteRunsTheToolPerCode)
{
    store.add_site(4, "My Site");
    const std::string start = "start site \"My Site\"";
    const std::string stop = "stop site \"My Site\"";
    struct Case {
        std::int32_t code;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {0, {start}}, {1, {stop}}, {2, {start, stop}}, {3, {start, start}}, {4, {start}}, {99, {start}}, {-1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        RecordingTool tool;
        ASSERT_TRUE(control_site(store, tool, 4, c.code));
        EXPECT_EQ(tool.calls, c.calls);
    }
}

TEST_F(Iis7Operations, ControlSiteFailures)
{
    store.add_site(4, "My Site");
    RecordingTool tool;
    EXPECT_FALSE(control_site(store, tool, 5, 0));
    EXPECT_TRUE(tool.calls.empty()) << "no tool for a site that does not exist";

    tool.failure = Error{ErrorCode::win32, 2, "Cannot call AppCmd"};
    Result<void> result = control_site(store, tool, 4, 2);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "Cannot call AppCmd");
    EXPECT_EQ(tool.calls.size(), 1u) << "the stop after a failed start does not run";
}

TEST_F(Iis7Operations, AnonymousUserIsReadAtTheServerLevel)
{
    store.section("system.webServer/security/authentication/anonymousAuthentication", apphost_path)
        .set("enabled", "true")
        .set("userName", "IUSR");
    EXPECT_EQ(get_anonymous_user(store).value_or("<error>"), "IUSR");
}

} // namespace
} // namespace quillon::iis7::test
