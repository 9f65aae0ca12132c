#include "interp/mDialogCommands.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "interp/command_call.h"
#include "vars/mEval.h"

#include <memory>
#include <string>

namespace quillon {

namespace {

constexpr std::string_view origin_display = "Display Dialog";
constexpr std::string_view origin_hide = "Hide Dialog";

// The result texts by result code; codes without a text leave the variable as it is.
std::optional<std::string> result_text(const UserInterface::DialogOutcome& outcome)
{
    switch (outcome.code) {
    case 0: return "NOTMODAL";
    case 2: return "CANCEL";
    case 6: return "NEXT";
    case 7: return "BACK";
    case 8: return ansi_upper(outcome.custom);
    default: return std::nullopt;
    }
}

// Keys of the dialogs shown, shared by the two commands for one run.
struct DialogKeys {
    std::string last_shown;
    std::string previous; // its handlers are detached when the next dialog comes up
};

Result<void> display_dialog(DialogKeys& keys, CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    UserInterface& host = executor.ui();
    std::string condition = TRY(call.text(4));
    if (!condition.empty()) {
        bool value = text_is_true(GetVar(call.vars(), strip_reference(condition)));
        bool skip = TRY(call.flag(6));
        if (value == skip)
            return {}; // passed over, in whichever direction the wizard goes
    }
    std::string key = std::to_string(call.index());
    if (!keys.previous.empty()) {
        host.release_dialog(keys.previous);
        keys.previous.clear();
    }
    keys.last_shown = key;
    TRY(host.prepare_dialog(key));

    bool modal = executor.wizard_active() || TRY(call.flag(3));
    UserInterface::DialogOutcome outcome = TRY(host.show_dialog(key, modal));
    if (modal) {
        DefineVar(call.vars(), var::window_handle, "0", origin_display);
        keys.previous = key;
    } else {
        DefineVar(call.vars(), var::window_handle, std::to_string(outcome.window), origin_display);
        outcome.code = 0;
    }
    std::string result = TRY(call.result_name(2));
    if (!result.empty())
        if (std::optional<std::string> text = result_text(outcome)) {
            call.ensure_variable(result);
            call.store(result, *text);
        }
    if (executor.wizard_active())
        executor.set_wizard_result(outcome.code);
    return {};
}

Result<void> hide_dialog(DialogKeys& keys, CommandCall& call)
{
    call.executor().ui().hide_current_dialog();
    if (!keys.last_shown.empty()) {
        keys.previous = keys.last_shown;
        keys.last_shown.clear();
    }
    DefineVar(call.vars(), var::window_handle, "0", origin_hide);
    return {};
}

} // namespace

void RegisterDialogCommands(HandlerTable& handlers)
{
    auto keys = std::make_shared<DialogKeys>();
    handlers.add("Display Dialog", [keys](CommandCall& call) { return display_dialog(*keys, call); });
    handlers.add("Hide Dialog", [keys](CommandCall& call) { return hide_dialog(*keys, call); });
}

} // namespace quillon
