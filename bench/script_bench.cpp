// Loading a large script and looking up every command's parameters.
#include "script/ScriptImage.h"
#include "script/script_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr std::size_t command_count = 20000;

std::string identifier(std::size_t index)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08zX-1D2B-4B8A-9C1E-%012zX}", index * 2654435761u % 0xFFFFFFFFu, index);
    return text;
}

const std::string& large_script()
{
    static const std::string text = [] {
        quillon::CompiledScript script;
        script.product_title = "Benchmark";
        for (std::size_t i = 0; i < command_count; ++i) {
            quillon::CompiledCommand command;
            command.name = "Set Variable";
            command.identifier = identifier(i);
            command.project_file = "C:\\Projects\\Bench.qvp";
            command.project_line = static_cast<std::int32_t>(i);
            command.parameters = {"VARIABLE" + std::to_string(i), "TRUE", "Some value of command " + std::to_string(i)};
            char header[9];
            std::snprintf(header, sizeof header, "%08zX", 0xA0000000u + i);
            command.media_header = header;
            script.commands.push_back(std::move(command));
        }
        auto written = quillon::write_script_image(script);
        return written ? *written : std::string();
    }();
    return text;
}

std::span<const std::byte> bytes_of(const std::string& text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

void BM_ParseScript20000Commands(benchmark::State& state)
{
    const std::string& text = large_script();
    for (auto _ : state) {
        auto image = quillon::parse_script_image(bytes_of(text));
        if (!image) {
            state.SkipWithError(image.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(image->CommandCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseScript20000Commands)->Unit(benchmark::kMillisecond);

// One lookup of parameter 3 for every command, through the identifier as the
// execution loop reads it.
void BM_Parameter20000Lookups(benchmark::State& state)
{
    auto image = quillon::parse_script_image(bytes_of(large_script()));
    if (!image) {
        state.SkipWithError(image.error().message.c_str());
        return;
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < image->CommandCount(); ++i)
            benchmark::DoNotOptimize(image->Parameter(image->CommandId(i), 3));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * image->CommandCount()));
}
BENCHMARK(BM_Parameter20000Lookups)->Unit(benchmark::kMillisecond);

void BM_CommandHeader20000Lookups(benchmark::State& state)
{
    auto image = quillon::parse_script_image(bytes_of(large_script()));
    if (!image) {
        state.SkipWithError(image.error().message.c_str());
        return;
    }
    for (auto _ : state) {
        for (std::size_t i = 0; i < image->CommandCount(); ++i)
            benchmark::DoNotOptimize(image->CommandHeader(i));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * image->CommandCount()));
}
BENCHMARK(BM_CommandHeader20000Lookups)->Unit(benchmark::kMillisecond);

} // namespace
