// Scratch folders, file helpers and the 7z command for the archive tests.
#pragma once

#include "media/sevenzip/sevenzip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace quillon::test {

namespace fs = std::filesystem;

inline fs::path env_folder(const char* name, const fs::path& fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? fs::path(value) : fallback;
}

inline fs::path media_data(const std::string& name)
{
    return env_folder("QUILLON_TEST_DATA", fs::path("tests/data")) / "media" / name;
}

inline std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::span<const std::byte> bytes_of(const std::string& text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// Relative path (generic form) -> contents, "<dir>" for folders.
inline std::map<std::string, std::string> snapshot(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    if (!fs::exists(root))
        return tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        auto relative = fs::relative(item.path(), root).generic_u8string();
        std::string key(relative.begin(), relative.end());
        tree[key] = item.is_directory() ? "<dir>" : read_file(item.path());
    }
    return tree;
}

// Leftover temporary files of an interrupted extraction.
inline std::size_t partial_files(const fs::path& root)
{
    std::size_t count = 0;
    if (!fs::exists(root))
        return 0;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.path().extension() == ".part")
            ++count;
    return count;
}

// remove_all that also takes read-only files, which Windows will not delete.
inline void remove_tree(const fs::path& root)
{
    std::error_code ignored;
    if (fs::exists(root, ignored))
        for (const auto& item : fs::recursive_directory_iterator(root, ignored))
            fs::permissions(item.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("sevenzip-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        m_folder = env_folder("QUILLON_SCRATCH", fs::temp_directory_path()) / name;
        remove_tree(m_folder);
        fs::create_directories(m_folder);
    }

    void TearDown() override
    {
        if (HasFailure())
            return; // keep the evidence
        remove_tree(m_folder);
    }

    const fs::path& folder() const { return m_folder; }

private:
    fs::path m_folder;
};

inline bool have_7z()
{
#ifdef _WIN32
    return false;
#else
    return fs::exists("/usr/bin/7z");
#endif
}

// Runs 7z quietly in a folder; true when it succeeded.
inline bool run_7z(const fs::path& working_folder, const std::string& arguments)
{
    std::string command =
        "cd '" + working_folder.string() + "' && LC_ALL=C.UTF-8 /usr/bin/7z " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

inline sevenzip::PasswordProvider password(std::u16string text)
{
    return [text] { return std::optional<std::u16string>(text); };
}

} // namespace quillon::test
