#include "dialogs/dfm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::dfm {
namespace {

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

Result<Component> parse(std::string_view data, const ParseOptions& options = {})
{
    return ParseFormFile(as_bytes(data), "dlg.dfm", options);
}

// A canonical spelling of a tree, so that two trees compare as text and a
// difference shows where it is. Lines are left out: the binary form has none.
std::string dump_text(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\' && c != '\'') {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        }
    }
    return out + "'";
}

std::string dump_properties(const std::vector<Property>& properties);

std::string dump_value(const Value& value)
{
    switch (value.kind) {
    case ValueKind::integer: return std::to_string(value.integer);
    case ValueKind::floating: {
        if (std::isinf(value.floating)) // printf spells it differently on Windows
            return value.floating < 0 ? "float -inf" : "float inf";
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", value.floating);
        return std::string("float ") + text;
    }
    case ValueKind::string: return dump_text(value.text);
    case ValueKind::identifier: return value.text;
    case ValueKind::set: {
        std::string out = "[";
        for (std::size_t i = 0; i < value.set.size(); ++i)
            out += (i ? "," : "") + value.set[i];
        return out + "]";
    }
    case ValueKind::list: {
        std::string out = "(";
        for (std::size_t i = 0; i < value.list.size(); ++i)
            out += (i ? " " : "") + dump_value(value.list[i]);
        return out + ")";
    }
    case ValueKind::binary: {
        std::string out = "{";
        for (char c : value.bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
            out += hex;
        }
        return out + "}";
    }
    case ValueKind::collection: {
        std::string out = "<";
        for (const CollectionItem& item : value.items)
            out += "item{" + dump_properties(item.properties) + "}";
        return out + ">";
    }
    }
    return "?";
}

std::string dump_properties(const std::vector<Property>& properties)
{
    std::string out;
    for (const Property& property : properties)
        out += property.name + "=" + dump_value(property.value) + ";";
    return out;
}

std::string dump(const Component& component, std::string indent = "")
{
    std::string out =
        indent + (component.inherited ? "inherited " : "object ") + component.name + ":" + component.class_name + "\n";
    for (const Property& property : component.properties)
        out += indent + "  " + property.name + " = " + dump_value(property.value) + "\n";
    for (const Component& child : component.children)
        out += dump(child, indent + "  ");
    return out;
}

// The form as the designer saves it in text: a nested panel, fonts, string
// lists, a picture, a status bar collection, sets, character codes and
// continued strings.
constexpr std::string_view kSetupFormText = R"(inherited SetupForm: TSetupForm
  Left = 192
  Top = -11
  BorderStyle = bsDialog
  Caption = 'Setup - '#39'Quillon'#39
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  Tag = $7FFFFFFF
  HelpContext = 5000000000
  ZoomFactor = 1.25
  OldCreateOrder = False
  PopupMenu = MainForm.TrayMenu
  object MainPanel: TPanel
    Align = alClient
    Caption = ''
    object WelcomeLabel: TLabel
      Caption = 'Caf'#233' d''accueil'#13#10 +
        'Second line'
      Font.Style = [fsBold, fsUnderline]
    end
    object LicenseMemo: TMemo
      Lines.Strings = (
        'Line one'
        'Line two'#9'tab')
      ScrollBars = ssVertical
    end
    object Logo: TImage
      Picture.Data = {
        07544269746D6170
        0A0BFF00}
    end
    object NextButton: TButton [2]
      Caption = '&Next >'
      Default = True
      Hint = nil
    end
  end
  object StatusBar: TStatusBar
    Panels = <
      item
        Width = 200
      end
      item [1]
        Text = 'Ready'
        Width = 50
      end>
    SimplePanel = False
  end
end
)";

// Writes the binary form by hand, one call per element of the format.
class FormBytes {
public:
    FormBytes() { append("TPF0"); }

    FormBytes& byte(int value)
    {
        m_bytes += static_cast<char>(value);
        return *this;
    }
    FormBytes& append(std::string_view bytes)
    {
        m_bytes += bytes;
        return *this;
    }
    FormBytes& le(std::uint64_t value, int width)
    {
        for (int i = 0; i < width; ++i)
            byte(static_cast<int>((value >> (8 * i)) & 0xFF));
        return *this;
    }
    FormBytes& short_string(std::string_view text) { return byte(static_cast<int>(text.size())).append(text); }
    FormBytes& object(std::string_view class_name, std::string_view name)
    {
        return short_string(class_name).short_string(name);
    }
    FormBytes& end() { return byte(0); }

