#include "interp/mscriptexec.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "interp/catalog.h"
#include "interp/mPlugins.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/texts.h"

#include <cstdio>
#include <cstdlib>

namespace quillon {

namespace {

constexpr std::string_view cmd_if = "If";
constexpr std::string_view cmd_else_if = "Else If";
constexpr std::string_view cmd_else = "Else";
constexpr std::string_view cmd_end = "End";
constexpr std::string_view cmd_wizard_loop = "Wizard Loop";
constexpr std::string_view cmd_display_dialog = "Display Dialog";
constexpr std::string_view cmd_ignore = "Ignore";

// Messages are pumped at this interval so a long run of quick commands keeps the window alive.
constexpr std::size_t pump_interval = 314;

// Modal results of a wizard page.
constexpr std::int32_t result_cancel = 2;
constexpr std::int32_t result_next = 6;
constexpr std::int32_t result_back = 7;

Error past_the_end(std::string_view what)
{
    return Error{ErrorCode::corrupt, 0, std::string(what) + " runs past the last command of the script"};
}

} // namespace

HandlerTable::HandlerTable()
{
    for (const CommandInfo& info : CommandCatalog())
        m_entries.push_back({&info, {}});
}

void HandlerTable::add(std::string_view name, CommandHandler handler)
{
    const CommandInfo* info = FindCommand(name);
    if (info == nullptr) {
        std::fprintf(stderr, "quillon: a handler was registered for \"%.*s\", which is not a catalog command\n",
                     static_cast<int>(name.size()), name.data());
        std::abort();
    }
    m_entries[static_cast<std::size_t>(info - CommandCatalog().data())].handler = std::move(handler);
}

const HandlerTable::Entry* HandlerTable::find(std::string_view name) const
{
    const CommandInfo* info = FindCommand(name);
    return info == nullptr ? nullptr : &m_entries[static_cast<std::size_t>(info - CommandCatalog().data())];
}

std::map<std::string, std::size_t> BuildLabelTable(const TScriptImage& script)
{
    std::map<std::string, std::size_t> labels;
    for (std::size_t i = 0; i < script.CommandCount(); ++i) {
        if (script.CommandName(i) != "Label")
            continue;
        Result<std::string> name = script.Parameter(script.CommandId(i), 1);
        if (name)
            labels.emplace(ansi_upper(*name), i);
    }
    return labels;
}

TScriptExecutor::TScriptExecutor(const TScriptImage& script, TVariableManager& vars, ExecutorRoles roles,
                                 const HandlerTable& handlers, ProcessState& process,
                                 std::map<std::string, std::size_t> labels)
    : m_script(script), m_vars(vars), m_roles(roles), m_handlers(handlers), m_process(process),
      m_labels(std::move(labels)), m_count(script.CommandCount()), m_workers(vars, roles.workers),
      m_components(script.component_sizes())
{
}

bool TScriptExecutor::Run()
{
    m_index = 0;
    m_branches = 0;
    m_skip = Skip::none;
    m_wizard_active = false;
    m_ended = false;
    m_outcome = ScriptOutcome::completed;
    while (m_index < m_count && !m_ended) {
        if (m_index % pump_interval == 0)
            m_roles.run.pump_messages();
        // A switch that cannot take effect (a language without its tables) is
        // the failure of the command that set it, the one run last.
        Result<void> step = m_roles.run.refresh_switches();
        if (step)
            step = execute_current();
        if (!step) {
            // The taskbar button shows the error while the report is up, as it does for a cancel.
            m_roles.ui.set_attention(true);
            m_roles.ui.report_runtime_error(runtime_error_report(m_current, step.error()));
            m_roles.ui.clear_attention();
            return false;
        }
    }
    return true;
}

// One iteration: find the command to execute, run the checks between
// commands, apply the block rules and dispatch.
Result<void> TScriptExecutor::execute_current()
{
    if (m_skip != Skip::none)
        return skip_scan();
    if (m_wizard_active) {
        TRY(wizard_step());
        if (!m_wizard_active)
            return {}; // left the wizard: its "End" is read next
    } else {
        read_next();
    }
    std::size_t current = m_index - 1;
    m_current = current;
    if (disabled(current))
        return {};

    DefineVar(m_vars, var::abort, text_is_true(GetVar(m_vars, var::is_cancelled)) ? "TRUE" : "FALSE",
              origin::cancel_state);
    if (m_roles.run.progress_dialog_shown()) {
        std::string text = GetVar(m_vars, var::progress_text);
        std::int32_t value = TRY(to_integer(GetVar(m_vars, var::progress)));
        if (text != m_shown_progress_text || value != m_shown_progress) {
            m_shown_progress_text = text;
            m_shown_progress = value;
            m_roles.run.update_progress_dialog(text, value);
        }
    }

    const std::string& command = name(current);
    for (const std::string& plugin : m_script.plugin_commands()) {
        if (plugin == command) {
            CommandCall call(*this, current);
            return RunPluginCommand(call);
        }
    }

    // The block rules.
    bool evaluate_else_if = m_evaluate_else_if && command == cmd_else_if;
    m_evaluate_else_if = false;
    if (m_end_of_skip && command == cmd_end) {
        m_branches = std::max(0, m_branches - 1);
        m_end_of_skip = false;
        return {};
    }
    if (command == cmd_else) {
        m_skip = Skip::to_end;
        return {};
    }
    if (!evaluate_else_if && m_branches > 0 && !m_wizard_exit && (command == cmd_else_if || command == cmd_end)) {
        if (command == cmd_else_if)
            m_skip = Skip::to_end;
        else
            m_branches = std::max(0, m_branches - 1);
        return {};
    }
    m_wizard_exit = false;
    if (command == cmd_end)
        return {};
    if (command == cmd_if || command == cmd_else_if) {
        if (TRY(condition_holds(current)))
            ++m_branches;
        else
            m_skip = Skip::to_branch;
        return {};
    }
    return dispatch(current);
}

// The plain advance: disabled commands and "Ignore" are passed, except the last one.
void TScriptExecutor::read_next()
{
    std::size_t read = m_index++;
    while (m_index < m_count && (disabled(read) || name(read) == cmd_ignore))
        read = m_index++;
}

Result<void> TScriptExecutor::skip_scan()
{
    const bool to_branch = m_skip == Skip::to_branch;
    std::int32_t depth = 0;
    for (;;) {
        if (m_index >= m_count)
            return std::unexpected(past_the_end(to_branch ? "The search for the next branch" : "The search for End"));
        std::size_t read = m_index++;
        if (disabled(read))
            continue;
        const std::string& command = name(read);
        if (command == cmd_if || command == cmd_wizard_loop) {
            ++depth;
            continue;
        }
        if (command == cmd_end) {
            if (--depth >= 0)
                continue;
            m_skip = Skip::none;
            if (!to_branch) {
                m_index = read;
                m_end_of_skip = true;
            }
            return {};
        }
        if (to_branch && depth == 0 && (command == cmd_else || command == cmd_else_if)) {
            m_skip = Skip::none;
            if (command == cmd_else) {
                ++m_branches;
            } else {
                m_index = read;
                m_evaluate_else_if = true;
            }
            return {};
        }
    }
}

Result<void> TScriptExecutor::wizard_step()
{
    if (m_direction == WizardDirection::cancel) {
        for (;;) {
            if (m_index >= m_count)
                return std::unexpected(past_the_end("The wizard loop"));
            std::size_t read = m_index++;
            if (!disabled(read) && name(read) == cmd_end) {
                m_index = read + 1;
                leave_wizard();
                return {};
            }
        }
    }
    for (;;) {
        if (m_direction == WizardDirection::next) {
            if (m_index >= m_count)
                return std::unexpected(past_the_end("The wizard loop"));
            ++m_index;
        } else {
            if (m_index <= 1)
                return std::unexpected(past_the_end("The wizard loop"));
            --m_index;
        }
        std::size_t read = m_index - 1;
        if (disabled(read))
            continue;
        const std::string& command = name(read);
        if (command == cmd_display_dialog)
            return {};
        if (command == cmd_end) {
            leave_wizard();
            return {};
        }
        if (command == cmd_wizard_loop) {
            // Back from the first page leaves the loop forwards.
            for (;;) {
                if (m_index >= m_count)
                    return std::unexpected(past_the_end("The wizard loop"));
                std::size_t end = m_index++;
                if (!disabled(end) && name(end) == cmd_end) {
                    m_index = end + 1;
                    leave_wizard();
                    return {};
                }
            }
        }
    }
}

// The index points just behind the loop's "End"; it is set back onto it so
// that the plain advance reads it and runs it as a no-op.
void TScriptExecutor::leave_wizard()
{
    m_wizard_active = false;
    m_wizard_exit = true;
    m_index -= 1;
}

Result<bool> TScriptExecutor::condition_holds(std::size_t index)
{
    const std::string& id = m_script.CommandId(index);
    std::string variable = TRY(m_script.Parameter(id, 1));
    std::string code = TRY(m_script.Parameter(id, 2));
    std::string value = TRY(m_script.Parameter(id, 3));
    std::string negate = TRY(m_script.Parameter(id, 4));
    if (m_roles.run.language_set()) {
        variable = TRY(m_roles.run.translate(variable, id, 1));
        value = TRY(m_roles.run.translate(value, id, 2));
    }
    return CompareForIf(m_vars, variable, code, value, negate);
}

Result<void> TScriptExecutor::dispatch(std::size_t index)
{
    const std::string& command = name(index);
    const HandlerTable::Entry* entry = m_handlers.find(command);
    // Names of newer authoring tools, and the known names that do nothing.
    if (entry == nullptr || (entry->info->marks & mark_no_op) != 0)
        return {};
    if (!entry->handler)
        return make_error(ErrorCode::unsupported, NotSupportedMessage(command));
    CommandCall call(*this, index);
    bool redirected =
        (entry->info->marks & mark_64) != 0 && m_platform_mode != "Win32" && m_roles.system.disable_redirection();
    Result<void> outcome = entry->handler(call);
    if (redirected)
        m_roles.system.revert_redirection();
    return outcome;
}

Result<void> TScriptExecutor::goto_label(std::string_view label)
{
    auto found = m_labels.find(ansi_upper(label));
    if (found == m_labels.end())
        return make_error(ErrorCode::not_found, "Label not found: " + std::string(label));
    m_index = found->second;
    m_branches = 0;
    m_skip = Skip::none;
    m_end_of_skip = false;
    m_evaluate_else_if = false;
    m_wizard_active = false;
    m_wizard_exit = false;
    return {};
}

void TScriptExecutor::start_wizard()
{
    m_wizard_active = true;
    m_direction = WizardDirection::next;
}

void TScriptExecutor::set_wizard_result(std::int32_t modal_result)
{
    if (!m_wizard_active)
        return;
    if (modal_result == result_cancel)
        m_direction = WizardDirection::cancel;
    else if (modal_result == result_next)
        m_direction = WizardDirection::next;
    else if (modal_result == result_back)
        m_direction = WizardDirection::back;
}

void TScriptExecutor::persist_variable(std::string_view name)
{
    for (const std::string& known : m_persisted)
        if (equal_nocase(known, name))
            return;
    m_persisted.emplace_back(name);
}

std::string TScriptExecutor::runtime_error_report(std::size_t index, const Error& error) const
{
    std::string report = m_roles.ui.engine_text(EngineText::runtime_error_heading) + "\r\r";
    report += "Source File: " + m_script.SourceFile(index) + "\r";
    report += "Line Number: " + std::to_string(m_script.SourceLine(index)) + "\r\r";
    report += error.message;
    return report;
}

} // namespace quillon
