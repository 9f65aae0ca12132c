#include "script/pe_image.h"

#include "base/byte_cursor.h"

#include <algorithm>
#include <string>

namespace quillon {

namespace {

// Offsets of the PE/COFF layout.
constexpr std::uint64_t dos_magic_offset = 0x00;
constexpr std::uint16_t dos_magic = 0x5A4D; // "MZ"
constexpr std::uint64_t pe_offset_field = 0x3C;
constexpr std::uint32_t pe_signature = 0x00004550; // "PE\0\0"
constexpr std::uint64_t signature_size = 4;
constexpr std::uint64_t number_of_sections_offset = 2;      // within the file header
constexpr std::uint64_t size_of_optional_header_offset = 16; // within the file header
constexpr std::uint64_t file_header_size = 20;
constexpr std::uint64_t section_header_size = 40;
constexpr std::uint64_t size_of_raw_data_offset = 0x10;
constexpr std::uint64_t pointer_to_raw_data_offset = 0x14;

std::unexpected<Error> damaged(const std::string& what)
{
    return make_error(ErrorCode::corrupt, "The executable image is damaged: " + what + ".");
}

} // namespace

Result<std::uint64_t> pe_stub_size(std::span<const std::byte> image)
{
    ByteCursor reader(image);

    auto magic = reader.u16_at(dos_magic_offset);
    if (!magic || *magic != dos_magic)
        return damaged("it does not start with a DOS header");
    auto pe_offset = reader.u32_at(pe_offset_field);
    if (!pe_offset)
        return damaged("the DOS header is truncated");
    auto signature = reader.u32_at(*pe_offset);
    if (!signature || *signature != pe_signature)
        return damaged("the PE signature is missing");

    // All offsets are 64-bit sums of 32-bit and 16-bit fields, so none can wrap.
    std::uint64_t file_header = std::uint64_t{*pe_offset} + signature_size;
    auto section_count = reader.u16_at(file_header + number_of_sections_offset);
    auto optional_header_size = reader.u16_at(file_header + size_of_optional_header_offset);
    if (!section_count || !optional_header_size)
        return damaged("the file header is truncated");

    std::uint64_t section_table = file_header + file_header_size + *optional_header_size;
    if (section_table + *section_count * section_header_size > image.size())
        return damaged("the section table is truncated");
    std::uint64_t stub_size = 0;
    for (std::uint64_t index = 0; index < *section_count; ++index) {
        std::uint64_t header = section_table + index * section_header_size;
        auto raw_size = reader.u32_at(header + size_of_raw_data_offset);
        auto raw_pointer = reader.u32_at(header + pointer_to_raw_data_offset);
        if (!raw_size || !raw_pointer)
            return damaged("the section table is truncated");
        stub_size = std::max(stub_size, std::uint64_t{*raw_pointer} + *raw_size);
    }
    return stub_size;
}

} // namespace quillon
