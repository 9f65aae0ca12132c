// The system tick count: milliseconds since start-up, wrapping at 2^32, as the
// heartbeat variables of the workers hold it.
#pragma once

#include <cstdint>

namespace quillon {

std::uint32_t tick_count() noexcept;

} // namespace quillon
