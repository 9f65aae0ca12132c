#include "base/paths.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Paths, FolderForms)
{
    struct Case {
        const char* path;
        const char* with;
        const char* without;
        const char* parent;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Vendor", "C:\\Program Files\\Vendor\\", "C:\\Program Files\\Vendor", "C:\\Program Files"},
        {"C:\\Program Files\\Vendor\\\\", "C:\\Program Files\\Vendor\\\\", "C:\\Program Files\\Vendor",
         "C:\\Program Files"},
        {"C:\\Apps", "C:\\Apps\\", "C:\\Apps", "C:\\"},
        {"C:\\", "C:\\", "C:\\", "C:\\"},
        {"C:", "C:\\", "C:\\", "C:\\"},
        {"\\\\server\\share\\x", "\\\\server\\share\\x\\", "\\\\server\\share\\x", "\\\\server\\share"},
        {"name", "name\\", "name", "name"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(with_backslash(c.path), c.with);
        EXPECT_EQ(without_backslash(c.path), c.without);
        EXPECT_EQ(parent_folder(c.path), c.parent);
    }
}

TEST(Paths, PartsAndJoins)
{
    EXPECT_EQ(folder_part("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(folder_part("C:/a/b.txt"), "C:/a/");
    EXPECT_EQ(folder_part("b.txt"), "");
    EXPECT_EQ(file_name_part("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(file_name_part("b.txt"), "b.txt");
    EXPECT_EQ(join_path("C:\\a", "b"), "C:\\a\\b");
    EXPECT_EQ(join_path("C:\\a\\", "b"), "C:\\a\\b");
    EXPECT_EQ(join_path("", "b"), "b");
    EXPECT_EQ(without_extension("C:\\a.b\\setup.msi"), "C:\\a.b\\setup");
    EXPECT_EQ(without_extension("C:\\a.b\\setup"), "C:\\a.b\\setup");
    EXPECT_TRUE(is_drive_root("D:\\"));
    EXPECT_TRUE(is_drive_root("D:"));
    EXPECT_FALSE(is_drive_root("D:\\x"));
    EXPECT_FALSE(is_drive_root("\\"));
}

TEST(Paths, LongPathForms)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\Temp\\qvo1\\", "\\\\?\\C:\\Temp\\qvo1\\"},
        {"C:\\Temp\\qvo1", "\\\\?\\C:\\Temp\\qvo1"},
        {"C:/Temp//qvo1/./a/../b", "\\\\?\\C:\\Temp\\qvo1\\b"},
        {"C:\\..\\..\\x", "\\\\?\\C:\\x"},
        {"C:\\", "\\\\?\\C:\\"},
        {"\\\\server\\share\\dir\\f.txt", "\\\\?\\UNC\\server\\share\\dir\\f.txt"},
        {"\\\\server\\share", "\\\\?\\UNC\\server\\share\\"},
        {"\\\\?\\C:\\already\\..\\kept", "\\\\?\\C:\\already\\..\\kept"},
        {"relative\\path", "relative\\path"},
        {"C:drive-relative", "C:drive-relative"},
        {"\\\\server", "\\\\server"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(long_path_form(c.path), c.expected) << c.path;
}

} // namespace
} // namespace quillon
