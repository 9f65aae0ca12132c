// The component commands, run as small scripts through the loop.
#include "interp_test_support.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

Cmd define(std::string name, std::string state, std::string description = "")
{
    return {"Define Component", {std::move(name), std::move(state), std::move(description)}};
}

Cmd get_state(std::string name, std::string result)
{
    return {"Get Component State", {std::move(name), std::move(result)}};
}

Cmd get_space(std::string name, std::string result)
{
    return {"Get Component Space", {std::move(name), std::move(result)}};
}

Cmd set_variable(std::string name, std::string value)
{
    return {"Set Variable", {std::move(name), std::move(value)}};
}

TEST(ComponentCommands, NamesAndDescriptionsAreTranslatedThenExpanded)
{
    ScriptRun run({set_variable("WHAT", "Werkzeuge"), define("Tools", "TRUE", "Tools"), get_state("Tools", "STATE"),
                   get_state("Tools", "UNTRANSLATED")});
    run.host.translations[command_id(1) + "/1"] = "$WHAT$";
    run.host.translations[command_id(1) + "/2"] = "Die $WHAT$";
    run.host.translations[command_id(2) + "/1"] = "werkzeuge";
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    TComponentModel& model = run.executor->components();
    ASSERT_EQ(model.lists().components.size(), 1u);
    EXPECT_EQ(model.lists().components[0].name, "Werkzeuge");
    EXPECT_EQ(model.description("Werkzeuge"), "Die Werkzeuge");
    EXPECT_EQ(run.var("STATE"), "TRUE");
    EXPECT_EQ(run.var("UNTRANSLATED"), "FALSE");
}

TEST(ComponentCommands, ALocalizedDefinitionTakesOverTheSizeOfTheUntranslatedName)
{
    ScriptRun run({define("Tools", "TRUE"),
                   {"Set Component Space", {"Tools", "1500"}},
                   define("Tools", "TRUE"),
                   get_space("Tools", "SIZE"),
                   get_space("Tools", "TRANSLATED_SIZE")});
    run.host.translations[command_id(2) + "/1"] = "Werkzeuge";
    run.host.translations[command_id(4) + "/1"] = "Werkzeuge";
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    EXPECT_EQ(run.var("SIZE"), "1500");
    EXPECT_EQ(run.var("TRANSLATED_SIZE"), "1500");
}

TEST(ComponentCommands, StateChoiceAndVisibilityFlagsAreReadAsWritten)
{
    ScriptRun run({set_variable("ON", "TRUE"),
                   define("A", "$ON$"),
                   define("B", "FALSE"),
                   define("C", "FALSE"),
                   define("D", "TRUE"),
                   {"Set Component State", {"A", "$ON$"}},
                   {"Set Component State", {"B", "-1"}},
                   {"Set Component State", {"C", "true"}},
                   {"Set Component State", {"Undefined", "TRUE"}},
                   {"Set Component Choice", {"D", "$OFF$"}},
                   {"Set Component Visibility", {"D", "1"}}});
    DefineVar(run.vars, "OFF", "TRUE", "Initialization");
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    TComponentModel& model = run.executor->components();
    EXPECT_FALSE(model.is_selected("A")) << "defined selected, then \"$ON$\" as written is not true";
    EXPECT_TRUE(model.is_selected("B"));
    EXPECT_TRUE(model.is_selected("C"));
    EXPECT_FALSE(model.exists("Undefined"));
    EXPECT_TRUE(model.is_locked("D"));
    EXPECT_TRUE(model.is_hidden("D"));
}

