// The HTTP transport of a download on Windows: one location into the target
// file through WinHTTP, resumed from the bytes a broken download left when
// asked, with progress and cancel. What it decides comes from download_rules.
#pragma once

#include "base/error.h"
#include "media/download/download_rules.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quillon::download {

struct HttpDownload {
    std::string location;
    std::string target;
    bool resume = false;
    std::string proxy; // host; empty for a direct connection
    std::string proxy_user;
    std::string proxy_password;
    int proxy_port = 0;
    std::uint32_t timeout_ms = default_receive_timeout * 1000;
    // Answers false to cancel; called as the body arrives (paced by time, see
    // ReportPace) and for its last block.
    std::function<bool(int percentage, const std::string& text)> progress;
    ProgressTexts texts;
};

// The target holds the whole file afterwards, or the download failed:
// ErrorCode::not_found for an answer of 400 or more, ErrorCode::cancelled,
// ErrorCode::corrupt when the body was shorter or longer than announced,
// ErrorCode::win32 or io otherwise. A failed download keeps what it received,
// so that a later one can resume it.
Result<void> DownloadWithHttp(const HttpDownload& download);

} // namespace quillon::download
