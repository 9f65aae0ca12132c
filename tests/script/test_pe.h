// Builds the headers of small PE images for the script tests.
#pragma once

#include <cstddef>
#include <cstdint>
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

} // namespace quillon::test
