// The machine's facts for tests of the system information commands: every
// answer is a field to set, every registry value lives in a map per view, and
// the registry view flag is recorded each time it is set.
#pragma once

#include "interp/system_information.h"

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quillon::test {

class FakeMachine : public SystemInformation {
public:
    // A registry value: root, key, name and the view it lies in.
    using RegistryKey = std::tuple<RegistryRoot, std::string, std::string, PlatformView>;

    void set_registry_view(PlatformView view) override
    {
        current_view = view;
        views_set.push_back(view);
    }
    PlatformView registry_view() const override { return current_view; }
    WindowsVersion windows_version() override { return version; }
    bool member_of_group(std::uint32_t relative_id) override { return groups.contains(relative_id); }
    bool token_elevated() override { return elevated; }
    std::uint64_t physical_memory() override { return memory; }
    ScreenFacts screen() override { return screen_facts; }
    bool system_metric(SystemMetric metric) override { return metrics.contains(metric); }
    std::optional<std::string> registry_text(RegistryRoot root, std::string_view key, std::string_view name,
                                             RegistryAccess access) override
    {
        auto found = texts.find({root, std::string(key), std::string(name), view_of(access)});
        return found == texts.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::optional<std::uint32_t> registry_number(RegistryRoot root, std::string_view key, std::string_view name,
                                                 RegistryAccess access) override
    {
        auto found = numbers.find({root, std::string(key), std::string(name), view_of(access)});
        return found == numbers.end() ? std::nullopt : std::optional<std::uint32_t>(found->second);
    }
    std::optional<FileVersion> file_version(const std::string& path) override
    {
        files_read.push_back(path);
        auto found = file_versions.find(path);
        return found == file_versions.end() ? std::nullopt : std::optional<FileVersion>(found->second);
    }
    std::optional<std::uint16_t> file_language(const std::string& path) override
    {
        files_read.push_back(path);
        auto found = file_languages.find(path);
        return found == file_languages.end() ? std::nullopt : std::optional<std::uint16_t>(found->second);
    }
    std::string language_name(std::uint16_t language) override
    {
        return language == 1033 ? "English (United States)" : "";
    }
    std::string user_name() override { return user; }
    std::string user_domain() override { return domain; }
    std::string computer_name() override { return computer; }
    bool windows_64_bit() override { return bits_64; }
    std::uint16_t native_architecture() override { return architecture; }
    HypervisorFacts hypervisor() override { return hypervisor_facts; }
    std::string shell_folder(std::int32_t csidl) override
    {
        auto found = shell_folders.find(csidl);
        return found == shell_folders.end() ? std::string() : found->second;
    }
    SystemFolders system_folders() override { return folders; }
    std::string files_folder(FilesFolder which) override
    {
        bool common = which == FilesFolder::common_files;
        bool view32 = current_view == PlatformView::wow64_32;
        return common ? (view32 ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files")
                      : (view32 ? "C:\\Program Files (x86)" : "C:\\Program Files");
    }
    bool cd_rom_drive(char letter) override { return cd_rom_drives.contains(letter); }
    std::string expand_environment(std::string_view text) override
    {
        std::string expanded(text);
        for (const auto& [name, value] : environment) {
            std::string reference = "%" + name + "%";
            for (std::size_t at = expanded.find(reference); at != std::string::npos; at = expanded.find(reference))
                expanded.replace(at, reference.size(), value);
        }
        return expanded;
    }
    std::vector<std::string> environment_block() override
    {
        std::vector<std::string> block;
        for (const auto& [name, value] : environment)
            block.push_back(name + "=" + value);
        return block;
    }

    PlatformView view_of(RegistryAccess access) const
    {
        return access == RegistryAccess::plain ? PlatformView::wow64_32 : current_view;
    }

    PlatformView current_view = PlatformView::wow64_32;
    std::vector<PlatformView> views_set;
    WindowsVersion version{true, 6, 1, 7601, "Service Pack 1", 1};
    std::set<std::uint32_t> groups{0x220, 0x221};
    bool elevated = true;
    std::uint64_t memory = 4096ull * 1048576;
    ScreenFacts screen_facts{1280, 1024, 32, 96};
    std::set<SystemMetric> metrics;
    std::map<RegistryKey, std::string> texts;
    std::map<RegistryKey, std::uint32_t> numbers;
    std::map<std::string, FileVersion> file_versions;
    std::map<std::string, std::uint16_t> file_languages;
    std::vector<std::string> files_read;
    std::string user = "alice";
    std::string domain = "WORKGROUP";
    std::string computer = "BUILDHOST";
    bool bits_64 = true;
    std::uint16_t architecture = 9;
    HypervisorFacts hypervisor_facts;
    std::map<std::int32_t, std::string> shell_folders;
    SystemFolders folders{"C:\\Windows", "C:\\Windows\\system32", "C:\\Windows\\SysWOW64"};
    std::set<char> cd_rom_drives;
    std::map<std::string, std::string> environment;
};

} // namespace quillon::test
