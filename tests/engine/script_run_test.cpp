// The script run of the real engine under Wine: the compile pass, the early
// returns and the language choice.
#include "engine/setup_folder.h"
#include "msi/compiled_package.h"
#include "msi/installer_api.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::string log_text(const fs::path& log)
{
    return read_utf16_file(log).value_or("");
}

TEST(ScriptRun, ARejectedScriptEndsWith314AndLogsWhy)
{
    struct Case {
        std::wstring name;
        std::vector<CompiledCommand> commands;
        std::string message;
    };
    const Case cases[] = {
        {L"run-unbalanced",
         {command("If", 1, {"X", "5", "", "FALSE"}), command("If", 2, {"X", "5", "", "FALSE"}), command("End", 3)},
         "Insufficient END statements"},
        {L"run-label", {command("GoTo Label", 1, {"Nowhere"})}, "LABEL undefined: Nowhere"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.name));
        fs::path exe = make_setup(c.name, script_of(c.commands), {});
        fs::path log = exe.parent_path() / L"setup.log";
        RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
        EXPECT_EQ(outcome.exit_code, 314u);
        std::string text = log_text(log);
        EXPECT_NE(text.find("    <CompileScript>\r\n    " + c.message + "\r\n"), std::string::npos) << text;
        EXPECT_EQ(text.find("</CompileScript>"), std::string::npos);
    }
}

