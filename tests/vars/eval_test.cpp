#include "vars/vars.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

namespace quillon {
namespace {

struct ExpressionCase {
    std::string_view text;
    std::string_view expected;
};

void expect_results(std::span<const ExpressionCase> cases)
{
    for (const ExpressionCase& c : cases) {
        SCOPED_TRACE(c.text);
        Result<std::string> result = EvaluateExpression(c.text);
        ASSERT_TRUE(result) << result.error().message;
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(EvaluateExpression, ComparesIntegersAsNumbersAndEverythingElseAsBytes)
{
    const ExpressionCase cases[] = {
        {R"("1" = "01")", "TRUE"},
        {R"("a" = "A")", "FALSE"},
        {R"("abc" < "abd")", "TRUE"},
        {R"("10" > "9")", "TRUE"},
        {R"("10x" > "9x")", "FALSE"},
        {R"("-" = "-")", "TRUE"},
        {R"("+5" = "5")", "TRUE"},
        {R"("-5" < "3")", "TRUE"},
        {R"("+" < "1")", "TRUE"},  // a lone sign is text: '+' sorts before '1'
        {R"("5" < "+")", "FALSE"},
        {R"("" = "")", "TRUE"},
        {R"("" < "a")", "TRUE"},
        {R"("ab" < "abc")", "TRUE"},
        {"\"\xE9\" > \"z\"", "TRUE"}, // bytes compare unsigned
        {R"("2147483647" > "-2147483648")", "TRUE"},
        {R"("99999999999" = "x")", "FALSE"}, // one side is text: no conversion
        {R"("--5" < "-5")", "TRUE"},          // text
        {R"("x" <> "y")", "TRUE"},
        {R"("5" <= "5")", "TRUE"},
        {R"("5" >= "6")", "FALSE"},
    };
    expect_results(cases);
}

TEST(EvaluateExpression, AppliesConnectivesLeftToRight)
{
    const ExpressionCase cases[] = {
        {R"("1" = "1" and "1" = "2" or "1" = "1")", "TRUE"},
        // With precedence this would be TRUE; strictly left to right it is FALSE.
        {R"("1" = "1" or "1" = "1" and "1" = "2")", "FALSE"},
        {R"("1" = "1" or ("1" = "1" and "1" = "2"))", "TRUE"},
        {R"(("a" = "a") and (("b" = "b") or ("c" = "d")))", "TRUE"},
        {R"("a"="a"and"b"="b")", "TRUE"},
        {R"(   "a"   =   "a"   )", "TRUE"},
        {R"("1" = "1" AND "1" = "1")", "ERROR"},
        {R"("1" = "1" Or "1" = "1")", "ERROR"},
        {R"("1" = "1" and("1" = "1"))", "ERROR"}, // the connective word runs to the next blank or quote
        {R"("1" = "1" and)", "ERROR"},
    };
    expect_results(cases);
}

TEST(EvaluateExpression, ReportsSyntaxFaultsAsError)
{
    const ExpressionCase cases[] = {
        {"", "ERROR"},
        {"()", "ERROR"},
        {"word", "ERROR"},
        {R"("a")", "ERROR"},
        {R"("a" =)", "ERROR"},
        {R"("a" = "b)", "ERROR"},
        {R"("a" == "a")", "ERROR"},
        {R"("a" =< "b")", "ERROR"},
        {R"("a" "b")", "ERROR"},
        {R"(("a" = "a")", "ERROR"},
        {R"("a" = "a"))", "ERROR"},
        {R"("a" = "a" "b" = "b")", "ERROR"},
        {"\"a\"\t= \"a\"", "ERROR"}, // only spaces are blanks
        {R"(= "a")", "ERROR"},
    };
    expect_results(cases);
}

TEST(EvaluateExpression, DoubledQuotesStandForOneQuote)
{
    const ExpressionCase cases[] = {
        {R"("a""b" = "a""b")", "TRUE"}, {R"("say ""hi""" = "say ""hi""")", "TRUE"},
        {R"("a""" = "a")", "FALSE"},    {R"("""" < "a")", "TRUE"},
        {R"("a""" = "a"" ")", "FALSE"},
    };
    expect_results(cases);
}

TEST(EvaluateExpression, IntegerOutOfRangeIsAnErrorEvenAfterASyntaxFault)
{
    struct RangeCase {
        std::string_view text;
        std::string_view position;
    };
    const RangeCase cases[] = {
        {R"("99999999999" = "1")", "position 1"},
        {R"("1" = "2147483648")", "position 7"},
        {R"("1" = "-2147483649")", "position 7"},
        // Every term is evaluated, so an earlier false term does not save it...
        {R"("1" = "2" and "1" = "99999999999")", "position 21"},
        // ...and neither does an invalid connective before it.
        {R"("1" = "1" AND "99999999999" = "1")", "position 15"},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.text);
        Result<std::string> result = EvaluateExpression(c.text);
        ASSERT_FALSE(result) << *result;
        EXPECT_EQ(result.error().code, ErrorCode::out_of_range);
        EXPECT_NE(result.error().message.find(c.position), std::string::npos) << result.error().message;
    }
}

TEST(EvaluateExpression, LimitsNesting)
{
    auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '(') + "\"a\" = \"a\"" +
               std::string(static_cast<std::size_t>(depth), ')');
    };
    // The wrapping adds one level.
    EXPECT_EQ(EvaluateExpression(nested(max_expression_nesting - 1)), "TRUE");
    EXPECT_EQ(EvaluateExpression(nested(max_expression_nesting)), "ERROR");
    EXPECT_EQ(EvaluateExpression(std::string(1'000'000, '(')), "ERROR");
}

TEST(CheckExpressionSyntax, ReadsReferencesAsQuotedOperands)
{
    struct SyntaxCase {
        std::string_view text;
        bool accepted;
    };
    const SyntaxCase cases[] = {
        {R"($COUNT$ > "3")", true},
        {R"(($MODE$ = "full" or $MODE$ = "custom"))", true},
        {R"($A$ = $B$ and $C$ <> "x")", true},
        {R"($A$ = )", false},
        {R"($A$ = "1" AND $B$ = "2")", false},
        {"", false},
    };
    for (const SyntaxCase& c : cases) {
        SCOPED_TRACE(c.text);
        Result<bool> accepted = CheckExpressionSyntax(c.text);
        ASSERT_TRUE(accepted);
        EXPECT_EQ(*accepted, c.accepted);
    }
    Result<bool> range = CheckExpressionSyntax(R"($99999999999$ = "1")");
    ASSERT_FALSE(range);
    EXPECT_EQ(range.error().code, ErrorCode::out_of_range);
}

class CompareForIfTest : public ::testing::Test {
protected:
    CompareForIfTest()
    {
        vars.Add("N10", "10");
        vars.Add("N12", "12");
        vars.Add("ABC", "abc");
        vars.Add("TEXT", "Hello World");
        vars.Add("VERSION", "1.2.10");
        vars.Add("SHORT", "1.2");
        vars.Add("REF", "$N10$");
        vars.Add("EMPTY", "");
        vars.Add("BAD", "1.x.3");
    }

    TVariableManager vars;
};

TEST_F(CompareForIfTest, ComparesByCode)
{
    struct IfCase {
        std::string_view variable;
        std::string_view code;
        std::string_view value;
        std::string_view negate;
        bool expected;
    };
    const IfCase cases[] = {
        {"$N10$", "2", "9", "", true},  // numeric; as text "10" < "9"
        {"ABC", "2", "abd", "", false},
        {"ABC", "2", "abb", "", true},
        {"$N10$", "0", "010", "", true},
        {"$N10$", "0", "+10", "", true},
        {"$ABC$", "0", "ABC", "", false},
        {"$ABC$", "0", "$ABC$", "", true}, // the value is expanded too
        {"$REF$", "0", "10", "", true},    // and so is the variable's value
        {"$N12$", "1", "2", "", false},    // numbers: equality, not containment
        {"$N12$", "3", "2", "", false},
        {"$N12$", "1", "12", "", true},
        {"$TEXT$", "1", "World", "", true},
        {"$TEXT$", "1", "world", "", false},
        {"$TEXT$", "1", "", "", false},
        {"$TEXT$", "3", "WORLD", "", true},
        {"$TEXT$", "3", "", "", false},
        {"$TEXT$", "4", "hello world", "", true},
        {"$TEXT$", "4", "hello", "", false},
        {"$TEXT$", "0", "hello world", "", false},
        {"$UNDEFINED$", "0", "", "", true},
        {"$ABC$", "7", "abc", "", false},
        {"$ABC$", "7", "abc", "TRUE", true},
        {"$ABC$", "", "abc", "", false},
        {"$ABC$", "0", "abc", "true", false},
        {"$ABC$", "0", "abc", "-1", false},
        {"$ABC$", "0", "abc", "1", true},
        {"$ABC$", "0", "abc", "yes", true},
        {"$VERSION$", "6", "1.2.9", "", true},
        {"$SHORT$", "6", "1.2.0.0", "", false},
        {"$SHORT$", "6", "1.2.0.0", "TRUE", true},
    };
    for (const IfCase& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + " " + std::string(c.code) + " " + std::string(c.value) + " " +
                     std::string(c.negate));
        Result<bool> result = CompareForIf(vars, c.variable, c.code, c.value, c.negate);
        ASSERT_TRUE(result) << result.error().message;
        EXPECT_EQ(*result, c.expected);
    }
}

TEST_F(CompareForIfTest, CodeFiveTestsExistenceOfTheNameAsWritten)
{
    struct ExistsCase {
        std::string_view variable;
        std::string_view negate;
        bool expected;
    };
    // In "$ABC$" the dollar signs are part of the name.
    const ExistsCase cases[] = {
        {"ABC", "", true},           {"abc", "", true},      {"$ABC$", "", false}, {"UNDEFINED", "", false},
        {"UNDEFINED", "TRUE", true}, {"ABC", "TRUE", false}, {"EMPTY", "", true},
    };
    for (const ExistsCase& c : cases) {
        SCOPED_TRACE(std::string(c.variable) + " " + std::string(c.negate));
        EXPECT_EQ(CompareForIf(vars, c.variable, "5", "ignored", c.negate), c.expected);
    }
}

TEST_F(CompareForIfTest, MalformedVersionIsAnError)
{
    Result<bool> result = CompareForIf(vars, "$BAD$", "6", "1.0", "");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, ErrorCode::parse);
    EXPECT_EQ(CompareForIf(vars, "$BAD$", "0", "1.0", ""), false);
}

TEST(CompareVersions, ComparesFourNumericParts)
{
    struct VersionCase {
        std::string_view left;
        std::string_view right;
        bool greater;
    };
    const VersionCase cases[] = {
        {"1.2.10", "1.2.9", true},
        {"1.2.9", "1.2.10", false},
        {"1.2", "1.2.0.0", false},
        {"1.2.0.0", "1.2", false},
        {"2", "1.9.9.9", true},
        {"1.0.0.1", "1.0.0.0", true},
        {"1.2.3.4.9", "1.2.3.4.1", false}, // a fifth part is ignored
        {"1.2.3.4.x", "1.2.3.3", true},
        {"1.2.x", "1.2.0", false},          // a last part that is no number counts as 0
        {"1.2.x", "1.1", true},
        {"1.2.", "1.1.9", true},
        {"", "", false},
        {"1", "", true},
        {"010.1", "9.1", true},
        {"2147483647", "2147483646", true},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(std::string(c.left) + " vs " + std::string(c.right));
        Result<bool> greater = CompareVersions(c.left, c.right);
        ASSERT_TRUE(greater) << greater.error().message;
        EXPECT_EQ(*greater, c.greater);
    }
}

TEST(CompareVersions, RejectsMalformedAndOversizedParts)
{
    struct BadCase {
        std::string_view version;
        ErrorCode code;
    };
    const BadCase cases[] = {
        {"1.x.3", ErrorCode::parse},
        {"1..3", ErrorCode::parse},
        {".1", ErrorCode::parse},
        {"1 .2", ErrorCode::parse},
        {"99999999999.1", ErrorCode::out_of_range},
        {"1.99999999999", ErrorCode::out_of_range},
        {"1.2.3.2147483648", ErrorCode::out_of_range},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.version);
        Result<bool> left = CompareVersions(c.version, "1");
        ASSERT_FALSE(left);
        EXPECT_EQ(left.error().code, c.code);
        EXPECT_NE(left.error().message.find(std::string(c.version)), std::string::npos);
        EXPECT_FALSE(CompareVersions("1", c.version).has_value());
    }
}

} // namespace
} // namespace quillon
