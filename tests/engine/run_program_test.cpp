// "Run Program" and "Run Program As" in the real engine under Wine, starting
// real processes (program_child.exe beside the setup): exit codes, 259 for a
// program that runs on, -1 and -11 for one that cannot start, the window
// mode, working folder and environment the program sees, the unelevated
// marker; a light-mode script run as a setup where it lies; and a wizard page that stays responsive while a program
// runs, with Cancel clicked during the run: a program that ends in time gives its code, one that runs on is given up by
// the kill timer and keeps running.
#include "engine/setup_folder.h"
#include "harness/harness.h"
#include "qvoc/build.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr DWORD all_checks_held = 100;
constexpr auto page_timeout = 60s;

struct Check {
    std::string variable;
    std::string expected;
};

// The engine's 8-bit text of a scratch path (they are ASCII).
std::string ansi(fs::path path)
{
    return to_utf8(path.make_preferred().wstring());
}

std::string run_program(const fs::path& program, const std::string& arguments, bool wait, const std::string& result)
{
    return "Run Program\n| " + ansi(program) + "\n| FALSE\n| " + arguments + "\n| " + (wait ? "TRUE" : "FALSE") +
           "\n| " + result + "\n";
}

std::string run_program_as(const fs::path& program, const std::string& folder, const std::string& arguments,
                           int window_mode, const std::string& user, const std::string& result,
                           const std::string& environment)
{
    return "Run Program As\n| " + ansi(program) + "\n| " + folder + "\n| " + arguments + "\n| " +
           std::to_string(window_mode) + "\n| " + user + "\n|\n|\n| " + result + "\n| TRUE\n| " + environment + "\n";
}

// The script, then a check per variable: the number of the first that fails
// is the exit code, 100 when all hold.
fs::path build_setup(const fs::path& dir, const std::string& script, const std::vector<Check>& checks, bool with_pages)
{
    std::ostringstream text;
    text << "[setup]\ntitle = Run Test\nproduct-code = {5D5D5D5D-1111-2222-3333-444444444444}\n"
            "source-name = run.qvp\nresources = res\n\n[script]\n"
         << script;
    for (std::size_t i = 0; i < checks.size(); ++i)
        text << "If\n| " << checks[i].variable << "\n| 0\n| " << checks[i].expected
             << "\n| TRUE\n    Terminate with Exit Code\n    | " << (i + 1) << "\nEnd\n";
    text << "Terminate with Exit Code\n| " << all_checks_held << "\n";
    fs::path project = dir / L"run.qvp";
    std::ofstream(project, std::ios::binary) << text.str();
    fs::create_directories(dir / L"res");
    if (with_pages) {
        fs::path pages = test_data(L"..") / L".." / L"examples" / L"basic" / L"resources";
        for (const wchar_t* file : {L"Progress.dfm", L"Progress.dfm.qvof"})
            fs::copy_file(pages / file, dir / L"res" / file);
    } else {
        std::ofstream(dir / L"res" / L"readme.txt") << "resources";
    }
    qvoc::BuildOptions options;
    options.project = project;
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    EXPECT_TRUE(report) << (report ? "" : report.error().message);
    return report ? report->setup : fs::path();
}

