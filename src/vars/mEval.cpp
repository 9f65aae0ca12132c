#include "vars/mEval.h"

#include "base/strings.h"
#include "vars/expand.h"
#include "vars/texts.h"

#include <array>
#include <compare>
#include <cstdint>
#include <optional>

namespace quillon {

namespace {

// Grammar of expressions. Blanks are ASCII spaces only and may stand between
// any two tokens.
//
//   expression = term { connective term }
//   connective = "and" | "or"                      (lower case only)
//   term       = "(" expression ")" | comparison
//   comparison = operand operator operand
//   operator   = "=" | "<>" | "<=" | "<" | ">=" | ">"
//   operand    = '"' { character other than '"' | '""' } '"'
//
// Connectives and operators are read as every character up to the next blank or
// double quote, so "and(" is one (invalid) word. Connectives apply strictly from
// left to right with no precedence, and every term is evaluated: there is no
// short-circuit. Two operands that both look like integers (digits, with a sign
// allowed when there are two or more characters) compare as signed 32-bit
// numbers, otherwise as byte strings.
enum class Truth { error, no, yes };

class ExpressionParser {
public:
    // offset: how far positions in text are from the caller's text (the wrapping "(").
    ExpressionParser(std::string_view text, std::size_t offset) : m_text(text), m_offset(offset) {}

    Result<Truth> parse_expression();
    bool at_end() const noexcept { return m_pos == m_text.size(); }

private:
    Result<Truth> parse_term();
    Result<Truth> parse_comparison();
    std::optional<std::string> read_operand();
    std::string_view read_word();
    Result<std::int32_t> to_integer(std::string_view operand, std::size_t at) const;
    void skip_blanks() noexcept;
    bool peek(char c) const noexcept { return m_pos < m_text.size() && m_text[m_pos] == c; }

    std::string_view m_text;
    std::size_t m_offset;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

void ExpressionParser::skip_blanks() noexcept
{
    while (peek(' '))
        ++m_pos;
}

std::string_view ExpressionParser::read_word()
{
    std::size_t start = m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] != ' ' && m_text[m_pos] != '"')
        ++m_pos;
    return m_text.substr(start, m_pos - start);
}

// At a double quote: the operand up to its closing quote, "" standing for one
// quote; empty when the text ends first.
std::optional<std::string> ExpressionParser::read_operand()
{
    ++m_pos;
    std::string operand;
    while (m_pos < m_text.size()) {
        char c = m_text[m_pos++];
        if (c != '"') {
            operand += c;
            continue;
        }
        if (!peek('"'))
            return operand;
        operand += '"';
        ++m_pos;
    }
    return std::nullopt;
}

bool looks_like_integer(std::string_view operand) noexcept
{
    if (operand.empty())
        return false;
    std::size_t first_digit = 0;
    if (operand.size() >= 2 && (operand.front() == '+' || operand.front() == '-'))
        first_digit = 1;
    for (std::size_t i = first_digit; i < operand.size(); ++i)
        if (operand[i] < '0' || operand[i] > '9')
            return false;
    return true;
}

Result<std::int32_t> ExpressionParser::to_integer(std::string_view operand, std::size_t at) const
{
    std::optional<std::int32_t> value = parse_int32(operand);
    if (!value)
        return make_error(ErrorCode::out_of_range, "Integer \"" + std::string(operand) +
                                                       "\" out of range in expression at position " +
                                                       std::to_string(at - m_offset + 1));
    return *value;
}

Result<Truth> ExpressionParser::parse_expression()
{
    Truth value = TRY(parse_term());
    if (value == Truth::error)
        return Truth::error;
    for (;;) {
        skip_blanks();
        if (at_end() || peek(')'))
            return value;
        std::string_view connective = read_word();
        Truth next = TRY(parse_term());
        if (next == Truth::error)
            return Truth::error;
        if (connective == "and")
            value = value == Truth::yes && next == Truth::yes ? Truth::yes : Truth::no;
        else if (connective == "or")
            value = value == Truth::yes || next == Truth::yes ? Truth::yes : Truth::no;
        else
            return Truth::error;
    }
}

Result<Truth> ExpressionParser::parse_term()
{
    skip_blanks();
    if (peek('(')) {
        if (m_depth >= max_expression_nesting)
            return Truth::error;
        ++m_pos;
        ++m_depth;
        Truth value = TRY(parse_expression());
        --m_depth;
        if (value == Truth::error)
            return Truth::error;
        skip_blanks();
        if (!peek(')'))
            return Truth::error;
        ++m_pos;
        return value;
    }
    if (peek('"'))
        return parse_comparison();
    return Truth::error;
}

Result<Truth> ExpressionParser::parse_comparison()
{
    std::size_t left_at = m_pos;
    std::optional<std::string> left = read_operand();
    if (!left)
        return Truth::error;
    skip_blanks();
    std::string_view op = read_word();
    skip_blanks();
    if (!peek('"'))
        return Truth::error;
    std::size_t right_at = m_pos;
    std::optional<std::string> right = read_operand();
    if (!right)
        return Truth::error;
    skip_blanks();

    std::strong_ordering order = std::strong_ordering::equal;
    if (looks_like_integer(*left) && looks_like_integer(*right)) {
        std::int32_t a = TRY(to_integer(*left, left_at));
        std::int32_t b = TRY(to_integer(*right, right_at));
        order = a <=> b;
    } else {
        // string_view compares bytes as unsigned characters.
        order = std::string_view(*left).compare(*right) <=> 0;
    }

    bool holds = false;
    if (op == "=")
        holds = order == 0;
    else if (op == "<>")
        holds = order != 0;
    else if (op == "<=")
        holds = order <= 0;
    else if (op == "<")
        holds = order < 0;
    else if (op == ">=")
        holds = order >= 0;
    else if (op == ">")
        holds = order > 0;
    else
        return Truth::error;
    return holds ? Truth::yes : Truth::no;
}

// One part of a version: a number, or nullopt when the text is not one. A text
// of digits that does not fit is an error.
Result<std::optional<std::int32_t>> version_part(std::string_view part, std::string_view version)
{
    if (std::optional<std::int32_t> number = parse_int32(part))
        return number;
    std::string_view digits = part;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-'))
        digits.remove_prefix(1);
    if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos)
        return make_error(ErrorCode::out_of_range, "Version part \"" + std::string(part) + "\" of \"" +
                                                       std::string(version) + "\" out of range");
    return std::optional<std::int32_t>();
}

