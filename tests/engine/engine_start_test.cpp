// The real engine under Wine: setups assembled here from the engine stub and a
// script, started with a command line, observed through exit code, log, files,
// registry and windows.
#include "harness/harness.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

CompiledScript one_dialog_script()
{
    CompiledScript script;
    script.product_code = "{11111111-2222-3333-4444-555555555555}";
    script.revision_code = "{66666666-7777-8888-9999-AAAAAAAAAAAA}";
    script.product_title = "Start-up Test";
    script.product_version = "1.0.0.0";
    script.default_language = "English";
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 0}};
    CompiledCommand dialog;
    dialog.name = "Display Dialog";
    dialog.identifier = "{0A0A0A0A-0000-0000-0000-000000000001}";
    dialog.parameters = {"Welcome", "", "", ""};
    script.commands.push_back(dialog);
    return script;
}

// A setup folder: setup.exe (the stub, with the script appended when given) and the chosen companions.
fs::path make_setup(const std::wstring& name, const std::optional<CompiledScript>& script, bool with_resources,
                    bool with_database)
{
    fs::path dir = fresh_scratch_dir(name);
    fs::path exe = dir / L"setup.exe";
    fs::copy_file(dist_file(L"engine.exe"), exe);
    if (script) {
        Result<std::string> bytes = write_script_image(*script);
        EXPECT_TRUE(bytes) << bytes.error().message;
        std::ofstream(exe, std::ios::binary | std::ios::app) << *bytes;
    }
    if (with_resources)
        std::ofstream(dir / L"setup.res", std::ios::binary) << "7z archive stands here";
    if (with_database)
        std::ofstream(dir / L"setup.msi", std::ios::binary) << "database";
    return exe;
}

std::vector<std::string> log_lines(const fs::path& log)
{
    std::optional<std::string> text = read_utf16_file(log);
    std::vector<std::string> lines;
    if (!text)
        return lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text->find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text->substr(start, end - start));
    EXPECT_EQ(start, text->size()) << "every line ends with CR LF";
    return lines;
}

std::vector<fs::path> support_folders();

// Removes the support folders a failed start-up left behind since "before".
void remove_new_support_folders(const std::vector<fs::path>& before)
{
    for (const fs::path& folder : support_folders())
        if (std::find(before.begin(), before.end(), folder) == before.end())
            fs::remove_all(folder);
}

std::vector<fs::path> support_folders()
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(child_temp_dir()))
        if (entry.is_directory() && entry.path().filename().wstring().rfind(L"qvo", 0) == 0)
            found.push_back(entry.path());
    return found;
}

TEST(EngineStart, NothingAppendedEndsWith13AndTracesTheFirstSteps)
{
    fs::path exe = make_setup(L"engine-bare", std::nullopt, false, false);
    fs::path log = exe.parent_path() / L"setup.log";
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 13u);

    // The log file value is lower-cased, so the file name is too (Windows does not mind).
    std::vector<std::string> lines = log_lines(log);
    EXPECT_EQ(lines, (std::vector<std::string>{"<Quillon>", "  <SetupSplash>", "    <StubSize>"}));
    std::optional<std::string> raw = read_file_bytes(log);
    ASSERT_TRUE(raw && raw->size() >= 2);
    EXPECT_EQ(raw->substr(0, 2), std::string("<\0", 2)) << "no byte-order mark";
}

TEST(EngineStart, ALogFromAnEarlierRunIsReplaced)
{
    fs::path exe = make_setup(L"engine-relog", std::nullopt, false, false);
    fs::path log = exe.parent_path() / L"old.log";
    std::ofstream(log, std::ios::binary) << "left over from before";
    run_program({exe, L"-qn -L=" + log.wstring()});
    EXPECT_EQ(log_lines(log).size(), 3u);
}

TEST(EngineStart, WithoutResourceArchiveEndsWith14AndLeavesTheSupportFolder)
{
    fs::path exe = make_setup(L"engine-nores", one_dialog_script(), false, true);
    fs::path log = exe.parent_path() / L"setup.log";
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_EQ(outcome.exit_code, 14u);
    std::vector<std::string> lines = log_lines(log);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"<Quillon>", "  <SetupSplash>", "    <StubSize>", "    </StubSize>",
                                        "    <StubData>", "    </StubData>", "    <GlobalLists>", "    </GlobalLists>",
                                        "    <SupportDir>", "    </SupportDir>", "    <ExtractArchive>"}));
    std::vector<fs::path> after = support_folders();
    EXPECT_EQ(after.size(), before.size() + 1) << "a failed start-up leaves its new support folder";
    remove_new_support_folders(before);
}

TEST(EngineStart, ADamagedScriptEndsWith11)
{
    fs::path exe = make_setup(L"engine-damaged", std::nullopt, true, true);
    std::ofstream(exe, std::ios::binary | std::ios::app) << "Set Variable\r\nIf\r\n"; // ends inside the first section
    fs::path log = exe.parent_path() / L"setup.log";
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_EQ(outcome.exit_code, 11u);
    std::vector<std::string> lines = log_lines(log);
    ASSERT_GE(lines.size(), 3u);
    // The failed step is abandoned; the clean-up still runs.
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{"  <CachedSupportDir>", "  </CachedSupportDir>", "</Quillon>"}));
}

