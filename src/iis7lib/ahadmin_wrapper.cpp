// ahadmin_wrapper.dll: the exported functions over the IIS 7 operations. Each
// is a boundary: no exception leaves it, a failure inside returns 0, and an
// output is written only when the whole operation succeeded.
#include "iis7lib/ahadmin_wrapper_abi.h"
#include "iis7lib/iis7_operations.h"
#include "iis7lib/windows_store.h"
#include "platform/win32/com.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

using namespace quillon;
using namespace quillon::iis7;

namespace {

std::string text(const char* value)
{
    return value != nullptr ? std::string(value) : std::string();
}

// Runs one operation in the thread's apartment; 1 on success.
template <typename Operation>
int boundary(Operation&& operation) noexcept
{
    try {
        win32::ComApartment apartment;
        if (!apartment.usable())
            return 0;
        Result<void> result = operation();
        return result ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// The text, cut to fit with its terminating zero. Nothing can be delivered
// into a missing or empty buffer, which makes the call a failure.
Result<void> check_buffer(const char* buffer, int buffer_size)
{
    if (buffer == nullptr || buffer_size <= 0)
        return make_error(ErrorCode::out_of_range, "no output buffer");
    return {};
}

void write_text(char* buffer, int buffer_size, std::string_view value)
{
    std::size_t length = std::min(value.size(), static_cast<std::size_t>(buffer_size) - 1);
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
}

// Called with a buffer check_buffer accepted.
Result<void> deliver(char* buffer, int buffer_size, Result<std::string> value)
{
    if (!value)
        return std::unexpected(std::move(value).error());
    write_text(buffer, buffer_size, *value);
    return {};
}

} // namespace

extern "C" {

int WINAPI GetIISSiteList(char* buffer, int buffer_size) noexcept
{
    return boundary([&]() -> Result<void> {
        TRY(check_buffer(buffer, buffer_size));
        WindowsConfigStore store;
        return deliver(buffer, buffer_size, get_site_list(store));
    });
}

int WINAPI GetIISSiteIndex(const char* description, int* index) noexcept
{
    return boundary([&]() -> Result<void> {
        if (index == nullptr)
            return make_error(ErrorCode::out_of_range, "no output");
        WindowsConfigStore store;
        *index = TRY(get_site_index(store, text(description)));
        return {};
    });
}

int WINAPI GetIISProperty(int site, const char* folder, const char* name, char* buffer, int buffer_size) noexcept
{
    return boundary([&]() -> Result<void> {
        TRY(check_buffer(buffer, buffer_size));
        WindowsConfigStore store;
        return deliver(buffer, buffer_size, get_property(store, site, text(folder), text(name)));
    });
}

int WINAPI SetIISProperty(int site, const char* folder, const char* name, const char* value) noexcept
{
    return boundary([&]() -> Result<void> {
        WindowsConfigStore store;
        return set_property(store, site, text(folder), text(name), text(value));
    });
}

int WINAPI CreateIISSite(const char* description, const char* site_index, const char* ip_address,
                         const char* host_header, const char* tcp_port, const char* ssl_port, int connection_timeout,
                         BOOLEAN keep_alive, BOOLEAN log_visits, BOOLEAN /*enable_asp*/, BOOLEAN /*enable_exe*/,
                         BOOLEAN unlimited_connections, BOOLEAN /*unused_flag*/, int max_connections,
                         int /*server_size*/) noexcept
{
    return boundary([&]() -> Result<void> {
        SiteSettings settings;
        settings.description = text(description);
        settings.index_text = text(site_index);
        settings.ip_address = text(ip_address);
        settings.host_header = text(host_header);
        settings.tcp_port = text(tcp_port);
        settings.ssl_port = text(ssl_port);
        settings.connection_timeout = connection_timeout;
        settings.keep_alive = keep_alive != 0;
        settings.log_visits = log_visits != 0;
        settings.unlimited_connections = unlimited_connections != 0;
        settings.max_connections = max_connections;
        WindowsConfigStore store;
        return create_site(store, settings);
    });
}

int WINAPI CreateIISSiteFolder(const char* folder, int site, const char* physical_folder, BOOLEAN source_access,
                               BOOLEAN read_access, BOOLEAN write_access, BOOLEAN directory_browsing,
                               BOOLEAN log_visits, BOOLEAN /*index_resource*/, int isolation, int execute_permissions,
                               BOOLEAN enable_default_document, const char* default_documents, const char* footer,
                               BOOLEAN anonymous, BOOLEAN windows_auth, BOOLEAN basic_auth, const char* mime_map,
                               const char* application_pool) noexcept
{
    return boundary([&]() -> Result<void> {
        FolderSettings settings;
        settings.folder = text(folder);
        settings.site = site;
        settings.physical_folder = text(physical_folder);
        settings.source_access = source_access != 0;
        settings.read_access = read_access != 0;
        settings.write_access = write_access != 0;
        settings.directory_browsing = directory_browsing != 0;
        settings.log_visits = log_visits != 0;
        settings.isolation = isolation;
        settings.execute_permissions = execute_permissions;
        settings.enable_default_document = enable_default_document != 0;
        settings.default_documents = text(default_documents);
        settings.footer = text(footer);
        settings.anonymous_authentication = anonymous != 0;
        settings.windows_authentication = windows_auth != 0;
        settings.basic_authentication = basic_auth != 0;
        settings.mime_map = text(mime_map);
        settings.application_pool = text(application_pool);
        WindowsConfigStore store;
        return create_site_folder(store, settings);
    });
}

int WINAPI DeleteIISSiteFolder(int site, const char* folder) noexcept
{
    return boundary([&]() -> Result<void> {
        WindowsConfigStore store;
        return delete_site_folder(store, site, text(folder));
    });
}

int WINAPI DeleteIISSite(int site) noexcept
{
    return boundary([&]() -> Result<void> {
        WindowsConfigStore store;
        return delete_site(store, site);
    });
}

int WINAPI ControlIISSite(int site, int code) noexcept
{
    return boundary([&]() -> Result<void> {
        WindowsConfigStore store;
        AppCmdTool tool;
        return control_site(store, tool, site, code);
    });
}

int WINAPI GetIISAnonUser(char* buffer, int buffer_size) noexcept
{
    return boundary([&]() -> Result<void> {
        TRY(check_buffer(buffer, buffer_size));
        WindowsConfigStore store;
        return deliver(buffer, buffer_size, get_anonymous_user(store));
    });
}

} // extern "C"

// The definitions above must fit the interface the engine calls through.
static_assert(std::is_convertible_v<decltype(&GetIISSiteList), abi::GetIISSiteListFunction>);
static_assert(std::is_convertible_v<decltype(&GetIISSiteIndex), abi::GetIISSiteIndexFunction>);
static_assert(std::is_convertible_v<decltype(&GetIISProperty), abi::GetIISPropertyFunction>);
static_assert(std::is_convertible_v<decltype(&SetIISProperty), abi::SetIISPropertyFunction>);
static_assert(std::is_convertible_v<decltype(&CreateIISSite), abi::CreateIISSiteFunction>);
static_assert(std::is_convertible_v<decltype(&CreateIISSiteFolder), abi::CreateIISSiteFolderFunction>);
static_assert(std::is_convertible_v<decltype(&DeleteIISSiteFolder), abi::DeleteIISSiteFolderFunction>);
static_assert(std::is_convertible_v<decltype(&DeleteIISSite), abi::DeleteIISSiteFunction>);
static_assert(std::is_convertible_v<decltype(&ControlIISSite), abi::ControlIISSiteFunction>);
static_assert(std::is_convertible_v<decltype(&GetIISAnonUser), abi::GetIISAnonUserFunction>);
