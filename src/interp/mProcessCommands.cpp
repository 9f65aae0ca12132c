#include "interp/mProcessCommands.h"

#include "interp/command_call.h"
#include "interp/process_rules.h"
#include "platform/wow64_view.h"

namespace quillon {

namespace {

constexpr std::string_view true_text = "TRUE";
constexpr std::string_view false_text = "FALSE";

// Parameters: 1 executable file name, 2 result variable as written.
Result<void> check_process(CommandCall& call)
{
    std::string result = TRY(call.result_name(2));
    call.ensure_variable(result);
    std::string name = TRY(call.text(1));
    bool running = process_running(call.executor().processes().process_names(), name);
    call.store(result, running ? true_text : false_text);
    return {};
}

// Parameters: 1 part of the window title, 2 part of the class name.
Result<void> terminate_program_command(CommandCall& call)
{
    std::string title = TRY(call.text(1));
    std::string class_name = TRY(call.text(2));
    terminate_program(call.executor().processes(), title, class_name);
    return {};
}

// Parameters: 1 service name, 2 computer (empty: this one), 3 result variable as written.
Result<void> check_service(CommandCall& call)
{
    std::string service = TRY(call.text(1));
    std::string computer = TRY(call.text(2));
    std::string result = TRY(call.result_name(3));
    call.ensure_variable(result);
    call.store(result, service_state_name(call.executor().processes().service_state(computer, service)));
    return {};
}

// Parameters: 1 library, 2 register (true) or unregister, 3 result variable as written, may be empty.
Result<void> register_library_command(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    std::string path = TRY(call.text(1));
    bool register_it = TRY(call.flag(2));
    std::string result = TRY(call.result_name(3));
    // In the platform mode "Win32" a library under the system folder is the
    // one a 32-bit engine would reach through the file-system redirector.
    path = map_to_view(path, view_for_mode(executor.platform_mode()), executor.machine().system_folders());
    bool done = register_library(executor.processes(), path,
                                 register_it ? RegisterAction::register_server : RegisterAction::unregister_server);
    call.store(result, done ? true_text : false_text);
    return {};
}

} // namespace

void RegisterProcessCommands(HandlerTable& table)
{
    table.add("Check Process", check_process);
    table.add("Terminate Program", terminate_program_command);
    table.add("Check Service", check_service);
    table.add("Register Library", register_library_command);
}

} // namespace quillon
