// What the setup tools read from a PE file: where data appended to it begins
// (behind the raw data of its last section), the libraries it imports, and
// its file version.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon {

// The stub size of a PE image, as a file or as mapped by the loader (the
// headers are the same in both): the largest PointerToRawData + SizeOfRawData
// over the section table, 0 when there are no sections. The section table is
// found through SizeOfOptionalHeader, so PE32 and PE32+ images both work.
// A damaged or truncated header is ErrorCode::corrupt.
Result<std::uint64_t> pe_stub_size(std::span<const std::byte> image);

// The libraries a PE file (as stored, not as mapped) names in its import
// directory and its delay-load import directory, in table order, as spelled
// there. Both tables end at the first entry without a name; a table or a name
// that runs past the file, or an address that no section's raw data holds, is
// ErrorCode::corrupt. An image without either directory imports nothing.
Result<std::vector<std::string>> pe_imported_libraries(std::span<const std::byte> file);

// The file version of a PE file's version resource (the first language of
// its RT_VERSION resource), as "a.b.c.d". Nothing for a file that is no PE
// image, has no version resource, or whose resource tree cannot be followed:
// such a file is installed as one without a version.
std::optional<std::string> pe_file_version(std::span<const std::byte> file);

} // namespace quillon
