#include "engine/command_line.h"

#include "base/strings.h"

namespace quillon {

namespace {

bool is_separator(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// The first argument whose lower-case form contains one of the switch texts wins;
// its first three characters are cut, so "x/l=abc" gives "=abc".
std::string value_switch(const std::vector<std::string>& arguments, std::initializer_list<std::string_view> texts)
{
    for (const std::string& argument : arguments) {
        std::string lower = ansi_lower(argument);
        for (std::string_view text : texts)
            if (lower.find(text) != std::string::npos)
                return lower.size() > 3 ? lower.substr(3) : std::string();
    }
    return {};
}

} // namespace

std::string command_line_tail(std::string_view command_line)
{
    if (!command_line.empty() && command_line.front() == '"') {
        std::string_view rest = command_line.substr(1);
        std::size_t closing = rest.find('"');
        if (closing == std::string_view::npos)
            return {};
        // The closing quote and the blank after it.
        std::size_t start = closing + 2;
        return start >= rest.size() ? std::string() : std::string(rest.substr(start));
    }
    std::size_t blank = command_line.find(' ');
    if (blank == std::string_view::npos)
        return {};
    return std::string(command_line.substr(blank + 1));
}

std::vector<std::string> split_arguments(std::string_view tail)
{
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < tail.size()) {
        while (i < tail.size() && is_separator(tail[i]))
            ++i;
        if (i >= tail.size())
            break;
        std::string argument;
        bool quoted = false;
        while (i < tail.size() && (quoted || !is_separator(tail[i]))) {
            if (tail[i] == '"')
                quoted = !quoted;
            else
                argument.push_back(tail[i]);
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool has_switch(const std::vector<std::string>& arguments, std::string_view name)
{
    for (const std::string& argument : arguments)
        if (argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') &&
            equal_ascii_nocase(std::string_view(argument).substr(1), name))
            return true;
    return false;
}

StartupOptions parse_startup_options(const std::vector<std::string>& arguments)
{
    StartupOptions options;
    options.silent = has_switch(arguments, "s") || has_switch(arguments, "qn");
    options.no_start_forms = has_switch(arguments, "update") || has_switch(arguments, "updatesetup");
    options.log_file = value_switch(arguments, {"/l=", "-l="});
    options.group_policy_path = value_switch(arguments, {"/g="});
    options.package_path = value_switch(arguments, {"/m="});
    options.media_override = value_switch(arguments, {"/p=", "-p="});
    for (const std::string& argument : arguments) {
        if (argument.empty() || argument[0] == '/' || argument[0] == '-')
            continue;
        std::size_t equals = argument.find('=');
        if (equals == std::string::npos)
            continue;
        options.assignments.emplace_back(ansi_upper(std::string_view(argument).substr(0, equals)),
                                         argument.substr(equals + 1));
    }
    return options;
}

} // namespace quillon
