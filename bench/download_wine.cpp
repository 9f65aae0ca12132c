// Download throughput of both transports under Wine, against a URL given on
// the command line (./run bench serves a 200 MB file on loopback and times
// curl on the same file in the same run):
//   download_wine.exe URL TARGET
#include "media/download/http_download.h"
#include "media/download/light_download.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using quillon::Result;

template <typename Run>
double best_seconds(Run run)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
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
        std::fputs("usage: download_wine URL TARGET\n", stderr);
        return 2;
    }
    std::string url = quillon::win32::to_ansi(argv[1]);
    std::string target = quillon::win32::to_ansi(argv[2]);
    double http = best_seconds([&] {
        quillon::download::HttpDownload d;
        d.location = url;
        d.target = target;
        return quillon::download::DownloadWithHttp(d);
    });
    double light = best_seconds([&] {
        quillon::download::LightDownload d;
        d.location = url;
        d.target = target;
        return quillon::download::DownloadWithUrlmon(d);
    });
    std::printf("http %.3f s\nurlmon %.3f s\n", http, light);
    return http < 0 || light < 0 ? 1 : 0;
}
