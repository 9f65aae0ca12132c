#include "interp/system_settings.h"

#include "base/paths.h"
#include "base/strings.h"
#include "interp/web_server.h"
#include "vars/texts.h"

#include <algorithm>
#include <charconv>

namespace quillon {

namespace {

using namespace std::string_view_literals;

// Texts the script sees.
namespace text {
constexpr std::string_view yes = "TRUE";
constexpr std::string_view no = "FALSE";
constexpr std::string_view unknown = "UNKNOWN";
constexpr std::string_view group_error = "ERROR";
} // namespace text

// Built-in groups by relative identifier (S-1-5-32-rid).
constexpr std::uint32_t administrators = 0x220;
constexpr std::uint32_t users = 0x221;
constexpr std::uint32_t guests = 0x222;
constexpr std::uint32_t power_users = 0x223;

constexpr std::uint8_t workstation = 1; // VER_NT_WORKSTATION

constexpr std::string_view nt_current_version = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr std::string_view windows_current_version = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr std::string_view setup_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr std::string_view explorer_key = "SOFTWARE\\Microsoft\\Internet Explorer";
constexpr std::string_view shell_folders_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view virtual_roots_key = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters\\Virtual Roots";

struct MinimumVersion {
    std::uint32_t major;
    std::uint32_t minor;
};
struct ScreenSize {
    std::int32_t width;
    std::int32_t height;
};

constexpr std::array<std::int32_t, 7> memory_megabytes = {32, 64, 128, 256, 512, 1024, 2048};
constexpr std::array<ScreenSize, 5> screen_sizes = {
    {{800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}, {1920, 1440}}};
constexpr std::array<std::int32_t, 4> colour_depths = {8, 16, 24, 32};
constexpr std::array<MinimumVersion, 4> windows_95_versions = {{{4, 0}, {4, 10}, {4, 11}, {4, 90}}};
constexpr std::array<MinimumVersion, 4> windows_nt_versions = {{{4, 0}, {5, 0}, {5, 1}, {5, 2}}};
// Settings 37 to 52: shdocvw.dll at least these versions, in index order.
constexpr std::array<FileVersion, 16> explorer_versions = {{
    {6, 0, 2800, 1106},
    {6, 0, 2600, 0},
    {5, 5, 4807, 2300},
    {5, 5, 4522, 1800},
    {5, 5, 4134, 100},
    {5, 0, 3502, 5400},
    {5, 0, 3314, 2100},
    {5, 0, 2919, 6307},
    {5, 0, 2014, 213},
    {4, 72, 3612, 1707},
    {4, 72, 3110, 3},
    {4, 72, 2106, 7},
    {4, 71, 1712, 5},
    {4, 70, 1300, 0},
    {4, 70, 1215, 0},
    {4, 70, 1155, 0},
}};

constexpr std::string_view yes_no(bool answer)
{
    return answer ? text::yes : text::no;
}

template <typename Parts>
bool parts_at_least(const Parts& have, const Parts& want)
{
    return !std::lexicographical_compare(have.begin(), have.end(), want.begin(), want.end());
}

bool server(const WindowsVersion& version)
{
    return version.product_type != workstation;
}

std::string file_in_system_folder(SystemInformation& machine, std::string_view name, PlatformView view)
{
    SystemFolders folders = machine.system_folders();
    return map_to_view(join_path(folders.system, name), view, folders);
}

std::string owner_text(SystemInformation& machine, std::string_view name)
{
    std::string_view key = machine.windows_version().nt_platform ? nt_current_version : windows_current_version;
    return machine.registry_text(RegistryRoot::local_machine, key, name, RegistryAccess::view_flag)
        .value_or(std::string());
}

bool explorer_at_least(SystemInformation& machine, std::array<std::uint32_t, 4> want)
{
    std::optional<std::string> version =
        machine.registry_text(RegistryRoot::local_machine, explorer_key, "Version", RegistryAccess::plain);
    return version && parts_at_least(version_parts(*version), want);
}

bool web_server_at_least(SystemInformation& machine, std::uint32_t major, std::uint32_t minor)
{
    std::optional<std::uint64_t> level = web_server_level(machine);
    return level && *level >= std::uint64_t{major} * 10 + minor;
}

std::string group_name(SystemInformation& machine)
{
    if (!machine.windows_version().nt_platform)
        return "ADMIN";
    static constexpr std::array<std::pair<std::uint32_t, std::string_view>, 4> order = {{
        {administrators, "ADMIN"},
        {power_users, "POWER"},
        {users, "USER"},
        {guests, "GUEST"},
    }};
    for (const auto& [group, name] : order)
        if (machine.member_of_group(group))
            return std::string(name);
    return std::string(text::group_error);
}

bool member(SystemInformation& machine, std::uint32_t group)
{
    // The Windows 95 family has no groups: every user counts as a member.
    return !machine.windows_version().nt_platform || machine.member_of_group(group);
}

} // namespace

std::int32_t service_pack_level(std::string_view csd_version)
{
    for (std::int32_t level = 10; level >= 1; --level)
        if (csd_version.find(std::to_string(level)) != std::string_view::npos)
            return level;
    return 0;
}

WindowsVersion adjusted_version(WindowsVersion version)
{
    if (!version.nt_platform && version.major == 4 && version.minor == 10 && version.build > 0x040A08AD)
        version.minor = 11;
    return version;
}

bool version_at_least(const WindowsVersion& version, std::uint32_t major, std::uint32_t minor)
{
    return version.major > major || (version.major == major && version.minor >= minor);
}

std::string os_level_name(const WindowsVersion& version, bool is_server)
{
    struct Name {
        std::uint32_t major;
        std::uint32_t minor;
        std::string_view name;
    };
    static constexpr std::array<Name, 4> nt = {{{4, 0, "NT4"}, {5, 0, "2000"}, {5, 1, "XP"}, {5, 2, "2003"}}};
    static constexpr std::array<Name, 4> family_95 = {{{4, 0, "95"}, {4, 10, "98"}, {4, 11, "98SE"}, {4, 90, "ME"}}};
    WindowsVersion v = adjusted_version(version);
    if (v.nt_platform && v.major == 6 && v.minor == 0)
        return service_pack_level(v.csd_version) >= 1 && is_server ? "2008" : "VISTA";
    if (v.nt_platform && v.major == 6 && v.minor == 1)
        return is_server ? "2008R2" : "SEVEN";
    for (const Name& name : v.nt_platform ? nt : family_95)
        if (name.major == v.major && name.minor == v.minor)
            return std::string(name.name);
    return std::string(text::unknown);
}

std::string_view architecture_name(std::uint16_t code)
{
    switch (code) {
    case 0: return "X86";
    case 6: return "IA64";
    case 9: return "AMD64";
    default: return text::unknown;
    }
}

std::array<std::uint32_t, 4> version_parts(std::string_view text)
{
    std::array<std::uint32_t, 4> parts{};
    for (std::size_t k = 0; k < parts.size() && !text.empty(); ++k) {
        std::size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        std::uint32_t value = 0;
        auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        parts[k] = error == std::errc() && end == part.data() + part.size() ? value : 0;
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
    return parts;
}

bool runs_in_vmware(const HypervisorFacts& hypervisor)
{
    return hypervisor.present && hypervisor.vendor == "VMwareVMware";
}

bool runs_in_virtual_pc(const HypervisorFacts& hypervisor)
{
    // Virtual PC's successors run on Microsoft's hypervisor; the host of that
    // hypervisor reports the same vendor, but only it may create partitions.
    return hypervisor.present && hypervisor.vendor == "Microsoft Hv" && !hypervisor.creates_partitions;
}

std::string system_setting(std::int32_t index, SystemInformation& machine, PlatformView file_view,
                           const std::function<std::string()>& web_anonymous_user)
{
    if (index < 0 || index > last_system_setting)
        return std::string();
    auto i = static_cast<std::size_t>(index);
    WindowsVersion version = adjusted_version(machine.windows_version());
    std::int32_t service_pack = service_pack_level(version.csd_version);
    if (index == 0)
        return std::string(yes_no(member(machine, administrators)));
    if (index >= 1 && index <= 7) {
        std::uint64_t need = static_cast<std::uint64_t>(memory_megabytes[i - 1] - 2) * 1048576;
        return std::string(yes_no(machine.physical_memory() >= need));
    }
    if (index >= 8 && index <= 12) {
        ScreenFacts screen = machine.screen();
        ScreenSize want = screen_sizes[i - 8];
        // A portrait screen counts as well.
        bool fits = (screen.width >= want.width && screen.height >= want.height) ||
                    (screen.height >= want.width && screen.width >= want.height);
        return std::string(yes_no(fits));
    }
    if (index >= 13 && index <= 16)
        return std::string(yes_no(machine.screen().bits_per_pixel >= colour_depths[i - 13]));
    if (index >= 19 && index <= 22)
        return std::string(
            yes_no(version_at_least(version, windows_95_versions[i - 19].major, windows_95_versions[i - 19].minor)));
    if (index >= 23 && index <= 26)
        return std::string(
            yes_no(version_at_least(version, windows_nt_versions[i - 23].major, windows_nt_versions[i - 23].minor)));
    if (index >= 27 && index <= 32)
        return std::string(yes_no(service_pack >= index - 26));
    if (index >= 37 && index <= 52) {
        std::optional<FileVersion> have =
            machine.file_version(file_in_system_folder(machine, "shdocvw.dll", file_view));
        return std::string(yes_no(have && parts_at_least(*have, explorer_versions[i - 37])));
    }
    switch (index) {
    case 17: return std::string(yes_no(!version.nt_platform));
    case 18: return std::string(yes_no(version.nt_platform));
    case 33:
    case 34: {
        std::optional<std::uint16_t> language =
            machine.file_language(file_in_system_folder(machine, "winver.exe", file_view));
        if (!language)
            return std::string();
        return index == 33 ? std::to_string(*language) : machine.language_name(*language);
    }
    case 35: return owner_text(machine, "RegisteredOwner");
    case 36: return owner_text(machine, "RegisteredOrganization");
    case 53: return std::string(yes_no(web_server_at_least(machine, 6, 0)));
    case 54: return std::string(yes_no(web_server_at_least(machine, 5, 1)));
    case 55: return std::string(yes_no(web_server_at_least(machine, 5, 0)));
    case 56: return std::string(yes_no(web_server_at_least(machine, 4, 0)));
    case 57: return std::string(yes_no(web_server_at_least(machine, 3, 0)));
    case 58: return std::string(yes_no(web_server_at_least(machine, 2, 0)));
    case 59: return web_anonymous_user();
    case 60: return machine.user_name();
    case 61: return machine.computer_name();
    case 62: return version.nt_platform ? machine.user_domain() : std::string();
    case 63: return group_name(machine);
    case 64: return std::to_string(machine.screen().dots_per_inch);
    case 65: return std::string(yes_no(machine.windows_64_bit()));
    case 66: return std::string(yes_no(machine.system_metric(SystemMetric::tablet_pc)));
    case 67: return std::string(yes_no(machine.system_metric(SystemMetric::media_center)));
    case 68: return std::string(yes_no(server(version)));
    case 69: return std::string(yes_no(version_at_least(version, 6, 0)));
    case 70: return std::string(yes_no(runs_in_vmware(machine.hypervisor())));
    case 71: return std::string(yes_no(runs_in_virtual_pc(machine.hypervisor())));
    case 72: return std::string(yes_no(explorer_at_least(machine, {7, 0, 5730, 11})));
    case 73: return std::string(yes_no(web_server_at_least(machine, 7, 0)));
    case 74: {
        HypervisorFacts hypervisor = machine.hypervisor();
        return std::string(yes_no(!runs_in_vmware(hypervisor) && !runs_in_virtual_pc(hypervisor)));
    }
    case 75: return std::string(architecture_name(machine.native_architecture()));
    case 76: {
        bool later = version_at_least(version, 6, 1) || (version_at_least(version, 6, 0) && service_pack >= 1);
        return std::string(yes_no(later && server(version)));
    }
    case 77: return std::string(yes_no(machine.token_elevated()));
    case 78: return std::string(yes_no(explorer_at_least(machine, {8, 0, 6001, 18702})));
    case 79: return std::string(yes_no(version_at_least(version, 6, 1)));
    case 80: return std::string(yes_no(web_server_at_least(machine, 7, 5)));
    case 81: return std::string(yes_no(version_at_least(version, 6, 1) && server(version)));
    default: return std::string();
    }
}

std::string os_or_sp_level(SystemInformation& machine, bool os_level)
{
    WindowsVersion version = machine.windows_version();
    if (!os_level)
        return std::to_string(service_pack_level(version.csd_version));
    return os_level_name(version, server(version));
}

std::string folder_location(std::int32_t index, bool all_users, SystemInformation& machine, PlatformView view)
{
    // CSIDL values: per-user, all users.
    struct ShellFolder {
        std::int32_t index;
        std::int32_t user;
        std::int32_t common;
    };
    static constexpr std::array<ShellFolder, 22> shell_folders = {{
        {0, 32, 32},  {1, 33, 33},  {2, 5, 46},   {3, 6, 31},  {4, 13, 53},  {5, 39, 54},  {6, 14, 55},  {7, 19, 19},
        {8, 27, 27},  {11, 48, 47}, {12, 11, 22}, {13, 7, 24}, {14, 2, 23},  {15, 26, 35}, {16, 59, 59}, {17, 0, 25},
        {18, 20, 20}, {19, 40, 62}, {21, 8, 8},   {22, 9, 9},  {24, 21, 21}, {28, 28, 28},
    }};
    std::string folder;
    auto shell = std::find_if(shell_folders.begin(), shell_folders.end(),
                              [index](const ShellFolder& entry) { return entry.index == index; });
    if (shell != shell_folders.end()) {
        folder = machine.shell_folder(all_users ? shell->common : shell->user);
    } else {
        switch (index) {
        case 9:
            folder = machine.registry_text(RegistryRoot::local_machine, setup_key, "BootDir", RegistryAccess::view_flag)
                         .value_or(std::string());
            break;
        case 10:
            for (char letter = 'A'; letter <= 'Z'; ++letter) {
                if (machine.cd_rom_drive(letter)) {
                    folder = std::string(1, letter) + ":\\";
                    break;
                }
            }
            break;
        case 20:
            folder = machine.files_folder(all_users ? FilesFolder::common_files : FilesFolder::program_files);
            break;
        case 23: {
            SystemFolders folders = machine.system_folders();
            folder = view == PlatformView::wow64_32 && !folders.system_32.empty() ? folders.system_32 : folders.system;
            break;
        }
        case 25: folder = machine.system_folders().windows; break;
        case 26: {
            std::string app_data =
                machine.registry_text(RegistryRoot::current_user, shell_folders_key, "AppData", RegistryAccess::plain)
                    .value_or(std::string());
            if (!app_data.empty())
                folder = with_backslash(app_data) + "Microsoft\\Internet Explorer\\Quick Launch\\";
            break;
        }
        case 27: {
            folder = machine.expand_environment(
                machine.registry_text(RegistryRoot::local_machine, web_server_key, "PathWWWRoot", RegistryAccess::plain)
                    .value_or(std::string()));
            for (std::string_view name : {"/"sv, "/,"sv}) {
                if (!folder.empty())
                    break;
                folder =
                    machine.registry_text(RegistryRoot::local_machine, virtual_roots_key, name, RegistryAccess::plain)
                        .value_or(std::string());
                folder = folder.substr(0, folder.find(','));
            }
            break;
        }
        default: break;
        }
    }
    return folder.empty() ? folder : with_backslash(folder);
}

std::string environment_value(std::string_view name, SystemInformation& machine)
{
    if (!name.empty())
        return machine.expand_environment("%" + std::string(name) + "%");
    std::string joined;
    bool first = true;
    for (const std::string& entry : machine.environment_block()) {
        if (!first)
            joined += vars_text::newline_token;
        joined += entry;
        first = false;
    }
    return joined;
}

} // namespace quillon
