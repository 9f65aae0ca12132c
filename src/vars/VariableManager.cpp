#include "vars/VariableManager.h"

#include "base/strings.h"
#include "vars/comma_text.h"
#include "vars/expand.h"
#include "vars/texts.h"

#include <cassert>

namespace quillon {

// The table refuses writes only while an enumerator exists or when it is fixed
// at size 0. The store's table grows freely and is enumerated only by ToStrings,
// which holds m_mutex for the whole walk, so no write here can meet either case.
void TVariableManager::put(std::string_view name, std::string_view value)
{
    [[maybe_unused]] Result<void> stored = m_table.put(name, value);
    assert(stored.has_value());
}

void TVariableManager::Add(std::string_view name, std::string_view value)
{
    std::lock_guard lock(m_mutex);
    put(name, value);
}

void TVariableManager::SetValue(std::string_view name, std::string_view value)
{
    std::lock_guard lock(m_mutex);
    put(name, value);
}

void TVariableManager::Clear()
{
    std::lock_guard lock(m_mutex);
    [[maybe_unused]] Result<void> cleared = m_table.clear();
    assert(cleared.has_value());
}

bool TVariableManager::Exists(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    return m_table.contains(name);
}

std::string TVariableManager::GetValue(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const std::string* value = m_table.find(name);
    return value != nullptr ? *value : std::string();
}

std::optional<std::string> TVariableManager::lookup(std::string_view name) const
{
    std::lock_guard lock(m_mutex);
    const std::string* value = m_table.find(name);
    if (value == nullptr)
        return std::nullopt;
    return *value;
}

std::size_t TVariableManager::ToStrings(std::vector<std::string>& list) const
{
    list.clear();
    std::lock_guard lock(m_mutex);
    list.reserve(static_cast<std::size_t>(m_table.count()) * 2);
    auto pairs = m_table.enumerate();
    while (pairs.move_next()) {
        TStringHashTable::TPair pair = pairs.current();
        list.emplace_back(pair.key);
        list.emplace_back(pair.value);
    }
    return list.size();
}

std::string TVariableManager::Expand(std::string_view text) const
{
    return quillon::Expand(*this, text);
}

std::string TVariableManager::ExpandQuoted(std::string_view text) const
{
    return quillon::ExpandQuoted(*this, text);
}

void TVariableManager::replace_with_pairs(const std::vector<std::string>& list)
{
    std::lock_guard lock(m_mutex);
    [[maybe_unused]] Result<void> cleared = m_table.clear();
    assert(cleared.has_value());
    for (std::size_t i = 0; i + 1 < list.size(); i += 2)
        put(list[i], list[i + 1]);
}

void TVariableManager::set_silent(bool silent)
{
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void TVariableManager::set_command_line_names(std::vector<std::string> names)
{
    std::lock_guard lock(m_mutex);
    m_command_line_names = std::move(names);
}

bool TVariableManager::locked_by_command_line(std::string_view name, std::string_view writer) const
{
    if (!m_silent || writer == origin::inject_override_command_line)
        return false;
    std::string upper = ansi_upper(name);
    for (const std::string& assigned : m_command_line_names)
        if (equal_nocase(upper, assigned))
            return true;
    return false;
}

void TVariableManager::define_with_origin(std::string_view name, std::string_view value, std::string_view writer)
{
    if (name.empty())
        return;
    std::lock_guard lock(m_mutex);
    // Only an existing variable goes through SetVar's lock; creating one never does.
    if (m_table.contains(name) && locked_by_command_line(name, writer))
        return;
    put(name, value);
}

void TVariableManager::set_with_origin(std::string_view name, std::string_view value, std::string_view writer)
{
    if (name.empty())
        return;
    std::lock_guard lock(m_mutex);
    if (locked_by_command_line(name, writer))
        return;
    put(name, value);
}

std::uint64_t TVariableManager::count() const
{
    std::lock_guard lock(m_mutex);
    return m_table.count();
}

std::string GetVar(const TVariableManager& vars, std::string_view name)
{
    return vars.GetValue(name);
}

void DefineVar(TVariableManager& vars, std::string_view name, std::string_view value, std::string_view origin)
{
    vars.define_with_origin(name, value, origin);
}

void SetVar(TVariableManager& vars, std::string_view name, std::string_view value, std::string_view origin)
{
    vars.set_with_origin(name, value, origin);
}

bool VarExists(const TVariableManager& vars, std::string_view name)
{
    return vars.Exists(name);
}

std::string SnapshotVariables(const TVariableManager& vars)
{
    std::vector<std::string> list;
    vars.ToStrings(list);
    return comma_text(list);
}

void RestoreVariables(TVariableManager& vars, std::string_view text)
{
    vars.replace_with_pairs(parse_comma_text(text));
}

} // namespace quillon
