#include "interp/mVarCommands.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "interp/command_call.h"
#include "vars/expand.h"
#include "vars/mEval.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

namespace {

namespace command {
constexpr std::string_view set_variable = "Set Variable";
constexpr std::string_view mathematics = "Mathematics";
constexpr std::string_view parse_string = "Parse String";
constexpr std::string_view replace_string = "Replace String";
constexpr std::string_view convert_case = "Convert Case";
constexpr std::string_view convert_path = "Convert Path";
constexpr std::string_view extract_path = "Extract Path";
constexpr std::string_view evaluate_expression = "Evaluate Expression";
constexpr std::string_view get_temporary_file = "Get Temporary File";
constexpr std::string_view localization_variable = "Localization Variable";
} // namespace command

// Texts the script sees.
constexpr std::string_view abort_origin = "Set Variable Tricke";
constexpr std::string_view temp_file_prefix = "qvo";

constexpr std::int32_t default_timeout_seconds = 10;
constexpr std::int32_t random_state_modulus = 32767;

// The loop refreshes the display between commands; a script that sets the
// progress wants to see it before a long command starts.
Result<void> refresh_progress(CommandCall& call)
{
    std::string progress = GetVar(call.vars(), var::progress);
    std::optional<std::int32_t> position = parse_int32(progress);
    if (!position)
        return make_error(ErrorCode::parse, "PROGRESS holds '" + progress + "', which is not a valid integer value");
    RunEnvironment& host = call.executor().run_environment();
    // Busy while refreshing, so that the dialog's timer refreshes its progress controls too.
    WorkerControl& workers = call.executor().workers();
    bool was_busy = workers.busy();
    workers.set_busy(true);
    if (host.progress_dialog_shown())
        host.update_progress_dialog(GetVar(call.vars(), var::progress_text), *position);
    workers.set_busy(was_busy);
    return {};
}

Result<void> set_variable(CommandCall& call)
{
    std::string value = TRY(call.text(2));
    std::string name = TRY(call.result_name(1));
    bool persist = TRY(call.persisted(1));
    call.store(name, value);
    if (persist && !name.empty())
        call.executor().persist_variable(name);

    if (equal_nocase(name, var::abort))
        SetVar(call.vars(), var::is_cancelled, value, abort_origin);
    else if (equal_nocase(name, var::timeout))
        call.executor().process().timeout_seconds = parse_int32(value).value_or(default_timeout_seconds);
    else if (equal_nocase(name, var::progress) || equal_nocase(name, var::progress_text))
        TRY(refresh_progress(call));
    return {};
}

Result<void> localization_variable(CommandCall& call)
{
    std::string name = TRY(call.result_name(1));
    call.ensure_variable(name);
    call.store(name, TRY(call.text(2)));
    return {};
}

enum MathOperation : std::int64_t {
    op_add = 0,
    op_subtract = 1,
    op_multiply = 2,
    op_divide = 3,
    op_remainder = 4,
    op_and = 5,
    op_or = 6,
    op_xor = 7,
    op_shift_left = 8,
    op_shift_right = 9,
    op_not = 10,
    op_char_code = 11,
    op_char = 12,
    op_seed = 13,
    op_seed_state = 14,
    op_random = 15,
};

std::int32_t low32(std::uint64_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

Error division_by_zero()
{
    return Error{ErrorCode::out_of_range, 0, "Division by zero"};
}

// Computes in uint64 so that overflow wraps instead of being undefined; the
// conversion back to int64 is modular.
Result<std::string> calculate(CommandCall& call, std::int64_t operation)
{
    if (operation == op_char_code) {
        std::string text = TRY(call.text(1));
        // An empty operand has no first character: it gives 0.
        return std::to_string(text.empty() ? 0 : static_cast<unsigned char>(text.front()));
    }
    if (operation < op_add || operation > op_random)
        return make_error(ErrorCode::unsupported, "Mathematics has no operation code " + std::to_string(operation));

    std::string a_text = TRY(call.text(1));
    const std::int64_t a = TRY(to_integer64(a_text));
    std::int64_t b = 0;
    if (operation <= op_shift_right || operation == op_seed) {
        std::string b_text = TRY(call.text(2));
        b = TRY(to_integer64(b_text));
    }
    const auto ua = static_cast<std::uint64_t>(a);
    const auto ub = static_cast<std::uint64_t>(b);
    auto number = [](std::uint64_t bits) { return std::to_string(static_cast<std::int64_t>(bits)); };
    // Shifting by 64 or more, or by a negative count, moves every bit out: 0.
    const bool shift_in_range = b >= 0 && b < 64;
    RandomState& random = call.executor().process().random;

    switch (static_cast<MathOperation>(operation)) {
    case op_add: return number(ua + ub);
    case op_subtract: return number(ua - ub);
    case op_multiply: return number(ua * ub);
    case op_divide:
        if (b == 0)
            return std::unexpected(division_by_zero());
        if (b == -1)
            return number(0 - ua); // the minimum divided by -1 wraps to itself
        return std::to_string(a / b);
    case op_remainder:
        if (b == 0)
            return std::unexpected(division_by_zero());
        if (b == -1)
            return std::string("0");
        return std::to_string(a % b);
    case op_and: return number(ua & ub);
    case op_or: return number(ua | ub);
    case op_xor: return number(ua ^ ub);
    case op_shift_left: return number(shift_in_range ? ua << b : 0);
    case op_shift_right: return number(shift_in_range ? ua >> b : 0);
    case op_not: return number(~ua);
    case op_char: return std::string(1, static_cast<char>(ua & 0xFF));
    case op_seed:
        random.multiplier = low32(ua);
        random.increment = low32(ub);
        return number(ua + ub);
    case op_seed_state: random.state = low32(ua); return std::to_string(random.state);
    case op_random: {
        if (a == 0)
            return std::unexpected(division_by_zero());
        std::uint32_t next = static_cast<std::uint32_t>(random.multiplier) * static_cast<std::uint32_t>(random.state) +
                             static_cast<std::uint32_t>(random.increment);
        std::int32_t x = static_cast<std::int32_t>(next);
        random.state = x % random_state_modulus;
        return std::to_string(std::int64_t{x} % a); // x is 32-bit, so a = -1 cannot overflow
    }
    case op_char_code: break; // handled above
    }
    return make_error(ErrorCode::internal, "Mathematics operation " + std::to_string(operation) + " not handled");
}

Result<void> mathematics(CommandCall& call)
{
    std::string result_name = TRY(call.result_name(4));
    call.ensure_variable(result_name);
    std::int64_t operation = TRY(call.number64(3));
    std::string result = TRY(calculate(call, operation));
    call.store(result_name, result);
    return {};
}

// The part of s from the 1-based position from, at most count characters;
// empty outside s.
std::string cut(const std::string& s, std::int64_t from, std::int64_t count)
{
    if (from < 1)
        from = 1;
    const auto size = static_cast<std::int64_t>(s.size());
    if (count <= 0 || from > size)
        return {};
    const std::int64_t start = from - 1;
    return s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::min(count, size - start)));
}

