// A control's design-time properties that the form model keeps only in their
// stored form (FormControl::source), read by name.
#pragma once

#include "base/strings.h"
#include "dialogs/dfm.h"
#include "dialogs/form_model.h"

#include <string>
#include <string_view>

namespace quillon {

// An identifier property ("bsRaised"); empty when missing or of another kind.
inline std::string design_identifier(const FormControl& control, std::string_view property)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    return found != nullptr && found->value.kind == dfm::ValueKind::identifier ? found->value.text : std::string();
}

// A string property ("*.txt"); empty when missing or of another kind.
inline std::string design_text(const FormControl& control, std::string_view property)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    return found != nullptr && found->value.kind == dfm::ValueKind::string ? found->value.text : std::string();
}

// Whether a boolean property is stored as the given value ("True" or "False").
inline bool design_flag_is(const FormControl& control, std::string_view property, std::string_view value)
{
    const dfm::Property* found = control.source != nullptr ? control.source->find(property) : nullptr;
    return found != nullptr && equal_ascii_nocase(found->value.text, value);
}

// Designer names (identifiers, component names) compare without ASCII case.
inline bool same_name(std::string_view a, std::string_view b)
{
    return equal_ascii_nocase(a, b);
}

} // namespace quillon
