// The engine's own variables: their start values before the first command, and
// the caption rule that reads them.
#pragma once

#include "vars/VariableManager.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// What the start-up knows when the script run seeds the store.
struct StartupFacts {
    std::string exe_file;       // full path of the engine executable
    std::string engine_folder;  // with a trailing "\"
    std::string temp_folder;    // with a trailing "\"
    std::string support_folder; // with a trailing "\"
    std::string database_path;
    std::string command_tail;
    std::string log_file;          // "/l=", lower case
    std::string package_path;      // "/m=", lower case
    std::string group_policy_path; // "/g=", lower case
    bool silent = false;
    std::string product_title;
    std::string publisher;
    std::string product_version;
};

// What the machine says; the Windows layer reads it from the system.
struct MachineFacts {
    bool all_users = false; // an elevated administrator
    std::string registered_owner;
    std::string registered_organization;
    std::string date; // the user's short date format
    std::string time; // the user's long time format
    std::uint32_t tick_count = 0;
};

// KYRT_thProgress and the other thread-state variables, created directly in the store.
void seed_thread_state(TVariableManager& vars, std::uint32_t tick_count);

// TARGETDIR (as known now), STARTMENU and ALLUSERS.
void seed_pre_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine,
                             std::string_view default_target_dir);

// The "Initialization" variables, in their order.
void seed_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine);

// Every window caption of the engine: the title alone when branded, else
// title + " - Quillon" + wizard word, or "Quillon" + wizard word without a title.
std::string StandardCaption(std::string_view title, bool branded, std::string_view wizard_word = " Wizard");

// The caption from the store: TITLE, and KYRTLOGO exactly "TRUE" for the branding.
std::string StandardCaption(const TVariableManager& vars, std::string_view wizard_word = " Wizard");

} // namespace quillon
