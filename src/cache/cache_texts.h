// The names of the engine cache's files and registry keys, named once.
#pragma once

#include <string_view>

namespace quillon::cache_text {

inline constexpr std::string_view instance_file = "instance.dat";
inline constexpr std::string_view data_extension = ".dat";
inline constexpr std::string_view instance_list_extension = ".par";
inline constexpr std::string_view shortcuts_extension = ".lnk";
inline constexpr std::string_view language_extension = ".lan";
inline constexpr std::string_view archive_library = "qvo.lib";
inline constexpr std::string_view splash_bitmap = "setup.bmp";
// An advertised product's cache holds this folder until an installation completes it.
inline constexpr std::string_view advertised_marker = "__ad";
// The media folder of the setup's own files, kept in the cache when its sources are not.
inline constexpr std::string_view offline_folder = "OFFLINE";
// Where the update write of the maintenance data puts its new text until it is
// complete; not ".dat", so that the old-data search never takes a half-written one.
inline constexpr std::string_view pending_extension = ".new";

inline constexpr std::string_view uninstall_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
inline constexpr std::string_view ident_cache_key = "SOFTWARE\\Corvanta\\Quillon\\Ident.Cache\\";
// What Apps & features appends to the cached engine to remove the product.
inline constexpr std::string_view remove_arguments = " REMOVE=TRUE MODIFY=FALSE";

} // namespace quillon::cache_text
