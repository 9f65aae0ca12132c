#include "vars/expand.h"

#include "base/strings.h"
#include "vars/texts.h"

#include <optional>
#include <utility>
#include <vector>

namespace quillon {

namespace {

// Expansion without rebuilding the result per reference. Finished text goes to
// m_out and is never looked at again. The input still to scan is a stack of
// segments: the bottom one is the caller's text, each inserted value is pushed on
// top of the text that follows it. Segment bytes live in one arena string in
// stack order, so popping a segment releases its bytes. Every input byte and
// every inserted byte is scanned a bounded number of times, which keeps the work
// linear in the size of the result.
class Expander {
public:
    Expander(const TVariableManager& vars, ExpandStyle style, const ExpandLimits& limits)
        : m_vars(vars), m_style(style), m_limits(limits)
    {
    }

    ExpandResult run(std::string_view text);

private:
    struct Segment {
        std::size_t begin; // first byte in the arena, for release
        std::size_t pos;   // next byte to scan
        std::size_t end;
    };

    // Where the second dollar sign of a reference is.
    struct Mark {
        std::size_t segment;
        std::size_t pos;
    };

    void push(std::string_view bytes);
    void pop_finished();
    std::string_view rest(const Segment& segment) const
    {
        return std::string_view(m_arena).substr(segment.pos, segment.end - segment.pos);
    }
    // Moves the scan position to mark, dropping everything before it.
    void advance_to(const Mark& mark);
    std::optional<Mark> find_closing_dollar(std::string& name_buffer, std::string_view& name) const;
    void flush_pending();
    bool within_limits(std::size_t reference_length, std::size_t inserted_length) const;

    const TVariableManager& m_vars;
    ExpandStyle m_style;
    const ExpandLimits& m_limits;
    std::string m_out;
    std::string m_arena;
    std::vector<Segment> m_stack;
    std::size_t m_pending = 0; // bytes still to scan, over all segments
    std::size_t m_replacements = 0;
};

void Expander::push(std::string_view bytes)
{
    std::size_t begin = m_arena.size();
    m_arena.append(bytes);
    m_stack.push_back(Segment{begin, begin, m_arena.size()});
    m_pending += bytes.size();
}

void Expander::pop_finished()
{
    while (!m_stack.empty() && m_stack.back().pos == m_stack.back().end) {
        m_arena.resize(m_stack.back().begin);
        m_stack.pop_back();
    }
}

void Expander::advance_to(const Mark& mark)
{
    while (m_stack.size() > mark.segment + 1) {
        m_pending -= m_stack.back().end - m_stack.back().pos;
        m_arena.resize(m_stack.back().begin);
        m_stack.pop_back();
    }
    Segment& segment = m_stack.back();
    m_pending -= mark.pos - segment.pos;
    segment.pos = mark.pos;
}

// The top segment's scan position is at the first dollar sign. Finds the next
// dollar sign after it, looking down through the segments below when needed.
// The name is a view into the arena when it lies in one segment, otherwise it is
// assembled in name_buffer.
std::optional<Expander::Mark> Expander::find_closing_dollar(std::string& name_buffer, std::string_view& name) const
{
    std::size_t top = m_stack.size() - 1;
    std::string_view first = rest(m_stack[top]).substr(1);
    std::size_t hit = first.find('$');
    if (hit != std::string_view::npos) {
        name = first.substr(0, hit);
        return Mark{top, m_stack[top].pos + 1 + hit};
    }
    name_buffer.assign(first);
    for (std::size_t k = top; k-- > 0;) {
        std::string_view below = rest(m_stack[k]);
        hit = below.find('$');
        if (hit != std::string_view::npos) {
            name_buffer.append(below.substr(0, hit));
            name = name_buffer;
            return Mark{k, m_stack[k].pos + hit};
        }
        name_buffer.append(below);
    }
    return std::nullopt;
}

void Expander::flush_pending()
{
    for (std::size_t k = m_stack.size(); k-- > 0;)
        m_out.append(rest(m_stack[k]));
    m_stack.clear();
    m_arena.clear();
    m_pending = 0;
}

bool Expander::within_limits(std::size_t reference_length, std::size_t inserted_length) const
{
    if (m_replacements >= m_limits.max_replacements)
        return false;
    // The length of the result if nothing more were replaced after this one.
    std::size_t projected = m_out.size() + (m_pending - reference_length) + inserted_length;
    return projected <= m_limits.max_result_size;
}

ExpandResult Expander::run(std::string_view text)
{
    m_out.reserve(text.size());
    push(text);
    std::string name_buffer;
    for (;;) {
        pop_finished();
        if (m_stack.empty())
            return {std::move(m_out), true};

        Segment& top = m_stack.back();
        std::string_view scan = rest(top);
        std::size_t dollar = scan.find('$');
        if (dollar == std::string_view::npos) {
            m_out.append(scan);
            m_pending -= scan.size();
            top.pos = top.end;
            continue;
        }
        m_out.append(scan.substr(0, dollar));
        m_pending -= dollar;
        top.pos += dollar;

        std::string_view name;
        std::optional<Mark> closing = find_closing_dollar(name_buffer, name);
        if (!closing) {
            flush_pending(); // a lone dollar sign and whatever follows it
            return {std::move(m_out), true};
        }

        std::optional<std::string> value = m_vars.lookup(name);
        if (!value) {
            // Keep the first dollar sign and the name; the second one is scanned again.
            m_out += '$';
            m_out.append(name);
            advance_to(*closing);
            continue;
        }

        bool quoted = m_style == ExpandStyle::quoted;
        std::size_t reference_length = name.size() + 2;
        std::size_t inserted_length = value->size() + (quoted ? 2 : 0);
        if (!within_limits(reference_length, inserted_length)) {
            flush_pending();
            return {std::move(m_out), false};
        }
        ++m_replacements;
        advance_to(Mark{closing->segment, closing->pos + 1});
        pop_finished();
        if (quoted) {
            m_out += '"';
            // The closing quote sits between the value and the following text, so
            // a reference that runs out of the value takes it into its name.
            push("\"");
        }
        push(*value);
    }
}

} // namespace

ExpandResult expand_text(const TVariableManager& vars, std::string_view text, ExpandStyle style,
                         const ExpandLimits& limits)
{
    if (text.find('$') == std::string_view::npos)
        return {std::string(text), true};
    return Expander(vars, style, limits).run(text);
}

std::string Expand(const TVariableManager& vars, std::string_view text)
{
    return expand_text(vars, text, ExpandStyle::plain).text;
}

std::string ExpandQuoted(const TVariableManager& vars, std::string_view text)
{
    return expand_text(vars, text, ExpandStyle::quoted).text;
}

std::string ReferenceName(std::string_view text)
{
    if (text.size() < 2 || text.front() != '$' || text.back() != '$')
        return {};
    std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.find('$') != std::string_view::npos)
        return {};
    return std::string(inner);
}

