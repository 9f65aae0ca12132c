// The engine's main routine: from process start to the hand-over to the script
// run, and the clean-up after it.
#include "engine/command_line.h"
#include "base/paths.h"
#include "engine/engine_resources.h"
#include "engine/messages.h"
#include "engine/script_run.h"
#include "engine/startup_trace.h"
#include "engine/support_folder.h"
#include "engine/uSetupInit.h"
#include "engine/uSetupSplash.h"
#include "interp/mTerminate.h"
#include "media/archive_library.h"
#include "platform/win32/module_image.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/windows_version.h"
#include "script/ScriptImage.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace quillon {

namespace {

// Before the static constructors of the engine's other objects (priority 101 is
// the first a program may take) and long before a window, COM or the shell
// loads a library on the engine's behalf: from here on no library by bare name
// comes from the setup's folder or the current folder.
[[gnu::constructor(101)]] void restrict_library_search_first()
{
    win32::restrict_library_search();
}

// Start-up's own codes; a run's codes come from ScriptExitCode.
enum ExitCode : DWORD {
    exit_nothing_appended = 13,
    exit_resource_not_found = 14,
    exit_resource_extraction = 15,
    exit_database_not_found = 16,
};

// Marks the engine as a host application so that the taskbar does not pin the
// temporary setup copy; failures do not matter.
void register_host_app(const std::string& executable_name)
{
    if (win32::windows_version_at_least(6, 1)) {
        win32::UniqueHkey key;
        std::wstring subkey = L"Applications\\" + win32::to_wide(executable_name);
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                            nullptr) == ERROR_SUCCESS)
            RegSetValueExW(key.get(), L"IsHostApp", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    } else if (win32::windows_version_at_least(6, 0)) {
        win32::UniqueHkey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER,
                            L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
                            L"Assistant\\Persisted",
                            0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
            DWORD data = 32;
            RegSetValueExW(key.get(), win32::to_wide(win32::module_file_path(nullptr)).c_str(), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), sizeof data);
        }
    }
}

// Setups were built for one processor; some custom actions still misbehave on several.
void restrict_to_first_processor()
{
    using SetAffinity = BOOL(WINAPI*)(HANDLE, DWORD_PTR);
    auto set_affinity = win32::proc<SetAffinity>(GetModuleHandleW(L"kernel32.dll"), "SetProcessAffinityMask");
    if (set_affinity != nullptr)
        set_affinity(GetCurrentProcess(), 1);
}

class Engine {
public:
    DWORD run();

private:
    void show_error(const std::string& text, HWND owner);
    std::string standard_caption() const { return m_messages.text(MessageLine::wizard_caption); }
    void create_start_forms();
    // Steps that may end the start-up early answer its exit code; a failure
    // is an error of the start-up (exit code 11).
    Result<std::optional<DWORD>> load_script();
    Result<std::optional<DWORD>> prepare_support_folder();
    Result<void> register_dialogs();
    Result<std::optional<DWORD>> start_and_run();
    void close_start_forms();
    // True when the compile pass rejected the script.
    bool run_script();
    HWND start_form_window() const { return m_init ? m_init->window() : nullptr; }

    EngineMessages m_messages;
    TVariableManager m_variables; // the process's variable store
    ProcessState m_process;       // the random generator and time-out live for the process
    std::unique_ptr<EngineHost> m_host; // the engine's objects around the run, with the pages, from start-up on
    StartupOptions m_options;
    std::unique_ptr<StartupTrace> m_trace;
    std::unique_ptr<TSetupSplash> m_splash;
    std::unique_ptr<TSetupInit> m_init;
    std::optional<TScriptImage> m_script;

    std::string m_executable;
    std::string m_engine_folder;
    std::string m_base_name;
    std::string m_temp_folder;
    std::string m_resource_path;
    std::string m_support_folder;
    std::string m_data_folder;
    std::string m_database_path;
    std::string m_tail;
    DWORD m_exit_code = 0;
};

void Engine::show_error(const std::string& text, HWND owner)
{
    if (m_options.silent)
        return;
    MessageBoxW(owner, win32::to_wide(text).c_str(), win32::to_wide(standard_caption()).c_str(), MB_OK | MB_ICONERROR);
}

