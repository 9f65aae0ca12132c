#include "interp/mTerminate.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "vars/mEval.h"

namespace quillon {

namespace {

Result<void> terminate_install(CommandCall& call)
{
    call.executor().end_script();
    return {};
}

Result<void> terminate_with_exit_code(CommandCall& call)
{
    std::string text = TRY(call.text(1));
    // A code that is not a number ends the process with 0 rather than failing the script.
    call.executor().set_exit_code(parse_int32(text).value_or(0));
    call.executor().end_script();
    return {};
}

Result<void> reboot_computer(CommandCall& call)
{
    call.executor().system().restart_computer();
    call.executor().end_script();
    return {};
}

Result<void> reboot_and_resume(CommandCall& call)
{
    SystemServices& host = call.executor().system();
    std::string name = ResumeEntryName(call.script().product_code());
    if (!name.empty())
        host.write_resume_entry(text_is_true(GetVar(call.vars(), var::all_users)), name,
                                ResumeCommand(host.resume_program(), host.command_tail()));
    host.restart_computer();
    call.executor().end_script();
    return {};
}

} // namespace

std::uint32_t ScriptExitCode(std::optional<std::int32_t> script_code, bool runtime_error, ScriptOutcome outcome)
{
    if (script_code)
        return static_cast<std::uint32_t>(*script_code);
    if (runtime_error)
        return exit_runtime_error;
    switch (outcome) {
    case ScriptOutcome::cancelled: return exit_user_cancel;
    case ScriptOutcome::failed: return exit_install_failure;
    case ScriptOutcome::completed: break;
    }
    return 0;
}

std::string ResumeCommand(std::string_view program, std::string_view tail)
{
    // Unquoted, a path with blanks lets Windows run "C:\Program.exe" if someone planted one.
    std::string command = program.find(' ') != std::string_view::npos && !program.starts_with('"')
                              ? "\"" + std::string(program) + "\""
                              : std::string(program);
    if (!tail.empty()) {
        command += ' ';
        command += tail;
    }
    return command;
}

std::string ResumeEntryName(std::string_view product_code)
{
    if (product_code.size() < 9 || product_code.front() != '{')
        return {};
    return std::string(product_code.substr(1, 8));
}

void RegisterTerminationCommands(HandlerTable& table)
{
    table.add("Terminate Install", terminate_install);
    table.add("Terminate with Exit Code", terminate_with_exit_code);
    table.add("Reboot Computer", reboot_computer);
    table.add("Reboot and Resume", reboot_and_resume);
}

} // namespace quillon
