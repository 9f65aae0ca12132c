// The execution loop's own cost: a silent script of "Set Variable" commands
// and "If"/"End" pairs, with the head-of-iteration work of every command.
#include "bare_roles.h"
#include "interp/mscriptexec.h"
#include "loop_script.h"
#include "vars/VariableManager.h"

#include <benchmark/benchmark.h>

namespace {

using namespace quillon;
using quillon::bench::loop_script;

void BM_LoopSilentSimpleCommands(benchmark::State& state)
{
    const std::size_t count = static_cast<std::size_t>(state.range(0));
    TScriptImage script = loop_script(count);
    HandlerTable handlers = StandardHandlers();
    bench::BareRoles host;
    ProcessState process;
    for (auto _ : state) {
        TVariableManager vars;
        DefineVar(vars, "COUNTER", "7", "Initialization");
        DefineVar(vars, "KYRT_IsCancelled", "FALSE", "Initialization");
        TScriptExecutor executor(script, vars, host.roles(), handlers, process, BuildLabelTable(script));
        benchmark::DoNotOptimize(executor.Run());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
    state.counters["commands_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * count), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoopSilentSimpleCommands)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace
