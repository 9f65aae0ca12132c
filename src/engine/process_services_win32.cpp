#include "engine/process_services_win32.h"

#include "base/paths.h"
#include "engine/program_start_win32.h"
#include "interp/process_rules.h"
#include "platform/win32/com.h"
#include "platform/win32/os_services.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/wow64_view_win32.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <chrono>

namespace quillon {

namespace {

// Class names and titles are read up to 260 characters.
constexpr int window_text_length = 260;

// OLE for one registration; a failing OleInitialize fails the registration.
class OleScope {
public:
    OleScope() noexcept : m_result(OleInitialize(nullptr)) {}
    ~OleScope()
    {
        if (SUCCEEDED(m_result))
            OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    bool usable() const noexcept { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

std::string class_name_of(HWND window)
{
    wchar_t text[window_text_length + 1] = {};
    int length = GetClassNameW(window, text, window_text_length + 1);
    return length > 0 ? win32::to_ansi(std::wstring_view(text, static_cast<std::size_t>(length))) : std::string();
}

std::string title_of(HWND window)
{
    wchar_t text[window_text_length + 1] = {};
    int length = GetWindowTextW(window, text, window_text_length + 1);
    return length > 0 ? win32::to_ansi(std::wstring_view(text, static_cast<std::size_t>(length))) : std::string();
}

bool register_loaded_type_library(ITypeLib* library, const std::wstring& path)
{
    // The help folder is the folder of the library's own help file.
    win32::Bstr help_file;
    if (FAILED(library->GetDocumentation(-1, nullptr, nullptr, nullptr, help_file.put())))
        return false;
    std::wstring help_folder = win32::to_wide(folder_part(help_file.ansi()));
    std::wstring file = path;
    return SUCCEEDED(RegisterTypeLib(library, file.data(), help_folder.empty() ? nullptr : help_folder.data()));
}

bool unregister_loaded_type_library(ITypeLib* library)
{
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)) || attributes == nullptr)
        return false;
    TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return SUCCEEDED(UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind));
}

} // namespace

std::vector<std::string> WindowsProcessServices::process_names()
{
    std::vector<std::string> names;
    win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        names.push_back(win32::to_ansi(entry.szExeFile));
    return names;
}

std::vector<TopWindow> WindowsProcessServices::top_level_windows()
{
    std::vector<TopWindow> windows;
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT))
        windows.push_back({reinterpret_cast<std::uintptr_t>(window), class_name_of(window), title_of(window)});
    return windows;
}

void WindowsProcessServices::close_window(std::uintptr_t window)
{
    HWND handle = reinterpret_cast<HWND>(window);
    PostMessageW(handle, WM_CANCELMODE, 0, 0);
    PostMessageW(handle, WM_CLOSE, 0, 0);
}

std::optional<std::uint32_t> WindowsProcessServices::service_state(const std::string& computer,
                                                                   const std::string& service)
{
    std::wstring machine = win32::to_wide(computer);
    win32::UniqueScHandle manager(
        OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return std::nullopt;
    win32::UniqueScHandle handle(OpenServiceW(manager.get(), win32::to_wide(service).c_str(), SERVICE_QUERY_STATUS));
    if (!handle)
        return std::nullopt;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(handle.get(), &status))
        return std::nullopt;
    return status.dwCurrentState;
}

std::string WindowsProcessServices::current_folder()
{
    return win32::current_folder();
}

bool WindowsProcessServices::set_current_folder(const std::string& folder)
{
    return win32::set_current_folder(folder);
}

bool WindowsProcessServices::register_type_library(const std::string& path, RegisterAction action)
{
    OleScope ole;
    if (!ole.usable())
        return false;
    std::wstring file = win32::to_wide(path);
    // Loaded without registering: only the registration asked for happens.
    win32::ComPtr<ITypeLib> library;
    if (FAILED(LoadTypeLibEx(file.c_str(), REGKIND_NONE, library.put())))
        return false;
    return action == RegisterAction::register_server ? register_loaded_type_library(library.get(), file)
                                                     : unregister_loaded_type_library(library.get());
}

bool WindowsProcessServices::start_server_program(const std::string& path, const std::string& command_line)
{
    OleScope ole;
    if (!ole.usable())
        return false;
    std::wstring program = win32::to_wide(path);
    std::wstring line = win32::to_wide(command_line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The program is named by its full path, so nothing is searched for; it is not waited for.
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return false;
    win32::UniqueHandle process(started.hProcess);
    win32::UniqueHandle thread(started.hThread);
    return true;
}

namespace {

// How long the 32-bit registration program may take before the answer is FALSE.
constexpr std::chrono::milliseconds registrar_time_out{120000};
// The window mode that starts it hidden.
constexpr std::int32_t hidden_window = 1;

// A 32-bit server library, which scripts written for a 32-bit engine register
// as a matter of course, cannot be loaded by this 64-bit process: the 32-bit
// regsvr32 of the 32-bit system folder registers it instead, silently, named
// by its full path, through the program start of "Run Program As" (the pages
// keep answering while it runs).
bool register_through_32bit_registrar(const std::string& path, RegisterAction action)
{
    std::string folder = win32::system_folders().system_32;
    if (folder.empty())
        return false;
    std::string registrar = with_backslash(folder) + "regsvr32.exe";
    ProcessStartRequest request;
    request.command_line = registrar_command_line(registrar, path, action);
    request.window_mode = hidden_window;
    request.wait = true;
    auto deadline = std::chrono::steady_clock::now() + registrar_time_out;
    std::shared_ptr<ProcessSystem> system = WindowsProgramStarter().process_system();
    return StartProcess(*system, request, [deadline] { return std::chrono::steady_clock::now() < deadline; }) == 0;
}

} // namespace

bool WindowsProcessServices::call_server_library(const std::string& path, RegisterAction action)
{
    OleScope ole;
    if (!ole.usable())
        return false;
    Result<win32::UniqueHmodule> module = win32::load_library_by_full_path(win32::to_wide(path));
    if (!module && module.error().system_code == ERROR_BAD_EXE_FORMAT)
        return register_through_32bit_registrar(path, action);
    if (!module)
        return false;
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto entry = win32::proc<Entry>(module->get(), action == RegisterAction::register_server ? "DllRegisterServer"
                                                                                             : "DllUnregisterServer");
    return entry != nullptr && entry() == S_OK;
}

} // namespace quillon
