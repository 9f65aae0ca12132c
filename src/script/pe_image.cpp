#include "script/pe_image.h"

#include "base/byte_cursor.h"

#include <algorithm>
#include <optional>
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
constexpr std::uint64_t virtual_address_offset = 0x0C;
constexpr std::uint16_t pe32_magic = 0x10B;
constexpr std::uint16_t pe32_plus_magic = 0x20B;
// NumberOfRvaAndSizes within the optional header; the data directory follows it.
constexpr std::uint64_t pe32_directory_count_offset = 92;
constexpr std::uint64_t pe32_plus_directory_count_offset = 108;
constexpr std::uint64_t directory_entry_size = 8;
constexpr std::uint32_t import_directory = 1;
constexpr std::uint32_t delay_import_directory = 13;
constexpr std::uint64_t import_descriptor_size = 20;
constexpr std::uint64_t import_name_field = 12;
constexpr std::uint64_t delay_descriptor_size = 32;
constexpr std::uint64_t delay_attributes_field = 0;
constexpr std::uint64_t delay_name_field = 4;
constexpr std::uint32_t delay_load_rva_based = 1;
constexpr std::uint32_t resource_directory = 2;
// A resource directory: 16 bytes of header, whose last two fields count its
// named and numbered entries, then 8-byte entries (name or number, offset).
constexpr std::uint64_t resource_named_count_offset = 12;
constexpr std::uint64_t resource_header_size = 16;
constexpr std::uint64_t resource_entry_size = 8;
constexpr std::uint32_t resource_subdirectory = 0x80000000;
constexpr std::uint32_t rt_version = 16;
// VS_VERSIONINFO: three 16-bit fields, the key L"VS_VERSION_INFO" with its
// terminator, padding to 32 bits, then VS_FIXEDFILEINFO.
constexpr std::uint64_t version_value_length_offset = 2;
constexpr std::uint64_t version_fixed_info_offset = 40;
constexpr std::uint32_t fixed_info_signature = 0xFEEF04BD;
constexpr std::uint64_t fixed_info_size = 52;
constexpr std::uint64_t file_version_ms_offset = 8;
constexpr std::uint64_t file_version_ls_offset = 12;
// Deeper trees than type, name and language are not resource trees.
constexpr int resource_levels = 3;
// Longer than any file name Windows accepts; a longer one is damage, not a name.
constexpr std::size_t max_name_length = 1024;

std::unexpected<Error> damaged(const std::string& what)
{
    return make_error(ErrorCode::corrupt, "The executable image is damaged: " + what + ".");
}

// Where the parts of the headers lie; every offset is a 64-bit sum of 32-bit
// and 16-bit fields, so none can wrap.
struct Headers {
    std::uint64_t optional_header = 0;
    std::uint16_t optional_header_size = 0;
    std::uint64_t section_table = 0;
    std::uint16_t section_count = 0;
};

Result<Headers> read_headers(const ByteCursor& reader, std::uint64_t image_size)
{
    auto magic = reader.u16_at(dos_magic_offset);
    if (!magic || *magic != dos_magic)
        return damaged("it does not start with a DOS header");
    auto pe_offset = reader.u32_at(pe_offset_field);
    if (!pe_offset)
        return damaged("the DOS header is truncated");
    auto signature = reader.u32_at(*pe_offset);
    if (!signature || *signature != pe_signature)
        return damaged("the PE signature is missing");

    std::uint64_t file_header = std::uint64_t{*pe_offset} + signature_size;
    auto section_count = reader.u16_at(file_header + number_of_sections_offset);
    auto optional_header_size = reader.u16_at(file_header + size_of_optional_header_offset);
    if (!section_count || !optional_header_size)
        return damaged("the file header is truncated");

    Headers headers;
    headers.optional_header = file_header + file_header_size;
    headers.optional_header_size = *optional_header_size;
    headers.section_table = headers.optional_header + *optional_header_size;
    headers.section_count = *section_count;
    if (headers.section_table + headers.section_count * section_header_size > image_size)
        return damaged("the section table is truncated");
    return headers;
}

