// The assembly-cache utilities mgac.exe and mgacy.exe. The engine carries both as
// resources, writes them into the support folder and runs them hidden when it
// removes a product's .NET assemblies from the global assembly cache:
//
//     mgacy.exe /u <name>,Version=<version>    remove the assembly from the cache
//     mgacy.exe /i <assembly file>             install the file into the cache
//
// Both programs are this file. They reach the cache through the .NET Framework's
// own fusion.dll (CreateAssemblyCache) and differ only in the framework they try
// first: mgacy.exe 4.0, mgac.exe (QUILLON_GACUTIL_PREFER_V2) 2.0. Removal then
// goes through every framework's cache that can be loaded, because the 4.0 cache
// does not see assemblies built for runtime 2.0 and the caller needs "gone" to
// mean gone. After the removal each cache is asked again: a cache that still
// lists the assembly decides, whatever the removal call reported.
//
// One line of result goes to standard output. Exit codes:
//   0  /u: no cache lists the assembly any more (removed, or it was not there);
//      /i: the assembly was installed
//   1  bad command line
//   2  no assembly cache: no fusion.dll could be loaded or none gave a cache
//   3  /u: a cache still lists the assembly (in use, or held by an installer's reference)
//   4  the cache refused the request (access denied, malformed name, not an assembly, ...)
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <fusion.h>

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using quillon::Result;
using quillon::win32::UniqueHmodule;

// The utilities run from the engine's support folder: as in the engine, no
// library by bare name may come from there or from the current folder.
[[gnu::constructor(101)]] void restrict_library_search_first()
{
    quillon::win32::restrict_library_search();
}

enum ExitCode : int {
    exit_done = 0,
    exit_bad_arguments = 1,
    exit_no_cache = 2,
    exit_still_cached = 3,
    exit_refused = 4,
};

// Releases a COM interface pointer at the end of its scope.
template <typename T>
class Releasing {
public:
    Releasing() noexcept = default;
    Releasing(const Releasing&) = delete;
    Releasing& operator=(const Releasing&) = delete;
    ~Releasing()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    T* get() const noexcept { return m_pointer; }
    T* operator->() const noexcept { return m_pointer; }
    T** put() noexcept { return &m_pointer; }

private:
    T* m_pointer = nullptr;
};

using CreateAssemblyCacheFunction = HRESULT(WINAPI*)(IAssemblyCache**, DWORD);
using CreateAssemblyEnumFunction = HRESULT(WINAPI*)(IAssemblyEnum**, IUnknown*, IAssemblyName*, DWORD, void*);
using CreateAssemblyNameObjectFunction = HRESULT(WINAPI*)(IAssemblyName**, const wchar_t*, DWORD, void*);

// One framework's fusion.dll. The enumeration entries are optional: without
// them a removal is judged by what the removal call reported.
struct Fusion {
    std::wstring path;
    UniqueHmodule module;
    CreateAssemblyCacheFunction create_cache = nullptr;
    CreateAssemblyEnumFunction create_enum = nullptr;
    CreateAssemblyNameObjectFunction create_name = nullptr;
};

