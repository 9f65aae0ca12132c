// Worker threads under Wine with the engine's own host: the real message
// loop, the hidden main form's timers and the project's test plug-in library.
// A cancel arrives from a window timer while the worker runs, as a dialog's
// Cancel button would deliver it.
#include "engine/engine_host.h"
#include "harness/harness.h"
#include "interp/interp_test_support.h"
#include "vars/predefined.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::string_view plugin_command = "Run Test Plug-In";

// One script run with the Windows host; the support folder holds the test plug-in.
struct HostRun {
    HostRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start, bool silent)
        : script(build_script(commands, {std::string(plugin_command)})), trace(""),
          folder(fresh_scratch_dir(L"worker_host_" + std::to_wstring(++s_runs)))
    {
        // A folder per run: a library given up while it hangs stays loaded.
        EXPECT_TRUE(CopyFileW(test_plugin_file().c_str(), (folder / L"qtestplug.dll").c_str(), FALSE));
        DefineVar(vars, "ABORTONERROR", "TRUE", "Initialization");
        DefineVar(vars, "ABORTEDONERROR", "FALSE", "Initialization");
        DefineVar(vars, "SILENT", silent ? "TRUE" : "FALSE", "Initialization");
        DefineVar(vars, "TITLE", "Worker Test", "Initialization");
        DefineVar(vars, "WINDOWHANDLE", "0", "Initialization");
        seed_thread_state(vars, GetTickCount());
        for (const auto& [name, value] : start)
            DefineVar(vars, name, value, "Initialization");
        host.emplace(EngineHostSetup{script, vars, trace, messages,
                                     SetupLocation{to_utf8(folder.wstring()), "setup.exe", "", "", "", "", ""},
                                     silent});
        handlers = StandardHandlers();
        executor.emplace(script, vars, host->roles(), handlers, process, BuildLabelTable(script));
    }

    bool run() { return executor->Run(); }
    std::string var(std::string_view name) const { return GetVar(vars, name); }

    TScriptImage script;
    TVariableManager vars;
    StartupTrace trace;
    EngineMessages messages;
    fs::path folder;
    std::optional<EngineHost> host;
    HandlerTable handlers;
    ProcessState process;
    std::optional<TScriptExecutor> executor;
    static inline int s_runs = 0;
};

Cmd plugin(std::string parameter, std::string library = "mPlug.dll\\qtestplug.dll")
{
    return {std::string(plugin_command), {std::move(parameter), std::move(library)}};
}

// Sets KYRT_IsCancelled on the main thread some time after the start, from a
// thread timer: the way a dialog's Cancel reaches a waiting command.
class CancelTimer {
public:
    CancelTimer(TVariableManager& vars, UINT after_ms) : m_id(SetTimer(nullptr, 0, after_ms, &CancelTimer::fire))
    {
        s_vars = &vars;
    }
    ~CancelTimer()
    {
        KillTimer(nullptr, m_id);
        s_vars = nullptr;
    }

private:
    static void CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        if (s_vars != nullptr)
            s_vars->SetValue("KYRT_IsCancelled", "TRUE");
    }
    UINT_PTR m_id;
    static inline TVariableManager* s_vars = nullptr;
};

TEST(WorkerHost, PluginChangesVariablesThatTheScriptSees)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        HostRun run({plugin("set:A=changed;drop:B;set:NEW=x y;progress:30;reserved:RES;window:WIN;param:PARAM"),
                     {"Set Variable", {"AFTER", "$A$"}}},
                    {{"A", "one"}, {"B", "two"}, {"WINDOWHANDLE", "0"}}, silent);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("A"), "changed");
        EXPECT_FALSE(run.vars.Exists("B"));
        EXPECT_EQ(run.var("NEW"), "x y");
        EXPECT_EQ(run.var("AFTER"), "changed");
        EXPECT_EQ(run.var("RES"), "0");
        EXPECT_EQ(run.var("WIN"), "0");
        EXPECT_EQ(run.var("PARAM"), "set:A=changed;drop:B;set:NEW=x y;progress:30;reserved:RES;window:WIN;param:PARAM");
        EXPECT_FALSE(run.executor->workers().busy());
    }
}