    // A property name followed by one of the value writers below.
    FormBytes& prop(std::string_view name) { return short_string(name); }
    FormBytes& int8(int value) { return byte(2).le(static_cast<std::uint64_t>(value), 1); }
    FormBytes& int16(int value) { return byte(3).le(static_cast<std::uint64_t>(value), 2); }
    FormBytes& int32(std::int64_t value) { return byte(4).le(static_cast<std::uint64_t>(value), 4); }
    FormBytes& int64(std::int64_t value) { return byte(19).le(static_cast<std::uint64_t>(value), 8); }
    FormBytes& extended(std::uint64_t mantissa, int sign_exponent)
    {
        return byte(5).le(mantissa, 8).le(static_cast<std::uint64_t>(sign_exponent), 2);
    }
    FormBytes& str(std::string_view text) { return byte(6).short_string(text); }
    FormBytes& lstr(std::string_view text) { return byte(12).le(text.size(), 4).append(text); }
    FormBytes& utf8(std::string_view text) { return byte(20).le(text.size(), 4).append(text); }
    FormBytes& wstr(std::u16string_view text)
    {
        byte(18).le(text.size(), 4);
        for (char16_t unit : text)
            le(unit, 2);
        return *this;
    }
    FormBytes& ident(std::string_view text) { return byte(7).short_string(text); }
    FormBytes& boolean(bool value) { return byte(value ? 9 : 8); }
    FormBytes& nil() { return byte(13); }
    FormBytes& set(std::initializer_list<std::string_view> members)
    {
        byte(11);
        for (std::string_view member : members)
            short_string(member);
        return byte(0);
    }
    FormBytes& binary(std::string_view bytes) { return byte(10).le(bytes.size(), 4).append(bytes); }
    FormBytes& list() { return byte(1); }
    FormBytes& collection() { return byte(14); }
    FormBytes& item() { return byte(1); }

    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// The same form in binary, with the value types the designer picks for each
// value (smallest integer type, wide and UTF-8 strings where text is not ASCII).
std::string setup_form_binary()
{
    FormBytes f;
    f.byte(0xF1).object("TSetupForm", "SetupForm");
    f.prop("Left").int16(192);
    f.prop("Top").int8(-11);
    f.prop("BorderStyle").ident("bsDialog");
    f.prop("Caption").str("Setup - 'Quillon'");
    f.prop("Color").ident("clBtnFace");
    f.prop("Font.Charset").ident("DEFAULT_CHARSET");
    f.prop("Font.Height").int8(-11);
    f.prop("Font.Name").str("MS Sans Serif");
    f.prop("Font.Style").set({});
    f.prop("Tag").int32(0x7FFFFFFF);
    f.prop("HelpContext").int64(5000000000);
    f.prop("ZoomFactor").extended(0xA000000000000000ull, 0x3FFF);
    f.prop("OldCreateOrder").boolean(false);
    f.prop("PopupMenu").ident("MainForm.TrayMenu");
    f.end();
    {
        f.object("TPanel", "MainPanel");
        f.prop("Align").ident("alClient");
        f.prop("Caption").str("");
        f.end();
        {
            f.object("TLabel", "WelcomeLabel");
            f.prop("Caption").wstr(u"Caf\u00E9 d'accueil\r\nSecond line");
            f.prop("Font.Style").set({"fsBold", "fsUnderline"});
            f.end().end();
        }
        {
            f.object("TMemo", "LicenseMemo");
            f.prop("Lines.Strings").list().lstr("Line one").utf8("Line two\ttab").end();
            f.prop("ScrollBars").ident("ssVertical");
            f.end().end();
        }
        {
            f.object("TImage", "Logo");
            f.prop("Picture.Data").binary("\x07TBitmap\x0A\x0B\xFF" + std::string(1, '\0'));
            f.end().end();
        }
        {
            f.byte(0xF2).int8(2).object("TButton", "NextButton");
            f.prop("Caption").str("&Next >");
            f.prop("Default").boolean(true);
            f.prop("Hint").nil();
            f.end().end();
        }
        f.end();
    }
    {
        f.object("TStatusBar", "StatusBar");
        f.prop("Panels").collection();
        f.item().prop("Width").int16(200).end();
        f.int8(1).item().prop("Text").str("Ready").prop("Width").int8(50).end();
        f.end();
        f.prop("SimplePanel").boolean(false);
        f.end().end();
    }
    f.end();
    return f.bytes();
}

std::string replace_newlines(std::string_view text, std::string_view newline)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += newline;
        else
            out += c;
    }
    return out;
}

