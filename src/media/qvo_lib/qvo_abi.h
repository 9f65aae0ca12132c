// The binary interface of the archive library "qvo.lib": what the engine and the
// library agree on. Texts are zero-terminated 8-bit strings in the system code page.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillon::qvo {

// One listed member; only the path pointer is read by the engine.
struct ArchiveEntry {
    const char* path;
    std::uint64_t size;
    std::uint64_t modified; // FILETIME ticks, 0 when unknown
    std::uint32_t attributes;
    std::uint32_t crc;
    std::uint32_t is_directory;
    std::uint32_t reserved;
    std::uint64_t reserved2;
};
static_assert(sizeof(ArchiveEntry) == 48, "the engine walks the entry array in steps of 48 bytes");

// The members to extract.
struct TSZW_TARGETFILES {
    const char* const* files;
    std::int32_t count;
};

// Fills the buffer with the password and answers 1, or answers 0 for none.
using PasswordCallback = int(WINAPI*)(char* buffer, int buffer_size);
// Non-zero to go on, 0 to stop.
using ProgressCallback = int(WINAPI*)(const char* member, std::int64_t position, std::int64_t total);
using ConfirmationCallback = int(WINAPI*)(int, int);
// Answers overwrite_replace or overwrite_keep for a member whose file exists.
using OverwriteQueryCallback = int(WINAPI*)(int, int, int, int, int, int, int, int, int, int);

using OpenListArchiveFunction = INT_PTR(WINAPI*)(const char* archive, int, PasswordCallback, int, int, int,
                                                 const char* password, ArchiveEntry** entries, int* count);
using CloseListArchiveFunction = void(WINAPI*)(INT_PTR handle);
using ExtractArchiveFunction = int(WINAPI*)(const char* archive, int, const char* target, const TSZW_TARGETFILES* files,
                                            int mode, const char* password, PasswordCallback, ProgressCallback,
                                            ConfirmationCallback, OverwriteQueryCallback);
using GetLastArchiveErrorFunction = int(WINAPI*)(int);

// Extraction modes.
inline constexpr int mode_full_paths = 0; // members keep their folders below the target
inline constexpr int mode_flat = 1;       // every file lands directly in the target

// Overwrite answers.
inline constexpr int overwrite_keep = 1;
inline constexpr int overwrite_replace = 4;

// Codes of GetLastArchiveError.
inline constexpr int error_none = 0;
inline constexpr int error_archive_not_found = 1001;
inline constexpr int error_illegal_path = 1002; // a selected name is not in the archive, or a member path is unsafe
inline constexpr int error_cannot_open = 1003;  // not a 7z archive, unsupported, or a wrong password
inline constexpr int error_corrupt_data = 1004;
inline constexpr int error_write_failed = 1005;
inline constexpr int error_cancelled = 1006;
inline constexpr int error_unsupported_method = 1007;
inline constexpr int error_general = 1099;

} // namespace quillon::qvo
