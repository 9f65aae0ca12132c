// Grammar of the header (numbers are the 7z variable-length UINT64):
//
//   header        = kHeader [archive-props] [kAdditionalStreams streams] [kMainStreams streams] [files] kEnd
//   encoded       = kEncodedHeader streams
//   streams       = [pack-info] [unpack-info] [substreams] kEnd
//   pack-info     = kPackInfo pack-pos count {kSize size* | kCRC digests | other-property} kEnd
//   unpack-info   = kFolder count external=0 folder* kCodersUnpackSize size* {kCRC digests | other} kEnd
//   folder        = count coder* bind-pair* [packed-index*]
//   coder         = flags id [in out] [props-size props]
//   substreams    = {kNumUnpackStream count*} [kSize size*] {kCRC digests | other} kEnd
//   digests       = all-defined [bit*] crc32*
//   files         = kFilesInfo count {property-id size data} 0
#include "media/sevenzip/header.h"

#include "base/crc32.h"
#include "media/sevenzip/header_reader.h"

#include <algorithm>
#include <cstring>

namespace quillon::sevenzip {

namespace {

enum Property : std::uint64_t {
    k_end = 0x00,
    k_header = 0x01,
    k_archive_properties = 0x02,
    k_additional_streams = 0x03,
    k_main_streams = 0x04,
    k_files_info = 0x05,
    k_pack_info = 0x06,
    k_unpack_info = 0x07,
    k_substreams_info = 0x08,
    k_size = 0x09,
    k_crc = 0x0A,
    k_folder = 0x0B,
    k_coders_unpack_size = 0x0C,
    k_num_unpack_stream = 0x0D,
    k_empty_stream = 0x0E,
    k_empty_file = 0x0F,
    k_anti = 0x10,
    k_name = 0x11,
    k_last_write_time = 0x14,
    k_attributes = 0x15,
    k_encoded_header = 0x17,
};

// Folders are small graphs; real archives use at most four coders.
constexpr std::uint64_t max_coders = 64;
constexpr std::uint64_t max_folder_streams = 64;

Result<std::vector<bool>> read_bits(HeaderReader& reader, std::uint64_t count)
{
    if (count / 8 > reader.remaining())
        return corrupt("a bit vector exceeds the header's size");
    std::vector<bool> bits(static_cast<std::size_t>(count));
    std::uint8_t current = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i % 8 == 0)
            current = TRY(reader.byte());
        bits[i] = (current & (0x80 >> (i % 8))) != 0;
    }
    return bits;
}

// "All defined" byte, then a bit per item when it is 0.
Result<std::vector<bool>> read_defined(HeaderReader& reader, std::uint64_t count)
{
    std::uint8_t all_defined = TRY(reader.byte());
    if (all_defined != 0) {
        if (count > reader.remaining() * std::uint64_t{8})
            return corrupt("a bit vector exceeds the header's size");
        return std::vector<bool>(static_cast<std::size_t>(count), true);
    }
    return read_bits(reader, count);
}

Result<std::vector<std::optional<std::uint32_t>>> read_digests(HeaderReader& reader, std::uint64_t count)
{
    std::vector<bool> defined = TRY(read_defined(reader, count));
    std::size_t defined_count = static_cast<std::size_t>(std::count(defined.begin(), defined.end(), true));
    if (defined_count > reader.remaining() / 4)
        return corrupt("the CRC table exceeds the header's size");
    std::vector<std::optional<std::uint32_t>> digests(defined.size());
    for (std::size_t i = 0; i < defined.size(); ++i)
        if (defined[i])
            digests[i] = TRY(reader.u32());
    return digests;
}

// Within the format's bounds but beyond what this reader will hold in memory.
std::unexpected<Error> too_many(std::uint64_t count, const char* what)
{
    return unsupported("the archive lists " + std::to_string(count) + " " + what + ", more than the limit");
}

Result<void> skip_property(HeaderReader& reader)
{
    std::uint64_t size = TRY(reader.number());
    return reader.skip(size);
}

Result<void> expect(HeaderReader& reader, std::uint64_t property, const char* what)
{
    std::uint64_t id = TRY(reader.number());
    if (id != property)
        return corrupt(std::string("expected ") + what + " in the header");
    return {};
}

