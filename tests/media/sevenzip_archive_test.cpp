// Archives committed under tests/data/media (made by make-fixtures.sh there)
// and archives built by hand: these run in both builds, under Wine too.
#include "media/archive_writer.h"
#include "media/media_test_support.h"

#include <atomic>

namespace quillon::test {
namespace {

using namespace sevenzip;

const std::string unicode_name = "\xC3\x9Cn\xC3\xAF"
                                 "c\xC3\xB6"
                                 "d\xC3\xA9.txt"; // "Ünïcödé.txt" in UTF-8

// The tree that make-fixtures.sh archives, keyed like snapshot().
std::map<std::string, std::string> fixture_tree()
{
    std::string readme;
    for (int i = 0; i < 200; ++i)
        readme += "Quillon fixture line " + std::to_string(i) + "\n";
    std::string pattern;
    for (std::uint32_t i = 0; i < 2048; ++i)
        for (int b = 0; b < 4; ++b)
            pattern += static_cast<char>(((i * 3) >> (8 * b)) & 0xFF);
    return {
        {"data", "<dir>"},
        {"data/pattern.bin", pattern},
        {"docs", "<dir>"},
        {"docs/readme.txt", readme},
        {"docs/" + unicode_name, "Latin-1 name\n"},
        {"empty.txt", ""},
        {"emptydir", "<dir>"},
        {"nested", "<dir>"},
        {"nested/a", "<dir>"},
        {"nested/a/b", "<dir>"},
        {"nested/a/b/c", "<dir>"},
        {"nested/a/b/c/deep.txt", "deep\n"},
    };
}

// 2020-01-02 03:04:05 UTC, the time make-fixtures.sh gives every file.
constexpr std::uint64_t fixture_time = 132224078450000000;

class SevenZipFixture : public ScratchTest {
protected:
    fs::path target() const { return folder() / "out"; }