// The test program (built beside this one), copied beside the setup.
fs::path child_in(const fs::path& dir)
{
    wchar_t own[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    fs::path child = dir / L"program_child.exe";
    fs::copy_file(fs::path(own).parent_path() / L"program_child.exe", child, fs::copy_options::overwrite_existing);
    return child;
}

std::map<std::string, std::string> report_of(const fs::path& file)
{
    std::map<std::string, std::string> fields;
    std::istringstream lines(read_file_bytes(file).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return fields;
}

std::string user_name()
{
    wchar_t user[256] = L"";
    DWORD size = 256;
    GetUserNameW(user, &size);
    return to_utf8(user);
}

bool wait_for_file(const fs::path& file, std::chrono::milliseconds timeout)
{
    return pump_until([&] { return fs::exists(file); }, timeout);
}

TEST(RunProgram, RealProgramsGiveTheirCodes)
{
    fs::path dir = fresh_scratch_dir(L"run_program_codes");
    fs::path child = child_in(dir);
    fs::path runs_on = dir / L"runs-on";
    fs::create_directories(dir / L"work");
    std::string script =
        run_program(child, "exit 42", true, "RC_EXIT") +
        run_program(child, "wait \"" + ansi(runs_on) + "\" 0", false, "RC_RUNNING") +
        run_program(dir / L"missing.exe", "", true, "RC_MISSING") +
        run_program_as(child, ansi(dir / L"work"), "report \"" + ansi(dir / L"as.txt") + "\" 3", 2, "", "RC_AS",
                       "QV_TEST=from the script") +
        run_program_as(child, "", "report \"" + ansi(dir / L"uac.txt") + "\" 4", 3, "$KYRT_UAC$", "RC_UAC", "") +
        run_program_as(dir / L"missing.exe", "", "", 0, "", "RC_AS_MISSING", "") +
        // A user that cannot log on (under Wine no user can: see docs/wine.md).
        "Run Program As\n| " + ansi(child) +
        "\n|\n| exit 0\n| 0\n| quillon-nobody\n| wrong\n|\n"
        "| RC_OTHER_USER\n| TRUE\n|\n";
    fs::path setup = build_setup(dir, script,
                                 {{"RC_EXIT", "42"},
                                  {"RC_RUNNING", "259"},
                                  {"RC_MISSING", "-1"},
                                  {"RC_AS", "3"},
                                  {"RC_UAC", "4"},
                                  {"RC_AS_MISSING", "-11"},
                                  {"RC_OTHER_USER", "-11"}},
                                 false);
    ASSERT_FALSE(setup.empty());
    RunOutcome outcome = quillon::test::run_program({setup, L"/s", page_timeout});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, all_checks_held) << "check " << outcome.exit_code << " of the script failed";

    // The program started without waiting was still running when the setup ended.
    EXPECT_TRUE(fs::exists(runs_on.wstring() + L".started"));
    EXPECT_FALSE(fs::exists(runs_on.wstring() + L".ended"));
    std::ofstream(runs_on) << "";
    EXPECT_TRUE(wait_for_file(runs_on.wstring() + L".ended", 10s));

    // As the current user, with the window mode, working folder and environment of the script.
    std::map<std::string, std::string> as = report_of(dir / L"as.txt");
    EXPECT_EQ(as["show"], "3") << "window mode 2: maximized";
    EXPECT_EQ(as["use_show"], "1");
    EXPECT_EQ(as["folder"], ansi(dir / L"work"));
    EXPECT_EQ(as["QV_TEST"], "from the script");
    EXPECT_EQ(as["user"], user_name());
    // The marker from a setup that is not elevated: the same start without a user.
    std::map<std::string, std::string> uac = report_of(dir / L"uac.txt");
    EXPECT_EQ(uac["show"], "2") << "window mode 3: minimized";
    EXPECT_EQ(uac["use_show"], "1");
    EXPECT_EQ(uac["QV_TEST"], "<none>") << "no environment text: the engine's own";
    EXPECT_EQ(uac["user"], user_name());
}

TEST(RunLightModeSetup, TheScriptRunsAsASetupWhereItLiesAndIsPutBack)
{
    // The light-mode script: what a setup carries after the engine's program, with its companions beside it.
    fs::path inner =
        make_setup(L"run_light_inner", script_of({command("Terminate with Exit Code", 1, {"33"})}), {}, L"light");
    fs::path light = inner.parent_path();
    fs::remove(light / L"qvo.lib");
    std::string script = read_file_bytes(inner).value_or("");
    std::uintmax_t stub = fs::file_size(dist_file(L"engine.exe"));
    ASSERT_GT(script.size(), stub);
    script.erase(0, stub);
    std::ofstream(inner, std::ios::binary | std::ios::trunc) << script;

    fs::path dir = fresh_scratch_dir(L"run_light_outer");
    fs::path setup =
        build_setup(dir,
                    "Run Light Mode Setup\n| " + ansi(inner) + "\n| RC_LIGHT\n| /s\n| TRUE\n" +
                        "Run Light Mode Setup\n| " + ansi(light / L"none.exe") + "\n| RC_NONE\n|\n| TRUE\n",
                    {{"RC_LIGHT", "33"}, {"RC_NONE", "-1"}}, false);
    ASSERT_FALSE(setup.empty());
    RunOutcome outcome = quillon::test::run_program({setup, L"/s", page_timeout});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, all_checks_held) << "check " << outcome.exit_code << " of the script failed";
    EXPECT_EQ(read_file_bytes(inner), script) << "the script file is back under its name";
    for (const wchar_t* left : {L"light.exe.nox", L"light.exe.to", L"qvo.lib", L"none.exe"})
        EXPECT_FALSE(fs::exists(light / left)) << to_utf8(left);
}

