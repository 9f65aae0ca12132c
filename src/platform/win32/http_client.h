// One HTTP(S) GET through WinHTTP: redirects followed, chunked bodies, TLS,
// an optional proxy with basic authentication, time-outs, a byte range. The
// caller decides from the answer's head where its body goes, and takes the
// body in blocks; answering false from either stops the transfer.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::win32 {

struct HttpRequest {
    std::string url;                        // http:// or https://, 8-bit
    std::optional<std::uint64_t> range_from; // "Range: bytes=N-"
    std::string proxy;                      // "host" or "host:port"; empty for a direct connection
    std::string proxy_user;
    std::string proxy_password;
    std::string user; // the server's basic authentication
    std::string password;
    std::uint32_t timeout_ms = 10000; // connect, send and receive
};

struct HttpHead {
    int status = 0;
    std::optional<std::uint64_t> content_length;
    std::optional<std::uint64_t> range_start; // of "Content-Range: bytes S-E/T"
    std::optional<std::uint64_t> range_total; // T, unless it is "*"
};

using HeadHandler = std::function<bool(const HttpHead& head)>;
using BodyHandler = std::function<bool(std::string_view block)>;

// The answer's head; ErrorCode::cancelled when a handler stopped the
// transfer, ErrorCode::win32 when WinHTTP failed (the connection broke, a
// time-out, a name that does not resolve).
Result<HttpHead> http_get(const HttpRequest& request, const HeadHandler& on_head, const BodyHandler& on_body);

// "bytes 7952-49999/50000": the start and the total (nothing for "*").
bool parse_content_range(std::string_view value, std::uint64_t& start, std::optional<std::uint64_t>& total);

} // namespace quillon::win32
