// Where data appended to a PE file begins: behind the raw data of its last section.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillon {

// The stub size of a PE image, as a file or as mapped by the loader (the
// headers are the same in both): the largest PointerToRawData + SizeOfRawData
// over the section table, 0 when there are no sections. The section table is
// found through SizeOfOptionalHeader, so PE32 and PE32+ images both work.
// A damaged or truncated header is ErrorCode::corrupt.
Result<std::uint64_t> pe_stub_size(std::span<const std::byte> image);

} // namespace quillon