struct Directory {
    std::uint32_t rva = 0;
    std::uint32_t size = 0;
};

// A data directory entry; empty (rva 0) when the optional header does not have it.
Result<Directory> read_directory(const ByteCursor& reader, const Headers& headers, std::uint32_t index)
{
    auto magic = reader.u16_at(headers.optional_header);
    if (!magic || (*magic != pe32_magic && *magic != pe32_plus_magic))
        return damaged("the optional header is of an unknown kind");
    const bool plus = *magic == pe32_plus_magic;
    const std::uint64_t count_offset = plus ? pe32_plus_directory_count_offset : pe32_directory_count_offset;
    const std::uint64_t entry = count_offset + 4 + std::uint64_t{index} * directory_entry_size;
    if (entry + directory_entry_size > headers.optional_header_size)
        return Directory{};
    auto count = reader.u32_at(headers.optional_header + count_offset);
    auto rva = reader.u32_at(headers.optional_header + entry);
    auto size = reader.u32_at(headers.optional_header + entry + 4);
    if (!count || !rva || !size)
        return damaged("the optional header is truncated");
    if (index >= *count)
        return Directory{};
    return Directory{*rva, *size};
}

// The file offset of a relative virtual address: inside the raw data of a section.
Result<std::uint64_t> file_offset(const ByteCursor& reader, const Headers& headers, std::uint32_t rva)
{
    for (std::uint64_t index = 0; index < headers.section_count; ++index) {
        std::uint64_t header = headers.section_table + index * section_header_size;
        auto virtual_address = reader.u32_at(header + virtual_address_offset);
        auto raw_size = reader.u32_at(header + size_of_raw_data_offset);
        auto raw_pointer = reader.u32_at(header + pointer_to_raw_data_offset);
        if (!virtual_address || !raw_size || !raw_pointer)
            return damaged("the section table is truncated");
        if (rva >= *virtual_address && rva - *virtual_address < *raw_size)
            return std::uint64_t{*raw_pointer} + (rva - *virtual_address);
    }
    return damaged("an address points outside every section");
}

// A zero-terminated name at a relative virtual address.
Result<std::string> read_name(std::span<const std::byte> file, const ByteCursor& reader, const Headers& headers,
                              std::uint32_t rva)
{
    std::uint64_t offset = TRY(file_offset(reader, headers, rva));
    std::string name;
    for (std::uint64_t at = offset; at < file.size() && name.size() < max_name_length; ++at) {
        char c = static_cast<char>(std::to_integer<unsigned char>(file[at]));
        if (c == '\0')
            return name;
        name.push_back(c);
    }
    return damaged("a library name is not terminated");
}

// The names of one table of descriptors, each `stride` bytes with its name's address at `name_field`.
Result<void> read_names(std::span<const std::byte> file, const ByteCursor& reader, const Headers& headers,
                        std::uint32_t table_rva, std::uint64_t stride, std::uint64_t name_field,
                        std::optional<std::uint64_t> attributes_field, std::vector<std::string>& names)
{
    if (table_rva == 0)
        return {};
    std::uint64_t table = TRY(file_offset(reader, headers, table_rva));
    for (std::uint64_t entry = table;; entry += stride) {
        auto name_rva = reader.u32_at(entry + name_field);
        if (!name_rva)
            return damaged("an import table is not terminated");
        if (*name_rva == 0)
            return {};
        if (attributes_field) {
            // Delay-load entries holding virtual addresses instead of relative
            // ones are an old linker's format that no current toolchain writes.
            auto attributes = reader.u32_at(entry + *attributes_field);
            if (!attributes || (*attributes & delay_load_rva_based) == 0)
                return make_error(ErrorCode::unsupported,
                                  "The executable image uses an old form of delay-load imports.");
        }
        names.push_back(TRY(read_name(file, reader, headers, *name_rva)));
    }
}

