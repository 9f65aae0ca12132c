#include "base/clock.h"

#include <windows.h>

namespace quillon {

std::uint32_t tick_count() noexcept
{
    return GetTickCount();
}

} // namespace quillon