const Component* child(const Component& parent, std::string_view name)
{
    for (const Component& c : parent.children)
        if (c.name == name)
            return &c;
    return nullptr;
}

TEST(ParseFormFile, ReadsATextFormIntoATree)
{
    auto form = parse(kSetupFormText);
    ASSERT_TRUE(form.has_value()) << form.error().message;
    EXPECT_EQ(form->name, "SetupForm");
    EXPECT_EQ(form->class_name, "TSetupForm");
    EXPECT_TRUE(form->inherited);
    EXPECT_EQ(form->line, 1u);

    EXPECT_EQ(dump_value(form->find("Caption")->value), "'Setup - \\x27Quillon\\x27'");
    EXPECT_EQ(form->find("Top")->value.integer, -11);
    EXPECT_EQ(form->find("Tag")->value.integer, 0x7FFFFFFF);
    EXPECT_EQ(form->find("HelpContext")->value.integer, 5000000000);
    EXPECT_EQ(form->find("ZoomFactor")->value.kind, ValueKind::floating);
    EXPECT_EQ(form->find("ZoomFactor")->value.floating, 1.25);
    EXPECT_EQ(form->find("Font.Name")->line, 9u);
    EXPECT_EQ(dump_value(form->find("Font.Style")->value), "[]");
    EXPECT_EQ(dump_value(form->find("PopupMenu")->value), "MainForm.TrayMenu");

    ASSERT_EQ(form->children.size(), 2u);
    const Component& panel = form->children[0];
    EXPECT_EQ(panel.class_name, "TPanel");
    EXPECT_EQ(panel.line, 16u);
    ASSERT_EQ(panel.children.size(), 4u);

    const Component* label = child(panel, "WelcomeLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->find("Caption")->value.text, "Caf\xE9 d'accueil\r\nSecond line");
    EXPECT_EQ(dump_value(label->find("Font.Style")->value), "[fsBold,fsUnderline]");

    const Component* memo = child(panel, "LicenseMemo");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(dump_value(memo->find("Lines.Strings")->value), "('Line one' 'Line two\\x09tab')");
    EXPECT_EQ(dump_value(memo->find("ScrollBars")->value), "ssVertical");

    const Component* logo = child(panel, "Logo");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->find("Picture.Data")->value.bytes, std::string("\x07TBitmap\x0A\x0B\xFF", 11) + '\0');

    const Component* button = child(panel, "NextButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(dump_value(button->find("Default")->value), "True");
    EXPECT_EQ(dump_value(button->find("Hint")->value), "nil");

    const Component& status = form->children[1];
    const Property* panels = status.find("Panels");
    ASSERT_NE(panels, nullptr);
    EXPECT_EQ(dump_value(panels->value), "<item{Width=200;}item{Text='Ready';Width=50;}>");
    EXPECT_EQ(panels->value.items[1].properties[0].line, 47u);
    EXPECT_EQ(dump_value(status.find("SimplePanel")->value), "False");
}

TEST(ParseFormFile, BinaryFormGivesTheSameTreeAsText)
{
    auto text = parse(kSetupFormText);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    auto binary = parse(setup_form_binary());
    ASSERT_TRUE(binary.has_value()) << binary.error().message;
    EXPECT_EQ(dump(*binary), dump(*text));
    EXPECT_EQ(binary->line, 0u);
    EXPECT_EQ(binary->properties[0].line, 0u);
}

TEST(ParseFormFile, LineBreaksAndByteOrderMarkDoNotChangeTheTree)
{
    auto lf = parse(kSetupFormText);
    ASSERT_TRUE(lf.has_value()) << lf.error().message;
    for (std::string_view newline : {"\r\n", "\r"}) {
        SCOPED_TRACE(newline.size());
        auto other = parse(replace_newlines(kSetupFormText, newline));
        ASSERT_TRUE(other.has_value()) << other.error().message;
        EXPECT_EQ(dump(*other), dump(*lf));
        EXPECT_EQ(other->children[1].line, lf->children[1].line);
    }
    auto bom = parse("\xEF\xBB\xBF" + std::string(kSetupFormText));
    ASSERT_TRUE(bom.has_value()) << bom.error().message;
    EXPECT_EQ(dump(*bom), dump(*lf));
}

TEST(ParseFormFile, TextValues)
{
    struct Case {
        std::string_view value;
        std::string_view expected;
    };
    const Case cases[] = {
        {"0", "0"},
        {"-2147483649", "-2147483649"},
        {"$ff", "255"},
        {"-$10", "-16"},
        {"$FFFFFFFFFFFFFFFF", "-1"},
        {"1.5E3", "float 1500"},
        {"-0.5e-1", "float -0.050000000000000003"},
        {"12c", "float 12"},
        {"2.5d", "float 2.5"},
        {"'it''s'", "'it\\x27s'"},
        {"''", "''"},
        {"#65#$42'c'#0", "'ABc\\x00'"},
        {"'a'#13#10'b'", "'a\\x0D\\x0Ab'"},
        {"'one ' +\n    'two' + #33", "'one two!'"},
        {"'\xC3\xA9 bytes kept'", "'\\xC3\\xA9 bytes kept'"},
        {"fsBold", "fsBold"},
        {"True", "True"},
        {"Form1.Menu.Item", "Form1.Menu.Item"},
        {"[ ]", "[]"},
        {"[a,b , c]", "[a,b,c]"},
        {"[0, 3]", "[0,3]"},
        {"()", "()"},
        {"(\n  1 'x'\n  (2 (3)) [a] {00} nil <>)", "(1 'x' (2 (3)) [a] {00} nil <>)"},
        {"{}", "{}"},
        {"{ 0a 0B\n    fF }", "{0A0BFF}"},
        {"<>", "<>"},
        {"<\n item\n  A = 1\n  B.C = (1)\n end\n item [7]\n end>", "<item{A=1;B.C=(1);}item{}>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        auto form = parse("object A: T\n  P = " + std::string(c.value) + "\nend\n");
        ASSERT_TRUE(form.has_value()) << form.error().message;
        ASSERT_EQ(form->properties.size(), 1u);
        EXPECT_EQ(dump_value(form->properties[0].value), c.expected);
    }
}

TEST(ParseFormFile, TextHeaders)
{
    auto form = parse("Object TForm\n"
                      "  INLINE Frame1: TFrame1 [0]\n"
                      "    Tag = 1\n"
                      "  End\n"
                      "  object Qualified: Vcl.StdCtrls.TButton\n"
                      "  end\n"
                      "END");
    ASSERT_TRUE(form.has_value()) << form.error().message;
    EXPECT_EQ(dump(*form), "object :TForm\n"
                           "  object Frame1:TFrame1\n"
                           "    Tag = 1\n"
                           "  object Qualified:Vcl.StdCtrls.TButton\n");
    EXPECT_EQ(form->children[1].line, 5u);
}

// Eight-bit codes are bytes of the form's code page; larger ones go to the
// caller's conversion a run at a time, so a surrogate pair arrives whole.
TEST(ParseFormFile, CharactersAbove255GoThroughTheConversion)
{
    std::string_view text = "object A: T\n  P = 'x'#8364#55357#56832'y'#233 + #1046\nend";
    auto plain = parse(text);
    ASSERT_TRUE(plain.has_value()) << plain.error().message;
    EXPECT_EQ(plain->properties[0].value.text, "x??y\xE9?");

    std::vector<std::u16string> runs;
    ParseOptions options;
    options.wide_char = [&](std::u16string_view units) {
        runs.emplace_back(units);
        return "<" + std::to_string(units.size()) + ">";
    };
    auto converted = parse(text, options);
    ASSERT_TRUE(converted.has_value()) << converted.error().message;
    EXPECT_EQ(converted->properties[0].value.text, "x<3>y\xE9<1>");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::u16string{0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(runs[1], std::u16string{0x0416});
}

TEST(ParseFormFile, BinaryUnicodeStrings)
{
    FormBytes f;
    f.object("T", "A");
    f.prop("W").wstr(u"a\u00E9\u20AC\U0001F600b");
    f.prop("U").utf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
                     "b\xFF");
    f.end().end();

    auto plain = parse(f.bytes());
    ASSERT_TRUE(plain.has_value()) << plain.error().message;
    EXPECT_EQ(plain->find("W")->value.text, "a\xE9??b");
    EXPECT_EQ(plain->find("U")->value.text, "a\xE9??b?");

    // With a code page, every non-ASCII character of these strings is the
    // conversion's to make: U+00E9 is not byte 233 in every code page.
    std::vector<std::u16string> runs;
    ParseOptions options;
    options.wide_char = [&](std::u16string_view units) {
        runs.emplace_back(units);
        return std::string("#");
    };
    auto converted = parse(f.bytes(), options);
    ASSERT_TRUE(converted.has_value()) << converted.error().message;
    EXPECT_EQ(converted->find("W")->value.text, "a#b");
    EXPECT_EQ(converted->find("U")->value.text, "a#b#");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], (std::u16string{0xE9, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(runs[2], std::u16string{0xFFFD});
}

TEST(ParseFormFile, BinaryNumbers)
{
    struct Case {
        std::string_view name;
        FormBytes value;
        std::string_view expected;
    };
    auto value = [] { return FormBytes(); };
    const Case cases[] = {
        {"Int8", value().int8(-128), "-128"},
        {"Int16", value().int16(-300), "-300"},
        {"Int32", value().int32(-70000), "-70000"},
        {"Int64", value().int64(-5000000000), "-5000000000"},
        {"Extended 1.5", value().extended(0xC000000000000000ull, 0x3FFF), "float 1.5"},
        {"Extended -2", value().extended(0x8000000000000000ull, 0xC000), "float -2"},
        {"Extended 0.1", value().extended(0xCCCCCCCCCCCCCCCDull, 0x3FFB), "float 0.10000000000000001"},
        {"Extended zero", value().extended(0, 0), "float 0"},
        {"Extended too small for a double", value().extended(1, 0), "float 0"},
        {"Extended too large for a double", value().extended(0x8000000000000000ull, 0x7FFE), "float inf"},
        {"Extended infinity", value().extended(0x8000000000000000ull, 0xFFFF), "float -inf"},
        {"Single 1.5", value().byte(15).le(0x3FC00000, 4), "float 1.5"},
        {"Currency", value().byte(16).le(static_cast<std::uint64_t>(-123450), 8), "float -12.345000000000001"},
        {"Date", value().byte(17).le(0x4004000000000000ull, 8), "float 2.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FormBytes f;
        f.object("T", "A").prop("P").append(c.value.bytes().substr(4)).end().end();
        auto form = parse(f.bytes());
        ASSERT_TRUE(form.has_value()) << form.error().message;
        EXPECT_EQ(dump_value(form->properties[0].value), c.expected);
    }
}

TEST(ComponentFind, TakesTheLastPropertyIgnoringAsciiCase)
{
    auto form = parse("object A: T\n  Caption = 'one'\n  font.NAME = 'x'\n  CAPTION = 'two'\nend");
    ASSERT_TRUE(form.has_value()) << form.error().message;
    ASSERT_NE(form->find("caption"), nullptr);
    EXPECT_EQ(form->find("caption")->value.text, "two");
    EXPECT_EQ(form->find("caption")->line, 4u);
    ASSERT_NE(form->find("Font.Name"), nullptr);
    EXPECT_EQ(form->find("Font.Name")->value.text, "x");
    EXPECT_EQ(form->find("Font"), nullptr);
    EXPECT_EQ(form->find(""), nullptr);
}

TEST(ParseFormFile, BadTextFailsWithFileAndLine)
{
    struct Case {
        std::string_view name;
        std::string text;
        std::string_view message;
    };
    const Case cases[] = {
        {"empty file", "", "dlg.dfm:1: expected 'object', 'inherited' or 'inline'"},
        {"unterminated string", "object A: T\n  Caption = 'abc\nend\n", "dlg.dfm:2: unterminated string"},
        {"string at the end of the file", "object A: T\n  Caption = 'abc", "dlg.dfm:2: unterminated string"},
        {"missing end", "object A: T\n  object B: T\n    Tag = 1\n  end\n",
         "dlg.dfm:5: missing 'end' of object A (line 1)"},
        {"missing '='", "object A: T\n  Tag 1\nend", "dlg.dfm:2: expected '=' after property name"},
        {"missing value", "object A: T\n  Tag = ,\nend", "dlg.dfm:2: expected a value"},
        {"property after a child", "object A: T\n  object B: T\n  end\n  Tag = 1\nend",
         "dlg.dfm:4: expected 'object' or 'end'"},
        {"bad hex digit", "object A: T\n  Data = {\n    0A0G }\nend", "dlg.dfm:3: bad hex digit 'G' in binary data"},
        {"odd hex digits", "object A: T\n  Data = { 0A0 }\nend", "dlg.dfm:2: odd number of hex digits"},
        {"unterminated binary", "object A: T\n  Data = { 0A0B\nend", "dlg.dfm:3: bad hex digit 'n'"},
        {"binary at the end of the file", "object A: T\n  Data = { 0A0B\n", "dlg.dfm:3: unterminated binary"},
        {"unterminated list", "object A: T\n  Items = (\n    'a'\n", "missing ')' of the list opened at line 2"},
        {"unterminated collection", "object A: T\n  Items = <\n  item\n  end\n",
         "dlg.dfm:5: missing '>' of the collection opened at line 2"},
        {"collection item without end", "object A: T\n  Items = <\n  item\n    A = 1\n  >\nend",
         "dlg.dfm:5: expected a property name"},
        {"collection without item", "object A: T\n  Items = < A = 1 >\nend",
         "dlg.dfm:2: expected 'item' or '>' in a collection"},
        {"set without ']'", "object A: T\n  Style = [a b]\nend", "dlg.dfm:2: expected ',' or ']' in a set"},
        {"'+' without a string", "object A: T\n  Caption = 'a' +\n    1\nend",
         "dlg.dfm:3: expected a string after '+'"},
        {"'#' without a code", "object A: T\n  Caption = 'a'#\nend", "dlg.dfm:2: expected a character code"},
        {"character code too large", "object A: T\n  Caption = #65536\nend", "dlg.dfm:2: character code out of range"},
        {"integer too large", "object A: T\n  Tag = 9223372036854775808\nend", "dlg.dfm:2: number out of range"},
        {"hex too long", "object A: T\n  Tag = $10000000000000000\nend", "dlg.dfm:2: hex number out of range"},
        {"letters after a number", "object A: T\n  Tag = 12px\nend", "dlg.dfm:2: bad number: 12p"},
        {"stray character", "object A: T\n  Tag = 1\n  ;\nend", "dlg.dfm:3: unexpected ';'"},
        {"text after the form", "object A: T\nend\nobject B: T\nend", "dlg.dfm:3: unexpected text after"},
        {"name without class", "object A: 5\nend", "dlg.dfm:1: expected a class name after ':'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto form = parse(c.text);
        ASSERT_FALSE(form.has_value());
        EXPECT_EQ(form.error().code, ErrorCode::parse);
        EXPECT_NE(form.error().message.find(c.message), std::string::npos) << form.error().message;
    }
}

// A binary form as a form designer saves it to a file: the 16-bit resource
// header (0xFF, type 10, the upper-case class name, flags, size) before "TPF0".
std::string with_resource_header(const std::string& form, std::string_view name = "TSETUPFORM")
{
    std::string bytes = "\xFF\x0A";
    bytes += '\0';
    bytes += name;
    bytes += '\0';
    bytes += "\x30\x10";
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((form.size() >> (8 * i)) & 0xFF);
    return bytes + form;
}

TEST(ParseFormFile, BinaryFormBehindAResourceHeaderGivesTheSameTree)
{
    auto text = parse(kSetupFormText);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    auto saved = parse(with_resource_header(setup_form_binary()));
    ASSERT_TRUE(saved.has_value()) << saved.error().message;
    EXPECT_EQ(dump(*saved), dump(*text));
    // A resource named by number rather than by name.
    std::string numbered = "\xFF\x0A";
    numbered += '\0';
    numbered += "\xFF\x01";
    numbered += '\0';
    numbered += "\x30\x10";
    std::string form = setup_form_binary();
    for (int i = 0; i < 4; ++i)
        numbered += static_cast<char>((form.size() >> (8 * i)) & 0xFF);
    auto by_number = parse(numbered + form);
    ASSERT_TRUE(by_number.has_value()) << by_number.error().message;
    EXPECT_EQ(dump(*by_number), dump(*text));
}

TEST(ParseFormFile, BadResourceHeadersAreCorruptWithTheirOffset)
{
    const std::string whole = with_resource_header(setup_form_binary());
    const std::size_t header_size = whole.size() - setup_form_binary().size();
    // Cut inside the header, or inside the form it announces.
    for (std::size_t size = 1; size < whole.size(); size += (size < header_size + 8 ? 1 : 97)) {
        SCOPED_TRACE(size);
        auto result = parse(std::string_view(whole).substr(0, size));
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::corrupt);
        EXPECT_EQ(result.error().message.rfind("dlg.dfm: byte ", 0), 0u) << result.error().message;
    }
    std::string other_type = whole;
    other_type[1] = 3;
    auto icon = parse(other_type);
    ASSERT_FALSE(icon.has_value());
    EXPECT_NE(icon.error().message.find("resource type 3"), std::string::npos) << icon.error().message;
    std::string no_form = with_resource_header("TPF1 not a form");
    auto missing = parse(no_form);
    ASSERT_FALSE(missing.has_value());
    EXPECT_NE(missing.error().message.find("TPF0"), std::string::npos) << missing.error().message;
    // An error inside the form counts its bytes from the start of the file.
    FormBytes bad;
    bad.object("T", "A").prop("P").byte(99).end().end();
    auto inner = parse(with_resource_header(bad.bytes(), "T"));
    ASSERT_FALSE(inner.has_value());
    EXPECT_NE(inner.error().message.find("byte " + std::to_string(10 + 11)), std::string::npos)
        << inner.error().message;
}

TEST(ParseFormFile, NullIsAValueAndBooleansHaveOneSpelling)
{
    FormBytes f;
    f.object("T", "A").prop("Value").byte(0).prop("Items.Strings").list().str("x").end().end().end();
    auto binary = parse(f.bytes());
    ASSERT_TRUE(binary.has_value()) << binary.error().message;
    ASSERT_EQ(binary->properties.size(), 2u);
    EXPECT_EQ(binary->properties[0].value.kind, ValueKind::identifier);
    EXPECT_EQ(binary->properties[0].value.text, "Null");
    EXPECT_EQ(binary->properties[1].value.list.size(), 1u) << "in a list the same byte still ends it";

    auto text = parse("object A: T\n  Visible = false\n  Enabled = TRUE\n  Value = Null\n  Other = falsely\nend\n");
    ASSERT_TRUE(text.has_value()) << text.error().message;
    EXPECT_EQ(text->properties[0].value.text, "False");
    EXPECT_EQ(text->properties[1].value.text, "True");
    EXPECT_EQ(text->properties[2].value.text, "Null");
    EXPECT_EQ(text->properties[3].value.text, "falsely") << "only the Boolean names";
}

TEST(ParseFormFile, BinaryTruncatedAtEveryByteIsCorrupt)
{
    const std::string form = setup_form_binary();
    for (std::size_t size = 0; size < form.size(); ++size) {
        SCOPED_TRACE(size);
        auto result = parse(std::string_view(form).substr(0, size));
        ASSERT_FALSE(result.has_value());
        if (size < 4)
            continue; // no signature yet: read as a (bad) text form
        EXPECT_EQ(result.error().code, ErrorCode::corrupt);
        const std::string& message = result.error().message;
        ASSERT_EQ(message.rfind("dlg.dfm: byte ", 0), 0u) << message;
        EXPECT_LE(std::stoul(message.substr(14)), size) << message;
        EXPECT_NE(message.find(": the file ends inside "), std::string::npos) << message;
    }
}

TEST(ParseFormFile, BadBinaryFailsWithFileAndOffset)
{
    struct Case {
        std::string_view name;
        FormBytes bytes;
        ErrorCode code;
        std::string_view message;
    };
    auto form = [] { return FormBytes().object("T", "A").prop("P"); };
    const Case cases[] = {
        {"unknown value type", form().byte(99).end().end(), ErrorCode::corrupt,
         "dlg.dfm: byte 10: unknown value type 99"},
        {"newer value type", form().byte(21).le(0, 8).end().end(), ErrorCode::unsupported,
         "dlg.dfm: byte 10: value type 21 is not supported"},
        {"long string longer than the file", form().byte(12).le(0xFFFFFFFF, 4).append("abc"), ErrorCode::corrupt,
         "dlg.dfm: byte 15: the file ends inside a long string"},
        {"wide string longer than the file", form().byte(18).le(0x80000000, 4).append("ab"), ErrorCode::corrupt,
         "the file ends inside a wide string"},
        {"binary longer than the file", form().byte(10).le(100, 4).append("abc"), ErrorCode::corrupt,
         "the file ends inside binary data"},
        {"collection item without its list marker", form().collection().prop("Width").int8(1).end().end().end().end(),
         ErrorCode::corrupt, "dlg.dfm: byte 11: a collection item does not start with a list marker"},
        {"child position that is not an integer", FormBytes().byte(0xF2).str("x").object("T", "A").end().end(),
         ErrorCode::corrupt, "dlg.dfm: byte 5: expected an integer as a child position"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto result = parse(c.bytes.bytes());
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, c.code);
        EXPECT_NE(result.error().message.find(c.message), std::string::npos) << result.error().message;
    }
}

TEST(ParseFormFile, NestingBeyondTheLimitIsRefused)
{
    constexpr std::size_t kBomb = 200000; // far deeper than any stack would survive unguarded
    struct Case {
        std::string_view name;
        std::string data;
        std::string_view message;
    };
    std::string objects;
    for (int i = 0; i < 100; ++i)
        objects += "object A: T\n";
    std::string binary_objects = "TPF0";
    for (int i = 0; i < 100; ++i)
        binary_objects += std::string("\x01T\x01"
                                      "A\x00",
                                      5);
    const Case cases[] = {
        {"text objects", objects, "dlg.dfm:65: objects, lists and collections nested deeper than 64 levels"},
        {"text lists", "object A: T\n  P = " + std::string(kBomb, '('), "dlg.dfm:2: objects, lists"},
        {"text collections",
         "object A: T\n  P = " +
             [&] {
                 std::string bomb;
                 for (std::size_t i = 0; i < kBomb / 10; ++i)
                     bomb += "<item P=";
                 return bomb;
             }(),
         "dlg.dfm:2: objects, lists"},
        {"binary objects", binary_objects, "dlg.dfm: byte 324: objects, lists"},
        {"binary lists",
         std::string("TPF0\x01T\x01"
                     "A\x01P",
                     10) +
             std::string(kBomb, '\x01'),
         "dlg.dfm: byte 73: objects, lists"},
        {"binary collections",
         std::string("TPF0\x01T\x01"
                     "A\x01P",
                     10) +
             [&] {
                 std::string bomb;
                 for (std::size_t i = 0; i < kBomb / 4; ++i)
                     bomb += std::string("\x0E\x01\x01P", 4);
                 return bomb;
             }(),
         "objects, lists"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto result = parse(c.data);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().code, ErrorCode::corrupt);
        EXPECT_NE(result.error().message.find(c.message), std::string::npos) << result.error().message;
    }
}

TEST(ParseFormFile, MaxDepthCountsObjectsListsAndCollectionsTogether)
{
    // The form, its panel, a collection, and a list inside an item: four levels.
    std::string text = "object A: T\n"
                       "  object B: T\n"
                       "    P = <item Q = (1) end>\n"
                       "  end\n"
                       "end";
    FormBytes binary;
    binary.object("T", "A").end().object("T", "B").prop("P").collection();
    binary.item().prop("Q").list().int8(1).end().end().end().end().end().end();
    for (std::string_view data : {std::string_view(text), std::string_view(binary.bytes())}) {
        SCOPED_TRACE(data.substr(0, 4));
        ParseOptions options;
        options.max_depth = 4;
        auto fits = parse(data, options);
        ASSERT_TRUE(fits.has_value()) << fits.error().message;
        EXPECT_EQ(dump(*fits), "object A:T\n  object B:T\n    P = <item{Q=(1);}>\n");
        options.max_depth = 3;
        auto deeper = parse(data, options);
        ASSERT_FALSE(deeper.has_value());
        EXPECT_EQ(deeper.error().code, ErrorCode::corrupt);
    }
}

} // namespace
} // namespace quillon::dfm
