// Archives that Debian's 7z makes at test time from a tree of text, x86 code,
// random data, empty files and folders, nested folders and non-ASCII names.
#include "media/media_test_support.h"

#include <random>

namespace quillon::test {
namespace {

using namespace sevenzip;

class SevenZipMadeBy7z : public ScratchTest {
protected:
    void SetUp() override
    {
        ScratchTest::SetUp();
        if (!have_7z())
            GTEST_SKIP() << "/usr/bin/7z is not installed";
        fs::path source = folder() / "src";
        std::string text;
        for (int i = 0; i < 20000; ++i)
            text += "line " + std::to_string(i) + " of a text that repeats itself in many ways\n";
        write_file(source / "docs/manual.txt", text);
        write_file(source / "docs/\xC3\x9Cn\xC3\xAF"
                            "c\xC3\xB6"
                            "d\xC3\xA9.txt",
                   "Latin-1 name\n");
        fs::create_directories(source / "bin");
        fs::copy_file("/usr/bin/true", source / "bin/tool.exe");
        fs::copy_file("/usr/bin/7zz", source / "bin/big.exe"); // megabytes of x86 code
        std::mt19937 random(42);
        std::string noise(300000, '\0');
        for (char& c : noise)
            c = static_cast<char>(random());
        write_file(source / "data/noise.bin", noise);
        std::string records;
        for (std::uint32_t i = 0; i < 50000; ++i)
            records.append(reinterpret_cast<const char*>(&i), 4);
        write_file(source / "data/records.bin", records);
        write_file(source / "empty.txt", "");
        fs::create_directories(source / "emptydir");
        write_file(source / "nested/a/b/c/deep.txt", "deep\n");
        for (int i = 0; i < 50; ++i)
            write_file(source / "many" / ("f" + std::to_string(i) + ".txt"), std::string(i * 37, char('a' + i % 26)));
        m_source = snapshot(source);
    }

    // Archives the source tree with the given switches.
    fs::path make(const std::string& switches, const std::string& name = "a.7z")
    {
        fs::path archive = folder() / name;
        fs::remove(archive);
        EXPECT_TRUE(run_7z(folder() / "src", "a " + switches + " '" + archive.string() + "' ."));
        return archive;
    }

    fs::path target() const { return folder() / "out"; }

