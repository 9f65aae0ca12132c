#include "interp/mSystemCommands.h"

#include "interp/command_call.h"
#include "interp/system_settings.h"
#include "interp/web_server.h"

namespace quillon {

namespace {

// Parameters: 1 result variable as written, 2 setting index.
Result<void> get_system_settings(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    std::int32_t index = TRY(call.number(2));
    RegistryViewScope view(call.executor());
    TScriptExecutor& executor = call.executor();
    std::string answer = system_setting(index, executor.machine(), view_for_mode(executor.platform_mode()),
                                        [&] { return executor.web().anonymous_user(web_server_target(executor)); });
    call.store(result, answer);
    return {};
}

// Parameters: 1 result variable as written, 2 the level name (true) or the service pack (false).
Result<void> get_os_or_sp_level(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    bool os_level = TRY(call.flag(2));
    RegistryViewScope view(call.executor());
    call.store(result, os_or_sp_level(call.executor().machine(), os_level));
    return {};
}

// Parameters: 1 result variable as written, 2 folder index, 3 the all-users folder.
Result<void> get_folder_location(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    std::int32_t index = TRY(call.number(2));
    bool all_users = TRY(call.flag(3));
    RegistryViewScope view(call.executor());
    call.store(result, folder_location(index, all_users, call.executor().machine(),
                                       view_for_mode(call.executor().platform_mode())));
    return {};
}

// Parameters: 1 variable name (expanded), 2 result variable.
Result<void> get_environment(CommandCall& call)
{
    std::string name = TRY(call.text(1));
    std::string result = TRY(call.result_name(2));
    call.store(result, environment_value(name, call.executor().machine()));
    return {};
}

} // namespace

RegistryViewScope::RegistryViewScope(TScriptExecutor& executor) : m_machine(executor.machine())
{
    m_machine.set_registry_view(view_for_mode(executor.platform_mode()));
}

RegistryViewScope::~RegistryViewScope()
{
    m_machine.set_registry_view(resting_registry_view);
}

void RegisterSystemCommands(HandlerTable& table)
{
    table.add("Get System Settings", get_system_settings);
    table.add("Get OS or SP Level", get_os_or_sp_level);
    table.add("Get Folder Location", get_folder_location);
    table.add("Get Environment", get_environment);
}

} // namespace quillon
