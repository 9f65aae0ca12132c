#include "engine/system_information_win32.h"

#include "base/paths.h"
#include "platform/win32/file_version_info.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/wow64_view_win32.h"

#include <windows.h>

#include <shlobj.h>

#include <cpuid.h>

#include <cstring>
#include <memory>
#include <vector>

namespace quillon {

namespace {

HKEY root_key(RegistryRoot root)
{
    return root == RegistryRoot::local_machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The thread's token when it impersonates, else the process's.
win32::UniqueHandle query_token()
{
    win32::UniqueHandle token;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()))
        return token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    return token;
}

// A token information class read whole (sized by asking first).
std::vector<std::byte> token_information(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0)
        return {};
    std::vector<std::byte> data(size);
    if (!GetTokenInformation(token, kind, data.data(), size, &size))
        return {};
    return data;
}

struct Account {
    std::string user;
    std::string domain;
};

Account token_account()
{
    win32::UniqueHandle token = query_token();
    if (!token)
        return {};
    std::vector<std::byte> data = token_information(token.get(), TokenUser);
    if (data.size() < sizeof(TOKEN_USER))
        return {};
    PSID sid = reinterpret_cast<TOKEN_USER*>(data.data())->User.Sid;
    DWORD user_size = 0;
    DWORD domain_size = 0;
    SID_NAME_USE use{};
    LookupAccountSidW(nullptr, sid, nullptr, &user_size, nullptr, &domain_size, &use);
    if (user_size == 0)
        return {};
    std::wstring user(user_size, L'\0');
    std::wstring domain(domain_size + 1, L'\0');
    if (!LookupAccountSidW(nullptr, sid, user.data(), &user_size, domain.data(), &domain_size, &use))
        return {};
    user.resize(user_size);
    domain.resize(domain_size);
    return {win32::to_ansi(user), win32::to_ansi(domain)};
}

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc()
    {
        if (dc != nullptr)
            ReleaseDC(nullptr, dc);
    }
    ScreenDc() = default;
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
};

} // namespace

WindowsVersion WindowsSystemInformation::windows_version()
{
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
        return {};
#pragma GCC diagnostic pop
    WindowsVersion version;
    version.nt_platform = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.csd_version = std::string(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    version.product_type = info.wProductType;
    return version;
}

bool WindowsSystemInformation::member_of_group(std::uint32_t relative_id)
{
    win32::UniqueHandle token = query_token();
    if (!token)
        return false;
    std::vector<std::byte> data = token_information(token.get(), TokenGroups);
    if (data.size() < sizeof(TOKEN_GROUPS))
        return false;
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID group = nullptr;
    if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, relative_id, 0, 0, 0, 0, 0, 0, &group))
        return false;
    std::unique_ptr<void, decltype(&FreeSid)> owned(group, &FreeSid);
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(data.data());
    for (DWORD k = 0; k < groups->GroupCount; ++k)
        if (EqualSid(groups->Groups[k].Sid, group))
            return true;
    return false;
}

bool WindowsSystemInformation::token_elevated()
{
    win32::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}

std::uint64_t WindowsSystemInformation::physical_memory()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

ScreenFacts WindowsSystemInformation::screen()
{
    ScreenDc screen;
    if (screen.dc == nullptr)
        return {};
    return {GetDeviceCaps(screen.dc, HORZRES), GetDeviceCaps(screen.dc, VERTRES), GetDeviceCaps(screen.dc, BITSPIXEL),
            GetDeviceCaps(screen.dc, LOGPIXELSX)};
}

bool WindowsSystemInformation::system_metric(SystemMetric metric)
{
    return GetSystemMetrics(metric == SystemMetric::tablet_pc ? SM_TABLETPC : SM_MEDIACENTER) != 0;
}

std::optional<std::string> WindowsSystemInformation::registry_text(RegistryRoot root, std::string_view key,
                                                                   std::string_view name, RegistryAccess access)
{
    return win32::registry_text(root_key(root), key, name, view_of(access));
}

