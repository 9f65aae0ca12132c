// The execution loop's own cost: a silent script of "Set Variable" commands
// and "If"/"End" pairs, with the head-of-iteration work of every command.
#include "interp/mscriptexec.h"
#include "script/ScriptImage.h"
#include "script/script_writer.h"
#include "vars/VariableManager.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace quillon;

TScriptImage loop_script(std::size_t count)
{
    CompiledScript script;
    script.product_code = "{22222222-2222-3333-4444-555555555555}";
    script.revision_code = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
    script.product_title = "Bench";
    script.product_version = "1.0";
    script.default_language = "English";
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 0}};
    for (std::size_t i = 0; i < count; ++i) {
        CompiledCommand c;
        char id[64];
        std::snprintf(id, sizeof id, "{0D0D0D0D-0000-0000-0000-%012zu}", i);
        c.identifier = id;
        c.project_file = "bench.qvp";
        c.project_line = static_cast<std::int32_t>(i);
        switch (i % 4) {
        case 0:
            c.name = "Set Variable";
            c.parameters = {"VALUE" + std::to_string(i % 64), "$COUNTER$ step"};
            break;
        case 1:
            c.name = "If";
            c.parameters = {"COUNTER", "0", "7", (i % 8 == 1) ? "TRUE" : "FALSE"};
            break;
        case 2:
            c.name = "Set Variable";
            c.parameters = {"COUNTER", "7"};
            break;
        default:
            c.name = "End";
            break;
        }
        script.commands.push_back(std::move(c));
    }
    Result<std::string> text = write_script_image(script);
    Result<TScriptImage> image =
        parse_script_image(std::span(reinterpret_cast<const std::byte*>(text->data()), text->size()));
    return std::move(*image);
}

void BM_LoopSilentSimpleCommands(benchmark::State& state)
{
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    TScriptImage script = loop_script(count);
    HandlerTable handlers = StandardHandlers();
    ExecutorHost host;
    ProcessState process;
    for (auto _ : state) {
        TVariableManager vars;
        DefineVar(vars, "COUNTER", "7", "Initialization");
        DefineVar(vars, "KYRT_IsCancelled", "FALSE", "Initialization");
        TScriptExecutor executor(script, vars, host, handlers, process, BuildLabelTable(script));
        benchmark::DoNotOptimize(executor.Run());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
    state.counters["commands_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * count), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopSilentSimpleCommands)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
