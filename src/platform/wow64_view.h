// The view of the machine that a 32-bit setup engine has on 64-bit Windows.
// The engine is a 64-bit program, but scripts were written for an engine that
// ran under WOW64: in the platform mode "Win32" they expect the 32-bit registry
// view, the 32-bit folders and the file-system redirector's paths; in "x64" and
// "ia64" the native view. This is the one place that decides it; the Windows
// side (win32/wow64_view_win32.h) carries it out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// The platform mode in which scripts see the 32-bit side.
inline constexpr std::string_view platform_mode_win32 = "Win32";

enum class PlatformView : std::uint8_t {
    wow64_32, // what a 32-bit process sees: Wow6432Node, SysWOW64, Program Files (x86)
    native,   // the 64-bit side, no mapping
};

// The registry view flag between the commands that set it: what a 32-bit engine's keys open in.
inline constexpr PlatformView resting_registry_view = PlatformView::wow64_32;

// The view of a platform mode: "Win32" the 32-bit one, any other mode the native one.
PlatformView view_for_mode(std::string_view platform_mode) noexcept;

// The folders the mapping needs, each without a trailing backslash.
struct SystemFolders {
    std::string windows;   // C:\Windows
    std::string system;    // C:\Windows\System32
    std::string system_32; // C:\Windows\SysWOW64; empty where there is none
};

// The folders of the 32-bit programs and of the 64-bit ones have the same value
// names, read through the view.
enum class FilesFolder : std::uint8_t { program_files, common_files };

// The path a 32-bit process reaches through the file-system redirector: under
// the system folder (and Windows\lastgood\system32) the 32-bit system folder,
// except the subfolders that redirection leaves alone (catroot, catroot2,
// driverstore, drivers\etc, logfiles, spool); Windows\regedit.exe the 32-bit
// one; Windows\Sysnative the real system folder. The native view, and every
// other path, stay as they are. Names compare without regard to case.
std::string map_to_view(std::string_view path, PlatformView view, const SystemFolders& folders);

} // namespace quillon
