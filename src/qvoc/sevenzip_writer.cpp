#include "qvoc/sevenzip_writer.h"

#include "base/crc32.h"

#include <algorithm>
#include <chrono>
#include <fstream>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

// Property and section ids of the 7z header.
enum : std::uint8_t {
    id_end = 0x00,
    id_header = 0x01,
    id_main_streams_info = 0x04,
    id_files_info = 0x05,
    id_pack_info = 0x06,
    id_unpack_info = 0x07,
    id_substreams_info = 0x08,
    id_size = 0x09,
    id_crc = 0x0A,
    id_folder = 0x0B,
    id_coders_unpack_size = 0x0C,
    id_num_unpack_stream = 0x0D,
    id_empty_stream = 0x0E,
    id_empty_file = 0x0F,
    id_name = 0x11,
    id_modified_time = 0x14,
    id_win_attributes = 0x15,
};

constexpr unsigned char signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
constexpr std::size_t start_header_size = 32;
constexpr std::size_t copy_chunk = 1 << 20;

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr std::int64_t filetime_unix_epoch = 116444736000000000;

void append_u32(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void append_u64(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Bit vectors are written most significant bit first.
std::string bit_vector(const std::vector<bool>& bits)
{
    std::string out((bits.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
    return out;
}

void append_property(std::string& out, std::uint8_t id, const std::string& data)
{
    out.push_back(static_cast<char>(id));
    append_7z_number(out, data.size());
    out += data;
}

std::uint64_t filetime_of(fs::file_time_type time)
{
    auto since_unix = std::chrono::file_clock::to_sys(time).time_since_epoch();
    auto ticks = std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(since_unix);
    std::int64_t value = ticks.count() + filetime_unix_epoch;
    return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

Result<void> collect(const fs::path& root, const fs::path& folder, std::vector<ArchiveItem>& items)
{
    std::error_code code;
    std::vector<fs::path> children;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
        children.push_back(it->path());
    if (code)
        return make_error(ErrorCode::io, "Cannot list the folder " + folder.string() + ": " + code.message());
    std::sort(children.begin(), children.end());

    for (const fs::path& child : children) {
        fs::file_status status = fs::status(child, code);
        if (code)
            return make_error(ErrorCode::io, "Cannot read " + child.string() + ": " + code.message());
        ArchiveItem item;
        item.name = fs::relative(child, root, code).generic_u16string();
        if (code)
            return make_error(ErrorCode::io, "Cannot name " + child.string() + " in the archive: " + code.message());
        item.modified = filetime_of(fs::last_write_time(child, code));
        if (code)
            return make_error(ErrorCode::io, "Cannot read the time of " + child.string() + ": " + code.message());
        bool writable = (status.permissions() & fs::perms::owner_write) != fs::perms::none;
        if (fs::is_directory(status)) {
            item.directory = true;
            item.attributes = attribute_directory | (writable ? 0 : attribute_read_only);
            items.push_back(std::move(item));
            TRY(collect(root, child, items));
        } else if (fs::is_regular_file(status)) {
            item.source = child;
            item.size = fs::file_size(child, code);
            if (code)
                return make_error(ErrorCode::io, "Cannot read the size of " + child.string() + ": " + code.message());
            item.attributes = attribute_archive | (writable ? 0 : attribute_read_only);
            items.push_back(std::move(item));
        } else {
            return make_error(ErrorCode::unsupported, child.string() + " is neither a file nor a folder");
        }
    }
    return {};
}

std::string files_info(const std::vector<ArchiveItem>& items)
{
    std::string out;
    out.push_back(static_cast<char>(id_files_info));
    append_7z_number(out, items.size());
    if (items.empty()) {
        out.push_back(static_cast<char>(id_end));
        return out;
    }

    std::vector<bool> empty_stream;
    std::vector<bool> empty_file; // over the empty streams only: a file, not a folder
    for (const ArchiveItem& item : items) {
        bool empty = item.directory || item.size == 0;
        empty_stream.push_back(empty);
        if (empty)
            empty_file.push_back(!item.directory);
    }
    if (!empty_file.empty()) {
        append_property(out, id_empty_stream, bit_vector(empty_stream));
        if (std::find(empty_file.begin(), empty_file.end(), true) != empty_file.end())
            append_property(out, id_empty_file, bit_vector(empty_file));
    }

    std::string names(1, '\0'); // not external
    for (const ArchiveItem& item : items) {
        for (char16_t unit : item.name) {
            names.push_back(static_cast<char>(unit & 0xFF));
            names.push_back(static_cast<char>(unit >> 8));
        }
        names.append(2, '\0');
    }
    append_property(out, id_name, names);

    std::string times = {'\1', '\0'}; // all defined, not external
    for (const ArchiveItem& item : items)
        append_u64(times, item.modified);
    append_property(out, id_modified_time, times);

    std::string attributes = {'\1', '\0'};
    for (const ArchiveItem& item : items)
        append_u32(attributes, item.attributes);
    append_property(out, id_win_attributes, attributes);

    out.push_back(static_cast<char>(id_end));
    return out;
}

// One pack stream holding every non-empty file back to back, unpacked by a
// single Copy coder into as many substreams.
std::string streams_info(const std::vector<std::uint64_t>& sizes, const std::vector<std::uint32_t>& crcs)
{
    std::uint64_t total = 0;
    for (std::uint64_t size : sizes)
        total += size;

    std::string out;
    out.push_back(static_cast<char>(id_main_streams_info));

    out.push_back(static_cast<char>(id_pack_info));
    append_7z_number(out, 0); // pack position
    append_7z_number(out, 1); // pack streams
    out.push_back(static_cast<char>(id_size));
    append_7z_number(out, total);
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_unpack_info));
    out.push_back(static_cast<char>(id_folder));
    append_7z_number(out, 1); // folders
    out.push_back('\0');      // not external
    append_7z_number(out, 1); // coders in the folder
    out.push_back('\x01');    // simple coder, one-byte method id
    out.push_back('\x00');    // Copy
    out.push_back(static_cast<char>(id_coders_unpack_size));
    append_7z_number(out, total);
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_substreams_info));
    out.push_back(static_cast<char>(id_num_unpack_stream));
    append_7z_number(out, sizes.size());
    if (sizes.size() > 1) {
        out.push_back(static_cast<char>(id_size));
        for (std::size_t i = 0; i + 1 < sizes.size(); ++i)
            append_7z_number(out, sizes[i]);
    }
    out.push_back(static_cast<char>(id_crc));
    out.push_back('\1'); // all defined
    for (std::uint32_t crc : crcs)
        append_u32(out, crc);
    out.push_back(static_cast<char>(id_end));

    out.push_back(static_cast<char>(id_end));
    return out;
}

} // namespace

