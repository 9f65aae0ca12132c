#include "iis7lib/iis7_operations.h"

#include "base/strings.h"

#include <cstdio>
#include <optional>
#include <set>

namespace quillon::iis7 {
namespace {

constexpr std::string_view sites_section = "system.applicationHost/sites";
constexpr std::string_view pools_section = "system.applicationHost/applicationPools";
constexpr std::string_view app_settings_section = "appSettings";
constexpr std::string_view anonymous_section = "system.webServer/security/authentication/anonymousAuthentication";
constexpr std::string_view windows_auth_section = "system.webServer/security/authentication/windowsAuthentication";
constexpr std::string_view basic_auth_section = "system.webServer/security/authentication/basicAuthentication";
// New sites get their root below the default web root, in a folder named after the host header.
constexpr std::string_view default_site_root = "%systemdrive%\\inetpub\\wwwroot\\";

std::string_view flag(bool value)
{
    return value ? "true" : "false";
}

std::string site_path(std::string_view site_name)
{
    std::string path(apphost_path);
    path += '/';
    path += site_name;
    return path;
}

// The site path, "/" and the folder: a site's own level ends in "/".
std::string folder_config_path(std::string_view site_name, std::string_view folder)
{
    std::string path = site_path(site_name);
    path += '/';
    path += folder;
    return path;
}

std::string folder_key(std::string_view folder)
{
    std::string key = "/";
    key += folder;
    return key;
}

// Every piece between commas, empty ones included ("" gives one empty piece).
std::vector<std::string_view> split_commas(std::string_view text)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

struct FoundItem {
    std::unique_ptr<ConfigElement> element;
    std::size_t index = 0;
};

// The first item whose attribute equals the value (exactly, or ignoring case
// where the store treats the attribute as a case-insensitive key).
enum class Match { exact, ignore_case };

Result<std::optional<FoundItem>> find_item(ElementCollection& items, std::string_view attribute, std::string_view value,
                                           Match match = Match::exact)
{
    std::size_t count = TRY(items.count());
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<ConfigElement> item = TRY(items.item(i));
        std::string text = TRY(item->attribute(attribute));
        bool equal = match == Match::exact ? text == value : equal_nocase(text, value);
        if (equal)
            return FoundItem{std::move(item), i};
    }
    return std::optional<FoundItem>{};
}

Result<std::optional<FoundItem>> find_site(ElementCollection& sites, std::int32_t id)
{
    std::size_t count = TRY(sites.count());
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<ConfigElement> site = TRY(sites.item(i));
        std::optional<std::int64_t> site_id = parse_int64(TRY(site->attribute("id")));
        if (site_id && *site_id == id)
            return FoundItem{std::move(site), i};
    }
    return std::optional<FoundItem>{};
}

Result<std::unique_ptr<ElementCollection>> site_collection(AdminManager& manager)
{
    std::unique_ptr<ConfigElement> section = TRY(manager.admin_section(sites_section, apphost_path));
    return section->collection();
}

struct Site {
    std::unique_ptr<ConfigElement> element;
    std::string name;
};

Result<Site> open_site(AdminManager& manager, std::int32_t id)
{
    std::unique_ptr<ElementCollection> sites = TRY(site_collection(manager));
    std::optional<FoundItem> found = TRY(find_site(*sites, id));
    if (!found)
        return make_error(ErrorCode::not_found, "IIS site " + std::to_string(id) + " not found");
    std::string name = TRY(found->element->attribute("name"));
    return Site{std::move(found->element), std::move(name)};
}

// The item of the collection whose attribute has the value, or a new one not yet added.
struct ItemSlot {
    std::unique_ptr<ConfigElement> element;
    bool is_new = false;
};

Result<ItemSlot> find_or_create(ElementCollection& items, std::string_view item_name, std::string_view attribute,
                                std::string_view value)
{
    std::optional<FoundItem> found = TRY(find_item(items, attribute, value));
    if (found)
        return ItemSlot{std::move(found->element), false};
    return ItemSlot{TRY(items.create_element(item_name)), true};
}

