// Scripts compiled by qvoc and run silently by the real engine under Wine:
// control flow, the variable and string commands and the exit codes. Each
// script checks its own results and ends with the number of the first check
// that failed, or 100 when all held.
#include "harness/harness.h"
#include "qvoc/build.h"

#include <gtest/gtest.h>

#include <fstream>
#include <span>
#include <sstream>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

constexpr DWORD all_checks_held = 100;

struct Check {
    std::string variable;
    std::string expected;
    std::string code = "0"; // the If comparison that must hold: "0" equals, "1" contains
};

struct LoopScript {
    std::wstring name;
    std::string script; // the [script] section's lines
    std::vector<Check> checks;
};

std::string project_text(const LoopScript& test)
{
    std::ostringstream text;
    text << "[setup]\n"
            "title = Loop Test\n"
            "product-code = {3C3C3C3C-1111-2222-3333-444444444444}\n"
            "source-name = loop.qvp\n"
            "resources = res\n"
            "\n[script]\n"
         << test.script << "\n";
    for (std::size_t i = 0; i < test.checks.size(); ++i) {
        // Negated: the check fails when the comparison does not hold.
        text << "If\n| " << test.checks[i].variable << "\n| " << test.checks[i].code << "\n| "
             << test.checks[i].expected << "\n| TRUE\n    Terminate with Exit Code\n    | " << (i + 1) << "\nEnd\n";
    }
    text << "Terminate with Exit Code\n| " << all_checks_held << "\n";
    return text.str();
}

// Compiles the project with qvoc's builder and returns the setup program.
fs::path build(const std::wstring& name, const std::string& project)
{
    fs::path dir = fresh_scratch_dir(name);
    fs::path file = dir / L"loop.qvp";
    std::ofstream(file, std::ios::binary) << project;
    // The page the wizard cases show (a silent run shows none, but every page is loaded at start-up).
    fs::create_directories(dir / L"res");
    std::ofstream(dir / L"res" / L"Welcome.dfm", std::ios::binary)
        << "object Welcome: TForm\r\n  Caption = 'Welcome'\r\n  ClientWidth = 300\r\n  ClientHeight = 100\r\nend\r\n";
    std::ofstream(dir / L"res" / L"Welcome.dfm.qvof", std::ios::binary);
    qvoc::BuildOptions options;
    options.project = file;
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    EXPECT_TRUE(report) << (report ? "" : report.error().message);
    return report ? report->setup : fs::path();
}

std::string log_of(const fs::path& log)
{
    return read_utf16_file(log).value_or("");
}

