// Compression of a 7z folder's stream through a maintained encoder: LZMA2
// through liblzma where it can be had (the native build), LZMA through the
// LZMA SDK's LzmaEnc where it cannot (the Windows build: Debian has no
// Windows liblzma). Both are methods the engine's reader decodes.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::qvoc {

// Where the encoder reads the folder's bytes; 0 at the end.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual Result<std::size_t> read(char* buffer, std::size_t size) = 0;
};

// Where it writes the packed stream.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual Result<void> write(std::string_view bytes) = 0;
};

// The coder of a 7z folder as its header names it.
struct CoderRecord {
    std::string method;     // the method id's bytes
    std::string properties; // the coder's properties
};

// Levels 1 (fastest) to 9 (smallest), as 7-Zip's -mx.
inline constexpr int lowest_level = 1;
inline constexpr int highest_level = 9;

// The coders of a folder, outermost first: each one's input is the next one's
// output, and the last one reads the packed stream.
using CoderChain = std::vector<CoderRecord>;

// Whether encode_folder can put the x86 branch converter (BCJ) before the
// compression, which makes executables and libraries smaller.
bool folder_filter_x86_available();

// Compresses all of the source into the sink (through BCJ first when x86 is
// set and available); answers the coders that decode it.
Result<CoderChain> encode_folder(ByteSource& source, ByteSink& sink, int level, bool x86);

} // namespace quillon::qvoc
