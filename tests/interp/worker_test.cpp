// Worker threads natively: progress reports, the wait with its cancel protocol,
// giving up a worker that ignores its termination request, and plug-in commands
// with a library stand-in.
#include "interp/mPlugins.h"
#include "interp/mscriptexecthread.h"
#include "interp_test_support.h"
#include "vars/comma_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quillon::test {
namespace {

using namespace std::chrono_literals;

TEST(ReportProgress, WritesOnlyWhatItsArgumentsSay)
{
    struct Case {
        std::string_view text;
        std::int64_t minimum, maximum, position;
        std::string_view progress, max, min, status;
    };
    const Case cases[] = {
        {"$IGNORE$", 0, 100, 57, "57", "100", "0", "old text"},
        {"Copying", 0, 0, -1, "5", "9", "1", "Copying"},
        {"$KYRT$", 3, 4, 5, "5", "9", "1", "old text"},
        {"Both", -7, 9000000000, 8999999999, "8999999999", "9000000000", "-7", "Both"},
        {"", 0, 100, 0, "0", "100", "0", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TVariableManager vars;
        vars.Add("KYRT_thProgress", "5");
        vars.Add("KYRT_thMax", "9");
        vars.Add("KYRT_thMin", "1");
        vars.Add("KYRT_thProgressText", "old text");
        vars.Add("KYRT_LastDelegateTick", "not a tick");
        ReportProgress(vars, c.text, c.minimum, c.maximum, c.position);
        EXPECT_EQ(vars.GetValue("KYRT_thProgress"), c.progress);
        EXPECT_EQ(vars.GetValue("KYRT_thMax"), c.max);
        EXPECT_EQ(vars.GetValue("KYRT_thMin"), c.min);
        EXPECT_EQ(vars.GetValue("KYRT_thProgressText"), c.status);
        EXPECT_TRUE(parse_int64(vars.GetValue("KYRT_LastDelegateTick")).has_value()) << "every call is a heartbeat";
    }
}

TEST(ProgressAttention, SavesTheModeOnceAndPutsItBack)
{
    TVariableManager vars;
    vars.Add("PROGRESSMODE", "MARQUEE");
    ProgressAttention attention(vars);
    EXPECT_EQ(attention.current(), TaskbarMode::indeterminate);
    EXPECT_EQ(attention.set(false), TaskbarMode::paused);
    EXPECT_EQ(vars.GetValue("PROGRESSMODE"), "PAUSE");
    EXPECT_EQ(attention.set(true), TaskbarMode::error); // nested: "PAUSE" must not become the saved mode
    EXPECT_EQ(vars.GetValue("PROGRESSMODE"), "ERROR");
    EXPECT_EQ(attention.clear(), TaskbarMode::indeterminate);
    EXPECT_EQ(vars.GetValue("PROGRESSMODE"), "MARQUEE");
    EXPECT_EQ(attention.clear(), TaskbarMode::indeterminate); // nothing saved: unchanged
    EXPECT_EQ(ProgressAttention::mode_of(""), TaskbarMode::normal);
    EXPECT_EQ(ProgressAttention::mode_of("marquee"), TaskbarMode::normal); // exact text only
}

// A script run whose executor exists but has not run, for driving workers directly.
struct WorkerRun : ScriptRun {
    explicit WorkerRun(std::map<std::string, std::string> start = {})
        : ScriptRun({{"Set Variable", {"X", "1"}}}, std::move(start))
    {
        executor.emplace(script, vars, host.roles(), handlers, process, BuildLabelTable(script));
    }
    Result<WorkerOutcome> run_worker(WorkerKind kind, std::function<void(WorkerContext&)> body)
    {
        WorkerRequest request;
        request.kind = kind;
        request.body = std::move(body);
        request.cancel_origin = "Cancel at Test Time";
        return executor->workers().run(*executor, std::move(request));
    }
    WorkerControl& workers() { return executor->workers(); }
};

TEST(WorkerControl, FinishedWorkerReportsAndTheBusyFlagCoversTheWait)
{
    WorkerRun run;
    bool busy_while_waiting = true;
    run.host.on_wait_step = [&] { busy_while_waiting = busy_while_waiting && run.workers().busy(); };
    Result<WorkerOutcome> outcome = run.run_worker(WorkerKind::find_files, [](WorkerContext& context) {
        context.report_progress("Searching", 0, 100, 42);
        EXPECT_TRUE(context.write("FOUND", "C:\\a.txt"));
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->end, WorkerEnd::finished);
    EXPECT_FALSE(outcome->cancelled);
    EXPECT_TRUE(busy_while_waiting);
    EXPECT_GE(run.host.wait_steps, 1);
    EXPECT_GE(run.host.wakes.load(), 1) << "the finished call wakes the main thread";
    EXPECT_FALSE(run.workers().busy());
    EXPECT_TRUE(run.workers().finished(WorkerKind::find_files));
    EXPECT_EQ(run.var("FOUND"), "C:\\a.txt");
    EXPECT_EQ(run.var("KYRT_thProgress"), "42");
    EXPECT_EQ(run.var("KYRT_thProgressText"), "Searching");
    EXPECT_TRUE(run.host.timers.empty());
}

TEST(WorkerControl, CancelRulesAfterACancelledWait)
{
    struct Case {
        std::string_view abort_on_error, aborted_before;
        bool script_ends;
        bool message_shown;
        std::string_view aborted_after;
    };
    const Case cases[] = {
        {"FALSE", "FALSE", false, true, "TRUE"},
        {"TRUE", "FALSE", true, true, "FALSE"},
        {"FALSE", "TRUE", false, false, "TRUE"},
        {"TRUE", "TRUE", true, false, "TRUE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.abort_on_error) + "/" + std::string(c.aborted_before));
        // The cancel was asked for before the command ("Set Variable" of ABORT):
        // the first pass of the wait already asks the worker to stop.
        WorkerRun run({{"KYRT_IsCancelled", "TRUE"},
                       {"ABORTONERROR", std::string(c.abort_on_error)},
                       {"ABORTEDONERROR", std::string(c.aborted_before)}});
        Result<WorkerOutcome> outcome = run.run_worker(WorkerKind::plugin, [](WorkerContext& context) {
            while (!context.stop_requested())
                std::this_thread::sleep_for(1ms);
            context.write("STOPPED", "yes");
        });
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->end, WorkerEnd::finished);
        EXPECT_TRUE(outcome->cancelled);
        EXPECT_EQ(run.var("STOPPED"), "yes");
        EXPECT_EQ(run.executor->ended(), c.script_ends);
        EXPECT_EQ(run.var("ABORTEDONERROR"), c.aborted_after);
        if (c.message_shown) {
            EXPECT_EQ(run.host.error_boxes, std::vector<std::string>{"Setup cancelled"});
            EXPECT_EQ(run.host.attention, (std::vector<std::string>{"error", "clear"}));
        } else {
            EXPECT_TRUE(run.host.error_boxes.empty());
        }
    }
}

// A worker that ignores its termination request and then, released by the
// test after it was given up, tries to write.
struct StubbornWorker {
    std::atomic<bool> release = false;
    std::atomic<int> late_write = -1; // -1 not tried, 0 refused, 1 landed

    std::function<void(WorkerContext&)> body(std::chrono::milliseconds report_every)
    {
        return [this, report_every](WorkerContext& context) {
            while (!release.load()) {
                if (report_every.count() > 0)
                    context.report_progress("$IGNORE$", 0, 100, 1);
                std::this_thread::sleep_for(report_every.count() > 0 ? report_every : 1ms);
            }
            context.report_progress("late", 0, 100, 99);
            late_write = context.write("LATE", "1") ? 1 : 0;
        };
    }
    void release_and_wait()
    {
        release = true;
        for (int i = 0; i < 2000 && late_write.load() < 0; ++i)
            std::this_thread::sleep_for(1ms);
    }
};

TEST(WorkerControl, WorkerIgnoringTheRequestIsAbandonedAndWritesNothingAfterwards)
{
    struct Case {
        WorkerKind kind;
        std::chrono::milliseconds report_every;
    };
    // A silent watchdog worker goes on the first tick; a program worker is
    // given up on the first tick even while it reports.
    const Case cases[] = {{WorkerKind::plugin, 0ms}, {WorkerKind::run_app, 1ms}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        WorkerRun run({{"KYRT_IsCancelled", "TRUE"}, {"ABORTONERROR", "FALSE"}});
        run.host.timer_interval = 100ms;
        StubbornWorker worker;
        Result<WorkerOutcome> outcome = run.run_worker(c.kind, worker.body(c.report_every));
        ASSERT_TRUE(outcome);
        EXPECT_EQ(outcome->end, WorkerEnd::abandoned);
        EXPECT_TRUE(outcome->cancelled);
        EXPECT_EQ(run.host.timer_ticks, 1);
        EXPECT_TRUE(run.workers().finished(c.kind));
        EXPECT_FALSE(run.workers().busy());
        EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");

        worker.release_and_wait();
        EXPECT_EQ(worker.late_write.load(), 0);
        EXPECT_FALSE(run.vars.Exists("LATE"));
        EXPECT_NE(run.var("KYRT_thProgressText"), "late");
        // The store stays usable, and the next worker of the kind runs normally.
        run.vars.SetValue("KYRT_IsCancelled", "FALSE");
        Result<WorkerOutcome> next =
            run.run_worker(c.kind, [](WorkerContext& context) { context.write("NEXT", "ok"); });
        ASSERT_TRUE(next);
        EXPECT_EQ(next->end, WorkerEnd::finished);
        EXPECT_EQ(run.var("NEXT"), "ok");
    }
}

TEST(WorkerControl, WatchdogSparesAWorkerThatKeepsReporting)
{
    WorkerRun run({{"KYRT_IsCancelled", "TRUE"}, {"ABORTONERROR", "FALSE"}});
    run.host.timer_interval = 250ms;
    // A timer survives only on a report made since the main thread's last
    // pass. Each pass waits (bounded) for the worker's next report, so that a
    // loaded machine that leaves the worker unscheduled for a while cannot
    // make it look silent.
    std::atomic<int> reports = 0;
    std::atomic<bool> done = false;
    run.host.on_wait_step = [&] {
        int seen = reports.load();
        auto limit = std::chrono::steady_clock::now() + 2s;
        while (!done.load() && reports.load() == seen && std::chrono::steady_clock::now() < limit)
            std::this_thread::yield();
    };
    // Ignores the request but reports steadily for several intervals, then ends.
    Result<WorkerOutcome> outcome = run.run_worker(WorkerKind::find_files, [&](WorkerContext& context) {
        auto until = std::chrono::steady_clock::now() + 1200ms;
        while (std::chrono::steady_clock::now() < until) {
            context.report_progress("$IGNORE$", 0, 100, 1);
            ++reports;
            std::this_thread::yield();
        }
        done = true;
    });
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->end, WorkerEnd::finished);
    EXPECT_GE(run.host.timer_ticks, 2) << "re-armed after a tick that saw a heartbeat";
}

// Plug-in commands through the loop. The stand-in library reads its parameter:
// "set" changes A and adds NEW, "drop" removes B, "fail" answers -1, "empty"
// answers an empty text, "hang" reports until told to stop.
struct PluginRun : ScriptRun {
    explicit PluginRun(std::map<std::string, std::string> start, std::string parameter,
                       std::string library = "mPlug.dll\\qtestplug.dll")
        : ScriptRun({{"Run Test Plug-In", {parameter, library}}, {"Set Variable", {"AFTER", "ran"}}}, std::move(start),
                    {"Run Test Plug-In"})
    {
        host.existing_files.insert("C:\\qvo1\\qtestplug.dll");
        host.plugin = [this](const PluginInvocation& call) -> std::optional<std::string> {
            calls.push_back(call.library_path);
            std::vector<std::string> items = parse_comma_text(call.variables);
            if (call.parameter == "fail")
                return std::nullopt;
            if (call.parameter == "empty")
                return std::string();
            if (call.parameter == "hang") {
                while (call.progress(50, "waiting"))
                    std::this_thread::sleep_for(1ms);
                return call.variables;
            }
            std::vector<std::string> out;
            for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
                if (call.parameter == "drop" && items[i] == "B")
                    continue;
                out.push_back(items[i]);
                out.push_back(call.parameter == "set" && items[i] == "A" ? "changed" : items[i + 1]);
            }
            if (call.parameter == "set") {
                out.insert(out.end(), {"NEW", "value, with comma"});
                call.progress(77, "halfway");
            }
            return comma_text(out);
        };
    }
    std::vector<std::string> calls;
};

TEST(PluginCommand, VariablesComeBackAsTheLibraryHandsThem)
{
    struct Case {
        std::string parameter;
        std::string abort_on_error;
        std::string a, b, added;
        bool failure;
    };
    const Case cases[] = {
        {"set", "TRUE", "changed", "two", "value, with comma", false},
        {"drop", "TRUE", "one", "", "", false},
        {"fail", "TRUE", "one", "two", "", false}, // -1: the snapshot comes back
        {"empty", "FALSE", "one", "two", "", false},
        {"empty", "TRUE", "one", "two", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameter + "/" + c.abort_on_error);
        PluginRun run({{"A", "one"}, {"B", "two"}, {"ABORTONERROR", c.abort_on_error}}, c.parameter);
        EXPECT_EQ(run.run(), !c.failure);
        EXPECT_EQ(run.calls, std::vector<std::string>{"C:\\qvo1\\qtestplug.dll"});
        EXPECT_EQ(run.var("A"), c.a);
        EXPECT_EQ(run.var("B"), c.b);
        EXPECT_EQ(run.var("NEW"), c.added);
        if (c.parameter == "drop") {
            EXPECT_FALSE(run.vars.Exists("B"));
        }
        if (c.failure) {
            ASSERT_EQ(run.host.errors.size(), 1u);
            EXPECT_NE(run.host.errors[0].find("General setup failure"), std::string::npos);
            EXPECT_FALSE(run.vars.Exists("AFTER"));
        } else {
            EXPECT_EQ(run.var("AFTER"), "ran");
        }
    }
}

TEST(PluginCommand, ProgressOfTheLibraryReachesTheVariables)
{
    PluginRun run({{"A", "one"}}, "set");
    // The store is replaced by what the library returns, which was built before
    // its progress call: look at the progress while the worker runs.
    std::string seen;
    std::atomic<bool> looked = false;
    run.host.on_wait_step = [&] {
        if (run.var("KYRT_thProgress") == "77") {
            seen = run.var("KYRT_thProgressText");
            looked = true;
        }
    };
    // The library stays in its call until the loop has looked (however loaded
    // the machine), bounded so that a progress that never arrives cannot hang.
    run.host.plugin = [inner = run.host.plugin, &looked](const PluginInvocation& call) {
        call.progress(77, "halfway");
        auto until = std::chrono::steady_clock::now() + 10s;
        while (!looked && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(1ms);
        return inner(call);
    };
    EXPECT_TRUE(run.run());
    EXPECT_EQ(seen, "halfway");
}

TEST(PluginCommand, MissingLibraryIsSkippedWithAMessageUnlessSilent)
{
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        PluginRun run({{"A", "one"}}, "set", "mPlug.dll\\absent.dll");
        run.host.silent_run = silent;
        EXPECT_TRUE(run.run());
        EXPECT_TRUE(run.calls.empty());
        EXPECT_EQ(run.var("A"), "one");
        EXPECT_EQ(run.var("AFTER"), "ran");
        if (silent) {
            EXPECT_TRUE(run.host.error_boxes.empty());
        } else {
            EXPECT_EQ(run.host.error_boxes,
                      std::vector<std::string>{"Unable to load plug-in library. Please rebuild your project and make "
                                               "sure all required plug-ins are installed.\r\rAction skipped"});
            EXPECT_EQ(run.host.attention, (std::vector<std::string>{"pause", "clear"}));
        }
    }
}

TEST(PluginCommand, CancelBeforeTheCommandStopsALibraryThatHonoursIt)
{
    for (std::string abort_on_error : {"TRUE", "FALSE"}) {
        SCOPED_TRACE(abort_on_error);
        PluginRun run({{"A", "one"}, {"ABORTONERROR", abort_on_error}}, "hang");
        // "Set Variable" of ABORT before the command asks for the cancel.
        run.script = build_script({{"Set Variable", {"ABORT", "TRUE"}},
                                   {"Run Test Plug-In", {"hang", "x\\qtestplug.dll"}},
                                   {"Set Variable", {"AFTER", "ran"}}},
                                  {"Run Test Plug-In"});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.calls.size(), 1u);
        EXPECT_EQ(run.host.error_boxes, std::vector<std::string>{"Setup cancelled"});
        if (abort_on_error == "TRUE") {
            EXPECT_TRUE(run.executor->ended());
            EXPECT_FALSE(run.vars.Exists("AFTER"));
        } else {
            EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
            EXPECT_EQ(run.var("AFTER"), "ran");
        }
    }
}

