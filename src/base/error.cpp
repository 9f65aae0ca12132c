#include "base/error.h"

namespace quillon {

std::string Error::describe() const
{
    if (system_code == 0)
        return message;
    return message + " (code " + std::to_string(system_code) + ")";
}

} // namespace quillon
