#include "script/pe_image.h"
#include "script/test_pe.h"

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <string_view>

namespace quillon::test {
namespace {

TEST(PeStubSize, IsTheLargestSectionEndForBothImageKinds)
{
    struct Case {
        std::string name;
        std::uint16_t magic;
        std::uint16_t optional_header_size;
        std::vector<TestSection> sections;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"PE32, last section ends last",
         pe32_magic,
         pe32_optional_header_size,
         {{0x400, 0x200}, {0x600, 0x1000}},
         0x1600},
        {"PE32+, last section ends last",
         pe32_plus_magic,
         pe32_plus_optional_header_size,
         {{0x400, 0x3000}, {0x3400, 0x200}},
         0x3600},
        {"PE32+, an earlier section ends last",
         pe32_plus_magic,
         pe32_plus_optional_header_size,
         {{0x400, 0x8000}, {0x1000, 0x200}},
         0x8400},
        {"uninitialised data has no raw bytes", pe32_magic, pe32_optional_header_size, {{0x400, 0x200}, {0, 0}}, 0x600},
        {"no sections", pe32_plus_magic, pe32_plus_optional_header_size, {}, 0},
        {"sum beyond 32 bits", pe32_magic, pe32_optional_header_size, {{0xFFFFFFF0u, 0x100}}, 0x1000000F0ull},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::byte> image = build_pe_headers(c.magic, c.optional_header_size, c.sections);
        auto size = pe_stub_size(image);
        ASSERT_TRUE(size.has_value()) << size.error().message;
        EXPECT_EQ(*size, c.expected);
    }
}

TEST(PeStubSize, DamagedHeadersAreCorrupt)
{
    std::vector<std::byte> valid = build_pe_headers(pe32_magic, pe32_optional_header_size, {{0x400, 0x200}});
    struct Case {
        std::string name;
        std::vector<std::byte> image;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    {
        auto image = valid;
        image[0] = std::byte{'X'};
        cases.push_back({"no MZ", image});
    }
    {
        auto image = valid;
        put_u32(image, 0x3C, 0xFFFFFFFFu);
        cases.push_back({"signature offset far beyond the end", image});
    }
    {
        auto image = valid;
        put_u32(image, 0x3C, static_cast<std::uint32_t>(image.size() - 2));
        cases.push_back({"signature offset at the last bytes", image});
    }
    {
        auto image = valid;
        image[test_pe_offset] = std::byte{'N'};
        cases.push_back({"no PE signature", image});
    }
    {
        auto image = valid;
        put_u16(image, test_pe_offset + 4 + 2, 2);
        cases.push_back({"more sections than the table holds", image});
    }
    {
        auto image = valid;
        put_u16(image, test_pe_offset + 4 + 16, 0xFFFF);
        cases.push_back({"optional header larger than the image", image});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto size = pe_stub_size(c.image);
        ASSERT_FALSE(size.has_value());
        EXPECT_EQ(size.error().code, ErrorCode::corrupt);
    }
}

TEST(PeStubSize, EveryTruncatedHeaderFailsCleanly)
{
    std::vector<std::byte> image =
        build_pe_headers(pe32_plus_magic, pe32_plus_optional_header_size, {{0x400, 0x200}, {0x600, 0x200}});
    for (std::size_t length = 0; length < image.size(); ++length) {
        SCOPED_TRACE(length);
        auto size = pe_stub_size(std::span<const std::byte>(image.data(), length));
        ASSERT_FALSE(size.has_value());
        EXPECT_EQ(size.error().code, ErrorCode::corrupt);
    }
    EXPECT_EQ(pe_stub_size(image).value_or(0), 0x800u);
}

// An image whose one section (".a", at virtual address 0x1000) holds an import
// table and a delay-load table with their names behind them, pointed at by the
// data directory.
constexpr std::uint32_t idata_rva = 0x1000;
constexpr std::uint32_t idata_file = 0x400;

struct ImportingImage {
    std::vector<std::byte> bytes;
    std::size_t import_table = 0;  // file offsets, for tests that damage them
    std::size_t delay_table = 0;
    std::size_t first_name = 0;
};

ImportingImage build_importing_image(std::uint16_t magic, const std::vector<std::string>& imports,
                                     const std::vector<std::string>& delayed)
{
    const bool plus = magic == pe32_plus_magic;
    const std::uint16_t optional_size = plus ? pe32_plus_optional_header_size : pe32_optional_header_size;
    const std::size_t import_table_size = 20 * (imports.size() + 1);
    const std::size_t delay_table_size = delayed.empty() ? 0 : 32 * (delayed.size() + 1);
    std::size_t names_size = 0;
    for (const auto& list : {imports, delayed})
        for (const std::string& name : list)
            names_size += name.size() + 1;
    const auto section_size = static_cast<std::uint32_t>(import_table_size + delay_table_size + names_size);

    ImportingImage image;
    image.bytes = build_pe_headers(magic, optional_size, {{idata_file, section_size, idata_rva}});
    const std::size_t optional_header = test_pe_offset + 4 + 20;
    const std::size_t directory_count = optional_header + (plus ? 108 : 92);
    put_u32(image.bytes, directory_count, 16);
    for (std::size_t i = directory_count + 4; i < optional_header + optional_size; ++i)
        image.bytes[i] = std::byte{0};
    image.bytes.resize(idata_file + section_size, std::byte{0});

    image.import_table = idata_file;
    image.delay_table = idata_file + import_table_size;
    image.first_name = image.delay_table + delay_table_size;
    put_u32(image.bytes, directory_count + 4 + 8 * 1, idata_rva);
    put_u32(image.bytes, directory_count + 4 + 8 * 1 + 4, static_cast<std::uint32_t>(import_table_size));
    if (!delayed.empty()) {
        put_u32(image.bytes, directory_count + 4 + 8 * 13, static_cast<std::uint32_t>(idata_rva + import_table_size));
        put_u32(image.bytes, directory_count + 4 + 8 * 13 + 4, static_cast<std::uint32_t>(delay_table_size));
    }
    std::size_t name_at = image.first_name;
    auto place_name = [&](const std::string& name) {
        std::memcpy(image.bytes.data() + name_at, name.data(), name.size());
        auto rva = static_cast<std::uint32_t>(idata_rva + (name_at - idata_file));
        name_at += name.size() + 1;
        return rva;
    };
    for (std::size_t i = 0; i < imports.size(); ++i) {
        std::size_t entry = image.import_table + 20 * i;
        put_u32(image.bytes, entry + 12, place_name(imports[i]));
        put_u32(image.bytes, entry + 16, idata_rva); // FirstThunk: somewhere, never followed
    }
    for (std::size_t i = 0; i < delayed.size(); ++i) {
        std::size_t entry = image.delay_table + 32 * i;
        put_u32(image.bytes, entry, 1); // addresses are relative
        put_u32(image.bytes, entry + 4, place_name(delayed[i]));
    }
    return image;
}

TEST(PeImportedLibraries, ListsImportsThenDelayLoadsForBothImageKinds)
{
    struct Case {
        std::string name;
        std::uint16_t magic;
        std::vector<std::string> imports;
        std::vector<std::string> delayed;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"PE32+",
         pe32_plus_magic,
         {"KERNEL32.dll", "USER32.dll"},
         {"WINMM.dll"},
         {"KERNEL32.dll", "USER32.dll", "WINMM.dll"}},
        {"PE32",
         pe32_magic,
         {"msvcrt.dll"},
         {"comctl32.dll", "version.dll"},
         {"msvcrt.dll", "comctl32.dll", "version.dll"}},
        {"no delay-load table", pe32_plus_magic, {"KERNEL32.dll"}, {}, {"KERNEL32.dll"}},
        {"an empty import table", pe32_plus_magic, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportingImage image = build_importing_image(c.magic, c.imports, c.delayed);
        auto names = pe_imported_libraries(image.bytes);
        ASSERT_TRUE(names.has_value()) << names.error().message;
        EXPECT_EQ(*names, c.expected);
    }
}

TEST(PeImportedLibraries, DirectoriesTheHeaderDoesNotHaveImportNothing)
{
    ImportingImage image = build_importing_image(pe32_plus_magic, {"KERNEL32.dll"}, {"WINMM.dll"});
    const std::size_t directory_count = test_pe_offset + 4 + 20 + 108;
    struct Case {
        std::string name;
        std::uint32_t directory_count;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"no directories", 0, {}},
        {"only the export and import directories", 2, {"KERNEL32.dll"}},
        {"all sixteen", 16, {"KERNEL32.dll", "WINMM.dll"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = image.bytes;
        put_u32(bytes, directory_count, c.directory_count);
        auto names = pe_imported_libraries(bytes);
        ASSERT_TRUE(names.has_value()) << names.error().message;
        EXPECT_EQ(*names, c.expected);
    }
}

TEST(PeImportedLibraries, DamagedTablesAreCorrupt)
{
    const ImportingImage valid = build_importing_image(pe32_plus_magic, {"KERNEL32.dll", "USER32.dll"}, {"WINMM.dll"});
    struct Case {
        std::string name;
        std::vector<std::byte> bytes;
    };
    std::vector<Case> cases;
    {
        auto bytes = valid.bytes;
        put_u32(bytes, valid.import_table + 12, 0x9000);
        cases.push_back({"a name outside every section", bytes});
    }
    {
        auto bytes = valid.bytes;
        put_u32(bytes, test_pe_offset + 4 + 20 + 108 + 4 + 8, 0x0800);
        cases.push_back({"the import table before the section", bytes});
    }
    {
        auto bytes = valid.bytes;
        bytes.resize(bytes.size() - 1); // the last name loses its terminator
        cases.push_back({"an unterminated name at the end", bytes});
    }
    {
        auto bytes = valid.bytes;
        for (std::size_t i = valid.first_name; i < bytes.size(); ++i)
            bytes[i] = std::byte{'x'};
        cases.push_back({"names without terminators", bytes});
    }
    {
        auto bytes = valid.bytes;
        put_u16(bytes, test_pe_offset + 4 + 20, 0x0107);
        cases.push_back({"an optional header of an unknown kind", bytes});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto names = pe_imported_libraries(c.bytes);
        ASSERT_FALSE(names.has_value());
        EXPECT_EQ(names.error().code, ErrorCode::corrupt) << names.error().message;
    }
}

TEST(PeImportedLibraries, EveryTruncationFailsCleanly)
{
    const ImportingImage image = build_importing_image(pe32_plus_magic, {"KERNEL32.dll", "USER32.dll"}, {"WINMM.dll"});
    for (std::size_t length = 0; length < image.bytes.size(); ++length) {
        SCOPED_TRACE(length);
        auto names = pe_imported_libraries(std::span<const std::byte>(image.bytes.data(), length));
        ASSERT_FALSE(names.has_value());
        EXPECT_EQ(names.error().code, ErrorCode::corrupt);
    }
    EXPECT_EQ(pe_imported_libraries(image.bytes).value_or(std::vector<std::string>{}).size(), 3u);
}

TEST(PeImportedLibraries, OldFormDelayLoadsAreUnsupportedNotMisread)
{
    ImportingImage image = build_importing_image(pe32_magic, {"KERNEL32.dll"}, {"WINMM.dll"});
    put_u32(image.bytes, image.delay_table, 0);
    auto names = pe_imported_libraries(image.bytes);
    ASSERT_FALSE(names.has_value());
    EXPECT_EQ(names.error().code, ErrorCode::unsupported);
}

TEST(PeFileVersion, IsTheFixedFileVersionOfTheVersionResourceForBothImageKinds)
{
    for (std::uint16_t magic : {pe32_plus_magic, pe32_magic}) {
        SCOPED_TRACE(magic);
        EXPECT_EQ(pe_file_version(build_versioned_pe(magic, 0x00010002, 0x00030004)), "1.2.3.4");
        EXPECT_EQ(pe_file_version(build_versioned_pe(magic, 0xFFFF0000, 0x0000FFFF)), "65535.0.0.65535");
    }
}

TEST(PeFileVersion, FilesWithoutAReadableVersionHaveNone)
{
    const std::vector<std::byte> good = build_versioned_pe(pe32_plus_magic, 0x00010002, 0x00030004);
    struct Case {
        std::string name;
        std::vector<std::byte> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"no version type", build_versioned_pe(pe32_plus_magic, 0x00010002, 0x00030004, 17)});
    cases.push_back({"a text file", std::vector<std::byte>(64, std::byte{'x'})});
    cases.push_back({"no PE headers", std::vector<std::byte>{std::byte{'M'}, std::byte{'Z'}}});
    Case no_directory{"no resource directory", good};
    put_u32(no_directory.bytes, test_pe_offset + 4 + 20 + 108 + 4 + 8 * 2, 0);
    cases.push_back(no_directory);
    Case signature{"a damaged signature", good};
    put_u32(signature.bytes, versioned_block + 40, 0xFEEF04BC);
    cases.push_back(signature);
    Case short_value{"a value too short for the fixed information", good};
    put_u16(short_value.bytes, versioned_block + 2, 4);
    cases.push_back(short_value);
    Case outside{"a data entry outside every section", good};
    put_u32(outside.bytes, versioned_resource_file + 0x50, 0x9000);
    cases.push_back(outside);
    Case loop{"a language entry that is a directory again", good};
    put_u32(loop.bytes, versioned_resource_file + 0x38 + 20, 0x80000000);
    cases.push_back(loop);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pe_file_version(c.bytes), std::nullopt);
    }
}

TEST(PeFileVersion, EveryTruncationBeforeTheVersionBlockEndsGivesNone)
{
    const std::vector<std::byte> image = build_versioned_pe(pe32_magic, 0x00010002, 0x00030004);
    for (std::size_t length = 0; length <= image.size(); ++length) {
        SCOPED_TRACE(length);
        std::optional<std::string> version = pe_file_version(std::span<const std::byte>(image.data(), length));
        if (length < versioned_block + 56)
            EXPECT_EQ(version, std::nullopt);
        else
            EXPECT_EQ(version, "1.2.3.4");
    }
}

} // namespace
} // namespace quillon::test
