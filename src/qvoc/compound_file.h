// In-place edits of a compound file (the container format of installer
// packages): enough to set an integer of the summary information after
// msitools has written the package, since msibuild cannot set every field.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <string>

namespace quillon::qvoc {

// Sets the 32-bit integer property pid of the "\005SummaryInformation"
// stream in the compound file held in bytes. The property must already be
// there as a VT_I4 value, so that nothing has to move. A damaged file is
// ErrorCode::corrupt; a missing stream or property ErrorCode::not_found.
Result<void> set_summary_integer(std::string& bytes, std::uint32_t pid, std::int32_t value);

// Reads the same property back.
Result<std::int32_t> summary_integer(const std::string& bytes, std::uint32_t pid);

} // namespace quillon::qvoc