TEST(WorkerHost, TimerDrivenCancelStopsAPluginThatHonoursIt)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        // ABORTEDONERROR already true: no "Setup cancelled" box to stop the test.
        HostRun run({plugin("hang"), {"Set Variable", {"AFTER", "ran"}}},
                    {{"ABORTONERROR", "FALSE"}, {"ABORTEDONERROR", "TRUE"}}, silent);
        CancelTimer cancel(run.vars, 300);
        auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.run());
        auto took = std::chrono::steady_clock::now() - started;
        EXPECT_GE(took, 250ms) << "ran until the cancel";
        EXPECT_LT(took, 4s) << "stopped by its progress callback, not given up by a timer";
        EXPECT_EQ(run.var("AFTER"), "ran");
        EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
    }
}

// A cancel made before the command, in a run with windows where no message
// comes while the plug-in runs: the wait still looks at the cancel, so the
// plug-in's very first progress call is answered false.
TEST(WorkerHost, CancelBeforeTheCommandStopsAReportingPluginAtItsFirstCall)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        HostRun run(
            {{"Set Variable", {"ABORT", "TRUE"}}, plugin("hang-count:CALLS"), {"Set Variable", {"AFTER", "ran"}}},
            {{"ABORTONERROR", "FALSE"}, {"ABORTEDONERROR", "TRUE"}}, silent);
        auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.run());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 4s) << "not given up by a timer";
        EXPECT_EQ(run.var("CALLS"), "0") << "no progress call was answered true";
        EXPECT_EQ(run.var("AFTER"), "ran");
    }
}

TEST(WorkerHost, HangingPluginIsAbandonedAndTheScriptGoesOnOrEnds)
{
    struct Case {
        std::string abort_on_error;
        bool cancel_before; // "Set Variable" of ABORT before the command, else a timer while it runs
        bool silent;
    };
    const Case cases[] = {{"FALSE", false, true}, {"TRUE", false, true},  {"FALSE", true, true},
                          {"TRUE", true, true},   {"FALSE", true, false}, {"TRUE", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.abort_on_error + (c.cancel_before ? " before" : " while running") +
                     (c.silent ? " silent" : " with windows"));
        std::vector<Cmd> commands;
        if (c.cancel_before)
            commands.push_back({"Set Variable", {"ABORT", "TRUE"}});
        commands.push_back(plugin("hang-hard"));
        commands.push_back({"Set Variable", {"AFTER", "ran"}});
        // With windows, "Setup cancelled" would wait for a click: ABORTEDONERROR already true keeps it away.
        HostRun run(commands, {{"ABORTONERROR", c.abort_on_error}, {"ABORTEDONERROR", c.silent ? "FALSE" : "TRUE"}},
                    c.silent);
        ASSERT_NE(run.host->shell().pool(), nullptr);
        run.host->shell().pool()->set_interval(PoolTimer::plug, 500);
        std::optional<CancelTimer> cancel;
        if (!c.cancel_before)
            cancel.emplace(run.vars, 300);
        auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.run());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        EXPECT_TRUE(run.executor->workers().finished(WorkerKind::plugin));
        if (c.abort_on_error == "TRUE") {
            EXPECT_TRUE(run.executor->ended());
            EXPECT_EQ(run.executor->outcome(), ScriptOutcome::cancelled);
            EXPECT_FALSE(run.vars.Exists("AFTER"));
        } else {
            EXPECT_EQ(run.var("AFTER"), "ran");
            EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
        }
        // The store is still usable with the abandoned thread alive.
        run.vars.SetValue("AFTERWARDS", "fine");
        EXPECT_EQ(run.var("AFTERWARDS"), "fine");
    }
}