Result<void> add_if_new(ElementCollection& items, ItemSlot& slot)
{
    if (slot.is_new)
        return items.add(*slot.element);
    return {};
}

Result<void> set_section_attribute(AdminManager& manager, std::string_view section, std::string_view path,
                                   std::string_view attribute, std::string_view value)
{
    std::unique_ptr<ConfigElement> element = TRY(manager.admin_section(section, path));
    return element->set_attribute(attribute, value);
}

Result<void> set_site_root(ConfigElement& site, bool new_site, std::string_view physical_path)
{
    std::unique_ptr<ElementCollection> applications = TRY(site.collection());
    if (new_site) {
        std::unique_ptr<ConfigElement> application = TRY(applications->create_element("application"));
        TRY(application->set_attribute("path", "/"));
        std::unique_ptr<ElementCollection> directories = TRY(application->collection());
        std::unique_ptr<ConfigElement> directory = TRY(directories->create_element("virtualDirectory"));
        TRY(directory->set_attribute("path", "/"));
        TRY(directory->set_attribute("physicalPath", physical_path));
        TRY(directories->add(*directory));
        return applications->add(*application);
    }
    // An existing site without a root application or root directory keeps its layout.
    std::optional<FoundItem> root = TRY(find_item(*applications, "path", "/"));
    if (!root)
        return {};
    std::unique_ptr<ElementCollection> directories = TRY(root->element->collection());
    std::optional<FoundItem> directory = TRY(find_item(*directories, "path", "/"));
    if (!directory)
        return {};
    return directory->element->set_attribute("physicalPath", physical_path);
}

Result<void> set_binding(ConfigElement& site, std::string_view protocol, const SiteSettings& settings,
                         std::string_view port)
{
    std::unique_ptr<ConfigElement> bindings = TRY(site.child("bindings"));
    std::unique_ptr<ElementCollection> items = TRY(bindings->collection());
    ItemSlot binding = TRY(find_or_create(*items, "binding", "protocol", protocol));
    TRY(binding.element->set_attribute("protocol", protocol));
    std::string information = settings.ip_address + ":" + std::string(port) + ":" + settings.host_header;
    TRY(binding.element->set_attribute("bindingInformation", information));
    return add_if_new(*items, binding);
}

Result<void> add_application_pool(AdminManager& manager, std::string_view pool)
{
    std::unique_ptr<ConfigElement> section = TRY(manager.admin_section(pools_section, apphost_path));
    std::unique_ptr<ElementCollection> pools = TRY(section->collection());
    // Pool names are case-insensitive keys of the store: a second entry that
    // differs only in case would be refused and fail the whole folder.
    std::optional<FoundItem> existing = TRY(find_item(*pools, "name", pool, Match::ignore_case));
    if (existing)
        return {};
    std::unique_ptr<ConfigElement> entry = TRY(pools->create_element("add"));
    TRY(entry->set_attribute("name", pool));
    TRY(entry->set_attribute("autoStart", "true"));
    return pools->add(*entry);
}

// Steps that change the site element itself; committed by the caller.
Result<void> place_folder(AdminManager& manager, ConfigElement& site, const FolderSettings& settings)
{
    std::string key = folder_key(settings.folder);
    std::unique_ptr<ElementCollection> applications = TRY(site.collection());
    std::optional<FoundItem> own = TRY(find_item(*applications, "path", key));

    std::unique_ptr<ConfigElement> application;
    // Inside an application of the folder's own path the folder is that
    // application's root "/"; inside the site's root application it is the key.
    std::string directory_path = "/";
    if (own) {
        application = std::move(own->element);
    } else if (settings.isolation != 0) {
        application = TRY(applications->create_element("application"));
        TRY(application->set_attribute("path", key));
        std::unique_ptr<ElementCollection> directories = TRY(application->collection());
        std::unique_ptr<ConfigElement> directory = TRY(directories->create_element("virtualDirectory"));
        TRY(directory->set_attribute("path", "/"));
        TRY(directory->set_attribute("physicalPath", settings.physical_folder));
        TRY(directories->add(*directory));
        TRY(applications->add(*application));
    } else {
        if (TRY(applications->count()) == 0)
            return make_error(ErrorCode::not_found, "IIS site has no application");
        application = TRY(applications->item(0));
        directory_path = key;
    }

    if (!settings.application_pool.empty()) {
        TRY(application->set_attribute("applicationPool", settings.application_pool));
        TRY(add_application_pool(manager, settings.application_pool));
    }

    std::unique_ptr<ElementCollection> directories = TRY(application->collection());
    ItemSlot directory = TRY(find_or_create(*directories, "virtualDirectory", "path", directory_path));
    TRY(directory.element->set_attribute("path", directory_path));
    TRY(directory.element->set_attribute("physicalPath", settings.physical_folder));
    return add_if_new(*directories, directory);
}

