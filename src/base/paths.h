// Windows paths as the engine's 8-bit texts: "\" separates (a "/" is read as
// one where a path is split), "C:\" is a drive's root and keeps its backslash.
// Pure text: nothing here asks the file system.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// The folder with one trailing backslash; an empty text stays empty.
std::string with_backslash(std::string_view folder);
// The folder without trailing backslashes, except a drive's root ("C:\") and a bare "\".
std::string without_backslash(std::string_view folder);
// The part up to and including the last "\" or "/"; empty when there is none.
std::string folder_part(std::string_view path);
// The part after the last "\" or "/".
std::string file_name_part(std::string_view path);
// The folder, a backslash when it has none at its end, and the name.
std::string join_path(std::string_view folder, std::string_view name);
// The folder above (without a trailing backslash, "C:\" for a drive's root);
// a drive's root and a path without a backslash stay as they are.
std::string parent_folder(std::string_view folder);
// The path without the extension of its last part ("C:\a.b\setup.msi" gives "C:\a.b\setup").
std::string without_extension(std::string_view path);
// The long-path form of an absolute path, for folders and files the engine
// made itself and may nest beyond 260 characters: "C:\a" gives "\\?\C:\a",
// "\\server\share\a" gives "\\?\UNC\server\share\a". That form turns the
// system's own clean-up of a path off, so the path is cleaned here first: "/"
// read as "\", doubled separators and "." dropped, ".." taken back (never
// above the root). A path already in that form, or one that is not absolute
// (a relative one, or "C:" without a backslash), stays as it is.
std::string long_path_form(std::string_view path);
// "C:\" and the like.
bool is_drive_root(std::string_view folder);

} // namespace quillon
