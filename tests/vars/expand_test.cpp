#include "vars/vars.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

struct Case {
    std::string_view text;
    std::string_view expected;
};

class ExpandTest : public ::testing::Test {
protected:
    ExpandTest()
    {
        vars.Add("TARGETDIR", "C:\\App\\");
        vars.Add("TITLE", "Setup");
        vars.Add("A", "a");
        vars.Add("B", "x");
        vars.Add("EMPTY", "");
        vars.Add("MY VAR", "spaced");
        vars.Add("CHAIN1", "[$CHAIN2$]");
        vars.Add("CHAIN2", "<$B$>");
        vars.Add("HALF", "$PRE");    // a reference that starts in this value...
        vars.Add("PREFIX", "joined"); // ...and ends in the text after it
        vars.Add("QUOTE", "a\"b");
        vars.Add("N", "1");
        vars.Add("DOLLAR", "$");
        vars.Add("UNC", "\\\\server\\");
    }

    TVariableManager vars;
};

TEST_F(ExpandTest, ReplacesReferencesToExistingVariables)
{
    const Case cases[] = {
        {"$TARGETDIR$bin", "C:\\App\\bin"},
        {"$targetdir$", "C:\\App\\"},
        {"", ""},
        {"no references", "no references"},
        {"100$", "100$"},
        {"$", "$"},
        {"$$", "$$"},
        {"$A$$B$", "ax"},
        {"$UNDEFINED$$B$", "$UNDEFINED$x"},
        {"cost $5, see $TITLE$", "cost $5, see Setup"},
        {"a$q$TITLE$", "a$qSetup"},
        {"$$TITLE$", "$Setup"},
        {"x$EMPTY$y", "xy"},
        {"$MY VAR$", "spaced"},
        {"$CHAIN1$!", "[<x>]!"},
        {"$HALF$FIX$", "joined"},
        {"$DOLLAR$TITLE$", "Setup"},
        {"$TITLE", "$TITLE"},
        {"$A$ $NOPE$ $B$", "a $NOPE$ x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Expand(vars, c.text), c.expected);
        EXPECT_EQ(vars.Expand(c.text), c.expected);
    }
}

TEST_F(ExpandTest, QuotedFormEnclosesEachInsertedValue)
{
    const Case cases[] = {
        {"$N$ > \"3\"", "\"1\" > \"3\""},
        {"$QUOTE$", "\"a\"b\""},
        {"$NOPE$ = $N$", "$NOPE$ = \"1\""},
        {"$CHAIN2$", "\"<\"x\">\""},
        // The closing quote stands between the value and the following text.
        {"$HALF$FIX$", "\"$PRE\"FIX$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ExpandQuoted(vars, c.text), c.expected);
    }
}

TEST_F(ExpandTest, ValueIsReadAtTheMomentOfTheCall)
{
    EXPECT_EQ(Expand(vars, "$B$"), "x");
    vars.SetValue("B", "y");
    EXPECT_EQ(Expand(vars, "$B$"), "y");
}

TEST(ExpandBound, SelfReferencesStopAtTheReplacementBound)
{
    constexpr std::size_t bound = 50;
    struct SelfCase {
        std::string_view value;
        std::string expected;
    };
    const SelfCase cases[] = {
        {"$A$", "$A$"},
        {"x$A$", std::string(bound, 'x') + "$A$"},
        // Each replacement leaves one "$A$" behind and inserts two.
        {"$A$$A$",
         [] {
             std::string s;
             for (std::size_t i = 0; i < bound + 1; ++i)
                 s += "$A$";
             return s;
         }()},
    };
    for (const SelfCase& c : cases) {
        SCOPED_TRACE(c.value);
        TVariableManager vars;
        vars.Add("A", c.value);
        ExpandResult result = expand_text(vars, "$A$", ExpandStyle::plain, {.max_replacements = bound});
        EXPECT_FALSE(result.complete);
        EXPECT_EQ(result.text, c.expected);
    }
}

TEST(ExpandBound, DefaultBoundsEndSelfReferenceQuickly)
{
    TVariableManager vars;
    vars.Add("A", "x$A$");
    vars.Add("B", "$C$$C$");
    vars.Add("C", "$B$$B$"); // doubles through another variable
    vars.Add("D", "$D$");

    EXPECT_EQ(Expand(vars, "$A$"), std::string(max_expand_replacements, 'x') + "$A$");
    EXPECT_EQ(Expand(vars, "<$D$>"), "<$D$>");
    std::string doubled = Expand(vars, "$B$");
    EXPECT_LE(doubled.size(), max_expand_result_size);
    EXPECT_EQ(doubled.size() % 3, 0u); // nothing but whole, unexpanded references
    EXPECT_FALSE(expand_text(vars, "$B$", ExpandStyle::quoted).complete);
}

TEST(ExpandBound, ResultSizeBoundKeepsTheRestUnexpanded)
{
    TVariableManager vars;
    vars.Add("BIG", std::string(1000, 'b'));
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "$BIG$";
    // Room for four values and the six references still unexpanded.
    ExpandResult result = expand_text(vars, text, ExpandStyle::plain, {.max_result_size = 4000 + 6 * 5});
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.text, std::string(4000, 'b') + text.substr(4 * 5));

    ExpandResult all = expand_text(vars, text, ExpandStyle::plain, {.max_result_size = 10000});
    EXPECT_TRUE(all.complete);
    EXPECT_EQ(all.text, std::string(10000, 'b'));
}

TEST(ExpandBound, TextLongerThanTheBoundIsLeftAlone)
{
    TVariableManager vars;
    vars.Add("X", "x");
    ExpandResult result = expand_text(vars, "$X$ and more", ExpandStyle::plain, {.max_result_size = 5});
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.text, "$X$ and more");
}

