#include "interp/text_files.h"

#include "base/strings.h"
#include "vars/texts.h"

#include <vector>

namespace quillon {

namespace {

// The line starting at position, and the position after its line break.
std::pair<std::string_view, std::size_t> line_at(std::string_view content, std::size_t position)
{
    std::size_t end = content.find_first_of("\r\n", position);
    if (end == std::string_view::npos)
        return {content.substr(position), content.size()};
    std::size_t next = end + 1;
    if (content[end] == '\r' && next < content.size() && content[next] == '\n')
        ++next;
    return {content.substr(position, end - position), next};
}

} // namespace

bool OpenTextFile::open_at(std::string_view path) const
{
    return !m_path.empty() && equal_nocase(m_path, path);
}

void OpenTextFile::open(std::string path, std::string content)
{
    m_path = std::move(path);
    m_content = std::move(content);
    m_position = 0;
}

void OpenTextFile::close()
{
    m_path.clear();
    m_content.clear();
    m_content.shrink_to_fit();
    m_position = 0;
}

std::string OpenTextFile::read_line()
{
    auto [line, next] = line_at(m_content, m_position);
    m_position = next;
    return std::string(line);
}

std::string OpenTextFile::read_rest()
{
    std::string joined;
    bool first = true;
    while (!at_end()) {
        if (!first)
            joined += vars_text::newline_token;
        joined += read_line();
        first = false;
    }
    return joined;
}

std::string text_file_with(std::optional<std::string_view> old_content, std::string_view text, TextPlace place)
{
    std::string lines;
    if (old_content) {
        for (std::size_t position = 0; position < old_content->size();) {
            auto [line, next] = line_at(*old_content, position);
            lines += line;
            lines += vars_text::crlf;
            position = next;
        }
    }
    // The text is one entry of the list, saved as it stands: its own line breaks part it.
    std::string added = std::string(text) + std::string(vars_text::crlf);
    return place == TextPlace::top ? added + lines : lines + added;
}

} // namespace quillon