// Removes blanks and control characters at both ends.
std::string trim(std::string_view text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

struct Cut {
    std::string first;
    std::string second;
};

enum ParseMode : std::int32_t { first_occurrence = 0, last_occurrence = 1, count_left = 2, count_right = 3 };

// Searching happens in search_source/search_pattern (lower-case copies when the
// case is ignored); the results are cut from source.
Cut parse_string(const std::string& source, std::string_view search_source, std::string_view search_pattern,
                 std::int32_t mode)
{
    const auto size = static_cast<std::int64_t>(source.size());
    const auto pattern_size = static_cast<std::int64_t>(search_pattern.size());
    std::int64_t p = 0; // 1-based position that splits the source
    std::int64_t gap = 1;
    std::int64_t offset = 1;
    switch (mode) {
    case first_occurrence: {
        gap = pattern_size;
        // An empty pattern counts as not occurring, so both modes give the whole source back.
        std::size_t at = search_pattern.empty() ? std::string_view::npos : search_source.find(search_pattern);
        p = at == std::string_view::npos ? size + 1 : static_cast<std::int64_t>(at) + 1;
        break;
    }
    case last_occurrence: {
        gap = pattern_size;
        std::size_t at = search_pattern.empty() ? std::string_view::npos : search_source.rfind(search_pattern);
        if (at == std::string_view::npos) {
            p = 1;
            gap = 0;
        } else {
            p = static_cast<std::int64_t>(at) + 1;
        }
        break;
    }
    case count_left: {
        offset = 0;
        std::optional<std::int32_t> n = parse_int32(search_pattern);
        if (!n) {
            p = 0;
        } else if (*n == 0) {
            p = 1;
            offset = 1;
            gap = -1;
        } else {
            p = *n;
        }
        break;
    }
    case count_right: {
        offset = 0;
        std::optional<std::int32_t> n = parse_int32(search_pattern);
        p = n ? size - *n : 0;
        if (n && *n == size)
            return {std::string(), source};
        break;
    }
    default: p = 0; break;
    }
    if (p == 0)
        return {};
    return {cut(source, 1, p - offset), cut(source, p + gap, std::numeric_limits<std::int64_t>::max())};
}

Result<void> parse_string_command(CommandCall& call)
{
    std::string source = TRY(call.text(1));
    std::string pattern = TRY(call.text(2));
    std::string first_name = TRY(call.result_name(3));
    std::string second_name = TRY(call.result_name(4));
    call.ensure_variable(first_name);
    call.ensure_variable(second_name);
    std::int32_t mode = TRY(call.number(5));
    bool trim_results = TRY(call.flag(6));
    bool ignore_case = TRY(call.flag(7));

    Cut parts = ignore_case ? parse_string(source, ansi_lower(source), ansi_lower(pattern), mode)
                            : parse_string(source, source, pattern, mode);
    if (trim_results) {
        parts.first = trim(parts.first);
        parts.second = trim(parts.second);
    }
    call.store(first_name, parts.first);
    call.store(second_name, parts.second);
    return {};
}

// Non-overlapping occurrences left to right; the replacement is not searched again.
std::string replace_text(std::string_view source, std::string_view find, std::string_view with, bool ignore_case,
                         bool all)
{
    if (find.empty() || source.size() < find.size())
        return std::string(source);
    // Upper-casing keeps every byte in place, so positions found in the copies hold in the source.
    const std::string haystack = ignore_case ? ansi_upper(source) : std::string(source);
    const std::string needle = ignore_case ? ansi_upper(find) : std::string(find);
    std::string out;
    std::size_t from = 0;
    for (;;) {
        std::size_t hit = haystack.find(needle, from);
        if (hit == std::string::npos)
            break;
        out.append(source.substr(from, hit - from));
        out.append(with);
        from = hit + needle.size();
        if (!all)
            break;
    }
    out.append(source.substr(from));
    return out;
}

Result<void> replace_string(CommandCall& call)
{
    std::string name = TRY(call.result_name(1));
    std::string find_text = TRY(call.text(2));
    std::string with_text = TRY(call.text(3));
    bool ignore_case = TRY(call.flag(4));
    bool all = TRY(call.flag(5));
    // One-line form on both sides, so that "$NEWLINE$" finds line breaks.
    std::string source = NewlinesToToken(GetVar(call.vars(), name));
    call.define(name, replace_text(source, NewlinesToToken(find_text), NewlinesToToken(with_text), ignore_case, all));
    return {};
}

// The variable named by parameter 1 as written, its value in path form.
struct PathVariable {
    std::string name;
    std::string value;
};

Result<PathVariable> read_path_variable(CommandCall& call)
{
    std::string name = TRY(call.result_name(1));
    std::string value = NormalizePath(call.vars(), GetVar(call.vars(), name));
    return PathVariable{std::move(name), std::move(value)};
}

Result<void> convert_case(CommandCall& call)
{
    PathVariable variable = TRY(read_path_variable(call));
    bool upper = TRY(call.flag(2));
    call.store(variable.name, upper ? ansi_upper(variable.value) : ansi_lower(variable.value));
    return {};
}

bool is_separator(char c)
{
    return c == '\\' || c == ':';
}

// The folder of a path as the file system names it: "C:\a\b" -> "C:\a",
// "C:\a" -> "C:\", "C:" -> "C:", "name" -> "".
std::string_view folder_of(std::string_view path)
{
    std::size_t last = path.find_last_of("\\:");
    if (last == std::string_view::npos)
        return {};
    if (last > 0 && path[last] == '\\' && !is_separator(path[last - 1]))
        return path.substr(0, last);
    return path.substr(0, last + 1);
}

std::string_view without_trailing_backslash(std::string_view path)
{
    if (path.ends_with('\\'))
        path.remove_suffix(1);
    return path;
}

// Climbs from the path towards its root asking the file system for the name
// of each part; stops at a bare drive or at the first part it cannot find,
// which stays as written. Iterative, so a deep path cannot exhaust the stack.
std::string long_form(SystemServices& host, std::string_view path)
{
    std::vector<std::string> names; // innermost first
    std::string_view rest = without_trailing_backslash(path);
    for (;;) {
        std::string_view folder = folder_of(rest);
        if (folder == rest)
            break;
        std::optional<std::string> found = host.found_name(std::string(rest));
        if (!found)
            break;
        names.push_back(std::move(*found));
        rest = without_trailing_backslash(folder);
    }
    if (names.empty())
        return std::string(path);
    std::string result(rest);
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (!result.empty()) // a relative path gains no leading backslash
            result += '\\';
        result += *name;
    }
    // A folder value keeps its trailing backslash, so "$DIR$file" still works.
    if (path.ends_with('\\') && !result.ends_with('\\'))
        result += '\\';
    return result;
}

