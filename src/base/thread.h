// Starting a thread that nobody joins: the workers of long commands, which the
// main thread waits for through their own signals and may give up.
#pragma once

#include "base/error.h"

#include <functional>

namespace quillon {

// Runs body on a new thread of its own. body must not throw.
Result<void> start_detached_thread(std::function<void()> body);

} // namespace quillon