void append_7z_number(std::string& out, std::uint64_t value)
{
    // The count of leading one bits of the first byte is the count of bytes
    // that follow; the first byte's remaining bits are the value's top bits.
    for (int extra = 0; extra < 8; ++extra) {
        if (value < (std::uint64_t{1} << (7 * (extra + 1)))) {
            auto mask = static_cast<std::uint8_t>(0xFF00 >> extra);
            out.push_back(static_cast<char>(mask | (value >> (8 * extra))));
            for (int i = 0; i < extra; ++i)
                out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
            return;
        }
    }
    out.push_back(static_cast<char>(0xFF));
    append_u64(out, value);
}

Result<std::vector<ArchiveItem>> collect_archive_items(const fs::path& folder)
{
    std::vector<ArchiveItem> items;
    TRY(collect(folder, folder, items));
    return items;
}

Result<void> write_7z_archive(const fs::path& archive, const std::vector<ArchiveItem>& items)
{
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    if (!out)
        return make_error(ErrorCode::io, "Cannot create " + archive.string());
    out.write(std::string(start_header_size, '\0').data(), start_header_size);

    std::vector<std::uint64_t> sizes;
    std::vector<std::uint32_t> crcs;
    std::uint64_t packed = 0;
    std::string buffer(copy_chunk, '\0');
    for (const ArchiveItem& item : items) {
        if (item.directory || item.size == 0)
            continue;
        std::ifstream in(item.source, std::ios::binary);
        if (!in)
            return make_error(ErrorCode::io, "Cannot open " + item.source.string());
        std::uint32_t crc = 0;
        std::uint64_t copied = 0;
        while (in) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            auto got = static_cast<std::size_t>(in.gcount());
            if (got == 0)
                break;
            copied += got;
            if (copied > item.size)
                break;
            crc = crc32_update(crc, std::string_view(buffer.data(), got));
            out.write(buffer.data(), static_cast<std::streamsize>(got));
        }
        if (copied != item.size)
            return make_error(ErrorCode::io, item.source.string() + " changed while it was being archived");
        sizes.push_back(item.size);
        crcs.push_back(crc);
        packed += item.size;
    }

    std::string header;
    header.push_back(static_cast<char>(id_header));
    if (!sizes.empty())
        header += streams_info(sizes, crcs);
    header += files_info(items);
    header.push_back(static_cast<char>(id_end));
    out.write(header.data(), static_cast<std::streamsize>(header.size()));

    std::string next;
    append_u64(next, packed); // the header follows the packed streams
    append_u64(next, header.size());
    append_u32(next, crc32(header));
    std::string start(reinterpret_cast<const char*>(signature), sizeof signature);
    start.push_back('\0'); // format version 0.4
    start.push_back('\4');
    append_u32(start, crc32(next));
    start += next;
    out.seekp(0);
    out.write(start.data(), static_cast<std::streamsize>(start.size()));
    out.flush();
    if (!out)
        return make_error(ErrorCode::io, "Cannot write " + archive.string());
    return {};
}

} // namespace quillon::qvoc