TEST(ReferenceName, IsTheNameOnlyWhenTheTextIsOneReference)
{
    const Case cases[] = {
        {"$NEWLINE$", "NEWLINE"},
        {"$A B$", "A B"},
        {"$NA$ME$", ""},
        {"NAME", ""},
        {"$NAME", ""},
        {"NAME$", ""},
        {"$", ""},
        {"$$", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReferenceName(c.text), c.expected);
    }
}

TEST_F(ExpandTest, ReferencedValueTellsMissingFromEmpty)
{
    struct ValueCase {
        std::string_view text;
        std::string_view value;
        std::string_view value_or_empty;
    };
    const ValueCase cases[] = {
        {"$CHAIN2$", "<x>", "<x>"},
        {"CHAIN2", "<x>", "<x>"},
        {"$EMPTY$", "", ""},
        {"$UNDEFINED$", "$KYRTNX$", ""},
        {"UNDEFINED", "$KYRTNX$", ""},
        {"$A$$B$", "$KYRTNX$", ""}, // not a single reference, and no variable has that name
        {"MY VAR", "spaced", "spaced"},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReferencedValue(vars, c.text), c.value);
        EXPECT_EQ(ReferencedValueOrEmpty(vars, c.text), c.value_or_empty);
    }
}

TEST(NewlinesFromToken, ReplacesTheTokenInAnyCase)
{
    const Case cases[] = {
        {"a$NEWLINE$b", "a\r\nb"},
        {"$newline$", "\r\n"},
        {"$NewLine$$NEWLINE$", "\r\n\r\n"},
        {"$$NEWLINE$", "$\r\n"},
        {"$NEWLINE", "$NEWLINE"},
        {"$NEW LINE$", "$NEW LINE$"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NewlinesFromToken(c.text), c.expected);
    }
}

TEST(NewlinesToToken, ReplacesEveryCrLf)
{
    const Case cases[] = {
        {"a\r\nb", "a$NEWLINE$b"},    {"\r\n\r\n", "$NEWLINE$$NEWLINE$"}, {"\r\r\n", "\r$NEWLINE$"},
        {"lone\nfeed", "lone\nfeed"}, {"lone\rreturn", "lone\rreturn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NewlinesToToken(c.text), c.expected);
        EXPECT_EQ(NewlinesFromToken(NewlinesToToken(c.text)), c.text);
    }
}

TEST_F(ExpandTest, NormalizePathCollapsesDoubledBackslashesButKeepsUnc)
{
    const Case cases[] = {
        {"$TARGETDIR$\\bin", "C:\\App\\bin"},  {"\\\\server\\share\\\\dir", "\\\\server\\share\\dir"},
        {"$UNC$\\share", "\\\\server\\share"}, {"C:\\\\\\x", "C:\\\\x"}, // pairs left to right: three become two
        {"C:\\plain\\", "C:\\plain\\"},        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NormalizePath(vars, c.text), c.expected);
    }
}

} // namespace
} // namespace quillon