std::optional<std::uint32_t> WindowsSystemInformation::registry_number(RegistryRoot root, std::string_view key,
                                                                       std::string_view name, RegistryAccess access)
{
    return win32::registry_dword(root_key(root), key, name, view_of(access));
}

std::optional<FileVersion> WindowsSystemInformation::file_version(const std::string& path)
{
    return win32::file_version(path);
}

std::optional<std::uint16_t> WindowsSystemInformation::file_language(const std::string& path)
{
    return win32::file_language(path);
}

std::string WindowsSystemInformation::language_name(std::uint16_t language)
{
    wchar_t name[256];
    DWORD length = VerLanguageNameW(language, name, 256);
    return length > 0 && length < 256 ? win32::to_ansi(std::wstring_view(name, length)) : std::string();
}

std::string WindowsSystemInformation::user_name()
{
    return token_account().user;
}

std::string WindowsSystemInformation::user_domain()
{
    return token_account().domain;
}

std::string WindowsSystemInformation::computer_name()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? win32::to_ansi(std::wstring_view(name, length)) : std::string();
}

bool WindowsSystemInformation::windows_64_bit()
{
#ifdef _WIN64
    // A 64-bit program runs on 64-bit Windows only.
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::uint16_t WindowsSystemInformation::native_architecture()
{
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
}

HypervisorFacts WindowsSystemInformation::hypervisor()
{
    // CPUID is an ordinary instruction in every mode: no port access, no invalid opcode, no fault handler.
    constexpr unsigned hypervisor_bit = 1u << 31;
    constexpr unsigned vendor_leaf = 0x40000000;
    constexpr unsigned privileges_leaf = 0x40000003;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    HypervisorFacts facts;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & hypervisor_bit) == 0)
        return facts;
    facts.present = true;
    __cpuid(vendor_leaf, eax, ebx, ecx, edx);
    unsigned highest_leaf = eax;
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &ecx, 4);
    std::memcpy(vendor + 8, &edx, 4);
    facts.vendor.assign(vendor, strnlen(vendor, sizeof vendor));
    if (facts.vendor == "Microsoft Hv" && highest_leaf >= privileges_leaf) {
        // The partition privilege mask's bit 32 (EBX bit 0): CreatePartitions, held by the root partition.
        __cpuid(privileges_leaf, eax, ebx, ecx, edx);
        facts.creates_partitions = (ebx & 1u) != 0;
    }
    return facts;
}

std::string WindowsSystemInformation::shell_folder(std::int32_t csidl)
{
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr)
        return {};
    std::unique_ptr<void, decltype(&CoTaskMemFree)> owned(items, &CoTaskMemFree);
    wchar_t path[MAX_PATH];
    if (!SHGetPathFromIDListW(items, path))
        return {};
    return without_backslash(win32::to_ansi(path));
}

SystemFolders WindowsSystemInformation::system_folders()
{
    return win32::system_folders();
}

std::string WindowsSystemInformation::files_folder(FilesFolder which)
{
    return win32::files_folder(which, m_view);
}

bool WindowsSystemInformation::cd_rom_drive(char letter)
{
    wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_CDROM;
}

std::string WindowsSystemInformation::expand_environment(std::string_view text)
{
    std::wstring wide = win32::to_wide(text);
    DWORD size = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return std::string(text);
    std::wstring expanded(size, L'\0');
    DWORD written = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), size);
    if (written == 0 || written > size)
        return std::string(text);
    expanded.resize(written - 1);
    return win32::to_ansi(expanded);
}

std::vector<std::string> WindowsSystemInformation::environment_block()
{
    std::vector<std::string> entries;
    wchar_t* block = GetEnvironmentStringsW();
    if (block == nullptr)
        return entries;
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1)
        entries.push_back(win32::to_ansi(entry));
    FreeEnvironmentStringsW(block);
    return entries;
}

} // namespace quillon
