#include "dialogs/html_document.h"

#include "base/strings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <utility>

namespace quillon::html {

namespace {

// What the lexer recognises; anything else, including a '<' that starts none
// of these, is text:
//   comment     := "<!--" any "-->"           (unterminated: to the end)
//   declaration := "<!" [^>]* ">" | "<?" [^>]* ">" | "</" non-letter [^>]* ">"
//   end-tag     := "</" name [^>]* ">"
//   start-tag   := "<" name (space | "/")* (attribute (space | "/")*)* ">"
//   attribute   := attr-name space* ("=" space* value)?
//   value       := '"' [^"]* '"' | "'" [^']* "'" | [^ \t\r\n\f>]+
//   name        := letter (letter | digit | "-" | ":" | "_")*
// Raw-text elements (script, style, title) run to their own end tag.

bool is_space(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool is_letter(char c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}
bool is_alnum(char c) noexcept
{
    return is_letter(c) || is_digit(c);
}
bool is_hex(char c) noexcept
{
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char lower(char c) noexcept
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char32_t replacement_character = 0xFFFD;

// What numeric references 128-159 mean in pages: Windows-1252, as browsers read them.
constexpr std::array<char32_t, 32> windows_1252_c1 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The named references of Latin-1, U+00A0 to U+00FF in order.
constexpr std::array<std::string_view, 96> latin1_names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedReference {
    std::string_view name;
    char32_t code_point;
};

// Beyond Latin-1: the markup characters and the typographic ones pages commonly use.
constexpr std::array<NamedReference, 33> other_names = {{
    {"amp", 0x26},      {"lt", 0x3C},       {"gt", 0x3E},       {"quot", 0x22},     {"apos", 0x27},
    {"euro", 0x20AC},   {"bull", 0x2022},   {"hellip", 0x2026}, {"mdash", 0x2014},  {"ndash", 0x2013},
    {"lsquo", 0x2018},  {"rsquo", 0x2019},  {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"sbquo", 0x201A},
    {"bdquo", 0x201E},  {"trade", 0x2122},  {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030},
    {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},
    {"scaron", 0x161},  {"Yuml", 0x178},    {"fnof", 0x192},    {"circ", 0x2C6},    {"tilde", 0x2DC},
    {"ensp", 0x2002},   {"emsp", 0x2003},   {"thinsp", 0x2009},
}};

// Names are case-sensitive (&Eacute; is not &eacute;).
std::optional<char32_t> named_reference(std::string_view name)
{
    for (std::size_t i = 0; i < latin1_names.size(); ++i)
        if (latin1_names[i] == name)
            return static_cast<char32_t>(0xA0 + i);
    for (const NamedReference& reference : other_names)
        if (reference.name == name)
            return reference.code_point;
    return std::nullopt;
}

enum class ReferenceContext : std::uint8_t { text, attribute };

// A character reference at the start of text (which starts with '&'): its code
// point and length, or nothing when the '&' is just an ampersand.
std::optional<std::pair<char32_t, std::size_t>> character_reference(std::string_view text, ReferenceContext context)
{
    std::size_t at = 1;
    if (at < text.size() && text[at] == '#') {
        ++at;
        bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
        if (hex)
            ++at;
        std::size_t digits = at;
        char32_t value = 0;
        while (at < text.size() && (hex ? is_hex(text[at]) : is_digit(text[at]))) {
            // Saturates just above the last code point so long digit strings cannot overflow.
            value = value * (hex ? 16 : 10) + static_cast<unsigned>(hex_digit_value(text[at]));
            if (value > 0x10FFFF)
                value = 0x110000;
            ++at;
        }
        if (at == digits)
            return std::nullopt;
        if (at < text.size() && text[at] == ';')
            ++at;
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return std::pair{replacement_character, at};
        if (value >= 0x80 && value <= 0x9F)
            return std::pair{windows_1252_c1[value - 0x80], at};
        return std::pair{value, at};
    }
    std::size_t start = at;
    while (at < text.size() && is_alnum(text[at]) && at - start < 32)
        ++at;
    if (at == start)
        return std::nullopt;
    bool semicolon = at < text.size() && text[at] == ';';
    // In attributes "&copy=2" is part of a query string, not a reference.
    if (!semicolon && context == ReferenceContext::attribute)
        return std::nullopt;
    std::optional<char32_t> code_point = named_reference(text.substr(start, at - start));
    if (!code_point)
        return std::nullopt;
    return std::pair{*code_point, at + (semicolon ? 1 : 0)};
}

using CodePointConverter = std::function<std::string(char32_t)>;

void append_decoded(std::string& out, std::string_view raw, ReferenceContext context, const CodePointConverter& convert)
{
    std::size_t at = 0;
    while (at < raw.size()) {
        std::size_t amp = raw.find('&', at);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(at));
            return;
        }
        out.append(raw.substr(at, amp - at));
        if (auto reference = character_reference(raw.substr(amp), context)) {
            out += convert(reference->first);
            at = amp + reference->second;
        } else {
            out += '&';
            at = amp + 1;
        }
    }
}

struct Attribute {
    std::string name; // lower case
    std::string value;
};

struct Tag {
    std::string name; // lower case
    bool end = false;
    std::vector<Attribute> attributes;

