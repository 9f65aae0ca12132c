// One command as its handler sees it: its parameters in their forms and the
// storing of results.
#pragma once

#include "base/error.h"
#include "base/strings.h"
#include "interp/catalog.h"
#include "vars/VariableManager.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

class TScriptExecutor;
class TScriptImage;

// Parameters are read in the form the command catalog gives for them, so that
// a handler and the catalog cannot drift apart: a reader asked for a form the
// catalog does not give is an internal error naming the command.
class CommandCall {
public:
    CommandCall(TScriptExecutor& executor, std::size_t index);

    TScriptExecutor& executor() const { return m_executor; }
    TVariableManager& vars() const;
    const TScriptImage& script() const;
    std::size_t index() const { return m_index; }
    const std::string& name() const;
    const std::string& id() const;
    // The catalog entry; null for plug-in commands.
    const CommandInfo* info() const { return m_info; }

    // Parameter k (1-based) as a text: expanded, translated and expanded,
    // in path form, or as stored, as its form says.
    Result<std::string> text(std::size_t k) const;
    // A value an installation command records: the parameter (translated
    // first when its form is), expanded, then brought into path form, which
    // expands it once more.
    Result<std::string> recorded(std::size_t k) const;
    // The parameter exactly as stored, for the forms that hand it over as is.
    Result<std::string> stored(std::size_t k) const;
    // A translated parameter expanded without its translation.
    Result<std::string> untranslated(std::size_t k) const;
    // A Boolean: "TRUE" in any case or "-1" (read expanded or as stored), or
    // for the exact flags only the text "TRUE".
    Result<bool> flag(std::size_t k) const;
    // Expanded, then read as a signed 32-bit decimal; anything else is an error naming the text.
    Result<std::int32_t> number(std::size_t k) const;
    // The same in 64 bits ("Mathematics").
    Result<std::int64_t> number64(std::size_t k) const;
    // Expanded, then split at the first "|".
    Result<std::pair<std::string, std::string>> pair(std::size_t k) const;
    // The name of a result variable: as stored, without the dollar signs of a
    // "$NAME$" reference unless its form is "as written"; the persistence
    // marker of "Set Variable" cut off.
    Result<std::string> result_name(std::size_t k) const;
    // Whether a result variable carries the persistence marker with its flag "TRUE".
    Result<bool> persisted(std::size_t k) const;
    // A parameter of a plug-in command, which has no catalog entry, as stored.
    Result<std::string> plugin_parameter(std::size_t k) const;

    // Creates the variable (upper-case name, empty value) when it does not exist.
    void ensure_variable(std::string_view name) const;
    // Stores a result under the origin "<command> Action"; an empty name stores nothing.
    void store(std::string_view name, std::string_view value) const;
    // Stores a result under an origin of the caller's.
    void store(std::string_view name, std::string_view value, std::string_view origin) const;
    // Stores with DefineVar under the upper-case name.
    void define(std::string_view name, std::string_view value) const;

private:
    Result<std::string> raw(std::size_t k) const;
    Result<ParamForm> form(std::size_t k, std::initializer_list<ParamForm> accepted, std::string_view reader) const;
    Result<std::string> translate(std::size_t k, const std::string& value, std::string_view key) const;

    TScriptExecutor& m_executor;
    std::size_t m_index;
    const CommandInfo* m_info;
};

// A pair parameter: the text before the first "|" and the text after it.
std::pair<std::string, std::string> split_pair(std::string_view text);

// Reading a number where a command needs one: an error naming the text otherwise.
Result<std::int32_t> to_integer(std::string_view text);
Result<std::int64_t> to_integer64(std::string_view text);

} // namespace quillon
