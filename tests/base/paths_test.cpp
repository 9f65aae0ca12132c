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

} // namespace
} // namespace quillon
