// One command as its handler sees it: its parameters in their forms and the
// storing of results.
#pragma once

#include "base/error.h"
#include "base/strings.h"
#include "vars/VariableManager.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

class TScriptExecutor;
class TScriptImage;

class CommandCall {
public:
    CommandCall(TScriptExecutor& executor, std::size_t index);

    TScriptExecutor& executor() const { return m_executor; }
    TVariableManager& vars() const;
    const TScriptImage& script() const;
    std::size_t index() const { return m_index; }
    const std::string& name() const;
    const std::string& id() const;

    // Parameter k (1-based) as stored.
    Result<std::string> raw(std::size_t k) const;
    // Expanded.
    Result<std::string> text(std::size_t k) const;
    // The ordinal-th translatable text of the command: translated when a
    // language is set, then expanded.
    Result<std::string> translated(std::size_t k, std::size_t ordinal) const;
    // Path form: expanded, doubled backslashes reduced.
    Result<std::string> path(std::size_t k) const;
    Result<std::string> translated_path(std::size_t k, std::size_t ordinal) const;
    // Expanded, then read as a Boolean ("TRUE" in any case, or "-1").
    Result<bool> boolean(std::size_t k) const;
    // As stored, compared exactly with "TRUE".
    Result<bool> exactly_true(std::size_t k) const;
    // Expanded, then read as a signed 32-bit decimal; anything else is an error naming the parameter.
    Result<std::int32_t> integer(std::size_t k) const;
    // The name of a result variable: as stored, without the dollar signs of a
    // "$NAME$" reference unless taken as written.
    Result<std::string> result_name(std::size_t k, bool as_written) const;

    // Creates the variable (upper-case name, empty value) when it does not exist.
    void ensure_variable(std::string_view name) const;
    // Stores a result under the origin "<command> Action"; an empty name stores nothing.
    void store(std::string_view name, std::string_view value) const;
    // Stores with DefineVar under the upper-case name.
    void define(std::string_view name, std::string_view value) const;

private:
    TScriptExecutor& m_executor;
    std::size_t m_index;
};

// A pair parameter: the text before the first "|" and the text after it.
std::pair<std::string, std::string> split_pair(std::string_view text);


// Reading a number where a command needs one: an error naming the text otherwise.
Result<std::int32_t> to_integer(std::string_view text);
Result<std::int64_t> to_integer64(std::string_view text);

} // namespace quillon
