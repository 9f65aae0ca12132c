// The archive library "qvo.lib" as the engine uses it, under Wine, on archives
// made by Debian's 7z.
#include "harness/harness.h"
#include "base/paths.h"
#include "engine/support_folder.h"
#include "media/archive_library.h"
#include "qvoc/sevenzip_writer.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::string ansi(const fs::path& path)
{
    return win32::to_ansi(path.wstring());
}

ArchiveLibrary load_library()
{
    Result<ArchiveLibrary> library = ArchiveLibrary::load(ansi(dist_file(L"qvo.lib")));
    EXPECT_TRUE(library) << library.error().message;
    return std::move(*library);
}

std::string fixture(const wchar_t* name)
{
    return ansi(test_data(std::wstring(L"media\\") + name));
}

TEST(ArchiveLibrary, ListsAndExtractsEveryMember)
{
    ArchiveLibrary library = load_library();
    for (const wchar_t* archive : {L"tree_lzma2.7z", L"tree_lzma.7z", L"tree_delta.7z"}) {
        SCOPED_TRACE(to_utf8(archive));
        Result<std::vector<std::string>> names = library.ListArchiveNames(fixture(archive), "");
        ASSERT_TRUE(names) << names.error().message;
        EXPECT_NE(std::find(names->begin(), names->end(), "docs\\readme.txt"), names->end());
        EXPECT_NE(std::find(names->begin(), names->end(), "nested\\a\\b\\c\\deep.txt"), names->end());

        fs::path target = fresh_scratch_dir(L"qvo-extract");
        std::vector<std::string> reported;
        Result<void> extracted = library.ExtractWholeArchive(
            fixture(archive), "", ansi(target) + "\\",
            [&](const std::string& member, std::int64_t, std::int64_t) {
                reported.push_back(member);
                return true;
            },
            true, true);
        ASSERT_TRUE(extracted) << extracted.error().message;
        for (const std::string& name : *names)
            EXPECT_TRUE(fs::exists(target / win32::to_wide(name))) << name;
        EXPECT_FALSE(reported.empty()) << "progress reaches the caller";
        std::ifstream deep(target / L"nested\\a\\b\\c\\deep.txt");
        std::string word;
        deep >> word;
        EXPECT_EQ(word, "deep");
        EXPECT_EQ(fs::file_size(target / L"data\\pattern.bin"), 2048u * 4u);
        EXPECT_TRUE(fs::is_directory(target / L"emptydir"));
    }
}

