#include "base/paths.h"

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
    return (folder.size() == 3 || folder.size() == 2) && folder[1] == ':' &&
           (folder.size() == 2 || folder[2] == '\\');
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
