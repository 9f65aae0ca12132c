#include "interp/command_call.h"

#include "base/strings.h"
#include "interp/mscriptexec.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/texts.h"

namespace quillon {

CommandCall::CommandCall(TScriptExecutor& executor, std::size_t index) : m_executor(executor), m_index(index) {}

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

Result<std::string> CommandCall::text(std::size_t k) const
{
    std::string value = TRY(raw(k));
    return Expand(vars(), value);
}

Result<std::string> CommandCall::translated(std::size_t k, std::size_t ordinal) const
{
    std::string value = TRY(raw(k));
    ExecutorHost& host = m_executor.host();
    if (host.language_set())
        value = TRY(host.translate(value, id(), ordinal));
    return Expand(vars(), value);
}

Result<std::string> CommandCall::path(std::size_t k) const
{
    std::string value = TRY(raw(k));
    return NormalizePath(vars(), value);
}

Result<std::string> CommandCall::translated_path(std::size_t k, std::size_t ordinal) const
{
    std::string value = TRY(translated(k, ordinal));
    return NormalizePath(vars(), value);
}

Result<bool> CommandCall::boolean(std::size_t k) const
{
    std::string value = TRY(text(k));
    return text_is_true(value);
}

Result<bool> CommandCall::exactly_true(std::size_t k) const
{
    Result<std::string> value = raw(k);
    if (!value)
        return std::unexpected(std::move(value).error());
    return *value == "TRUE";
}

Result<std::int32_t> CommandCall::integer(std::size_t k) const
{
    std::string value = TRY(text(k));
    return to_integer(value);
}

Result<std::string> CommandCall::result_name(std::size_t k, bool as_written) const
{
    std::string value = TRY(raw(k));
    return as_written ? value : strip_reference(value);
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