TEST(ScriptLoop, ScriptsCheckTheirOwnResults)
{
    const LoopScript cases[] = {
        {L"chains",
         "Set Variable\n| A\n| 0\nSet Variable\n| B\n| 1\n"
         "If\n| A\n| 0\n| 1\n| FALSE\n  Set Variable\n  | R1\n  | a\n"
         "Else If\n| B\n| 0\n| 1\n| FALSE\n"
         "  If\n  | A\n  | 0\n  | 0\n  | FALSE\n    Set Variable\n    | R1\n    | b-nested\n  End\n"
         "Else\n  Set Variable\n  | R1\n  | else\nEnd\n"
         // A disabled Else If and a disabled Else are not chain members.
         "If\n| B\n| 0\n| 1\n| FALSE\n  Set Variable\n  | R2\n  | wrong\n"
         "Else If\n@disabled\n| B\n| 0\n| 1\n| FALSE\n  Set Variable\n  | R2\n  | disabled member ran\n"
         "Else\n@disabled\nEnd\nSet Variable\n| R3\n| after\n",
         {{"R1", "b-nested"}, {"R2", "disabled member ran"}, {"R3", "after"}}},
        {L"skips",
         "Set Variable\n| N\n| 0\n"
         "If\n| N\n| 0\n| 1\n| FALSE\n"
         "  If\n  | N\n  | 0\n  | 0\n  | FALSE\n    Set Variable\n    | R\n    | inner\n  End\n"
         "  End\n  @disabled\n"
         "  Wizard Loop\n  Display Dialog\n  | Welcome\n  | WIZARD\n  | TRUE\n  |\n  |\n  | FALSE\n  End\n"
         "Else If\n| N\n| 2\n| -1\n| FALSE\n  Set Variable\n  | R\n  | else-if\nEnd\n",
         {{"R", "else-if"}}},
        {L"goto",
         "Set Variable\n| COUNT\n| 0\n"
         "Label\n| again\n"
         "Mathematics\n| $COUNT$\n| 1\n| 0\n| COUNT\n"
         "If\n| COUNT\n| 0\n| 3\n| TRUE\n  GoTo Label\n  | AGAIN\nEnd\n"
         // A label inside a block is refused, so the chain's If stands behind an
         // extra End (never reached) and an If without End follows the chain.
         "GoTo Label\n| middle\n"
         "End\n"
         "If\n| COUNT\n| 0\n| 3\n| FALSE\n  Set Variable\n  | R\n  | first\n"
         "Label\n| middle\n"
         "Else If\n| COUNT\n| 0\n| 3\n| FALSE\n  Set Variable\n  | R\n  | middle\n"
         "Else\n  Set Variable\n  | R\n  | else\nEnd\n"
         "If\n| SILENT\n| 0\n| TRUE\n| FALSE\n",
         {{"COUNT", "3"}, {"R", "middle"}}},
        {L"wizard",
         "Wizard Loop\nDisplay Dialog\n| Welcome\n| WIZARD\n| TRUE\n|\n|\n| FALSE\n"
         "Display Dialog\n@disabled\n| Licence\n| WIZARD\n| TRUE\n|\n|\n| FALSE\n"
         "End\nSet Variable\n| R\n| after the wizard\n",
         {{"R", "after the wizard"}}},
        {L"strings",
         "Set Variable\n| SRC\n| a=b=c\n"
         "Parse String\n| $SRC$\n| =\n| P1\n| P2\n| 0\n| FALSE\n| FALSE\n"
         "Parse String\n| $SRC$\n| =\n| L1\n| L2\n| 1\n| FALSE\n| FALSE\n"
         "Parse String\n| abcdef\n| 2\n| C1\n| C2\n| 3\n| FALSE\n| FALSE\n"
         "Set Variable\n| TWO\n| one$NEWLINE$two\n"
         "Replace String\n| TWO\n| $NEWLINE$\n|  \n| FALSE\n| TRUE\n"
         "Set Variable\n| CASE\n| C:\\\\Mixed\\\\Case\n"
         "Convert Case\n| CASE\n| TRUE\n"
         "Set Variable\n| EXT\n| setup.tar.gz\nExtract Path\n| EXT\n| 2\n"
         "Set Variable\n| UP\n| C:\\a\\b\\c.txt\nExtract Path\n| UP\n| 4\n"
         "Set Variable\n| SHORT\n| C:\\Program Files\nConvert Path\n| SHORT\n| TRUE\n"
         "Set Variable\n| LONG\n| $SHORT$\nConvert Path\n| LONG\n| FALSE\n"
         "Evaluate Expression\n| $EXT$ = \"gz\" and \"3\" > \"2\"\n| EXPR\n"
         "Localization Variable\n| LOC\n| value $EXT$\n"
         "Get Temporary File\n| TEMPFILE\n"
         "Parse String\n| $TEMPFILE$\n| $TEMPDIR$\n| T1\n| T2\n| 0\n| FALSE\n| TRUE\n"
         "Parse String\n| $T2$\n| 3\n| T3\n| T4\n| 2\n| FALSE\n| FALSE\n",
         {{"P1", "a"},
          {"P2", "b=c"},
          {"L1", "a=b"},
          {"L2", "c"},
          {"C1", "abcd"},
          {"C2", "ef"},
          {"TWO", "one two"},
          {"CASE", "C:\\MIXED\\CASE"},
          {"EXT", "gz"},
          {"UP", "C:\\a\\"},
          {"SHORT", "~", "1"},
          {"LONG", "C:\\Program Files"},
          {"EXPR", "TRUE"},
          {"LOC", "value gz"},
          {"T1", ""},
          {"T3", "qvo"}}},
        {L"mathematics",
         "Mathematics\n| 7\n| 5\n| 2\n| M_MUL\n"
         "Mathematics\n| -7\n| 2\n| 3\n| M_DIV\n"
         "Mathematics\n| -7\n| 2\n| 4\n| M_MOD\n"
         "Mathematics\n| -1\n| 60\n| 9\n| M_SHR\n"
         "Mathematics\n| 9223372036854775807\n| 1\n| 0\n| M_WRAP\n"
         "Mathematics\n| 10\n| 0\n| 15\n| M_RND\n"
         "Mathematics\n| A\n| 0\n| 11\n| M_ORD\n"
         "Mathematics\n| 66\n| 0\n| 12\n| M_CHR\n",
         {{"M_MUL", "35"},
          {"M_DIV", "-3"},
          {"M_MOD", "-1"},
          {"M_SHR", "15"},
          {"M_WRAP", "-9223372036854775808"},
          {"M_RND", "0"},
          {"M_ORD", "65"},
          {"M_CHR", "B"}}},
        {L"predefined",
         // What the engine seeded before the first command, read by that command's successors.
         "Set Variable\n| FIRST\n| $TITLE$|$VERSION$|$ABORTONERROR$|$WIZARD$|$SILENT$|$PROGRESS$|$KYRT_TIMEOUT$\n"
         "Set Variable\n| LOGLESS\n| [$LOGGED$]\n"
         "Parse String\n| $EXEFILE$\n| $EXEDIR$\n| BEFORE\n| EXENAME\n| 0\n| FALSE\n| TRUE\n",
         {{"FIRST", "Loop Test|1.0.0.0|TRUE|NEXT|TRUE|0|10"},
          {"LOGLESS", "[]"},
          {"EXENAME", "setup.exe"},
          {"MAINTENANCE", "FALSE"},
          {"PRODUCTCODE", "{3C3C3C3C-1111-2222-3333-444444444444}"},
          {"STARTMENU", "Loop Test"},
          {"TARGETDIR", "Loop Test\\", "1"}}},
        {L"abort",
         "Set Variable\n| ABORT\n| TRUE\n"
         "Set Variable\n| SEEN\n| $ABORT$\n"
         "Set Variable\n| KYRT_IsCancelled\n| FALSE\n"
         "Set Variable\n| AFTER\n| $ABORT$\n",
         {{"SEEN", "TRUE"}, {"AFTER", "FALSE"}}},
        {L"components",
         // Saved, changed, and merged back: the file's states win for the
         // components it lists, a component it does not list keeps its state.
         "Define Component\n| Tools\n| TRUE\n| The tools\n"
         "Define Component\n| Tools\\Editors\n| FALSE\n| Editors\n"
         "Define Component\n| Docs\n| TRUE\n|\n"
         "Set Component Space\n| Tools\n| 10000\n"
         "Set Component Space\n| Tools\\Editors\n| 5000000\n"
         "Set Variable\n| SERIAL$KYRT$KYRT$TRUE\n| 12-34\n"
         "Set Variable\n| SELFILE\n| $TEMPDIR$selection.txt\n"
         "Save Feature Selections\n| $SELFILE$\n"
         "Set Component State\n| Tools\n| FALSE\n"
         "Set Component State\n| Tools\\Editors\n| TRUE\n"
         "Delete Component\n| Docs\n"
         "Define Component\n| Late\n| TRUE\n|\n"
         "Set Variable\n| SERIAL\n| changed\n"
         "Get Component Space\n|\n| BEFORE\n"
         "Load Feature Selections\n| $SELFILE$\n"
         "Load Feature Selections\n| $TEMPDIR$missing.txt\n"
         "Get Component State\n| Tools\n| S_TOOLS\n"
         "Get Component State\n| tools\\editors\n| S_EDITORS\n"
         "Get Component State\n| Docs\n| S_DOCS\n"
         "Get Component State\n| Late\n| S_LATE\n"
         "Get Component State\n| KYRT-PREDEF-COMPONENT\n| S_PREDEF\n"
         "Get Component Space\n|\n| AFTER\n",
         {{"BEFORE", "5000000"},
          {"S_TOOLS", "TRUE"},
          {"S_EDITORS", "FALSE"},
          {"S_DOCS", "TRUE"},
          {"S_LATE", "TRUE"},
          {"S_PREDEF", "TRUE"},
          {"SERIAL", "12-34"},
          {"AFTER", "10000"}}},
    };
    for (const LoopScript& test : cases) {
        fs::path setup = build(test.name, project_text(test));
        ASSERT_FALSE(setup.empty());
        fs::path log = setup.parent_path() / L"setup.log";
        RunOutcome outcome = run_program({setup, L"/s"});
        if (outcome.exit_code != all_checks_held)
            run_program({setup, L"/s /l=" + log.wstring()});
        EXPECT_EQ(outcome.exit_code, all_checks_held)
            << to_utf8(test.name) << ": check " << outcome.exit_code << " failed\n"
            << log_of(log);
    }
}

