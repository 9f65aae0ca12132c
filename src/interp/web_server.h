// The local web server (IIS) as the script asks about it. Two back ends
// answer the same questions: the administration objects of IIS 6 and older
// (ADSI) and, for IIS 7 and later, the engine's own configuration library.
// Which one serves is decided here from the version the server registers; the
// engine carries the answer out on Windows, tests give a fake.
#pragma once

#include "interp/system_information.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

class TScriptExecutor;

enum class WebServerBackEnd : std::uint8_t { adsi, iis7_library };

// Where a question goes: the back end, the host the ADSI objects are asked on
// (the IIS 7 library works on the local machine only), and the support folder
// the library is written into on its first use in the process.
struct WebServerTarget {
    WebServerBackEnd back_end = WebServerBackEnd::adsi;
    std::string host;
    std::string support_folder;
};

class WebServer {
public:
    virtual ~WebServer() = default;
    // The account anonymous visitors run as; the empty text on any failure.
    virtual std::string anonymous_user(const WebServerTarget& target) = 0;
};

// Where the web server registers its version and folders.
inline constexpr std::string_view web_server_key = "SOFTWARE\\Microsoft\\InetStp";

// MajorVersion * 10 + MinorVersion of the installed web server, read with the
// plain access of a 32-bit engine; nothing when either value is missing.
std::optional<std::uint64_t> web_server_level(SystemInformation& machine);

// IIS 7.0 and later (a level above 69) is served by the library, anything else
// (no web server registered too) by ADSI.
WebServerBackEnd web_server_back_end(std::optional<std::uint64_t> level);

// The first site number n = 1, 2, ... for which no site exists; -1 when none
// is free up to last_site_index (a server that claims every number would
// otherwise keep the loop going for ever).
inline constexpr std::int32_t last_site_index = 1'000'000;
std::int32_t first_free_site_index(const std::function<bool(std::int32_t)>& site_exists);

// The target of a command of the run: the back end chosen now, the host from
// IISHOST, the support folder from SUPPORTDIR.
WebServerTarget web_server_target(TScriptExecutor& executor);

} // namespace quillon
