// Writes 7z archives the way the setup needs them: the files' streams in
// solid folders of a bounded size (so that a reader may decode them in
// parallel), stored or compressed (lzma_encoder.h), a plain (not encoded) header,
// CRC-32s of the streams and headers, UTF-16LE names with "/" between
// folders, folders as directory entries, empty files as empty streams,
// modification times and Windows attributes.
#pragma once

#include "base/error.h"
#include "qvoc/lzma_encoder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon::qvoc {

struct ArchiveItem {
    std::u16string name; // path inside the archive, "/" between folders
    bool directory = false;
    std::filesystem::path source; // the file whose bytes are stored; empty for a folder
    std::uint64_t size = 0;
    std::uint64_t modified = 0;   // FILETIME: 100 ns units since 1601-01-01 UTC
    std::uint32_t attributes = 0; // FILE_ATTRIBUTE_* bits
};

inline constexpr std::uint32_t attribute_read_only = 0x01;
inline constexpr std::uint32_t attribute_directory = 0x10;
inline constexpr std::uint32_t attribute_archive = 0x20;

// The items of a folder tree in a stable order (names sorted, each folder
// before its contents); the folder itself is not an item. Links are
// followed; other special files are ErrorCode::unsupported.
Result<std::vector<ArchiveItem>> collect_archive_items(const std::filesystem::path& folder);

struct Compression {
    int level = 0; // 0: stored with the Copy method; 1 to 9: compressed, as 7-Zip's -mx
    // The most bytes of a solid folder, about. The reader decodes folders in
    // parallel as far as its memory for data ahead of the writer allows (a
    // few folders of this size); smaller folders compress a little worse.
    std::uint64_t block_size = std::uint64_t{16} << 20;
    bool x86_code = true; // programs and libraries in folders of their own, through the x86 converter where available
};

// Writes the archive. A file that no longer has the size it had when it was
// collected is ErrorCode::io, so the stored sizes and CRCs always agree.
Result<void> write_7z_archive(const std::filesystem::path& archive, const std::vector<ArchiveItem>& items,
                              const Compression& compression = {});

// The 7z variable-length number encoding, exposed for tests.
void append_7z_number(std::string& out, std::uint64_t value);

} // namespace quillon::qvoc
