#include "engine/script_run.h"
#include "base/paths.h"
#include "base/strings.h"
#include "vars/reserved_names.h"

#include "base/scope_exit.h"
#include "engine/bootstrap.h"
#include "engine/cache_override.h"
#include "engine/engine_resources.h"
#include "engine/machine_facts.h"
#include "engine/engine_host.h"
#include "engine/support_folder.h"
#include "engine/uLanguage.h"
#include "interp/mTerminate.h"
#include "platform/win32/os_services.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "script/compile_pass.h"
#include "script/localization.h"
#include "vars/texts.h"

#include <windows.h>

#include <fstream>

namespace quillon {

namespace {

// A resume entry that an earlier run left for a reboot is not wanted any more.
void delete_resume_entry(const std::string& product_code)
{
    if (product_code.size() < 9)
        return;
    for (bool all_users : {false, true})
        win32::delete_run_once_entry(all_users, product_code.substr(1, 8));
}

std::vector<std::string> translation_files(const std::string& support_folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW(win32::to_wide(support_folder + "translations.*").c_str(), &data));
    if (!find)
        return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(support_folder + win32::to_ansi(data.cFileName));
    } while (FindNextFileW(find.get(), &data));
    return files;
}

// Chooses the language of the run; false when the user cancelled the choice.
bool choose_language(ScriptRunContext& context, const std::string& saved_language)
{
    TVariableManager& vars = context.vars;
    const TScriptImage& script = context.script;
    DefineVar(vars, var::language, "", origin::initialization);
    const std::string& support = context.startup.support_folder;
    if (!file_exists(support + script.product_title() + ".mtx"))
        return true;
    DiscoveredLanguages found = discover_languages(translation_files(support), support, script.default_language());
    std::string current = found.current;
    // A maintenance run speaks the language the product was installed in, while its tables are there.
    for (const std::string& language : found.available)
        if (!saved_language.empty() && equal_nocase(language, saved_language))
            current = language;
    bool patch = file_exists(without_extension(context.startup.database_path) + ".msp");
    if (!found.available.empty() && script.language_dialog() && GetVar(vars, var::maintenance) != "TRUE" && !patch) {
        std::optional<std::string> chosen = ChooseLanguage(found.available, script.default_language(),
                                                           UserLanguageName(UserLanguageKind::default_language),
                                                           context.options.silent, context.messages);
        if (!chosen)
            return false;
        current = *chosen;
    }
    DefineVar(vars, var::language, current, origin::initialization);
    return true;
}

