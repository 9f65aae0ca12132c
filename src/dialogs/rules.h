// The rules of a dialog: lines of its ".qvof" file, each setting a property of
// one control when a property of another has (or has not) a given value, for
// example enabling Next while the accept radio button is checked:
//     IF (rbAccept.Checked = True)  THEN  btnNext.Enabled := True;
// Rules only set; they never undo what an earlier firing did.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct DialogRule {
    std::string component;
    std::string property;
    bool not_equal = false; // " <> " instead of " = "
    std::string value;      // a literal, or "component.property"
    std::string target_component;
    std::string target_property;
    std::string new_value; // a literal, or "component.property"
};

// The line's parts: four characters skipped, then component "." property, the
// operator, the value, ")  THEN  ", target "." property, " := ", the new value
// and ";". A line that does not have these parts is no rule (nothing).
std::optional<DialogRule> ParseDialogRule(std::string_view line);

// Reading and writing control properties in their text form ("True", "12", a caption).
struct DialogProperties {
    // Nothing for a missing component or property.
    std::function<std::optional<std::string>(std::string_view component, std::string_view property)> get;
    std::function<void(std::string_view component, std::string_view property, std::string_view text)> set;
};

// Applies every rule in order; a rule reads the effects of the rules before it.
void ApplyDialogRules(const std::vector<std::string>& lines, const DialogProperties& properties);

} // namespace quillon