Result<void> convert_path(CommandCall& call)
{
    PathVariable variable = TRY(read_path_variable(call));
    bool to_short = TRY(call.flag(2));
    SystemServices& host = call.executor().system();
    // A path the system cannot shorten (one that does not exist) stays unchanged.
    std::string converted =
        to_short ? host.short_path(variable.value).value_or(variable.value) : long_form(host, variable.value);
    call.store(variable.name, converted);
    return {};
}

std::size_t file_name_start(std::string_view path)
{
    std::size_t last = path.find_last_of("\\:");
    return last == std::string_view::npos ? 0 : last + 1;
}

// The folder part with a trailing backslash; empty stays empty.
std::string folder_with_backslash(std::string_view path)
{
    std::string folder(path.substr(0, file_name_start(path)));
    if (!folder.empty() && !folder.ends_with('\\'))
        folder += '\\';
    return folder;
}

// "C:" or the "\\server\share" of a network path; empty otherwise.
std::string_view drive_of(std::string_view path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(0, 2);
    if (path.starts_with("\\\\")) {
        std::size_t server_end = path.find('\\', 2);
        if (server_end == std::string_view::npos)
            return path;
        return path.substr(0, path.find('\\', server_end + 1));
    }
    return {};
}

enum PathPart : std::int32_t {
    part_name = 0,
    part_stem = 1,
    part_extension = 2,
    part_folder = 3,
    part_parent = 4,
    part_drive = 5,
    part_single_backslashes = 6,
};