Result<void> read_pack_info(HeaderReader& reader, StreamsInfo& info, std::uint64_t max_items)
{
    info.pack_position = TRY(reader.number());
    std::uint64_t count = TRY(reader.count());
    if (count > max_items)
        return too_many(count, "packed streams");
    bool have_sizes = false;
    for (;;) {
        std::uint64_t id = TRY(reader.number());
        if (id == k_end)
            break;
        if (id == k_size) {
            info.pack_sizes.resize(static_cast<std::size_t>(count));
            for (auto& size : info.pack_sizes)
                size = TRY(reader.number());
            have_sizes = true;
        } else if (id == k_crc) {
            TRY(read_digests(reader, count)); // the data's own CRCs are what we check
        } else {
            TRY(skip_property(reader));
        }
    }
    if (!have_sizes)
        return corrupt("the sizes of the packed streams are missing");
    return {};
}

Result<Folder> read_folder(HeaderReader& reader)
{
    Folder folder;
    std::uint64_t coder_count = TRY(reader.count());
    if (coder_count == 0 || coder_count > max_coders)
        return corrupt("a folder has " + std::to_string(coder_count) + " coders");
    std::uint64_t total_in = 0;
    std::uint64_t total_out = 0;
    folder.coders.resize(static_cast<std::size_t>(coder_count));
    for (auto& coder : folder.coders) {
        std::uint8_t flags = TRY(reader.byte());
        std::size_t id_size = flags & 0x0F;
        if (id_size > 8)
            return unsupported("a method id is longer than 8 bytes");
        if (flags & 0x80)
            return unsupported("alternative coder methods are not supported");
        auto id = TRY(reader.bytes(id_size));
        for (std::byte b : id)
            coder.method = (coder.method << 8) | std::to_integer<std::uint8_t>(b);
        if (flags & 0x10) {
            std::uint64_t in = TRY(reader.number());
            std::uint64_t out = TRY(reader.number());
            if (in > max_folder_streams || out > max_folder_streams)
                return corrupt("a coder has too many streams");
            coder.in_streams = static_cast<std::uint32_t>(in);
            coder.out_streams = static_cast<std::uint32_t>(out);
        }
        if (flags & 0x20) {
            std::uint64_t size = TRY(reader.number());
            auto props = TRY(reader.bytes(size));
            coder.properties.assign(props.begin(), props.end());
        }
        total_in += coder.in_streams;
        total_out += coder.out_streams;
    }
    if (total_out == 0 || total_in > max_folder_streams || total_out > max_folder_streams)
        return corrupt("a folder's coders have an impossible number of streams");

    std::uint64_t bind_count = total_out - 1;
    if (total_in <= bind_count)
        return corrupt("a folder reads no packed stream");
    std::vector<bool> in_bound(static_cast<std::size_t>(total_in));
    std::vector<bool> out_bound(static_cast<std::size_t>(total_out));
    folder.bind_pairs.resize(static_cast<std::size_t>(bind_count));
    for (auto& pair : folder.bind_pairs) {
        pair.in_index = TRY(reader.number());
        pair.out_index = TRY(reader.number());
        if (pair.in_index >= total_in || pair.out_index >= total_out || in_bound[pair.in_index] ||
            out_bound[pair.out_index])
            return corrupt("a folder has an invalid bind pair");
        in_bound[pair.in_index] = true;
        out_bound[pair.out_index] = true;
    }
    folder.main_output =
        static_cast<std::size_t>(std::find(out_bound.begin(), out_bound.end(), false) - out_bound.begin());

    std::uint64_t packed_count = total_in - bind_count;
    if (packed_count == 1) {
        auto free_input = std::find(in_bound.begin(), in_bound.end(), false);
        folder.packed_streams.push_back(static_cast<std::uint64_t>(free_input - in_bound.begin()));
    } else {
        for (std::uint64_t i = 0; i < packed_count; ++i) {
            std::uint64_t index = TRY(reader.number());
            if (index >= total_in || in_bound[index])
                return corrupt("a folder names an invalid packed stream");
            in_bound[index] = true;
            folder.packed_streams.push_back(index);
        }
    }
    folder.unpack_sizes.resize(static_cast<std::size_t>(total_out));
    return folder;
}

