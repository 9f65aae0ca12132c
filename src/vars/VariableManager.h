// The store of named string variables shared by the interpreter, the dialogs
// and the worker threads.
#pragma once

#include "vars/Collections.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class TVariableManager {
public:
    TVariableManager() = default;
    TVariableManager(const TVariableManager&) = delete;
    TVariableManager& operator=(const TVariableManager&) = delete;

    // Creates the variable or replaces its value; an empty name does nothing.
    void Add(std::string_view name, std::string_view value);
    void SetValue(std::string_view name, std::string_view value);
    void Clear();
    bool Exists(std::string_view name) const;
    // The value, empty for an empty or unknown name.
    std::string GetValue(std::string_view name) const;
    // One locked lookup: tells a missing variable from an empty value.
    std::optional<std::string> lookup(std::string_view name) const;
    // Fills list with name, value, name, value, ... in enumeration order and
    // returns its size. Writers wait until the walk is over.
    std::size_t ToStrings(std::vector<std::string>& list) const;

    std::string Expand(std::string_view text) const;
    std::string ExpandQuoted(std::string_view text) const;

    // Replaces the whole store by the pairs of list in one step (an odd last item is ignored).
    void replace_with_pairs(const std::vector<std::string>& list);

    // The silent-mode lock: the engine refreshes the silent flag before every
    // command and hands over the names of the command line's assignments once.
    void set_silent(bool silent);
    void set_command_line_names(std::vector<std::string> names);

    // DefineVar and SetVar as single locked steps, so that no other thread can
    // slip between the check and the write.
    void define_with_origin(std::string_view name, std::string_view value, std::string_view origin);
    void set_with_origin(std::string_view name, std::string_view value, std::string_view origin);

    std::uint64_t count() const;

private:
    bool locked_by_command_line(std::string_view name, std::string_view origin) const;
    void put(std::string_view name, std::string_view value);

    // Guards m_table, m_silent and m_command_line_names. Held for one store
    // operation (a whole enumeration for ToStrings); nothing calls out of this
    // class while holding it.
    mutable std::mutex m_mutex;
    TStringHashTable m_table;
    bool m_silent = false;
    std::vector<std::string> m_command_line_names;
};

// Engine-level operations; every write names its origin (see vars/texts.h).
// The value, or empty when the variable does not exist.
std::string GetVar(const TVariableManager& vars, std::string_view name);
// Creates the variable, or sets it as SetVar does when it exists. An empty name does nothing.
void DefineVar(TVariableManager& vars, std::string_view name, std::string_view value, std::string_view origin);
// Sets or creates the variable, except that in a silent run a name given on the
// command line keeps its value unless the origin is "Inject Override Command Line".
void SetVar(TVariableManager& vars, std::string_view name, std::string_view value, std::string_view origin);
bool VarExists(const TVariableManager& vars, std::string_view name);

// The whole store as comma text (name, value, name, value, ...).
std::string SnapshotVariables(const TVariableManager& vars);
// Replaces the whole store by the pairs of a comma text.
void RestoreVariables(TVariableManager& vars, std::string_view text);

} // namespace quillon
