// RunPluginLibrary against the project's own plug-in library, qtestplug.dll,
// whose parameter tells it what to do (see tests/plugin/test_plugin.cpp).
#include "platform/win32/plugin_library.h"

#include "harness/harness.h"
#include "platform/win32/wide.h"
#include "vars/comma_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>
#include <utility>
#include <vector>

namespace quillon {
namespace {

std::string ansi_path(const std::filesystem::path& path)
{
    return win32::to_ansi(path.wstring());
}

PluginCall plugin_call(std::string parameter, std::string variables = {})
{
    PluginCall call;
    call.library_path = ansi_path(test::test_plugin_file());
    call.parameter = std::move(parameter);
    call.variables = std::move(variables);
    return call;
}

// On a thread of its own, as the interpreter's worker calls it.
std::optional<std::string> run_on_worker(const PluginCall& call)
{
    std::optional<std::string> result;
    std::thread worker([&] { result = RunPluginLibrary(call); });
    worker.join();
    return result;
}

struct ProgressReport {
    std::int32_t position;
    std::string text;
    bool operator==(const ProgressReport&) const = default;
};

TEST(RunPluginLibrary, VariablesChangedAddedAndDroppedComeBack)
{
    const std::string input = comma_text({"Alpha", "1", "Beta", "two words", "Gamma", "say \"hi\", then"});
    auto output = run_on_worker(plugin_call("set:alpha=10;drop:BETA;set:Delta=x, y", input));
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, comma_text({"Alpha", "10", "Gamma", "say \"hi\", then", "Delta", "x, y"}));
}

TEST(RunPluginLibrary, BytesOutsideAsciiArriveAndReturnExactly)
{
    const std::string parameter = "set:E=\xE9\xFF\x80;param:P";
    auto output = run_on_worker(plugin_call(parameter, comma_text({"N\xE9", "v\xE0lue"})));
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, comma_text({"N\xE9", "v\xE0lue", "E", "\xE9\xFF\x80", "P", parameter}));
}

TEST(RunPluginLibrary, WindowAndReservedValueArrive)
{
    PluginCall call = plugin_call("window:W;reserved:R");
    call.window = 0x12345;
    auto output = run_on_worker(call);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(*output, comma_text({"W", "74565", "R", "0"}));
}

TEST(RunPluginLibrary, EmptyOutputIsAnEmptyText)
{
    EXPECT_EQ(run_on_worker(plugin_call("empty", "A,1")), std::optional<std::string>(""));
}

TEST(RunPluginLibrary, OutputWithoutTerminatorIsCutAtItsLength)
{
    EXPECT_EQ(run_on_worker(plugin_call("set:B=2;unterminated", "A,1")), std::optional<std::string>("A,1,B,2"));
}

TEST(RunPluginLibrary, ProgressReachesTheCallbackOnTheCallingThread)
{
    std::vector<ProgressReport> reports;
    std::vector<std::thread::id> threads;
    PluginCall call = plugin_call("progress:3;set:A=2", "A,1");
    call.progress = [&](std::int32_t position, std::string_view text) {
        reports.push_back({position, std::string(text)});
        threads.push_back(std::this_thread::get_id());
        return true;
    };
    std::optional<std::string> output;
    std::thread::id worker_id;
    std::thread worker([&] {
        worker_id = std::this_thread::get_id();
        output = RunPluginLibrary(call);
    });
    worker.join();

    EXPECT_EQ(output, std::optional<std::string>("A,2"));
    EXPECT_EQ(reports, (std::vector<ProgressReport>{{1, "step 1"}, {2, "step 2"}, {3, "step 3"}}));
    EXPECT_EQ(threads, std::vector<std::thread::id>(3, worker_id));
}

TEST(RunPluginLibrary, CallbackReturningFalseStopsAWaitingLibrary)
{
    int calls = 0;
    PluginCall call = plugin_call("set:A=2;hang", "A,1");
    call.progress = [&](std::int32_t position, std::string_view text) {
        EXPECT_EQ(text, "waiting");
        EXPECT_EQ(position, calls % 100 + 1);
        return ++calls < 4;
    };
    EXPECT_EQ(run_on_worker(call), std::optional<std::string>("A,1"));
    EXPECT_EQ(calls, 4);
}

