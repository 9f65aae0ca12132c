// Test harness for Windows programs under Wine: starts programs of the build with
// a command line and a time-out, and reads what they left behind (exit code, log
// files, registry, files on drive C:). The prefix, the display and the wineserver
// are managed once per run by tools/wine-session.
#pragma once

#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
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

// A program started and not yet waited for (a setup with windows to drive).
struct StartedProgram {
    win32::UniqueHandle process;
    // Waits for the end, ending the program by force after the time-out.
    RunOutcome wait(std::chrono::milliseconds timeout);
};
StartedProgram start_program(const ProgramRun& run);

// The whole file as bytes; empty when it cannot be read.
std::optional<std::string> read_file_bytes(const std::filesystem::path& path);

// A UTF-16LE text file (as the engine writes its log) converted to UTF-8 for assertions.
std::optional<std::string> read_utf16_file(const std::filesystem::path& path);

std::optional<std::wstring> registry_string(HKEY root, const std::wstring& subkey, const std::wstring& value,
                                            REGSAM view = 0);
std::optional<DWORD> registry_dword(HKEY root, const std::wstring& subkey, const std::wstring& value, REGSAM view = 0);
bool registry_key_exists(HKEY root, const std::wstring& subkey, REGSAM view = 0);
void registry_delete_tree(HKEY root, const std::wstring& subkey, REGSAM view = 0);

// The first visible top-level window of the class (null: any) that belongs to
// this test or a program it started and that the test accepts. Tests run side
// by side in one Wine prefix: never take another test's window.
HWND find_own_window(const wchar_t* class_name, const std::function<bool(HWND)>& accept);
// The first of this test's top-level windows whose title contains the text, waiting up to the time-out.
HWND wait_for_window(const std::wstring& title_part, std::chrono::milliseconds timeout);
std::wstring window_text(HWND window);

// The control of a dialog window named like a component of its form file (the
// engine tags every control window with its name), or null.
HWND find_control(HWND dialog, const std::wstring& name);
// The component name a control window carries, empty for none.
std::wstring control_name(HWND control);

// The wizard driver: the engine's pages are top-level windows of the class
// "TPoolTemplate" that carry their form file's name ("License.dfm").
// The visible page, and its form file's name; null and empty when none is up.
HWND current_page(std::wstring* form_file = nullptr);
// Waits until the page of that form file is the visible one (null after the time-out).
HWND wait_for_page(const std::wstring& form_file, std::chrono::milliseconds timeout);
// Types into an edit as the user would: the control reports the change to its page.
void type_text(HWND control, const std::wstring& text);
// A control's text as the control itself answers WM_GETTEXT. GetWindowText
// does not ask a window of another process: it gives the stored caption,
// which an edit never updates.
std::wstring control_text(HWND control);
// Clicks a button, check box or radio button (posted, so that a modal loop
// started by the click does not block the driver).
void click(HWND control);
bool is_checked(HWND control);
// Handles this thread's messages until `done` holds or the time is up; false on time-out.
bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit);

// Writes the window as it is on the screen to a BMP file.
bool save_window_bitmap(HWND window, const std::filesystem::path& file);

std::string to_utf8(const std::wstring& text);

} // namespace quillon::test
