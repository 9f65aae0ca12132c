#include "qvoc/guid.h"

#include "base/strings.h"

#include "qvoc/sha1.h"

namespace quillon::qvoc {

namespace {

constexpr std::size_t guid_text_size = 38;

bool is_dash_position(std::size_t position)
{
    return position == 9 || position == 14 || position == 19 || position == 24;
}

} // namespace

std::optional<GuidBytes> parse_guid(std::string_view text)
{
    if (text.size() != guid_text_size || text.front() != '{' || text.back() != '}')
        return std::nullopt;
    GuidBytes guid{};
    std::size_t digit = 0;
    for (std::size_t position = 1; position + 1 < text.size(); ++position) {
        if (is_dash_position(position)) {
            if (text[position] != '-')
                return std::nullopt;
            continue;
        }
        int value = hex_digit_value(text[position]);
        if (value < 0)
            return std::nullopt;
        guid[digit / 2] = static_cast<std::uint8_t>(guid[digit / 2] | (digit % 2 == 0 ? value << 4 : value));
        ++digit;
    }
    return guid;
}

std::string format_guid(const GuidBytes& guid)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "{";
    for (std::size_t i = 0; i < guid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(digits[guid[i] >> 4]);
        text.push_back(digits[guid[i] & 0x0F]);
    }
    text.push_back('}');
    return text;
}

GuidBytes name_based_guid(const GuidBytes& name_space, std::string_view name)
{
    std::string input(reinterpret_cast<const char*>(name_space.data()), name_space.size());
    input.append(name);
    auto digest = sha1(input);
    GuidBytes guid{};
    for (std::size_t i = 0; i < guid.size(); ++i)
        guid[i] = digest[i];
    guid[6] = static_cast<std::uint8_t>((guid[6] & 0x0F) | 0x50);
    guid[8] = static_cast<std::uint8_t>((guid[8] & 0x3F) | 0x80);
    return guid;
}

} // namespace quillon::qvoc