Result<void> configure_folder(AdminManager& manager, std::string_view path, const FolderSettings& settings)
{
    TRY(set_section_attribute(manager, "system.webServer/handlers", path, "accessPolicy",
                              access_policy_text(settings.source_access, settings.read_access, settings.write_access,
                                                 settings.execute_permissions)));
    TRY(set_section_attribute(manager, "system.webServer/directoryBrowse", path, "enabled",
                              flag(settings.directory_browsing)));
    TRY(set_section_attribute(manager, "system.webServer/httpLogging", path, "dontLog", flag(!settings.log_visits)));

    std::unique_ptr<ConfigElement> default_document =
        TRY(manager.admin_section("system.webServer/defaultDocument", path));
    TRY(default_document->set_attribute("enabled", flag(settings.enable_default_document)));
    std::unique_ptr<ConfigElement> files_element = TRY(default_document->child("files"));
    std::unique_ptr<ElementCollection> files = TRY(files_element->collection());
    for (std::size_t count = TRY(files->count()); count > 0; --count)
        TRY(files->remove(count - 1));
    for (std::string_view document : split_commas(settings.default_documents)) {
        std::unique_ptr<ConfigElement> file = TRY(files->create_element("add"));
        TRY(file->set_attribute("value", document));
        TRY(files->add(*file));
    }

    std::unique_ptr<ConfigElement> static_content = TRY(manager.admin_section("system.webServer/staticContent", path));
    TRY(static_content->set_attribute("enableDocFooter", flag(!settings.footer.empty())));
    TRY(static_content->set_attribute("defaultDocFooter", settings.footer));
    if (!settings.mime_map.empty()) {
        std::unique_ptr<ElementCollection> mime_maps = TRY(static_content->collection());
        for (std::string_view entry : split_commas(settings.mime_map)) {
            std::size_t equals = entry.find('=');
            std::string_view extension = entry.substr(0, equals);
            std::string_view type = equals == std::string_view::npos ? std::string_view{} : entry.substr(equals + 1);
            std::unique_ptr<ConfigElement> mime_map = TRY(mime_maps->create_element("mimeMap"));
            TRY(mime_map->set_attribute("fileExtension", extension));
            TRY(mime_map->set_attribute("mimeType", type));
            TRY(mime_maps->add(*mime_map));
        }
    }

    TRY(set_section_attribute(manager, anonymous_section, path, "enabled", flag(settings.anonymous_authentication)));
    TRY(set_section_attribute(manager, windows_auth_section, path, "enabled", flag(settings.windows_authentication)));
    TRY(set_section_attribute(manager, basic_auth_section, path, "enabled", flag(settings.basic_authentication)));
    return {};
}

} // namespace

Result<std::string> get_site_list(ConfigStore& store)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    std::unique_ptr<ElementCollection> sites = TRY(site_collection(*manager));
    std::string list;
    std::size_t count = TRY(sites->count());
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<ConfigElement> site = TRY(sites->item(i));
        if (i > 0)
            list += list_separator;
        list += TRY(site->attribute("name"));
    }
    return list;
}

