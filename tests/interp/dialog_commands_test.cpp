// "Display Dialog" and "Hide Dialog" against a host that records what the
// dialog runtime was asked to do.
#include "interp_test_support.h"

#include <gtest/gtest.h>

#include <deque>

namespace quillon::test {
namespace {

class DialogHost : public RecordingHost {
public:
    void release_dialog(const std::string& key) override { calls.push_back("release " + key); }
    Result<void> prepare_dialog(const std::string& key) override
    {
        calls.push_back("prepare " + key);
        return {};
    }
    Result<DialogOutcome> show_dialog(const std::string& key, bool modal) override
    {
        calls.push_back(std::string(modal ? "modal " : "modeless ") + key);
        DialogOutcome outcome;
        if (!modal) {
            outcome.window = 0x1234;
            return outcome;
        }
        if (!results.empty()) {
            outcome = results.front();
            results.pop_front();
        }
        return outcome;
    }
    void hide_current_dialog() override { calls.push_back("hide"); }

    std::vector<std::string> calls;
    std::deque<DialogOutcome> results;
};

struct DialogRun {
    explicit DialogRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {})
        : script(build_script(commands)), handlers(StandardHandlers())
    {
        for (const auto& [name, value] : start)
            DefineVar(vars, name, value, "Initialization");
    }
    bool run()
    {
        executor.emplace(script, vars, host.roles(), handlers, process, BuildLabelTable(script));
        return executor->Run();
    }
    std::string var(std::string_view name) const { return GetVar(vars, name); }

    TScriptImage script;
    TVariableManager vars;
    DialogHost host;
    HandlerTable handlers;
    ProcessState process;
    std::optional<TScriptExecutor> executor;
};

Cmd dialog(std::string name, std::string result = "RESULT", std::string modal = "TRUE", std::string condition = "",
           std::string skip = "")
{
    return {"Display Dialog",
            {std::move(name), std::move(result), std::move(modal), std::move(condition), "", std::move(skip)}};
}

TEST(DisplayDialog, ResultTextsByCode)
{
    struct Case {
        std::int32_t code;
        std::string custom;
        std::string expected;
    };
    const Case cases[] = {{6, "", "NEXT"},      {7, "", "BACK"},     {2, "", "CANCEL"}, {8, "btnRepair", "BTNREPAIR"},
                          {1, "", "unchanged"}, {5, "", "unchanged"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        DialogRun run({dialog("Page")}, {{"RESULT", "unchanged"}});
        run.host.results.push_back({c.code, c.custom, 0});
        EXPECT_TRUE(run.run());
        EXPECT_EQ(run.var("RESULT"), c.expected);
        EXPECT_EQ(run.var("WINDOWHANDLE"), "0");
    }
}

TEST(DisplayDialog, ConditionVariablePassesThePageOverInBothDirections)
{
    // Pages: one, two (only while PERSONALIZED is true), three. Back on three.
    auto script = [] {
        return std::vector<Cmd>{{"Wizard Loop"},
                                dialog("one", "WIZARD"),
                                dialog("two", "WIZARD", "TRUE", "$PERSONALIZED$", "FALSE"),
                                dialog("three", "WIZARD"),
                                {"End"}};
    };
    for (std::string personalized : {"FALSE", "TRUE"}) {
        SCOPED_TRACE(personalized);
        DialogRun run(script(), {{"PERSONALIZED", personalized}});
        // three: back; then forward again through every page shown.
        run.host.results = {{6, "", 0}};
        if (personalized == "TRUE")
            run.host.results.push_back({6, "", 0});
        run.host.results.push_back({7, "", 0});
        EXPECT_TRUE(run.run());
        std::vector<std::string> shown;
        for (const std::string& call : run.host.calls)
            if (call.starts_with("modal "))
                shown.push_back(call.substr(6));
        std::vector<std::string> expected = personalized == "TRUE" ? std::vector<std::string>{"1", "2", "3", "2", "3"}
                                                                   : std::vector<std::string>{"1", "3", "1", "3"};
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(run.var("WIZARD"), "NEXT");
    }
}

TEST(DisplayDialog, ModelessPageSetsTheWindowHandleAndHideClearsIt)
{
    DialogRun run({dialog("First"),
                   dialog("Progress", "P", "FALSE"),
                   {"Set Variable", {"SEEN", "$WINDOWHANDLE$"}},
                   {"Hide Dialog"},
                   dialog("Last")});
    EXPECT_TRUE(run.run());
    EXPECT_EQ(run.var("P"), "NOTMODAL");
    EXPECT_EQ(run.var("SEEN"), std::to_string(0x1234));
    EXPECT_EQ(run.var("WINDOWHANDLE"), "0");
    // The first (modal) page is released when the next one comes up; the hidden
    // modeless page is released when the last one comes up.
    EXPECT_EQ(run.host.calls, (std::vector<std::string>{"prepare 0", "modal 0", "release 0", "prepare 1", "modeless 1",
                                                        "hide", "release 1", "prepare 4", "modal 4"}));
}

} // namespace
} // namespace quillon::test
