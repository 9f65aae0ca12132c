// The binary interface of ahadmin_wrapper.dll: what the engine and the library
// agree on. Every function is exported by its plain name, returns 1 on success
// and 0 on failure, and writes its outputs only on success. Texts are
// zero-terminated 8-bit strings in the system's ANSI code page; a text answer
// is cut to fit the caller's buffer, always with its terminating zero.
// Booleans are one byte (0 or 1); any non-zero byte reads as true.
#pragma once

#include <windows.h>

namespace quillon::iis7::abi {

// The size of the buffer the engine gives for text answers.
inline constexpr int text_buffer_size = 102400;

using GetIISSiteListFunction = int(WINAPI*)(char* buffer, int buffer_size);
using GetIISSiteIndexFunction = int(WINAPI*)(const char* description, int* index);
using GetIISPropertyFunction = int(WINAPI*)(int site, const char* folder, const char* name, char* buffer,
                                            int buffer_size);
using SetIISPropertyFunction = int(WINAPI*)(int site, const char* folder, const char* name, const char* value);
using CreateIISSiteFunction = int(WINAPI*)(const char* description, const char* site_index, const char* ip_address,
                                           const char* host_header, const char* tcp_port, const char* ssl_port,
                                           int connection_timeout, BOOLEAN keep_alive, BOOLEAN log_visits,
                                           BOOLEAN enable_asp, BOOLEAN enable_exe, BOOLEAN unlimited_connections,
                                           BOOLEAN unused_flag, int max_connections, int server_size);
using CreateIISSiteFolderFunction = int(WINAPI*)(
    const char* folder, int site, const char* physical_folder, BOOLEAN source_access, BOOLEAN read_access,
    BOOLEAN write_access, BOOLEAN directory_browsing, BOOLEAN log_visits, BOOLEAN index_resource, int isolation,
    int execute_permissions, BOOLEAN enable_default_document, const char* default_documents, const char* footer,
    BOOLEAN anonymous, BOOLEAN windows_auth, BOOLEAN basic_auth, const char* mime_map, const char* application_pool);
using DeleteIISSiteFolderFunction = int(WINAPI*)(int site, const char* folder);
using DeleteIISSiteFunction = int(WINAPI*)(int site);
using ControlIISSiteFunction = int(WINAPI*)(int site, int code);
using GetIISAnonUserFunction = int(WINAPI*)(char* buffer, int buffer_size);

} // namespace quillon::iis7::abi
