#include "base/error.h"

namespace quillon {

const char* error_code_name(ErrorCode code) noexcept
{
    switch (code) {
    case ErrorCode::parse: return "parse";
    case ErrorCode::not_found: return "not found";
    case ErrorCode::io: return "I/O";
    case ErrorCode::win32: return "Win32";
    case ErrorCode::installer: return "installer";
    case ErrorCode::corrupt: return "corrupt";
    case ErrorCode::unsupported: return "unsupported";
    case ErrorCode::cancelled: return "cancelled";
    case ErrorCode::out_of_range: return "out of range";
    case ErrorCode::internal: return "internal";
    }
    return "unknown";
}

std::string Error::describe() const
{
    if (system_code == 0)
        return message;
    return message + " (code " + std::to_string(system_code) + ")";
}

} // namespace quillon