    Result<void> extract(const std::string& fixture, std::u16string pass = u"", ExtractOptions options = {})
    {
        OpenOptions open;
        if (!pass.empty())
            open.password = password(pass);
        auto archive = Archive::open(media_data(fixture), open);
        if (!archive)
            return std::unexpected(archive.error());
        return archive->extract(target(), options);
    }
};

TEST_F(SevenZipFixture, ExtractsEveryFixtureByteForByte)
{
    struct Case {
        const char* fixture;
        std::u16string password;
    };
    const Case cases[] = {
        {"tree_lzma2.7z", u""},      // solid LZMA2, compressed header
        {"tree_lzma.7z", u""},       // one LZMA folder per file
        {"tree_delta.7z", u""},      // Delta:4 + LZMA2
        {"tree_aes.7z", u"Quillon"}, // 7zAES + LZMA2, encrypted header
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        remove_tree(target());
        auto result = extract(c.fixture, c.password);
        ASSERT_TRUE(result.has_value()) << result.error().message;
        EXPECT_EQ(snapshot(target()), fixture_tree());
    }
}

TEST_F(SevenZipFixture, UndoesTheBcjFilterOnRealX86Code)
{
    const std::string code = read_file(media_data("code.bin"));
    ASSERT_EQ(code.size(), 12288u);
    for (auto [fixture, pass] : {std::pair{"bcj.7z", u""}, std::pair{"bcj_aes.7z", u"Quillon"}}) {
        SCOPED_TRACE(fixture);
        remove_tree(target());
        auto result = extract(fixture, pass);
        ASSERT_TRUE(result.has_value()) << result.error().message;
        EXPECT_TRUE(read_file(target() / "code.bin") == code);
    }
}

TEST_F(SevenZipFixture, ListsNamesSizesFoldersTimesAndCrcs)
{
    OpenOptions options;
    options.name_converter = utf16_to_latin1;
    auto archive = Archive::open(media_data("tree_lzma2.7z"), options);
    ASSERT_TRUE(archive.has_value()) << archive.error().message;
    auto tree = fixture_tree();
    std::map<std::string, const Entry*> by_path;
    for (const auto& entry : archive->entries())
        by_path[entry.path] = &entry;
    EXPECT_EQ(by_path.size(), tree.size());

    const Entry* unicode = by_path["docs\\\xDCn\xEF"
                                   "c\xF6"
                                   "d\xE9.txt"];
    ASSERT_NE(unicode, nullptr);
    EXPECT_EQ(unicode->name, u"docs/\u00DCn\u00EFc\u00F6d\u00E9.txt");

    const Entry* readme = by_path["docs\\readme.txt"];
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(readme->size, tree["docs/readme.txt"].size());
    EXPECT_FALSE(readme->is_directory);
    EXPECT_EQ(readme->crc, ArchiveWriter::crc(tree["docs/readme.txt"]));
    EXPECT_EQ(readme->modified, fixture_time);

    const Entry* pattern = by_path["data\\pattern.bin"];
    ASSERT_NE(pattern, nullptr);
    ASSERT_TRUE(pattern->has_attributes);
    EXPECT_TRUE(pattern->attributes & attribute_unix_extension);
    EXPECT_EQ((pattern->attributes >> 16) & 0777, 0755u);

    for (const char* folder : {"emptydir", "nested\\a\\b", "docs"}) {
        SCOPED_TRACE(folder);
        ASSERT_NE(by_path[folder], nullptr);
        EXPECT_TRUE(by_path[folder]->is_directory);
    }
    ASSERT_NE(by_path["empty.txt"], nullptr);
    EXPECT_FALSE(by_path["empty.txt"]->is_directory);
    EXPECT_EQ(by_path["empty.txt"]->size, 0u);
}

TEST_F(SevenZipFixture, AppliesModificationTimesAndModes)
{
    ASSERT_TRUE(extract("tree_lzma2.7z").has_value());
#ifdef _WIN32
    const char* const paths[] = {"docs/readme.txt", "data/pattern.bin"}; // folder times are the Windows layer's
#else
    const char* const paths[] = {"docs/readme.txt", "data/pattern.bin", "nested/a/b", "emptydir"};
#endif
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        auto time = fs::last_write_time(target() / path);
        auto since_unix =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(time).time_since_epoch());
        EXPECT_EQ(since_unix.count(), 1577934245);
    }
#ifndef _WIN32
    EXPECT_EQ(fs::status(target() / "data/pattern.bin").permissions() & fs::perms::all, static_cast<fs::perms>(0755));
    EXPECT_EQ(fs::status(target() / "docs/readme.txt").permissions() & fs::perms::all, static_cast<fs::perms>(0644));
#endif
}

TEST_F(SevenZipFixture, ExtractsASelectionFromTheMiddleOfASolidFolder)
{
    auto archive = Archive::open(media_data("tree_lzma2.7z"));
    ASSERT_TRUE(archive.has_value());
    std::vector<std::string> wanted = {"NESTED/a/b/c/deep.txt", "data\\pattern.bin"};
    auto selection = archive->find(wanted);
    ASSERT_TRUE(selection.has_value()) << selection.error().message;
    ExtractOptions options;
    options.selection = *selection;
    ASSERT_TRUE(archive->extract(target(), options).has_value());
    auto tree = fixture_tree();
    EXPECT_EQ(snapshot(target()), (std::map<std::string, std::string>{
                                      {"data", "<dir>"},
                                      {"data/pattern.bin", tree["data/pattern.bin"]},
                                      {"nested", "<dir>"},
                                      {"nested/a", "<dir>"},
                                      {"nested/a/b", "<dir>"},
                                      {"nested/a/b/c", "<dir>"},
                                      {"nested/a/b/c/deep.txt", "deep\n"},
                                  }));

    std::vector<std::string> missing = {"docs/none.txt"};
    auto not_found = archive->find(missing);
    ASSERT_FALSE(not_found.has_value());
    EXPECT_EQ(not_found.error().code, ErrorCode::not_found);
}

