// The operations of the IIS 7 library on a configuration store: sites, their
// virtual folders, application settings and start/stop through the
// command-line tool. Each operation opens its own manager(s) and commits where
// it changes something; what it did not commit before a failure is lost.
#pragma once

#include "iis7lib/config_store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::iis7 {

inline constexpr std::string_view apphost_path = "MACHINE/WEBROOT/APPHOST";
// Joins the names of the site list.
inline constexpr std::string_view list_separator = "$NEWLINE$";

// The names of all sites in collection order, joined with "$NEWLINE$".
Result<std::string> get_site_list(ConfigStore& store);

// The id of the first site of that name; 0 when there is none.
Result<std::int32_t> get_site_index(ConfigStore& store, std::string_view description);

// An application setting ("appSettings" key and value) of a site or one of its folders.
Result<std::string> get_property(ConfigStore& store, std::int32_t site, std::string_view folder, std::string_view name);
Result<void> set_property(ConfigStore& store, std::int32_t site, std::string_view folder, std::string_view name,
                          std::string_view value);

struct SiteSettings {
    std::string description;
    std::string index_text; // a number, or anything else for the next free index
    std::string ip_address;
    std::string host_header;
    std::string tcp_port;
    std::string ssl_port;
    std::int32_t connection_timeout = 0; // seconds
    bool keep_alive = false;
    bool log_visits = false;
    bool unlimited_connections = false;
    std::int32_t max_connections = 0;
};

// Creates the site, or updates the site of that index.
Result<void> create_site(ConfigStore& store, const SiteSettings& settings);

struct FolderSettings {
    std::string folder; // below the site's root, "/" separated, no leading "/"
    std::int32_t site = 0;
    std::string physical_folder;
    bool source_access = false;
    bool read_access = false;
    bool write_access = false;
    bool directory_browsing = false;
    bool log_visits = false;
    std::int32_t isolation = 0;          // 0: part of the root application; else an application of its own
    std::int32_t execute_permissions = 0; // 0 none, 1 scripts, 2 scripts and executables
    bool enable_default_document = false;
    std::string default_documents; // comma-separated
    std::string footer;
    bool anonymous_authentication = false;
    bool windows_authentication = false;
    bool basic_authentication = false;
    std::string mime_map; // "ext=type" entries, comma-separated
    std::string application_pool;
};

Result<void> create_site_folder(ConfigStore& store, const FolderSettings& settings);
Result<void> delete_site_folder(ConfigStore& store, std::int32_t site, std::string_view folder);
// Removes the site of that id; no such site changes nothing.
Result<void> delete_site(ConfigStore& store, std::int32_t site);

// Starts and stops the site through the command-line tool: 0 start, 1 stop,
// 2 start then stop, 3 start twice, above 3 start, below 0 nothing.
Result<void> control_site(ConfigStore& store, CommandTool& tool, std::int32_t site, std::int32_t code);
// The verbs ("start", "stop") a control code runs, in order.
std::vector<std::string_view> control_verbs(std::int32_t code);

// The user name of anonymous authentication at the server level.
Result<std::string> get_anonymous_user(ConfigStore& store);

// The smallest id from 1 up that no site has.
Result<std::int32_t> next_free_site_index(AdminManager& manager);

// Seconds as hours:minutes:seconds, each at least two digits ("01:02:05", "100:00:00").
std::string timeout_text(std::int32_t seconds);

// The access words of a folder's handlers ("Source, Read, Script"), empty when none applies.
std::string access_policy_text(bool source, bool read, bool write, std::int32_t execute_permissions);

} // namespace quillon::iis7