std::string extract_part(std::string_view path, std::int32_t part)
{
    std::string_view name = path.substr(file_name_start(path));
    std::size_t dot = name.rfind('.');
    switch (part) {
    case part_name: return std::string(name);
    case part_stem: return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
    case part_extension: return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
    case part_folder: return folder_with_backslash(path);
    case part_parent: {
        // The parent and the drive of a path without any keep the "empty stays empty" of the folder.
        std::string folder = folder_with_backslash(path);
        return folder.empty() ? folder : folder_with_backslash(without_trailing_backslash(folder));
    }
    case part_drive: {
        std::string drive(drive_of(path));
        if (!drive.empty() && !drive.ends_with('\\'))
            drive += '\\';
        return drive;
    }
    case part_single_backslashes:
        // A network path keeps its leading pair; reducing it would make it a local path.
        if (path.starts_with("\\\\"))
            return "\\\\" + replace_all(path.substr(2), "\\\\", "\\");
        return replace_all(path, "\\\\", "\\");
    default: return std::string(path);
    }
}

Result<void> extract_path(CommandCall& call)
{
    PathVariable variable = TRY(read_path_variable(call));
    std::int32_t part = TRY(call.number(2));
    call.store(variable.name, extract_part(variable.value, part));
    return {};
}

Result<void> evaluate_expression(CommandCall& call)
{
    std::string result_name = TRY(call.result_name(2));
    call.ensure_variable(result_name);
    std::string expression = TRY(call.text(1));
    std::string answer = TRY(EvaluateExpression(ExpandQuoted(call.vars(), expression)));
    call.store(result_name, answer);
    return {};
}

Result<void> get_temporary_file(CommandCall& call)
{
    std::string name = TRY(call.result_name(1));
    // The host answers empty when the system cannot create the file; that empty text is stored.
    std::string path =
        call.executor().system().create_temp_file(GetVar(call.vars(), var::temp_dir), std::string(temp_file_prefix));
    call.define(name, path);
    return {};
}

} // namespace

void RegisterVariableCommands(HandlerTable& table)
{
    table.add(command::set_variable, set_variable);
    table.add(command::mathematics, mathematics);
    table.add(command::parse_string, parse_string_command);
    table.add(command::replace_string, replace_string);
    table.add(command::convert_case, convert_case);
    table.add(command::convert_path, convert_path);
    table.add(command::extract_path, extract_path);
    table.add(command::evaluate_expression, evaluate_expression);
    table.add(command::get_temporary_file, get_temporary_file);
    table.add(command::localization_variable, localization_variable);
}

} // namespace quillon
