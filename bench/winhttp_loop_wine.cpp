// The fastest the platform lets a program read an HTTP body under Wine, to
// set the download transport's figures against (./run bench runs it in the
// same run as curl and our transports):
//   winhttp_loop_wine.exe URL TARGET [ROUNDS [ONLY]]
// Plain WinHTTP read loops with several buffer sizes, with and without
// WinHttpQueryDataAvailable, with and without writing the body to TARGET;
// a plain Winsock loop over the same request (the floor below WinHTTP); and
// the file writes alone; the body in four ranges over four connections at
// once. Each figure is the best of ROUNDS rounds (3 unless given), printed as
// "name seconds s cpu user U kernel K[, average bytes per read]" (the
// processor time of the process, see process_cpu.h); ONLY picks the figures whose
// name holds it.
#include <winsock2.h> // before windows.h, which brings the older winsock.h

#include "process_cpu.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace quillon;

struct Api {
    decltype(&WinHttpOpen) open = nullptr;
    decltype(&WinHttpConnect) connect = nullptr;
    decltype(&WinHttpOpenRequest) open_request = nullptr;
    decltype(&WinHttpSendRequest) send_request = nullptr;
    decltype(&WinHttpReceiveResponse) receive_response = nullptr;
    decltype(&WinHttpQueryDataAvailable) query_data_available = nullptr;
    decltype(&WinHttpReadData) read_data = nullptr;
    decltype(&WinHttpCloseHandle) close_handle = nullptr;
};

struct Location {
    std::string host;
    int port = 80;
    std::string path;
};

// "http://host:port/path" only: the benchmark's own server.
Location parse(const std::string& url)
{
    Location l;
    std::string rest = url.substr(url.find("://") + 3);
    std::size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    l.path = slash == std::string::npos ? "/" : rest.substr(slash);
    std::size_t colon = authority.find(':');
    l.host = authority.substr(0, colon);
    if (colon != std::string::npos)
        l.port = std::stoi(authority.substr(colon + 1));
    return l;
}

struct Round {
    bool ok = false;
    std::uint64_t bytes = 0;
    std::uint64_t reads = 0;
};

int rounds = 3;
std::string only; // runs only the figures whose name holds it

bool wanted(const char* name)
{
    return only.empty() || std::string(name).find(only) != std::string::npos;
}

template <typename Run>
void report(const char* name, Run run)
{
    if (!wanted(name))
        return;
    double best = 1e9;
    bench::ProcessCpu least{1e9, 1e9};
    Round last;
    for (int round = 0; round < rounds; ++round) {
        bench::ProcessCpu before = bench::process_cpu();
        auto start = std::chrono::steady_clock::now();
        last = run();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bench::ProcessCpu after = bench::process_cpu();
        if (!last.ok) {
            std::printf("%s failed\n", name);
            return;
        }
        best = std::min(best, seconds);
        least.user = std::min(least.user, after.user - before.user);
        least.kernel = std::min(least.kernel, after.kernel - before.kernel);
    }
    std::printf("%s %.3f s cpu user %.3f kernel %.3f", name, best, least.user, least.kernel);
    if (last.reads != 0)
        std::printf(", %llu bytes per read", static_cast<unsigned long long>(last.bytes / last.reads));
    std::printf("\n");
    std::fflush(stdout);
}

class Session {
public:
    explicit Session(const Api& api) : m_api(api) {}
    ~Session()
    {
        for (HINTERNET h : {m_request, m_connection, m_session})
            if (h != nullptr)
                m_api.close_handle(h);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool start(const Location& l, const std::wstring& headers = {})
    {
        m_session =
            m_api.open(L"bench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (m_session == nullptr)
            return false;
        m_connection = m_api.connect(m_session, win32::to_wide(l.host).c_str(), static_cast<INTERNET_PORT>(l.port), 0);
        if (m_connection == nullptr)
            return false;
        m_request = m_api.open_request(m_connection, L"GET", win32::to_wide(l.path).c_str(), nullptr,
                                       WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
        return m_request != nullptr &&
               m_api.send_request(m_request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                  static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
               m_api.receive_response(m_request, nullptr);
    }
    HINTERNET request() const { return m_request; }

private:
    const Api& m_api;
    HINTERNET m_session = nullptr;
    HINTERNET m_connection = nullptr;
    HINTERNET m_request = nullptr;
};

Round winhttp_loop(const Api& api, const Location& l, std::size_t buffer_size, bool ask_available, HANDLE file)
{
    Round r;
    Session s(api);
    if (!s.start(l))
        return r;
    std::vector<char> buffer(buffer_size);
    for (;;) {
        DWORD want = static_cast<DWORD>(buffer.size());
        if (ask_available) {
            DWORD available = 0;
            if (!api.query_data_available(s.request(), &available))
                return r;
            if (available == 0)
                break;
            want = std::min(want, available);
        }
        DWORD got = 0;
        if (!api.read_data(s.request(), buffer.data(), want, &got))
            return r;
        if (got == 0)
            break;
        ++r.reads;
        r.bytes += got;
        DWORD written = 0;
        if (file != INVALID_HANDLE_VALUE && !WriteFile(file, buffer.data(), got, &written, nullptr))
            return r;
    }
    r.ok = r.bytes > 0;
    return r;
}

// The body in parts, each a range over a connection of its own on a thread of
// its own: whether several connections get past one connection's bound.
struct Part {
    const Api* api = nullptr;
    const Location* location = nullptr;
    std::uint64_t from = 0;
    std::uint64_t to = 0; // inclusive
    Round round;
};

DWORD WINAPI read_part(void* context)
{
    Part& part = *static_cast<Part*>(context);
    Session s(*part.api);
    std::wstring range = L"Range: bytes=" + std::to_wstring(part.from) + L"-" + std::to_wstring(part.to) + L"\r\n";
    if (!s.start(*part.location, range))
        return 1;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        DWORD got = 0;
        if (!part.api->read_data(s.request(), buffer.data(), static_cast<DWORD>(buffer.size()), &got))
            return 1;
        if (got == 0)
            break;
        ++part.round.reads;
        part.round.bytes += got;
    }
    part.round.ok = part.round.bytes == part.to - part.from + 1;
    return 0;
}

Round winhttp_ranges(const Api& api, const Location& l, std::uint64_t size, int count)
{
    std::vector<Part> parts(static_cast<std::size_t>(count));
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i) {
        Part& part = parts[static_cast<std::size_t>(i)];
        part.api = &api;
        part.location = &l;
        part.from = size * static_cast<std::uint64_t>(i) / static_cast<std::uint64_t>(count);
        part.to = size * static_cast<std::uint64_t>(i + 1) / static_cast<std::uint64_t>(count) - 1;
        threads.push_back(CreateThread(nullptr, 0, read_part, &part, 0, nullptr));
    }
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    Round r;
    r.ok = true;
    for (HANDLE thread : threads)
        CloseHandle(thread);
    for (const Part& part : parts) {
        r.ok = r.ok && part.round.ok;
        r.bytes += part.round.bytes;
        r.reads += part.round.reads;
    }
    return r;
}

Round socket_loop(const Location& l, std::size_t buffer_size)
{
    Round r;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return r;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(l.port));
    address.sin_addr.s_addr = inet_addr(l.host.c_str());
    std::string request = "GET " + l.path + " HTTP/1.0\r\nHost: " + l.host + "\r\n\r\n";
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
        closesocket(s);
        return r;
    }
    std::vector<char> buffer(buffer_size);
    for (;;) {
        int got = recv(s, buffer.data(), static_cast<int>(buffer.size()), 0);
        if (got <= 0)
            break;
        ++r.reads;
        r.bytes += static_cast<std::uint64_t>(got);
    }
    closesocket(s);
    r.ok = r.bytes > 0;
    return r;
}

