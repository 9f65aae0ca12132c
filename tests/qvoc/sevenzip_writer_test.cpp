#include "qvoc/sevenzip_writer.h"
#include "media/sevenzip/sevenzip.h"
#include "qvoc_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace quillon::test {
namespace {

using qvoc::ArchiveItem;

TEST(SevenZipNumber, UsesTheShortestForm)
{
    struct Case {
        std::uint64_t value;
        std::string_view bytes;
    };
    const Case cases[] = {
        {0, std::string_view("\x00", 1)},
        {0x7F, "\x7F"},
        {0x80, "\x80\x80"},
        {0x3FFF, "\xBF\xFF"},
        {0x4000, std::string_view("\xC0\x00\x40", 3)},
        {0x123456, "\xD2\x56\x34"},
        {std::uint64_t{1} << 56, std::string_view("\xFF\x00\x00\x00\x00\x00\x00\x00\x01", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::string out;
        qvoc::append_7z_number(out, c.value);
        EXPECT_EQ(out, c.bytes);
    }
}

class SevenZipWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "checked with Debian's 7z in the native build";
#else
        if (!fs::exists("/usr/bin/7z"))
            GTEST_SKIP() << "/usr/bin/7z is not installed";
#endif
        m_folder = scratch_folder();
    }

    static int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

    // What 7z lists of an archive's entries and blocks.
    static std::string listing_of(const fs::path& archive)
    {
        std::string listing;
        FILE* pipe = popen(("7z l -slt '" + archive.string() + "'").c_str(), "r");
        if (pipe == nullptr)
            return {};
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            listing.append(buffer, got);
        pclose(pipe);
        return listing;
    }

    // The solid blocks (7z folders) of an archive, as 7z lists them.
    static int blocks_of(const fs::path& archive)
    {
        std::string listing = listing_of(archive);
        std::size_t at = listing.find("\nBlocks = ");
        return at == std::string::npos ? 0 : std::atoi(listing.c_str() + at + 10);
    }

    // How many files each solid block holds, block by block.
    static std::vector<int> files_per_block(const fs::path& archive)
    {
        std::vector<int> counts;
        std::string listing = listing_of(archive);
        for (std::size_t at = listing.find("\nBlock = "); at != std::string::npos;
             at = listing.find("\nBlock = ", at + 1)) {
            const char* number = listing.c_str() + at + 9;
            if (*number < '0' || *number > '9')
                continue; // folders and empty files are in no block
            auto block = static_cast<std::size_t>(std::atoi(number));
            if (counts.size() <= block)
                counts.resize(block + 1);
            ++counts[block];
        }
        return counts;
    }

    // Every file and folder below root, relative, with the file contents.
    static std::map<std::string, std::string> tree(const fs::path& root)
    {
        std::map<std::string, std::string> entries;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            std::string name = fs::relative(entry.path(), root).generic_string();
            entries[name] = entry.is_directory() ? std::string("<folder>") : read_file(entry.path());
        }
        return entries;
    }

    fs::path m_folder;
};