Result<std::array<std::int32_t, 4>> version_numbers(std::string_view version)
{
    std::array<std::int32_t, 4> numbers{};
    std::string_view rest = version;
    std::size_t offset = 0;
    for (std::int32_t& number : numbers) {
        std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) {
            // The last part may be anything; what is not a number counts as 0.
            number = TRY(version_part(rest, version)).value_or(0);
            rest = {};
            continue;
        }
        std::string_view part = rest.substr(0, dot);
        std::optional<std::int32_t> parsed = TRY(version_part(part, version));
        if (!parsed)
            return make_error(ErrorCode::parse, "Version part \"" + std::string(part) + "\" at position " +
                                                    std::to_string(offset + 1) + " of \"" + std::string(version) +
                                                    "\" is not a number");
        number = *parsed;
        rest.remove_prefix(dot + 1);
        offset += dot + 1;
    }
    return numbers;
}

bool contains(std::string_view haystack, std::string_view needle)
{
    return !needle.empty() && haystack.find(needle) != std::string_view::npos;
}

bool contains_nocase(std::string_view haystack, std::string_view needle)
{
    return !needle.empty() && find_nocase(haystack, needle) != std::string::npos;
}

bool compare_numbers(std::string_view code, std::int32_t left, std::int32_t right)
{
    // As numbers, "contains" means equal: 12 does not contain 2.
    if (code == "0" || code == "1" || code == "3" || code == "4")
        return left == right;
    if (code == "2")
        return left > right;
    return false;
}

bool compare_texts(std::string_view code, std::string_view left, std::string_view right)
{
    if (code == "0")
        return left == right;
    if (code == "1")
        return contains(left, right);
    if (code == "2")
        return left > right;
    if (code == "3")
        return contains_nocase(left, right);
    if (code == "4")
        return equal_ascii_nocase(left, right);
    return false;
}

} // namespace

Result<std::string> EvaluateExpression(std::string_view text)
{
    std::string wrapped;
    wrapped.reserve(text.size() + 2);
    wrapped += '(';
    wrapped.append(text);
    wrapped += ')';
    ExpressionParser parser(wrapped, 1);
    Truth value = TRY(parser.parse_expression());
    if (value == Truth::error || !parser.at_end())
        return std::string(vars_text::expression_error);
    return std::string(value == Truth::yes ? vars_text::expression_true : vars_text::expression_false);
}

Result<bool> CheckExpressionSyntax(std::string_view text)
{
    std::string quoted(text);
    for (char& c : quoted)
        if (c == '$')
            c = '"';
    std::string result = TRY(EvaluateExpression(quoted));
    return result != vars_text::expression_error;
}

Result<bool> CompareForIf(const TVariableManager& vars, std::string_view variable, std::string_view code,
                          std::string_view value, std::string_view negate)
{
    bool result = false;
    if (code == "5") {
        // The name exactly as written, dollar signs and all.
        result = vars.Exists(variable);
    } else {
        std::string name = ReferenceName(variable);
        std::string left = Expand(vars, GetVar(vars, name.empty() ? variable : std::string_view(name)));
        std::string right = Expand(vars, value);
        if (code == "6") {
            result = TRY(CompareVersions(left, right));
        } else {
            std::optional<std::int32_t> left_number = parse_int32(left);
            std::optional<std::int32_t> right_number = parse_int32(right);
            if (left_number && right_number)
                result = compare_numbers(code, *left_number, *right_number);
            else
                result = compare_texts(code, left, right);
        }
    }
    return text_is_true(negate) ? !result : result;
}

Result<bool> CompareVersions(std::string_view left, std::string_view right)
{
    std::array<std::int32_t, 4> a = TRY(version_numbers(left));
    std::array<std::int32_t, 4> b = TRY(version_numbers(right));
    return a > b;
}

bool text_is_true(std::string_view text) noexcept
{
    return equal_ascii_nocase(text, vars_text::expression_true) || text == "-1";
}

} // namespace quillon
