// The engine-cache folder on disk: made hidden (and compressed when asked),
// filled with copies of the engine's files, and removed again, also while the
// cached engine runs from it.
#pragma once

#include <string>

namespace quillon {

enum class CacheCompression : bool { off, on };

// Creates the folder and its parents; marks it hidden and sets its compression.
bool PrepareCacheFolder(const std::string& folder, CacheCompression compression);
// Marks an existing folder hidden and sets its compression; nothing when it does not exist.
void MarkCacheFolder(const std::string& folder, CacheCompression compression);

// Copies a file into the folder under the same name, over an earlier copy
// (whose attributes are reset first). A file that is already the target (the
// cached engine maintaining its product) is left as it is. Failures are the
// caller's to ignore: the cache is a copy, file by file.
bool CopyIntoCache(const std::string& source, const std::string& folder);

// A cache that keeps no sources: every subfolder deleted but the setup's own
// media ("OFFLINE") and the advertised marker, which is no source but the
// engine's record that the product is only advertised.
void RemoveCachedSources(const std::string& folder);

// Deletes the folder with its contents. When something in it cannot go (the
// cached engine runs from it), the folder is renamed to the first free "~n"
// beside it and what is left is deleted at the next restart. Returns false
// when the folder still stands under its own name.
bool RemoveCacheFolder(const std::string& folder);

} // namespace quillon
