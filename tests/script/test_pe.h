// Builds the headers of small PE images for the script tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillon::test {

struct TestSection {
    std::uint32_t pointer_to_raw_data = 0;
    std::uint32_t size_of_raw_data = 0;
    std::uint32_t virtual_address = 0;
};

inline constexpr std::uint16_t pe32_magic = 0x10B;
inline constexpr std::uint16_t pe32_plus_magic = 0x20B;
inline constexpr std::uint16_t pe32_optional_header_size = 224;
inline constexpr std::uint16_t pe32_plus_optional_header_size = 240;
inline constexpr std::uint32_t test_pe_offset = 0x80;

inline void put_u16(std::vector<std::byte>& image, std::size_t offset, std::uint16_t value)
{
    image[offset] = static_cast<std::byte>(value & 0xFF);
    image[offset + 1] = static_cast<std::byte>(value >> 8);
}

inline void put_u32(std::vector<std::byte>& image, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

// DOS header, "PE\0\0", file header, optional header and section table, and
// nothing after them. The optional header is filled with 0xFF beyond its
// magic, so a reader that assumes the wrong optional header size reads
// garbage section entries instead of the real ones.
inline std::vector<std::byte> build_pe_headers(std::uint16_t magic, std::uint16_t optional_header_size,
                                               const std::vector<TestSection>& sections)
{
    std::size_t file_header = test_pe_offset + 4;
    std::size_t optional_header = file_header + 20;
    std::size_t section_table = optional_header + optional_header_size;
    std::vector<std::byte> image(section_table + 40 * sections.size(), std::byte{0});

    image[0] = std::byte{'M'};
    image[1] = std::byte{'Z'};
    put_u32(image, 0x3C, test_pe_offset);
    image[test_pe_offset] = std::byte{'P'};
    image[test_pe_offset + 1] = std::byte{'E'};
    put_u16(image, file_header + 0, magic == pe32_plus_magic ? 0x8664 : 0x014C); // Machine
    put_u16(image, file_header + 2, static_cast<std::uint16_t>(sections.size()));
    put_u16(image, file_header + 16, optional_header_size);
    for (std::size_t i = optional_header; i < section_table; ++i)
        image[i] = std::byte{0xFF};
    if (optional_header_size >= 2)
        put_u16(image, optional_header, magic);
    for (std::size_t index = 0; index < sections.size(); ++index) {
        std::size_t header = section_table + 40 * index;
        image[header] = std::byte{'.'};
        image[header + 1] = static_cast<std::byte>('a' + index);
        put_u32(image, header + 0x0C, sections[index].virtual_address);
        put_u32(image, header + 0x10, sections[index].size_of_raw_data);
        put_u32(image, header + 0x14, sections[index].pointer_to_raw_data);
    }
    return image;
}

// An image with one resource section (".a": file 0x400, virtual address
// 0x2000) whose tree holds an icon-typed resource first (with the version
// 9.9.9.9, which a reader must not take) and then the RT_VERSION resource
// with the given file version, each as type, name 1 and language 0x409.
inline constexpr std::size_t versioned_resource_file = 0x400;
inline constexpr std::uint32_t versioned_resource_rva = 0x2000;
inline constexpr std::size_t versioned_block = versioned_resource_file + 0x100; // the real version block
inline constexpr std::size_t version_block_size = 92;

inline std::vector<std::byte> build_versioned_pe(std::uint16_t magic, std::uint32_t version_ms,
                                                 std::uint32_t version_ls, std::uint32_t version_type = 16)
{
    const bool plus = magic == pe32_plus_magic;
    const std::uint16_t optional_size = plus ? pe32_plus_optional_header_size : pe32_optional_header_size;
    const std::uint32_t section_size = 0x300;
    std::vector<std::byte> image =
        build_pe_headers(magic, optional_size, {{versioned_resource_file, section_size, versioned_resource_rva}});
    const std::size_t optional_header = test_pe_offset + 4 + 20;
    const std::size_t directory_count = optional_header + (plus ? 108 : 92);
    put_u32(image, directory_count, 16);
    for (std::size_t i = directory_count + 4; i < optional_header + optional_size; ++i)
        image[i] = std::byte{0};
    put_u32(image, directory_count + 4 + 8 * 2, versioned_resource_rva);
    put_u32(image, directory_count + 4 + 8 * 2 + 4, section_size);
    image.resize(versioned_resource_file + section_size, std::byte{0});

    const std::size_t base = versioned_resource_file;
    constexpr std::uint32_t subdirectory = 0x80000000;
    auto directory = [&](std::size_t at, std::uint32_t id, std::uint32_t target) {
        put_u16(image, base + at + 14, 1); // one numbered entry
        put_u32(image, base + at + 16, id);
        put_u32(image, base + at + 20, target);
    };
    // The root: the icon type, then the version type.
    put_u16(image, base + 14, 2);
    put_u32(image, base + 16, 3);
    put_u32(image, base + 20, subdirectory | 0x60);
    put_u32(image, base + 24, version_type);
    put_u32(image, base + 28, subdirectory | 0x20);
    directory(0x20, 1, subdirectory | 0x38);
    directory(0x38, 0x409, 0x50);
    directory(0x60, 1, subdirectory | 0x78);
    directory(0x78, 0x409, 0x90);
    auto data_entry = [&](std::size_t at, std::size_t block) {
        put_u32(image, base + at, static_cast<std::uint32_t>(versioned_resource_rva + (block - base)));
        put_u32(image, base + at + 4, static_cast<std::uint32_t>(version_block_size));
    };
    data_entry(0x50, versioned_block);
    data_entry(0x90, base + 0x200);
    auto version_block = [&](std::size_t at, std::uint32_t ms, std::uint32_t ls) {
        put_u16(image, at, static_cast<std::uint16_t>(version_block_size));
        put_u16(image, at + 2, 52);
        constexpr std::u16string_view key = u"VS_VERSION_INFO";
        for (std::size_t i = 0; i < key.size(); ++i)
            put_u16(image, at + 6 + 2 * i, key[i]);
        put_u32(image, at + 40, 0xFEEF04BD);
        put_u32(image, at + 44, 0x00010000);
        put_u32(image, at + 48, ms);
        put_u32(image, at + 52, ls);
    };
    version_block(versioned_block, version_ms, version_ls);
    version_block(base + 0x200, 0x00090009, 0x00090009);
    return image;
}

} // namespace quillon::test