TEST(ScriptLoop, ExitCodesOfTheEndingCommands)
{
    const std::tuple<std::wstring, std::string, DWORD> cases[] = {
        {L"exit-variable", "Set Variable\n| CODE\n| 3010\nTerminate with Exit Code\n| $CODE$\n", 3010},
        {L"exit-not-a-number", "Terminate with Exit Code\n| 12 monkeys\nTerminate with Exit Code\n| 5\n", 0},
        {L"terminate", "Terminate Install\nTerminate with Exit Code\n| 5\n", 0},
        {L"terminate-in-block",
         "If\n| SILENT\n| 0\n| TRUE\n| FALSE\n  Terminate Install\nEnd\nTerminate with Exit Code\n| 5\n", 0},
        {L"runs-to-the-end", "Set Variable\n| X\n| 1\n", 0},
    };
    for (const auto& [name, script, code] : cases) {
        std::string project = "[setup]\ntitle = Exit Test\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444445}\n"
                              "\n[script]\n" +
                              script;
        fs::path setup = build(name, project);
        ASSERT_FALSE(setup.empty());
        fs::path log = setup.parent_path() / L"setup.log";
        RunOutcome outcome = run_program({setup, L"/s /l=" + log.wstring()});
        EXPECT_EQ(outcome.exit_code, code) << to_utf8(name);
        EXPECT_NE(log_of(log).find("</Quillon>"), std::string::npos) << "the end-of-run sequence ran";
    }
}

