#include "dialogs/rules.h"

namespace quillon {

namespace {

constexpr std::string_view not_equal_operator = " <> ";
constexpr std::string_view equal_operator = " = ";
constexpr std::string_view then_keyword = ")  THEN  ";
constexpr std::string_view assign = " := ";
constexpr std::size_t skipped_prefix = 4; // "IF ("

bool split_dotted(std::string_view text, std::string& component, std::string& property)
{
    std::size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == text.size())
        return false;
    component = text.substr(0, dot);
    property = text.substr(dot + 1);
    return true;
}

// A value written as component "." property stands for that property's text, when it exists.
std::string resolve(const std::string& value, const DialogProperties& properties)
{
    std::string component;
    std::string property;
    if (split_dotted(value, component, property))
        if (std::optional<std::string> text = properties.get(component, property))
            return *text;
    return value;
}

} // namespace

std::optional<DialogRule> ParseDialogRule(std::string_view line)
{
    if (line.size() <= skipped_prefix)
        return std::nullopt;
    DialogRule rule;
    rule.not_equal = line.find(not_equal_operator) != std::string_view::npos;
    std::string_view op = rule.not_equal ? not_equal_operator : equal_operator;
    std::string_view rest = line.substr(skipped_prefix);
    std::size_t at = rest.find(op);
    if (at == std::string_view::npos || !split_dotted(rest.substr(0, at), rule.component, rule.property))
        return std::nullopt;
    rest = rest.substr(at + op.size());
    std::size_t then = rest.find(then_keyword);
    if (then == std::string_view::npos)
        return std::nullopt;
    rule.value = rest.substr(0, then);
    rest = rest.substr(then + then_keyword.size());
    std::size_t becomes = rest.find(assign);
    if (becomes == std::string_view::npos ||
        !split_dotted(rest.substr(0, becomes), rule.target_component, rule.target_property))
        return std::nullopt;
    rest = rest.substr(becomes + assign.size());
    std::size_t end = rest.rfind(';');
    if (end == std::string_view::npos)
        return std::nullopt;
    rule.new_value = rest.substr(0, end);
    return rule;
}

void ApplyDialogRules(const std::vector<std::string>& lines, const DialogProperties& properties)
{
    for (const std::string& line : lines) {
        std::optional<DialogRule> rule = ParseDialogRule(line);
        if (!rule)
            continue;
        std::string current = properties.get(rule->component, rule->property).value_or("");
        bool equal = current == resolve(rule->value, properties);
        if (equal != rule->not_equal)
            properties.set(rule->target_component, rule->target_property, resolve(rule->new_value, properties));
    }
}

} // namespace quillon
