#include "cache/cache_lines.h"

#include "base/strings.h"
#include "vars/texts.h"

namespace quillon {

namespace {

void append_line(std::string& out, std::string_view entry)
{
    for (std::size_t i = 0; i < entry.size(); ++i) {
        char c = entry[i];
        if (c == '\r' || c == '\n') {
            out += vars_text::newline_token;
            if (c == '\r' && i + 1 < entry.size() && entry[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    out += vars_text::crlf;
}

} // namespace

std::string FormatCacheLines(const std::vector<std::string>& entries)
{
    std::string out;
    for (const std::string& entry : entries)
        append_line(out, entry);
    return out;
}

std::vector<std::string> ParseCacheLines(std::string_view text)
{
    return split_lines(text);
}

std::vector<std::string> ParseInstanceList(std::string_view text)
{
    std::vector<std::string> list = ParseCacheLines(text);
    if (list.size() % 2 != 0)
        list.pop_back();
    return list;
}

std::string FormatLanguageFile(std::string_view language)
{
    return FormatCacheLines({std::string(language)});
}

std::optional<std::string> ParseLanguageFile(std::string_view text)
{
    std::vector<std::string> lines = ParseCacheLines(text);
    if (lines.empty() || lines[0].empty())
        return std::nullopt;
    return lines[0];
}

} // namespace quillon
