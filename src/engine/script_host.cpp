#include "engine/script_host.h"
#include "vars/reserved_names.h"

#include "engine/feature_menu.h"
#include "engine/machine_facts.h"
#include "base/strings.h"
#include "engine/support_folder.h"
#include "media/archive_library.h"
#include "platform/win32/plugin_library.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_version.h"
#include "platform/win32/wide.h"
#include "script/compile_pass.h"
#include "vars/mEval.h"
#include "vars/predefined.h"
#include "vars/texts.h"

#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace quillon {

namespace {

// Run-time lookups: these functions are missing on older systems.
template <typename Function>
Function kernel32_function(const char* name)
{
    return win32::proc<Function>(GetModuleHandleW(L"kernel32.dll"), name);
}

bool running_under_wow64()
{
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto is_wow64 = kernel32_function<IsWow64ProcessFunction>("IsWow64Process");
    BOOL wow64 = FALSE;
    return is_wow64 != nullptr && is_wow64(GetCurrentProcess(), &wow64) && wow64;
}

} // namespace

Result<std::vector<std::string>> read_crlf_lines(const std::string& path)
{
    std::ifstream file(fs_path(path), std::ios::binary);
    if (!file)
        return make_error(ErrorCode::io, "Cannot open " + path);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// The current dialog, which owns message boxes; none when WINDOWHANDLE names no window.
HWND current_window(const TVariableManager& vars)
{
    auto handle = parse_int64(GetVar(vars, var::window_handle));
    HWND window = handle ? reinterpret_cast<HWND>(static_cast<std::intptr_t>(*handle)) : nullptr;
    return window != nullptr && IsWindow(window) ? window : nullptr;
}


WindowsScriptHost::WindowsScriptHost(ScriptHostSetup setup)
    : m_setup(std::move(setup)),
      m_localization(m_setup.support_folder, m_setup.script.product_title(), read_crlf_lines,
                     [this](std::string_view text) { return ExpandBuildConstants(text, m_setup.script); }),
      m_localized(quillon::file_exists(m_localization.matrix_path())), m_startup_messages(m_setup.messages),
      m_silent(m_setup.silent),
      m_main_thread(GetCurrentThreadId()), m_attention(m_setup.vars)
{
    Result<std::unique_ptr<TImageListPool>> pool = TImageListPool::Create(&m_setup.messages);
    if (pool) {
        m_pool = std::move(*pool);
        m_pool_window = m_pool->window();
        // A click on the tray icon brings back the current dialog.
        // A page that came while the wizard was in the tray is shown first.
        m_pool->set_restore_target(
            [&vars = m_setup.vars] { return current_window(vars); },
            [this] {
                if (m_setup.dialogs != nullptr)
                    m_setup.dialogs->show_pending();
            },
            [this] { m_in_tray = false; });
    } else {
        m_setup.trace.line("    Hidden main form not created: " + pool.error().message);
    }
}

namespace {

// Each worker kind has its own timer on the hidden main form.
PoolTimer timer_of(WorkerKind kind)
{
    switch (kind) {
    case WorkerKind::run_app: return PoolTimer::tra;
    case WorkerKind::run_as: return PoolTimer::trax;
    case WorkerKind::direct_extract: return PoolTimer::tdem;
    case WorkerKind::find_files: return PoolTimer::tfaf;
    case WorkerKind::plugin: return PoolTimer::plug;
    case WorkerKind::copy_media: return PoolTimer::thz;
    case WorkerKind::grab_media: return PoolTimer::thy;
    case WorkerKind::extract_media: return PoolTimer::thx;
    }
    return PoolTimer::plug;
}

TaskbarState taskbar_state(TaskbarMode mode)
{
    switch (mode) {
    case TaskbarMode::indeterminate: return TaskbarState::indeterminate;
    case TaskbarMode::error: return TaskbarState::error;
    case TaskbarMode::paused: return TaskbarState::paused;
    case TaskbarMode::normal: return TaskbarState::normal;
    }
    return TaskbarState::normal;
}

// The longest a worker's wait goes without its cancel check.
constexpr DWORD wait_slice_ms = 50;

} // namespace

void WindowsScriptHost::wait_step(WorkerSignal& ended)
{
    MSG message;
    if (m_silent) {
        // No window to keep alive: wait for the worker in slices, letting the
        // pool's timers run between them so that a cancel still gives up a
        // worker that hangs.
        ended.wait_for(std::chrono::milliseconds(wait_slice_ms));
        pump_messages();
        return;
    }
    // One message, waiting for it at most one slice: the cancel check and the
    // watchdogs after each step must run even while no message comes (a
    // worker's reports post nothing). The worker's end posts WM_NULL, which
    // ends the wait at once.
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjectsEx(0, nullptr, wait_slice_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            return;
    }
    if (message.message == WM_QUIT) {
        // WM_QUIT belongs to the outer loop: leave it for that loop and wait without messages.
        PostQuitMessage(static_cast<int>(message.wParam));
        ended.wait_for(std::chrono::milliseconds(wait_slice_ms));
        return;
    }
    // Tab and arrow keys move between the controls of a modeless page.
    HWND page = m_setup.dialogs != nullptr ? m_setup.dialogs->screen_window() : nullptr;
    if (page != nullptr && IsDialogMessageW(page, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void WindowsScriptHost::wake_main_thread()
{
    if (m_pool_window != nullptr)
        PostMessageW(m_pool_window, WM_NULL, 0, 0);
    else
        PostThreadMessageW(m_main_thread, WM_NULL, 0, 0);
}

void WindowsScriptHost::arm_worker_timer(WorkerKind kind, std::function<void()> on_tick)
{
    if (m_pool)
        m_pool->arm(timer_of(kind), std::move(on_tick));
}

void WindowsScriptHost::disarm_worker_timer(WorkerKind kind)
{
    if (m_pool)
        m_pool->disarm(timer_of(kind));
}

bool WindowsScriptHost::worker_timer_armed(WorkerKind kind) const
{
    return m_pool && m_pool->armed(timer_of(kind));
}

void WindowsScriptHost::set_attention(bool error)
{
    TaskbarMode mode = m_attention.set(error);
    if (HWND window = current_window(m_setup.vars); window != nullptr && m_pool)
        m_pool->set_taskbar_state(window, taskbar_state(mode));
}

void WindowsScriptHost::clear_attention()
{
    TaskbarMode mode = m_attention.clear();
    if (HWND window = current_window(m_setup.vars); window != nullptr && m_pool)
        m_pool->set_taskbar_state(window, taskbar_state(mode));
}

void WindowsScriptHost::show_error_message(const std::string& text)
{
    std::string one_line = text;
    for (char& c : one_line)
        if (c == '\r')
            c = ' ';
    m_setup.trace.line("    " + one_line);
    if (m_silent)
        return;
    MessageBoxW(current_window(m_setup.vars), win32::to_wide(text).c_str(),
                win32::to_wide(StandardCaption(m_setup.vars)).c_str(), MB_OK | MB_ICONERROR);
}

bool WindowsScriptHost::file_exists(const std::string& path)
{
    return quillon::file_exists(path);
}

bool WindowsScriptHost::windows_7_or_later() const
{
    return win32::windows_version_at_least(6, 1);
}

PluginCaller WindowsScriptHost::plugin_caller() const
{
    // Refers to nothing of the host: a worker given up after a cancel may still be inside it.
    return [](const PluginInvocation& invocation) {
        PluginCall call{invocation.library_path, invocation.window, invocation.variables, invocation.parameter,
                        invocation.progress};
        return RunPluginLibrary(call);
    };
}

ArchiveExtractor WindowsScriptHost::archive_extractor() const
{
    // The archive library beside the engine, loaded by the worker for its one
    // extraction; like the plug-in caller this keeps nothing of the host.
    std::string library = m_setup.exe_file.substr(0, m_setup.exe_file.find_last_of('\\') + 1) + "qvo.lib";
    return [library](const ArchiveExtraction& job, const ArchiveProgress& progress) -> Result<void> {
        ArchiveLibrary archives = TRY(ArchiveLibrary::load(library));
        std::wstring target = win32::to_wide(job.target_folder);
        int created = SHCreateDirectoryExW(nullptr, target.c_str(), nullptr);
        if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS)
            return make_error(ErrorCode::win32, "Cannot create the folder " + job.target_folder,
                              static_cast<std::uint32_t>(created));
        return archives.ExtractWholeArchive(job.archive, job.password, job.target_folder, progress, job.overwrite,
                                            job.keep_paths);
    };
}

std::string WindowsScriptHost::engine_text(EngineText which) const
{
    switch (which) {
    case EngineText::runtime_error_heading: return m_setup.messages.text(MessageLine::runtime_error_in_script);
    case EngineText::percent_complete: return m_setup.messages.text(MessageLine::percent_complete);
    case EngineText::general_setup_failure: return m_setup.messages.text(MessageLine::general_setup_failure);
    }
    return {};
}

void WindowsScriptHost::pump_messages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

Result<void> WindowsScriptHost::refresh_switches()
{
    TVariableManager& vars = m_setup.vars;
    std::string log_file = GetVar(vars, var::logged);
    if (log_file != m_log_file) {
        m_log_file = log_file;
        m_setup.trace.set_log_file(log_file);
    }
    m_silent = text_is_true(GetVar(vars, var::silent));
    vars.set_silent(m_silent);
    if (m_setup.dialogs != nullptr)
        m_setup.dialogs->set_silent(m_silent);
    // FIXME: OVERRIDECACHE, ENGINECACHE and UNINSTALLLINK follow once the engine cache exists.
    // Reading the clock and formatting are dear next to a simple command: the
    // clock is read when the tick count moved, the texts formatted when the second changed.
    ULONGLONG tick = GetTickCount64();
    if (tick != m_clock_tick || m_date.empty()) {
        m_clock_tick = tick;
        SYSTEMTIME now;
        GetLocalTime(&now);
        now.wMilliseconds = 0;
        static_assert(sizeof now == sizeof m_formatted_at);
        if (std::memcmp(&now, m_formatted_at.data(), sizeof now) != 0) {
            std::memcpy(m_formatted_at.data(), &now, sizeof now);
            m_date = current_date_text();
            m_time = current_time_text();
        }
    }
    DefineVar(vars, var::date, m_date, origin::initialization);
    DefineVar(vars, var::time, m_time, origin::initialization);
    std::optional<std::string> current = vars.lookup(var::language);
    if (!current) {
        DefineVar(vars, var::language, "", origin::initialization);
        return {};
    }
    return load_language(*current);
}

// A language's tables, and its engine messages when it brings a message file
// (else the messages of the start-up). A language whose tables cannot be read
// is a file error: the script asked for texts the setup does not carry.
Result<void> WindowsScriptHost::load_language(const std::string& language)
{
    if (language.empty() || language == m_localization.loaded_language())
        return {};
    std::optional<std::string> message_file = TRY(m_localization.LoadLanguageTables(language, quillon::file_exists));
    m_setup.messages = m_startup_messages;
    if (message_file) {
        std::ifstream file{fs_path(*message_file), std::ios::binary};
        if (!file)
            return make_error(ErrorCode::io, "Cannot open " + *message_file);
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // The block named like the language, else the file's last block.
        LoadMessageTable(m_setup.messages, text, language);
    }
    return {};
}

void WindowsScriptHost::report_runtime_error(const std::string& report)
{
    show_error_message(report);
}

bool WindowsScriptHost::language_set() const
{
    return !GetVar(m_setup.vars, var::language).empty() && m_localization.language_loaded();
}

Result<std::string> WindowsScriptHost::translate(const std::string& text, std::string_view key, std::size_t ordinal)
{
    return m_localization.LocalizeText(text, key, ordinal);
}

bool WindowsScriptHost::disable_redirection()
{
    if (m_redirection_cookie != nullptr || !running_under_wow64())
        return false;
    using DisableFunction = BOOL(WINAPI*)(PVOID*);
    auto disable = kernel32_function<DisableFunction>("Wow64DisableWow64FsRedirection");
    return disable != nullptr && disable(&m_redirection_cookie);
}

void WindowsScriptHost::revert_redirection()
{
    using RevertFunction = BOOL(WINAPI*)(PVOID);
    auto revert = kernel32_function<RevertFunction>("Wow64RevertWow64FsRedirection");
    if (revert != nullptr)
        revert(m_redirection_cookie);
    m_redirection_cookie = nullptr;
}

void WindowsScriptHost::restart_computer()
{
    HANDLE raw_token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw_token)) {
        win32::UniqueHandle token(raw_token);
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
            AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
    // A refused restart leaves the script ended; the run finishes normally.
    ExitWindowsEx(EWX_REBOOT, 0);
}

void WindowsScriptHost::write_resume_entry(bool all_users, const std::string& name, const std::string& command)
{
    win32::UniqueHkey key;
    if (RegCreateKeyExW(all_users ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\", 0, nullptr, 0, KEY_WRITE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return;
    std::wstring data = win32::to_wide(command);
    RegSetValueExW(key.get(), win32::to_wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

std::string WindowsScriptHost::resume_program() const
{
    return m_setup.package_path.empty() ? m_setup.exe_file : m_setup.package_path;
}

std::optional<std::string> WindowsScriptHost::short_path(const std::string& path)
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetShortPathNameW(win32::to_wide(path).c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return win32::to_ansi(std::wstring_view(buffer, length));
}

std::optional<std::string> WindowsScriptHost::found_name(const std::string& path)
{
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW(win32::to_wide(path).c_str(), &data));
    if (!find)
        return std::nullopt;
    return win32::to_ansi(data.cFileName);
}

std::string WindowsScriptHost::create_temp_file(const std::string& folder, const std::string& prefix)
{
    wchar_t buffer[MAX_PATH];
    if (GetTempFileNameW(win32::to_wide(folder).c_str(), win32::to_wide(prefix).c_str(), 0, buffer) == 0)
        return {};
    return win32::to_ansi(buffer);
}

void WindowsScriptHost::attach_executor(TScriptExecutor& executor)
{
    if (m_setup.dialogs == nullptr)
        return;
    m_setup.dialogs->set_silent(m_silent);
    m_setup.dialogs->set_components(&executor.components());
    m_setup.dialogs->set_busy_flag([&executor] { return executor.workers().busy(); });
    m_setup.dialogs->set_in_tray([this] { return m_in_tray; });
    m_setup.dialogs->set_feature_menu([this, &executor](HWND owner, POINT screen,
                                                       const std::vector<ComponentTreeNode>& nodes, std::size_t node) {
        if (!m_pool)
            return false;
        std::optional<FeatureMenuAction> action = m_pool->track_popup_menu(owner, screen);
        if (!action)
            return false;
        std::vector<FeatureTreeNode> tree(nodes.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            tree[i].parent = nodes[i].parent;
            tree[i].component = nodes[i].component;
            if (nodes[i].parent && *nodes[i].parent < nodes.size())
                tree[*nodes[i].parent].children.push_back(i);
        }
        TComponentModel& model = executor.components();
        ApplyFeatureMenuAction(
            tree, node, *action, [&model](std::size_t component, bool selected) { model.set_selected(component, selected); },
            [&model](std::size_t component) {
                return component < model.names().size() && model.is_locked(model.names()[component]);
            });
        return true;
    });
    m_setup.dialogs->set_tray({[this] { return m_pool && m_pool->tray_icon_shown(); }, [this] { tray_minimize(); },
                               [this] { tray_restore(); }});
    m_setup.dialogs->set_attention([this](bool error) { set_attention(error); }, [this] { clear_attention(); });
    // A translation the tables cannot give (a short translation file) leaves the designed text.
    m_setup.dialogs->set_translator([this](const std::string& text, const std::string& key, std::size_t index) {
        if (!m_localized || !language_set())
            return text;
        Result<std::string> translated = translate(text, key, index);
        return translated ? *translated : text;
    });
    if (m_pool) {
        m_setup.dialogs->set_tree_images(m_pool->image_list());
        // Windows 7 and later: the page's taskbar button follows the progress and PROGRESSMODE.
        if (windows_7_or_later())
            m_setup.dialogs->set_taskbar_progress(
                [this](HWND window, bool marquee, std::int64_t position, std::int64_t maximum) {
                    if (marquee) {
                        m_pool->set_taskbar_state(window, TaskbarState::indeterminate);
                    } else {
                        m_pool->set_taskbar_state(window, TaskbarState::normal);
                        m_pool->set_taskbar_value(window, static_cast<std::uint64_t>(std::max<std::int64_t>(0, position)),
                                                  static_cast<std::uint64_t>(std::max<std::int64_t>(1, maximum)));
                    }
                    TaskbarMode mode = m_attention.current();
                    if (mode == TaskbarMode::error || mode == TaskbarMode::paused)
                        m_pool->set_taskbar_state(window, taskbar_state(mode));
                });
    }
}

bool WindowsScriptHost::progress_dialog_shown()
{
    HWND modeless = current_window(m_setup.vars);
    return m_setup.dialogs != nullptr && modeless != nullptr && modeless == m_setup.dialogs->screen_window();
}

void WindowsScriptHost::update_progress_dialog(const std::string& text, std::int32_t value)
{
    if (m_setup.dialogs == nullptr)
        return;
    m_setup.dialogs->RefreshProgress(text, false, 0, 100, value);
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void WindowsScriptHost::release_dialog(const std::string& key)
{
    if (m_setup.dialogs != nullptr)
        m_setup.dialogs->ReleaseDialog(key);
}

Result<void> WindowsScriptHost::prepare_dialog(const std::string& key)
{
    if (m_setup.dialogs == nullptr)
        return make_error(ErrorCode::not_found, "No dialogs were loaded");
    // The modeless page stays still while the next one is filled.
    HWND modeless = current_window(m_setup.vars);
    if (modeless != nullptr)
        LockWindowUpdate(modeless);
    Result<void> prepared = m_setup.dialogs->PrepareDialog(key);
    if (modeless != nullptr)
        LockWindowUpdate(nullptr);
    return prepared;
}

Result<UserInterface::DialogOutcome> WindowsScriptHost::show_dialog(const std::string& key, bool modal)
{
    if (m_setup.dialogs == nullptr)
        return make_error(ErrorCode::not_found, "No dialogs were loaded");
    DialogResult shown = TRY(m_setup.dialogs->ShowDialog(key, modal));
    return DialogOutcome{shown.code, shown.custom, reinterpret_cast<std::uintptr_t>(shown.window)};
}

void WindowsScriptHost::hide_current_dialog()
{
    if (m_setup.dialogs != nullptr)
        m_setup.dialogs->HideCurrentDialog();
}

} // namespace quillon
