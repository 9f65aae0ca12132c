// The file operations of the media workers on Windows: emptying a folder,
// moving or copying a tree, NTFS compression of what the engine creates in
// its cache, and the copy of an archive for an administrator's share. Paths
// are the engine's 8-bit texts; every call goes through the wide functions,
// so names that the ANSI code page cannot spell (listed as wide names) work too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::media {

// Deletes everything below the folder: each file with its attributes cleared
// first, each subfolder emptied and removed. Failures are ignored; callers
// run it three times, as files held open for a moment may give way later.
void ClearFolder(const std::string& folder);
void ClearFolderThrice(const std::string& folder);

// Sets the NTFS compression state (LZNT1 or none) of a file or folder; failures are ignored.
void SetCompression(const std::string& path, bool on);
void SetCompression(const std::wstring& path, bool on);

// Creates the folder and those above it; each one created gets the compression state.
// The wide form takes a path as the wide functions want it (long-path form where needed),
// for names the ANSI code page cannot spell.
bool CreateFolders(const std::string& folder, bool compress);
bool CreateFolders(const std::wstring& folder, bool compress);

// The names of the folder's subfolders, in listing order.
std::vector<std::string> SubfolderNames(const std::string& folder);

// Every file below the folder (recursively), as wide paths relative to it, in listing order.
std::vector<std::wstring> ListFilesBelow(const std::wstring& folder);

// Moves (or copies over existing files) every file below source into the same
// place below target. The first failure ends the transfer and answers false.
// After a complete move, source is emptied and removed.
bool TransferTree(const std::string& source, const std::string& target, bool move, bool compress);

// Copies source over target when target names a drive and the sizes differ
// (a missing file counting as 0 bytes); the target's folder is created first.
void CopyIfSizeDiffers(const std::string& source, const std::string& target, bool compress);

// Size of a file, 0 when it cannot be read.
std::uint64_t FileSize(const std::wstring& path);

} // namespace quillon::media