    const std::string* attribute(std::string_view wanted) const
    {
        for (const Attribute& attribute : attributes)
            if (attribute.name == wanted)
                return &attribute.value;
        return nullptr;
    }
};

enum class TokenKind : std::uint8_t { text, tag, end_of_input };

struct Token {
    TokenKind kind = TokenKind::end_of_input;
    std::string_view text;
    Tag tag;
};

class Lexer {
public:
    Lexer(std::string_view source, const CodePointConverter& convert) : m_source(source), m_convert(convert) {}

    // The next text or tag; comments and declarations are skipped.
    Token next()
    {
        while (m_at < m_source.size()) {
            if (m_source[m_at] == '<') {
                std::string_view rest = m_source.substr(m_at);
                if (rest.starts_with("<!--")) {
                    std::size_t end = m_source.find("-->", m_at + 4);
                    m_at = end == std::string_view::npos ? m_source.size() : end + 3;
                    continue;
                }
                char second = rest.size() > 1 ? rest[1] : '\0';
                if (second == '!' || second == '?' || (second == '/' && !(rest.size() > 2 && is_letter(rest[2])))) {
                    if (second == '/' && rest.size() <= 2)
                        return text_token(); // a lone "</" at the end is text
                    skip_past('>');
                    continue;
                }
                if (second == '/')
                    return end_tag();
                if (is_letter(second))
                    return start_tag();
            }
            return text_token();
        }
        return Token{};
    }

    // Everything up to the end tag of a raw-text element, which is consumed.
    std::string_view raw_text_until_end_of(std::string_view name)
    {
        std::size_t start = m_at;
        for (std::size_t at = m_source.find("</", m_at); at != std::string_view::npos;
             at = m_source.find("</", at + 2)) {
            std::size_t after = at + 2 + name.size();
            if (after > m_source.size() || !equal_ascii_nocase(m_source.substr(at + 2, name.size()), name))
                continue;
            if (after < m_source.size() && !is_space(m_source[after]) && m_source[after] != '>' &&
                m_source[after] != '/')
                continue;
            m_at = after;
            skip_past('>');
            return m_source.substr(start, at - start);
        }
        m_at = m_source.size();
        return m_source.substr(start);
    }

private:
    void skip_past(char c)
    {
        std::size_t end = m_source.find(c, m_at);
        m_at = end == std::string_view::npos ? m_source.size() : end + 1;
    }

    bool markup_at(std::size_t at) const
    {
        if (at + 1 >= m_source.size() || m_source[at] != '<')
            return false;
        char second = m_source[at + 1];
        return is_letter(second) || second == '/' || second == '!' || second == '?';
    }

    Token text_token()
    {
        std::size_t start = m_at;
        std::size_t at = m_at + 1; // the first character is text even when it is a '<'
        while (at < m_source.size() && !markup_at(at))
            at = std::min(m_source.find('<', at + 1), m_source.size());
        m_at = at;
        return Token{TokenKind::text, m_source.substr(start, at - start), {}};
    }

    std::string read_name()
    {
        std::string name;
        while (m_at < m_source.size()) {
            char c = m_source[m_at];
            if (!is_alnum(c) && c != '-' && c != ':' && c != '_')
                break;
            name += lower(c);
            ++m_at;
        }
        return name;
    }

    Token end_tag()
    {
        m_at += 2;
        Token token{TokenKind::tag, {}, {}};
        token.tag.name = read_name();
        token.tag.end = true;
        skip_past('>');
        return token;
    }