void Engine::create_start_forms()
{
    m_init = std::make_unique<TSetupInit>(m_messages.text(MessageLine::wizard_caption),
                                          m_messages.text(MessageLine::preparing_wizard));
    auto splash = std::make_unique<TSetupSplash>();
    if (splash->load(win32::to_wide(m_engine_folder + "setup.bmp"))) {
        splash->show_centred();
        POINT at = place_below_splash(splash->bounds(), m_init->size(),
                                      {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
        m_init->move_to(at.x, at.y);
        m_splash = std::move(splash);
    } else {
        m_init->centre_on_screen();
    }
    m_init->show();
}

Result<std::optional<DWORD>> Engine::load_script()
{
    m_trace->line("    <StubSize>");
    std::uint64_t stub_size = TRY(win32::module_stub_size(GetModuleHandleW(nullptr)));
    // Copying to "qvo.tmp" and reading the sections happen in one call.
    Result<TScriptImage> image = LoadScriptImage(fs_path(m_executable), fs_path(m_temp_folder), stub_size);
    if (!image && is_nothing_appended(image.error())) {
        show_error(std::string(internal_use_only), start_form_window());
        return exit_nothing_appended;
    }
    m_trace->line("    </StubSize>");
    m_trace->line("    <StubData>");
    m_trace->line("    </StubData>");
    m_trace->line("    <GlobalLists>");
    m_script = TRY(std::move(image));
    m_trace->line("    </GlobalLists>");
    return std::nullopt;
}

Result<std::optional<DWORD>> Engine::prepare_support_folder()
{
    m_trace->line("    <SupportDir>");
    m_support_folder = TRY(CreateSupportFolder(m_temp_folder));
    m_database_path = m_support_folder + m_base_name + ".msi";
    m_trace->line("    </SupportDir>");

    m_trace->line("    <ExtractArchive>");
    std::error_code ignored;
    if (!std::filesystem::exists(fs_path(m_resource_path), ignored)) {
        show_error(m_messages.text(MessageLine::resource_not_found), start_form_window());
        return exit_resource_not_found;
    }
    // Without the archive library beside the engine the archive cannot be extracted.
    Result<ArchiveLibrary> library = ArchiveLibrary::load(m_engine_folder + "qvo.lib");
    Result<void> extracted = library ? ExtractResources(*library, m_resource_path, m_support_folder)
                                     : Result<void>(std::unexpected(library.error()));
    if (!extracted) {
        show_error(m_messages.text(MessageLine::resource_decompression_failure), start_form_window());
        return exit_resource_extraction;
    }
    m_trace->line("    </ExtractArchive>");

    m_trace->line("    <ExtractResource>");
    std::error_code missing;
    if (!std::filesystem::exists(fs_path(m_engine_folder + m_base_name + ".msi"), missing) &&
        !std::filesystem::exists(fs_path(m_engine_folder + m_base_name + ".msp"), missing)) {
        show_error(m_messages.text(MessageLine::database_not_found), start_form_window());
        return exit_database_not_found;
    }
    m_trace->line("    </ExtractResource>");

    m_trace->line("    <ResourcePath>");
    CopyDatabaseFiles(m_engine_folder, m_base_name, m_support_folder);
    m_trace->line("    </ResourcePath>");
    m_data_folder = m_engine_folder + "data\\";
    return std::nullopt;
}

Result<void> Engine::register_dialogs()
{
    m_trace->line("    <Dialogs>");
    int dialogs = 0;
    for (std::size_t i = 0; i < m_script->CommandCount(); ++i)
        if (m_script->CommandName(i) == "Display Dialog" && !m_script->IsDisabled(i))
            ++dialogs;
    if (m_init) {
        m_init->set_progress(0, dialogs, 1);
        m_init->paint();
    }
    m_host = std::make_unique<EngineHost>(
        EngineHostSetup{*m_script, m_variables, *m_trace, m_messages,
                        SetupLocation{m_support_folder, m_executable, m_options.package_path, m_tail, m_database_path,
                                      m_temp_folder, m_options.media_override},
                        m_options.silent});
    for (std::size_t i = 0; i < m_script->CommandCount(); ++i) {
        // "Apply Changes" shows Windows Installer's progress on a page of its own.
        const std::string& command = m_script->CommandName(i);
        if ((command != "Display Dialog" && command != "Apply Changes") || m_script->IsDisabled(i))
            continue;
        std::string name = TRY(m_script->Parameter(m_script->CommandId(i), 1));
        if (name.empty() && command == "Apply Changes")
            continue;
        // A dialog that cannot be loaded ends the start-up like any other failure of it.
        TRY(m_host->dialogs().RegisterDialog(std::to_string(i), m_support_folder + name + ".dfm"));
        if (m_init) {
            m_init->step_progress();
            m_init->paint();
            if (m_splash && m_splash->visible())
                m_splash->paint();
        }
    }
    m_trace->line("    </Dialogs>");
    return {};
}

Result<std::optional<DWORD>> Engine::start_and_run()
{
    if (std::optional<DWORD> code = TRY(load_script()))
        return code;
    if (std::optional<DWORD> code = TRY(prepare_support_folder()))
        return code;
    TRY(register_dialogs());
    close_start_forms();
    m_trace->line("  </SetupSplash>");
    m_trace->line("  <RunScript>");
    if (run_script()) {
        // Nothing of a rejected script runs; its extracted resources need not stay behind.
        RemoveSupportFolder(m_support_folder);
        return std::optional<DWORD>(exit_script_rejected);
    }
    m_trace->line("  </RunScript>");
    m_trace->line("  <Free>");
    m_host.reset();
    m_script.reset();
    m_trace->line("  </Free>");
    return std::optional<DWORD>();
}

bool Engine::run_script()
{
    StartupFacts startup;
    startup.exe_file = m_executable;
    startup.engine_folder = m_engine_folder;
    startup.temp_folder = m_temp_folder;
    startup.support_folder = m_support_folder;
    startup.database_path = m_database_path;
    startup.command_tail = m_tail;
    startup.log_file = m_options.log_file;
    startup.package_path = m_options.package_path;
    startup.group_policy_path = m_options.group_policy_path;
    startup.silent = m_options.silent;
    startup.product_title = m_script->product_title();
    startup.publisher = m_script->publisher();
    startup.product_version = m_script->product_version();
    ScriptRunContext context{*m_script, m_variables, *m_trace,  m_messages, m_options,
                             startup,   m_base_name, m_process, *m_host};
    ScriptRunResult result = RunScript(context);
    if (result.end != ScriptRunEnd::rejected) {
        // An unattended run must not report a failed or cancelled script as success.
        m_exit_code = ScriptExitCode(result.exit_code, result.runtime_error, result.outcome);
        return false;
    }
    // A rejected script ends the process at once and shows nothing; the log says why.
    m_trace->line("    " + result.message);
    return true;
}

void Engine::close_start_forms()
{
    if (m_init) {
        m_init->hide();
        m_init.reset();
    }
    if (m_splash) {
        m_splash->hide();
        m_splash.reset();
    }
}

DWORD Engine::run()
{
    m_executable = win32::module_file_path(nullptr);
    std::size_t slash = m_executable.find_last_of('\\');
    std::string file_name = m_executable.substr(slash + 1);
    register_host_app(file_name);
    restrict_to_first_processor();

    m_engine_folder = m_executable.substr(0, slash + 1);
    std::size_t dot = file_name.find_last_of('.');
    m_base_name = dot == std::string::npos ? file_name : file_name.substr(0, dot);
    wchar_t temp[MAX_PATH + 1];
    DWORD temp_length = GetTempPathW(MAX_PATH + 1, temp);
    m_temp_folder = with_backslash(win32::to_ansi(std::wstring(temp, temp_length)));
    CreateDirectoryW(win32::to_wide(m_temp_folder).c_str(), nullptr);

    load_engine_messages(m_messages, m_engine_folder, m_temp_folder);
    m_resource_path = m_engine_folder + m_base_name + ".res";
    m_tail = command_line_tail(GetCommandLineA());
    m_options = parse_startup_options(split_arguments(m_tail));
    m_trace = std::make_unique<StartupTrace>(m_options.log_file);

    m_trace->line("<Quillon>");
    m_trace->line("  <SetupSplash>");
    if (!m_options.quiet_start())
        create_start_forms();

    Result<std::optional<DWORD>> ended = start_and_run();
    if (!ended) {
        close_start_forms();
        m_exit_code = exit_runtime_error;
        if (!m_options.silent)
            MessageBoxW(
                nullptr,
                win32::to_wide(m_messages.text(MessageLine::runtime_error_in_install) + ended.error().describe())
                    .c_str(),
                win32::to_wide(standard_caption()).c_str(), MB_OK | MB_ICONERROR);
    } else if (*ended) {
        return **ended; // the start-up ended early, or the script was rejected
    }

    m_trace->line("  <CachedSupportDir>");
    if (!m_support_folder.empty())
        RemoveSupportFolder(m_support_folder);
    m_trace->line("  </CachedSupportDir>");
    m_trace->line("</Quillon>");
    return m_exit_code;
}

} // namespace

} // namespace quillon

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        quillon::Engine engine;
        return static_cast<int>(engine.run());
    } catch (...) {
        return quillon::exit_runtime_error;
    }
}