// The confirmation box of Cancel (or the engine's "Setup cancelled"): a standard dialog box.
HWND wait_for_message_box(std::chrono::milliseconds timeout)
{
    HWND found = nullptr;
    pump_until(
        [&] {
            found = find_own_window(L"#32770", [](HWND) { return true; });
            return found != nullptr;
        },
        timeout);
    return found;
}

void answer_box(int answer)
{
    HWND box = wait_for_message_box(20s);
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, answer, 0);
    EXPECT_TRUE(pump_until([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10s));
}

TEST(RunProgramWizard, CancelWhileAProgramRuns)
{
    fs::path dir = fresh_scratch_dir(L"run_program_cancel");
    fs::path child = child_in(dir);
    fs::path in_time = dir / L"in-time";
    fs::path runs_on = dir / L"runs-on";
    const std::string show_page = "Display Dialog\n| Progress\n| WIZARD\n| FALSE\n|\n|\n|\n";
    std::string script = "Set Variable\n| ABORTONERROR\n| FALSE\n"
                         "Set Variable\n| PROGRESSTEXT\n| Running the helper program\n" +
                         show_page + run_program(child, "exit 7", true, "RC_ENDS") +
                         run_program(child, "wait \"" + ansi(in_time) + "\" 5", true, "RC_IN_TIME") +
                         // Shown again: a page shown clears the cancel of the last run.
                         show_page + run_program(child, "wait \"" + ansi(runs_on) + "\" 6", true, "RC_RUNS_ON");
    fs::path setup = build_setup(
        dir, script, {{"RC_ENDS", "7"}, {"RC_IN_TIME", "5"}, {"RC_RUNS_ON", "-314"}, {"ABORTEDONERROR", "TRUE"}}, true);
    ASSERT_FALSE(setup.empty());
    StartedProgram program = start_program({setup});

    // A program that is cancelled and ends within the kill timer's time gives its own code.
    ASSERT_TRUE(wait_for_file(in_time.wstring() + L".started", page_timeout));
    HWND page = wait_for_page(L"Progress.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    // The page as it shows the run, when QUILLON_SHOTS names a folder.
    if (wchar_t shots[MAX_PATH] = L""; GetEnvironmentVariableW(L"QUILLON_SHOTS", shots, MAX_PATH) != 0) {
        RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pump_until([] { return false; }, 1500ms);
        save_window_bitmap(page, fs::path(shots) / L"run_program_page.bmp");
    }
    click(find_control(page, L"btnCancel"));
    answer_box(IDYES); // the page answered while the program ran
    std::ofstream(in_time) << "";
    answer_box(IDOK); // "Setup cancelled"

    // A program that runs on after the cancel: given up, and still running.
    ASSERT_TRUE(wait_for_file(runs_on.wstring() + L".started", page_timeout));
    page = wait_for_page(L"Progress.dfm", page_timeout);
    ASSERT_NE(page, nullptr);
    click(find_control(page, L"btnCancel"));
    answer_box(IDYES);
    // No second "Setup cancelled": ABORTEDONERROR is already true.
    RunOutcome outcome = program.wait(page_timeout);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, all_checks_held) << "check " << outcome.exit_code << " of the script failed";
    EXPECT_TRUE(fs::exists(in_time.wstring() + L".ended"));
    EXPECT_FALSE(fs::exists(runs_on.wstring() + L".ended")) << "the abandoned program is still running";
    std::ofstream(runs_on) << "";
    EXPECT_TRUE(wait_for_file(runs_on.wstring() + L".ended", 10s));
}

} // namespace
} // namespace quillon::test
