// The command catalog: every command name the engine knows, how it runs and
// how its parameters are read. Pure data; handlers are registered separately.
#pragma once

#include <array>
#include <cstdint>
#include <span>
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
    written,         // taken literally
    path,            // path form
    translated_path, // translated, then path form
    boolean,         // "TRUE" in any case, or exactly "-1"
    integer,         // signed 32-bit decimal ("Mathematics" reads 64 bits)
    pair,            // split at the first "|"
    result,          // result variable; a "$NAME$" reference is stripped
    result_written,  // result variable taken as written
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
    mark_64 = 1,   // follows the 64-bit bracket
    mark_view = 2, // opens registry keys in the view of the platform mode
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

// Every entry, in the order of the catalog's tables.
std::span<const CommandInfo> CommandCatalog() noexcept;

// The names that have no handler and do nothing when executed.
bool IsNoOpCommand(std::string_view name) noexcept;

} // namespace quillon