TEST_F(SevenZipFixture, FlatModePutsEveryFileIntoTheTarget)
{
    ExtractOptions options;
    options.path_mode = PathMode::flat;
    ASSERT_TRUE(extract("tree_lzma.7z", u"", options).has_value());
    auto tree = fixture_tree();
    EXPECT_EQ(snapshot(target()), (std::map<std::string, std::string>{
                                      {"deep.txt", "deep\n"},
                                      {"empty.txt", ""},
                                      {"pattern.bin", tree["data/pattern.bin"]},
                                      {"readme.txt", tree["docs/readme.txt"]},
                                      {unicode_name, "Latin-1 name\n"},
                                  }));
}

TEST_F(SevenZipFixture, FollowsTheOverwritePolicy)
{
    struct Case {
        const char* what;
        Overwrite policy;
        std::optional<OverwriteAnswer> answer;
        bool succeeds;
        bool replaced;
    };
    const Case cases[] = {
        {"replace", Overwrite::replace, std::nullopt, true, true},
        {"skip", Overwrite::skip, std::nullopt, true, false},
        {"fail", Overwrite::fail, std::nullopt, false, false},
        {"ask, replace", Overwrite::ask, OverwriteAnswer::replace, true, true},
        {"ask, skip", Overwrite::ask, OverwriteAnswer::skip, true, false},
        {"ask, cancel", Overwrite::ask, OverwriteAnswer::cancel, false, false},
    };
    const std::string readme = fixture_tree()["docs/readme.txt"];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        remove_tree(target());
        write_file(target() / "docs/readme.txt", "old");
        fs::permissions(target() / "docs/readme.txt", fs::perms::owner_write, fs::perm_options::remove);
        int asked = 0;
        ExtractOptions options;
        options.overwrite = c.policy;
        options.overwrite_query = [&](const Entry& entry, const fs::path& existing) {
            ++asked;
            EXPECT_EQ(entry.path, "docs\\readme.txt");
            EXPECT_TRUE(fs::equivalent(existing, target() / "docs/readme.txt"));
            return *c.answer;
        };
        auto result = extract("tree_lzma2.7z", u"", options);
        EXPECT_EQ(result.has_value(), c.succeeds);
        EXPECT_EQ(read_file(target() / "docs/readme.txt"), c.replaced ? readme : "old");
        EXPECT_EQ(asked, c.answer ? 1 : 0);
        if (c.answer == OverwriteAnswer::cancel) {
            EXPECT_EQ(result.error().code, ErrorCode::cancelled);
        }
        EXPECT_EQ(partial_files(target()), 0u);
    }
}

TEST_F(SevenZipFixture, ReportsProgressBetweenChunksAndStopsWhenTold)
{
    auto tree = fixture_tree();
    std::uint64_t file_bytes = 0;
    for (const auto& [path, data] : tree)
        if (data != "<dir>")
            file_bytes += data.size();

    std::vector<std::pair<std::string, std::uint64_t>> calls;
    std::uint64_t reported_total = 0;
    ExtractOptions options;
    options.buffer_size = 4096; // pattern.bin (8 KiB) arrives in two chunks
    options.progress = [&](const Entry& entry, std::uint64_t position, std::uint64_t total) {
        calls.emplace_back(entry.path, position);
        reported_total = total;
        return true;
    };
    ASSERT_TRUE(extract("tree_lzma2.7z", u"", options).has_value());
    EXPECT_EQ(reported_total, file_bytes);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().second, file_bytes);
    for (std::size_t i = 1; i < calls.size(); ++i)
        EXPECT_LE(calls[i - 1].second, calls[i].second);
    EXPECT_GE(std::count_if(calls.begin(), calls.end(), [](const auto& c) { return c.first == "data\\pattern.bin"; }),
              3); // before it starts and after each of its chunks

    // Answering false after pattern.bin's first chunk stops there and leaves no trace of it.
    remove_tree(target());
    int pattern_calls = 0;
    options.progress = [&](const Entry& entry, std::uint64_t, std::uint64_t) {
        return !(entry.path == "data\\pattern.bin" && ++pattern_calls == 2);
    };
    auto stopped = extract("tree_lzma2.7z", u"", options);
    ASSERT_FALSE(stopped.has_value());
    EXPECT_EQ(stopped.error().code, ErrorCode::cancelled);
    EXPECT_FALSE(fs::exists(target() / "data/pattern.bin"));
    EXPECT_EQ(partial_files(target()), 0u);

    // A raised cancel flag stops before the first entry.
    remove_tree(target());
    std::atomic<bool> cancel{true};
    ExtractOptions cancelled;
    cancelled.cancel = &cancel;
    auto result = extract("tree_lzma2.7z", u"", cancelled);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().code, ErrorCode::cancelled);
    EXPECT_TRUE(snapshot(target()).empty());
}

