// The scrambled form in which the script stores web media archive passwords.
//
// Scrambling writes each byte of the password as two hexadecimal digits, low
// digit first, then XORs the character at position i with (i mod 256).
// Example: "Ab" is 0x41 0x62, digits "14" "26", XOR with 0 1 2 3 gives "1505".
#pragma once

#include "base/error.h"

#include <string>
#include <string_view>

namespace quillon {

// Upper-case digits, except that a letter digit whose scrambled byte would be
// CR or LF is written in lower case, so that line-based readers see one line
// wherever the format allows it. Decimal digits have no such choice: a long
// password can still scramble to a CR or LF byte.
std::string scramble_password(std::string_view password);

// Accepts upper- and lower-case digits. An odd length or a character that is
// not a hexadecimal digit after the XOR is ErrorCode::corrupt.
Result<std::string> unscramble_password(std::string_view scrambled);

} // namespace quillon
