#include "harness/harness.h"

#include <gtest/gtest.h>

#include <thread>

namespace quillon::test {
namespace {

std::filesystem::path child_program()
{
    // The child is built next to this test program.
    wchar_t own[MAX_PATH];
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    return std::filesystem::path(own).parent_path() / L"harness_child.exe";
}

TEST(WineHarness, ReportsTheExitCodeOfTheProgram)
{
    for (DWORD code : {0u, 13u, 314u}) {
        SCOPED_TRACE(code);
        RunOutcome outcome = run_program({child_program(), L"exit " + std::to_wstring(code)});
        EXPECT_FALSE(outcome.timed_out);
        EXPECT_EQ(outcome.exit_code, code);
    }
}

TEST(WineHarness, EndsAProgramThatOutlivesItsTimeOut)
{
    ProgramRun run{child_program(), L"hang"};
    run.timeout = std::chrono::milliseconds(500);
    auto started = std::chrono::steady_clock::now();
    RunOutcome outcome = run_program(run);
    EXPECT_TRUE(outcome.timed_out);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST(WineHarness, SeesRegistryValuesTheProgramWrote)
{
    const std::wstring key = L"Software\\QuillonTests\\Harness";
    registry_delete_tree(HKEY_CURRENT_USER, key);
    ASSERT_FALSE(registry_key_exists(HKEY_CURRENT_USER, key));

    RunOutcome outcome = run_program({child_program(), L"reg " + key + L" Greeting \"Hello there\""});
    ASSERT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(registry_string(HKEY_CURRENT_USER, key, L"Greeting"), L"Hello there");
    EXPECT_EQ(registry_string(HKEY_CURRENT_USER, key, L"Missing"), std::nullopt);
    registry_delete_tree(HKEY_CURRENT_USER, key);
}

TEST(WineHarness, ReadsUtf16FilesOnDriveC)
{
    std::filesystem::path dir = L"C:\\quillon-harness";
    std::filesystem::create_directories(dir);
    std::filesystem::path file = dir / L"log.txt";
    RunOutcome outcome = run_program({child_program(), L"utf16 " + file.wstring() + L" \"Gr\u00fc\u00dfe\""});
    ASSERT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(read_utf16_file(file), "Gr\xC3\xBC\xC3\x9F"
                                     "e");
    std::filesystem::remove_all(dir);
}

TEST(WineHarness, FindsTheWindowAProgramShows)
{
    std::thread runner([] {
        RunOutcome outcome = run_program({child_program(), L"window \"Quillon harness window\""});
        EXPECT_EQ(outcome.exit_code, 7u); // closed by WM_CLOSE below, not by the time-out
    });
    HWND window = wait_for_window(L"Quillon harness window", std::chrono::seconds(30));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window_text(window), L"Quillon harness window");
    PostMessageW(window, WM_CLOSE, 0, 0);
    runner.join();
}

} // namespace
} // namespace quillon::test
