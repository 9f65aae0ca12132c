// The fastest the system's URL moniker service (urlmon) fetches a file under
// Wine, to set the light-weight transport's figures against (./run bench runs
// it in the same run as curl and our transports):
//   urlmon_loop_wine.exe URL TARGET [ROUNDS]
// URLDownloadToCacheFileA without a status callback, the same followed by the
// copy of the cache file to TARGET, URLDownloadToFileA straight to TARGET, and
// the copy of a cache file alone. The cache file is deleted after each round
// so that every round fetches the file again. Each figure is the best of ROUNDS
// rounds (3 unless given), printed as "name seconds s cpu user U kernel K"
// (the processor time of the process, see process_cpu.h).
#include "process_cpu.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <urlmon.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using namespace quillon;

using ToCacheFile = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPSTR, DWORD, DWORD, LPBINDSTATUSCALLBACK);
using ToFile = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPCSTR, DWORD, LPBINDSTATUSCALLBACK);

int rounds = 3;

// Prints the best of the rounds; setup runs before each round untimed.
template <typename Setup, typename Run>
void report(const char* name, Setup setup, Run run)
{
    double best = 1e9;
    bench::ProcessCpu least{1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        setup();
        bench::ProcessCpu before = bench::process_cpu();
        auto start = std::chrono::steady_clock::now();
        bool ok = run();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bench::ProcessCpu after = bench::process_cpu();
        if (!ok) {
            std::printf("%s failed\n", name);
            return;
        }
        best = std::min(best, seconds);
        least.user = std::min(least.user, after.user - before.user);
        least.kernel = std::min(least.kernel, after.kernel - before.kernel);
    }
    std::printf("%s %.3f s cpu user %.3f kernel %.3f\n", name, best, least.user, least.kernel);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: urlmon_loop_wine URL TARGET [ROUNDS]\n", stderr);
        return 2;
    }
    if (argc > 3)
        rounds = std::max(1, _wtoi(argv[3]));
    std::string url = win32::to_ansi(argv[1]);
    std::string target = win32::to_ansi(argv[2]);
    HMODULE urlmon = win32::kept_system_library(L"urlmon.dll");
    auto to_cache = win32::proc<ToCacheFile>(urlmon, "URLDownloadToCacheFileA");
    auto to_file = win32::proc<ToFile>(urlmon, "URLDownloadToFileA");
    if (to_cache == nullptr || to_file == nullptr) {
        std::fputs("no urlmon.dll\n", stderr);
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string cache_file;
    auto forget_cache = [&] {
        if (!cache_file.empty())
            DeleteFileA(cache_file.c_str());
        cache_file.clear();
    };
    auto fetch_to_cache = [&] {
        char buffer[MAX_PATH] = {};
        bool ok = SUCCEEDED(to_cache(nullptr, url.c_str(), buffer, MAX_PATH, 0, nullptr));
        cache_file = buffer;
        return ok;
    };
    report("urlmon-to-cache-file", forget_cache, fetch_to_cache);
    report("urlmon-to-cache-file-and-copy", forget_cache,
           [&] { return fetch_to_cache() && CopyFileA(cache_file.c_str(), target.c_str(), FALSE); });
    report("urlmon-to-file", forget_cache, [&] {
        DeleteFileA(target.c_str());
        return SUCCEEDED(to_file(nullptr, url.c_str(), target.c_str(), 0, nullptr));
    });
    // The copy alone, of a cache file fetched once.
    forget_cache();
    if (fetch_to_cache())
        report("copy-of-the-cache-file", [] {}, [&] { return CopyFileA(cache_file.c_str(), target.c_str(), FALSE); });
    forget_cache();
    DeleteFileA(target.c_str());
    CoUninitialize();
    return 0;
}