TEST(EngineStart, ResourcesThatCannotBeExtractedEndWith15)
{
    // Without the archive library beside the engine nothing can be extracted.
    fs::path exe = make_setup(L"engine-nolib", one_dialog_script(), true, true);
    ASSERT_FALSE(fs::exists(exe.parent_path() / L"qvo.lib"));
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s"});
    EXPECT_EQ(outcome.exit_code, 15u);
    remove_new_support_folders(before);
}

// A setup beside the archive library, with a resource archive made by Debian's 7z.
fs::path make_complete_setup(const std::wstring& name, bool with_database, bool with_dialog = false)
{
    CompiledScript script = one_dialog_script();
    if (!with_dialog) {
        // The test archive holds no dialog files.
        script.commands.front().name = "Set Variable";
        script.commands.front().parameters = {"X", "1"};
    }
    fs::path exe = make_setup(name, script, false, with_database);
    fs::copy_file(dist_file(L"qvo.lib"), exe.parent_path() / L"qvo.lib");
    fs::copy_file(test_data(L"media\\tree_lzma2.7z"), exe.parent_path() / L"setup.res");
    return exe;
}

TEST(EngineStart, ExtractsTheResourcesAndRemovesTheSupportFolderAtTheEnd)
{
    fs::path exe = make_complete_setup(L"engine-complete", true);
    fs::path log = exe.parent_path() / L"setup.log";
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(log_lines(log), (std::vector<std::string>{"<Quillon>",
                                                        "  <SetupSplash>",
                                                        "    <StubSize>",
                                                        "    </StubSize>",
                                                        "    <StubData>",
                                                        "    </StubData>",
                                                        "    <GlobalLists>",
                                                        "    </GlobalLists>",
                                                        "    <SupportDir>",
                                                        "    </SupportDir>",
                                                        "    <ExtractArchive>",
                                                        "    </ExtractArchive>",
                                                        "    <ExtractResource>",
                                                        "    </ExtractResource>",
                                                        "    <ResourcePath>",
                                                        "    </ResourcePath>",
                                                        "    <Dialogs>",
                                                        "    </Dialogs>",
                                                        "  </SetupSplash>",
                                                        "  <RunScript>",
                                                        "    <Variables>",
                                                        "    </Variables>",
                                                        "    <CompileScript>",
                                                        "    </CompileScript>",
                                                        "    <BootStrap>",
                                                        "    </BootStrap>",
                                                        "    <kyrt>",
                                                        "    </kyrt>",
                                                        "    <ExitScript>",
                                                        "    </ExitScript>",
                                                        "  </RunScript>",
                                                        "  <Free>",
                                                        "  </Free>",
                                                        "  <CachedSupportDir>",
                                                        "  </CachedSupportDir>",
                                                        "</Quillon>"}));
    EXPECT_EQ(support_folders(), before) << "the support folder is gone at the end";
}

TEST(EngineStart, ADialogFileThatIsMissingEndsTheStartUpWith11)
{
    fs::path exe = make_complete_setup(L"engine-nodialog", true, true);
    fs::path log = exe.parent_path() / L"setup.log";
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_EQ(outcome.exit_code, 11u);
    std::vector<std::string> lines = log_lines(log);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "    <Dialogs>"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "  <RunScript>"), lines.end()) << "no command ran";
    EXPECT_EQ(support_folders(), before) << "the support folder is gone at the end";
}

TEST(EngineStart, WithoutDatabaseEndsWith16)
{
    fs::path exe = make_complete_setup(L"engine-nodb", false);
    fs::path log = exe.parent_path() / L"setup.log";
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s /l=" + log.wstring()});
    EXPECT_EQ(outcome.exit_code, 16u);
    std::vector<std::string> lines = log_lines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "    <ExtractResource>");
    // The extraction reached the support folder before the database was missed.
    std::vector<fs::path> after = support_folders();
    ASSERT_EQ(after.size(), before.size() + 1);
    for (const fs::path& folder : after) {
        if (std::find(before.begin(), before.end(), folder) == before.end()) {
            EXPECT_TRUE(fs::exists(folder / L"nested\\a\\b\\c\\deep.txt"));
        }
    }
    remove_new_support_folders(before);
}

TEST(EngineStart, ACorruptResourceArchiveEndsWith15AndLeavesTheFolder)
{
    fs::path exe = make_complete_setup(L"engine-corrupt", true);
    std::string bytes = *read_file_bytes(exe.parent_path() / L"setup.res");
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    std::ofstream(exe.parent_path() / L"setup.res", std::ios::binary | std::ios::trunc) << bytes;
    std::vector<fs::path> before = support_folders();
    RunOutcome outcome = run_program({exe, L"/s"});
    EXPECT_EQ(outcome.exit_code, 15u);
    EXPECT_EQ(support_folders().size(), before.size() + 1);
    remove_new_support_folders(before);
}

