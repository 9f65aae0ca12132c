#include "interp/mComponents.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "interp/command_call.h"
#include "msi/components.h"
#include "msi/selection_file.h"
#include "vars/mEval.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

namespace {

namespace command {
constexpr std::string_view define_component = "Define Component";
constexpr std::string_view delete_component = "Delete Component";
constexpr std::string_view get_component_state = "Get Component State";
constexpr std::string_view get_component_space = "Get Component Space";
constexpr std::string_view set_component_state = "Set Component State";
constexpr std::string_view set_component_space = "Set Component Space";
constexpr std::string_view set_component_choice = "Set Component Choice";
constexpr std::string_view set_component_visibility = "Set Component Visibility";
constexpr std::string_view save_feature_selections = "Save Feature Selections";
constexpr std::string_view load_feature_selections = "Load Feature Selections";
} // namespace command

Result<std::string> component_name(const CommandCall& call)
{
    return call.text(1);
}

Result<void> define_component(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    bool initial_state = TRY(call.flag(2));
    std::string description = TRY(call.text(3));
    std::optional<std::string> untranslated;
    if (call.executor().run_environment().language_set())
        untranslated = TRY(call.untranslated(1));
    std::optional<std::string_view> untranslated_view;
    if (untranslated)
        untranslated_view = *untranslated;
    call.executor().components().Define(name, description, initial_state, untranslated_view);
    return {};
}

Result<void> delete_component(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    call.executor().components().Delete(name);
    return {};
}

Result<void> get_component_state(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    std::string result = TRY(call.result_name(2));
    bool selected = call.executor().components().is_selected(name);
    call.store(result, selected ? component_text::selected : component_text::not_selected);
    return {};
}

Result<void> get_component_space(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    std::string result = TRY(call.result_name(2));
    TComponentModel& components = call.executor().components();
    std::int64_t bytes = name.empty() ? components.total_required_size() : components.size(name);
    call.store(result, std::to_string(bytes));
    return {};
}

// The state, choice and visibility flags are read as written, not expanded.
Result<bool> written_flag(const CommandCall& call)
{
    return call.flag(2);
}

Result<void> set_component_state(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    bool selected = TRY(written_flag(call));
    call.executor().components().SetState(name, selected);
    return {};
}

Result<void> set_component_space(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    std::string size = TRY(call.text(2));
    // A size that is no number leaves the model as it is rather than ending the script.
    if (std::optional<std::int64_t> bytes = parse_int64(size))
        call.executor().components().SetSpace(name, *bytes);
    return {};
}

Result<void> set_component_choice(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    bool allowed = TRY(written_flag(call));
    call.executor().components().SetChoice(name, allowed);
    return {};
}

Result<void> set_component_visibility(CommandCall& call)
{
    std::string name = TRY(component_name(call));
    bool visible = TRY(written_flag(call));
    call.executor().components().SetVisibility(name, visible);
    return {};
}

// The loop turns the file-system redirection off around both file commands
// (they are marked 64 in the catalog) when the platform mode asks for it.
Result<void> save_feature_selections(CommandCall& call)
{
    std::string path = TRY(call.text(1));
    TScriptExecutor& executor = call.executor();
    const TVariableManager& vars = call.vars();
    SelectionRunValues values;
    values.target_dir = GetVar(vars, var::target_dir);
    values.all_users = GetVar(vars, var::all_users);
    values.start_menu = GetVar(vars, var::start_menu);
    for (const std::string& name : executor.persisted_variables())
        values.saved_variables.emplace_back(name, GetVar(vars, name));
    values.platform_mode = executor.platform_mode();
    values.override_cache = GetVar(vars, var::override_cache);
    return WriteSelectionFile(path, FormatSelectionFile(executor.components(), values));
}

Result<void> load_feature_selections(CommandCall& call)
{
    std::string path = TRY(call.text(1));
    std::optional<std::string> text = TRY(ReadSelectionFile(path));
    if (!text)
        return {};
    Result<SelectionFile> file = ParseSelectionFile(*text);
    if (!file)
        return make_error(file.error().code, "'" + path + "': " + file.error().message);
    TScriptExecutor& executor = call.executor();
    executor.components().Merge(file->lists);
    ApplySelectionVariables(call.vars(), *file, [&](std::string_view name) { executor.persist_variable(name); });
    if (file->platform_mode && !file->platform_mode->empty())
        executor.set_platform_mode(*file->platform_mode);
    return {};
}

} // namespace

void RegisterComponentCommands(HandlerTable& table)
{
    table.add(command::define_component, define_component);
    table.add(command::delete_component, delete_component);
    table.add(command::get_component_state, get_component_state);
    table.add(command::get_component_space, get_component_space);
    table.add(command::set_component_state, set_component_state);
    table.add(command::set_component_space, set_component_space);
    table.add(command::set_component_choice, set_component_choice);
    table.add(command::set_component_visibility, set_component_visibility);
    table.add(command::save_feature_selections, save_feature_selections);
    table.add(command::load_feature_selections, load_feature_selections);
}

} // namespace quillon