TEST_F(SevenZipFixture, NamesTheUnsupportedMethod)
{
    for (auto [fixture, method] : {std::pair{"ppmd.7z", "PPMD"}, std::pair{"bzip2.7z", "BZip2"}}) {
        SCOPED_TRACE(fixture);
        remove_tree(target());
        auto archive = Archive::open(media_data(fixture));
        ASSERT_TRUE(archive.has_value()) << archive.error().message; // listing needs no decoder
        ASSERT_EQ(archive->entries().size(), 1u);
        auto result = archive->extract(target());
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::unsupported);
        EXPECT_NE(result.error().message.find(method), std::string::npos) << result.error().message;
        EXPECT_FALSE(fs::exists(target() / "docs/readme.txt"));
        EXPECT_EQ(partial_files(target()), 0u);
    }
}

TEST_F(SevenZipFixture, AWrongPasswordIsAClearErrorAndLeavesNoFile)
{
    // Encrypted header: opening fails.
    auto header = Archive::open(media_data("tree_aes.7z"), OpenOptions{password(u"wrong"), {}, '\\', {}});
    ASSERT_FALSE(header.has_value());
    EXPECT_EQ(header.error().code, ErrorCode::corrupt);
    EXPECT_NE(header.error().message.find("wrong password"), std::string::npos) << header.error().message;

    auto none = Archive::open(media_data("tree_aes.7z"));
    ASSERT_FALSE(none.has_value());
    EXPECT_EQ(none.error().code, ErrorCode::not_found);
    EXPECT_NE(none.error().message.find("no password"), std::string::npos) << none.error().message;

    // Encrypted data only: listing works, extraction fails.
    auto data = Archive::open(media_data("bcj_aes.7z"), OpenOptions{password(u"wrong"), {}, '\\', {}});
    ASSERT_TRUE(data.has_value()) << data.error().message;
    EXPECT_TRUE(data->entries().at(0).encrypted);
    auto result = data->extract(target());
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().code, ErrorCode::corrupt);
    EXPECT_NE(result.error().message.find("wrong password"), std::string::npos) << result.error().message;
    EXPECT_FALSE(fs::exists(target() / "code.bin"));
    EXPECT_EQ(partial_files(target()), 0u);
}

