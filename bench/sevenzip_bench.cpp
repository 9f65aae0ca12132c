// Decoding speed of the 7z reader: a solid LZMA2 archive of text and binary
// data decoded into memory, and the primitives on their own.
#include "base/crc32.h"
#include "media/sevenzip/sevenzip.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace quillon;
using namespace quillon::sevenzip;

class NullSink final : public EntrySink {
public:
    Result<void> begin(const Entry&) override { return {}; }
    Result<void> write(std::span<const std::byte> data) override
    {
        bytes += data.size();
        return {};
    }
    Result<void> commit(const Entry&) override { return {}; }
    void abort(const Entry&) noexcept override {}
    std::uint64_t bytes = 0;
};

// 24 MB of text, x86 code and noise archived once with 7z (solid LZMA2, one thread).
const std::string& archive_bytes()
{
    static const std::string bytes = [] {
        fs::path folder = fs::temp_directory_path() / "sevenzip-bench";
        fs::remove_all(folder);
        fs::create_directories(folder / "src");
        {
            std::ofstream text(folder / "src/text.txt", std::ios::binary);
            std::mt19937 random(7);
            static const char* words[] = {"setup",   "engine",  "archive", "folder",   "the",   "of",        "and",
                                          "install", "product", "files",   "registry", "value", "component", "feature"};
            for (int i = 0; i < 1600000; ++i)
                text << words[random() % 14] << (i % 12 == 11 ? "\n" : " ");
            std::ofstream noise(folder / "src/noise.bin", std::ios::binary);
            for (int i = 0; i < 4000000; ++i)
                noise.put(static_cast<char>(random()));
        }
        fs::copy_file("/usr/bin/7zz", folder / "src/code.exe");
        std::string command = "cd '" + (folder / "src").string() +
                              "' && /usr/bin/7z a -m0=lzma2 -ms=on -mmt=1 ../bench.7z . >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return std::string();
        std::ifstream in(folder / "bench.7z", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    return bytes;
}

void BM_DecodeSolidArchiveToMemory(benchmark::State& state)
{
    const std::string& bytes = archive_bytes();
    if (bytes.empty()) {
        state.SkipWithError("7z could not build the benchmark archive");
        return;
    }
    std::uint64_t total = 0;
    for (auto _ : state) {
        auto archive = Archive::open_memory({reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()});
        if (!archive) {
            state.SkipWithError(archive.error().message.c_str());
            return;
        }
        NullSink sink;
        auto result = archive->read(sink);
        if (!result) {
            state.SkipWithError(result.error().message.c_str());
            return;
        }
        total += sink.bytes;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}
BENCHMARK(BM_DecodeSolidArchiveToMemory)->Unit(benchmark::kMillisecond);

void BM_Crc32(benchmark::State& state)
{
    std::string data(1 << 20, 'x');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 2654435761u >> 24);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32({reinterpret_cast<const std::byte*>(data.data()), data.size()}));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc32);

} // namespace
