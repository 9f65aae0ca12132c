// Speed of the variable store, expansion and the evaluator.
#include "base/strings.h"
#include "vars/vars.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

constexpr int store_size = 10'000;

std::vector<std::string> numbered_names(int count)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        names.push_back("KYRT_VARIABLE_" + std::to_string(i));
    return names;
}

void fill(TVariableManager& vars, const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        vars.Add(name, "C:\\Program Files\\Product\\" + name);
}

void BM_StoreSetExisting(benchmark::State& state)
{
    TVariableManager vars;
    std::vector<std::string> names = numbered_names(store_size);
    fill(vars, names);
    std::size_t i = 0;
    for (auto _ : state) {
        SetVar(vars, names[i], "new value", "Set Variable Action");
        i = (i + 1) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreSetExisting);

void BM_StoreGet(benchmark::State& state)
{
    TVariableManager vars;
    std::vector<std::string> names = numbered_names(store_size);
    fill(vars, names);
    // Names come back in another letter case, as scripts write them.
    std::vector<std::string> lower;
    for (const std::string& name : names)
        lower.push_back(ascii_lower(name));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetVar(vars, lower[i]));
        i = (i + 1) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StoreGet);

void BM_StoreFill(benchmark::State& state)
{
    std::vector<std::string> names = numbered_names(store_size);
    for (auto _ : state) {
        TVariableManager vars;
        for (const std::string& name : names)
            DefineVar(vars, name, "value", origin::initialization);
        benchmark::DoNotOptimize(vars.count());
    }
    state.SetItemsProcessed(state.iterations() * store_size);
}
BENCHMARK(BM_StoreFill);

void BM_Expand4KTextWith50References(benchmark::State& state)
{
    TVariableManager vars;
    fill(vars, numbered_names(store_size));
    std::string text;
    for (int i = 0; text.size() < 4096; ++i) {
        text += "Some words of a licence or a dialog text, then a folder ";
        if (i < 50)
            text += "$KYRT_VARIABLE_" + std::to_string(i * 97) + "$";
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Expand(vars, text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Expand4KTextWith50References);

void BM_ExpandManyReferences(benchmark::State& state)
{
    TVariableManager vars;
    fill(vars, numbered_names(store_size));
    std::string text;
    auto references = static_cast<int>(state.range(0));
    // The same thousand variables at every size, so that only the length of the text changes.
    for (int i = 0; i < references; ++i)
        text += "$KYRT_VARIABLE_" + std::to_string(i % 1000) + "$;";
    std::size_t result_size = 0;
    for (auto _ : state) {
        std::string result = Expand(vars, text);
        result_size = result.size();
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations() * references);
    state.counters["result_bytes"] = static_cast<double>(result_size);
}
BENCHMARK(BM_ExpandManyReferences)->Arg(1'000)->Arg(10'000)->Arg(100'000);

void BM_EvaluateExpression20Comparisons(benchmark::State& state)
{
    std::string text;
    for (int i = 0; i < 20; ++i) {
        if (i != 0)
            text += i % 3 == 0 ? " or " : " and ";
        if (i % 2 == 0)
            text += "(\"" + std::to_string(i * 1000) + "\" < \"" + std::to_string(i * 1000 + 1) + "\")";
        else
            text += "\"custom setup " + std::to_string(i) + "\" <> \"full setup\"";
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(EvaluateExpression(text));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_EvaluateExpression20Comparisons);

void BM_SnapshotAndRestore10000(benchmark::State& state)
{
    TVariableManager vars;
    fill(vars, numbered_names(store_size));
    for (auto _ : state) {
        std::string snapshot = SnapshotVariables(vars);
        RestoreVariables(vars, snapshot);
    }
    state.SetItemsProcessed(state.iterations() * store_size);
}
BENCHMARK(BM_SnapshotAndRestore10000);

} // namespace
} // namespace quillon
