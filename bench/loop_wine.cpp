// The execution loop of the Windows build, timed under Wine: the same script
// as loop_bench, once with the bare loop and once with the engine's own host
// (switch refresh before every command, silent). Prints the best of five rounds.
#include "bare_roles.h"
#include "engine/messages.h"
#include "engine/engine_host.h"
#include "engine/startup_trace.h"
#include "interp/mscriptexec.h"
#include "loop_script.h"
#include "vars/VariableManager.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using namespace quillon;

constexpr std::size_t command_count = 100'000;

template <typename MakeHost>
double best_rate(const TScriptImage& script, MakeHost make_host)
{
    HandlerTable handlers = StandardHandlers();
    ProcessState process;
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        TVariableManager vars;
        DefineVar(vars, "COUNTER", "7", "Initialization");
        DefineVar(vars, "KYRT_IsCancelled", "FALSE", "Initialization");
        DefineVar(vars, "SILENT", "TRUE", "Initialization");
        auto host = make_host(vars);
        TScriptExecutor executor(script, vars, host->roles(), handlers, process, BuildLabelTable(script));
        auto start = std::chrono::steady_clock::now();
        executor.Run();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, static_cast<double>(command_count) / seconds);
    }
    return best;
}

} // namespace

int main()
{
    TScriptImage script = quillon::bench::loop_script(command_count);
    StartupTrace trace("");
    EngineMessages messages;
    double bare = best_rate(script, [](TVariableManager&) { return std::make_unique<bench::BareRoles>(); });
    double engine = best_rate(script, [&](TVariableManager& vars) {
        return std::make_unique<EngineHost>(
            EngineHostSetup{script, vars, trace, messages,
                            SetupLocation{"C:\\nowhere\\", "C:\\nowhere\\setup.exe", "", "", "", "", ""}, true});
    });
    std::printf(
        "loop under Wine, %zu commands: bare loop %.2f M commands/s, with the engine's host %.2f M commands/s\n",
        command_count, bare / 1e6, engine / 1e6);
    return 0;
}