TEST(RunPluginLibrary, CallbackThatThrowsAsksTheLibraryToStop)
{
    int calls = 0;
    PluginCall call = plugin_call("hang", "A,1");
    call.progress = [&](std::int32_t, std::string_view) -> bool {
        ++calls;
        throw std::runtime_error("callback failed");
    };
    EXPECT_EQ(run_on_worker(call), std::optional<std::string>("A,1"));
    EXPECT_EQ(calls, 1);
}

TEST(RunPluginLibrary, CallsOnTwoThreadsKeepTheirOwnCallbacks)
{
    std::vector<std::string> counting_texts;
    PluginCall counting = plugin_call("progress:40", "A,1");
    counting.progress = [&](std::int32_t, std::string_view text) {
        counting_texts.emplace_back(text);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        return true;
    };
    std::vector<std::string> waiting_texts;
    PluginCall waiting = plugin_call("hang", "B,2");
    waiting.progress = [&](std::int32_t, std::string_view text) {
        waiting_texts.emplace_back(text);
        return waiting_texts.size() < 6;
    };

    std::optional<std::string> counting_output;
    std::optional<std::string> waiting_output;
    std::thread first([&] { counting_output = RunPluginLibrary(counting); });
    std::thread second([&] { waiting_output = RunPluginLibrary(waiting); });
    first.join();
    second.join();

    EXPECT_EQ(counting_output, std::optional<std::string>("A,1"));
    EXPECT_EQ(waiting_output, std::optional<std::string>("B,2"));
    ASSERT_EQ(counting_texts.size(), 40u);
    for (std::size_t i = 0; i < counting_texts.size(); ++i)
        EXPECT_EQ(counting_texts[i], "step " + std::to_string(i + 1));
    EXPECT_EQ(waiting_texts, std::vector<std::string>(6, "waiting"));
}

// Every way a library can fail its call, in either of the two calls. Each fails
// twice on one thread, which then makes a sound call: a failure leaves nothing
// behind that breaks the next call (for a stack overflow: the stack's guard page).
TEST(RunPluginLibrary, FailingLibraryGivesNoOutputAndTheProcessGoesOn)
{
    const char* const failures[] = {
        "fail",  "fail-late",  "length:-1", "length:-2", "length:300000000", "throw",         "throw-late",
        "crash", "crash-late", "illegal",   "divide",    "overflow",         "set:A=9;crash", "unknown-directive",
    };
    for (const char* parameter : failures) {
        SCOPED_TRACE(parameter);
        std::optional<std::string> failed[2];
        std::optional<std::string> after;
        std::thread worker([&] {
            for (std::optional<std::string>& result : failed)
                result = RunPluginLibrary(plugin_call(parameter, "A,1"));
            after = RunPluginLibrary(plugin_call("set:B=2", "A,1"));
        });
        worker.join();
        EXPECT_EQ(failed[0], std::nullopt);
        EXPECT_EQ(failed[1], std::nullopt);
        EXPECT_EQ(after, std::optional<std::string>("A,1,B,2"));
    }
}

TEST(RunPluginLibrary, LibraryThatCannotBeCalledGivesNoOutput)
{
    const std::filesystem::path dir = test::fresh_scratch_dir(L"plugin_library");
    const std::filesystem::path not_a_library = dir / L"notalib.dll";
    std::ofstream(not_a_library) << "not a library";
    // kernel32.dll loads but has no RunTimeExecute export.
    const std::string paths[] = {ansi_path(dir / L"absent.dll"), ansi_path(not_a_library), "kernel32.dll", ""};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        PluginCall call = plugin_call("set:A=2", "A,1");
        call.library_path = path;
        EXPECT_EQ(run_on_worker(call), std::nullopt);
    }
}

// Exceptions the library raises and handles itself never reach the caller's
// guard: a C++ exception and a processor fault under the library's own handler.
TEST(RunPluginLibrary, LibraryHandlesItsOwnExceptions)
{
    EXPECT_EQ(run_on_worker(plugin_call("catch-throw:T;catch-fault:F", "A,1")),
              std::optional<std::string>(comma_text({"A", "1", "T", "caught", "F", "caught"})));
}

} // namespace
} // namespace quillon
