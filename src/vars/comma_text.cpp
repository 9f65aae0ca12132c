#include "vars/comma_text.h"

#include <algorithm>

namespace quillon {

namespace {

bool needs_quotes(std::string_view item) noexcept
{
    return std::any_of(item.begin(), item.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c <= 0x20 || c == 0x7F || c == ',' || c == '"';
    });
}

} // namespace

std::string comma_text(const std::vector<std::string>& items)
{
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0)
            out += ',';
        const std::string& item = items[i];
        if (!needs_quotes(item)) {
            out += item;
            continue;
        }
        out += '"';
        for (char c : item) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

std::vector<std::string> parse_comma_text(std::string_view text)
{
    std::vector<std::string> items;
    if (text.empty())
        return items;
    std::size_t pos = 0;
    for (;;) {
        std::string item;
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            while (pos < text.size()) {
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        item += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                item += text[pos++];
            }
        }
        std::size_t comma = text.find(',', pos);
        std::size_t end = comma == std::string_view::npos ? text.size() : comma;
        item.append(text.substr(pos, end - pos));
        items.push_back(std::move(item));
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    return items;
}

} // namespace quillon
