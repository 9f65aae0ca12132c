#include "engine/machine_facts.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_version.h"

#include <windows.h>

namespace quillon {

namespace {

std::string registry_text(HKEY root, const wchar_t* subkey, const wchar_t* name)
{
    win32::UniqueHkey key;
    if (RegOpenKeyExW(root, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return {};
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return win32::to_ansi(text);
}

} // namespace

bool is_elevated_administrator()
{
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    if (!member)
        return false;
    if (!win32::windows_version_at_least(6, 0))
        return true;
    win32::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

std::string current_date_text()
{
    wchar_t buffer[128];
    int length = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128);
    return length > 1 ? win32::to_ansi(std::wstring(buffer, static_cast<std::size_t>(length - 1))) : std::string();
}

std::string current_time_text()
{
    wchar_t buffer[128];
    int length = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 128);
    return length > 1 ? win32::to_ansi(std::wstring(buffer, static_cast<std::size_t>(length - 1))) : std::string();
}

MachineFacts read_machine_facts()
{
    MachineFacts facts;
    facts.all_users = is_elevated_administrator();
    // The registered owner lives under "Windows NT" on NT-family systems.
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    facts.registered_owner = registry_text(HKEY_LOCAL_MACHINE, key, L"RegisteredOwner");
    facts.registered_organization = registry_text(HKEY_LOCAL_MACHINE, key, L"RegisteredOrganization");
    facts.date = current_date_text();
    facts.time = current_time_text();
    facts.tick_count = GetTickCount();
    return facts;
}

} // namespace quillon