// A resource archive member whose Windows path passes 260 characters (about
// 480 here): it is extracted into the support folder, and the end-of-run
// clean-up removes it and every folder above it.
TEST(ArchiveLibrary, ASupportFolderWithPathsPastMaxPathIsExtractedAndRemovedWhole)
{
    fs::path scratch = fresh_scratch_dir(L"long-paths");
    std::ofstream(scratch / L"payload.txt", std::ios::binary) << "deep inside";
    std::vector<qvoc::ArchiveItem> items;
    std::u16string name;
    for (int level = 0; level < 8; ++level) {
        name += (level > 0 ? u"/" : u"") + std::u16string(50, static_cast<char16_t>(u'a' + level));
        items.push_back({name, true, {}, 0, 0, qvoc::attribute_directory});
    }
    items.push_back({name + u"/payload.txt", false, scratch / L"payload.txt", 11, 0, qvoc::attribute_archive});
    fs::path archive = scratch / L"setup.res";
    ASSERT_TRUE(qvoc::write_7z_archive(archive, items));

    Result<std::string> support = CreateSupportFolder(ansi(scratch / L"temp") + "\\");
    ASSERT_TRUE(support) << support.error().message;
    ArchiveLibrary library = load_library();
    Result<void> extracted = ExtractResources(library, ansi(archive), *support);
    ASSERT_TRUE(extracted) << extracted.error().message;
    std::string member = *support;
    for (char16_t c : name)
        member += c == u'/' ? '\\' : static_cast<char>(c);
    member += "\\payload.txt";
    ASSERT_GT(member.size(), 460u);
    std::wstring long_member = win32::to_wide(long_path_form(member));
    EXPECT_NE(GetFileAttributesW(long_member.c_str()), INVALID_FILE_ATTRIBUTES) << "extracted";

    EXPECT_TRUE(RemoveSupportFolder(*support));
    EXPECT_EQ(GetFileAttributesW(long_member.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(fs::exists(win32::to_wide(*support))) << "the support folder and every folder in it are gone";
}

// Times and attributes of the members reach the files, empty members included
// (they are written without a temporary name), also over files already there.
TEST(ArchiveLibrary, MembersKeepTheirTimesAndAttributes)
{
    fs::path scratch = fresh_scratch_dir(L"qvo-metadata");
    std::ofstream(scratch / L"text.txt", std::ios::binary) << "text";
    std::ofstream(scratch / L"empty.txt", std::ios::binary);
    const std::uint64_t time = 130000000000000000; // 2012-12-16
    const std::uint32_t hidden_read_only = 0x01 | 0x02 | qvoc::attribute_archive;
    std::vector<qvoc::ArchiveItem> items = {
        {u"dir", true, {}, 0, time, qvoc::attribute_directory},
        {u"dir/text.txt", false, scratch / L"text.txt", 4, time, qvoc::attribute_archive},
        {u"dir/empty.txt", false, scratch / L"empty.txt", 0, time, hidden_read_only},
        {u"dir/plain.txt", false, scratch / L"empty.txt", 0, time + 10000000, 0},
    };
    fs::path archive = scratch / L"metadata.7z";
    ASSERT_TRUE(qvoc::write_7z_archive(archive, items));

    fs::path target = fresh_scratch_dir(L"qvo-metadata-target");
    fs::create_directories(target / L"dir");
    std::ofstream(target / L"dir\\plain.txt", std::ios::binary) << "replaced by an empty member";
    ArchiveLibrary library = load_library();
    Result<void> extracted = library.ExtractWholeArchive(ansi(archive), "", ansi(target) + "\\", {}, true, true);
    ASSERT_TRUE(extracted) << extracted.error().message;

    struct Expected {
        const wchar_t* name;
        std::uint64_t size;
        std::uint64_t time;
        DWORD attributes;
    };
    const Expected expected[] = {
        {L"dir\\text.txt", 4, time, FILE_ATTRIBUTE_ARCHIVE},
        {L"dir\\empty.txt", 0, time, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
        {L"dir\\plain.txt", 0, time + 10000000, FILE_ATTRIBUTE_ARCHIVE}, // no attributes stored: as Windows makes it
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(to_utf8(e.name));
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW((target / e.name).c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow, e.size);
        EXPECT_EQ((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime,
                  e.time);
        EXPECT_EQ(data.dwFileAttributes, e.attributes);
    }
    SetFileAttributesW((target / L"dir\\empty.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ArchiveLibrary, EncryptedHeadersNeedThePassword)
{
    ArchiveLibrary library = load_library();
    Result<std::vector<std::string>> without = library.ListArchiveNames(fixture(L"tree_aes.7z"), "");
    ASSERT_FALSE(without);
    EXPECT_EQ(without.error().message, "The archive cannot be opened: unsupported archive or incorrect password");
    EXPECT_FALSE(library.ListArchiveNames(fixture(L"tree_aes.7z"), "wrong"));

    fs::path target = fresh_scratch_dir(L"qvo-aes");
    Result<void> extracted =
        library.ExtractWholeArchive(fixture(L"tree_aes.7z"), "Quillon", ansi(target) + "\\", {}, true, true);
    ASSERT_TRUE(extracted) << extracted.error().message;
    EXPECT_TRUE(fs::exists(target / L"docs\\readme.txt"));
}

TEST(ArchiveLibrary, FailuresCarryTheirTexts)
{
    ArchiveLibrary library = load_library();
    Result<std::vector<std::string>> missing = library.ListArchiveNames(fixture(L"no-such.7z"), "");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().message, "The archive file was not found");

    fs::path garbage = fresh_scratch_dir(L"qvo-garbage") / L"garbage.7z";
    std::ofstream(garbage, std::ios::binary) << "this is not a 7z archive at all";
    Result<std::vector<std::string>> unreadable = library.ListArchiveNames(ansi(garbage), "");
    ASSERT_FALSE(unreadable);
    EXPECT_EQ(unreadable.error().message, "The archive cannot be opened: unsupported archive or incorrect password");

    // A method the reader does not have lists fine but fails to extract, with the library's code.
    fs::path target = fresh_scratch_dir(L"qvo-ppmd");
    Result<void> extracted = library.ExtractWholeArchive(fixture(L"ppmd.7z"), "", ansi(target) + "\\", {}, true, true);
    ASSERT_FALSE(extracted);
    EXPECT_EQ(extracted.error().message.substr(0, 1), "#");
    EXPECT_FALSE(fs::exists(target / L"docs\\readme.txt"));
}

TEST(ArchiveLibrary, KeepsExistingFilesWhenNotToOverwrite)
{
    ArchiveLibrary library = load_library();
    fs::path target = fresh_scratch_dir(L"qvo-keep");
    fs::create_directories(target / L"docs");
    std::ofstream(target / L"docs\\readme.txt") << "mine";
    ASSERT_TRUE(library.ExtractWholeArchive(fixture(L"tree_lzma2.7z"), "", ansi(target) + "\\", {}, false, true));
    std::ifstream kept(target / L"docs\\readme.txt");
    std::string word;
    kept >> word;
    EXPECT_EQ(word, "mine");
}

} // namespace
} // namespace quillon::test