    std::map<std::string, std::string> m_source;
};

TEST_F(SevenZipMadeBy7z, ExtractsEveryMethodAndLayoutByteForByte)
{
    struct Case {
        const char* switches;
        std::u16string password;
    };
    const Case cases[] = {
        {"-m0=lzma -ms=on", u""},
        {"-m0=lzma2 -ms=on", u""},
        {"-m0=lzma2 -ms=off", u""},
        {"-m0=lzma2 -mhc=off", u""}, // plain header
        {"-m0=lzma2 -mf=BCJ", u""},
        {"-m0=lzma -mf=Delta:4", u""},
        {"-m0=copy", u""},
        {"-m0=lzma2 -pS3cr\xC3\xA9t", u"S3cr\u00E9t"},
        {"-m0=lzma2 -pS3cr\xC3\xA9t -mhe=on", u"S3cr\u00E9t"},
        {"-m0=lzma -mf=BCJ -ms=off -pS3cr\xC3\xA9t -mhe=on", u"S3cr\u00E9t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.switches);
        fs::path archive = make(c.switches);
        remove_tree(target());
        int asked = 0;
        OpenOptions options;
        options.password = [&] {
            ++asked;
            return std::optional<std::u16string>(c.password);
        };
        auto opened = Archive::open(archive, options);
        ASSERT_TRUE(opened.has_value()) << opened.error().message;
        ExtractOptions extract;
        extract.buffer_size = 64 * 1024; // many chunks per large file
        auto result = opened->extract(target(), extract);
        ASSERT_TRUE(result.has_value()) << result.error().message;
        EXPECT_TRUE(snapshot(target()) == m_source);
        // Asked once however many folders the archive has.
        EXPECT_EQ(asked, c.password.empty() ? 0 : 1);
    }
}

TEST_F(SevenZipMadeBy7z, AWrongPasswordFailsForEncryptedHeadersAndData)
{
    for (const char* switches : {"-m0=lzma2 -pright", "-m0=lzma2 -pright -mhe=on"}) {
        SCOPED_TRACE(switches);
        fs::path archive = make(switches);
        remove_tree(target());
        auto opened = Archive::open(archive, OpenOptions{password(u"wrong"), {}, '\\', {}});
        Error error;
        if (opened) {
            auto result = opened->extract(target());
            ASSERT_FALSE(result.has_value());
            error = result.error();
        } else {
            error = opened.error();
        }
        EXPECT_EQ(error.code, ErrorCode::corrupt);
        EXPECT_NE(error.message.find("wrong password"), std::string::npos) << error.message;
        EXPECT_EQ(partial_files(target()), 0u);
        for (const auto& [path, content] : snapshot(target()))
            EXPECT_TRUE(content == "<dir>" || content.empty()) << path; // only what needs no decoding
    }
}

// Folders are decoded on threads of their own ahead of the writing: a damaged
// folder or a cancel ends the whole extraction, and nothing half-written stays.
TEST_F(SevenZipMadeBy7z, ADamagedFolderOrACancelStopsEveryDecoder)
{
    fs::path archive = make("-m0=lzma2 -ms=off", "nonsolid.7z");
    std::string bytes = read_file(archive);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    fs::path damaged = folder() / "damaged.7z";
    write_file(damaged, bytes);

    auto leftovers = [&] {
        int parts = 0;
        for (const auto& item : fs::recursive_directory_iterator(target()))
            parts += item.path().extension() == ".part";
        return parts;
    };
    {
        remove_tree(target());
        auto opened = Archive::open(damaged);
        ASSERT_TRUE(opened.has_value()) << opened.error().message;
        auto result = opened->extract(target());
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::corrupt) << result.error().message;
        EXPECT_EQ(leftovers(), 0);
    }
    {
        remove_tree(target());
        auto opened = Archive::open(archive);
        ASSERT_TRUE(opened.has_value());
        int calls = 0;
        ExtractOptions extract;
        extract.buffer_size = 4096;
        extract.progress = [&](const Entry&, std::uint64_t, std::uint64_t) { return ++calls < 20; };
        auto result = opened->extract(target(), extract);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::cancelled);
        EXPECT_EQ(calls, 20) << "nothing reports after the cancel";
        EXPECT_EQ(leftovers(), 0);
    }
}

TEST_F(SevenZipMadeBy7z, NamesUnsupportedMethods)
{
    for (auto [switches, method] :
         {std::pair{"-m0=PPMd", "PPMD"}, std::pair{"-m0=BZip2", "BZip2"}, std::pair{"-m0=Deflate", "Deflate"}}) {
        SCOPED_TRACE(switches);
        fs::path archive = make(switches);
        remove_tree(target());
        auto opened = Archive::open(archive);
        ASSERT_TRUE(opened.has_value()) << opened.error().message;
        auto result = opened->extract(target());
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::unsupported);
        EXPECT_NE(result.error().message.find(method), std::string::npos) << result.error().message;
        EXPECT_EQ(partial_files(target()), 0u);
    }
}

TEST_F(SevenZipMadeBy7z, RefusesAStoredParentPath)
{
    // 7z keeps "../evil.txt" as given with -spf.
    write_file(folder() / "evil.txt", "evil");
    fs::create_directories(folder() / "work");
    ASSERT_TRUE(run_7z(folder() / "work", "a -spf ../evil.7z ../evil.txt"));
    fs::remove(folder() / "evil.txt");
    auto opened = Archive::open(folder() / "evil.7z");
    ASSERT_TRUE(opened.has_value()) << opened.error().message;
    ASSERT_EQ(opened->entries().size(), 1u);
    EXPECT_EQ(opened->entries()[0].name, u"../evil.txt");
    auto result = opened->extract(folder() / "work" / "target");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().code, ErrorCode::corrupt);
    EXPECT_FALSE(fs::exists(folder() / "work" / "evil.txt"));
    EXPECT_FALSE(fs::exists(folder() / "evil.txt"));
}

} // namespace
} // namespace quillon::test
