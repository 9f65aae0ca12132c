// Download throughput of both transports under Wine, against a URL given on
// the command line (./run bench serves a 200 MB file on loopback and times
// curl and the platform's plain loops, winhttp_loop_wine and
// urlmon_loop_wine, on the same file in the same run):
//   download_wine.exe URL TARGET [ROUNDS [ONLY]]
// Each figure is the best of ROUNDS rounds (3 unless given), with the number
// of progress reports of the last round; ONLY picks the figures whose name
// holds it.
#include "process_cpu.h"
#include "media/download/http_download.h"
#include "media/download/light_download.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using quillon::Result;

// Every report the transport makes, as the download worker takes it: the text is read.
long reports = 0;
std::size_t text_bytes = 0;
bool count_report(int, const std::string& text)
{
    ++reports;
    text_bytes += text.size();
    return true;
}

int rounds = 3;
std::string only; // runs only the figures whose name holds it

// Prints "name seconds s cpu user U kernel K, N progress reports" (the
// processor time of the process, see process_cpu.h); false when a round failed.
template <typename Run>
bool report(const char* name, Run run)
{
    if (!only.empty() && std::string(name).find(only) == std::string::npos)
        return true;
    double best = 1e9;
    quillon::bench::ProcessCpu least{1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        reports = 0;
        quillon::bench::ProcessCpu before = quillon::bench::process_cpu();
        auto start = std::chrono::steady_clock::now();
        Result<void> done = run();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        quillon::bench::ProcessCpu after = quillon::bench::process_cpu();
        if (!done) {
            std::fprintf(stderr, "%s failed: %s\n", name, done.error().describe().c_str());
            return false;
        }
        best = std::min(best, seconds);
        least.user = std::min(least.user, after.user - before.user);
        least.kernel = std::min(least.kernel, after.kernel - before.kernel);
    }
    std::printf("%s %.3f s cpu user %.3f kernel %.3f, %ld progress reports\n", name, best, least.user, least.kernel,
                reports);
    std::fflush(stdout);
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: download_wine URL TARGET [ROUNDS [ONLY]]\n", stderr);
        return 2;
    }
    if (argc > 3)
        rounds = std::max(1, _wtoi(argv[3]));
    if (argc > 4)
        only = quillon::win32::to_ansi(argv[4]);
    std::string url = quillon::win32::to_ansi(argv[1]);
    std::string target = quillon::win32::to_ansi(argv[2]);
    bool http = report("quillon-http", [&] {
        quillon::download::HttpDownload d;
        d.location = url;
        d.target = target;
        d.progress = count_report;
        return quillon::download::DownloadWithHttp(d);
    });
    bool light = report("quillon-urlmon", [&] {
        quillon::download::LightDownload d;
        d.location = url;
        d.target = target;
        d.progress = count_report;
        std::string cache_file;
        Result<void> done = quillon::download::DownloadWithUrlmon(d, &cache_file);
        // As a fresh download through DownloadUrl: the next round fetches the file again.
        if (!cache_file.empty())
            DeleteFileA(cache_file.c_str());
        return done;
    });
    return http && light ? 0 : 1;
}
