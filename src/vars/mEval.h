// Conditions: the expression evaluator of "Evaluate Expression", the If
// comparison and version comparison.
#pragma once

#include "base/error.h"
#include "vars/VariableManager.h"

#include <string>
#include <string_view>

namespace quillon {

// Deeper nesting of parentheses is a syntax error; it keeps the recursive parser
// within a worker thread's stack.
inline constexpr int max_expression_nesting = 200;

// "TRUE", "FALSE", or "ERROR" for any syntax fault. An integer operand outside
// the signed 32-bit range is an error of its own (the command fails).
Result<std::string> EvaluateExpression(std::string_view text);

// The compile-time check: every "$" read as a double quote, so that $NAME$
// stands for a quoted operand; true unless the evaluation gives "ERROR".
Result<bool> CheckExpressionSyntax(std::string_view text);

// The comparison of "If" and "Else If": parameter 1 names the variable (as
// "$NAME$" or bare), code is "0" to "6", parameter 3 is the value, and negate
// inverts the answer when it reads as true.
Result<bool> CompareForIf(const TVariableManager& vars, std::string_view variable, std::string_view code,
                          std::string_view value, std::string_view negate);

// True when left is a greater version than right (four numeric parts).
Result<bool> CompareVersions(std::string_view left, std::string_view right);

// The engine's reading of a Boolean text: "TRUE" in any letter case, or "-1".
bool text_is_true(std::string_view text) noexcept;

} // namespace quillon
