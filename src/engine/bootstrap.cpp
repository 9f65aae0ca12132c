#include "engine/bootstrap.h"

#include "base/paths.h"
#include "base/strings.h"
#include "cache/bootstrap_rules.h"
#include "cache/cache_lines.h"
#include "cache/cache_texts.h"
#include "cache/instance_data.h"
#include "cache/maintenance_data.h"
#include "engine/cache_files_win32.h"
#include "engine/cache_folder.h"
#include "engine/cache_registry.h"
#include "engine/engine_cache.h"
#include "engine/media_services.h"
#include "msi/installer_api.h"
#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/wow64_view_win32.h"
#include "script/compile_pass.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <windows.h>

#include <shlobj.h>

namespace quillon {

namespace {

// The Program Files folder a script sees before it chooses a platform mode:
// the 32-bit one, as for the package's 32-bit components.
std::string program_files_folder()
{
    std::string folder32 = win32::files_folder(FilesFolder::program_files, PlatformView::wow64_32);
    if (!folder32.empty())
        return folder32;
    wchar_t folder[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(L"ProgramFiles", folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? win32::to_ansi(folder) : std::string("C:\\Program Files");
}

std::string documents_folder()
{
    wchar_t path[MAX_PATH] = L"";
    if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::string();
    return win32::to_ansi(path);
}

InstalledProduct installed_product(const std::string& product_code)
{
    InstalledProduct product;
    Result<int> state = msi::QueryProductState(product_code);
    if (!state)
        return product;
    product.state = *state;
    if (*state == msi::product_installed)
        if (Result<std::string> package = msi::ProductInfo(product_code, "PackageCode"))
            product.package_code = *package;
    return product;
}

std::vector<std::string> file_names(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW(win32::to_wide(with_backslash(folder) + "*").c_str(), &data));
    if (!find)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(win32::to_ansi(data.cFileName));
    } while (FindNextFileW(find.get(), &data));
    return names;
}

// Reads one maintenance data file into the variables and a list set of its own.
class Loader {
public:
    Loader(TVariableManager& vars, BootstrapLoad& load) : m_vars(vars), m_load(load) {}

