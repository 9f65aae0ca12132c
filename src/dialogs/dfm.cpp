// Reads form files in both forms the designer writes: text ("object ... end")
// and binary ("TPF0"). Both build the same tree, so the dialog host never
// learns which one it was given.
#include "dialogs/dfm.h"

#include "base/strings.h"
#include "base/byte_cursor.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace quillon::dfm {

const Property* Component::find(std::string_view property_name) const
{
    for (auto it = properties.rbegin(); it != properties.rend(); ++it)
        if (equal_ascii_nocase(it->name, property_name))
            return &*it;
    return nullptr;
}

namespace {

constexpr std::string_view kSignature = "TPF0";

std::string nesting_message(std::size_t max_depth)
{
    return "objects, lists and collections nested deeper than " + std::to_string(max_depth) + " levels";
}

// Where decoded characters came from decides which of them are already bytes
// of the setup's code page. A "#233" in a text form is the byte 233, as the
// designer wrote it; in a wide or UTF-8 string only ASCII is, and the rest goes
// through the caller's conversion.
enum class Origin : std::uint8_t { form_text, unicode };

// Collects decoded characters and hands each run of those that are not yet
// bytes to the conversion at once, so that surrogate pairs stay together.
class TextBuilder {
public:
    TextBuilder(const ParseOptions& options, Origin origin) : m_options(options), m_origin(origin) {}

    void add(char16_t unit)
    {
        char16_t last_byte = m_origin == Origin::form_text ? 0xFF : 0x7F;
        if (unit > last_byte) {
            m_pending += unit;
            return;
        }
        flush();
        m_text += static_cast<char>(unit);
    }

    std::string finish()
    {
        flush();
        return std::move(m_text);
    }

private:
    void flush()
    {
        if (m_pending.empty())
            return;
        m_text += m_options.wide_char ? m_options.wide_char(m_pending) : utf16_to_latin1(m_pending);
        m_pending.clear();
    }

    const ParseOptions& m_options;
    Origin m_origin;
    std::string m_text;
    std::u16string m_pending;
};

Value identifier_value(std::string text)
{
    Value value;
    value.kind = ValueKind::identifier;
    value.text = std::move(text);
    return value;
}

// Text form.
//
// Grammar (keywords ignore ASCII case; blanks and line breaks may stand
// between any two tokens, never inside one):
//
//   form        = object
//   object      = ( "object" | "inherited" | "inline" ) header { property } { object } "end"
//   header      = [ ident ":" ] qualified [ "[" integer "]" ]
//   property    = qualified "=" value
//   qualified   = ident { "." ident }
//   value       = integer | float | string | qualified | set | list | binary | collection
//   string      = string-token { "+" string-token }
//   set         = "[" [ member { "," member } ] "]"        member = ident | integer
//   list        = "(" { value } ")"
//   collection  = "<" { "item" [ "[" integer "]" ] { property } "end" } ">"
//
// Tokens:
//   ident        = ( letter | "_" | byte >= 128 ) { letter | digit | "_" | byte >= 128 }
//   integer      = [ "-" ] ( digits | "$" hexdigits )
//   float        = [ "-" ] digits [ "." digits ] [ ( "e" | "E" ) [ "+" | "-" ] digits ] [ "s" | "c" | "d" ]
//                  (a fraction, an exponent or a suffix makes it a float; the suffix
//                  marks Single, Currency and Date values)
//   string-token = { "'" { char | "''" } "'" | "#" ( digits | "$" hexdigits ) }  at least one part,
//                  the parts written without blanks between them; quoted text does
//                  not cross a line break
//   binary       = "{" { hexdigit | blank | line break } "}"   an even number of digits
//
// The child position "[n]" of a header and the order "[n]" of a collection
// item only matter to the designer and are read past.

enum class TokenKind : std::uint8_t { end_of_file, identifier, integer, floating, string, binary, symbol };

struct Token {
    TokenKind kind = TokenKind::end_of_file;
    std::string_view text; // identifier or integer spelling, symbol character
    std::int64_t integer = 0;
    double floating = 0.0;
    std::u16string units; // string: a unit up to 255 is that byte, above it a UTF-16 unit
    std::string bytes;    // binary
    std::size_t line = 1;
};

bool is_identifier_start(unsigned char c) noexcept
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool is_identifier_char(unsigned char c) noexcept
{
    return is_identifier_start(c) || (c >= '0' && c <= '9');
}

bool is_digit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

std::string describe_char(char c)
{
    auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F)
        return std::string("'") + c + "'";
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("byte $") + kHex[byte >> 4] + kHex[byte & 0x0F];
}

