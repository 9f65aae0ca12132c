// The machine's facts from Windows, for the system information commands. The
// engine is a 64-bit program presenting the view of a 32-bit one: registry
// values and folders of the platform mode come through platform/win32/wow64_view_win32.h.
#pragma once

#include "interp/system_information.h"

namespace quillon {

class WindowsSystemInformation : public SystemInformation {
public:
    void set_registry_view(PlatformView view) override { m_view = view; }
    PlatformView registry_view() const override { return m_view; }

    WindowsVersion windows_version() override;
    bool member_of_group(std::uint32_t relative_id) override;
    bool token_elevated() override;
    std::uint64_t physical_memory() override;
    ScreenFacts screen() override;
    bool system_metric(SystemMetric metric) override;
    std::optional<std::string> registry_text(RegistryRoot root, std::string_view key, std::string_view name,
                                             RegistryAccess access) override;
    std::optional<std::uint32_t> registry_number(RegistryRoot root, std::string_view key, std::string_view name,
                                                 RegistryAccess access) override;
    std::optional<FileVersion> file_version(const std::string& path) override;
    std::optional<std::uint16_t> file_language(const std::string& path) override;
    std::string language_name(std::uint16_t language) override;
    std::string user_name() override;
    std::string user_domain() override;
    std::string computer_name() override;
    bool windows_64_bit() override;
    std::uint16_t native_architecture() override;
    HypervisorFacts hypervisor() override;
    std::string shell_folder(std::int32_t csidl) override;
    SystemFolders system_folders() override;
    std::string files_folder(FilesFolder which) override;
    bool cd_rom_drive(char letter) override;
    std::string expand_environment(std::string_view text) override;
    std::vector<std::string> environment_block() override;

private:
    PlatformView view_of(RegistryAccess access) const
    {
        // A 32-bit engine's plain KEY_READ lands in the 32-bit view under WOW64.
        return access == RegistryAccess::plain ? PlatformView::wow64_32 : m_view;
    }

    PlatformView m_view = resting_registry_view;
};

} // namespace quillon