// The offset (from the resource section's start) of the first entry of a
// resource directory, or of the entry numbered id when one is asked for.
std::optional<std::uint32_t> resource_entry(const ByteCursor& reader, std::uint64_t root, std::uint64_t directory,
                                            std::optional<std::uint32_t> id)
{
    auto named = reader.u16_at(root + directory + resource_named_count_offset);
    auto numbered = reader.u16_at(root + directory + resource_named_count_offset + 2);
    if (!named || !numbered)
        return std::nullopt;
    std::uint64_t count = std::uint64_t{*named} + *numbered;
    for (std::uint64_t index = 0; index < count; ++index) {
        std::uint64_t entry = root + directory + resource_header_size + index * resource_entry_size;
        auto name = reader.u32_at(entry);
        auto offset = reader.u32_at(entry + 4);
        if (!name || !offset)
            return std::nullopt;
        if (!id || (index >= *named && *name == *id))
            return *offset;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> pe_file_version(std::span<const std::byte> file)
{
    ByteCursor reader(file);
    Result<Headers> headers = read_headers(reader, file.size());
    if (!headers)
        return std::nullopt;
    Result<Directory> resources = read_directory(reader, *headers, resource_directory);
    if (!resources || resources->rva == 0)
        return std::nullopt;
    Result<std::uint64_t> root = file_offset(reader, *headers, resources->rva);
    if (!root)
        return std::nullopt;
    // Type RT_VERSION, then its first name, then its first language.
    std::uint32_t offset = 0;
    for (int level = 0; level < resource_levels; ++level) {
        if (level > 0 && (offset & resource_subdirectory) == 0)
            return std::nullopt;
        std::optional<std::uint32_t> next = resource_entry(reader, *root, offset & ~resource_subdirectory,
                                                           level == 0 ? std::optional(rt_version) : std::nullopt);
        if (!next)
            return std::nullopt;
        offset = *next;
    }
    if (offset & resource_subdirectory)
        return std::nullopt;
    auto data_rva = reader.u32_at(*root + offset);
    auto data_size = reader.u32_at(*root + offset + 4);
    if (!data_rva || !data_size || *data_size < version_fixed_info_offset + fixed_info_size)
        return std::nullopt;
    Result<std::uint64_t> data = file_offset(reader, *headers, *data_rva);
    if (!data)
        return std::nullopt;
    auto value_length = reader.u16_at(*data + version_value_length_offset);
    std::uint64_t fixed = *data + version_fixed_info_offset;
    auto signature = reader.u32_at(fixed);
    auto most = reader.u32_at(fixed + file_version_ms_offset);
    auto least = reader.u32_at(fixed + file_version_ls_offset);
    if (!value_length || *value_length < fixed_info_size || !signature || *signature != fixed_info_signature || !most ||
        !least)
        return std::nullopt;
    return std::to_string(*most >> 16) + "." + std::to_string(*most & 0xFFFF) + "." + std::to_string(*least >> 16) +
           "." + std::to_string(*least & 0xFFFF);
}

Result<std::uint64_t> pe_stub_size(std::span<const std::byte> image)
{
    ByteCursor reader(image);
    Headers headers = TRY(read_headers(reader, image.size()));
    std::uint64_t stub_size = 0;
    for (std::uint64_t index = 0; index < headers.section_count; ++index) {
        std::uint64_t header = headers.section_table + index * section_header_size;
        auto raw_size = reader.u32_at(header + size_of_raw_data_offset);
        auto raw_pointer = reader.u32_at(header + pointer_to_raw_data_offset);
        if (!raw_size || !raw_pointer)
            return damaged("the section table is truncated");
        stub_size = std::max(stub_size, std::uint64_t{*raw_pointer} + *raw_size);
    }
    return stub_size;
}

Result<std::vector<std::string>> pe_imported_libraries(std::span<const std::byte> file)
{
    ByteCursor reader(file);
    Headers headers = TRY(read_headers(reader, file.size()));
    Directory imports = TRY(read_directory(reader, headers, import_directory));
    Directory delayed = TRY(read_directory(reader, headers, delay_import_directory));
    std::vector<std::string> names;
    TRY(read_names(file, reader, headers, imports.rva, import_descriptor_size, import_name_field, std::nullopt, names));
    TRY(read_names(file, reader, headers, delayed.rva, delay_descriptor_size, delay_name_field, delay_attributes_field,
                   names));
    return names;
}

} // namespace quillon
