// The compile pass: validates a loaded script once before any command runs.
#pragma once

#include "script/ScriptImage.h"
#include "vars/VariableManager.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct CompileResult {
    // -1 when accepted, else the offending command index, or 2147483644 for an END imbalance.
    std::int32_t result = -1;
    std::string message;
    // Label names in upper case, in script order (disabled labels included).
    std::vector<std::string> labels;
    // One entry per command: "SKIP", or "FALSE" for installation commands.
    std::vector<std::string> marks;

    bool accepted() const noexcept { return result == -1; }
};

// Replaces "#NAME#" by the script's build constant NAME (ignoring case),
// repeating while "#" remains and the text changed. Unknown constants stay
// literal. The repetition is bounded so that a constant that expands to
// itself plus more text cannot run forever.
std::string ExpandBuildConstants(std::string_view text, const TScriptImage& image);

// Validates the script. The store is used for the declarations the checks
// need and is left empty afterwards.
CompileResult CompileScript(const TScriptImage& image, TVariableManager& variables);

} // namespace quillon
