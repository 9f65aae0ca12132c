// The archive database: what the 7z header says about packed streams,
// folders (coder graphs) and files, parsed and cross-checked.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::sevenzip {

struct Coder {
    std::uint64_t method = 0; // id bytes, most significant first (LZMA = 0x030101)
    std::uint32_t in_streams = 1;
    std::uint32_t out_streams = 1;
    std::vector<std::byte> properties;
};

struct BindPair {
    std::uint64_t in_index = 0;  // coder input fed by ...
    std::uint64_t out_index = 0; // ... this coder output
};

struct Folder {
    std::vector<Coder> coders;
    std::vector<BindPair> bind_pairs;
    std::vector<std::uint64_t> packed_streams; // coder inputs fed from packed streams, in pack order
    std::vector<std::uint64_t> unpack_sizes;   // one per coder output
    std::optional<std::uint32_t> crc;
    std::size_t main_output = 0; // the one output no bind pair consumes
    std::size_t first_pack_stream = 0;
    std::uint64_t substream_count = 1;

    std::uint64_t unpack_size() const noexcept { return unpack_sizes[main_output]; }
};

struct StreamsInfo {
    std::uint64_t pack_position = 0; // after the 32-byte signature header
    std::vector<std::uint64_t> pack_sizes;
    std::vector<Folder> folders;
    std::vector<std::uint64_t> substream_sizes; // all folders' substreams in order
    std::vector<std::optional<std::uint32_t>> substream_crcs;
};

struct FileItem {
    std::u16string name;
    bool has_stream = false;
    bool is_directory = false;
    bool is_anti = false;
    std::optional<std::uint32_t> attributes;
    std::optional<std::uint64_t> modified;
    std::uint64_t size = 0;
    std::optional<std::uint32_t> crc;
    std::size_t folder = 0;          // with a stream: its folder ...
    std::uint64_t substream = 0;     // ... the substream's position in it ...
    std::uint64_t folder_offset = 0; // ... and where its bytes start
};

struct Database {
    StreamsInfo streams;
    std::vector<std::uint64_t> pack_offsets; // absolute offset of each packed stream
    std::vector<FileItem> files;
};

inline constexpr std::size_t signature_header_size = 32;

struct SignatureHeader {
    std::uint64_t next_header_offset = 0; // absolute
    std::uint64_t next_header_size = 0;
    std::uint32_t next_header_crc = 0;
};

// Checks the signature, version and start-header CRC of the first 32 bytes and
// that the next header lies inside an archive of archive_size bytes.
Result<SignatureHeader> parse_signature_header(std::span<const std::byte> first_bytes, std::uint64_t archive_size);

enum class HeaderKind { plain, encoded };

// Reads a header block: either the plain header (database filled) or the
// streams info of an encoded header (only database.streams filled). Tables
// longer than max_items are refused before they are allocated.
Result<HeaderKind> parse_header(std::span<const std::byte> header, Database& database, std::uint64_t max_items);

// Places packed streams and folders, checking that every packed stream lies
// inside the archive; enough to decode an encoded header.
Result<void> place_streams(Database& database, std::uint64_t archive_size);

// place_streams, then places the files, checking that sizes and counts agree.
Result<void> finish_database(Database& database, std::uint64_t archive_size);

} // namespace quillon::sevenzip