Result<void> read_unpack_info(HeaderReader& reader, StreamsInfo& info, std::uint64_t max_items)
{
    TRY(expect(reader, k_folder, "the folder list"));
    // A folder takes at least three bytes (coder count, flags, id).
    std::uint64_t count = TRY(reader.count(3));
    if (count > max_items)
        return too_many(count, "folders");
    if (TRY(reader.byte()) != 0)
        return unsupported("folders stored outside the header are not supported");
    info.folders.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i)
        info.folders.push_back(TRY(read_folder(reader)));

    TRY(expect(reader, k_coders_unpack_size, "the unpacked sizes"));
    for (auto& folder : info.folders)
        for (auto& size : folder.unpack_sizes)
            size = TRY(reader.number());

    for (;;) {
        std::uint64_t id = TRY(reader.number());
        if (id == k_end)
            return {};
        if (id == k_crc) {
            auto digests = TRY(read_digests(reader, info.folders.size()));
            for (std::size_t i = 0; i < digests.size(); ++i)
                info.folders[i].crc = digests[i];
        } else {
            TRY(skip_property(reader));
        }
    }
}

Result<void> read_substreams_info(HeaderReader& reader, StreamsInfo& info, std::uint64_t max_items)
{
    std::uint64_t id = 0;
    for (;;) {
        id = TRY(reader.number());
        if (id == k_num_unpack_stream) {
            for (auto& folder : info.folders)
                folder.substream_count = TRY(reader.number());
            continue;
        }
        if (id == k_crc || id == k_size || id == k_end)
            break;
        TRY(skip_property(reader));
    }

    std::uint64_t total = 0;
    for (const auto& folder : info.folders) {
        // Each substream but a folder's last costs a size byte at least.
        if (folder.substream_count > reader.remaining() + std::uint64_t{1} || total + folder.substream_count < total)
            return corrupt("a folder claims more files than the header can describe");
        total += folder.substream_count;
    }
    if (total > reader.remaining() + info.folders.size())
        return corrupt("the folders claim more files than the header can describe");
    if (total > max_items)
        return too_many(total, "files");

    info.substream_sizes.clear();
    info.substream_sizes.reserve(static_cast<std::size_t>(total));
    for (const auto& folder : info.folders) {
        if (folder.substream_count == 0)
            continue;
        std::uint64_t sum = 0;
        for (std::uint64_t j = 1; j < folder.substream_count; ++j) {
            if (id != k_size)
                return corrupt("the sizes of a solid folder's files are missing");
            std::uint64_t size = TRY(reader.number());
            if (sum + size < sum)
                return corrupt("a folder's file sizes overflow");
            sum += size;
            info.substream_sizes.push_back(size);
        }
        if (sum > folder.unpack_size())
            return corrupt("a folder's files are larger than the folder");
        info.substream_sizes.push_back(folder.unpack_size() - sum);
    }
    if (id == k_size)
        id = TRY(reader.number());

    // A folder with one file and a CRC of its own lends that CRC to the file.
    info.substream_crcs.assign(info.substream_sizes.size(), std::nullopt);
    std::uint64_t unknown = 0;
    for (const auto& folder : info.folders)
        if (!(folder.substream_count == 1 && folder.crc))
            unknown += folder.substream_count;
    for (;;) {
        if (id == k_end)
            break;
        if (id == k_crc) {
            auto digests = TRY(read_digests(reader, unknown));
            std::size_t next_digest = 0;
            std::size_t next_stream = 0;
            for (const auto& folder : info.folders) {
                if (folder.substream_count == 1 && folder.crc) {
                    info.substream_crcs[next_stream++] = folder.crc;
                    continue;
                }
                for (std::uint64_t j = 0; j < folder.substream_count; ++j)
                    info.substream_crcs[next_stream++] = digests[next_digest++];
            }
        } else {
            TRY(skip_property(reader));
        }
        id = TRY(reader.number());
    }
    // Without a CRC list the folder CRCs still cover single-file folders.
    std::size_t next_stream = 0;
    for (const auto& folder : info.folders) {
        if (folder.substream_count == 1 && folder.crc)
            info.substream_crcs[next_stream] = folder.crc;
        next_stream += static_cast<std::size_t>(folder.substream_count);
    }
    return {};
}

