// Replacing $NAME$ references by the values of variables, and the small text
// conversions that go with it.
#pragma once

#include "vars/VariableManager.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// Bounds on one expansion, so that values referring to themselves ("$A$",
// "x$A$", "$A$$A$") cannot hang the engine or eat its memory. A text needs a
// hundred thousand references or a value of tens of megabytes to reach them.
inline constexpr std::size_t max_expand_replacements = 100'000;
inline constexpr std::size_t max_expand_result_size = 64u * 1024u * 1024u;

struct ExpandLimits {
    std::size_t max_replacements = max_expand_replacements;
    // A replacement that would make the result longer than this is not made
    // (a text already longer than this is left as it is).
    std::size_t max_result_size = max_expand_result_size;
};

enum class ExpandStyle {
    plain,
    quoted, // each inserted value between double quotes (inner quotes not doubled)
};

struct ExpandResult {
    std::string text;
    // False when a bound stopped the expansion: text is then the output made so
    // far followed by the rest of the input, unexpanded.
    bool complete = true;
};

// A reference is the text between two consecutive dollar signs. A reference to
// an existing variable is replaced by its value, and scanning continues at the
// start of the inserted value, so the value is expanded in turn (a reference may
// even begin inside the value and end in the text that follows it). An unknown
// reference stays, and its second dollar sign may open the next reference.
ExpandResult expand_text(const TVariableManager& vars, std::string_view text, ExpandStyle style,
                         const ExpandLimits& limits = {});

std::string Expand(const TVariableManager& vars, std::string_view text);
// For expressions: "$N$ > 3" becomes "\"value\" > 3".
std::string ExpandQuoted(const TVariableManager& vars, std::string_view text);

// The name when the text is exactly one reference ("$NAME$" with no other
// dollar sign), else empty.
std::string ReferenceName(std::string_view text);
// The expanded value of the variable the text refers to ("$NAME$" or the bare
// name), or "$KYRTNX$" when it does not exist.
std::string ReferencedValue(const TVariableManager& vars, std::string_view text);
// As ReferencedValue, but empty when the variable does not exist.
std::string ReferencedValueOrEmpty(const TVariableManager& vars, std::string_view text);

// "$NEWLINE$" in any letter case to CR LF, and CR LF back to "$NEWLINE$".
std::string NewlinesFromToken(std::string_view text);
std::string NewlinesToToken(std::string_view text);

// Expand, then collapse doubled backslashes (left to right, one pass); a leading
// pair is kept so that UNC paths survive.
std::string NormalizePath(const TVariableManager& vars, std::string_view text);

} // namespace quillon