// A plug-in command with a media folder: its library travels with those
// media, which a setup that keeps them in the engine cache fetches first.
TEST(PluginCommand, WebMediaAreFetchedBeforeTheLibraryBelowTheDataFolder)
{
    struct Case {
        const char* name;
        std::int32_t media_mode;
        std::string aborted_before;
        std::string abort_on_error;
        std::optional<std::string> failure;
        std::vector<std::string> fetched;
        bool library_called;
        std::string aborted_after;
        bool ended;
    };
    const std::string failure = "Unable to download installation data from the web";
    const Case cases[] = {
        {"fetched", 2, "FALSE", "TRUE", std::nullopt, {"WEB1\\"}, true, "FALSE", false},
        {"media beside the setup", 1, "FALSE", "TRUE", std::nullopt, {}, true, "FALSE", false},
        {"an earlier failure", 2, "TRUE", "FALSE", std::nullopt, {}, true, "TRUE", false},
        {"failed, going on", 2, "FALSE", "FALSE", failure, {"WEB1\\"}, true, "TRUE", false},
        {"failed, ending", 2, "FALSE", "TRUE", failure, {"WEB1\\"}, false, "FALSE", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PluginRun run({}, "set");
        run.script = build_script({{"Web Media Block", {"Web1", "http://a/$FILE$$NEWLINE$http://b/$FILE$"}},
                                   {"Run Test Plug-In", {"set", "plug\\qtestplug.dll"}, false, "WEB1\\"},
                                   {"Set Variable", {"AFTER", "ran"}}},
                                  {"Run Test Plug-In"}, c.media_mode);
        DefineVar(run.vars, "FILE", "web1.7zip", "Initialization");
        DefineVar(run.vars, "NEWLINE", "\r\n", "Initialization");
        DefineVar(run.vars, "DATADIR", "C:\\cache\\{REV}\\", "Initialization");
        DefineVar(run.vars, "ABORTEDONERROR", c.aborted_before, "Initialization");
        DefineVar(run.vars, "ABORTONERROR", c.abort_on_error, "Initialization");
        run.host.existing_files.insert("C:\\cache\\{REV}\\WEB1\\plug\\qtestplug.dll");
        run.host.fetch_failure = c.failure;
        run.run();
        EXPECT_EQ(run.host.web_blocks, std::vector<std::string>{"Web1|http://a/web1.7zip\r\nhttp://b/web1.7zip"});
        EXPECT_EQ(run.host.fetched, c.fetched);
        EXPECT_EQ(run.calls.empty(), !c.library_called);
        if (c.library_called) {
            EXPECT_EQ(run.calls, std::vector<std::string>{"C:\\cache\\{REV}\\WEB1\\plug\\qtestplug.dll"});
        }
        EXPECT_EQ(run.var("ABORTEDONERROR"), c.aborted_after);
        EXPECT_EQ(run.executor->ended() && run.executor->outcome() == ScriptOutcome::failed, c.ended);
        EXPECT_EQ(run.vars.Exists("AFTER"), !c.ended);
        if (c.failure) {
            EXPECT_EQ(run.host.error_boxes.front(), failure);
            EXPECT_EQ(std::vector<std::string>(run.host.attention.begin(), run.host.attention.begin() + 2),
                      (std::vector<std::string>{"error", "clear"}));
        }
    }
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

// "Extract 7Zip Archive" through the loop, with a stand-in archive library
// that "extracts" three members or fails as the archive's name says.
TEST(Extract7ZipArchive, ResultWordProgressAndWhatTheLibraryIsGiven)
{
    struct Case {
        std::string archive;
        std::string result_variable;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\\\media\\\\payload.7z", "OUTCOME", "SUCCESS"},
        {"C:\\\\media\\\\missing.7z", "OUTCOME", "The archive file was not found"},
        {"C:\\\\media\\\\broken.7z", "OUTCOME", "#7"},
        {"C:\\\\media\\\\broken.7z", "", ""}, // no variable named: none is set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive + "/" + c.result_variable);
        ScriptRun run({{"Extract 7Zip Archive", {"$SRC$", "$TARGETDIR$Data", c.result_variable, "$PW$", "TRUE", "0"}},
                       {"Set Variable", {"AFTER", "ran"}}},
                      {{"SRC", c.archive}, {"TARGETDIR", "D:\\\\App\\\\"}, {"PW", "secret"}});
        std::vector<ArchiveExtraction> jobs;
        run.host.extractor = [&](const ArchiveExtraction& job, const ArchiveProgress& progress) -> Result<void> {
            jobs.push_back(job);
            if (job.archive.ends_with("missing.7z"))
                return make_error(ErrorCode::not_found, "The archive file was not found");
            for (std::int64_t i = 0; i < 3; ++i)
                if (!progress("file" + std::to_string(i) + ".txt", i * 50, 150))
                    return make_error(ErrorCode::cancelled, "#cancelled");
            if (job.archive.ends_with("broken.7z"))
                return make_error(ErrorCode::corrupt, "#7");
            return {};
        };
        EXPECT_TRUE(run.run());
        ASSERT_EQ(jobs.size(), 1u);
        EXPECT_EQ(jobs[0].archive, c.archive.substr(0, 2) + "\\media\\" + c.archive.substr(c.archive.rfind('\\') + 1));
        EXPECT_EQ(jobs[0].target_folder, "D:\\App\\Data") << "path form: doubled backslashes reduced";
        EXPECT_EQ(jobs[0].password, "secret");
        EXPECT_TRUE(jobs[0].overwrite);
        EXPECT_FALSE(jobs[0].keep_paths);
        if (!c.result_variable.empty()) {
            EXPECT_EQ(run.var(c.result_variable), c.expected);
        } else {
            EXPECT_FALSE(run.vars.Exists("OUTCOME"));
        }
        EXPECT_EQ(run.var("AFTER"), "ran");
        if (!c.archive.ends_with("missing.7z")) {
            EXPECT_EQ(run.var("KYRT_thProgressText"), "file2.txt, 67% complete") << "position 100 of 150, plus one";
        }
    }
}

TEST(Extract7ZipArchive, ACancelStopsTheExtractionThroughItsProgress)
{
    ScriptRun run({{"Set Variable", {"ABORT", "TRUE"}},
                   {"Extract 7Zip Archive", {"C:\\a.7z", "C:\\t", "OUTCOME", "", "TRUE", "TRUE"}},
                   {"Set Variable", {"AFTER", "ran"}}},
                  {{"ABORTONERROR", "FALSE"}});
    int members = 0;
    run.host.extractor = [&](const ArchiveExtraction&, const ArchiveProgress& progress) -> Result<void> {
        while (progress("member", members, 1000000))
            if (++members > 100000)
                return {};
        return make_error(ErrorCode::cancelled, "#cancelled");
    };
    EXPECT_TRUE(run.run());
    EXPECT_LT(members, 100000) << "the progress answer stopped the library";
    EXPECT_EQ(run.var("OUTCOME"), "#cancelled");
    EXPECT_EQ(run.host.error_boxes, std::vector<std::string>{"Setup cancelled"});
    EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
    EXPECT_EQ(run.var("AFTER"), "ran");
}

} // namespace
} // namespace quillon::test
