#include "msi/handover_file.h"

namespace quillon::msi {

std::string ComposeHandOver(const std::vector<HandOverEntry>& entries)
{
    std::string text;
    for (const HandOverEntry& entry : entries) {
        text += entry.name;
        text += "\r\n";
        text += entry.value;
        text += "\r\n";
        text += handover_separator;
        text += "\r\n";
    }
    return text;
}

std::vector<HandOverEntry> ParseHandOver(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }

    std::vector<HandOverEntry> entries;
    std::size_t i = 0;
    while (i < lines.size()) {
        HandOverEntry entry{std::string(lines[i++]), {}};
        bool first = true;
        while (i < lines.size() && lines[i] != handover_separator) {
            if (!first)
                entry.value += "\r\n";
            entry.value += lines[i++];
            first = false;
        }
        ++i; // the separator
        if (!entry.name.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
}

std::string HandOverFileName(std::string_view product_code)
{
    return std::string(product_code);
}

std::optional<HandOverEntry> FolderEntryOf(const HandOverEntry& entry)
{
    const std::string& name = entry.name;
    auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); };
    if (name.size() < 11 || name[0] != 'P' || name[9] != '_')
        return std::nullopt;
    for (std::size_t i = 1; i < 9; ++i)
        if (!hex(name[i]))
            return std::nullopt;
    for (std::size_t i = 10; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return std::nullopt;
    std::size_t slash = entry.value.find_last_of('\\');
    if (slash == std::string::npos || slash == 0)
        return std::nullopt;
    return HandOverEntry{name + "D", entry.value.substr(0, slash + 1)};
}

} // namespace quillon::msi
