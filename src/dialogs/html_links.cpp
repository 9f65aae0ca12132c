#include "dialogs/html_links.h"

#include "base/strings.h"

namespace quillon {

namespace {

bool starts_with_nocase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equal_ascii_nocase(text.substr(0, prefix.size()), prefix);
}

bool is_absolute(std::string_view path)
{
    return (path.size() >= 2 && path[1] == ':') || path.starts_with("\\\\");
}

} // namespace

std::string FileLinkPath(std::string_view link)
{
    std::string decoded;
    decoded.reserve(link.size());
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size()) {
            int high = hex_digit_value(link[i + 1]);
            int low = hex_digit_value(link[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        decoded += link[i];
    }
    std::string_view rest = decoded;
    if (starts_with_nocase(rest, "file:///"))
        rest.remove_prefix(8);
    else if (starts_with_nocase(rest, "file://"))
        rest.remove_prefix(7);
    else if (starts_with_nocase(rest, "file:"))
        rest.remove_prefix(5);
    std::string path(rest);
    for (char& c : path) {
        if (c == '|')
            c = ':';
        else if (c == '/')
            c = '\\';
    }
    return path;
}

LinkAction ClassifyLink(std::string_view href, const std::string& dialogs_folder)
{
    LinkAction action;
    std::size_t colon = href.find(':');
    bool file_link = starts_with_nocase(href, "file:");
    if (colon == std::string_view::npos || colon < 2 || file_link) {
        std::string_view written = href;
        std::size_t split = written.find_first_of(" ?");
        std::string path = FileLinkPath(written.substr(0, split));
        if (split != std::string_view::npos)
            action.parameters = std::string(written.substr(split + 1));
        if (!is_absolute(path)) {
            std::string folder = dialogs_folder;
            if (!folder.empty() && folder.back() != '\\')
                folder += '\\';
            path = folder + path;
        }
        std::string upper = ascii_upper(path);
        if (upper.ends_with(".WAV"))
            action.kind = LinkAction::Kind::play_sound;
        else if (upper.ends_with(".EXE"))
            action.kind = LinkAction::Kind::start_program;
        action.target = std::move(path);
        if (action.kind == LinkAction::Kind::none)
            action.target.clear();
        return action;
    }
    // "https:" too: a secure address is the common case today.
    if (find_nocase(href, "MAILTO:") != std::string::npos || find_nocase(href, "HTTP:") != std::string::npos ||
        find_nocase(href, "HTTPS:") != std::string::npos) {
        action.kind = LinkAction::Kind::shell_open;
        action.target = std::string(href);
    }
    return action;
}

} // namespace quillon
