#include "interp/mInstallerCommands.h"

#include "base/paths.h"
#include "base/strings.h"
#include "cache/cache_registration.h"
#include "interp/command_call.h"
#include "interp/mMediaCommands.h"
#include "msi/installer_run.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <optional>

namespace quillon {

namespace {

constexpr std::string_view installed_origin = "MsiQueryProductState";
constexpr std::string_view media_subfolder = "data\\";
constexpr std::string_view offline_folder = "OFFLINE\\";

// Parameters: 1 product code (path form), 2 result variable as written.
Result<void> is_msi_setup_installed(CommandCall& call)
{
    std::string product_code = TRY(call.text(1));
    std::string result = TRY(call.result_name(2));
    bool installed = TRY(call.executor().system().product_installed(product_code));
    call.store(result, installed ? "TRUE" : "FALSE", installed_origin);
    return {};
}

// Where the installed product's media are. Nothing when the user (or a silent
// run) could not supply media that the command needs; the result is stored then.
std::optional<std::string> locate_media(CommandCall& call, bool patch, bool install, const std::string& result_name)
{
    TScriptExecutor& executor = call.executor();
    TVariableManager& vars = executor.vars();
    InstallerServices& installer = executor.installer();
    SystemServices& system = executor.system();
    std::string media;
    if (auto uninstall =
            installer.uninstall_string(text_is_true(GetVar(vars, var::all_users)), GetVar(vars, var::title)))
        media = folder_part(EnginePathFromUninstallString(*uninstall)); // the cached engine's folder
    if (std::string given = installer.media_override(); !given.empty())
        media = with_backslash(given);

    const std::string marker = executor.script().product_code();
    const std::int32_t mode = executor.script().media_mode();
    const std::string data = GetVar(vars, var::data_dir);
    if (mode == installed_media_mode && !system.file_exists(media + marker) && system.file_exists(data + marker))
        media = data;
    bool missing =
        mode == installed_media_mode ? !system.file_exists(media + marker) : !system.file_exists(data + marker);
    bool ask = missing && (text_is_true(GetVar(vars, var::maintenance)) || patch) && mode != fetched_media_mode &&
               (patch || install);
    if (!ask)
        return media;

    UserInterface& ui = executor.ui();
    while (!ui.silent()) {
        std::optional<std::string> chosen = installer.ask_for_media(ui.engine_text(EngineText::locate_sources));
        if (!chosen)
            break;
        std::string folder = with_backslash(*chosen);
        if (!system.file_exists(folder + marker))
            folder += media_subfolder;
        if (system.file_exists(folder + marker)) {
            SetVar(vars, var::data_dir, folder, origin::action(call.name()));
            return media;
        }
    }
    call.store(var::last_error, ui.engine_text(EngineText::sources_required));
    call.store(strip_reference(result_name), "CANCEL");
    return std::nullopt;
}

msi::InstallerRequest base_request(CommandCall& call, msi::InstallerOperation operation, std::string media)
{
    TScriptExecutor& executor = call.executor();
    TVariableManager& vars = executor.vars();
    msi::InstallerRequest request;
    request.operation = operation;
    msi::InstallRecord& record = executor.install_record();
    request.shortcut_list = record.shortcut_list();
    request.installed_shortcuts = record.installed_shortcuts();
    request.application_ids = record.application_ids();
    request.target_folder = NormalizePath(vars, GetVar(vars, var::target_dir));
    // The run's identity: a cached engine's is the one it was installed
    // under, a transformed instance's its new one.
    request.product_code = GetVar(vars, var::product_code);
    request.revision_code = GetVar(vars, var::revision_code);
    request.data_folder = GetVar(vars, var::data_dir);
    request.media_folder = std::move(media);
    request.temp_folder = GetVar(vars, var::temp_dir);
    request.platform_mode = executor.platform_mode();
    vars.ToStrings(request.variables);
    return request;
}

// LASTERROR, the result word and REBOOTCOMPUTER.
void store_outcome(CommandCall& call, const std::string& result_name, const msi::InstallerResult& result)
{
    if (!result.error_text.empty())
        call.store(var::last_error, result.error_text);
    if (result_name.empty())
        return;
    call.store(result_name, msi::ResultWord(result.outcome));
    if (result.outcome == 2)
        call.store(var::reboot_computer, "TRUE");
}

// Parameters: 1 progress dialog, 2 result variable as written, 3 install, 4 remove.
Result<void> apply_changes(CommandCall& call)
{
    std::string dialog = TRY(call.text(1));
    std::string result_name = TRY(call.result_name(2));
    bool install = TRY(call.flag(3));
    bool remove = TRY(call.flag(4));
    TScriptExecutor& executor = call.executor();

    std::optional<std::string> media = locate_media(call, false, install, result_name);
    if (!media)
        return {};
    if (!FetchMediaFolder(executor, std::string(offline_folder)))
        return {};

    msi::InstallRecord& record = executor.install_record();
    record.record_property("MSINTEMP", GetVar(executor.vars(), var::temp_dir));
    msi::InstallerRequest request = base_request(call, msi::OperationOf(install, remove), std::move(*media));
    if (std::string code = executor.installer().language_code(); !code.empty()) {
        record.queue_property("ProductLanguage", code);
        request.shortcut_texts = record.shortcut_texts();
        request.file_type_texts = record.file_type_texts();
    }
    request.properties = record.instance_list();
    request.queue = record.take_queue();
    if (!dialog.empty())
        request.progress_dialog = std::to_string(call.index());

    msi::InstallerResult result = executor.installer().run_installer(executor, request);
    store_outcome(call, result_name, result);
    if (result.outcome == 1 || result.outcome == 2)
        executor.installer().changes_applied(executor, request);
    return {};
}

// Parameter 1: result variable as written.
Result<void> apply_patch(CommandCall& call)
{
    std::string result_name = TRY(call.result_name(1));
    TScriptExecutor& executor = call.executor();
    std::optional<std::string> media = locate_media(call, true, false, result_name);
    if (!media)
        return {};
    if (!FetchMediaFolder(executor, std::string(offline_folder)))
        return {};
    executor.install_record().record_property("MSINTEMP", GetVar(executor.vars(), var::temp_dir));
    msi::InstallerRequest request = base_request(call, msi::InstallerOperation::patch, {});
    request.media_folder = request.data_folder;
    request.properties = executor.install_record().instance_list();
    msi::InstallerResult result = executor.installer().run_installer(executor, request);
    store_outcome(call, result_name, result);
    return {};
}

// A setup started from its package while the product is installed becomes
// another instance of it: new product and revision codes, new component
// identities in the package, and the bootstrap again under them. Not for a
// patch, which applies to the installed instance.
Result<void> transform_instance(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    InstallerServices& installer = executor.installer();
    if (text_is_true(GetVar(executor.vars(), var::new_instance)) && !installer.patch_beside_package())
        installer.transform_instance(executor);
    return {};
}

} // namespace

void RegisterInstallerCommands(HandlerTable& table)
{
    table.add("Is MSI Setup Installed", is_msi_setup_installed);
    table.add("Apply Changes", apply_changes);
    table.add("Apply Patch", apply_patch);
    table.add("Transform Instance", transform_instance);
}

} // namespace quillon