Result<void> read_streams_info(HeaderReader& reader, StreamsInfo& info, std::uint64_t max_items)
{
    bool have_substreams = false;
    for (;;) {
        std::uint64_t id = TRY(reader.number());
        switch (id) {
        case k_end:
            if (!have_substreams) {
                // One file per folder, the folder's size and CRC.
                for (auto& folder : info.folders) {
                    folder.substream_count = 1;
                    info.substream_sizes.push_back(folder.unpack_size());
                    info.substream_crcs.push_back(folder.crc);
                }
            }
            return {};
        case k_pack_info: TRY(read_pack_info(reader, info, max_items)); break;
        case k_unpack_info: TRY(read_unpack_info(reader, info, max_items)); break;
        case k_substreams_info:
            TRY(read_substreams_info(reader, info, max_items));
            have_substreams = true;
            break;
        default: return corrupt("unexpected property " + std::to_string(id) + " in the streams information");
        }
    }
}

Result<std::vector<std::u16string>> read_names(HeaderReader& reader, std::uint64_t count)
{
    if (TRY(reader.byte()) != 0)
        return unsupported("names stored outside the header are not supported");
    if (reader.remaining() % 2 != 0)
        return corrupt("the name table has an odd size");
    std::vector<std::u16string> names;
    names.reserve(static_cast<std::size_t>(count));
    std::u16string current;
    while (!reader.at_end()) {
        std::uint8_t low = TRY(reader.byte());
        std::uint8_t high = TRY(reader.byte());
        char16_t unit = static_cast<char16_t>(low | (high << 8));
        if (unit != 0) {
            current.push_back(unit);
            continue;
        }
        if (names.size() == count)
            return corrupt("the name table has more names than files");
        names.push_back(std::move(current));
        current.clear();
    }
    if (names.size() != count || !current.empty())
        return corrupt("the name table does not name every file");
    return names;
}

Result<void> read_files_info(HeaderReader& reader, Database& database, std::uint64_t max_items)
{
    // Every file needs at least its name's terminating zero.
    std::uint64_t count = TRY(reader.count(2));
    if (count > max_items)
        return too_many(count, "files");
    auto& files = database.files;
    files.resize(static_cast<std::size_t>(count));
    std::vector<bool> empty_stream(files.size());
    std::vector<bool> empty_file;
    std::vector<bool> anti;
    std::size_t empty_count = 0;
    bool have_names = count == 0;

    for (;;) {
        std::uint64_t id = TRY(reader.number());
        if (id == k_end)
            break;
        std::uint64_t size = TRY(reader.number());
        HeaderReader property(TRY(reader.bytes(size)));
        switch (id) {
        case k_empty_stream:
            empty_stream = TRY(read_bits(property, count));
            empty_count = static_cast<std::size_t>(std::count(empty_stream.begin(), empty_stream.end(), true));
            empty_file.assign(empty_count, false);
            anti.assign(empty_count, false);
            break;
        case k_empty_file: empty_file = TRY(read_bits(property, empty_count)); break;
        case k_anti: anti = TRY(read_bits(property, empty_count)); break;
        case k_name: {
            auto names = TRY(read_names(property, count));
            for (std::size_t i = 0; i < files.size(); ++i)
                files[i].name = std::move(names[i]);
            have_names = true;
            break;
        }
        case k_attributes:
        case k_last_write_time: {
            std::vector<bool> defined = TRY(read_defined(property, count));
            if (TRY(property.byte()) != 0)
                return unsupported("file properties stored outside the header are not supported");
            for (std::size_t i = 0; i < files.size(); ++i) {
                if (!defined[i])
                    continue;
                if (id == k_attributes)
                    files[i].attributes = TRY(property.u32());
                else
                    files[i].modified = TRY(property.u64());
            }
            break;
        }
        default: break; // creation and access times, start positions, padding
        }
    }
    if (!have_names)
        return corrupt("the file names are missing");

    std::size_t empty_index = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        FileItem& file = files[i];
        file.has_stream = !empty_stream[i];
        if (!file.has_stream) {
            file.is_directory = !empty_file[empty_index];
            file.is_anti = anti[empty_index];
            ++empty_index;
        }
    }
    return {};
}

Result<void> read_archive_properties(HeaderReader& reader)
{
    for (;;) {
        std::uint64_t id = TRY(reader.number());
        if (id == k_end)
            return {};
        TRY(skip_property(reader));
    }
}

} // namespace

