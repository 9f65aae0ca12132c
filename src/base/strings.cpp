#include "base/strings.h"

#include <charconv>
#include <limits>

namespace quillon {

namespace {

char ascii_upper_char(char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char ascii_lower_char(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

template <typename Int>
std::optional<Int> parse_signed(std::string_view text) noexcept
{
    if (text.empty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum value parses too.
    Int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        int digit = c - '0';
        if (value < (std::numeric_limits<Int>::min() + digit) / 10)
            return std::nullopt;
        value = static_cast<Int>(value * 10 - digit);
    }
    if (!negative) {
        if (value == std::numeric_limits<Int>::min())
            return std::nullopt;
        value = static_cast<Int>(-value);
    }
    return value;
}

} // namespace

int hex_digit_value(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool equal_ascii_nocase(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_upper_char(a[i]) != ascii_upper_char(b[i]))
            return false;
    return true;
}

std::string ascii_upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = ascii_upper_char(c);
    return out;
}

std::string ascii_lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = ascii_lower_char(c);
    return out;
}

std::size_t find_nocase(std::string_view haystack, std::string_view needle)
{
    return ansi_upper(haystack).find(ansi_upper(needle));
}

std::optional<std::int32_t> parse_int32(std::string_view text) noexcept
{
    return parse_signed<std::int32_t>(text);
}

std::optional<std::int64_t> parse_int64(std::string_view text) noexcept
{
    return parse_signed<std::int64_t>(text);
}

std::optional<std::int64_t> parse_leading_int64(std::string_view text) noexcept
{
    std::size_t end = 0;
    if (end < text.size() && (text[end] == '+' || text[end] == '-'))
        ++end;
    std::size_t digits_start = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == digits_start)
        return std::nullopt;
    return parse_int64(text.substr(0, end));
}

std::string utf16_to_latin1(std::u16string_view units)
{
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        if (unit <= 0xFF) {
            out += static_cast<char>(unit);
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
            ++i;
        out += '?';
    }
    return out;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string strip_reference(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '$' && text.back() == '$')
        return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

std::vector<std::string> split_lines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace quillon