// The setup's medium (a CD, a USB stick) was taken out while the script ran:
// EXEDIR is on a drive that is not a fixed disk and is gone.
bool setup_medium_removed(const std::string& exe_folder)
{
    if (exe_folder.size() < 3 || exe_folder[1] != ':')
        return false;
    std::wstring root = win32::to_wide(exe_folder.substr(0, 3));
    if (GetDriveTypeW(root.c_str()) == DRIVE_FIXED)
        return false;
    DWORD attributes = GetFileAttributesW(win32::to_wide(exe_folder).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Code of the engine may have to be read again from its medium when the run
// returns into it; with the medium gone the run ends here, after the clean-up
// the normal end would do, and the log says why.
[[noreturn]] void end_after_medium_removed(ScriptRunContext& context, std::uint32_t exit_code)
{
    // The engine-cache data were saved when the run returned, before the medium was found gone.
    StartupTrace& trace = context.trace;
    trace.line("  </RunScript>");
    trace.line("  <Free>");
    trace.line("  </Free>");
    trace.line("  <CachedSupportDir>");
    RemoveSupportFolder(context.startup.support_folder);
    trace.line("  </CachedSupportDir>");
    trace.line("  <RemovableMediaPrematureEject>");
    trace.line("  </RemovableMediaPrematureEject>");
    trace.line("</Quillon>");
    ExitProcess(exit_code);
}

} // namespace

ScriptRunResult RunScript(ScriptRunContext& context)
{
    TVariableManager& vars = context.vars;
    const TScriptImage& script = context.script;
    context.trace.line("    <Variables>");
    std::vector<std::string> locked_names;
    for (const auto& assignment : context.options.assignments)
        locked_names.push_back(assignment.first);
    vars.set_command_line_names(std::move(locked_names));
    vars.set_silent(context.options.silent);
    context.trace.line("    </Variables>");

    context.trace.line("    <CompileScript>");
    CompileResult compiled = CompileScript(script, vars);
    if (!compiled.accepted())
        return {ScriptRunEnd::rejected, compiled.message, std::nullopt, false};
    context.trace.line("    </CompileScript>");

    vars.Clear();
    MachineFacts machine = read_machine_facts();
    seed_thread_state(vars, machine.tick_count);
    seed_pre_initialization(vars, context.startup, machine, "");

    context.trace.line("    <BootStrap>");
    BootstrapSetup bootstrap{
        script,      vars, context.startup, context.base_name, machine.all_users, context.startup.database_path,
        std::nullopt};
    BootstrapLoad loaded = Bootstrap(bootstrap);
    context.trace.line("    </BootStrap>");

    const std::string& database = context.startup.database_path;
    if (!file_exists(database) && !file_exists(without_extension(database) + ".msp"))
        return {};

    // The single-instance marker is held open, unshared, for the whole run and
    // deleted when it is closed, also when the process is killed: a marker
    // that a crashed run left behind would otherwise end every later run of
    // this build at once, with exit code 0.
    win32::UniqueFile marker;
    if (ExpandBuildConstants("#SINGLEINSTANCE#", script) == "TRUE") {
        std::wstring path = win32::to_wide(context.startup.temp_folder + script.revision_code() + ".qvo");
        marker = win32::UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (!marker && GetLastError() == ERROR_SHARING_VIOLATION)
            return {}; // another run of this build is going on
    }

    context.trace.line("    <kyrt>");
    seed_initialization(vars, context.startup, machine);
    delete_resume_entry(script.product_code());

    ScriptRunResult result;
    bool language_chosen = choose_language(context, loaded.saved_language);
    if (language_chosen) {
        for (const auto& [name, value] : context.options.assignments) {
            if (VarExists(vars, name))
                SetVar(vars, name, value, origin::inject_override_command_line);
            else
                DefineVar(vars, name, value, origin::inject_override_command_line);
        }
        // A cache root given on the command line holds the data the bootstrap loads.
        EngineHost& host = context.host;
        WindowsRunEnvironment& run = host.run_environment();
        if (run.cache_override().apply(vars))
            loaded = Bootstrap(bootstrap);
        HandlerTable handlers = StandardHandlers();
        TScriptExecutor executor(script, vars, host.roles(), handlers, context.process, BuildLabelTable(script));
        ApplyBootstrapLoad(executor, loaded);
        // So does one the script names later.
        run.on_cache_override([&] {
            loaded = Bootstrap(bootstrap);
            ApplyBootstrapLoad(executor, loaded);
        });
        // And so does a new instance of the product.
        host.installer().on_new_instance([&](const std::string& product_code, const std::string& revision_code) {
            bootstrap.new_instance = {product_code, revision_code};
            loaded = Bootstrap(bootstrap);
            ApplyBootstrapLoad(executor, loaded);
        });
        ScopeExit forget_executor([&run, &host] {
            run.on_cache_override({});
            host.installer().on_new_instance({});
        });
        // Every installation command starts switched off in the package; the
        // ones that run switch themselves on.
        msi::InstallRecord& record = executor.install_record();
        record.set_command_marks(compiled.marks);
        for (std::size_t i = 0; i < script.CommandCount(); ++i) {
            std::string header = script.CommandHeader(i).value_or("");
            if (!header.empty())
                record.record_property(msi::CommandProperty(header), "FALSE");
        }
        host.attach_executor(&executor);
        ScopeExit detach([&host] { host.attach_executor(nullptr); });
        result.runtime_error = !executor.Run();
        result.exit_code = executor.exit_code();
        result.outcome = executor.outcome();
        host.end_of_run();
        const WindowsInstallerServices& installer = host.installer();
        // Media kept by the installed product: a patch run's data stay in the
        // installed product's cache folder. Without one, the build's own.
        std::string cache_folder = script.media_mode() == installed_media_mode ? loaded.installed_cache_name : "";
        SaveDataAfterRun(script, executor, vars, context.base_name,
                         {installer.cache_written(), installer.cache_removed(), cache_folder});
    }

    context.trace.line("    </kyrt>");
    context.trace.line("    <ExitScript>");
    marker.reset();
    context.trace.line("    </ExitScript>");
    if (setup_medium_removed(GetVar(vars, var::exe_dir)))
        end_after_medium_removed(context, ScriptExitCode(result.exit_code, result.runtime_error, result.outcome));
    return result;
}

} // namespace quillon
