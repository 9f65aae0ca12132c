// The engine's command line: the tail after the program path, the switches and
// the NAME=value assignments.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

struct StartupOptions {
    bool silent = false;        // "s" or "qn"
    bool no_start_forms = false; // "update" or "updatesetup"
    std::string log_file;       // "/l=" or "-l=", lower case
    std::string group_policy_path; // "/g="
    std::string package_path;   // "/m="
    std::string media_override; // "/p=" or "-p="
    // NAME=value in argument order; NAME in upper case, value as given. Repeats are kept.
    std::vector<std::pair<std::string, std::string>> assignments;

    // Neither the splash nor the start-up form is shown.
    bool quiet_start() const { return silent || no_start_forms; }
};

// The command line without the program path: a quoted path is removed with its
// closing quote and the character after it; an unquoted one up to the first blank.
std::string command_line_tail(std::string_view command_line);

// Splits the tail into arguments: blanks and control characters separate them,
// double quotes group blanks into an argument and are dropped.
std::vector<std::string> split_arguments(std::string_view tail);

// A switch is "/" or "-" followed by its name in any letter case.
bool has_switch(const std::vector<std::string>& arguments, std::string_view name);

StartupOptions parse_startup_options(const std::vector<std::string>& arguments);

} // namespace quillon
