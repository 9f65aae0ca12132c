#include "platform/win32/http_client.h"

#include "base/strings.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <winhttp.h>

#include <algorithm>

namespace quillon::win32 {

namespace {

// winhttp.dll is no KnownDLL: it comes from the system folder at run time.
struct WinHttp {
    UniqueHmodule module;
    decltype(&WinHttpOpen) open = nullptr;
    decltype(&WinHttpConnect) connect = nullptr;
    decltype(&WinHttpOpenRequest) open_request = nullptr;
    decltype(&WinHttpSetTimeouts) set_timeouts = nullptr;
    decltype(&WinHttpSetCredentials) set_credentials = nullptr;
    decltype(&WinHttpSendRequest) send_request = nullptr;
    decltype(&WinHttpReceiveResponse) receive_response = nullptr;
    decltype(&WinHttpQueryHeaders) query_headers = nullptr;
    decltype(&WinHttpReadData) read_data = nullptr;
    decltype(&WinHttpCloseHandle) close_handle = nullptr;
    decltype(&WinHttpCrackUrl) crack_url = nullptr;
};

Result<const WinHttp*> winhttp()
{
    static WinHttp functions;
    static bool loaded = false;
    if (loaded)
        return &functions;
    Result<UniqueHmodule> module = load_system_library(L"winhttp.dll");
    if (!module)
        return std::unexpected(module.error());
    HMODULE m = module->get();
    functions.open = proc<decltype(&WinHttpOpen)>(m, "WinHttpOpen");
    functions.connect = proc<decltype(&WinHttpConnect)>(m, "WinHttpConnect");
    functions.open_request = proc<decltype(&WinHttpOpenRequest)>(m, "WinHttpOpenRequest");
    functions.set_timeouts = proc<decltype(&WinHttpSetTimeouts)>(m, "WinHttpSetTimeouts");
    functions.set_credentials = proc<decltype(&WinHttpSetCredentials)>(m, "WinHttpSetCredentials");
    functions.send_request = proc<decltype(&WinHttpSendRequest)>(m, "WinHttpSendRequest");
    functions.receive_response = proc<decltype(&WinHttpReceiveResponse)>(m, "WinHttpReceiveResponse");
    functions.query_headers = proc<decltype(&WinHttpQueryHeaders)>(m, "WinHttpQueryHeaders");
    functions.read_data = proc<decltype(&WinHttpReadData)>(m, "WinHttpReadData");
    functions.close_handle = proc<decltype(&WinHttpCloseHandle)>(m, "WinHttpCloseHandle");
    functions.crack_url = proc<decltype(&WinHttpCrackUrl)>(m, "WinHttpCrackUrl");
    if (!functions.open || !functions.connect || !functions.open_request || !functions.set_timeouts ||
        !functions.set_credentials || !functions.send_request || !functions.receive_response ||
        !functions.query_headers || !functions.read_data || !functions.close_handle || !functions.crack_url)
        return make_error(ErrorCode::unsupported, "winhttp.dll lacks a function the downloader needs");
    functions.module = std::move(*module);
    loaded = true;
    return &functions;
}

class Handle {
public:
    Handle(const WinHttp& api, HINTERNET handle) : m_api(api), m_handle(handle) {}
    ~Handle()
    {
        if (m_handle != nullptr)
            m_api.close_handle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    const WinHttp& m_api;
    HINTERNET m_handle;
};

// Wine's WinHttpReadData returns only once the whole buffer is filled or the
// body has ended: reads of at most 64 KB keep progress and a cancel heard on
// a slow link. The size costs nothing on a fast one; Wine reads the socket in
// 8 KB pieces whatever is asked (docs/wine.md).
constexpr std::size_t max_read = 64 * 1024;

std::unexpected<Error> failure(const std::string& what)
{
    DWORD code = GetLastError();
    return make_error(ErrorCode::win32, what + " (WinHTTP error " + std::to_string(code) + ")", code);
}

std::optional<std::wstring> header(const WinHttp& api, HINTERNET request, DWORD which)
{
    DWORD size = 0;
    api.query_headers(request, which, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!api.query_headers(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size, WINHTTP_NO_HEADER_INDEX))
        return std::nullopt;
    value.resize(size / sizeof(wchar_t));
    return value;
}

std::optional<std::uint64_t> number(const std::optional<std::wstring>& text)
{
    if (!text)
        return std::nullopt;
    std::optional<std::int64_t> value = parse_int64(to_ansi(*text));
    if (!value || *value < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(*value);
}

} // namespace

bool parse_content_range(std::string_view value, std::uint64_t& start, std::optional<std::uint64_t>& total)
{
    if (!value.starts_with("bytes "))
        return false;
    value.remove_prefix(6);
    std::size_t dash = value.find('-');
    std::size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash)
        return false;
    std::optional<std::int64_t> first = parse_int64(value.substr(0, dash));
    if (!first || *first < 0)
        return false;
    start = static_cast<std::uint64_t>(*first);
    std::string_view whole = value.substr(slash + 1);
    total.reset();
    if (whole != "*") {
        std::optional<std::int64_t> size = parse_int64(whole);
        if (!size || *size < 0)
            return false;
        total = static_cast<std::uint64_t>(*size);
    }
    return true;
}

Result<HttpHead> http_get(const HttpRequest& request, const HeadHandler& on_head, BodySink& body)
{
    const WinHttp& api = *TRY(winhttp());
    std::wstring url = to_wide(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!api.crack_url(url.c_str(), 0, 0, &parts))
        return make_error(ErrorCode::parse, "Not a download location: " + request.url);
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";

    std::wstring proxy = to_wide(request.proxy);
    Handle session(api, api.open(L"Mozilla/3.0 (compatible)",
                                 proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                 proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return failure("Cannot open an HTTP session");
    int timeout = static_cast<int>(request.timeout_ms);
    api.set_timeouts(session.get(), timeout, timeout, timeout, timeout);
    Handle connection(api, api.connect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection)
        return failure("Cannot connect to " + to_ansi(host));
    DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    static const wchar_t* const accept[] = {L"*/*", nullptr};
    Handle http(api, api.open_request(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      const_cast<const wchar_t**>(accept), flags));
    if (!http)
        return failure("Cannot open the request for " + request.url);
    if (!request.proxy_user.empty())
        api.set_credentials(http.get(), WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC,
                            to_wide(request.proxy_user).c_str(), to_wide(request.proxy_password).c_str(), nullptr);
    if (!request.user.empty())
        api.set_credentials(http.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                            to_wide(request.user).c_str(), to_wide(request.password).c_str(), nullptr);
    std::wstring headers;
    if (request.range_from)
        headers = L"Range: bytes=" + std::to_wstring(*request.range_from) + L"-\r\n";
    if (!api.send_request(http.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return failure("Cannot send the request for " + request.url);
    if (!api.receive_response(http.get(), nullptr))
        return failure("No answer for " + request.url);

    HttpHead head;
    head.status = static_cast<int>(number(header(api, http.get(), WINHTTP_QUERY_STATUS_CODE)).value_or(0));
    head.content_length = number(header(api, http.get(), WINHTTP_QUERY_CONTENT_LENGTH));
    if (std::optional<std::wstring> range = header(api, http.get(), WINHTTP_QUERY_CONTENT_RANGE)) {
        std::uint64_t start = 0;
        std::optional<std::uint64_t> total;
        if (parse_content_range(to_ansi(*range), start, total)) {
            head.range_start = start;
            head.range_total = total;
        }
    }
    if (!on_head(head))
        return make_error(ErrorCode::cancelled, "The download was stopped");

    for (;;) {
        std::span<char> space = body.space();
        DWORD got = 0;
        if (!api.read_data(http.get(), space.data(), static_cast<DWORD>(std::min(space.size(), max_read)), &got))
            return failure("The transfer of " + request.url + " broke off");
        if (got == 0)
            return head;
        if (!body.filled(got))
            return make_error(ErrorCode::cancelled, "The download was stopped");
    }
}

} // namespace quillon::win32