TEST(ScriptLoop, ARuntimeErrorInASilentRunIsLoggedAndEndsTheRun)
{
    std::string project = "[setup]\ntitle = Error Test\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444446}\n"
                          "source-name = errors.qvp\n\n[script]\n"
                          "Set Variable\n| X\n| 1\n"
                          "Mathematics\n| 1\n| 0\n| 3\n| Y\n"
                          "Terminate with Exit Code\n| 5\n";
    fs::path setup = build(L"runtime-error", project);
    ASSERT_FALSE(setup.empty());
    fs::path log = setup.parent_path() / L"setup.log";
    RunOutcome outcome = run_program({setup, L"/s /l=" + log.wstring()});
    EXPECT_FALSE(outcome.timed_out) << "no window waits for an answer";
    EXPECT_EQ(outcome.exit_code, 11u) << "a failed script is not reported as success";
    std::string text = log_of(log);
    EXPECT_NE(text.find("Runtime error in setup script:"), std::string::npos) << text;
    EXPECT_NE(text.find("Source File: errors"), std::string::npos) << text;
    EXPECT_NE(text.find("Line Number: 10"), std::string::npos) << text;
    EXPECT_NE(text.find("</Quillon>"), std::string::npos) << "the end-of-run sequence ran";
}

// A setup of the project text whose resource folder holds the files.
fs::path build_with_resources(const std::wstring& name, std::span<const std::pair<const wchar_t*, const char*>> files,
                              const std::string& project)
{
    fs::path dir = fresh_scratch_dir(name);
    fs::create_directories(dir / L"resources");
    for (const auto& [file, text] : files)
        std::ofstream(dir / L"resources" / file, std::ios::binary) << text;
    std::ofstream(dir / L"loop.qvp", std::ios::binary) << project;
    qvoc::BuildOptions options;
    options.project = dir / L"loop.qvp";
    options.output_folder = dir / L"out";
    options.engine = dist_file(L"engine.exe");
    Result<qvoc::BuildReport> report = qvoc::build_setup(options);
    EXPECT_TRUE(report) << (report ? "" : report.error().message);
    return report ? report->setup : fs::path();
}

