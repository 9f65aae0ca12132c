// What the machine tells the script at start: administrator rights, the
// registered owner, the user's date and time formats.
#pragma once

#include "vars/predefined.h"

namespace quillon {

MachineFacts read_machine_facts();

// A member of the Administrators group whose token is elevated (Vista and later).
bool is_elevated_administrator();

// The current date and time in the user's short date and long time formats.
std::string current_date_text();
std::string current_time_text();

} // namespace quillon
