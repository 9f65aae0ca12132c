// Which language a setup preselects from the translations it carries.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The position of the user's language among the available ones; without it,
// the author's default language (ignoring ASCII case), else the first.
std::size_t preselect_language(const std::vector<std::string>& available, std::string_view default_language,
                               std::string_view user_language);

} // namespace quillon
