// The evaluator, the If comparison and version comparison on arbitrary text.
//
// The whole input is an expression; split at line breaks it is also the four
// parameters of an If comparison and the two sides of a version comparison.
#include "vars/vars.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillon;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "eval_fuzz: %s\n", what);
        std::abort();
    }
}

std::vector<std::string_view> split_lines(std::string_view text, std::size_t parts)
{
    std::vector<std::string_view> out;
    while (out.size() + 1 < parts) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            break;
        out.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    out.push_back(text);
    out.resize(parts);
    return out;
}

const TVariableManager& fixed_store()
{
    static const TVariableManager* vars = [] {
        auto* store = new TVariableManager;
        store->Add("N", "10");
        store->Add("TEXT", "Hello World");
        store->Add("VERSION", "1.2.3.4");
        store->Add("Q", "\"");
        return store;
    }();
    return *vars;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);

    Result<std::string> result = EvaluateExpression(input);
    if (result) {
        check(*result == "TRUE" || *result == "FALSE" || *result == "ERROR", "unexpected expression result");
    } else {
        check(result.error().code == ErrorCode::out_of_range, "expression failed other than out of range");
    }
    Result<bool> syntax = CheckExpressionSyntax(input);
    if (input.find('$') == std::string_view::npos) {
        // Without dollar signs the check is the evaluation itself.
        check(syntax.has_value() == result.has_value(), "syntax check and evaluation disagree on failing");
        if (syntax && result)
            check(*syntax == (*result != "ERROR"), "syntax check and evaluation disagree");
    }

    std::vector<std::string_view> p = split_lines(input, 4);
    for (std::string_view code : {"0", "1", "2", "3", "4", "5", "6", "7"}) {
        Result<bool> plain = CompareForIf(fixed_store(), p[0], code, p[2], "");
        Result<bool> negated = CompareForIf(fixed_store(), p[0], code, p[2], "TRUE");
        check(plain.has_value() == negated.has_value(), "negation changes failing");
        if (plain && negated)
            check(*plain != *negated, "negation does not invert");
    }
    (void)CompareForIf(fixed_store(), p[0], p[1], p[2], p[3]);

    std::vector<std::string_view> versions = split_lines(input, 2);
    Result<bool> forward = CompareVersions(versions[0], versions[1]);
    Result<bool> backward = CompareVersions(versions[1], versions[0]);
    check(forward.has_value() == backward.has_value(), "version errors depend on the side");
    if (forward && backward)
        check(!(*forward && *backward), "each version greater than the other");
    Result<bool> self = CompareVersions(versions[0], versions[0]);
    check(!self || !*self, "a version greater than itself");
    return 0;
}
