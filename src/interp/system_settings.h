// What the system information commands answer, decided from the raw facts of
// the SystemInformation role: the numbered settings, the Windows level names,
// the folder table and the environment. Pure decisions, tested natively.
#pragma once

#include "base/error.h"
#include "interp/system_information.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillon {

// The last setting and folder indexes; outside 0..last the answer is the empty text.
inline constexpr std::int32_t last_system_setting = 81;
inline constexpr std::int32_t last_folder_location = 28;

// The largest n from 10 down to 1 whose decimal text occurs in the CSD text, else 0.
std::int32_t service_pack_level(std::string_view csd_version);

// The record as the checks read it: on the Windows 95 family, 4.10 with a
// build above 0x040A08AD is 4.11 (98 Second Edition).
WindowsVersion adjusted_version(WindowsVersion version);

bool version_at_least(const WindowsVersion& version, std::uint32_t major, std::uint32_t minor);

// "NT4", "2000", "XP", "2003", "VISTA"/"2008", "SEVEN"/"2008R2", "95", "98",
// "98SE", "ME", or "UNKNOWN" for every other version (Windows 8 and later too).
std::string os_level_name(const WindowsVersion& version, bool server);

// "X86", "IA64", "AMD64" or "UNKNOWN" for a PROCESSOR_ARCHITECTURE code.
std::string_view architecture_name(std::uint16_t code);

// Up to four dot-separated numbers; a missing part is 0, and so is a part that is not a number.
std::array<std::uint32_t, 4> version_parts(std::string_view text);

// The virtual machine checks, from the processor's hypervisor facts.
bool runs_in_vmware(const HypervisorFacts& hypervisor);
bool runs_in_virtual_pc(const HypervisorFacts& hypervisor);

// "Get System Settings": the answer for an index. Files in the system folder
// (winver.exe, shdocvw.dll) are read in file_view, where the redirector would
// find them; registry values through the role's registry view flag. The web
// server's anonymous account (59) is asked of the web server only when the
// index names it.
std::string system_setting(std::int32_t index, SystemInformation& machine, PlatformView file_view,
                           const std::function<std::string()>& web_anonymous_user);

// "Get OS or SP Level": the level name, or the service pack level in decimal.
std::string os_or_sp_level(SystemInformation& machine, bool os_level);

// "Get Folder Location": the folder with a trailing backslash, or empty.
// The system folder follows view (the 32-bit one in "Win32" mode).
std::string folder_location(std::int32_t index, bool all_users, SystemInformation& machine, PlatformView view);

// "Get Environment": "%name%" expanded, or for an empty name the whole block
// joined by "$NEWLINE$".
std::string environment_value(std::string_view name, SystemInformation& machine);

} // namespace quillon
