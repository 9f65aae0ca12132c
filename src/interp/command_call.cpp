#include "interp/command_call.h"

#include "base/strings.h"
#include "interp/mscriptexec.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/texts.h"
#include "script/compile_texts.h"
#include "script/localization.h"

#include <algorithm>

namespace quillon {

CommandCall::CommandCall(TScriptExecutor& executor, std::size_t index)
    : m_executor(executor), m_index(index), m_info(FindCommand(executor.script().CommandName(index)))
{
}

TVariableManager& CommandCall::vars() const
{
    return m_executor.vars();
}

const TScriptImage& CommandCall::script() const
{
    return m_executor.script();
}

const std::string& CommandCall::name() const
{
    return script().CommandName(m_index);
}

const std::string& CommandCall::id() const
{
    return script().CommandId(m_index);
}

Result<std::string> CommandCall::raw(std::size_t k) const
{
    return script().Parameter(id(), k);
}

Result<ParamForm> CommandCall::form(std::size_t k, std::initializer_list<ParamForm> accepted,
                                    std::string_view reader) const
{
    const ParamSpec* spec = m_info != nullptr ? FindParameter(*m_info, k) : nullptr;
    if (spec != nullptr && std::ranges::find(accepted, spec->form) != accepted.end())
        return spec->form;
    return make_error(ErrorCode::internal, "The engine reads parameter " + std::to_string(k) + " of \"" + name() +
                                               "\" as " + std::string(reader) +
                                               ", which is not the form the command catalog gives for it");
}

Result<std::string> CommandCall::translate(std::size_t k, const std::string& value, std::string_view key) const
{
    RunEnvironment& run = m_executor.run_environment();
    if (!run.language_set())
        return value;
    return run.translate(value, key, TranslationOrdinal(*m_info, k));
}

Result<std::string> CommandCall::text(std::size_t k) const
{
    using enum ParamForm;
    ParamForm how = TRY(form(k,
                             {text, translated, translated_by_variable, written, expression, path, translated_path,
                              installer_value, version},
                             "a text"));
    std::string value = TRY(raw(k));
    switch (how) {
    case translated:
    case translated_path: value = TRY(translate(k, value, id())); break;
    case translated_by_variable: {
        // The key names the variable of parameter 1, as "Localization Variable" stores it.
        std::string variable = strip_reference(TRY(raw(1)));
        value = TRY(translate(k, value, LocalizationVariableKey(variable)));
        break;
    }
    case written:
    case expression:
    case installer_value: return value;
    default: break;
    }
    if (how == path || how == translated_path)
        return NormalizePath(vars(), how == path ? value : Expand(vars(), value));
    return Expand(vars(), value);
}

Result<std::string> CommandCall::recorded(std::size_t k) const
{
    using enum ParamForm;
    ParamForm how = TRY(form(k, {path, translated_path, installer_value}, "a recorded value"));
    std::string value = TRY(raw(k));
    if (how == translated_path)
        value = TRY(translate(k, value, id()));
    return NormalizePath(vars(), Expand(vars(), value));
}

Result<std::string> CommandCall::stored(std::size_t k) const
{
    using enum ParamForm;
    TRY(form(k, {installer_value, written, stored, translated}, "a stored text"));
    return raw(k);
}

Result<std::string> CommandCall::untranslated(std::size_t k) const
{
    ParamForm how = TRY(form(k, {ParamForm::translated, ParamForm::translated_path}, "an untranslated text"));
    std::string value = TRY(raw(k));
    return how == ParamForm::translated_path ? NormalizePath(vars(), value) : Expand(vars(), value);
}

Result<bool> CommandCall::flag(std::size_t k) const
{
    using enum ParamForm;
    ParamForm how = TRY(form(k, {boolean, boolean_written, exact_flag, exact_flag_written}, "a Boolean"));
    std::string value = TRY(raw(k));
    if (how == boolean || how == exact_flag)
        value = Expand(vars(), value);
    return how == boolean || how == boolean_written ? text_is_true(value) : value == "TRUE";
}

Result<std::int32_t> CommandCall::number(std::size_t k) const
{
    TRY(form(k, {ParamForm::integer}, "an integer"));
    return to_integer(Expand(vars(), TRY(raw(k))));
}

Result<std::int64_t> CommandCall::number64(std::size_t k) const
{
    TRY(form(k, {ParamForm::integer}, "an integer"));
    return to_integer64(Expand(vars(), TRY(raw(k))));
}

Result<std::pair<std::string, std::string>> CommandCall::pair(std::size_t k) const
{
    TRY(form(k, {ParamForm::pair}, "a pair"));
    return split_pair(Expand(vars(), TRY(raw(k))));
}

Result<std::string> CommandCall::result_name(std::size_t k) const
{
    using enum ParamForm;
    ParamForm how = TRY(form(k, {result, result_written, result_persisted}, "a result variable"));
    std::string value = TRY(raw(k));
    if (how == result_written)
        return value;
    if (how == result_persisted)
        value.resize(std::min(value.size(), value.find(compile_text::flag_marker)));
    return strip_reference(value);
}

Result<bool> CommandCall::persisted(std::size_t k) const
{
    TRY(form(k, {ParamForm::result_persisted}, "a persisted result variable"));
    std::string value = TRY(raw(k));
    std::size_t marker = value.find(compile_text::flag_marker);
    return marker != std::string::npos &&
           std::string_view(value).substr(marker + compile_text::flag_marker.size()) == "TRUE";
}

Result<std::string> CommandCall::plugin_parameter(std::size_t k) const
{
    if (m_info != nullptr)
        return make_error(ErrorCode::internal, "\"" + name() + "\" is a catalog command, not a plug-in command");
    return raw(k);
}

void CommandCall::ensure_variable(std::string_view name) const
{
    if (!name.empty() && !VarExists(vars(), name))
        DefineVar(vars(), ansi_upper(name), "", origin::action(this->name()));
}

void CommandCall::store(std::string_view name, std::string_view value) const
{
    if (name.empty())
        return;
    ensure_variable(name);
    SetVar(vars(), name, value, origin::action(this->name()));
}

void CommandCall::store(std::string_view name, std::string_view value, std::string_view origin) const
{
    if (name.empty())
        return;
    ensure_variable(name);
    SetVar(vars(), name, value, origin);
}

void CommandCall::define(std::string_view name, std::string_view value) const
{
    if (!name.empty())
        DefineVar(vars(), ansi_upper(name), value, origin::action(this->name()));
}

std::pair<std::string, std::string> split_pair(std::string_view text)
{
    std::size_t bar = text.find('|');
    if (bar == std::string_view::npos)
        return {std::string(text), std::string()};
    return {std::string(text.substr(0, bar)), std::string(text.substr(bar + 1))};
}

Result<std::int32_t> to_integer(std::string_view text)
{
    if (std::optional<std::int32_t> value = parse_int32(text))
        return *value;
    return make_error(ErrorCode::parse, "'" + std::string(text) + "' is not a valid integer value");
}

Result<std::int64_t> to_integer64(std::string_view text)
{
    if (std::optional<std::int64_t> value = parse_int64(text))
        return *value;
    return make_error(ErrorCode::parse, "'" + std::string(text) + "' is not a valid integer value");
}

} // namespace quillon