    Token start_tag()
    {
        ++m_at;
        Token token{TokenKind::tag, {}, {}};
        token.tag.name = read_name();
        while (m_at < m_source.size()) {
            char c = m_source[m_at];
            if (is_space(c) || c == '/') {
                ++m_at;
                continue;
            }
            if (c == '>') {
                ++m_at;
                break;
            }
            token.tag.attributes.push_back(attribute());
        }
        return token;
    }

    Attribute attribute()
    {
        Attribute attribute;
        // The first character always belongs to the name, so that "<a =x>" still moves on.
        attribute.name += lower(m_source[m_at++]);
        while (m_at < m_source.size()) {
            char c = m_source[m_at];
            if (is_space(c) || c == '>' || c == '/' || c == '=')
                break;
            attribute.name += lower(c);
            ++m_at;
        }
        skip_spaces();
        if (m_at >= m_source.size() || m_source[m_at] != '=')
            return attribute;
        ++m_at;
        skip_spaces();
        std::string_view raw;
        if (m_at < m_source.size() && (m_source[m_at] == '"' || m_source[m_at] == '\'')) {
            char quote = m_source[m_at++];
            std::size_t end = std::min(m_source.find(quote, m_at), m_source.size());
            raw = m_source.substr(m_at, end - m_at);
            m_at = std::min(end + 1, m_source.size());
        } else {
            std::size_t start = m_at;
            while (m_at < m_source.size() && !is_space(m_source[m_at]) && m_source[m_at] != '>')
                ++m_at;
            raw = m_source.substr(start, m_at - start);
        }
        append_decoded(attribute.value, raw, ReferenceContext::attribute, m_convert);
        return attribute;
    }

    void skip_spaces()
    {
        while (m_at < m_source.size() && is_space(m_source[m_at]))
            ++m_at;
    }