Result<SignatureHeader> parse_signature_header(std::span<const std::byte> first_bytes, std::uint64_t archive_size)
{
    static constexpr unsigned char signature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};
    if (first_bytes.size() < signature_header_size || std::memcmp(first_bytes.data(), signature, 6) != 0)
        return corrupt("not a 7z archive (signature missing)");
    HeaderReader reader(first_bytes.subspan(6, signature_header_size - 6));
    std::uint8_t major = TRY(reader.byte());
    TRY(reader.byte()); // minor versions stay compatible
    if (major != 0)
        return unsupported("format version " + std::to_string(major) + " is not supported");
    std::uint32_t start_crc = TRY(reader.u32());
    if (crc32(first_bytes.subspan(12, 20)) != start_crc)
        return corrupt("the start header fails its CRC");
    SignatureHeader header;
    std::uint64_t offset = TRY(reader.u64());
    header.next_header_size = TRY(reader.u64());
    header.next_header_crc = TRY(reader.u32());
    if (offset > archive_size || header.next_header_size > archive_size ||
        signature_header_size + offset > archive_size - header.next_header_size)
        return corrupt("the archive is truncated (its header lies past the end)");
    header.next_header_offset = signature_header_size + offset;
    return header;
}

Result<HeaderKind> parse_header(std::span<const std::byte> header, Database& database, std::uint64_t max_items)
{
    HeaderReader reader(header);
    std::uint64_t id = TRY(reader.number());
    if (id == k_encoded_header) {
        TRY(read_streams_info(reader, database.streams, max_items));
        return HeaderKind::encoded;
    }
    if (id != k_header)
        return corrupt("the header starts with an unknown property");
    for (;;) {
        id = TRY(reader.number());
        switch (id) {
        case k_end: return HeaderKind::plain;
        case k_archive_properties: TRY(read_archive_properties(reader)); break;
        case k_additional_streams: return unsupported("additional header streams are not supported");
        case k_main_streams: TRY(read_streams_info(reader, database.streams, max_items)); break;
        case k_files_info: TRY(read_files_info(reader, database, max_items)); break;
        default: return corrupt("unexpected property " + std::to_string(id) + " in the header");
        }
    }
}

Result<void> place_streams(Database& database, std::uint64_t archive_size)
{
    StreamsInfo& streams = database.streams;

    // Packed streams follow each other from the pack position on.
    std::uint64_t offset = signature_header_size + streams.pack_position;
    if (streams.pack_position > archive_size)
        return corrupt("the archive is truncated (packed data lies past the end)");
    database.pack_offsets.clear();
    for (std::uint64_t size : streams.pack_sizes) {
        if (size > archive_size || offset > archive_size - size)
            return corrupt("the archive is truncated (packed data lies past the end)");
        database.pack_offsets.push_back(offset);
        offset += size;
    }

    std::size_t next_pack = 0;
    for (auto& folder : streams.folders) {
        folder.first_pack_stream = next_pack;
        if (folder.packed_streams.size() > streams.pack_sizes.size() - next_pack)
            return corrupt("the folders use more packed streams than the archive has");
        next_pack += folder.packed_streams.size();
    }
    return {};
}

Result<void> finish_database(Database& database, std::uint64_t archive_size)
{
    TRY(place_streams(database, archive_size));
    StreamsInfo& streams = database.streams;

    std::size_t stream_index = 0;
    std::size_t folder_index = 0;
    std::uint64_t substream = 0;
    std::uint64_t folder_offset = 0;
    for (auto& file : database.files) {
        if (!file.has_stream)
            continue;
        while (folder_index < streams.folders.size() && substream >= streams.folders[folder_index].substream_count) {
            ++folder_index;
            substream = 0;
            folder_offset = 0;
        }
        if (folder_index >= streams.folders.size() || stream_index >= streams.substream_sizes.size())
            return corrupt("more files have data than the folders hold");
        file.folder = folder_index;
        file.substream = substream;
        file.folder_offset = folder_offset;
        file.size = streams.substream_sizes[stream_index];
        file.crc = streams.substream_crcs[stream_index];
        folder_offset += file.size;
        ++substream;
        ++stream_index;
    }
    if (stream_index != streams.substream_sizes.size())
        return corrupt("the folders hold data that belongs to no file");
    return {};
}

} // namespace quillon::sevenzip
