// Download throughput of both transports under Wine, against a URL given on
// the command line (./run bench serves a 200 MB file on loopback and times
// curl and the platform's plain loops, winhttp_loop_wine and
// urlmon_loop_wine, on the same file in the same run):
//   download_wine.exe URL TARGET [ROUNDS]
// Each figure is the best of ROUNDS rounds (3 unless given), with the number
// of progress reports of the last round.
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

template <typename Run>
double best_seconds(Run run)
{
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        reports = 0;
        auto start = std::chrono::steady_clock::now();
        Result<void> done = run();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!done) {
            std::fprintf(stderr, "download failed: %s\n", done.error().describe().c_str());
            return -1;
        }
        best = std::min(best, seconds);
    }
    return best;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fputs("usage: download_wine URL TARGET [ROUNDS]\n", stderr);
        return 2;
    }
    if (argc > 3)
        rounds = std::max(1, _wtoi(argv[3]));
    std::string url = quillon::win32::to_ansi(argv[1]);
    std::string target = quillon::win32::to_ansi(argv[2]);
    double http = best_seconds([&] {
        quillon::download::HttpDownload d;
        d.location = url;
        d.target = target;
        d.progress = count_report;
        return quillon::download::DownloadWithHttp(d);
    });
    long http_reports = reports;
    double light = best_seconds([&] {
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
    std::printf("quillon-http %.3f s %ld progress reports\nquillon-urlmon %.3f s %ld progress reports\n", http,
                http_reports, light, reports);
    return http < 0 || light < 0 ? 1 : 0;
}
