#include "base/clock.h"

#include <chrono>

namespace quillon {

std::uint32_t tick_count() noexcept
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

} // namespace quillon
