#include "engine/cache_install.h"

#include "base/paths.h"
#include "cache/cache_lines.h"
#include "cache/cache_texts.h"
#include "engine/cache_files_win32.h"
#include "platform/win32/wide.h"

#include <windows.h>

namespace quillon {

bool WriteEngineCache(const CacheInstallation& installation)
{
    const std::string& folder = installation.cache_folder;
    if (!PrepareCacheFolder(folder, installation.compression))
        return false;
    WindowsCacheFiles files;
    if (!installation.product_marker.empty())
        (void)files.write(folder + installation.product_marker, "");
    for (const std::string& source : installation.copied_files)
        if (GetFileAttributesW(win32::to_wide(source).c_str()) != INVALID_FILE_ATTRIBUTES)
            CopyIntoCache(source, folder);

    std::string base = folder + installation.base_name;
    bool written = true;
    auto write = [&](const std::string& path, std::string_view text) { written = files.write(path, text) && written; };
    write(base + std::string(cache_text::data_extension), installation.maintenance_text);
    write(base + std::string(cache_text::instance_list_extension), FormatCacheLines(installation.instance_list));
    write(base + std::string(cache_text::shortcuts_extension), FormatCacheLines(installation.shortcuts));
    std::string language_file = base + std::string(cache_text::language_extension);
    if (installation.language.empty())
        DeleteFileW(win32::to_wide(language_file).c_str());
    else
        write(language_file, FormatLanguageFile(installation.language));

    written = WriteRegistryKeys(installation.root, RegistrationKeys(installation.registration)) && written;
    write(folder + std::string(cache_text::instance_file), FormatInstanceData(installation.instance));
    return written;
}

bool RemoveEngineCache(const CacheRemoval& removal)
{
    bool gone = true;
    if (!removal.keep_data) {
        if (!removal.product_marker.empty())
            DeleteFileW(win32::to_wide(removal.cache_folder + removal.product_marker).c_str());
        gone = RemoveCacheFolder(removal.cache_folder);
    }
    DeleteRegistryKeysEverywhere(RegistrationKeysRemoved(removal.title, removal.product_code));
    return gone && !removal.keep_data;
}

} // namespace quillon
