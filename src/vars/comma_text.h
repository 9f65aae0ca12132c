// Comma text: the one-line list form of variable snapshots and of the variable
// lists that plug-in libraries hand back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Items separated by commas. An item containing a blank, a comma, a double
// quote or a control character is enclosed in double quotes with inner quotes
// doubled; an empty item stays empty.
std::string comma_text(const std::vector<std::string>& items);

// Reads what comma_text writes. An item that begins with a double quote runs to
// the matching quote ("" standing for one quote); text after the closing quote up
// to the next comma is kept; an unterminated quote runs to the end. Other items
// are taken as they stand up to the next comma. The empty text has no items; a
// trailing comma ends in an empty item.
std::vector<std::string> parse_comma_text(std::string_view text);

} // namespace quillon