    void data(const std::string& path, MaintenanceLoad mode)
    {
        TComponentModel scratch;
        MaintenanceTarget target{scratch, m_vars,
                                 [this](std::string_view name) { m_load.saved_names.emplace_back(name); },
                                 [this](std::string_view platform) { m_load.platform_mode = std::string(platform); }};
        // A damaged file is skipped like a missing one: the run goes on as a fresh one would.
        if (LoadMaintenanceData(m_files, path, mode, target))
            m_load.lists.emplace_back(scratch.lists(),
                                      mode == MaintenanceLoad::current ? LoadSizes::append : LoadSizes::skip);
    }
    void shortcuts(const std::string& path)
    {
        if (Result<std::optional<std::string>> text = m_files.read(path); text && *text)
            m_load.installed_shortcuts = ParseCacheLines(**text);
    }
    void instance_list(const std::string& path)
    {
        if (Result<std::optional<std::string>> text = m_files.read(path); text && *text)
            m_load.instance_list = ParseInstanceList(**text);
    }
    void language(const std::string& path)
    {
        if (Result<std::optional<std::string>> text = m_files.read(path); text && *text)
            m_load.saved_language = ParseLanguageFile(**text).value_or(std::string());
    }
    std::optional<std::string> instance_data(const std::string& path)
    {
        Result<std::optional<std::string>> text = m_files.read(path);
        return text && *text ? std::optional<std::string>(**text) : std::nullopt;
    }

private:
    TVariableManager& m_vars;
    BootstrapLoad& m_load;
    WindowsCacheFiles m_files;
};

// A patch is applied to the installed product: its data are in the cache
// folder the product's uninstall entry names, whatever build made it.
void load_installed_data(const BootstrapSetup& setup, const std::string& title, Loader& loader, BootstrapLoad& load)
{
    std::string key = std::string(cache_text::uninstall_key) + title;
    std::optional<std::string> command = RegistryText(RegistryRoot::current_user, key, "UninstallString");
    if (!command)
        command = RegistryText(RegistryRoot::local_machine, key, "UninstallString");
    if (!command)
        return;
    std::string name = file_name_part(without_backslash(folder_part(EnginePathFromUninstallString(*command))));
    if (name.empty())
        return;
    std::string folder = MaintenanceDataFolder(setup.vars, name, setup.base_name);
    std::string base = folder + setup.base_name;
    loader.data(base + std::string(cache_text::data_extension), MaintenanceLoad::current);
    loader.shortcuts(base + std::string(cache_text::shortcuts_extension));
    loader.instance_list(base + std::string(cache_text::instance_list_extension));
    load.installed_sizes = true;
    load.installed_cache_name = name;
}

} // namespace

std::string MaintenanceDataFolder(const TVariableManager& vars, const std::string& revision_code,
                                  const std::string& base_name)
{
    std::string override_cache = GetVar(vars, var::override_cache);
    std::string product_code = GetVar(vars, var::product_code);
    std::string per_user = CacheRoot(false, override_cache, product_code, revision_code) + revision_code + "\\";
    std::string data_file = per_user + base_name + std::string(cache_text::data_extension);
    if (GetFileAttributesW(win32::to_wide(data_file).c_str()) != INVALID_FILE_ATTRIBUTES)
        return per_user;
    return CacheRoot(true, override_cache, product_code, revision_code) + revision_code + "\\";
}

BootstrapLoad Bootstrap(BootstrapSetup& setup)
{
    TVariableManager& vars = setup.vars;
    const TScriptImage& script = setup.script;
    BootstrapLoad load;
    Loader loader(vars, load);

    InstanceData identity{script.product_code(), script.revision_code(), script.product_title()};
    std::string engine_folder = folder_part(setup.startup.exe_file);
    std::optional<std::string> instance_text =
        loader.instance_data(engine_folder + std::string(cache_text::instance_file));
    if (instance_text)
        if (std::optional<InstanceData> installed = ParseInstanceData(*instance_text))
            identity = std::move(*installed);
    if (setup.new_instance) {
        identity.product_code = setup.new_instance->first;
        identity.revision_code = setup.new_instance->second;
    }
    setup.startup.product_title = identity.title;
    const std::string& revision = identity.revision_code;
    DefineVar(vars, var::product_code, identity.product_code, origin::bootstrap);
    DefineVar(vars, var::revision_code, revision, origin::bootstrap);

    std::string default_target =
        DefaultTargetFolder(setup.administrator, program_files_folder(), documents_folder(), identity.title);
    std::string override_cache = GetVar(vars, var::override_cache);
    std::string own_cache =
        CacheRoot(setup.administrator, override_cache, identity.product_code, revision) + revision + "\\";
    DefineVar(vars, var::engine_cache, own_cache, origin::bootstrap);
    DefineVar(vars, var::uninstall_link, own_cache + file_name_part(setup.startup.exe_file), origin::bootstrap);
    DefineVar(vars, var::data_dir, script.media_mode() == fetched_media_mode ? own_cache : engine_folder + "data\\",
              origin::bootstrap);

    InstalledDecision decision = DecideInstalled(installed_product(identity.product_code), revision,
                                                 ExpandBuildConstants("#LOADOLDDATA#", script));
    DefineVar(vars, var::needs_upgrade, decision.needs_upgrade ? "TRUE" : "FALSE", origin::bootstrap);
    DefineVar(vars, var::maintenance, decision.maintenance ? "TRUE" : "FALSE", origin::bootstrap);

    std::string data_folder = MaintenanceDataFolder(vars, revision, setup.base_name);
    std::string base = data_folder + setup.base_name;
    if (decision.maintenance) {
        load.first_installation = false;
        load.installed_sizes = true;
        loader.data(base + std::string(cache_text::data_extension), MaintenanceLoad::current);
        loader.shortcuts(base + std::string(cache_text::shortcuts_extension));
        loader.instance_list(base + std::string(cache_text::instance_list_extension));
        loader.language(base + std::string(cache_text::language_extension));
    } else {
        load.instance_list = std::vector<std::string>();
        DefineVar(vars, var::target_dir, default_target, origin::bootstrap);
        DefineVar(vars, var::start_menu, identity.title, origin::bootstrap);
        DefineVar(vars, var::all_users, setup.administrator ? "TRUE" : "FALSE", origin::bootstrap);
        loader.data(base + std::string(cache_text::data_extension), MaintenanceLoad::current);
    }

    if (decision.import_old_data) {
        std::optional<std::string> old_folder = IdentCacheFolder(identity.product_code);
        if (old_folder && !old_folder->empty())
            if (std::optional<OldDataFiles> old = FindOldDataFile(file_names(*old_folder))) {
                std::string folder = with_backslash(*old_folder);
                loader.data(folder + old->data_file, MaintenanceLoad::import);
                if (!old->shortcuts_file.empty())
                    loader.shortcuts(folder + old->shortcuts_file);
            }
    }

    if (GetFileAttributesW(win32::to_wide(without_extension(setup.database_path) + ".msp").c_str()) !=
        INVALID_FILE_ATTRIBUTES)
        load_installed_data(setup, identity.title, loader, load);

    bool new_instance = IsNewInstance(instance_text.has_value(), decision);
    DefineVar(vars, var::new_instance, new_instance ? "TRUE" : "FALSE", origin::initialization);
    return load;
}

void ApplyBootstrapLoad(TScriptExecutor& executor, const BootstrapLoad& load)
{
    TComponentModel& model = executor.components();
    if (load.first_installation)
        model.StartFirstInstallation();
    else
        model.Clear();
    for (const auto& [lists, sizes] : load.lists)
        model.Append(lists, sizes);
    if (load.installed_sizes)
        model.set_installed_baseline(model.selected_size());
    for (const std::string& name : load.saved_names)
        executor.persist_variable(name);
    if (load.platform_mode)
        executor.set_platform_mode(*load.platform_mode);
    msi::InstallRecord& record = executor.install_record();
    if (load.instance_list)
        record.set_instance_list(*load.instance_list);
    record.installed_shortcuts() = load.installed_shortcuts;
}

void SaveDataAfterRun(const TScriptImage& script, TScriptExecutor& executor, TVariableManager& vars,
                      const std::string& base_name, SaveAfterRun done)
{
    std::string revision = GetVar(vars, var::revision_code);
    if (script.media_mode() == fetched_media_mode &&
        equal_nocase(ExpandBuildConstants("#CACHESOURCES#", script), "FALSE"))
        RemoveCachedSources(CachedDataFolder(vars, text_is_true(GetVar(vars, var::all_users)), revision));
    if (done.cache_removed)
        return;
    std::string folder =
        MaintenanceDataFolder(vars, done.cache_folder_name.empty() ? revision : done.cache_folder_name, base_name);
    CacheCompression compression =
        text_is_true(GetVar(vars, var::compress_installer_cache)) ? CacheCompression::on : CacheCompression::off;
    MarkCacheFolder(folder, compression);
    const std::vector<std::string>& saved = executor.persisted_variables();
    if (saved.empty())
        return;
    // An update needs the file, and so its folder; only a new cache is made here.
    if (done.cache_written && !PrepareCacheFolder(folder, compression))
        return;
    std::string data_folder = win32::short_path_name(GetVar(vars, var::data_dir)).value_or(std::string());
    WindowsCacheFiles files;
    (void)SaveMaintenanceData(files, folder + base_name + std::string(cache_text::data_extension),
                              done.cache_written ? MaintenanceSave::full : MaintenanceSave::update,
                              executor.components(),
                              MaintenanceRunValues(vars, saved, executor.platform_mode(), data_folder));
}

} // namespace quillon