// The reader decodes blocks in parallel: blocks of one kind share its bytes
// evenly instead of leaving a short last block, each file in the block where
// its middle falls, and never more blocks than the block size asks for.
TEST_F(SevenZipWriterTest, SharesTheBytesEvenlyBetweenBlocks)
{
    struct Case {
        std::string_view what;
        std::vector<std::size_t> sizes;
        std::uint64_t block_size;
        std::vector<int> files_per_block;
    };
    const Case cases[] = {
        {"ten files, three blocks", std::vector<std::size_t>(10, 30000), 100000, {3, 4, 3}},
        {"three files, two blocks", std::vector<std::size_t>(3, 40000), 100000, {1, 2}},
        {"a file larger than a block", {250000, 10000}, 100000, {1, 1}},
        {"everything in one block", std::vector<std::size_t>(5, 1000), 100000, {5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path source = m_folder / "even";
        fs::remove_all(source);
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            std::string data;
            for (std::size_t k = 0; k < c.sizes[i]; ++k)
                data.push_back(static_cast<char>((k * 2654435761u + i) >> 13));
            std::string name = (i < 10 ? "f0" : "f") + std::to_string(i) + ".bin"; // in archive order
            write_file(source / name, data);
        }
        auto items = qvoc::collect_archive_items(source);
        ASSERT_TRUE(items) << items.error().message;
        fs::path archive = m_folder / "even.7z";
        auto written = qvoc::write_7z_archive(archive, *items, {1, c.block_size, false});
        ASSERT_TRUE(written) << written.error().message;
        EXPECT_EQ(files_per_block(archive), c.files_per_block);
        fs::path by_7z = m_folder / "even-by-7z";
        fs::remove_all(by_7z);
        ASSERT_EQ(run("7z x -y '-o" + by_7z.string() + "' '" + archive.string() + "'"), 0);
        EXPECT_EQ(tree(by_7z), tree(source));
    }
}

TEST_F(SevenZipWriterTest, SevenZipAndOurReaderExtractTheSameTree)
{
    fs::path source = m_folder / "source";
    write_file(source / "readme.txt", "hello\r\n");
    write_file(source / "empty.txt", "");
    std::string binary;
    for (int i = 0; i < 300000; ++i)
        binary.push_back(static_cast<char>((i * 7919) & 0xFF));
    write_file(source / "dialogs" / "deep" / "blob.bin", binary);
    write_file(source / "dialogs" / "welcome.dfm", "object Form1");
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + std::to_string(i % 97) + " of a text that repeats\r\n";
    write_file(source / "notes.txt", text);
    write_file(source / "caf\xC3\xA9 menu.txt", "non-ASCII name");
    fs::create_directories(source / "empty folder");
    // Code with relative calls (E8 and a 32-bit offset), as the x86 converter meets them.
    std::string code;
    for (int i = 0; i < 20000; ++i) {
        code += "\x55\x8B\xEC\xE8";
        std::uint32_t offset = 0x1000 - static_cast<std::uint32_t>(code.size() + 4);
        code.append(reinterpret_cast<const char*>(&offset), 4);
    }
    write_file(source / "bin" / "App.EXE", code);
    auto items = qvoc::collect_archive_items(source);
    ASSERT_TRUE(items) << items.error().message;

    struct Case {
        std::string_view what;
        qvoc::Compression compression;
        int folders;
    };
    const Case cases[] = {
        {"stored", {0, std::uint64_t{64} << 20, true}, 1},
        {"compressed, programs apart", {5, std::uint64_t{64} << 20, true}, 2},
        {"compressed, programs with the rest", {5, std::uint64_t{64} << 20, false}, 1},
        // In archive order: the café file; blob.bin; welcome.dfm; notes.txt; readme.txt (a block never splits a
        // file); then the program in a block of its own.
        {"compressed in blocks of 100 KB", {1, 100000, true}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path archive = m_folder / "setup.res";
        auto written = qvoc::write_7z_archive(archive, *items, c.compression);
        ASSERT_TRUE(written) << written.error().message;
        EXPECT_EQ(run("7z t '" + archive.string() + "'"), 0);
        if (c.compression.level > 0) {
            EXPECT_LT(fs::file_size(archive), (binary.size() + text.size() + code.size()) / 2) << "not compressed";
        }
        EXPECT_EQ(listing_of(archive).find("BCJ") != std::string::npos,
                  c.compression.level > 0 && c.compression.x86_code)
            << "the program goes through the x86 converter";

        fs::path by_7z = m_folder / "by-7z";
        fs::remove_all(by_7z);
        ASSERT_EQ(run("7z x -y '-o" + by_7z.string() + "' '" + archive.string() + "'"), 0);
        EXPECT_EQ(tree(by_7z), tree(source));

        EXPECT_EQ(blocks_of(archive), c.folders);
        auto opened = sevenzip::Archive::open(archive);
        ASSERT_TRUE(opened) << opened.error().message;
        fs::path ours = m_folder / "by-reader";
        fs::remove_all(ours);
        auto extracted = opened->extract(ours);
        ASSERT_TRUE(extracted) << extracted.error().message;
        EXPECT_EQ(tree(ours), tree(source));
    }
    EXPECT_FALSE(qvoc::write_7z_archive(m_folder / "bad.7z", *items, {10, 1 << 20})) << "level 10 does not exist";
}

TEST_F(SevenZipWriterTest, KeepsModificationTimesAndReadOnlyAttribute)
{
    fs::path source = m_folder / "source";
    write_file(source / "old.txt", "x");
    auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(source / "old.txt", when);
    write_file(source / "locked.txt", "y");
    fs::permissions(source / "locked.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    auto items = qvoc::collect_archive_items(source);
    ASSERT_TRUE(items);
    for (const ArchiveItem& item : *items)
        EXPECT_EQ((item.attributes & qvoc::attribute_read_only) != 0, item.name == u"locked.txt");
    fs::path archive = m_folder / "times.7z";
    ASSERT_TRUE(qvoc::write_7z_archive(archive, *items));
    fs::path extracted = m_folder / "extracted";
    ASSERT_EQ(run("7z x -y '-o" + extracted.string() + "' '" + archive.string() + "'"), 0);
    auto difference = fs::last_write_time(extracted / "old.txt") - when;
    EXPECT_LT(std::chrono::abs(difference), std::chrono::seconds(2));
}

TEST_F(SevenZipWriterTest, ArchiveWithoutStreamsIsValid)
{
    struct Case {
        std::string_view what;
        std::vector<std::string> files; // empty files
        std::vector<std::string> folders; // empty folders
    };
    const Case cases[] = {
        {"nothing at all", {}, {}},
        {"only empty folders", {}, {"a", "a/b"}},
        {"only empty files", {"one.txt", "two.txt"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path source = m_folder / "source";
        fs::remove_all(source);
        fs::create_directories(source);
        for (const std::string& folder : c.folders)
            fs::create_directories(source / folder);
        for (const std::string& file : c.files)
            write_file(source / file, "");
        auto items = qvoc::collect_archive_items(source);
        ASSERT_TRUE(items);
        fs::path archive = m_folder / "empty.7z";
        ASSERT_TRUE(qvoc::write_7z_archive(archive, *items));
        EXPECT_EQ(run("7z t '" + archive.string() + "'"), 0);
        fs::path extracted = m_folder / "extracted";
        fs::remove_all(extracted);
        fs::create_directories(extracted);
        ASSERT_EQ(run("7z x -y '-o" + extracted.string() + "' '" + archive.string() + "'"), 0);
        EXPECT_EQ(tree(extracted), tree(source));
    }
}

TEST_F(SevenZipWriterTest, DamagedArchiveFailsTheTest)
{
    // Guards the check above: 7z t must notice a stream that disagrees with its CRC.
    fs::path source = m_folder / "source";
    write_file(source / "data.txt", "some stored bytes");
    auto items = qvoc::collect_archive_items(source);
    ASSERT_TRUE(items);
    fs::path archive = m_folder / "damaged.7z";
    ASSERT_TRUE(qvoc::write_7z_archive(archive, *items));
    std::string bytes = read_file(archive);
    bytes[32] ^= 0x20; // the first stored byte
    write_file(archive, bytes);
    EXPECT_NE(run("7z t '" + archive.string() + "'"), 0);
}

TEST(SevenZipWriter, FileThatChangedSizeIsReported)
{
    fs::path folder = scratch_folder();
    fs::path source = folder / "source";
    write_file(source / "grows.txt", "short");
    auto items = qvoc::collect_archive_items(source);
    ASSERT_TRUE(items);
    write_file(source / "grows.txt", "much longer than before");
    auto written = qvoc::write_7z_archive(folder / "x.7z", *items);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ErrorCode::io);
}

} // namespace
} // namespace quillon::test
