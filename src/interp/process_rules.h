// What the process and service commands decide, apart from carrying it out:
// which process name matches, which window "Terminate Program" closes and how
// often it tries, the names of service states, and how a library is registered
// by its extension. Pure decisions, tested natively against a fake.
#pragma once

#include "interp/process_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// "Check Process": whether one of the processes' executables has the file
// name, compared without regard to ASCII case. A name with a folder in it
// never matches, as only the file-name part of each executable is compared.
bool process_running(const std::vector<std::string>& executables, std::string_view file_name);

// A window matches when the class part is empty or occurs in its class name
// and the title part is empty or occurs in its title, both case-sensitive.
bool window_matches(const TopWindow& window, std::string_view title_part, std::string_view class_part);

// How often "Terminate Program" walks the windows. There is no pause between
// the walks, so a window that has not closed yet may be asked several times.
inline constexpr int terminate_rounds = 10;

// "Terminate Program": nothing when both parts are empty; otherwise
// terminate_rounds walks, each asking the first matching window to close.
// Returns how many requests were posted.
int terminate_program(ProcessServices& processes, std::string_view title_part, std::string_view class_part);

// "Check Service": the text of a service state; anything unknown, and no
// state at all, is "NOTINSTALLED".
std::string_view service_state_name(std::optional<std::uint32_t> state);

// How "Register Library" registers a file, by its extension in any case.
enum class LibraryKind : std::uint8_t {
    type_library,   // ".tlb"
    server_program, // ".exe", with /regserver or /unregserver
    server_library, // anything else: DllRegisterServer or DllUnregisterServer
};
LibraryKind library_kind(std::string_view path);

// The command line of a server program: the program in double quotes (a path
// with spaces must not be read as a shorter program with arguments), then
// " /regserver" or " /unregserver".
std::string server_command_line(std::string_view path, RegisterAction action);

// The command line of the 32-bit registration program (regsvr32 of the 32-bit
// system folder), for a server library that a 64-bit process cannot load:
// the program quoted, silent, "/u" to unregister, the library quoted.
std::string registrar_command_line(std::string_view registrar, std::string_view path, RegisterAction action);

// "Register Library": the current folder changed to the library's folder for
// the length of the registration and always put back; a file given without a
// full path is refused, so that nothing is searched for by name.
bool register_library(ProcessServices& processes, const std::string& path, RegisterAction action);

} // namespace quillon
