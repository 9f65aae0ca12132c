// One HTTP(S) GET through WinHTTP: redirects followed, chunked bodies, TLS,
// an optional proxy with basic authentication, time-outs, a byte range. The
// caller decides from the answer's head where its body goes, and offers the
// space each read of the body goes into; answering false stops the transfer.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
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

// Where the body goes. The client reads straight into the space the sink
// offers, so a block is not copied again on its way to a file.
class BodySink {
public:
    virtual ~BodySink() = default;
    // Where the next read goes; never empty.
    virtual std::span<char> space() = 0;
    // The last read put this many bytes at the start of the space; false stops the transfer.
    virtual bool filled(std::size_t bytes) = 0;
};

// The answer's head; ErrorCode::cancelled when a handler stopped the
// transfer, ErrorCode::win32 when WinHTTP failed (the connection broke, a
// time-out, a name that does not resolve).
Result<HttpHead> http_get(const HttpRequest& request, const HeadHandler& on_head, BodySink& body);

// "bytes 7952-49999/50000": the start and the total (nothing for "*").
bool parse_content_range(std::string_view value, std::uint64_t& start, std::optional<std::uint64_t>& total);

} // namespace quillon::win32
