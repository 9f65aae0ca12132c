// DownloadUrl: one location of a web media block into its archive file,
// through the light-weight transport while the system offers it, else
// through the HTTP client (which can resume a broken download).
#pragma once

#include "base/error.h"
#include "media/download/download_rules.h"

#include <functional>
#include <string>

namespace quillon::download {

struct UrlDownload {
    std::string location;
    std::string target;
    std::string proxy_server;
    std::function<bool(int percentage, const std::string& text)> progress;
    bool resume = false;
    std::string proxy_password;
    std::string proxy_user;
    int proxy_port = 0;
    int timeout_seconds = default_receive_timeout;
    ProgressTexts texts;
};

// Which transport the next download takes.
enum class Transport { light, http };
Transport current_transport();

Result<void> DownloadUrl(const UrlDownload& download);

} // namespace quillon::download