Result<std::int32_t> get_site_index(ConfigStore& store, std::string_view description)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    std::unique_ptr<ElementCollection> sites = TRY(site_collection(*manager));
    std::optional<FoundItem> found = TRY(find_item(*sites, "name", description));
    if (!found)
        return 0;
    std::optional<std::int32_t> id = parse_int32(TRY(found->element->attribute("id")));
    return id.value_or(0);
}

Result<std::string> get_property(ConfigStore& store, std::int32_t site, std::string_view folder, std::string_view name)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    Site found_site = TRY(open_site(*manager, site));
    std::string path = folder_config_path(found_site.name, folder);
    TRY(manager->set_commit_path(path));
    std::unique_ptr<ConfigElement> section = TRY(manager->admin_section(app_settings_section, path));
    std::unique_ptr<ElementCollection> settings = TRY(section->collection());
    std::optional<FoundItem> setting = TRY(find_item(*settings, "key", name));
    if (!setting)
        return make_error(ErrorCode::not_found, "IISProperty not found");
    return setting->element->attribute("value");
}

Result<void> set_property(ConfigStore& store, std::int32_t site, std::string_view folder, std::string_view name,
                          std::string_view value)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    Site found_site = TRY(open_site(*manager, site));
    std::string path = folder_config_path(found_site.name, folder);
    // The setting belongs to the site or folder itself, not to the server level.
    TRY(manager->set_commit_path(path));
    std::unique_ptr<ConfigElement> section = TRY(manager->admin_section(app_settings_section, path));
    std::unique_ptr<ElementCollection> settings = TRY(section->collection());
    std::optional<FoundItem> setting = TRY(find_item(*settings, "key", name));
    if (setting) {
        TRY(setting->element->set_attribute("value", value));
    } else {
        std::unique_ptr<ConfigElement> entry = TRY(settings->create_element("add"));
        TRY(entry->set_attribute("key", name));
        TRY(entry->set_attribute("value", value));
        TRY(settings->add(*entry));
    }
    return manager->commit();
}

Result<void> create_site(ConfigStore& store, const SiteSettings& settings)
{
    {
        std::unique_ptr<AdminManager> manager = TRY(store.open());
        std::optional<std::int32_t> index = parse_int32(settings.index_text);
        if (!index)
            index = TRY(next_free_site_index(*manager));

        std::unique_ptr<ElementCollection> sites = TRY(site_collection(*manager));
        std::optional<FoundItem> existing = TRY(find_site(*sites, *index));
        bool new_site = !existing;
        std::unique_ptr<ConfigElement> site;
        if (new_site)
            site = TRY(sites->create_element("site"));
        else
            site = std::move(existing->element);

        TRY(site->set_attribute("name", settings.description));
        TRY(site->set_attribute("id", std::to_string(*index)));
        TRY(set_site_root(*site, new_site, std::string(default_site_root) + settings.host_header));
        TRY(set_binding(*site, "http", settings, settings.tcp_port));
        TRY(set_binding(*site, "https", settings, settings.ssl_port));

        std::unique_ptr<ConfigElement> limits = TRY(site->child("limits"));
        std::string max_connections =
            settings.unlimited_connections ? std::string("-1") : std::to_string(settings.max_connections);
        TRY(limits->set_attribute("maxConnections", max_connections));
        TRY(limits->set_attribute("connectionTimeout", timeout_text(settings.connection_timeout)));

        std::unique_ptr<ConfigElement> log_file = TRY(site->child("logFile"));
        TRY(log_file->set_attribute("enabled", flag(settings.log_visits)));

        if (new_site)
            TRY(sites->add(*site));
        TRY(manager->commit());
    }

    // The site's own web server settings, at the path of its new name.
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    std::string path = site_path(settings.description);
    TRY(set_section_attribute(*manager, "system.webServer/httpProtocol", path, "allowKeepAlive",
                              flag(settings.keep_alive)));
    std::unique_ptr<ConfigElement> logging = TRY(manager->admin_section("system.webServer/httpLogging", path));
    TRY(logging->set_attribute("selectiveLogging", settings.log_visits ? "LogSuccessful" : "LogAll"));
    TRY(logging->set_attribute("dontLog", flag(!settings.log_visits)));
    return manager->commit();
}

