// The helper programs the engine carries as resources of its own executable and
// writes out when a command needs them: the two assembly-cache utilities with
// their runtime configuration files, and the IIS 7 configuration library.
#pragma once

#include "base/error.h"

#include <windows.h>

#include <string>

namespace quillon {

// Each operation reads its resources from `module`: null is the engine's own
// executable; a test passes the engine loaded as a data file. Files are written
// whole or not at all, replacing an earlier copy.

// Writes "mgac.exe" and "mgac.exe.config" (runtime 2.0) into the support folder;
// returns the program's path.
Result<std::string> WriteGacUtility2(const std::string& support_folder, HMODULE module = nullptr);

// Writes "mgacy.exe" and "mgacy.exe.config" (runtime 4.0) into the support folder;
// returns the program's path.
Result<std::string> WriteGacUtility4(const std::string& support_folder, HMODULE module = nullptr);

// Writes "ahadmin_wrapper.dll" into the folder; returns its path.
Result<std::string> WriteIisWrapper(const std::string& folder, HMODULE module = nullptr);

// The written IIS library of a run: where it went, and whether the IIS commands
// want it gone when the run ends. The library must be unloaded by then.
class IisWrapperFile {
public:
    IisWrapperFile() = default;
    IisWrapperFile(const IisWrapperFile&) = delete;
    IisWrapperFile& operator=(const IisWrapperFile&) = delete;
    ~IisWrapperFile() { remove_if_marked(); }

    void remember(std::string path) { m_path = std::move(path); }
    const std::string& path() const noexcept { return m_path; }
    void mark_for_removal() noexcept { m_remove = true; }

    // Deletes the file when it was marked; false when a marked file could not be deleted.
    bool remove_if_marked() noexcept;

private:
    std::string m_path;
    bool m_remove = false;
};

} // namespace quillon