// Truncated and damaged archives must fail cleanly: no crash, no temporary
// file left, and nothing under a final name that differs from the original.
TEST_F(SevenZipFixture, TruncatedOrDamagedArchivesFailCleanly)
{
    const auto tree = fixture_tree();
    // Every offset of the plain archive; a sample of the encrypted one, whose
    // key stretching makes each attempt slow.
    for (auto [fixture, stride] : {std::pair{"tree_lzma2.7z", 1}, std::pair{"tree_aes.7z", 97}}) {
        const std::string original = read_file(media_data(fixture));
        ASSERT_FALSE(original.empty());
        auto check = [&](const std::string& bytes, const std::string& what) {
            SCOPED_TRACE(std::string(fixture) + ", " + what);
            remove_tree(target());
            auto archive = Archive::open_memory(bytes_of(bytes), OpenOptions{password(u"Quillon"), {}, '\\', {}});
            bool succeeded = false;
            if (archive) {
                auto result = archive->extract(target());
                succeeded = result.has_value();
                if (!succeeded) {
                    EXPECT_TRUE(result.error().code == ErrorCode::corrupt ||
                                result.error().code == ErrorCode::unsupported)
                        << result.error().message;
                }
            } else {
                EXPECT_TRUE(archive.error().code == ErrorCode::corrupt ||
                            archive.error().code == ErrorCode::unsupported)
                    << archive.error().message;
            }
            auto extracted = snapshot(target());
            if (succeeded) {
                EXPECT_EQ(extracted, tree);
                return;
            }
            EXPECT_EQ(partial_files(target()), 0u);
            for (const auto& [path, content] : extracted) {
                auto expected = tree.find(path);
                ASSERT_NE(expected, tree.end()) << path;
                EXPECT_TRUE(expected->second == content) << path;
            }
        };
        for (std::size_t size = 0; size < original.size(); size += stride)
            check(original.substr(0, size), "cut to " + std::to_string(size));
        for (std::size_t at = 0; at < original.size(); at += stride) {
            std::string damaged = original;
            damaged[at] = static_cast<char>(damaged[at] ^ 0x55);
            check(damaged, "byte " + std::to_string(at) + " damaged");
        }
    }
}

TEST_F(SevenZipFixture, RejectsUnsafeMemberPathsBeforeWritingAnything)
{
    const std::u16string unsafe[] = {
        u"../evil.txt",  u"..\\evil.txt", u"sub/../../evil.txt", u"/tmp/evil.txt", u"\\\\server\\share\\evil.txt",
        u"C:\\evil.txt", u"C:evil.txt",   u"ok.txt:stream",      u".. /evil.txt",
    };
    for (const auto& name : unsafe) {
        SCOPED_TRACE(utf16_to_utf8(name));
        remove_tree(folder() / "box");
        fs::path box_target = folder() / "box" / "target";
        std::string bytes = ArchiveWriter::build({{u"first.txt", "safe"}, {name, "evil"}});
        auto archive = Archive::open_memory(bytes_of(bytes));
        ASSERT_TRUE(archive.has_value()) << archive.error().message; // listing shows the name as it is
        auto result = archive->extract(box_target);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::corrupt);
        EXPECT_NE(result.error().message.find(utf16_to_utf8(name)), std::string::npos) << result.error().message;
        EXPECT_TRUE(snapshot(folder() / "box").empty());
    }
}

