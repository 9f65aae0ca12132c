#include "dialogs/folder_binding.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

namespace quillon {
namespace {

using enum ControlKind;

// C:\, C:\Program Files, C:\Apps with readme.txt, D:\ exist; names ignore case, as on Windows.
PathKind probe(const std::string& given)
{
    std::string path = given;
    if (path.size() > 1 && path[1] == ':')
        path[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    static const std::set<std::string> folders = {"C:\\",     "C:\\Program Files", "C:\\Program Files\\",
                                                  "C:\\Apps", "C:\\Apps\\",        "D:\\"};
    if (folders.contains(path))
        return PathKind::folder;
    if (path == "C:\\Apps\\readme.txt")
        return PathKind::file;
    return PathKind::missing;
}

TEST(FolderBinding, TheNearestExistingFolderAndTheTailBelowIt)
{
    struct Case {
        const char* path;
        const char* folder;
        const char* tail;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Vendor\\Product\\", "C:\\Program Files\\", "Vendor\\Product\\"},
        {"C:\\Program Files\\", "C:\\Program Files\\", ""},
        {"E:\\Nowhere\\x", "E:\\", "Nowhere\\x"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto [folder, tail] = ResolveExisting(c.path, probe);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(tail, c.tail);
    }
}

TEST(FolderBinding, DestinationKeepsTheTailThatDidNotExist)
{
    // D:\Apps for C:\Program Files\Vendor\Product, where only C:\Program Files exists.
    EXPECT_EQ(DestinationAfterChoice("C:\\Program Files\\Vendor\\Product", "Vendor\\Product", "D:\\Apps"),
              "D:\\Apps\\Vendor\\Product");
    EXPECT_EQ(DestinationAfterChoice("C:\\Program Files\\Vendor\\Product", "Vendor\\Product", "c:\\program files"),
              "C:\\Program Files\\Vendor\\Product")
        << "a chosen folder that TARGETDIR lies in leaves it";
    EXPECT_EQ(DestinationAfterChoice("", "", "D:\\Apps"), "D:\\Apps");
    EXPECT_EQ(DestinationAfterChoice("C:\\X", "", "D:\\"), "D:\\");
}

TEST(FolderBinding, WhereAControlPointsWhenThePageIsPrepared)
{
    struct Case {
        ControlKind kind;
        std::int32_t tag;
        std::optional<std::string> bound;
        std::optional<FolderView> expected;
    };
    const std::string destination = "C:\\Program Files\\";
    const Case cases[] = {
        {shell_tree, 0, "C:\\Apps\\", FolderView{"C:\\Apps", ""}},
        {shell_tree, 0, "C:\\\\Apps\\\\", FolderView{"C:\\Apps", ""}},
        {shell_tree, 0, "C:\\Missing", std::nullopt},
        {shell_tree, 0, std::nullopt, std::nullopt},
        {shell_tree, 1, "C:\\Apps", FolderView{"C:\\Program Files", ""}},
        {directory_list_box, 1, std::nullopt, FolderView{"C:\\Program Files", ""}},
        {shell_combo, 0, "C:\\Apps", FolderView{"C:\\Apps", ""}},
        {file_list_box, 0, "C:\\Apps\\readme.txt", FolderView{"C:\\Apps", "C:\\Apps\\readme.txt"}},
        {file_list_box, 0, "C:\\Apps\\missing.txt", FolderView{"C:\\Apps", ""}},
        {file_list_box, 0, "C:\\Apps", FolderView{"C:\\Apps", ""}},
        {drive_combo_box, 0, "D:\\Games\\x", FolderView{"D:\\", ""}},
        {drive_combo_box, 0, "Q:\\x", std::nullopt},
        {drive_combo_box, 1, std::nullopt, FolderView{"C:\\", ""}},
        {edit, 1, "C:\\Apps", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind) * 100 + c.tag);
        SCOPED_TRACE(c.bound.value_or("(no variable)"));
        EXPECT_EQ(PreparedView(c.kind, c.tag, c.bound, destination, probe), c.expected);
    }
}

TEST(FolderBinding, LiveBoundControlsFollowTheirVariable)
{
    struct Case {
        ControlKind kind;
        std::string value;
        std::optional<FolderView> expected;
    };
    const Case cases[] = {
        {file_list_box, "C:\\Apps\\readme.txt", FolderView{"C:\\Apps", "C:\\Apps\\readme.txt"}},
        {file_list_box, "C:\\Apps\\", FolderView{"C:\\Apps", ""}},
        {file_list_box, "C:\\Apps\\missing.txt", std::nullopt},
        {directory_list_box, "C:\\Program Files\\", FolderView{"C:\\Program Files", ""}},
        {directory_list_box, "C:\\Apps\\readme.txt", std::nullopt},
        {shell_list, "C:\\Apps", FolderView{"C:\\Apps", ""}},
        {shell_tree, "C:\\Missing\\", std::nullopt},
        {drive_combo_box, "d:\\anything", FolderView{"d:\\", ""}},
        {drive_combo_box, "Q:\\", std::nullopt},
        {drive_combo_box, "", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        SCOPED_TRACE(c.value);
        EXPECT_EQ(LiveView(c.kind, c.value, probe), c.expected);
    }
}

TEST(FolderBinding, WhatAChangeWrites)
{
    struct Case {
        ControlKind kind;
        FolderEvent event;
        std::int32_t tag;
        std::string path;
        bool is_folder;
        std::optional<FolderWrite> expected;
    };
    using enum FolderEvent;
    const Case cases[] = {
        {shell_tree, selected, 0, "C:\\Apps", true, FolderWrite{"C:\\Apps", "PTShellTree1Change", std::nullopt}},
        {shell_tree, selected, 1, "C:\\Apps", true, FolderWrite{"C:\\Apps", "PTShellTree1Change", "C:\\Apps"}},
        {shell_combo, selected, 1, "D:\\", true, FolderWrite{"D:\\", "PTShellCombo1Change", "D:\\"}},
        {shell_list, selected, 1, "C:\\Apps\\readme.txt", false,
         FolderWrite{"C:\\Apps\\readme.txt", "PTShellList1Change", "C:\\Apps"}},
        {shell_list, selected, 1, "C:\\Apps\\Sub", true, std::nullopt},
        {shell_list, folder_opened, 1, "C:\\Apps\\Sub", true,
         FolderWrite{"C:\\Apps\\Sub", "PTShellList1FolderChanged", "C:\\Apps\\Sub"}},
        {file_list_box, selected, 1, "C:\\Apps\\readme.txt", false,
         FolderWrite{"C:\\Apps\\readme.txt", "FileListBox1Change", "C:\\Apps"}},
        {directory_list_box, selected, 0, "C:\\Program Files", true,
         FolderWrite{"C:\\Program Files", "DirectoryListBox1Change", std::nullopt}},
        {directory_list_box, selected, 1, "C:\\Program Files", true,
         FolderWrite{"C:\\Program Files", "DirectoryListBox1Change", "C:\\Program Files"}},
        {drive_combo_box, selected, 1, "D:\\", true, FolderWrite{"D:\\", "DriveComboBox1Change", "D:\\"}},
        {list_box, selected, 1, "x", false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind) * 100 + c.tag);
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FolderChange(c.kind, c.event, c.tag, c.path, c.is_folder), c.expected);
    }
}

TEST(FolderBinding, LevelsOfAFolderList)
{
    EXPECT_EQ(FolderLevels("C:\\Program Files\\Vendor\\"),
              (std::vector<FolderLevel>{
                  {"C:\\", "C:\\"}, {"Program Files", "C:\\Program Files"}, {"Vendor", "C:\\Program Files\\Vendor"}}));
    EXPECT_EQ(FolderLevels("D:\\"), (std::vector<FolderLevel>{{"D:\\", "D:\\"}}));
    EXPECT_EQ(
        FolderLevels("\\\\server\\share\\docs"),
        (std::vector<FolderLevel>{{"\\\\server\\share", "\\\\server\\share"}, {"docs", "\\\\server\\share\\docs"}}));
    EXPECT_TRUE(FolderLevels("").empty());
}

TEST(FolderBinding, FileMasks)
{
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    };
    const Case cases[] = {
        {"readme.txt", "*.*", true},          {"README", "*.*", true},
        {"a.JPG", "*.jpg;*.png", true},       {"a.png", "*.jpg; *.png", true},
        {"a.gif", "*.jpg;*.png", false},      {"setup1.exe", "setup?.exe", true},
        {"setup12.exe", "setup?.exe", false}, {"x", "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;
}

} // namespace
} // namespace quillon