class Lexer {
public:
    Lexer(std::string_view text, std::string_view file_name) : m_text(text), m_file_name(file_name) {}

    Result<Token> next();
    std::size_t line() const noexcept { return m_line; }

private:
    Result<Token> read_number(Token token);
    Result<Token> read_string(Token token);
    Result<Token> read_binary(Token token);
    void skip_blanks() noexcept;
    // Steps over one line break (CR LF, LF or a lone CR) at the current position.
    bool skip_line_break() noexcept;
    bool at(char c) const noexcept { return m_pos < m_text.size() && m_text[m_pos] == c; }
    bool at_digit() const noexcept { return m_pos < m_text.size() && is_digit(m_text[m_pos]); }
    bool at_hex_digit() const noexcept { return m_pos < m_text.size() && hex_digit_value(m_text[m_pos]) >= 0; }
    std::unexpected<Error> error(std::string_view message) const
    {
        return make_error(ErrorCode::parse,
                          std::string(m_file_name) + ":" + std::to_string(m_line) + ": " + std::string(message));
    }

    std::string_view m_text;
    std::string_view m_file_name;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

bool Lexer::skip_line_break() noexcept
{
    if (at('\r')) {
        ++m_pos;
        if (at('\n'))
            ++m_pos;
    } else if (at('\n')) {
        ++m_pos;
    } else {
        return false;
    }
    ++m_line;
    return true;
}

void Lexer::skip_blanks() noexcept
{
    // Every control character counts as a blank, as the designer's own reader
    // has it; a NUL or ^Z padding the end of a file is harmless.
    while (m_pos < m_text.size() && static_cast<unsigned char>(m_text[m_pos]) <= 0x20)
        if (!skip_line_break())
            ++m_pos;
}

Result<Token> Lexer::next()
{
    skip_blanks();
    Token token;
    token.line = m_line;
    if (m_pos == m_text.size())
        return token;
    char c = m_text[m_pos];
    if (is_identifier_start(static_cast<unsigned char>(c))) {
        std::size_t start = m_pos;
        while (m_pos < m_text.size() && is_identifier_char(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
        token.kind = TokenKind::identifier;
        token.text = m_text.substr(start, m_pos - start);
        return token;
    }
    bool signed_number =
        c == '-' && m_pos + 1 < m_text.size() && (is_digit(m_text[m_pos + 1]) || m_text[m_pos + 1] == '$');
    if (is_digit(c) || c == '$' || signed_number)
        return read_number(std::move(token));
    if (c == '\'' || c == '#')
        return read_string(std::move(token));
    if (c == '{')
        return read_binary(std::move(token));
    if (std::string_view(":=.[],()<>+").find(c) != std::string_view::npos) {
        token.kind = TokenKind::symbol;
        token.text = m_text.substr(m_pos++, 1);
        return token;
    }
    return error("unexpected " + describe_char(c));
}

Result<Token> Lexer::read_number(Token token)
{
    std::size_t start = m_pos;
    bool negative = at('-');
    if (negative)
        ++m_pos;
    if (at('$')) {
        ++m_pos;
        if (!at_hex_digit())
            return error("expected hex digits after '$'");
        std::uint64_t magnitude = 0;
        std::size_t digits = 0;
        for (; at_hex_digit(); ++m_pos, ++digits)
            magnitude = (magnitude << 4) | static_cast<std::uint64_t>(hex_digit_value(m_text[m_pos]));
        // Sixteen digits are the whole 64 bits, read as two's complement the way
        // the designer writes negative Int64 values in hex.
        if (digits > 16)
            return error("hex number out of range: " + std::string(m_text.substr(start, m_pos - start)));
        if (m_pos < m_text.size() && is_identifier_char(static_cast<unsigned char>(m_text[m_pos])))
            return error("bad number: " + std::string(m_text.substr(start, m_pos + 1 - start)));
        token.kind = TokenKind::integer;
        token.integer = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
        token.text = m_text.substr(start, m_pos - start);
        return token;
    }
    while (at_digit())
        ++m_pos;
    bool is_float = false;
    if (at('.')) {
        ++m_pos;
        if (!at_digit())
            return error("expected digits after the decimal point");
        while (at_digit())
            ++m_pos;
        is_float = true;
    }
    if (at('e') || at('E')) {
        ++m_pos;
        if (at('+') || at('-'))
            ++m_pos;
        if (!at_digit())
            return error("expected digits in the exponent");
        while (at_digit())
            ++m_pos;
        is_float = true;
    }
    std::string_view spelling = m_text.substr(start, m_pos - start);
    if (m_pos < m_text.size()) {
        char suffix = m_text[m_pos];
        bool type_suffix =
            suffix == 's' || suffix == 'S' || suffix == 'c' || suffix == 'C' || suffix == 'd' || suffix == 'D';
        bool suffix_ends =
            m_pos + 1 == m_text.size() || !is_identifier_char(static_cast<unsigned char>(m_text[m_pos + 1]));
        if (type_suffix && suffix_ends) {
            ++m_pos;
            is_float = true;
        } else if (is_identifier_char(static_cast<unsigned char>(suffix))) {
            return error("bad number: " + std::string(m_text.substr(start, m_pos + 1 - start)));
        }
    }
    token.text = spelling;
    const char* first = spelling.data();
    const char* last = spelling.data() + spelling.size();
    if (is_float) {
        auto [end, problem] = std::from_chars(first, last, token.floating);
        if (problem != std::errc() || end != last)
            return error("number out of range: " + std::string(spelling));
        token.kind = TokenKind::floating;
        return token;
    }
    auto [end, problem] = std::from_chars(first, last, token.integer);
    if (problem != std::errc() || end != last)
        return error("number out of range: " + std::string(spelling));
    token.kind = TokenKind::integer;
    return token;
}

Result<Token> Lexer::read_string(Token token)
{
    token.kind = TokenKind::string;
    for (;;) {
        if (at('\'')) {
            ++m_pos;
            for (;;) {
                if (m_pos == m_text.size() || at('\r') || at('\n'))
                    return error("unterminated string");
                char c = m_text[m_pos++];
                if (c != '\'') {
                    token.units += static_cast<char16_t>(static_cast<unsigned char>(c));
                    continue;
                }
                if (!at('\''))
                    break;
                token.units += u'\'';
                ++m_pos;
            }
        } else if (at('#')) {
            ++m_pos;
            std::uint32_t code = 0;
            bool hex = at('$');
            if (hex)
                ++m_pos;
            if (hex ? !at_hex_digit() : !at_digit())
                return error("expected a character code after '#'");
            for (; hex ? at_hex_digit() : at_digit(); ++m_pos) {
                code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(hex_digit_value(m_text[m_pos]));
                if (code > 0xFFFF)
                    return error("character code out of range");
            }
            token.units += static_cast<char16_t>(code);
        } else {
            return token;
        }
    }
}

Result<Token> Lexer::read_binary(Token token)
{
    ++m_pos;
    token.kind = TokenKind::binary;
    int high = -1;
    for (;;) {
        skip_blanks();
        if (m_pos == m_text.size())
            return error("unterminated binary data (missing '}')");
        char c = m_text[m_pos];
        if (c == '}') {
            ++m_pos;
            if (high >= 0)
                return error("odd number of hex digits in binary data");
            return token;
        }
        int digit = hex_digit_value(c);
        if (digit < 0)
            return error("bad hex digit " + describe_char(c) + " in binary data");
        ++m_pos;
        if (high < 0) {
            high = digit;
        } else {
            token.bytes += static_cast<char>((high << 4) | digit);
            high = -1;
        }
    }
}

class TextParser {
public:
    TextParser(std::string_view text, std::string_view file_name, const ParseOptions& options)
        : m_lexer(text, file_name), m_file_name(file_name), m_options(options)
    {
    }

    Result<Component> parse_form();

private:
    Result<Component> parse_object(std::size_t depth);
    Result<void> parse_header(Component& component);
    Result<Property> parse_property(std::size_t depth);
    Result<std::string> parse_qualified(std::string_view what);
    Result<Value> parse_value(std::size_t depth);
    Result<Value> parse_string();
    Result<Value> parse_set();
    Result<Value> parse_list(std::size_t depth);
    Result<Value> parse_collection(std::size_t depth);
    Result<void> skip_index(std::string_view what);

    Result<void> advance()
    {
        m_token = TRY(m_lexer.next());
        return {};
    }
    bool at_end() const noexcept { return m_token.kind == TokenKind::end_of_file; }
    bool at_symbol(char c) const noexcept
    {
        return m_token.kind == TokenKind::symbol && m_token.text.size() == 1 && m_token.text[0] == c;
    }
    bool at_keyword(std::string_view word) const noexcept
    {
        return m_token.kind == TokenKind::identifier && equal_ascii_nocase(m_token.text, word);
    }
    bool at_object_start() const noexcept
    {
        return at_keyword("object") || at_keyword("inherited") || at_keyword("inline");
    }
    Result<void> expect_symbol(char c, std::string_view message)
    {
        if (!at_symbol(c))
            return error(message);
        return advance();
    }
    Result<void> enter(std::size_t depth) const
    {
        if (depth > m_options.max_depth)
            return make_error(ErrorCode::corrupt, location() + nesting_message(m_options.max_depth));
        return {};
    }
    std::string location() const { return std::string(m_file_name) + ":" + std::to_string(m_token.line) + ": "; }
    std::unexpected<Error> error(std::string_view message) const
    {
        return make_error(ErrorCode::parse, location() + std::string(message));
    }

    Lexer m_lexer;
    std::string_view m_file_name;
    const ParseOptions& m_options;
    Token m_token; // the one token of lookahead
};

Result<Component> TextParser::parse_form()
{
    TRY(advance());
    Component form = TRY(parse_object(1));
    if (!at_end())
        return error("unexpected text after the form's last 'end'");
    return form;
}

Result<Component> TextParser::parse_object(std::size_t depth)
{
    TRY(enter(depth));
    if (!at_object_start())
        return error("expected 'object', 'inherited' or 'inline'");
    Component component;
    component.line = m_token.line;
    component.inherited = at_keyword("inherited");
    TRY(advance());
    TRY(parse_header(component));

    auto missing_end = [&] {
        std::string what = component.name.empty() ? component.class_name : component.name;
        return error("missing 'end' of object " + what + " (line " + std::to_string(component.line) + ")");
    };
    while (!at_object_start() && !at_keyword("end")) {
        if (at_end())
            return missing_end();
        component.properties.push_back(TRY(parse_property(depth)));
    }
    while (!at_keyword("end")) {
        if (at_end())
            return missing_end();
        if (!at_object_start())
            return error("expected 'object' or 'end'");
        component.children.push_back(TRY(parse_object(depth + 1)));
    }
    TRY(advance());
    return component;
}

Result<void> TextParser::parse_header(Component& component)
{
    // "object TClass" names no component; the class may be qualified
    // ("Vcl.StdCtrls.TButton") in either spelling.
    std::string first = TRY(parse_qualified("name or class name after 'object'"));
    if (at_symbol(':')) {
        TRY(advance());
        component.name = std::move(first);
        component.class_name = TRY(parse_qualified("class name after ':'"));
    } else {
        component.class_name = std::move(first);
    }
    if (at_symbol('['))
        TRY(skip_index("child position"));
    return {};
}

Result<void> TextParser::skip_index(std::string_view what)
{
    TRY(advance());
    if (m_token.kind != TokenKind::integer)
        return error("expected a number as " + std::string(what));
    TRY(advance());
    return expect_symbol(']', "expected ']' after the " + std::string(what));
}

Result<std::string> TextParser::parse_qualified(std::string_view what)
{
    if (m_token.kind != TokenKind::identifier)
        return error("expected a " + std::string(what));
    std::string name(m_token.text);
    TRY(advance());
    while (at_symbol('.')) {
        TRY(advance());
        if (m_token.kind != TokenKind::identifier)
            return error("expected a name after '.'");
        name += '.';
        name += m_token.text;
        TRY(advance());
    }
    return name;
}

Result<Property> TextParser::parse_property(std::size_t depth)
{
    Property property;
    property.line = m_token.line;
    property.name = TRY(parse_qualified("property name"));
    TRY(expect_symbol('=', "expected '=' after property name"));
    property.value = TRY(parse_value(depth));
    return property;
}

Result<Value> TextParser::parse_value(std::size_t depth)
{
    Value value;
    switch (m_token.kind) {
    case TokenKind::integer:
        value.kind = ValueKind::integer;
        value.integer = m_token.integer;
        TRY(advance());
        return value;
    case TokenKind::floating:
        value.kind = ValueKind::floating;
        value.floating = m_token.floating;
        TRY(advance());
        return value;
    case TokenKind::string: return parse_string();
    case TokenKind::identifier: {
        // Booleans as the binary form spells them, however a hand-edited file writes them.
        std::string name = TRY(parse_qualified("value"));
        if (equal_ascii_nocase(name, "True"))
            name = "True";
        else if (equal_ascii_nocase(name, "False"))
            name = "False";
        return identifier_value(std::move(name));
    }
    case TokenKind::binary:
        value.kind = ValueKind::binary;
        value.bytes = std::move(m_token.bytes);
        TRY(advance());
        return value;
    case TokenKind::symbol:
        if (at_symbol('['))
            return parse_set();
        if (at_symbol('('))
            return parse_list(depth + 1);
        if (at_symbol('<'))
            return parse_collection(depth + 1);
        break;
    case TokenKind::end_of_file: break;
    }
    return error("expected a value");
}

Result<Value> TextParser::parse_string()
{
    TextBuilder text(m_options, Origin::form_text);
    for (;;) {
        for (char16_t unit : m_token.units)
            text.add(unit);
        TRY(advance());
        if (!at_symbol('+'))
            break;
        TRY(advance());
        if (m_token.kind != TokenKind::string)
            return error("expected a string after '+'");
    }
    Value value;
    value.kind = ValueKind::string;
    value.text = text.finish();
    return value;
}

Result<Value> TextParser::parse_set()
{
    Value value;
    value.kind = ValueKind::set;
    TRY(advance());
    if (at_symbol(']')) {
        TRY(advance());
        return value;
    }
    for (;;) {
        if (m_token.kind != TokenKind::identifier && m_token.kind != TokenKind::integer)
            return error("expected a set member");
        value.set.emplace_back(m_token.text);
        TRY(advance());
        if (at_symbol(']'))
            break;
        TRY(expect_symbol(',', "expected ',' or ']' in a set"));
    }
    TRY(advance());
    return value;
}

Result<Value> TextParser::parse_list(std::size_t depth)
{
    TRY(enter(depth));
    std::size_t opened = m_token.line;
    Value value;
    value.kind = ValueKind::list;
    TRY(advance());
    while (!at_symbol(')')) {
        if (at_end())
            return error("missing ')' of the list opened at line " + std::to_string(opened));
        value.list.push_back(TRY(parse_value(depth)));
    }
    TRY(advance());
    return value;
}

Result<Value> TextParser::parse_collection(std::size_t depth)
{
    TRY(enter(depth));
    std::size_t opened = m_token.line;
    Value value;
    value.kind = ValueKind::collection;
    TRY(advance());
    while (!at_symbol('>')) {
        if (at_end())
            return error("missing '>' of the collection opened at line " + std::to_string(opened));
        if (!at_keyword("item"))
            return error("expected 'item' or '>' in a collection");
        std::size_t item_line = m_token.line;
        TRY(advance());
        if (at_symbol('['))
            TRY(skip_index("item order"));
        CollectionItem item;
        while (!at_keyword("end")) {
            if (at_end())
                return error("missing 'end' of the collection item at line " + std::to_string(item_line));
            item.properties.push_back(TRY(parse_property(depth)));
        }
        TRY(advance());
        value.items.push_back(std::move(item));
    }
    TRY(advance());
    return value;
}

// Binary form: "TPF0", then one component.
//
//   component  = [ flags ] short-string(class) short-string(name) { property } 0 { component } 0
//   flags      = a byte $F0..$FF: bit 0 inherited, bit 1 a child position
//                (an integer value) follows, bit 2 inline
//   property   = short-string(name, not empty) value
//   value      = type byte, then its data (see read_value)
//   collection = { [ integer value (order) ] vaList { property } 0 } 0
//
// Little-endian throughout. Every read is checked against the end, and every
// count is checked against the bytes left before anything is allocated for it.

enum ValueType : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20,
    // Newer designers added types after these; their meaning differs between
    // designers, so they are refused as unsupported rather than as damage.
    vaFirstUnknown = 21,
    vaLastNewer = 22,
};

// An x87 80-bit extended value: a 64-bit mantissa with an explicit integer
// bit, then 15 bits of exponent (bias 16383) and the sign. Done by hand
// because long double is not that format everywhere (MSVC, AArch64).
double extended_to_double(std::uint64_t mantissa, std::uint16_t sign_exponent) noexcept
{
    bool negative = (sign_exponent & 0x8000) != 0;
    int exponent = sign_exponent & 0x7FFF;
    double magnitude;
    if (exponent == 0x7FFF) {
        magnitude =
            (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    } else {
        // Denormals (exponent 0) use the smallest normal exponent; ldexp
        // rounds what is too small to zero and what is too large to infinity.
        int unbiased = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        magnitude = std::ldexp(static_cast<double>(mantissa), unbiased);
    }
    return negative ? -magnitude : magnitude;
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD and reading goes on.
std::u16string utf8_to_utf16(std::string_view text)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed too.
        if (valid && ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
                      (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += length;
    }
    return out;
}

class BinaryParser {
public:
    // `base`: where the data starts in the file (after a resource header), for the messages.
    BinaryParser(std::span<const std::byte> data, std::string_view file_name, const ParseOptions& options,
                 std::size_t base = 0)
        : m_data(data), m_reader(data), m_file_name(file_name), m_options(options), m_base(base)
    {
    }

    Result<Component> parse_form();

private:
    Result<Component> read_component(std::size_t depth);
    Result<Property> read_property(std::size_t depth);
    Result<Value> read_value(std::size_t depth);
    Result<Value> read_collection(std::size_t depth, std::size_t at);
    Result<std::int64_t> read_small_integer(std::string_view what);
    Result<std::uint8_t> peek_u8(std::string_view what) const;
    Result<std::uint8_t> read_u8(std::string_view what);
    Result<std::uint16_t> read_u16(std::string_view what);
    Result<std::uint32_t> read_u32(std::string_view what);
    Result<std::uint64_t> read_u64(std::string_view what);
    Result<std::string> read_bytes(std::uint64_t count, std::string_view what);
    Result<std::string> read_short_string(std::string_view what);
    Result<std::string> read_long_string(std::size_t unit_size, std::string_view what);

    // at: where the nested element starts, for the message.
    Result<void> enter(std::size_t depth, std::size_t at) const
    {
        if (depth > m_options.max_depth)
            return corrupt(at, nesting_message(m_options.max_depth));
        return {};
    }
    std::unexpected<Error> corrupt(std::size_t offset, std::string_view message) const
    {
        return make_error(ErrorCode::corrupt, std::string(m_file_name) + ": byte " + std::to_string(m_base + offset) +
                                                  ": " + std::string(message));
    }
    std::unexpected<Error> truncated(std::string_view what) const
    {
        return corrupt(m_offset, "the file ends inside " + std::string(what));
    }

    std::span<const std::byte> m_data;
    ByteCursor m_reader;
    std::string_view m_file_name;
    const ParseOptions& m_options;
    std::size_t m_base;
    std::size_t m_offset = kSignature.size();
};

Result<std::uint8_t> BinaryParser::peek_u8(std::string_view what) const
{
    if (m_offset >= m_data.size())
        return truncated(what);
    return std::to_integer<std::uint8_t>(m_data[m_offset]);
}

Result<std::uint8_t> BinaryParser::read_u8(std::string_view what)
{
    std::uint8_t value = TRY(peek_u8(what));
    ++m_offset;
    return value;
}

Result<std::uint16_t> BinaryParser::read_u16(std::string_view what)
{
    auto value = m_reader.u16_at(m_offset);
    if (!value)
        return truncated(what);
    m_offset += 2;
    return *value;
}

Result<std::uint32_t> BinaryParser::read_u32(std::string_view what)
{
    auto value = m_reader.u32_at(m_offset);
    if (!value)
        return truncated(what);
    m_offset += 4;
    return *value;
}

Result<std::uint64_t> BinaryParser::read_u64(std::string_view what)
{
    auto low = m_reader.u32_at(m_offset);
    auto high = m_reader.u32_at(m_offset + 4);
    if (!low || !high)
        return truncated(what);
    m_offset += 8;
    return (static_cast<std::uint64_t>(*high) << 32) | *low;
}

Result<std::string> BinaryParser::read_bytes(std::uint64_t count, std::string_view what)
{
    if (count > m_data.size() - m_offset)
        return truncated(what);
    std::string bytes(reinterpret_cast<const char*>(m_data.data() + m_offset), static_cast<std::size_t>(count));
    m_offset += static_cast<std::size_t>(count);
    return bytes;
}

Result<std::string> BinaryParser::read_short_string(std::string_view what)
{
    std::uint8_t length = TRY(read_u8(what));
    return read_bytes(length, what);
}

// A 32-bit count of units followed by the units.
Result<std::string> BinaryParser::read_long_string(std::size_t unit_size, std::string_view what)
{
    std::uint32_t count = TRY(read_u32(what));
    return read_bytes(static_cast<std::uint64_t>(count) * unit_size, what);
}

// An integer written with its own type byte, as child positions and
// collection orders are.
Result<std::int64_t> BinaryParser::read_small_integer(std::string_view what)
{
    std::size_t at = m_offset;
    std::uint8_t type = TRY(read_u8(what));
    switch (type) {
    case vaInt8: return static_cast<std::int8_t>(TRY(read_u8(what)));
    case vaInt16: return static_cast<std::int16_t>(TRY(read_u16(what)));
    case vaInt32: return static_cast<std::int32_t>(TRY(read_u32(what)));
    default:
        return corrupt(at,
                       "expected an integer as " + std::string(what) + ", found value type " + std::to_string(type));
    }
}

Result<Component> BinaryParser::parse_form()
{
    // Bytes after the form are ignored: forms taken from resources are padded.
    return read_component(1);
}

Result<Component> BinaryParser::read_component(std::size_t depth)
{
    TRY(enter(depth, m_offset));
    Component component;
    std::uint8_t flags = TRY(peek_u8("a component header"));
    if ((flags & 0xF0) == 0xF0) {
        ++m_offset;
        component.inherited = (flags & 0x01) != 0;
        if ((flags & 0x02) != 0)
            (void)TRY(read_small_integer("a child position"));
    }
    component.class_name = TRY(read_short_string("a class name"));
    component.name = TRY(read_short_string("a component name"));
    while (TRY(peek_u8("the properties of " + component.class_name)) != 0)
        component.properties.push_back(TRY(read_property(depth)));
    ++m_offset;
    while (TRY(peek_u8("the children of " + component.class_name)) != 0)
        component.children.push_back(TRY(read_component(depth + 1)));
    ++m_offset;
    return component;
}

Result<Property> BinaryParser::read_property(std::size_t depth)
{
    Property property;
    property.name = TRY(read_short_string("a property name"));
    property.value = TRY(read_value(depth));
    return property;
}

Result<Value> BinaryParser::read_value(std::size_t depth)
{
    std::size_t at = m_offset;
    std::uint8_t type = TRY(read_u8("a value type"));
    Value value;
    switch (type) {
    case vaList:
        TRY(enter(depth + 1, at));
        value.kind = ValueKind::list;
        while (TRY(peek_u8("a list")) != vaNull)
            value.list.push_back(TRY(read_value(depth + 1)));
        ++m_offset;
        return value;
    case vaInt8: value.integer = static_cast<std::int8_t>(TRY(read_u8("an Int8 value"))); return value;
    case vaInt16: value.integer = static_cast<std::int16_t>(TRY(read_u16("an Int16 value"))); return value;
    case vaInt32: value.integer = static_cast<std::int32_t>(TRY(read_u32("an Int32 value"))); return value;
    case vaInt64: value.integer = static_cast<std::int64_t>(TRY(read_u64("an Int64 value"))); return value;
    case vaExtended: {
        std::uint64_t mantissa = TRY(read_u64("an Extended value"));
        std::uint16_t sign_exponent = TRY(read_u16("an Extended value"));
        value.kind = ValueKind::floating;
        value.floating = extended_to_double(mantissa, sign_exponent);
        return value;
    }
    case vaSingle: {
        std::uint32_t bits = TRY(read_u32("a Single value"));
        float single;
        std::memcpy(&single, &bits, sizeof single);
        value.kind = ValueKind::floating;
        value.floating = single;
        return value;
    }
    case vaDate: {
        std::uint64_t bits = TRY(read_u64("a Date value"));
        value.kind = ValueKind::floating;
        std::memcpy(&value.floating, &bits, sizeof value.floating);
        return value;
    }
    case vaCurrency:
        // A fixed-point number in ten-thousandths.
        value.kind = ValueKind::floating;
        value.floating = static_cast<double>(static_cast<std::int64_t>(TRY(read_u64("a Currency value")))) / 10000.0;
        return value;
    case vaString:
        value.kind = ValueKind::string;
        value.text = TRY(read_short_string("a string"));
        return value;
    case vaLString:
        value.kind = ValueKind::string;
        value.text = TRY(read_long_string(1, "a long string"));
        return value;
    case vaWString: {
        std::string raw = TRY(read_long_string(2, "a wide string"));
        TextBuilder text(m_options, Origin::unicode);
        for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
            text.add(static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                           (static_cast<unsigned char>(raw[i + 1]) << 8)));
        value.kind = ValueKind::string;
        value.text = text.finish();
        return value;
    }
    case vaUTF8String: {
        std::string raw = TRY(read_long_string(1, "a UTF-8 string"));
        TextBuilder text(m_options, Origin::unicode);
        for (char16_t unit : utf8_to_utf16(raw))
            text.add(unit);
        value.kind = ValueKind::string;
        value.text = text.finish();
        return value;
    }
    case vaIdent: return identifier_value(TRY(read_short_string("an identifier")));
    case vaFalse: return identifier_value("False");
    case vaTrue: return identifier_value("True");
    case vaNil: return identifier_value("nil");
    case vaBinary:
        value.kind = ValueKind::binary;
        value.bytes = TRY(read_long_string(1, "binary data"));
        return value;
    case vaSet:
        value.kind = ValueKind::set;
        for (;;) {
            std::string member = TRY(read_short_string("a set"));
            if (member.empty())
                return value;
            value.set.push_back(std::move(member));
        }
    case vaCollection: return read_collection(depth + 1, at);
    // A Null value; where a list or a collection may end, the same byte ends it instead.
    case vaNull: return identifier_value("Null");
    default:
        if (type >= vaFirstUnknown && type <= vaLastNewer)
            return make_error(ErrorCode::unsupported, std::string(m_file_name) + ": byte " +
                                                          std::to_string(m_base + at) + ": value type " +
                                                          std::to_string(type) + " is not supported");
        return corrupt(at, "unknown value type " + std::to_string(type));
    }
}

Result<Value> BinaryParser::read_collection(std::size_t depth, std::size_t at)
{
    TRY(enter(depth, at));
    Value value;
    value.kind = ValueKind::collection;
    for (;;) {
        std::uint8_t next = TRY(peek_u8("a collection"));
        if (next == vaNull)
            break;
        if (next == vaInt8 || next == vaInt16 || next == vaInt32)
            (void)TRY(read_small_integer("a collection item order"));
        std::size_t marker_at = m_offset;
        if (TRY(read_u8("a collection item")) != vaList)
            return corrupt(marker_at, "a collection item does not start with a list marker");
        CollectionItem item;
        while (TRY(peek_u8("a collection item")) != vaNull)
            item.properties.push_back(TRY(read_property(depth)));
        ++m_offset;
        value.items.push_back(std::move(item));
    }
    ++m_offset;
    return value;
}

// The 16-bit resource header a form designer writes before a binary form it
// saves as a file:
//
//   header = 0xFF type:u16 name flags:u16 size:u32     (type 10, RT_RCDATA)
//   name   = 0xFF ordinal:u16 | characters 0x00         (the class name, upper case)
//
// The form follows and takes `size` bytes.
Result<std::span<const std::byte>> form_after_resource_header(std::span<const std::byte> data,
                                                              std::string_view file_name)
{
    auto damaged = [&](std::size_t at, std::string_view what) {
        return make_error(ErrorCode::corrupt, std::string(file_name) + ": byte " + std::to_string(at) +
                                                  ": the resource header " + std::string(what));
    };
    constexpr std::uint16_t rcdata = 10;
    ByteCursor cursor(data);
    (void)cursor.u8(); // the 0xFF that marks the header
    std::optional<std::uint16_t> type = cursor.u16();
    if (!type)
        return damaged(cursor.position(), "ends early");
    if (*type != rcdata)
        return damaged(1, "names resource type " + std::to_string(*type) + ", not a form's (10)");
    std::optional<std::uint8_t> first = cursor.u8();
    if (!first)
        return damaged(cursor.position(), "ends early");
    if (*first == 0xFF) {
        if (!cursor.u16())
            return damaged(cursor.position(), "ends inside the resource's number");
    } else {
        for (std::uint8_t c = *first; c != 0;) {
            std::optional<std::uint8_t> next = cursor.u8();
            if (!next)
                return damaged(cursor.position(), "ends inside the resource's name");
            c = *next;
        }
    }
    std::optional<std::uint16_t> flags = cursor.u16();
    std::optional<std::uint32_t> size = flags ? cursor.u32() : std::nullopt;
    if (!size)
        return damaged(cursor.position(), "ends early");
    std::size_t start = cursor.position();
    if (*size > cursor.remaining())
        return damaged(start, "announces " + std::to_string(*size) + " bytes of form, but the file holds " +
                                  std::to_string(cursor.remaining()));
    std::span<const std::byte> form = data.subspan(start, *size);
    std::string_view signature(reinterpret_cast<const char*>(form.data()), std::min(form.size(), kSignature.size()));
    if (signature != kSignature)
        return damaged(start, "is not followed by a binary form (\"TPF0\")");
    return form;
}

} // namespace

Result<Component> ParseFormFile(std::span<const std::byte> data, std::string_view file_name,
                                const ParseOptions& options)
{
    std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (text.starts_with(kSignature))
        return BinaryParser(data, file_name, options).parse_form();
    // A binary form as a designer saves it: a resource header first.
    if (!data.empty() && std::to_integer<std::uint8_t>(data[0]) == 0xFF) {
        std::span<const std::byte> form = TRY(form_after_resource_header(data, file_name));
        return BinaryParser(form, file_name, options, static_cast<std::size_t>(form.data() - data.data())).parse_form();
    }
    // A UTF-8 byte order mark before a text form; the strings keep their bytes.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return TextParser(text, file_name, options).parse_form();
}

} // namespace quillon::dfm
