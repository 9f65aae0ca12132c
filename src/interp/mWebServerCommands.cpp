#include "interp/mWebServerCommands.h"

#include "interp/command_call.h"
#include "interp/mscriptexec.h"
#include "interp/web_server.h"

namespace quillon {

namespace {

// Parameters: 1 result variable as written; an empty name asks nothing.
Result<void> iis_anonymous_user(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    if (result.empty())
        return {};
    call.ensure_variable(result);
    TScriptExecutor& executor = call.executor();
    call.store(result, executor.web().anonymous_user(web_server_target(executor)));
    return {};
}

} // namespace

void RegisterWebServerCommands(HandlerTable& table)
{
    table.add("IIS Anonymous User", iis_anonymous_user);
}

} // namespace quillon