Round write_only(const std::wstring& target, std::size_t block, std::uint64_t total)
{
    Round r;
    win32::UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return r;
    std::vector<char> buffer(block, 'x');
    while (r.bytes < total) {
        DWORD written = 0;
        if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(block), &written, nullptr))
            return r;
        r.bytes += written;
        ++r.reads;
    }
    r.ok = true;
    r.reads = 0;
    return r;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: winhttp_loop_wine URL TARGET [ROUNDS [ONLY]]\n", stderr);
        return 2;
    }
    if (argc > 3)
        rounds = std::max(1, _wtoi(argv[3]));
    if (argc > 4)
        only = quillon::win32::to_ansi(argv[4]);
    Location l = parse(win32::to_ansi(argv[1]));
    std::wstring target = argv[2];
    Result<win32::UniqueHmodule> module = win32::load_system_library(L"winhttp.dll");
    if (!module) {
        std::fputs("no winhttp.dll\n", stderr);
        return 1;
    }
    HMODULE m = module->get();
    Api api;
    api.open = win32::proc<decltype(&WinHttpOpen)>(m, "WinHttpOpen");
    api.connect = win32::proc<decltype(&WinHttpConnect)>(m, "WinHttpConnect");
    api.open_request = win32::proc<decltype(&WinHttpOpenRequest)>(m, "WinHttpOpenRequest");
    api.send_request = win32::proc<decltype(&WinHttpSendRequest)>(m, "WinHttpSendRequest");
    api.receive_response = win32::proc<decltype(&WinHttpReceiveResponse)>(m, "WinHttpReceiveResponse");
    api.query_data_available = win32::proc<decltype(&WinHttpQueryDataAvailable)>(m, "WinHttpQueryDataAvailable");
    api.read_data = win32::proc<decltype(&WinHttpReadData)>(m, "WinHttpReadData");
    api.close_handle = win32::proc<decltype(&WinHttpCloseHandle)>(m, "WinHttpCloseHandle");

    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    HANDLE no_file = INVALID_HANDLE_VALUE;
    for (std::size_t size : {8u << 10, 64u << 10, 1u << 20}) {
        std::string name = "winhttp-read-" + std::to_string(size >> 10) + "k";
        report(name.c_str(), [&] { return winhttp_loop(api, l, size, false, no_file); });
    }
    report("winhttp-available-then-read-64k", [&] { return winhttp_loop(api, l, 64 << 10, true, no_file); });
    for (std::size_t size : {64u << 10, 1u << 20}) {
        std::string name = "winhttp-read-" + std::to_string(size >> 10) + "k-and-write";
        report(name.c_str(), [&] {
            win32::UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
            return file ? winhttp_loop(api, l, size, false, file.get()) : Round{};
        });
    }
    if (wanted("winhttp-4-ranges-in-parallel")) {
        Round whole = winhttp_loop(api, l, 1 << 20, false, no_file);
        report("winhttp-4-ranges-in-parallel", [&] { return winhttp_ranges(api, l, whole.bytes, 4); });
    }
    for (std::size_t size : {8u << 10, 1u << 20}) {
        std::string name = "winsock-recv-" + std::to_string(size >> 10) + "k";
        report(name.c_str(), [&] { return socket_loop(l, size); });
    }
    report("write-only-64k-blocks", [&] { return write_only(target, 64 << 10, 200000000); });
    report("write-only-1024k-blocks", [&] { return write_only(target, 1 << 20, 200000000); });
    DeleteFileW(target.c_str());
    WSACleanup();
    return 0;
}
