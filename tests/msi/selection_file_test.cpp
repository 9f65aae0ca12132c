// The component selection file: its fixed layout, reading it back (also in
// older layouts), applying its run values, and the file on disk.
#include "msi/selection_file.h"
#include "vars/VariableManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quillon {
namespace {

using ::testing::ElementsAre;

// A model with something in every list.
TComponentModel sample_model()
{
    TComponentModel model({"KYRT-PREDEF-COMPONENT", "100"});
    model.StartFirstInstallation();
    model.Define("Tools", "the tools", true);
    model.Define("Tools\\Editors", "", false);
    model.Define("Docs", "", true);
    model.SetSpace("Tools", 2500);
    model.Delete("Docs");
    model.SetVisibility("Tools\\Editors", false);
    model.SetChoice("Tools", false);
    return model;
}

SelectionRunValues sample_values()
{
    SelectionRunValues values;
    values.target_dir = "C:\\Program Files\\Sample\\";
    values.all_users = "TRUE";
    values.start_menu = "Sample";
    values.saved_variables = {{"SERIAL", "12-34"}, {"NOTES", "line one\r\nline two\nline three"}, {"EMPTY", ""}};
    values.platform_mode = "x64";
    values.override_cache = "C:\\Cache\\";
    return values;
}

TEST(SelectionFile, WritesTheFixedLayout)
{
    std::string text = FormatSelectionFile(sample_model(), sample_values());
    EXPECT_EQ(text, "KYRT-PREDEF-COMPONENT\r\nTools\r\nTools\\Editors\r\nDocs\r\n$\r\n"
                    "TRUE\r\nTRUE\r\nFALSE\r\nTRUE\r\n$\r\n"
                    "Docs\r\n$\r\n"
                    "Tools\\Editors\r\n$\r\n"
                    "Tools\r\n$\r\n"
                    "KYRT-PREDEF-COMPONENT\r\n100\r\nTools\r\n2500\r\nTools\\Editors\r\n0\r\nDocs\r\n0\r\n$\r\n"
                    "C:\\Program Files\\Sample\\\r\nTRUE\r\nSample\r\n\r\n"
                    "SERIAL\r\n12-34\r\n"
                    "NOTES\r\nline one$NEWLINE$line two$NEWLINE$line three\r\n"
                    "EMPTY\r\n\r\n"
                    "KYRT64WOW\r\nx64\r\n"
                    "OVERRIDECACHE\r\nC:\\Cache\\\r\n");
}

TEST(SelectionFile, ReadsBackWhatItWrote)
{
    TComponentModel model = sample_model();
    Result<SelectionFile> file = ParseSelectionFile(FormatSelectionFile(model, sample_values()));
    ASSERT_TRUE(file) << file.error().message;
    ComponentLists expected = model.lists();
    for (Component& component : expected.components)
        component.description.clear(); // descriptions come from the script, not the file
    EXPECT_EQ(file->lists, expected);
    EXPECT_EQ(file->target_dir, "C:\\Program Files\\Sample\\");
    EXPECT_EQ(file->all_users, "TRUE");
    EXPECT_EQ(file->start_menu, "Sample");
    EXPECT_EQ(file->data_folder, "");
    EXPECT_EQ(file->platform_mode, "x64");
    ASSERT_EQ(file->variables.size(), 4u);
    EXPECT_EQ(file->variables[0].name, "SERIAL");
    EXPECT_EQ(file->variables[1].value, "line one$NEWLINE$line two$NEWLINE$line three");
    EXPECT_EQ(file->variables[2].name, "EMPTY");
    EXPECT_EQ(file->variables[2].value, "");
    EXPECT_TRUE(file->variables[2].saved);
    EXPECT_EQ(file->variables[3].name, "OVERRIDECACHE");
    EXPECT_EQ(file->variables[3].value, "C:\\Cache\\");
    EXPECT_FALSE(file->variables[3].saved) << "the pair after the platform mode is not a saved variable";
}

TEST(SelectionFile, ReadingToleratesBareLineFeedsAndAnOddLastLine)
{
    Result<SelectionFile> file = ParseSelectionFile("A\nB\r\n$\nTRUE\n$\n$\n$\n$\n$\nC:\\T\\\nFALSE\nMenu\n\n"
                                                    "X\nx value\nDANGLING");
    ASSERT_TRUE(file) << file.error().message;
    EXPECT_EQ(file->lists.components, (std::vector<Component>{{"A", "TRUE", ""}, {"B", "", ""}}));
    EXPECT_EQ(file->start_menu, "Menu");
    ASSERT_EQ(file->variables.size(), 1u);
    EXPECT_EQ(file->variables[0].value, "x value");
    EXPECT_FALSE(file->platform_mode);
}

// A file edited by hand or written by another tool may carry fewer states
// than names, and a size list whose last name lacks its size.
constexpr std::string_view old_layout = "A\r\nB\r\nC\r\n$\r\n"
                                        "FALSE\r\n$\r\n"
                                        "$\r\n$\r\n$\r\n"
                                        "A\r\n700\r\nB\r\n$\r\n";

TEST(SelectionFile, AShortStateListLeavesTheLaterComponentsWithoutAState)
{
    Result<SelectionFile> file = ParseSelectionFile(old_layout);
    ASSERT_TRUE(file) << file.error().message;
    EXPECT_EQ(file->lists.components, (std::vector<Component>{{"A", "FALSE", ""}, {"B", "", ""}, {"C", "", ""}}));
    EXPECT_FALSE(file->target_dir) << "a file cut short after its lists";

    // Loading: only A has something to say.
    TComponentModel model;
    model.Define("A", "", true);
    model.Define("B", "", false);
    model.Define("C", "", true);
    model.Merge(file->lists);
    EXPECT_FALSE(model.is_selected("A"));
    EXPECT_FALSE(model.is_selected("B"));
    EXPECT_TRUE(model.is_selected("C"));
}

TEST(SelectionFile, ASizeWithoutItsNameIsCompletedSoThatLaterPairsStayAligned)
{
    Result<SelectionFile> file = ParseSelectionFile(old_layout);
    ASSERT_TRUE(file) << file.error().message;
    EXPECT_EQ(file->lists.sizes, (std::vector<SizeEntry>{{"A", "700"}, {"B", "0"}}));

    // The engine cache's read, then the script's definitions: B takes its
    // state from its definition, C stays without one, and D's size pair
    // follows B's instead of taking B's size line.
    TComponentModel model;
    model.Append(file->lists, LoadSizes::append);
    model.Define("B", "", true);
    model.Define("D", "", true);
    model.SetSpace("D", 42);
    EXPECT_EQ(FormatSelectionFile(model, {}), "A\r\nB\r\nC\r\nD\r\n$\r\n"
                                              "FALSE\r\nTRUE\r\n\r\nTRUE\r\n$\r\n"
                                              "$\r\n$\r\n$\r\n"
                                              "A\r\n700\r\nB\r\n0\r\nD\r\n42\r\n$\r\n"
                                              "\r\n\r\n\r\n\r\n"
                                              "KYRT64WOW\r\n\r\nOVERRIDECACHE\r\n\r\n");
    EXPECT_EQ(model.size("B"), 0);
    EXPECT_EQ(model.size("D"), 42);
}

TEST(SelectionFile, AFileWithoutItsSixListsIsRefused)
{
    const std::string_view cases[] = {"", "just some text\r\n", "A\r\n$\r\nTRUE\r\n$\r\n$\r\n$\r\n$\r\n"};
    for (std::string_view text : cases) {
        SCOPED_TRACE(text);
        Result<SelectionFile> file = ParseSelectionFile(text);
        ASSERT_FALSE(file);
        EXPECT_EQ(file.error().code, ErrorCode::corrupt);
    }
}

TEST(SelectionFile, ApplyingSetsTheRunValuesAndReportsTheSavedNames)
{
    TVariableManager vars;
    DefineVar(vars, "TARGETDIR", "C:\\Before\\", "Bootstrap");
    DefineVar(vars, "STARTMENU", "Before", "Bootstrap");
    SelectionFile file;
    file.target_dir = "C:\\After\\";
    file.variables = {{"SERIAL", "12", true}, {"", "ignored", true}, {"OVERRIDECACHE", "C:\\C\\", false}};
    std::vector<std::string> kept;
    ApplySelectionVariables(vars, file, [&](std::string_view name) { kept.emplace_back(name); });
    EXPECT_EQ(GetVar(vars, "TARGETDIR"), "C:\\After\\");
    EXPECT_EQ(GetVar(vars, "STARTMENU"), "Before") << "a file cut short sets only what it holds";
    EXPECT_FALSE(VarExists(vars, "ALLUSERS"));
    EXPECT_EQ(GetVar(vars, "SERIAL"), "12");
    EXPECT_EQ(GetVar(vars, "OVERRIDECACHE"), "C:\\C\\");
    EXPECT_THAT(kept, ElementsAre("SERIAL"));
}

class SelectionFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* scratch = std::getenv("QUILLON_SCRATCH");
        std::filesystem::path base = scratch ? std::filesystem::path(scratch) : std::filesystem::temp_directory_path();
        m_folder =
            base / (std::string("selection-file-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::string path(std::string_view name) const { return (m_folder / name).string(); }

    std::filesystem::path m_folder;
};

TEST_F(SelectionFileOnDisk, WriteOverwritesAndReadGivesTheBytesBack)
{
    std::string file = path("selection.txt");
    std::ofstream(file, std::ios::binary) << "an older and much longer content that must not survive";
    std::string text = "A\r\n$\r\n\xE4\xF6\r\n";
    ASSERT_TRUE(WriteSelectionFile(file, text));
    Result<std::optional<std::string>> read = ReadSelectionFile(file);
    ASSERT_TRUE(read) << read.error().message;
    ASSERT_TRUE(*read);
    EXPECT_EQ(**read, text);
}

TEST_F(SelectionFileOnDisk, AMissingFileIsNothingButAnUnreadableOneIsAnError)
{
    Result<std::optional<std::string>> missing = ReadSelectionFile(path("missing.txt"));
    ASSERT_TRUE(missing) << missing.error().message;
    EXPECT_FALSE(*missing);
    Result<std::optional<std::string>> in_missing_folder = ReadSelectionFile(path("no-folder/missing.txt"));
    ASSERT_TRUE(in_missing_folder) << in_missing_folder.error().message;
    EXPECT_FALSE(*in_missing_folder);

    std::filesystem::create_directories(m_folder / "folder");
    Result<std::optional<std::string>> folder = ReadSelectionFile(path("folder"));
    ASSERT_FALSE(folder) << "a folder is not a missing file";
    EXPECT_EQ(folder.error().code, ErrorCode::io);

    Result<void> unwritable = WriteSelectionFile(path("no-folder/selection.txt"), "x");
    ASSERT_FALSE(unwritable);
    EXPECT_EQ(unwritable.error().code, ErrorCode::io);
}

} // namespace
} // namespace quillon