TEST(ScriptLoop, TranslationsOfTheChosenLanguageReachTheCommands)
{
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"Translate Test.mtx", "{4D4D4D4D-0000-0000-0000-000000000001}\r\n"
                                "{4D4D4D4D-0000-0000-0000-000000000001}\r\n"
                                "FORGEKIT$FAREWELL$FORGEKIT\r\n"},
        {L"translations.Original", "Hello\r\nworld\r\nGoodbye\r\n"},
        {L"translations.German", "Hallo\r\nWelt\r\nAuf Wiedersehen\r\n"},
        {L"translations.Map", "map\r\n"},
    };
    std::string project = "[setup]\ntitle = Translate Test\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444449}\n"
                          "default-language = German\nresources = resources\n\n[script]\n"
                          "Set Variable\n@id = {4D4D4D4D-0000-0000-0000-000000000001}\n| GREETING\n| Hello\n"
                          "Localization Variable\n| FAREWELL\n| Goodbye\n"
                          "Set Variable\n| UNTRANSLATED\n| Hello\n"
                          "If\n| GREETING\n| 0\n| Hallo\n| TRUE\n  Terminate with Exit Code\n  | 1\nEnd\n"
                          "If\n| FAREWELL\n| 0\n| Auf Wiedersehen\n| TRUE\n  Terminate with Exit Code\n  | 2\nEnd\n"
                          "If\n| UNTRANSLATED\n| 0\n| Hello\n| TRUE\n  Terminate with Exit Code\n  | 3\nEnd\n"
                          "If\n| LANGUAGE\n| 0\n| German\n| TRUE\n  Terminate with Exit Code\n  | 4\nEnd\n"
                          "Terminate with Exit Code\n| 100\n";
    fs::path setup = build_with_resources(L"translated", files, project);
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(run_program({setup, L"/s"}).exit_code, all_checks_held);
}

// A message file of the engine: the unnamed block and named blocks, each of
// 115 lines, with line 20 (the runtime error heading) set per block.
std::string message_file(std::initializer_list<std::pair<std::string, std::string>> blocks)
{
    std::string text;
    for (const auto& [name, heading] : blocks) {
        if (!name.empty())
            text += name + "\r\n";
        for (int line = 1; line <= 115; ++line)
            text += (line == 20 ? heading : "line " + std::to_string(line)) + "\r\n";
    }
    return text;
}

// The language the run ends up with chooses the engine's messages (the block
// named like it, not the file's last one); a language whose translation file
// is missing is a runtime error of the command that set it.
TEST(ScriptLoop, TheLanguageChoosesTheEngineMessagesAndAMissingOneIsAFileError)
{
    const std::string messages = message_file({{"", "Runtime error in setup script:"},
                                               {"German", "Laufzeitfehler im Setup-Skript:"},
                                               {"French", "Erreur d'execution du script :"}});
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"Language Test.mtx", "{4D4D4D4D-0000-0000-0000-000000000002}\r\n"},
        {L"translations.Original", "Hello\r\n"},
        {L"translations.German", "Hallo\r\n"},
        {L"translations.Map", "map\r\n"},
        {L"shared.translations.German", messages.c_str()},
    };
    const std::string head = "[setup]\ntitle = Language Test\nproduct-code = {3C3C3C3C-1111-2222-3333-44444444444A}\n"
                             "default-language = German\nresources = resources\n\n[script]\n";
    struct Case {
        std::wstring name;
        std::string script;
        std::string in_log;
        std::string not_in_log;
    };
    const Case cases[] = {
        {L"language-messages", "Mathematics\n| 1\n| 0\n| 3\n| Y\nTerminate with Exit Code\n| 100\n",
         "Laufzeitfehler im Setup-Skript:", "Erreur"},
        {L"language-missing",
         "Set Variable\n| LANGUAGE\n| Klingon\nSet Variable\n| AFTER\n| ran\nTerminate with Exit Code\n| 100\n",
         "translations.Klingon", "Runtime error in setup script:"},
    };
    for (const Case& c : cases) {
        fs::path setup = build_with_resources(c.name, files, head + c.script);
        ASSERT_FALSE(setup.empty());
        fs::path log = setup.parent_path() / L"setup.log";
        RunOutcome outcome = run_program({setup, L"/s /l=" + log.wstring()});
        EXPECT_EQ(outcome.exit_code, 11u) << to_utf8(c.name);
        std::string text = log_of(log);
        EXPECT_NE(text.find(c.in_log), std::string::npos) << to_utf8(c.name) << "\n" << text;
        EXPECT_EQ(text.find(c.not_in_log), std::string::npos) << to_utf8(c.name) << "\n" << text;
    }
}