TEST_F(SevenZipFixture, HandBuiltArchivesWithBadSizesOrUnknownMethodsFail)
{
    const std::vector<WrittenFile> files = {{u"a.txt", "alpha"}, {u"b.txt", "bravo"}};
    struct Case {
        const char* what;
        WriterOptions options;
        bool fails_at_open;
        ErrorCode code;
        const char* message;
    };
    const Case cases[] = {
        {"folder larger than its packed data", {{0x00}, {}, 5, 0, false}, false, ErrorCode::corrupt, "sizes"},
        {"files larger than the folder",
         {{0x00}, {}, 0, 100, false},
         true,
         ErrorCode::corrupt,
         "larger than the folder"},
        {"data that belongs to no file", {{0x00}, {}, 0, 0, true}, true, ErrorCode::corrupt, "belongs to no file"},
        {"unknown method", {{0x04, 0x01, 0xAB}, {}, 0, 0, false}, false, ErrorCode::unsupported, "0x401AB"},
        {"ARM64 filter", {{0x0A}, {}, 0, 0, false}, false, ErrorCode::unsupported, "ARM64"},
        {"LZMA without properties",
         {{0x03, 0x01, 0x01}, {}, 0, 0, false},
         false,
         ErrorCode::corrupt,
         "LZMA properties"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        remove_tree(target());
        std::string bytes = ArchiveWriter::build(files, c.options);
        auto archive = Archive::open_memory(bytes_of(bytes));
        Error error;
        if (c.fails_at_open) {
            ASSERT_FALSE(archive.has_value());
            error = archive.error();
        } else {
            ASSERT_TRUE(archive.has_value()) << archive.error().message;
            auto result = archive->extract(target());
            ASSERT_FALSE(result.has_value());
            error = result.error();
            EXPECT_EQ(partial_files(target()), 0u);
        }
        EXPECT_EQ(error.code, c.code) << error.message;
        EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    }
}

TEST_F(SevenZipFixture, OpeningTellsMissingForeignAndOversizedArchivesApart)
{
    auto missing = Archive::open(folder() / "missing.7z");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().code, ErrorCode::not_found);

    write_file(folder() / "text.7z", "this is not an archive at all, just some text");
    auto foreign = Archive::open(folder() / "text.7z");
    ASSERT_FALSE(foreign.has_value());
    EXPECT_EQ(foreign.error().code, ErrorCode::corrupt);
    EXPECT_NE(foreign.error().message.find("not a 7z archive"), std::string::npos) << foreign.error().message;

    // Valid, but listing more files than the caller allows.
    std::string bytes = ArchiveWriter::build({{u"a", "1"}, {u"b", "2"}, {u"c", "3"}});
    OpenOptions options;
    options.limits.max_entries = 2;
    auto oversized = Archive::open_memory(bytes_of(bytes), options);
    ASSERT_FALSE(oversized.has_value());
    EXPECT_EQ(oversized.error().code, ErrorCode::unsupported);
    EXPECT_NE(oversized.error().message.find("more than the limit"), std::string::npos) << oversized.error().message;
    options.limits.max_entries = 3;
    EXPECT_TRUE(Archive::open_memory(bytes_of(bytes), options).has_value());
}

TEST_F(SevenZipFixture, HandBuiltStoredArchiveRoundTripsThroughASink)
{
    // The sink sees begin, data and commit per entry in archive order.
    class Collector final : public EntrySink {
    public:
        std::vector<std::string> events;
        Result<void> begin(const Entry& entry) override
        {
            events.push_back("begin " + entry.path);
            return {};
        }
        Result<void> write(std::span<const std::byte> data) override
        {
            events.back() += " " + std::string(reinterpret_cast<const char*>(data.data()), data.size());
            return {};
        }
        Result<void> commit(const Entry& entry) override
        {
            events.push_back("commit " + entry.path);
            return {};
        }
        void abort(const Entry& entry) noexcept override { events.push_back("abort " + entry.path); }
    };
    std::string bytes =
        ArchiveWriter::build({{u"dir", "", true}, {u"dir/one.txt", "1"}, {u"empty", ""}, {u"two", "22"}});
    auto archive = Archive::open_memory(bytes_of(bytes), OpenOptions{{}, {}, '/', {}});
    ASSERT_TRUE(archive.has_value()) << archive.error().message;
    Collector collector;
    ASSERT_TRUE(archive->read(collector).has_value());
    EXPECT_EQ(collector.events,
              (std::vector<std::string>{"begin dir", "commit dir", "begin dir/one.txt 1", "commit dir/one.txt",
                                        "begin empty", "commit empty", "begin two 22", "commit two"}));

    // A CRC failure aborts the entry instead of committing it.
    std::string damaged = bytes;
    damaged[damaged.find("22")] = '3';
    auto broken = Archive::open_memory(bytes_of(damaged), OpenOptions{{}, {}, '/', {}});
    ASSERT_TRUE(broken.has_value());
    Collector second;
    auto result = broken->read(second);
    ASSERT_FALSE(result.has_value());
    EXPECT_NE(result.error().message.find("fails its CRC"), std::string::npos) << result.error().message;
    EXPECT_EQ(second.events.back(), "abort two");
}

} // namespace
} // namespace quillon::test
