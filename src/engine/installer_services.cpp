#include "engine/installer_services.h"

#include "base/paths.h"
#include "cache/cache_texts.h"
#include "cache/maintenance_data.h"
#include "engine/cache_install.h"
#include "engine/cache_registry.h"
#include "engine/engine_cache.h"
#include "engine/embedded_programs.h"
#include "engine/languages.h"
#include "engine/media_services.h"
#include "engine/program_start_win32.h"
#include "engine/shortcut_pins.h"
#include "engine/wizard_shell.h"
#include "interp/mscriptexec.h"
#include "msi/installer_api.h"
#include "platform/win32/com.h"
#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/predefined.h"
#include "vars/reserved_names.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

namespace quillon {

namespace {

bool variable_true(const TVariableManager& vars, std::string_view name)
{
    return text_is_true(GetVar(vars, name));
}

} // namespace

WindowsInstallerServices::WindowsInstallerServices(const TScriptImage& script, TVariableManager& vars,
                                                   const EngineMessages& messages, const RunSwitches& switches,
                                                   TDialogRuntime& dialogs, WindowsWorkerServices& workers,
                                                   SetupLocation location)
    : m_script(script), m_vars(vars), m_messages(messages), m_switches(switches), m_dialogs(dialogs),
      m_workers(workers), m_location(std::move(location))
{
}

WindowsInstallerServices::~WindowsInstallerServices()
{
    // A run always ends (Windows Installer returns, the busy wait stops at a
    // cancel); the engine does not leave while it goes on.
    if (m_thread.joinable())
        m_thread.join();
}

std::optional<std::string> WindowsInstallerServices::uninstall_string(bool all_users, const std::string& title)
{
    return RegistryText(all_users ? RegistryRoot::local_machine : RegistryRoot::current_user,
                        std::string(cache_text::uninstall_key) + title, "UninstallString");
}

std::optional<std::string> WindowsInstallerServices::ask_for_media(const std::string& prompt)
{
    win32::ComApartment apartment;
    std::wstring title = win32::to_wide(prompt);
    BROWSEINFOW info{};
    info.hwndOwner = current_window(m_vars);
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr)
        return std::nullopt;
    wchar_t path[MAX_PATH] = L"";
    bool named = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (!named)
        return std::nullopt;
    return win32::to_ansi(path);
}

std::string WindowsInstallerServices::language_code()
{
    std::string language = GetVar(m_vars, var::language);
    return language.empty() ? std::string() : LanguageIdFromName(language);
}

std::string WindowsInstallerServices::engine_cache_folder() const
{
    return CachedDataFolder(m_vars, variable_true(m_vars, var::all_users), GetVar(m_vars, var::revision_code));
}

msi::InstallerResult WindowsInstallerServices::run_installer(TScriptExecutor& executor, msi::InstallerRequest request)
{
    request.package_path = request.patch() ? patch_package() : m_location.database_path;
    if (!m_location.temp_folder.empty())
        request.temp_folder = m_location.temp_folder;
    request.log_file = GetVar(m_vars, var::logged);
    request.caption = StandardCaption(m_vars);
    request.engine_cache_folder = engine_cache_folder();
    request.parent_window = reinterpret_cast<std::uintptr_t>(current_window(m_vars));
    request.instance_transform = m_instance_transform;
    request.renew_component_ids = m_instance_transform && !m_components_renewed && !request.patch();
    if (request.renew_component_ids)
        m_components_renewed = true;
    std::string page = request.progress_dialog;
    // The shortcuts of the installation being changed come off the taskbar and
    // the Start menu first; the run's own go on after a successful run.
    SetApplicationIds(request.application_ids);
    PinShortcuts(request.installed_shortcuts, false);
    const msi::InstallerOperation operation = request.operation;
    const std::vector<std::string> shortcuts = request.shortcut_list;
    const std::vector<std::string> installed = request.installed_shortcuts;
    const msi::InstallRecord::Pairs ids = request.application_ids;

    m_state = std::make_shared<InstallerRunState>();
    m_pending = std::move(request);
    m_vars.SetValue(var::thread_finished, "FALSE");
    m_vars.SetValue(var::thread_cancelled, "FALSE");
    m_vars.SetValue(var::thread_progress, "0");
    executor.workers().set_busy(true);
    if (!m_switches.silent && !page.empty() && m_dialogs.HasDialog(page) && m_dialogs.PrepareDialog(page))
        (void)m_dialogs.ShowDialog(page, true, true);
    if (m_pending) {
        // No page, or the page could not start it. A cancel already pending
        // keeps the run from starting.
        if (variable_true(m_vars, var::is_cancelled))
            m_vars.SetValue(var::thread_cancelled, "TRUE");
        start();
    }
    wait_for_end();
    executor.workers().set_busy(false);

    const InstallerRunState& state = *m_state;
    msi::InstallerResult result;
    result.outcome = msi::RunOutcome(state.error, GetVar(m_vars, var::thread_cancelled) == "TRUE",
                                     state.skipped_for_cancel, state.restart);
    result.error_text = state.error_text;
    SetApplicationIds(ids);
    if (result.outcome == 1 || result.outcome == 2) {
        if (operation != msi::InstallerOperation::remove)
            PinShortcuts(shortcuts, true);
    } else if (operation == msi::InstallerOperation::remove) {
        PinShortcuts(installed, true);
    }
    return result;
}