// The page's texts come from the translation of the chosen language, keyed by
// form file and component; a text changed after it was translated stays as designed.
TEST(ScriptLoop, APageShowsTheTranslationsOfItsTexts)
{
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"Page Test.mtx", "Welcome.dfm.Welcome\r\nWelcome.dfm.lblIntro\r\nWelcome.dfm.btnNext\r\n"
                           "Welcome.dfm.lstChoices\r\nWelcome.dfm.lstChoices\r\n"},
        {L"translations.Original", "Welcome to $TITLE$\r\nHello\r\nContinue\r\nRed\r\nBlue\r\n"},
        {L"translations.German", "Willkommen bei $TITLE$\r\nHallo\r\nWeiter\r\nRot\r\nBlau\r\n"},
        {L"translations.Map", "map\r\n"},
        {L"Welcome.dfm", "object Welcome: TForm\r\n  Caption = 'Welcome to $TITLE$'\r\n  ClientWidth = 300\r\n"
                         "  ClientHeight = 160\r\n"
                         "  object lblIntro: TLabel\r\n    Left = 8\r\n    Top = 8\r\n    Width = 200\r\n"
                         "    Height = 13\r\n    Caption = 'Hello'\r\n  end\r\n"
                         "  object lstChoices: TListBox\r\n    Left = 8\r\n    Top = 30\r\n    Width = 200\r\n"
                         "    Height = 60\r\n    Items.Strings = (\r\n      'Red'\r\n      'Blue')\r\n  end\r\n"
                         "  object btnNext: TButton\r\n    Left = 200\r\n    Top = 120\r\n    Width = 75\r\n"
                         "    Height = 23\r\n    Caption = 'Next'\r\n    Tag = 1\r\n  end\r\nend\r\n"},
        {L"Welcome.dfm.qvof", ""},
    };
    std::string project = "[setup]\ntitle = Page Test\nproduct-code = {3C3C3C3C-1111-2222-3333-44444444444A}\n"
                          "default-language = German\nresources = resources\n\n[script]\n"
                          "Set Variable\n| KYRTLOGO\n| TRUE\n"
                          "Display Dialog\n| Welcome\n| WIZARD\n| TRUE\n|\n|\n|\n"
                          "Terminate with Exit Code\n| 100\n";
    fs::path setup = build_with_resources(L"translated-page", files, project);
    ASSERT_FALSE(setup.empty());

    StartedProgram run = start_program({setup});
    HWND page = wait_for_page(L"Welcome.dfm", std::chrono::seconds(30));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(window_text(page), L"Willkommen bei Page Test");
    EXPECT_EQ(control_text(find_control(page, L"lblIntro")), L"Hallo");
    HWND list = find_control(page, L"lstChoices");
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
    wchar_t item[32] = {};
    SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"Blau") << "the second item is the second text of its key";
    HWND next = find_control(page, L"btnNext");
    EXPECT_EQ(control_text(next), L"Next") << "designed 'Next', translated from 'Continue': the translation is stale";
    click(next);
    EXPECT_EQ(run.wait(std::chrono::seconds(30)).exit_code, all_checks_held);
}

TEST(ScriptLoop, AStartedRunRemovesAPendingResumeEntry)
{
    const wchar_t* run_once = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, run_once, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t data[] = L"C:\\old\\setup.exe /s";
    RegSetValueExW(key, L"3C3C3C3C", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
    ASSERT_TRUE(registry_string(HKEY_CURRENT_USER, run_once, L"3C3C3C3C"));

    std::string project = "[setup]\ntitle = Resume Clean\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444448}\n"
                          "\n[script]\nSet Variable\n| X\n| 1\n";
    fs::path setup = build(L"resume-clean", project);
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(run_program({setup, L"/s"}).exit_code, 0u);
    EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, run_once, L"3C3C3C3C"));
}

TEST(ScriptLoop, ARuntimeErrorWithAWindowShowsTheSourceFileAndLine)
{
    std::string project = "[setup]\ntitle = Error Test\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444447}\n"
                          "source-name = errors.qvp\n\n[script]\n"
                          "Set Variable\n| X\n| 1\n"
                          "Mathematics\n| 1\n| 0\n| 3\n| Y\n";
    fs::path setup = build(L"runtime-error-box", project);
    ASSERT_FALSE(setup.empty());
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program({setup, L""}); });
    HWND box = wait_for_window(L"Error Test - Quillon Wizard", std::chrono::seconds(30));
    ASSERT_NE(box, nullptr);
    std::wstring message;
    for (HWND child = FindWindowExW(box, nullptr, L"Static", nullptr); child != nullptr;
         child = FindWindowExW(box, child, L"Static", nullptr))
        message += window_text(child);
    EXPECT_NE(message.find(L"Runtime error in setup script:"), std::wstring::npos) << to_utf8(message);
    EXPECT_NE(message.find(L"Source File: errors"), std::wstring::npos) << to_utf8(message);
    EXPECT_NE(message.find(L"Line Number: 10"), std::wstring::npos) << to_utf8(message);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_EQ(outcome.exit_code, 11u);
}