TEST(ComponentCommands, QueriesStoreTheirResults)
{
    ScriptRun run({define("Tools", "TRUE"),
                   define("Tools\\Editors", "TRUE"),
                   define("Docs", "TRUE"),
                   {"Set Component Space", {"Tools", "10000"}},
                   {"Set Component Space", {"Tools\\Editors", "$BIG$"}},
                   {"Set Component Space", {"Docs", "700"}},
                   {"Delete Component", {"Docs"}},
                   {"Set Component Visibility", {"Tools\\Editors", "FALSE"}},
                   get_state("Docs", "$DOCS$"),
                   get_state("Tools", "TOOLS"),
                   get_state("Missing", "MISSING"),
                   get_space("Tools", "TOOLS_SIZE"),
                   get_space("Missing", "MISSING_SIZE"),
                   get_space("", "TOTAL")});
    DefineVar(run.vars, "BIG", "5000000", "Initialization");
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    EXPECT_EQ(run.var("DOCS"), "FALSE") << "deleted";
    EXPECT_EQ(run.var("TOOLS"), "TRUE");
    EXPECT_EQ(run.var("MISSING"), "FALSE");
    EXPECT_EQ(run.var("TOOLS_SIZE"), "10000");
    EXPECT_EQ(run.var("MISSING_SIZE"), "0");
    EXPECT_EQ(run.var("TOTAL"), "5010000") << "the hidden component counts, the deleted one does not";
}

TEST(ComponentCommands, AnEmptyResultNameStoresNothing)
{
    ScriptRun with({define("A", "TRUE"), get_state("A", ""), get_space("A", "")});
    ASSERT_TRUE(with.run());
    ScriptRun without({define("A", "TRUE")});
    ASSERT_TRUE(without.run());
    EXPECT_EQ(with.vars.count(), without.vars.count());
}

TEST(ComponentCommands, ASizeThatIsNotAnIntegerChangesNothing)
{
    const std::string_view cases[] = {"12kb", "", "1.5", "99999999999999999999", "$UNKNOWN$"};
    for (std::string_view size : cases) {
        SCOPED_TRACE(size);
        ScriptRun run({define("A", "TRUE"),
                       {"Set Component Space", {"A", "42"}},
                       {"Set Component Space", {"A", std::string(size)}},
                       get_space("A", "SIZE")});
        ASSERT_TRUE(run.run()) << "no runtime error";
        EXPECT_EQ(run.var("SIZE"), "42");
    }
}

class ComponentFileCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* scratch = std::getenv("QUILLON_SCRATCH");
        std::filesystem::path base = scratch ? std::filesystem::path(scratch) : std::filesystem::temp_directory_path();
        m_folder = base / (std::string("component-commands-") +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::string path(std::string_view name) const { return (m_folder / name).string(); }
    static std::string read(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path m_folder;
};

TEST_F(ComponentFileCommands, SaveThenLoadRestoresTheSelectionsAndTheSavedVariables)
{
    ScriptRun run({define("Tools", "TRUE"),
                   define("Tools\\Editors", "FALSE"),
                   define("Docs", "TRUE"),
                   {"Set Component Visibility", {"Docs", "FALSE"}},
                   set_variable("SERIAL$KYRT$KYRT$TRUE", "12-34"),
                   {"Set 64 Bit Mode", {"FALSE", "FALSE", "TRUE"}},
                   {"Save Feature Selections", {"$FILE$"}},
                   // Everything below is what the load undoes, or must keep.
                   {"Set Component State", {"Tools", "FALSE"}},
                   {"Set Component State", {"Tools\\Editors", "TRUE"}},
                   {"Set Component Visibility", {"Docs", "TRUE"}},
                   define("Late", "FALSE"),
                   set_variable("SERIAL", "changed"),
                   set_variable("TARGETDIR", "C:\\Elsewhere\\"),
                   {"Set 64 Bit Mode", {"TRUE", "FALSE", "FALSE"}},
                   {"Load Feature Selections", {"$FILE$"}}},
                  {{"FILE", path("selection.txt")},
                   {"TARGETDIR", "C:\\Program Files\\Loop Test\\"},
                   {"ALLUSERS", "TRUE"},
                   {"STARTMENU", "Loop Test"},
                   {"OVERRIDECACHE", "FALSE"}});
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    TComponentModel& model = run.executor->components();
    EXPECT_TRUE(model.is_selected("Tools"));
    EXPECT_FALSE(model.is_selected("Tools\\Editors"));
    EXPECT_TRUE(model.is_hidden("Docs"));
    EXPECT_FALSE(model.is_selected("Late")) << "not in the file: keeps its state";
    EXPECT_EQ(run.var("SERIAL"), "12-34");
    EXPECT_EQ(run.var("TARGETDIR"), "C:\\Program Files\\Loop Test\\");
    EXPECT_EQ(run.executor->platform_mode(), "x64");
    EXPECT_THAT(run.executor->persisted_variables(), ElementsAre("SERIAL"));
    EXPECT_EQ(read(path("selection.txt")),
              "Tools\r\nTools\\Editors\r\nDocs\r\n$\r\n"
              "TRUE\r\nFALSE\r\nTRUE\r\n$\r\n"
              "$\r\nDocs\r\n$\r\n$\r\n"
              // The script's size list, then a pair for each defined component.
              "KYRT-PREDEF-COMPONENT\r\n0\r\nTools\r\n0\r\nTools\\Editors\r\n0\r\nDocs\r\n0\r\n$\r\n"
              "C:\\Program Files\\Loop Test\\\r\nTRUE\r\nLoop Test\r\n\r\n"
              "SERIAL\r\n12-34\r\n"
              "KYRT64WOW\r\nx64\r\nOVERRIDECACHE\r\nFALSE\r\n");
}

TEST_F(ComponentFileCommands, LoadingAMissingFileDoesNothing)
{
    ScriptRun run({define("A", "TRUE"),
                   {"Set Component Visibility", {"A", "FALSE"}},
                   {"Load Feature Selections", {path("missing.txt")}},
                   set_variable("AFTER", "ran")});
    ASSERT_TRUE(run.run()) << run.host.errors.front();
    EXPECT_TRUE(run.executor->components().is_hidden("A"));
    EXPECT_EQ(run.var("AFTER"), "ran");
}

TEST_F(ComponentFileCommands, LoadingAFileThatIsNoSelectionFileIsARuntimeErrorAndChangesNothing)
{
    std::ofstream(path("notes.txt"), std::ios::binary) << "some notes\r\n$\r\nTRUE\r\n";
    ScriptRun run({define("A", "TRUE"),
                   {"Set Component Visibility", {"A", "FALSE"}},
                   {"Load Feature Selections", {path("notes.txt")}},
                   set_variable("AFTER", "ran")});
    EXPECT_FALSE(run.run());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_THAT(run.host.errors[0], HasSubstr("notes.txt"));
    EXPECT_TRUE(run.executor->components().is_hidden("A"));
    EXPECT_FALSE(VarExists(run.vars, "AFTER"));
}

TEST_F(ComponentFileCommands, AFailedSaveIsARuntimeError)
{
    ScriptRun run({{"Save Feature Selections", {path("no-such-folder/selection.txt")}}, set_variable("AFTER", "ran")});
    EXPECT_FALSE(run.run());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_THAT(run.host.errors[0], HasSubstr("no-such-folder"));
    EXPECT_FALSE(VarExists(run.vars, "AFTER"));
}

// Counts the turning off and on of the file-system redirection.
class RedirectionHost : public RecordingHost {
public:
    bool disable_redirection() override
    {
        calls.emplace_back("off");
        return true;
    }
    void revert_redirection() override { calls.emplace_back("on"); }
    std::vector<std::string> calls;
};

TEST_F(ComponentFileCommands, FileCommandsRunWithoutRedirectionInA64BitMode)
{
    for (const std::string mode : {"x64", "Win32"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> flags = {"FALSE", "FALSE", "FALSE"};
        flags[mode == "x64" ? 2 : 0] = "TRUE";
        ScriptRun run({{"Set 64 Bit Mode", flags},
                       {"Save Feature Selections", {path("selection.txt")}},
                       {"Load Feature Selections", {path("selection.txt")}},
                       define("A", "TRUE")});
        RedirectionHost host;
        TScriptExecutor executor(run.script, run.vars, host.roles(), run.handlers, run.process,
                                 BuildLabelTable(run.script));
        ASSERT_TRUE(executor.Run()) << host.errors.front();
        if (mode == "x64")
            EXPECT_THAT(host.calls, ElementsAre("off", "on", "off", "on"));
        else
            EXPECT_THAT(host.calls, IsEmpty());
    }
}

} // namespace
} // namespace quillon::test