TEST(EngineStart, RegistersItselfAsHostApplication)
{
    fs::path exe = make_setup(L"engine-hostapp", std::nullopt, false, false);
    fs::path renamed = exe.parent_path() / L"hostapp-probe.exe";
    fs::rename(exe, renamed);
    registry_delete_tree(HKEY_CLASSES_ROOT, L"Applications\\hostapp-probe.exe");
    run_program({renamed, L"/s"});
    EXPECT_EQ(registry_string(HKEY_CLASSES_ROOT, L"Applications\\hostapp-probe.exe", L"IsHostApp"), L"");
    registry_delete_tree(HKEY_CLASSES_ROOT, L"Applications\\hostapp-probe.exe");
}

// A message box is a dialog of class "#32770"; the start-up form carries the same caption.
HWND wait_for_message_box(const std::wstring& caption, std::chrono::seconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        // An empty caption takes any message box.
        HWND box =
            find_own_window(L"#32770", [&](HWND window) { return caption.empty() || window_text(window) == caption; });
        if (box != nullptr)
            return box;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

std::wstring child_texts(HWND window)
{
    std::wstring text;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            *reinterpret_cast<std::wstring*>(param) += window_text(child) + L"|";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

TEST(EngineStart, MessagesComeFromTheFileBehindTheArchiveLibrary)
{
    fs::path exe = make_setup(L"engine-messages", one_dialog_script(), false, true);
    // Any stripped PE image carries the message file the same way; the stub is one.
    fs::copy_file(dist_file(L"engine.exe"), exe.parent_path() / L"qvo.lib");
    std::string file;
    for (int line = 1; line <= 115; ++line)
        file += line == 2 ? "Setup-Ressource nicht gefunden\r\n" : line == 23 ? "Quillon-Assistent\r\n" : "x\r\n";
    std::ofstream(exe.parent_path() / L"qvo.lib", std::ios::binary | std::ios::app) << file;

    std::vector<fs::path> before = support_folders();
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program({exe, L"/update"}); });
    HWND box = wait_for_message_box(L"Quillon-Assistent", std::chrono::seconds(30));
    ASSERT_NE(box, nullptr);
    EXPECT_NE(child_texts(box).find(L"Setup-Ressource nicht gefunden"), std::wstring::npos)
        << to_utf8(child_texts(box));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_EQ(outcome.exit_code, 14u);
    EXPECT_FALSE(fs::exists(child_temp_dir() / L"lang.loc"));
    remove_new_support_folders(before);
}

// The caption and texts of the message box a run without resources shows.
std::wstring resource_message_under_locale(const std::wstring& name, const std::string& message_file)
{
    fs::path exe = make_setup(name, one_dialog_script(), false, true);
    fs::copy_file(dist_file(L"engine.exe"), exe.parent_path() / L"qvo.lib");
    std::ofstream(exe.parent_path() / L"qvo.lib", std::ios::binary | std::ios::app) << message_file;
    std::vector<fs::path> before = support_folders();
    ProgramRun run{exe, L"/update"};
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program(run); });
    HWND box = wait_for_message_box({}, std::chrono::seconds(30));
    std::wstring text = box != nullptr ? window_text(box) + L"|" + child_texts(box) : L"(no message box)";
    if (box != nullptr)
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_EQ(outcome.exit_code, 14u);
    remove_new_support_folders(before);
    return text;
}

std::string message_block(const std::string& caption, const std::string& not_found)
{
    std::string block;
    for (int line = 1; line <= 115; ++line)
        block += (line == 2 ? not_found : line == 23 ? caption : std::string("x")) + "\r\n";
    return block;
}

// Wine takes a process's user locale from the Unix environment it starts in, so
// ctest runs this test once per locale (LC_ALL) and names the expected text.
TEST(EngineLocale, TheBlockOfTheUserLanguageWinsElseTheLastBlock)
{
    const wchar_t* expected = _wgetenv(L"QUILLON_EXPECTED_MESSAGE");
    if (expected == nullptr)
        GTEST_SKIP() << "run by the locale entries of ctest";
    const std::string file = message_block("Wizard", "Setup resource not found") + "German\r\n" +
                             message_block("Assistent", "Setup-Ressource nicht gefunden") + "Dutch\r\n" +
                             message_block("Wizard NL", "Setup-bron niet gevonden");
    std::wstring shown = resource_message_under_locale(L"engine-locale", file);
    EXPECT_NE(shown.find(expected), std::wstring::npos) << to_utf8(shown);
}

TEST(EngineStart, WithoutSilentSwitchTheErrorIsShownInAMessageBox)
{
    fs::path exe = make_setup(L"engine-box", std::nullopt, false, false);
    RunOutcome outcome;
    std::thread runner([&] { outcome = run_program({exe, L""}); });
    HWND box = wait_for_message_box(L"Quillon Wizard", std::chrono::seconds(30));
    ASSERT_NE(box, nullptr);
    std::wstring text = child_texts(box);
    EXPECT_NE(text.find(L"For internal use only"), std::wstring::npos) << to_utf8(text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    runner.join();
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 13u);
}

} // namespace
} // namespace quillon::test