Result<void> create_site_folder(ConfigStore& store, const FolderSettings& settings)
{
    std::string path;
    {
        std::unique_ptr<AdminManager> manager = TRY(store.open());
        Site site = TRY(open_site(*manager, settings.site));
        path = folder_config_path(site.name, settings.folder);
        TRY(place_folder(*manager, *site.element, settings));
        TRY(manager->commit());
    }
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    TRY(configure_folder(*manager, path, settings));
    return manager->commit();
}

Result<void> delete_site_folder(ConfigStore& store, std::int32_t site, std::string_view folder)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    Site found_site = TRY(open_site(*manager, site));
    std::string key = folder_key(folder);
    std::unique_ptr<ElementCollection> applications = TRY(found_site.element->collection());
    std::size_t count = TRY(applications->count());
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<ConfigElement> application = TRY(applications->item(i));
        if (TRY(application->name()) != "application")
            continue;
        Result<std::string> path = application->attribute("path");
        if (!path)
            return std::unexpected(std::move(path).error());
        if (*path == "/") {
            std::unique_ptr<ElementCollection> directories = TRY(application->collection());
            std::optional<FoundItem> directory = TRY(find_item(*directories, "path", key));
            if (directory) {
                TRY(directories->remove(directory->index));
                return manager->commit();
            }
        } else if (*path == key) {
            TRY(applications->remove(i));
            return manager->commit();
        }
    }
    return {};
}

Result<void> delete_site(ConfigStore& store, std::int32_t site)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    std::unique_ptr<ElementCollection> sites = TRY(site_collection(*manager));
    std::optional<FoundItem> found = TRY(find_site(*sites, site));
    if (!found)
        return {};
    TRY(sites->remove(found->index));
    return manager->commit();
}

std::vector<std::string_view> control_verbs(std::int32_t code)
{
    std::vector<std::string_view> verbs;
    if (code > 1)
        verbs.push_back("start");
    if (code == 1 || code == 2)
        verbs.push_back("stop");
    else if (code == 0 || code == 3)
        verbs.push_back("start");
    return verbs;
}

Result<void> control_site(ConfigStore& store, CommandTool& tool, std::int32_t site, std::int32_t code)
{
    std::string name;
    {
        std::unique_ptr<AdminManager> manager = TRY(store.open());
        name = TRY(open_site(*manager, site)).name;
    }
    // The tool's own answer is not judged: starting a running site reports an
    // error, and the codes 2 and 3 start a site that may already run.
    for (std::string_view verb : control_verbs(code))
        TRY(tool.run(std::string(verb) + " site \"" + name + "\""));
    return {};
}

Result<std::string> get_anonymous_user(ConfigStore& store)
{
    std::unique_ptr<AdminManager> manager = TRY(store.open());
    std::unique_ptr<ConfigElement> section = TRY(manager->admin_section(anonymous_section, apphost_path));
    return section->attribute("userName");
}

Result<std::int32_t> next_free_site_index(AdminManager& manager)
{
    std::unique_ptr<ElementCollection> sites = TRY(site_collection(manager));
    std::set<std::int64_t> taken;
    std::size_t count = TRY(sites->count());
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<ConfigElement> site = TRY(sites->item(i));
        if (std::optional<std::int64_t> id = parse_int64(TRY(site->attribute("id"))))
            taken.insert(*id);
    }
    std::int32_t index = 1;
    while (taken.contains(index))
        ++index;
    return index;
}

std::string timeout_text(std::int32_t seconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

std::string access_policy_text(bool source, bool read, bool write, std::int32_t execute_permissions)
{
    std::string text;
    auto append = [&](bool applies, std::string_view word) {
        if (!applies)
            return;
        if (!text.empty())
            text += ", ";
        text += word;
    };
    append(source, "Source");
    append(read, "Read");
    append(write, "Write");
    append(execute_permissions > 0, "Script");
    append(execute_permissions > 1, "Execute");
    return text;
}

} // namespace quillon::iis7
