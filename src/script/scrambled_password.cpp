#include "script/scrambled_password.h"

namespace quillon {

namespace {

char position_key(std::size_t position) noexcept
{
    return static_cast<char>(position % 256);
}

bool is_line_break(char c) noexcept
{
    return c == '\r' || c == '\n';
}

char scrambled_digit(unsigned value, std::size_t position) noexcept
{
    static constexpr char upper_digits[] = "0123456789ABCDEF";
    static constexpr char lower_digits[] = "0123456789abcdef";
    char scrambled = static_cast<char>(upper_digits[value] ^ position_key(position));
    if (value >= 10 && is_line_break(scrambled))
        scrambled = static_cast<char>(lower_digits[value] ^ position_key(position));
    return scrambled;
}

int digit_value(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string scramble_password(std::string_view password)
{
    std::string scrambled;
    scrambled.reserve(password.size() * 2);
    for (char c : password) {
        auto byte = static_cast<unsigned char>(c);
        scrambled.push_back(scrambled_digit(byte & 0x0Fu, scrambled.size()));
        scrambled.push_back(scrambled_digit(byte >> 4, scrambled.size()));
    }
    return scrambled;
}

Result<std::string> unscramble_password(std::string_view scrambled)
{
    if (scrambled.size() % 2 != 0)
        return make_error(ErrorCode::corrupt, "The scrambled password has an odd number of characters.");
    std::string password;
    password.reserve(scrambled.size() / 2);
    for (std::size_t position = 0; position < scrambled.size(); position += 2) {
        int low = digit_value(static_cast<char>(scrambled[position] ^ position_key(position)));
        int high = digit_value(static_cast<char>(scrambled[position + 1] ^ position_key(position + 1)));
        if (low < 0 || high < 0)
            return make_error(ErrorCode::corrupt, "The scrambled password is damaged at character " +
                                                      std::to_string(position + (low < 0 ? 1 : 2)) + ".");
        password.push_back(static_cast<char>(high * 16 + low));
    }
    return password;
}

} // namespace quillon
