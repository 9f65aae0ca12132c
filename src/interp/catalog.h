// The command catalog: every command name the engine knows, how it runs and
// how its parameters are read. Pure data; handlers are registered separately.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

enum class CommandKind : std::uint8_t {
    control,   // changes the command index, the block state or the wizard state
    immediate, // works on the main thread while the loop waits
    worker,    // starts a worker thread and waits for it
    recorded,  // marks its installer rows and hands its values to the database
    plugin,    // runs a plug-in library (names come from the script, not from here)
};

enum class ParamForm : std::uint8_t {
    text,            // expanded
    translated,      // translated when a language is set, then expanded
    // translated under the key made from the variable named by parameter 1
    // ("Localization Variable"), then expanded
    translated_by_variable,
    written,         // taken literally
    expression,      // as stored; the evaluator expands it with quoted values
    path,            // path form
    translated_path, // translated, then path form
    boolean,         // expanded, then "TRUE" in any case, or exactly "-1"
    boolean_written, // as stored, then "TRUE" in any case, or exactly "-1"
    exact_flag,      // expanded, true only when exactly "TRUE"
    exact_flag_written, // as stored, true only when exactly "TRUE"
    integer,         // signed 32-bit decimal ("Mathematics" reads 64 bits)
    pair,            // split at the first "|"
    result,          // result variable; a "$NAME$" reference is stripped
    result_written,  // result variable taken as written
    // result variable, optionally followed by the persistence marker and its
    // flag ("Set Variable"); a "$NAME$" reference is stripped
    result_persisted,
    version,         // up to four dot-separated numbers
    installer_value, // handed to the installer rows as is
    stored,          // stored by the authoring tool, not read
};

struct ParamSpec {
    std::uint8_t position; // 1-based
    ParamForm form;
};

enum CommandMark : std::uint8_t {
    mark_none = 0,
    mark_64 = 1,    // follows the 64-bit bracket
    mark_view = 2,  // opens registry keys in the view of the platform mode
    mark_no_op = 4, // known, and does nothing when executed
    mark_block = 8, // applied by the loop's block rules; never dispatched
};

struct CommandInfo {
    std::string_view name;
    CommandKind kind;
    std::uint8_t marks;                   // CommandMark bits
    std::span<const ParamSpec> parameters; // the parameters the engine reads
    std::array<std::uint8_t, 2> results;  // positions of result variables, 0 when none
};

// The entry for a command name, compared exactly (case-sensitive), or null.
const CommandInfo* FindCommand(std::string_view name) noexcept;

// The form of parameter `position` of a command, or null when the engine does not read it.
const ParamSpec* FindParameter(const CommandInfo& info, std::size_t position) noexcept;

// The ordinal of a translated parameter among the command's translated
// parameters (1 for the first), which is its index in the translation matrix.
std::size_t TranslationOrdinal(const CommandInfo& info, std::size_t position) noexcept;

// Every entry, in the order of the catalog's tables.
std::span<const CommandInfo> CommandCatalog() noexcept;

// The names that have no handler and do nothing when executed.
bool IsNoOpCommand(std::string_view name) noexcept;

// The text of a runtime error for a catalog command whose handler is not built.
std::string NotSupportedMessage(std::string_view name);

} // namespace quillon