    std::string_view m_source;
    std::size_t m_at = 0;
    const CodePointConverter& m_convert;
};

bool is_heading(std::string_view name)
{
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

// Tags that start and end a paragraph-like block.
bool is_paragraph_tag(std::string_view name)
{
    static constexpr std::array<std::string_view, 22> names = {
        "p",      "div",     "blockquote", "center", "address",  "dl",       "dt",   "dd",
        "form",   "section", "article",    "header", "footer",   "nav",      "main", "aside",
        "figure", "caption", "figcaption", "legend", "fieldset", "noscript",
    };
    return std::find(names.begin(), names.end(), name) != names.end();
}

struct StyleFlags {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

std::optional<StyleFlags> inline_style(std::string_view name)
{
    if (name == "b" || name == "strong")
        return StyleFlags{true, false, false};
    if (name == "i" || name == "em" || name == "cite" || name == "dfn" || name == "var")
        return StyleFlags{false, true, false};
    if (name == "u" || name == "ins")
        return StyleFlags{false, false, true};
    return std::nullopt;
}

// content := space* delay [fraction] space* ([;,] space*)? ("url" space* "=" space*)? target
std::optional<MetaRefresh> parse_refresh(std::string_view content)
{
    std::size_t at = 0;
    auto skip_spaces = [&] {
        while (at < content.size() && is_space(content[at]))
            ++at;
    };
    skip_spaces();
    std::size_t digits = at;
    long long delay = 0;
    while (at < content.size() && is_digit(content[at])) {
        delay = std::min<long long>(delay * 10 + (content[at] - '0'), std::numeric_limits<int>::max());
        ++at;
    }
    if (at == digits)
        return std::nullopt;
    while (at < content.size() && (is_digit(content[at]) || content[at] == '.'))
        ++at;
    skip_spaces();
    if (at < content.size() && (content[at] == ';' || content[at] == ','))
        ++at;
    skip_spaces();
    if (content.size() - at >= 3 && equal_ascii_nocase(content.substr(at, 3), "url")) {
        std::size_t after = at + 3;
        while (after < content.size() && is_space(content[after]))
            ++after;
        if (after < content.size() && content[after] == '=') {
            at = after + 1;
            skip_spaces();
        }
    }
    std::string_view target = content.substr(at);
    if (!target.empty() && (target.front() == '\'' || target.front() == '"')) {
        std::size_t end = target.find(target.front(), 1);
        target = target.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    }
    while (!target.empty() && is_space(target.back()))
        target.remove_suffix(1);
    return MetaRefresh{static_cast<int>(delay), std::string(target)};
}

// Builds the block list from tags and text. Blocks are flat: a block-level tag
// closes the open block; text outside any block opens a paragraph. A table row
// is one paragraph with its cells separated by tabs as long as its cells hold
// only text; a block inside a cell ends the row there, so that layout tables
// read as the blocks they hold.
class Builder {
public:
    explicit Builder(const CodePointConverter& convert) : m_convert(convert) {}

    void text(std::string_view raw)
    {
        m_decoded.clear();
        append_decoded(m_decoded, raw, ReferenceContext::text, m_convert);
        if (m_block_open && current().kind == BlockKind::preformatted) {
            preformatted_text(m_decoded);
            return;
        }
        for (char c : m_decoded) {
            if (c == '\0')
                continue;
            if (is_space(c)) {
                if (m_block_open && !m_suppress_space) {
                    append_char(' ');
                    m_suppress_space = true;
                }
                continue;
            }
            append_char(c);
            m_suppress_space = false;
        }
    }

    void title(std::string_view raw)
    {
        if (m_title_seen)
            return;
        m_title_seen = true;
        std::string decoded;
        append_decoded(decoded, raw, ReferenceContext::text, m_convert);
        for (char c : decoded) {
            if (is_space(c)) {
                if (!m_document.title.empty() && m_document.title.back() != ' ')
                    m_document.title += ' ';
            } else if (c != '\0') {
                m_document.title += c;
            }
        }
        if (!m_document.title.empty() && m_document.title.back() == ' ')
            m_document.title.pop_back();
    }

    void start_tag(const Tag& tag)
    {
        const std::string& name = tag.name;
        if (std::optional<StyleFlags> flags = inline_style(name)) {
            push_style(name, *flags, nullptr);
        } else if (name == "a") {
            if (const std::string* href = tag.attribute("href")) {
                remove_style("a"); // an anchor inside an anchor ends the outer one
                push_style(name, {}, href);
            }
        } else if (name == "br") {
            line_break();
        } else if (name == "meta") {
            meta(tag);
        } else if (name == "table") {
            close_block();
            ++m_table_depth;
        } else if (name == "tr") {
            if (m_table_depth > 0)
                start_row();
        } else if (name == "td" || name == "th") {
            if (m_table_depth > 0)
                cell();
        } else if (name == "hr") {
            close_block();
            m_document.blocks.push_back(Block{BlockKind::rule, 0, ListMarker::bullet, 0, false, {}});
        } else if (is_heading(name)) {
            start_block(BlockKind::heading, name[1] - '0');
        } else if (name == "pre" || name == "listing") {
            start_block(BlockKind::preformatted, 0);
            m_skip_newline = true;
        } else if (is_paragraph_tag(name)) {
            start_block(BlockKind::paragraph, 0);
        } else if (name == "ul" || name == "ol" || name == "dir" || name == "menu") {
            close_block();
            int start = 1;
            if (const std::string* value = tag.attribute("start"))
                start = parse_int32(*value).value_or(1);
            m_lists.push_back(ListState{name == "ol", start, true});
        } else if (name == "li") {
            list_item(tag);
        }
    }

    void end_tag(std::string_view name)
    {
        if (inline_style(name) || name == "a") {
            remove_style(name);
        } else if (name == "table") {
            close_block();
            if (m_table_depth > 0)
                --m_table_depth;
        } else if (name == "tr") {
            if (m_table_depth > 0)
                close_block();
        } else if (name == "td" || name == "th" || in_row()) {
            // Cells end at the next cell or row; other block ends inside a row change nothing.
        } else if (is_heading(name) || is_paragraph_tag(name) || name == "pre" || name == "listing" || name == "li") {
            close_block();
        } else if (name == "ul" || name == "ol" || name == "dir" || name == "menu") {
            close_block();
            if (!m_lists.empty())
                m_lists.pop_back();
        } else if (name == "br") {
            line_break(); // browsers read a stray </br> as <br>
        }
    }

    Document finish()
    {
        close_block();
        renumber_links();
        return std::move(m_document);
    }

private:
    struct StyleEntry {
        std::string tag;
        StyleFlags flags;
        bool link = false;
        std::string href;
        int link_index = -1; // assigned when the link's first text arrives
    };

    struct ListState {
        bool ordered = false;
        int next_number = 1;
        bool empty = true; // no item yet
    };

    // Unclosed inline tags would otherwise pile up; a page nests far fewer.
    static constexpr std::size_t max_styles = 256;

    Block& current() { return m_document.blocks.back(); }

    bool in_row() const { return m_block_open && m_row_open; }

    void push_style(std::string_view tag, StyleFlags flags, const std::string* href)
    {
        if (m_styles.size() >= max_styles)
            return;
        StyleEntry entry{std::string(tag), flags, href != nullptr, href ? *href : std::string(), -1};
        m_styles.push_back(std::move(entry));
    }

    // Closes the nearest open tag of that name only: tags opened inside it stay
    // open, as browsers show "<b><i>x</b>y</i>" with y in italics.
    void remove_style(std::string_view tag)
    {
        for (std::size_t i = m_styles.size(); i-- > 0;) {
            if (m_styles[i].tag == tag) {
                m_styles.erase(m_styles.begin() + static_cast<std::ptrdiff_t>(i));
                return;
            }
        }
    }

    void open_block(BlockKind kind, int level)
    {
        m_document.blocks.push_back(Block{kind, level, ListMarker::bullet, 0, false, {}});
        m_block_open = true;
        m_suppress_space = true;
        m_skip_newline = false;
    }

    void ensure_block()
    {
        if (!m_block_open)
            open_block(BlockKind::paragraph, 0);
    }

    // A tag opening a block inside a block that has no text yet refines that
    // block instead of leaving an empty one behind ("<li><p>", "<div><h2>").
    void start_block(BlockKind kind, int level)
    {
        if (m_block_open && current().runs.empty()) {
            m_row_open = false; // a cell holding blocks reads as those blocks, not as a row
            if (kind != BlockKind::paragraph && current().kind != BlockKind::list_item) {
                current().kind = kind;
                current().level = level;
            }
            return;
        }
        close_block();
        open_block(kind, level);
    }

    void close_block()
    {
        if (!m_block_open)
            return;
        trim_trailing_space();
        std::vector<Run>& runs = current().runs;
        if (!runs.empty() && runs.back().line_break)
            runs.pop_back(); // a final <br> adds no empty line
        bool visible =
            current().kind == BlockKind::list_item || std::any_of(runs.begin(), runs.end(), [](const Run& run) {
                return run.line_break ||
                       std::any_of(run.text.begin(), run.text.end(), [](char c) { return !is_space(c); });
            });
        if (!visible)
            m_document.blocks.pop_back();
        m_block_open = false;
        m_row_open = false;
        m_styles.clear(); // inline tags left open end with their block
    }

    void trim_trailing_space()
    {
        if (!m_block_open)
            return;
        std::vector<Run>& runs = current().runs;
        while (!runs.empty() && !runs.back().line_break) {
            std::string& text = runs.back().text;
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            if (!text.empty())
                break;
            runs.pop_back();
        }
    }

    void append_char(char c)
    {
        ensure_block();
        m_skip_newline = false;
        Run style;
        StyleEntry* link = nullptr;
        for (StyleEntry& entry : m_styles) {
            style.bold |= entry.flags.bold;
            style.italic |= entry.flags.italic;
            style.underline |= entry.flags.underline;
            if (entry.link)
                link = &entry;
        }
        std::vector<Run>& runs = current().runs;
        if (!runs.empty()) {
            Run& last = runs.back();
            bool same_link = link == nullptr ? last.link < 0 : link->link_index >= 0 && last.link == link->link_index;
            if (!last.line_break && same_link && last.bold == style.bold && last.italic == style.italic &&
                last.underline == style.underline) {
                last.text += c;
                return;
            }
        }
        if (link != nullptr && link->link_index < 0) {
            link->link_index = static_cast<int>(m_document.links.size());
            m_document.links.push_back(link->href);
        }
        style.link = link != nullptr ? link->link_index : -1;
        style.text.assign(1, c);
        runs.push_back(std::move(style));
    }

    void line_break()
    {
        if (in_row()) {
            text(" ");
            return;
        }
        ensure_block();
        trim_trailing_space();
        Run run;
        run.line_break = true;
        current().runs.push_back(std::move(run));
        m_suppress_space = true;
    }

    void preformatted_text(std::string_view decoded)
    {
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            char c = decoded[i];
            if (c == '\0')
                continue;
            if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n')
                continue; // CR LF is one line end
            if (c == '\r' || c == '\n') {
                if (m_skip_newline) { // the line end right after <pre> is not content
                    m_skip_newline = false;
                    continue;
                }
                Run run;
                run.line_break = true;
                current().runs.push_back(std::move(run));
                continue;
            }
            append_char(c);
        }
    }

    void start_row()
    {
        close_block();
        open_block(BlockKind::paragraph, 0);
        m_row_open = true;
        m_cells = 0;
    }

    void cell()
    {
        if (!in_row())
            start_row();
        if (m_cells > 0) {
            trim_trailing_space();
            append_char('\t');
        }
        ++m_cells;
        m_suppress_space = true;
    }

    void list_item(const Tag& tag)
    {
        close_block();
        open_block(BlockKind::list_item, std::max<int>(1, static_cast<int>(m_lists.size())));
        if (m_lists.empty())
            return;
        ListState& list = m_lists.back();
        current().starts_list = std::exchange(list.empty, false);
        if (!list.ordered)
            return;
        if (const std::string* value = tag.attribute("value"))
            list.next_number = parse_int32(*value).value_or(list.next_number);
        current().marker = ListMarker::number;
        current().number = list.next_number;
        if (list.next_number < std::numeric_limits<int>::max())
            ++list.next_number;
    }

    void meta(const Tag& tag)
    {
        const std::string* equiv = tag.attribute("http-equiv");
        const std::string* content = tag.attribute("content");
        if (m_document.refresh || equiv == nullptr || content == nullptr || !equal_ascii_nocase(*equiv, "refresh"))
            return;
        m_document.refresh = parse_refresh(*content);
    }

    // Links whose text was all trimmed away are dropped, so that link indexes
    // count only links a user can click.
    void renumber_links()
    {
        std::vector<int> new_index(m_document.links.size(), -1);
        std::vector<std::string> kept;
        for (Block& block : m_document.blocks) {
            for (Run& run : block.runs) {
                if (run.link < 0)
                    continue;
                int& index = new_index[static_cast<std::size_t>(run.link)];
                if (index < 0) {
                    index = static_cast<int>(kept.size());
                    kept.push_back(std::move(m_document.links[static_cast<std::size_t>(run.link)]));
                }
                run.link = index;
            }
        }
        m_document.links = std::move(kept);
    }

    const CodePointConverter& m_convert;
    Document m_document;
    std::string m_decoded;
    std::vector<StyleEntry> m_styles;
    std::vector<ListState> m_lists;
    bool m_block_open = false;
    bool m_suppress_space = true; // no space at a line start or after another space
    bool m_skip_newline = false;
    bool m_title_seen = false;
    bool m_row_open = false;
    int m_table_depth = 0;
    int m_cells = 0;
};

} // namespace

std::string windows_1252_from_code_point(char32_t code_point)
{
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF))
        return std::string(1, static_cast<char>(code_point));
    for (std::size_t i = 0; i < windows_1252_c1.size(); ++i)
        if (windows_1252_c1[i] == code_point)
            return std::string(1, static_cast<char>(0x80 + i));
    return "?";
}

Document parse_html(std::string_view html, const ParseOptions& options)
{
    const CodePointConverter convert =
        options.code_point ? options.code_point : CodePointConverter(windows_1252_from_code_point);
    Lexer lexer(html, convert);
    Builder builder(convert);
    for (Token token = lexer.next(); token.kind != TokenKind::end_of_input; token = lexer.next()) {
        if (token.kind == TokenKind::text) {
            builder.text(token.text);
            continue;
        }
        const Tag& tag = token.tag;
        if (tag.end)
            builder.end_tag(tag.name);
        else if (tag.name == "script" || tag.name == "style")
            lexer.raw_text_until_end_of(tag.name);
        else if (tag.name == "title")
            builder.title(lexer.raw_text_until_end_of(tag.name));
        else
            builder.start_tag(tag);
    }
    return builder.finish();
}

std::string block_text(const Block& block)
{
    std::string text;
    for (const Run& run : block.runs)
        text += run.line_break ? std::string_view("\r\n") : std::string_view(run.text);
    return text;
}

} // namespace quillon::html
