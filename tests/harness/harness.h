// Test harness for Windows programs under Wine: starts programs of the build with
// a command line and a time-out, and reads what they left behind (exit code, log
// files, registry, files on drive C:). The prefix, the display and the wineserver
// are managed once per run by tools/wine-session.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace quillon::test {

// dist/win64/<name>, from the QUILLON_DIST environment variable ctest sets.
std::filesystem::path dist_file(const std::wstring& name);

// tests/data/<relative>.
std::filesystem::path test_data(const std::wstring& relative);

// The project's test plug-in library (qtestplug.dll), from the QUILLON_TEST_PLUGIN
// environment variable ctest sets.
std::filesystem::path test_plugin_file();

// A new empty folder for one test, under the build's scratch folder.
std::filesystem::path fresh_scratch_dir(const std::wstring& name);

// The temp folder (TEMP and TMP) of the programs this test process starts: one
// per test process, so that tests running side by side never see each other's
// support folders.
std::filesystem::path child_temp_dir();

struct ProgramRun {
    ProgramRun(std::filesystem::path program_path, std::wstring command_tail = {},
               std::chrono::milliseconds time_out = std::chrono::seconds(60))
        : program(std::move(program_path)), arguments(std::move(command_tail)), timeout(time_out)
    {
    }

    std::filesystem::path program;
    std::wstring arguments; // the command-line tail after the quoted program path
    std::chrono::milliseconds timeout;
    std::filesystem::path working_dir; // empty: the program's folder
};

struct RunOutcome {
    DWORD exit_code = 0;
    bool timed_out = false; // the program was ended by the harness
};

// Starts the program, waits for it and ends it by force after the time-out.
RunOutcome run_program(const ProgramRun& run);

// The whole file as bytes; empty when it cannot be read.
std::optional<std::string> read_file_bytes(const std::filesystem::path& path);

// A UTF-16LE text file (as the engine writes its log) converted to UTF-8 for assertions.
std::optional<std::string> read_utf16_file(const std::filesystem::path& path);

std::optional<std::wstring> registry_string(HKEY root, const std::wstring& subkey, const std::wstring& value,
                                            REGSAM view = 0);
std::optional<DWORD> registry_dword(HKEY root, const std::wstring& subkey, const std::wstring& value,
                                    REGSAM view = 0);
bool registry_key_exists(HKEY root, const std::wstring& subkey, REGSAM view = 0);
void registry_delete_tree(HKEY root, const std::wstring& subkey, REGSAM view = 0);

// The first top-level window whose title contains the text, waiting up to the time-out.
HWND wait_for_window(const std::wstring& title_part, std::chrono::milliseconds timeout);
std::wstring window_text(HWND window);

// The control of a dialog window named like a component of its form file (the
// engine tags every control window with its name), or null.
HWND find_control(HWND dialog, const std::wstring& name);
// The component name a control window carries, empty for none.
std::wstring control_name(HWND control);

std::string to_utf8(const std::wstring& text);

} // namespace quillon::test