void WindowsInstallerServices::start()
{
    if (!m_pending || !m_state)
        return;
    m_vars.SetValue(var::thread_finished, "FALSE");
    InstallerThreadSetup setup{m_vars, m_messages, std::move(*m_pending), m_state,
                               [this] { m_workers.wake_main_thread(); }};
    m_pending.reset();
    m_thread = StartInstallerThread(std::move(setup));
}

void WindowsInstallerServices::run_and_wait()
{
    start();
    wait_for_end();
}

void WindowsInstallerServices::wait_for_end()
{
    if (!m_state)
        return;
    while (!m_state->ended.is_set()) {
        if (variable_true(m_vars, var::is_cancelled))
            m_vars.SetValue(var::thread_cancelled, "TRUE");
        m_workers.wait_step(m_state->ended);
    }
    if (m_thread.joinable())
        m_thread.join();
}

void WindowsInstallerServices::changes_applied(TScriptExecutor& executor, const msi::InstallerRequest& request)
{
    std::string folder = engine_cache_folder();
    std::wstring marker = win32::to_wide(folder + std::string(cache_text::advertised_marker));
    // An advertised product is completed by the next installation with its features added.
    if (request.operation == msi::InstallerOperation::advertise) {
        PrepareCacheFolder(folder, cache_compression());
        CreateDirectoryW(marker.c_str(), nullptr);
    } else {
        RemoveDirectoryW(marker.c_str()); // only when empty
    }
    if (request.operation == msi::InstallerOperation::remove) {
        CacheRemoval removal{folder, product_marker(), variable_true(m_vars, var::save_data),
                             GetVar(m_vars, var::title), GetVar(m_vars, var::product_code)};
        RemoveEngineCache(removal);
        m_cache_removed = !removal.keep_data;
        return;
    }
    if (request.install_flag()) {
        WriteEngineCache(cache_installation(executor, folder));
        m_cache_written = true;
        m_cache_removed = false;
    }
}

CacheCompression WindowsInstallerServices::cache_compression() const
{
    return variable_true(m_vars, var::compress_installer_cache) ? CacheCompression::on : CacheCompression::off;
}

std::string WindowsInstallerServices::patch_package() const
{
    return without_extension(m_location.database_path) + ".msp";
}

