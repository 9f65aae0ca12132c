#include "interp/mPlugins.h"
#include "base/paths.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "interp/mMediaCommands.h"
#include "interp/mscriptexec.h"
#include "interp/mscriptexecthread.h"
#include "platform/wow64_view.h"
#include "vars/mEval.h"

#include <memory>
#include <optional>
#include <string>

namespace quillon {

namespace {

// What the worker hands back: the output text, or nothing for -1.
struct PluginResult {
    std::optional<std::string> output;
};

} // namespace

Result<void> RunPluginCommand(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    UserInterface& ui = executor.ui();
    SystemServices& system = executor.system();
    TVariableManager& vars = call.vars();
    std::string parameter = TRY(call.plugin_parameter(1));
    std::string library = TRY(call.plugin_parameter(2));

    const std::string& media_folder = call.script().CommandMediaFolder(call.index());
    std::string path;
    if (media_folder.empty()) {
        path = join_path(system.support_folder(), file_name_part(library));
    } else {
        // The library travels with the media: fetched into the data folder first when they are web media.
        if (!FetchCommandMedia(executor, call.index()))
            return {};
        path = join_path(join_path(GetVar(vars, var::data_dir), media_folder), library);
    }
    if (!system.file_exists(path)) {
        if (!ui.silent()) {
            ui.set_attention(false);
            ui.show_error_message(std::string(plugin_text::library_missing) + "\r\r" +
                                  std::string(plugin_text::action_skipped));
            ui.clear_attention();
        }
        return {};
    }

    auto invocation = std::make_shared<PluginInvocation>();
    invocation->library_path = path;
    invocation->variables = SnapshotVariables(vars);
    invocation->parameter = parameter;
    invocation->window = static_cast<std::uintptr_t>(parse_int64(GetVar(vars, var::window_handle)).value_or(0));

    bool bracket =
        !(equal_nocase(file_name_part(library), plugin_text::installer_library) && system.windows_7_or_later());
    // The flag is left as the mode set it: the commands that read the registry set it again on entry.
    if (bracket)
        executor.machine().set_registry_view(view_for_mode(executor.platform_mode()));
    bool redirected = bracket && executor.platform_mode() != platform_mode_win32 && system.disable_redirection();

    auto result = std::make_shared<PluginResult>();
    WorkerRequest request;
    request.kind = WorkerKind::plugin;
    request.cancel_origin = worker_text::cancel_at_plug_in_time;
    request.body = [invocation, result, caller = executor.worker_services().plugin_caller()](WorkerContext& context) {
        PluginInvocation call_now = *invocation;
        call_now.progress = [&context](std::int32_t position, std::string_view text) {
            context.report_progress(text, 1, 100, position);
            return !context.stop_requested();
        };
        std::optional<std::string> output = caller ? caller(call_now) : std::nullopt;
        // -1 (or a library that could not be called) hands back the variables as they were.
        result->output = output ? std::move(*output) : call_now.variables;
    };
    Result<WorkerOutcome> outcome = executor.workers().run(executor, std::move(request));
    if (redirected)
        system.revert_redirection();
    TRY(outcome);
    if (executor.ended())
        return {};

    // A worker given up after a cancel has handed back nothing.
    std::string output = outcome->end == WorkerEnd::finished ? result->output.value_or(std::string()) : std::string();
    if (output.empty()) {
        if (text_is_true(GetVar(vars, var::abort_on_error)))
            return make_error(ErrorCode::internal, ui.engine_text(EngineText::general_setup_failure));
        return {};
    }
    RestoreVariables(vars, output);
    // The returned set was made before the cancel was recorded; later commands
    // must still see that this one was cancelled.
    if (outcome->cancelled)
        SetVar(vars, var::aborted_on_error, "TRUE", worker_text::cancel_at_plug_in_time);
    return {};
}

} // namespace quillon
