// The machine as the system information commands ask about it: one small role
// of plain questions. The answers are raw facts (numbers, texts, a version
// record); what a script sees is decided from them in system_settings.h. The
// engine answers from Windows; tests give a fake. None of the questions fails:
// a fact that cannot be had is its empty or zero answer.
#pragma once

#include "platform/wow64_view.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The version record as GetVersionExA gives it with OSVERSIONINFOEXA.
struct WindowsVersion {
    bool nt_platform = true;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::string csd_version;     // "Service Pack 2", or empty
    std::uint8_t product_type = 1; // 1 workstation, 2 domain controller, 3 server
};

struct ScreenFacts {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bits_per_pixel = 0;
    std::int32_t dots_per_inch = 0; // horizontal
};

// What the processor tells of a hypervisor (CPUID leaf 0x40000000 and the
// privileges of leaf 0x40000003), asked without any privileged instruction.
struct HypervisorFacts {
    bool present = false; // CPUID leaf 1, ECX bit 31
    std::string vendor;   // the 12-character vendor text, cut at its first zero
    // A Microsoft hypervisor's root partition (the host itself, with Hyper-V
    // or virtualization-based security on) may create partitions; a guest may not.
    bool creates_partitions = false;
};

// Four 16-bit parts, most significant first.
using FileVersion = std::array<std::uint16_t, 4>;

enum class RegistryRoot : std::uint8_t { local_machine, current_user };

// How a key is opened: with the engine's registry view flag, or with the plain
// read access of a 32-bit engine (which under WOW64 is the 32-bit view).
enum class RegistryAccess : std::uint8_t { view_flag, plain };

enum class SystemMetric : std::uint8_t { tablet_pc, media_center };

class SystemInformation {
public:
    virtual ~SystemInformation() = default;

    // The registry view flag: set from the platform mode by the commands that
    // follow it, put back to its resting value (the 32-bit view) when they end.
    virtual void set_registry_view(PlatformView view) = 0;
    virtual PlatformView registry_view() const = 0;

    virtual WindowsVersion windows_version() = 0;
    // Whether the process's token (the thread's, when it has one) holds the
    // built-in group S-1-5-32-rid.
    virtual bool member_of_group(std::uint32_t relative_id) = 0;
    virtual bool token_elevated() = 0;
    // Total physical memory in bytes.
    virtual std::uint64_t physical_memory() = 0;
    virtual ScreenFacts screen() = 0;
    virtual bool system_metric(SystemMetric metric) = 0;
    virtual std::optional<std::string> registry_text(RegistryRoot root, std::string_view key, std::string_view name,
                                                     RegistryAccess access) = 0;
    virtual std::optional<std::uint32_t> registry_number(RegistryRoot root, std::string_view key, std::string_view name,
                                                         RegistryAccess access) = 0;
    // The fixed file version of a file's version resource, and the language of
    // its first translation entry.
    virtual std::optional<FileVersion> file_version(const std::string& path) = 0;
    virtual std::optional<std::uint16_t> file_language(const std::string& path) = 0;
    virtual std::string language_name(std::uint16_t language) = 0;
    // The user and domain of the process token, and the computer's name.
    virtual std::string user_name() = 0;
    virtual std::string user_domain() = 0;
    virtual std::string computer_name() = 0;
    // Whether Windows is 64-bit, and the processor architecture code of GetNativeSystemInfo.
    virtual bool windows_64_bit() = 0;
    virtual std::uint16_t native_architecture() = 0;
    virtual HypervisorFacts hypervisor() = 0;
    // A shell folder by CSIDL, without a trailing backslash; empty when the shell does not know it.
    virtual std::string shell_folder(std::int32_t csidl) = 0;
    virtual SystemFolders system_folders() = 0;
    // ProgramFilesDir or CommonFilesDir through the registry view flag.
    virtual std::string files_folder(FilesFolder which) = 0;
    virtual bool cd_rom_drive(char letter) = 0;
    // ExpandEnvironmentStrings; the process's environment block, one "NAME=value" entry each.
    virtual std::string expand_environment(std::string_view text) = 0;
    virtual std::vector<std::string> environment_block() = 0;
};

} // namespace quillon
