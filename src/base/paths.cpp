#include "base/paths.h"

#include <vector>

namespace quillon {

std::string with_backslash(std::string_view folder)
{
    std::string text(folder);
    if (!text.empty() && text.back() != '\\')
        text += '\\';
    return text;
}

bool is_drive_root(std::string_view folder)
{
    return (folder.size() == 3 || folder.size() == 2) && folder[1] == ':' && (folder.size() == 2 || folder[2] == '\\');
}

std::string without_backslash(std::string_view folder)
{
    std::string text(folder);
    while (text.size() > 1 && text.back() == '\\' && !(text.size() == 3 && text[1] == ':'))
        text.pop_back();
    if (text.size() == 2 && text[1] == ':')
        text += '\\';
    return text;
}

std::string folder_part(std::string_view path)
{
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string file_name_part(std::string_view path)
{
    std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string join_path(std::string_view folder, std::string_view name)
{
    std::string path = with_backslash(folder);
    path += name;
    return path;
}

std::string without_extension(std::string_view path)
{
    std::size_t dot = path.find_last_of('.');
    std::size_t slash = path.find_last_of("\\/");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(path);
    return std::string(path.substr(0, dot));
}

std::string long_path_form(std::string_view path)
{
    if (path.starts_with("\\\\?\\"))
        return std::string(path);
    std::string text(path);
    for (char& c : text)
        if (c == '/')
            c = '\\';
    std::string prefix;
    std::string root;
    std::string_view rest;
    if (text.size() >= 3 && text[1] == ':' && text[2] == '\\') {
        prefix = "\\\\?\\";
        root = text.substr(0, 3);
        rest = std::string_view(text).substr(3);
    } else if (text.starts_with("\\\\") && text.size() > 2 && text[2] != '\\') {
        // \\server\share: both parts belong to the root.
        std::size_t server_end = text.find('\\', 2);
        std::size_t share_end = server_end == std::string::npos ? std::string::npos : text.find('\\', server_end + 1);
        if (server_end == std::string::npos || server_end + 1 >= text.size())
            return std::string(path);
        prefix = "\\\\?\\UNC\\";
        root = text.substr(2, share_end == std::string::npos ? std::string::npos : share_end - 2) + "\\";
        rest = share_end == std::string::npos ? std::string_view() : std::string_view(text).substr(share_end + 1);
    } else {
        return std::string(path);
    }
    std::vector<std::string_view> parts;
    std::size_t at = 0;
    while (at <= rest.size()) {
        std::size_t end = rest.find('\\', at);
        std::string_view part = rest.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (end == std::string_view::npos)
            break;
        at = end + 1;
    }
    std::string result = prefix + root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += '\\';
        result += parts[i];
    }
    // A trailing separator says "folder"; it stays.
    if (!parts.empty() && (text.ends_with('\\')))
        result += '\\';
    return result;
}

std::string parent_folder(std::string_view folder)
{
    std::string trimmed = without_backslash(folder);
    if (is_drive_root(trimmed))
        return trimmed;
    std::size_t slash = trimmed.find_last_of('\\');
    if (slash == std::string::npos)
        return trimmed;
    return without_backslash(std::string_view(trimmed).substr(0, slash + 1));
}

} // namespace quillon