TEST(WorkerHost, MissingPluginShowsTheMessageAndIsSkipped)
{
    HostRun run({plugin("set:A=changed", "mPlug.dll\\absent.dll"), {"Set Variable", {"AFTER", "ran"}}}, {{"A", "one"}},
                false);
    std::wstring text;
    std::thread closer([&] {
        HWND box = wait_for_window(L"Worker Test", 20s);
        if (box == nullptr)
            return;
        // The text is the box's static control.
        EnumChildWindows(
            box,
            [](HWND child, LPARAM found) -> BOOL {
                std::wstring part = window_text(child);
                if (part.find(L"plug-in") != std::wstring::npos)
                    *reinterpret_cast<std::wstring*>(found) = part;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    bool finished = run.run();
    closer.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(to_utf8(text), "Unable to load plug-in library. Please rebuild your project and make sure all required "
                             "plug-ins are installed.\r\rAction skipped");
    EXPECT_EQ(run.var("A"), "one");
    EXPECT_EQ(run.var("AFTER"), "ran");
}

// A worker reporting as fast as it can while the main thread handles real
// messages and reads the progress variables from a window timer.
TEST(WorkerHost, ProgressStressKeepsValuesWholeAndLeaksNothing)
{
    HostRun run({{"Set Variable", {"X", "1"}}}, {}, false);
    auto counters = [] {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        DWORD handles = 0;
        GetProcessHandleCount(GetCurrentProcess(), &handles);
        return std::pair<SIZE_T, DWORD>(memory.PrivateUsage, handles);
    };
    struct Reader {
        TVariableManager* vars;
        std::int64_t last_position = 0;
        std::int64_t last_text = 0;
        int reads = 0;
        std::vector<std::string> faults;
    };
    static Reader* reader = nullptr;
    Reader state{.vars = &run.vars, .faults = {}};
    reader = &state;
    UINT_PTR timer = SetTimer(nullptr, 0, 5, [](HWND, UINT, UINT_PTR, DWORD) {
        Reader& r = *reader;
        ++r.reads;
        std::string position = r.vars->GetValue("KYRT_thProgress");
        std::string text = r.vars->GetValue("KYRT_thProgressText");
        std::optional<std::int64_t> p = parse_int64(position);
        if (!p || *p < r.last_position)
            r.faults.push_back("position " + position);
        else
            r.last_position = *p;
        if (r.vars->GetValue("KYRT_thMax") != "1000000000000" || r.vars->GetValue("KYRT_thMin") != "-5")
            r.faults.push_back("range");
        if (!text.empty()) {
            std::optional<std::int64_t> n = text.starts_with("item ") ? parse_int64(text.substr(5)) : std::nullopt;
            if (!n || *n < r.last_text)
                r.faults.push_back("text " + text);
            else
                r.last_text = *n;
        }
    });
    run.vars.SetValue("KYRT_thMax", "1000000000000");
    run.vars.SetValue("KYRT_thMin", "-5");

    std::pair<SIZE_T, DWORD> before{};
    std::int64_t reports = 0;
    for (int round = 0; round < 2; ++round) {
        run.vars.SetValue("KYRT_thProgress", "0");
        run.vars.SetValue("KYRT_thProgressText", "");
        state.last_position = 0;
        state.last_text = 0;
        WorkerRequest request;
        request.kind = WorkerKind::find_files;
        auto count = std::make_shared<std::atomic<std::int64_t>>(0);
        request.body = [count](WorkerContext& context) {
            auto until = std::chrono::steady_clock::now() + 5s;
            std::int64_t i = 0;
            while (std::chrono::steady_clock::now() < until) {
                ++i;
                context.report_progress("item " + std::to_string(i), -5, 1000000000000, i);
                context.report_progress("$IGNORE$", -5, 1000000000000, i);
            }
            count->store(i);
        };
        Result<WorkerOutcome> outcome = run.executor->workers().run(*run.executor, std::move(request));
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->end, WorkerEnd::finished);
        reports += count->load();
        if (round == 0)
            before =
                counters(); // after the first round: the heap and the handle table have grown to their working size
    }
    std::pair<SIZE_T, DWORD> after = counters();
    KillTimer(nullptr, timer);
    reader = nullptr;
    EXPECT_TRUE(state.faults.empty()) << state.faults.size() << " faults, first: " << state.faults.front();
    EXPECT_GT(state.reads, 100) << "the main thread kept handling messages";
    EXPECT_GT(reports, 10000);
    EXPECT_LE(after.second, before.second + 4) << "handles";
    EXPECT_LE(after.first, before.first + 4 * 1024 * 1024) << "private bytes";
}

} // namespace
} // namespace quillon::test