std::wstring windows_folder()
{
    wchar_t buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring folder(buffer, length);
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

// The framework folders first: fusion.dll is not on the search path of a real
// Windows. A 64-bit program can only load the Framework64 copies; the 32-bit
// ones then fail to load and are skipped. The plain name comes last, from the
// system folder only.
std::vector<std::wstring> fusion_candidates()
{
#ifdef QUILLON_GACUTIL_PREFER_V2
    const wchar_t* const versions[] = {L"v2.0.50727", L"v4.0.30319"};
#else
    const wchar_t* const versions[] = {L"v4.0.30319", L"v2.0.50727"};
#endif
    std::vector<std::wstring> candidates;
    std::wstring windows = windows_folder();
    if (!windows.empty()) {
        for (const wchar_t* version : versions) {
#ifdef _WIN64
            candidates.push_back(windows + L"Microsoft.NET\\Framework64\\" + version + L"\\fusion.dll");
#endif
            candidates.push_back(windows + L"Microsoft.NET\\Framework\\" + version + L"\\fusion.dll");
        }
    }
    candidates.emplace_back(L"fusion.dll");
    return candidates;
}

// Every distinct fusion.dll that loads and offers CreateAssemblyCache, preferred first.
std::vector<Fusion> load_fusions()
{
    std::vector<Fusion> fusions;
    for (std::wstring& candidate : fusion_candidates()) {
        bool full_path = candidate.find(L'\\') != std::wstring::npos;
        // By full path a framework's fusion.dll finds its neighbours in its own folder.
        Result<UniqueHmodule> loaded = full_path ? quillon::win32::load_library_by_full_path(candidate)
                                                 : quillon::win32::load_system_library(candidate);
        if (!loaded)
            continue;
        UniqueHmodule module = std::move(*loaded);
        bool seen = false;
        for (const Fusion& fusion : fusions)
            seen = seen || fusion.module.get() == module.get();
        if (seen)
            continue; // the same file under another name; its reference goes with `module`
        Fusion fusion;
        fusion.create_cache = quillon::win32::proc<CreateAssemblyCacheFunction>(module.get(), "CreateAssemblyCache");
        fusion.create_enum = quillon::win32::proc<CreateAssemblyEnumFunction>(module.get(), "CreateAssemblyEnum");
        fusion.create_name =
            quillon::win32::proc<CreateAssemblyNameObjectFunction>(module.get(), "CreateAssemblyNameObject");
        if (!fusion.create_cache)
            continue;
        fusion.path = std::move(candidate);
        fusion.module = std::move(module);
        fusions.push_back(std::move(fusion));
    }
    return fusions;
}

// Whether the cache lists an assembly of that display name; empty when it cannot tell.
std::optional<bool> cache_lists(const Fusion& fusion, const std::wstring& name)
{
    if (!fusion.create_enum || !fusion.create_name)
        return std::nullopt;
    Releasing<IAssemblyName> name_object;
    if (FAILED(fusion.create_name(name_object.put(), name.c_str(), CANOF_PARSE_DISPLAY_NAME, nullptr)) ||
        !name_object.get())
        return std::nullopt;
    Releasing<IAssemblyEnum> assemblies;
    HRESULT result = fusion.create_enum(assemblies.put(), nullptr, name_object.get(), ASM_CACHE_GAC, nullptr);
    if (FAILED(result))
        return std::nullopt;
    // Some frameworks answer S_FALSE and no enumerator when nothing matches.
    if (result == S_FALSE || !assemblies.get())
        return false;
    Releasing<IAssemblyName> found;
    result = assemblies->GetNextAssembly(nullptr, found.put(), 0);
    if (FAILED(result))
        return std::nullopt;
    return result == S_OK;
}

struct Removal {
    int code = exit_done;
    HRESULT result = S_OK;
    ULONG disposition = 0;
};

Removal remove_from(const Fusion& fusion, const std::wstring& name)
{
    Releasing<IAssemblyCache> cache;
    HRESULT result = fusion.create_cache(cache.put(), 0);
    if (FAILED(result) || !cache.get())
        return {exit_no_cache, FAILED(result) ? result : E_FAIL, 0};

    Removal removal;
    removal.result = cache->UninstallAssembly(0, name.c_str(), nullptr, &removal.disposition);
    std::optional<bool> listed = cache_lists(fusion, name);
    if (listed) {
        removal.code = *listed ? exit_still_cached : exit_done;
        // Still there after a refused call: say why (access denied), not "in use".
        if (*listed && FAILED(removal.result))
            removal.code = exit_refused;
        return removal;
    }
    if (FAILED(removal.result))
        removal.code = exit_refused;
    else if (removal.disposition != IASSEMBLYCACHE_UNINSTALL_DISPOSITION_UNINSTALLED &&
             removal.disposition != IASSEMBLYCACHE_UNINSTALL_DISPOSITION_ALREADY_UNINSTALLED)
        removal.code = exit_still_cached;
    return removal;
}

const wchar_t* disposition_text(ULONG disposition)
{
    switch (disposition) {
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_UNINSTALLED: return L"uninstalled";
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_STILL_IN_USE: return L"still in use";
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_ALREADY_UNINSTALLED: return L"not installed";
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_DELETE_PENDING: return L"delete pending";
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_HAS_INSTALL_REFERENCES: return L"required by other applications";
    case IASSEMBLYCACHE_UNINSTALL_DISPOSITION_REFERENCE_NOT_FOUND: return L"reference not found";
    default: return L"no disposition";
    }
}

std::wstring hresult_text(HRESULT result)
{
    wchar_t buffer[16];
    swprintf(buffer, 16, L"0x%08lX", static_cast<unsigned long>(result));
    return buffer;
}

void print_line(const std::wstring& line)
{
    std::wstring text = line + L"\r\n";
    int count =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return;
    std::string bytes(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), count, nullptr, nullptr);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE)
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int uninstall(const std::wstring& name)
{
    std::vector<Fusion> fusions = load_fusions();
    int code = exit_no_cache;
    std::wstring detail = L"no assembly cache (fusion.dll) found";
    bool removed = false;
    bool opened = false;
    for (const Fusion& fusion : fusions) {
        Removal removal = remove_from(fusion, name);
        if (removal.code == exit_no_cache)
            continue;
        removed = removed || (removal.code == exit_done &&
                              removal.disposition != IASSEMBLYCACHE_UNINSTALL_DISPOSITION_ALREADY_UNINSTALLED);
        if (!opened || (code == exit_done && removal.code != exit_done)) {
            code = removal.code;
            detail = std::wstring(disposition_text(removal.disposition)) + L", " + hresult_text(removal.result) +
                     L", " + fusion.path;
        }
        opened = true;
    }
    if (code == exit_done)
        print_line((removed ? L"Uninstalled: " : L"Not installed: ") + name);
    else if (code == exit_still_cached)
        print_line(L"Still in the assembly cache: " + name + L" (" + detail + L")");
    else
        print_line(L"Failed to uninstall " + name + L" (" + detail + L")");
    return code;
}

