#include "engine/support_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace quillon {
namespace {

namespace fs = std::filesystem;

// A temp folder in the engine's form: ANSI text with a trailing backslash.
// Natively a backslash is an ordinary file name character, which is enough here.
std::string scratch_temp_folder(const std::string& name)
{
    const char* scratch = std::getenv("QUILLON_SCRATCH");
    fs::path root = fs::path(scratch != nullptr ? scratch : fs::temp_directory_path().string()) / name;
    fs::remove_all(root);
    fs::create_directories(root);
    return root.string() + "/";
}

TEST(SupportFolder, TakesTheSmallestFreeNumber)
{
    std::string temp = scratch_temp_folder("support-number");
    fs::create_directories(fs_path(temp + "qvo1\\"));
    fs::create_directories(fs_path(temp + "qvo2\\"));
    Result<std::string> folder = CreateSupportFolder(temp);
    ASSERT_TRUE(folder) << folder.error().message;
    EXPECT_EQ(*folder, temp + "qvo3\\");
    EXPECT_TRUE(fs::is_directory(fs_path(*folder)));
}

TEST(SupportFolder, RemovalEmptiesNestedAndReadOnlyContent)
{
    std::string temp = scratch_temp_folder("support-remove");
    Result<std::string> folder = CreateSupportFolder(temp);
    ASSERT_TRUE(folder);
    fs::path root = fs_path(*folder);
    fs::create_directories(root / "dialogs" / "deep");
    std::ofstream(root / "dialogs" / "deep" / "a.dfm") << "x";
    std::ofstream(root / "setup.msi") << "y";
    fs::permissions(root / "setup.msi", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_TRUE(RemoveSupportFolder(*folder));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_TRUE(RemoveSupportFolder(*folder)); // already gone
}

TEST(SupportFolder, CopiesTheDatabasesThatExist)
{
    std::string temp = scratch_temp_folder("support-copy");
    std::string engine_folder = temp + "engine\\";
    fs::create_directories(fs_path(engine_folder));
    std::ofstream(fs_path(engine_folder + "setup.msi")) << "database";
    Result<std::string> folder = CreateSupportFolder(temp);
    ASSERT_TRUE(folder);
    std::ofstream(fs_path(*folder + "setup.msi")) << "older";
    fs::permissions(fs_path(*folder + "setup.msi"), fs::perms::owner_write, fs::perm_options::remove);

    CopyDatabaseFiles(engine_folder, "setup", *folder);
    std::ifstream copied(fs_path(*folder + "setup.msi"));
    std::string content;
    copied >> content;
    EXPECT_EQ(content, "database");
    EXPECT_FALSE(fs::exists(fs_path(*folder + "setup.msp")));
}

} // namespace
} // namespace quillon
