#include "harness/harness.h"

#include "platform/win32/unique_handle.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace quillon::test {

namespace {

std::filesystem::path env_path(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    if (value == nullptr || *value == L'\0')
        throw std::runtime_error("environment variable not set by ctest: " + to_utf8(name));
    return std::filesystem::path(value);
}

// The processes of this test and everything it started, directly or through
// a program it started. Tests run side by side in one Wine prefix, so a
// window search without this finds another test's setup.
class OwnProcesses {
public:
    OwnProcesses()
    {
        std::unordered_map<DWORD, DWORD> parents;
        win32::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        if (snapshot && Process32FirstW(snapshot.get(), &entry)) {
            do
                parents[entry.th32ProcessID] = entry.th32ParentProcessID;
            while (Process32NextW(snapshot.get(), &entry));
        }
        DWORD self = GetCurrentProcessId();
        for (const auto& [process, parent] : parents) {
            DWORD at = process;
            // Bounded: a reused process id can close a loop.
            for (int depth = 0; depth < 16 && at != 0; ++depth) {
                if (at == self) {
                    own_.insert(process);
                    break;
                }
                auto up = parents.find(at);
                at = up == parents.end() ? 0 : up->second;
            }
        }
        own_.insert(self);
    }

    bool owns(HWND window) const
    {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        return own_.count(process) != 0;
    }

private:
    std::unordered_set<DWORD> own_;
};

} // namespace

std::string to_utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int count =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), count, nullptr, nullptr);
    return out;
}

std::filesystem::path dist_file(const std::wstring& name)
{
    return env_path(L"QUILLON_DIST") / name;
}

std::filesystem::path test_data(const std::wstring& relative)
{
    return env_path(L"QUILLON_TEST_DATA") / relative;
}

std::filesystem::path test_plugin_file()
{
    return env_path(L"QUILLON_TEST_PLUGIN");
}

std::filesystem::path fresh_scratch_dir(const std::wstring& name)
{
    std::filesystem::path dir = env_path(L"QUILLON_SCRATCH") / name;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::filesystem::create_directories(dir);
    return dir;
}

std::filesystem::path child_temp_dir()
{
    static const std::filesystem::path dir = [] {
        std::filesystem::path path = env_path(L"QUILLON_SCRATCH") / (L"temp-" + std::to_wstring(GetCurrentProcessId()));
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

namespace {

// This process's environment with TEMP and TMP pointing at child_temp_dir().
std::wstring child_environment()
{
    std::wstring temp = child_temp_dir().wstring();
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p != L'\0'; p += std::wcslen(p) + 1) {
        std::wstring variable(p);
        std::wstring name = variable.substr(0, variable.find(L'='));
        if (_wcsicmp(name.c_str(), L"TEMP") != 0 && _wcsicmp(name.c_str(), L"TMP") != 0)
            block += variable + L'\0';
    }
    FreeEnvironmentStringsW(own);
    block += L"TEMP=" + temp + L'\0' + L"TMP=" + temp + L'\0' + L'\0';
    return block;
}

} // namespace

RunOutcome run_program(const ProgramRun& run)
{
    StartedProgram started = start_program(run);
    return started.wait(run.timeout);
}

RunOutcome StartedProgram::wait(std::chrono::milliseconds timeout)
{
    RunOutcome outcome;
    DWORD waited = WaitForSingleObject(process.get(), static_cast<DWORD>(timeout.count()));
    if (waited != WAIT_OBJECT_0) {
        outcome.timed_out = true;
        TerminateProcess(process.get(), 259);
        WaitForSingleObject(process.get(), 10000);
    }
    GetExitCodeProcess(process.get(), &outcome.exit_code);
    return outcome;
}

StartedProgram start_program(const ProgramRun& run)
{
    std::wstring command_line = L"\"" + run.program.wstring() + L"\"";
    if (!run.arguments.empty())
        command_line += L" " + run.arguments;
    std::filesystem::path working_dir = run.working_dir.empty() ? run.program.parent_path() : run.working_dir;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring environment = child_environment();
    // Wine now and then fails a process start under load with ERROR_INTERNAL_ERROR
    // (the new process died before it was set up); a second start works.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        started = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                 environment.data(), working_dir.wstring().c_str(), &startup, &info);
        error = started ? 0 : GetLastError();
        if (!started && error != ERROR_INTERNAL_ERROR)
            break;
    }
    if (!started)
        throw std::runtime_error("CreateProcess failed for " + to_utf8(run.program.wstring()) + ", error " +
                                 std::to_string(error));
    win32::UniqueHandle thread(info.hThread);
    return StartedProgram{win32::UniqueHandle(info.hProcess)};
}

std::optional<std::string> read_file_bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::optional<std::string> read_utf16_file(const std::filesystem::path& path)
{
    auto bytes = read_file_bytes(path);
    if (!bytes)
        return std::nullopt;
    std::wstring wide(bytes->size() / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>((*bytes)[2 * i]) |
                                       (static_cast<unsigned char>((*bytes)[2 * i + 1]) << 8));
    return to_utf8(wide);
}

std::optional<std::wstring> registry_string(HKEY root, const std::wstring& subkey, const std::wstring& value,
                                            REGSAM view)
{
    win32::UniqueHkey key;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

std::optional<DWORD> registry_dword(HKEY root, const std::wstring& subkey, const std::wstring& value, REGSAM view)
{
    win32::UniqueHkey key;
    if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key.get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return data;
}

bool registry_key_exists(HKEY root, const std::wstring& subkey, REGSAM view)
{
    win32::UniqueHkey key;
    return RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

void registry_delete_tree(HKEY root, const std::wstring& subkey, REGSAM view)
{
    RegDeleteKeyExW(root, subkey.c_str(), view, 0);
    RegDeleteTreeW(root, subkey.c_str());
}

HWND find_own_window(const wchar_t* class_name, const std::function<bool(HWND)>& accept)
{
    OwnProcesses own;
    for (HWND window = FindWindowExW(nullptr, nullptr, class_name, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, class_name, nullptr)) {
        if (IsWindowVisible(window) && own.owns(window) && accept(window))
            return window;
    }
    return nullptr;
}

HWND wait_for_window(const std::wstring& title_part, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        HWND found = find_own_window(
            nullptr, [&](HWND window) { return window_text(window).find(title_part) != std::wstring::npos; });
        if (found != nullptr || std::chrono::steady_clock::now() >= deadline)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

namespace {

// The engine names its windows with global atoms kept in window properties.
std::wstring atom_property(HWND window, const wchar_t* property)
{
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(window, property)));
    if (atom == 0)
        return {};
    wchar_t name[256] = {};
    UINT length = GlobalGetAtomNameW(atom, name, 256);
    return std::wstring(name, length);
}

} // namespace

bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left <= std::chrono::milliseconds(0))
            return false;
        // In slices: the condition may change without a message to this thread.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<long long>(left.count(), 50)),
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

std::wstring control_name(HWND control)
{
    return atom_property(control, L"QuillonControlName");
}

HWND find_control(HWND dialog, const std::wstring& name)
{
    struct Search {
        const std::wstring* name;
        HWND found = nullptr;
    } search{&name};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (CompareStringOrdinal(control_name(child).c_str(), -1, s->name->c_str(), -1, TRUE) == CSTR_EQUAL) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND current_page(std::wstring* form_file)
{
    HWND page = find_own_window(L"TPoolTemplate", [](HWND) { return true; });
    if (form_file != nullptr)
        *form_file = page != nullptr ? atom_property(page, L"QuillonDialog") : std::wstring();
    return page;
}

HWND wait_for_page(const std::wstring& form_file, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::wstring file;
        HWND page = current_page(&file);
        if (page != nullptr && IsWindowVisible(page) &&
            CompareStringOrdinal(file.c_str(), -1, form_file.c_str(), -1, TRUE) == CSTR_EQUAL) {
            // Let the page finish its own start before it is driven: its thread
            // answers only once it is back in its message loop, whatever the load.
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(page, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            return page;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void type_text(HWND control, const std::wstring& text)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &answer);
}

std::wstring control_text(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

void click(HWND control)
{
    PostMessageW(control, BM_CLICK, 0, 0);
}

bool is_checked(HWND control)
{
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    return answer == BST_CHECKED;
}

bool save_window_bitmap(HWND window, const std::filesystem::path& file)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
    DWORD size = row * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
                            0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return static_cast<bool>(out);
}

std::wstring window_text(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

} // namespace quillon::test