int install(const std::wstring& file)
{
    std::vector<Fusion> fusions = load_fusions();
    if (fusions.empty()) {
        print_line(L"Failed to install " + file + L" (no assembly cache (fusion.dll) found)");
        return exit_no_cache;
    }
    HRESULT last = E_FAIL;
    bool opened = false;
    for (const Fusion& fusion : fusions) {
        Releasing<IAssemblyCache> cache;
        if (FAILED(fusion.create_cache(cache.put(), 0)) || !cache.get())
            continue;
        opened = true;
        last = cache->InstallAssembly(IASSEMBLYCACHE_INSTALL_FLAG_REFRESH, file.c_str(), nullptr);
        if (SUCCEEDED(last)) {
            print_line(L"Installed: " + file);
            return exit_done;
        }
    }
    print_line(L"Failed to install " + file + L" (" + hresult_text(last) + L")");
    return opened ? exit_refused : exit_no_cache;
}

bool is_blank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// The command line as the engine writes it: a switch and one argument, the rest
// of the line (an assembly name may contain blanks); surrounding quotes are dropped.
struct Request {
    wchar_t action = 0; // 'u' or 'i'
    std::wstring argument;
};

std::optional<Request> parse_command_line(std::wstring_view line)
{
    std::size_t at = 0;
    // The program's own name: quoted, or up to the first blank.
    if (at < line.size() && line[at] == L'"') {
        std::size_t close = line.find(L'"', at + 1);
        at = close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (at < line.size() && !is_blank(line[at]))
        ++at;
    while (at < line.size() && is_blank(line[at]))
        ++at;

    if (line.size() - at < 2 || (line[at] != L'/' && line[at] != L'-'))
        return std::nullopt;
    wchar_t action = line[at + 1];
    if (action >= L'A' && action <= L'Z')
        action = static_cast<wchar_t>(action - L'A' + L'a');
    at += 2;
    if ((action != L'u' && action != L'i') || (at < line.size() && !is_blank(line[at])))
        return std::nullopt;

    std::wstring_view argument = line.substr(at);
    while (!argument.empty() && is_blank(argument.front()))
        argument.remove_prefix(1);
    while (!argument.empty() && is_blank(argument.back()))
        argument.remove_suffix(1);
    if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
        argument = argument.substr(1, argument.size() - 2);
    if (argument.empty() || argument.find(L'"') != std::wstring_view::npos)
        return std::nullopt;
    return Request{action, std::wstring(argument)};
}

} // namespace

int wmain()
{
    // A framework folder of the wrong bitness must fail quietly, never with a box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    try {
        std::optional<Request> request = parse_command_line(GetCommandLineW());
        if (!request) {
            print_line(L"Usage: /u <name>,Version=<version> | /i <assembly file>");
            return exit_bad_arguments;
        }
        return request->action == L'u' ? uninstall(request->argument) : install(request->argument);
    } catch (const std::exception&) {
        return exit_refused; // out of memory: the request was not carried out
    }
}