namespace {

std::optional<std::string> referenced_value(const TVariableManager& vars, std::string_view text)
{
    std::string name = ReferenceName(text);
    std::optional<std::string> value = vars.lookup(name.empty() ? text : std::string_view(name));
    if (!value)
        return std::nullopt;
    return Expand(vars, *value);
}

} // namespace

std::string ReferencedValue(const TVariableManager& vars, std::string_view text)
{
    std::optional<std::string> value = referenced_value(vars, text);
    return value ? std::move(*value) : std::string(vars_text::not_exist_marker);
}

std::string ReferencedValueOrEmpty(const TVariableManager& vars, std::string_view text)
{
    return referenced_value(vars, text).value_or(std::string());
}

std::string NewlinesFromToken(std::string_view text)
{
    constexpr std::string_view token = vars_text::newline_token;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t dollar = text.find('$', pos);
        if (dollar == std::string_view::npos)
            break;
        if (equal_ascii_nocase(text.substr(dollar, token.size()), token)) {
            out.append(text.substr(pos, dollar - pos));
            out.append(vars_text::crlf);
            pos = dollar + token.size();
        } else {
            out.append(text.substr(pos, dollar + 1 - pos));
            pos = dollar + 1;
        }
    }
    out.append(text.substr(pos));
    return out;
}

std::string NewlinesToToken(std::string_view text)
{
    return replace_all(text, vars_text::crlf, vars_text::newline_token);
}

std::string NormalizePath(const TVariableManager& vars, std::string_view text)
{
    std::string expanded = Expand(vars, text);
    std::string path = replace_all(expanded, "\\\\", "\\");
    if (expanded.starts_with("\\\\"))
        path.insert(0, 1, '\\');
    return path;
}

} // namespace quillon