TEST(ScriptRun, AnAcceptedScriptRunsThroughTheSeedingToTheEnd)
{
    fs::path exe = make_setup(L"run-accepted",
                              script_of({command("Set Variable", 1, {"GREETING", "Hello"}),
                                         command("If", 2, {"GREETING", "0", "Hello", "FALSE"}), command("End", 3)}),
                              {});
    fs::path log = exe.parent_path() / L"setup.log";
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring() + L" TARGETDIR=D:\\App"});
    EXPECT_EQ(outcome.exit_code, 0u);
    std::string text = log_text(log);
    for (const char* line : {"    </CompileScript>\r\n", "    <BootStrap>\r\n    </BootStrap>\r\n", "    <kyrt>\r\n",
                             "    </kyrt>\r\n    <ExitScript>\r\n    </ExitScript>\r\n  </RunScript>\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

const std::vector<std::pair<std::wstring, std::string>> translations = {
    {L"Run Test.mtx", "{0B0B0B0B-0000-0000-0000-000000000001}\r\n"},
    {L"translations.Original", "Hello\r\n"},
    {L"translations.English", "Hello\r\n"},
    {L"translations.German", "Hallo\r\n"},
    {L"translations.Map", "map\r\n"},
    {L"shared.translations.French", "not a language\r\n"},
};

TEST(ScriptRun, ASingleInstanceSetupDoesNotRunTwice)
{
    CompiledScript script = script_of({command("Set Variable", 1, {"X", "1"})});
    script.build_constants = {{"SINGLEINSTANCE", "TRUE"}};
    fs::path exe = make_setup(L"run-single", script, {});
    fs::path marker = child_temp_dir() / L"{77777777-7777-8888-9999-AAAAAAAAAAAA}.qvo";
    fs::path log = exe.parent_path() / L"setup.log";
    {
        // Another run of this build is going on: it holds its marker.
        win32::UniqueFile running(CreateFileW(marker.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        ASSERT_TRUE(running);
        RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_EQ(log_text(log).find("<kyrt>"), std::string::npos) << "no command runs";
    }
    EXPECT_FALSE(fs::exists(marker)) << "gone with the run that held it";

    // A run that is killed leaves no marker behind.
    CompiledScript waiting = script;
    waiting.language_dialog = true;
    fs::path waiting_exe = make_setup(L"run-single-killed", waiting, translations);
    StartedProgram killed = start_program({waiting_exe});
    ASSERT_NE(wait_for_window(L"Select Setup Language", std::chrono::seconds(30)), nullptr);
    EXPECT_TRUE(fs::exists(marker));
    TerminateProcess(killed.process.get(), 1);
    killed.wait(std::chrono::seconds(30));
    EXPECT_FALSE(fs::exists(marker)) << "the system deletes it with the killed process's handle";

    // Nor does a marker that an older engine left behind stop the next run.
    std::ofstream(marker).close();
    run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_NE(log_text(log).find("<kyrt>"), std::string::npos);
    EXPECT_FALSE(fs::exists(marker)) << "the run removes its marker at the end";
}

TEST(ScriptRun, CancellingTheLanguageChoiceEndsTheRunWithoutACommand)
{
    CompiledScript script = script_of({command("Set Variable", 1, {"GREETING", "Hello"})});
    script.language_dialog = true;
    fs::path exe = make_setup(L"run-language", script, translations);
    fs::path log = exe.parent_path() / L"setup.log";
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program({exe, L"/l=" + log.wstring()}); });
    HWND form = wait_for_window(L"Select Setup Language", std::chrono::seconds(30));
    ASSERT_NE(form, nullptr);
    HWND combo = FindWindowExW(form, nullptr, L"ComboBox", nullptr);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2)
        << "English and German; Map, Original and shared are not languages";
    PostMessageW(form, WM_COMMAND, IDCANCEL, 0);
    runner.join();
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_NE(log_text(log).find("    </kyrt>"), std::string::npos);
}

// Wine takes the user locale from LC_ALL of the Unix environment, so ctest runs
// this once per locale and names the language to expect.
TEST(ScriptRunLocale, PreselectsTheUserLanguageElseTheAuthorsDefault)
{
    const wchar_t* expected = _wgetenv(L"QUILLON_EXPECTED_LANGUAGE");
    if (expected == nullptr)
        GTEST_SKIP() << "run by the locale entries of ctest";
    CompiledScript script = script_of({command("Set Variable", 1, {"GREETING", "Hello"})});
    script.language_dialog = true;
    fs::path exe = make_setup(L"run-preselect", script, translations);
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program({exe, L""}); });
    HWND form = wait_for_window(L"Select Setup Language", std::chrono::seconds(30));
    ASSERT_NE(form, nullptr);
    HWND combo = FindWindowExW(form, nullptr, L"ComboBox", nullptr);
    ASSERT_NE(combo, nullptr);
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    ASSERT_NE(selected, CB_ERR);
    wchar_t name[64] = {};
    ASSERT_LT(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0), 64);
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ(name, expected);
    PostMessageW(form, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_EQ(outcome.exit_code, 0u);
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

// "Is MSI Setup Installed" in a real setup, about a product that Windows
// Installer installed from a package the setup compiler writes, and again
// after its removal.
TEST(ScriptRun, IsMsiSetupInstalledAsksWindowsInstaller)
{
    const std::string product = "{5A4C3B2D-1E0F-4A9B-8C7D-6E5F4A3B2C1D}";
    const std::string package =
        compiled_package(L"run-msi-installed", product, "{6B5D4C3E-2F10-4BA0-9D8E-7F6A5B4C3D2E}");

    CompiledScript script = script_of({command("Is MSI Setup Installed", 1, {product, "INSTALLED"}),
                                       command("If", 2, {"INSTALLED", "0", "TRUE", "FALSE"}),
                                       command("Terminate with Exit Code", 3, {"21"}), command("End", 4),
                                       command("Terminate with Exit Code", 5, {"22"})});
    fs::path exe = make_setup(L"run-msi-installed-setup", script, {});

    ASSERT_TRUE(msi::SetInternalUI(msi::ui_level_none_with_source_resolution));
    Result<std::uint32_t> installed = msi::InstallProduct(package, "");
    ASSERT_TRUE(installed && *installed == 0u);
    EXPECT_EQ(run_program({exe, L"/s"}).exit_code, 21u) << "installed";
    Result<std::uint32_t> removed = msi::InstallProduct(package, "REMOVE=ALL");
    ASSERT_TRUE(removed && *removed == 0u);
    EXPECT_EQ(run_program({exe, L"/s"}).exit_code, 22u) << "removed";
}

} // namespace
} // namespace quillon::test
