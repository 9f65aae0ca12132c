#include "base/thread.h"

#include <exception>
#include <string>
#include <thread>

namespace quillon {

Result<void> start_detached_thread(std::function<void()> body)
{
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::exception& failure) {
        return make_error(ErrorCode::internal, std::string("Cannot start a thread: ") + failure.what());
    }
    return {};
}

} // namespace quillon
