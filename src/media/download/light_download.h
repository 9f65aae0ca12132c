// The light-weight transport of a download on Windows: the system's URL
// moniker service (urlmon) fetches the location into the browser cache and the
// file is copied to the target. The receive time-out is set in the user's
// Internet settings for the length of the download and put back afterwards;
// credentials in the location are set process-wide through wininet.
#pragma once

#include "base/error.h"
#include "media/download/download_rules.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillon::download {

struct LightDownload {
    std::string location;
    std::string target;
    int timeout_seconds = default_receive_timeout; // 0 leaves the Internet settings alone
    std::function<bool(int percentage, const std::string& text)> progress;
    ProgressTexts texts;
};

// Whether urlmon.dll with its two download functions can be had.
bool LightTransportAvailable();

// ErrorCode::unsupported when the location carries credentials and the system
// cannot take them (wininet or InternetSetOptionA missing, or the options
// refused): the caller fetches that location over HTTP instead.
// ErrorCode::cancelled after a cancel; ErrorCode::corrupt when the copy is not
// as long as the announced size; otherwise ErrorCode::win32 with the failure.
// The browser-cache file goes to cache_file when one was made.
Result<void> DownloadWithUrlmon(const LightDownload& download, std::string* cache_file = nullptr);

} // namespace quillon::download