// Plug-in commands in the built setup: the library comes from the support
// folder (the project's resources), hands back the variables, and a hanging
// one is given up after a cancel while the script goes on or ends.
TEST(ScriptLoop, PluginCommandsRunFromTheSupportFolder)
{
    auto check = [](int number, const std::string& variable, const std::string& expected) {
        return "If\n| " + variable + "\n| 0\n| " + expected + "\n| TRUE\n  Terminate with Exit Code\n  | " +
               std::to_string(number) + "\nEnd\n";
    };
    const std::string start = "Set Variable\n| A\n| one\nSet Variable\n| B\n| two\nSet Variable\n| C\n| none\n"
                              "Run Test Plug-In\n| set:A=changed;drop:B;set:C=x, y\n| mTest.dll\\qtestplug.dll\n" +
                              check(1, "A", "changed") + check(2, "B", "") + check(3, "C", "x, y") +
                              // A library that is not there: skipped without a window in a silent run.
                              "Run Test Plug-In\n| set:A=again\n| mTest.dll\\absent.dll\n" + check(4, "A", "changed");
    const std::string hang = "Set Variable\n| ABORT\n| TRUE\n"
                             "Run Test Plug-In\n| hang-hard\n| mTest.dll\\qtestplug.dll\n";
    struct Case {
        std::wstring name;
        std::string script;
        DWORD exit_code;
        bool silent = true;
    };
    const Case cases[] = {
        {L"plugin", start + "Terminate with Exit Code\n| 100\n", 100},
        // With windows and no message coming while the library hangs, the
        // wait still sees the cancel and gives the library up after the
        // watchdog's 5 seconds (ABORTEDONERROR keeps "Setup cancelled" away).
        {L"plugin-hang-with-windows",
         "Set Variable\n| ABORTONERROR\n| FALSE\nSet Variable\n| ABORTEDONERROR\n| TRUE\n" + hang +
             "Terminate with Exit Code\n| 100\n",
         100, false},
        {L"plugin-hang-goes-on",
         "Set Variable\n| ABORTONERROR\n| FALSE\n" + hang + check(5, "ABORTEDONERROR", "TRUE") +
             "Terminate with Exit Code\n| 100\n",
         100},
        // ABORTONERROR is "TRUE" from the start: the cancel ends the run before the
        // script sets its code, and the run ends as cancelled.
        {L"plugin-hang-ends", hang + "Terminate with Exit Code\n| 100\n", 1602},
    };
    for (const Case& c : cases) {
        fs::path dir = fresh_scratch_dir(c.name);
        fs::create_directories(dir / L"res");
        ASSERT_TRUE(CopyFileW(test_plugin_file().c_str(), (dir / L"res" / L"qtestplug.dll").c_str(), FALSE));
        std::string project = "[setup]\ntitle = Plug-In Test\nproduct-code = {3C3C3C3C-1111-2222-3333-444444444447}\n"
                              "resources = res\n\n[plugins]\nRun Test Plug-In\n\n[script]\n" +
                              c.script;
        fs::path file = dir / L"plugin.qvp";
        std::ofstream(file, std::ios::binary) << project;
        qvoc::BuildOptions options;
        options.project = file;
        options.output_folder = dir / L"out";
        options.engine = dist_file(L"engine.exe");
        Result<qvoc::BuildReport> report = qvoc::build_setup(options);
        ASSERT_TRUE(report) << report.error().message;
        fs::path log = dir / L"setup.log";
        auto started = std::chrono::steady_clock::now();
        RunOutcome outcome =
            run_program({report->setup, std::wstring(c.silent ? L"/s " : L"") + L"/l=" + log.wstring()});
        EXPECT_FALSE(outcome.timed_out) << to_utf8(c.name);
        EXPECT_EQ(outcome.exit_code, c.exit_code) << to_utf8(c.name) << "\n" << log_of(log);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30)) << to_utf8(c.name);
    }
}

} // namespace
} // namespace quillon::test
