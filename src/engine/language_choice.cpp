#include "engine/language_choice.h"

#include "base/strings.h"

namespace quillon {

std::size_t preselect_language(const std::vector<std::string>& available, std::string_view default_language,
                               std::string_view user_language)
{
    std::size_t default_position = 0;
    for (std::size_t i = 0; i < available.size(); ++i) {
        if (equal_ascii_nocase(available[i], default_language)) {
            default_position = i;
            break;
        }
    }
    for (std::size_t i = 0; i < available.size(); ++i)
        if (available[i] == user_language)
            return i;
    return default_position;
}

} // namespace quillon
