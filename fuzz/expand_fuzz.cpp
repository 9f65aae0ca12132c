// Expansion against a plain re-statement of its algorithm that rebuilds the
// whole text per reference (slow but obviously faithful), under small bounds.
//
// Input: up to four lines "NAME=VALUE" defining variables, then the text to expand.
#include "base/strings.h"
#include "vars/vars.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace quillon;

constexpr ExpandLimits fuzz_limits{.max_replacements = 100, .max_result_size = 4096};

ExpandResult reference_expand(const TVariableManager& vars, std::string_view text, ExpandStyle style,
                              const ExpandLimits& limits)
{
    std::string result(text);
    std::size_t p = 0;
    std::size_t replacements = 0;
    for (;;) {
        std::size_t a = result.find('$', p);
        if (a == std::string::npos)
            return {result, true};
        std::size_t b = result.find('$', a + 1);
        std::string name = b == std::string::npos ? std::string() : result.substr(a + 1, b - a - 1);
        std::optional<std::string> value = vars.lookup(name);
        if (!value) {
            p = a + name.size() + 1;
            continue;
        }
        std::string inserted = style == ExpandStyle::quoted ? "\"" + *value + "\"" : *value;
        if (replacements >= limits.max_replacements ||
            result.size() - (name.size() + 2) + inserted.size() > limits.max_result_size)
            return {result, false};
        result.replace(a, name.size() + 2, inserted);
        ++replacements;
    }
}

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "expand_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    TVariableManager vars;
    for (int i = 0; i < 4; ++i) {
        std::size_t end = input.find('\n');
        if (end == std::string_view::npos)
            break;
        std::string_view line = input.substr(0, end);
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            break;
        vars.Add(line.substr(0, equals), line.substr(equals + 1));
        input.remove_prefix(end + 1);
    }
    std::string_view text = input;

    for (ExpandStyle style : {ExpandStyle::plain, ExpandStyle::quoted}) {
        ExpandResult fast = expand_text(vars, text, style, fuzz_limits);
        ExpandResult slow = reference_expand(vars, text, style, fuzz_limits);
        check(fast.text == slow.text, "result differs from the reference");
        check(fast.complete == slow.complete, "completeness differs from the reference");
        check(fast.text.size() <= std::max(text.size(), fuzz_limits.max_result_size), "result exceeds the bound");
    }

    // With the default bounds only when the small ones were enough, to keep runs fast.
    ExpandResult small = expand_text(vars, text, ExpandStyle::plain, fuzz_limits);
    if (small.complete) {
        check(Expand(vars, text) == small.text, "default bounds change a complete expansion");
        std::string path = NormalizePath(vars, text);
        check(path.size() <= small.text.size() + 1, "NormalizePath grew the text");
    }

    std::string name = ReferenceName(text);
    check(name.find('$') == std::string::npos, "ReferenceName kept a dollar sign");
    std::optional<std::string> target = vars.lookup(name.empty() ? text : std::string_view(name));
    if (!target) {
        check(ReferencedValue(vars, text) == "$KYRTNX$", "missing variable without the marker");
        check(ReferencedValueOrEmpty(vars, text).empty(), "missing variable not empty");
    } else if (ExpandResult value = expand_text(vars, *target, ExpandStyle::plain, fuzz_limits); value.complete) {
        check(ReferencedValue(vars, text) == value.text, "ReferencedValue is not the expanded value");
        check(ReferencedValueOrEmpty(vars, text) == value.text, "ReferencedValueOrEmpty is not the expanded value");
    }

    // A text that already spells "$NEWLINE" can merge with an inserted token; every other text survives.
    if (ascii_upper(text).find("$NEWLINE") == std::string::npos)
        check(NewlinesFromToken(NewlinesToToken(text)) == text, "newline token round trip");
    return 0;
}