bool WindowsInstallerServices::patch_beside_package()
{
    return GetFileAttributesW(win32::to_wide(patch_package()).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WindowsInstallerServices::transform_instance(TScriptExecutor&)
{
    std::string product_code = NewGuid();
    std::string revision_code = NewGuid();
    if (product_code.empty() || revision_code.empty())
        return;
    m_instance_transform = true;
    m_components_renewed = false;
    if (m_new_instance)
        m_new_instance(product_code, revision_code);
}

std::string WindowsInstallerServices::product_marker() const
{
    // Media fetched into the engine cache: the cache carries a marker file
    // named by the product code of the media (also for another instance).
    return m_script.media_mode() == fetched_media_mode ? m_script.product_code() : std::string();
}

CacheInstallation WindowsInstallerServices::cache_installation(TScriptExecutor& executor, const std::string& folder)
{
    std::string engine_folder = folder_part(m_location.exe_file);
    std::string base_name = file_name_part(without_extension(m_location.database_path));
    std::string data_folder = GetVar(m_vars, var::data_dir);
    std::string short_data_folder = win32::short_path_name(data_folder).value_or(std::string());

    CacheInstallation cache;
    cache.cache_folder = folder;
    cache.compression = cache_compression();
    cache.product_marker = product_marker();
    // The package as it came, not the engine's edited copy: the cached engine
    // edits its own. A new instance's package is the edited copy, which
    // carries the instance's product code and component identities.
    std::string package = m_instance_transform ? m_location.database_path : engine_folder + base_name + ".msi";
    cache.copied_files = {m_location.exe_file, package, engine_folder + base_name + ".res",
                          engine_folder + std::string(cache_text::archive_library),
                          engine_folder + std::string(cache_text::splash_bitmap)};
    cache.base_name = base_name;
    cache.maintenance_text =
        FormatSelectionFile(executor.components(), MaintenanceRunValues(m_vars, executor.persisted_variables(),
                                                                        executor.platform_mode(), short_data_folder));
    cache.instance_list = executor.install_record().instance_list();
    cache.shortcuts = executor.install_record().shortcut_list();
    cache.language = GetVar(m_vars, var::language);
    cache.instance = {GetVar(m_vars, var::product_code), GetVar(m_vars, var::revision_code),
                      GetVar(m_vars, var::title)};
    bool all_users = variable_true(m_vars, var::all_users);
    cache.root = all_users ? RegistryRoot::local_machine : RegistryRoot::current_user;

    RegistrationFacts& facts = cache.registration;
    facts.cache_root = CacheRoot(all_users, GetVar(m_vars, var::override_cache), GetVar(m_vars, var::product_code),
                                 m_script.revision_code());
    facts.cache_folder = folder;
    facts.engine_file = file_name_part(m_location.exe_file);
    facts.base_name = base_name;
    facts.product_code = GetVar(m_vars, var::product_code);
    facts.revision_code = GetVar(m_vars, var::revision_code);
    facts.title = GetVar(m_vars, var::title);
    facts.publisher = m_script.publisher();
    facts.contact = m_script.contact();
    facts.help_link = m_script.help_link();
    facts.update_link = m_script.update_link();
    facts.comments = m_script.comments();
    facts.version = m_script.product_version();
    facts.install_location = NormalizePath(m_vars, GetVar(m_vars, var::target_dir));
    facts.package_64bit = executor.platform_mode() != "Win32";
    return cache;
}

std::string WindowsInstallerServices::windows_folder()
{
    wchar_t folder[MAX_PATH] = L"";
    UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    std::string text = length > 0 && length < MAX_PATH ? win32::to_ansi(folder) : std::string("C:\\Windows");
    return text.back() == '\\' ? text : text + "\\";
}

std::int32_t WindowsInstallerServices::run_tool(const std::string& program, const std::string& arguments,
                                                const std::string& folder)
{
    // The program start of "Run Program", on this thread: the pages stay
    // responsive while the tool runs, hidden, and it is waited for.
    std::shared_ptr<ProcessSystem> system = WindowsProgramStarter().process_system();
    return ShellStart(*system, {program, arguments, folder, true, false}, {});
}

PackageAssemblies WindowsInstallerServices::package_assemblies()
{
    PackageAssemblies assemblies;
    Result<msi::MsiHandle> database = msi::OpenDatabase(m_location.database_path, false);
    if (!database)
        return assemblies;
    auto strings = [&](const std::string& sql) {
        std::vector<std::string> values;
        Result<msi::MsiHandle> view = msi::OpenView(*database, sql);
        if (!view || !msi::Execute(*view))
            return values;
        while (true) {
            Result<std::optional<msi::MsiHandle>> record = msi::Fetch(*view);
            if (!record || !*record)
                break;
            values.push_back(msi::RecordString(**record, 1).value_or(""));
        }
        (void)msi::CloseView(*view);
        return values;
    };
    for (const std::string& component : strings("SELECT * FROM  `MsiAssembly`")) {
        std::string query = "SELECT `Value` FROM  `MsiAssemblyName` WHERE `Component_`='" + component + "' AND `Name`=";
        for (std::string& name : strings(query + "'Name'"))
            assemblies.names.push_back(std::move(name));
        for (std::string& version : strings(query + "'Version'"))
            assemblies.versions.push_back(std::move(version));
    }
    return assemblies;
}

Result<std::string> WindowsInstallerServices::write_gac_helper(bool runtime4)
{
    return runtime4 ? WriteGacUtility4(m_location.support_folder) : WriteGacUtility2(m_location.support_folder);
}

} // namespace quillon
