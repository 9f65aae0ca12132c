#include "interp/mMediaCommands.h"

#include "interp/command_call.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

namespace quillon {

namespace {

// Parameters: 1 block name as written, 2 its locations (expanded, one per line).
Result<void> web_media_block(CommandCall& call)
{
    std::string name = TRY(call.text(1));
    std::string locations = TRY(call.text(2));
    return call.executor().media().set_web_media_block(name, locations);
}

} // namespace

void RegisterMediaCommands(HandlerTable& table)
{
    table.add("Web Media Block", web_media_block);
}

bool FetchCommandMedia(TScriptExecutor& executor, std::size_t index)
{
    return FetchMediaFolder(executor, executor.script().CommandMediaFolder(index));
}

bool FetchMediaFolder(TScriptExecutor& executor, const std::string& folder)
{
    TVariableManager& vars = executor.vars();
    if (executor.script().media_mode() != fetched_media_mode || folder.empty() ||
        text_is_true(GetVar(vars, var::aborted_on_error)))
        return true;
    Result<void> fetched = executor.media().fetch_media(executor, folder);
    if (fetched)
        return true;
    UserInterface& ui = executor.ui();
    ui.set_attention(true);
    ui.show_error_message(fetched.error().message);
    ui.clear_attention();
    if (text_is_true(GetVar(vars, var::abort_on_error))) {
        executor.end_script(ScriptOutcome::failed);
        return false;
    }
    SetVar(vars, var::aborted_on_error, "TRUE", origin::weblock_abort);
    return true;
}

} // namespace quillon
