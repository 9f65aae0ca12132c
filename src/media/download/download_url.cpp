#include "media/download/download_url.h"

#include "media/download/http_download.h"
#include "media/download/light_download.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace quillon::download {

namespace {

// Cleared for the rest of the process once the system's download functions
// turned out to be missing: every later download goes through HTTP.
std::atomic<bool> light_usable{true};

// The browser-cache copy of the last light-weight download, deleted before a
// fresh (not resumed) download so that a stale copy is never taken again.
std::mutex cache_mutex;
std::string last_cache_file;

Result<void> through_http(const UrlDownload& d)
{
    HttpDownload http;
    http.location = d.location;
    http.target = d.target;
    http.resume = d.resume;
    http.proxy = d.proxy_server;
    http.proxy_user = d.proxy_user;
    http.proxy_password = d.proxy_password;
    http.proxy_port = d.proxy_port;
    http.timeout_ms =
        static_cast<std::uint32_t>(d.timeout_seconds > 0 ? d.timeout_seconds : default_receive_timeout) * 1000;
    http.progress = d.progress;
    http.texts = d.texts;
    return DownloadWithHttp(http);
}

} // namespace

Transport current_transport()
{
    return light_usable ? Transport::light : Transport::http;
}

Result<void> DownloadUrl(const UrlDownload& d)
{
    if (light_usable && !LightTransportAvailable())
        light_usable = false;
    if (!light_usable)
        return through_http(d);
    {
        std::lock_guard lock(cache_mutex);
        if (!d.resume && !last_cache_file.empty())
            DeleteFileW(win32::to_wide(last_cache_file).c_str());
    }
    LightDownload light;
    light.location = d.location;
    light.target = d.target;
    light.timeout_seconds = d.timeout_seconds;
    light.progress = d.progress;
    light.texts = d.texts;
    std::string cache_file;
    Result<void> done = DownloadWithUrlmon(light, &cache_file);
    if (!cache_file.empty()) {
        std::lock_guard lock(cache_mutex);
        last_cache_file = cache_file;
    }
    // The system refused the credentials of this location (as Wine does):
    // the HTTP client carries them instead.
    if (!done && done.error().code == ErrorCode::unsupported)
        return through_http(d);
    return done;
}

} // namespace quillon::download
