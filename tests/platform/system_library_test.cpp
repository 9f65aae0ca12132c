// The loaders of system_library.h against qplant.dll, which leaves a marker
// file for every load (tests/platform/planting). Nothing here restricts this
// process's own search: that is tested in a child, plant_probe.exe.
#include "platform/win32/system_library.h"

#include "harness/harness.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::wstring lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring system_folder()
{
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

std::wstring module_path(HMODULE module)
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

// A scratch folder holding qplant.dll, the current folder while the test runs,
// and a folder for the markers that this process's loads of it leave.
class PlantedFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fresh_scratch_dir(L"system-library-" + std::wstring(test_name()));
        fs::create_directories(m_folder / L"markers");
        fs::copy_file(QUILLON_PLANTED_LIBRARY, m_folder / L"qplant.dll");
        SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", (m_folder / L"markers").wstring().c_str());
        wchar_t previous[MAX_PATH];
        DWORD length = GetCurrentDirectoryW(MAX_PATH, previous);
        m_previous_folder.assign(previous, length);
        ASSERT_TRUE(SetCurrentDirectoryW(m_folder.wstring().c_str()));
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(m_previous_folder.c_str());
        SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", nullptr);
    }

    static std::wstring test_name()
    {
        const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name, name + std::char_traits<char>::length(name));
    }

    std::set<std::wstring> markers() const
    {
        std::set<std::wstring> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder / L"markers"))
            found.insert(lower(entry.path().filename().wstring()));
        return found;
    }
    void clear_markers() const
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder / L"markers"))
            fs::remove(entry.path());
    }

    fs::path m_folder;
    std::wstring m_previous_folder;
};

using LoadSystemLibrary = PlantedFolder;
using LoadLibraryByFullPath = PlantedFolder;
using RestrictLibrarySearch = PlantedFolder;

TEST(Proc, GivesTheTypedFunctionOrNull)
{
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    auto tick_count = win32::proc<decltype(&GetTickCount64)>(kernel32, "GetTickCount64");
    ASSERT_NE(tick_count, nullptr);
    EXPECT_GT(tick_count(), 0u);
    EXPECT_EQ(win32::proc<decltype(&GetTickCount64)>(kernel32, "NoSuchFunctionAnywhere"), nullptr);
    EXPECT_EQ(win32::proc<decltype(&GetTickCount64)>(nullptr, "GetTickCount64"), nullptr);
}

TEST_F(LoadSystemLibrary, ComesFromTheSystemFolder)
{
    Result<win32::UniqueHmodule> winmm = win32::load_system_library(L"winmm.dll");
    ASSERT_TRUE(winmm) << winmm.error().describe();
    EXPECT_EQ(lower(module_path(winmm->get())), lower(system_folder() + L"\\winmm.dll"));
}

TEST_F(LoadSystemLibrary, NeverTakesTheCurrentFolders)
{
    // The control: a plain load by bare name finds the library in the current folder.
    {
        win32::UniqueHmodule plain(LoadLibraryExW(L"qplant.dll", nullptr, 0));
        ASSERT_TRUE(plain) << "the plain load did not see the planted library: " << GetLastError();
    }
    EXPECT_EQ(markers(), std::set<std::wstring>{L"qplant.dll.loaded"});
    clear_markers();

    Result<win32::UniqueHmodule> planted = win32::load_system_library(L"qplant.dll");
    ASSERT_FALSE(planted);
    EXPECT_EQ(planted.error().code, ErrorCode::win32);
    EXPECT_EQ(planted.error().system_code, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(markers().empty());
}

TEST_F(LoadSystemLibrary, RefusesAnythingButAFileName)
{
    const wchar_t* const names[] = {
        L"", L".\\qplant.dll", L"sub\\winmm.dll", L"C:\\windows\\system32\\winmm.dll", L"C:winmm.dll", L"./qplant.dll"};
    for (const wchar_t* name : names) {
        SCOPED_TRACE(to_utf8(name));
        Result<win32::UniqueHmodule> module = win32::load_system_library(name);
        ASSERT_FALSE(module);
        EXPECT_EQ(module.error().code, ErrorCode::internal);
    }
    EXPECT_TRUE(markers().empty());
}

TEST_F(LoadLibraryByFullPath, RefusesRelativePathsAndLoadsFullOnes)
{
    const wchar_t* const relative[] = {L"qplant.dll", L".\\qplant.dll", L"..\\", L"\\qplant.dll"};
    for (const wchar_t* path : relative) {
        SCOPED_TRACE(to_utf8(path));
        Result<win32::UniqueHmodule> module = win32::load_library_by_full_path(path);
        ASSERT_FALSE(module);
        EXPECT_EQ(module.error().code, ErrorCode::unsupported);
    }
    EXPECT_TRUE(markers().empty());

    std::wstring full = (m_folder / L"qplant.dll").wstring();
    for (std::wstring path : {full, lower(full)}) {
        // Forward slashes as a script may write them.
        for (wchar_t& c : path)
            if (c == L'\\')
                c = L'/';
        SCOPED_TRACE(to_utf8(path));
        Result<win32::UniqueHmodule> module = win32::load_library_by_full_path(path);
        ASSERT_TRUE(module) << module.error().describe();
        EXPECT_NE(win32::proc<int (*)()>(module->get(), "quillon_plant_marker"), nullptr);
    }
    EXPECT_EQ(markers(), std::set<std::wstring>{L"qplant.dll.loaded"});
}

TEST_F(LoadLibraryByFullPath, DependenciesComeFromTheLibrarysFolderNotTheCurrentOne)
{
    // qplantuser.dll imports qplant.dll; the current folder has one, its own folder not.
    fs::path own = m_folder / L"own";
    fs::create_directories(own);
    fs::copy_file(QUILLON_PLANTED_USER, own / L"qplantuser.dll");
    {
        Result<win32::UniqueHmodule> user = win32::load_library_by_full_path((own / L"qplantuser.dll").wstring());
        EXPECT_FALSE(user) << "the dependency came from the current folder";
    }
    EXPECT_TRUE(markers().empty());

    fs::copy_file(QUILLON_PLANTED_LIBRARY, own / L"qplant.dll");
    Result<win32::UniqueHmodule> user = win32::load_library_by_full_path((own / L"qplantuser.dll").wstring());
    ASSERT_TRUE(user) << user.error().describe();
    EXPECT_EQ(win32::proc<int (*)()>(user->get(), "quillon_plant_user")(), 1);
    EXPECT_EQ(markers(), std::set<std::wstring>{L"qplant.dll.loaded"});
}

TEST_F(RestrictLibrarySearch, BareNamesNoLongerComeFromTheProgramsFolder)
{
    fs::copy_file(QUILLON_PLANT_PROBE, m_folder / L"plant_probe.exe");
    // The control: the probe finds the library beside it.
    RunOutcome plain = run_program({m_folder / L"plant_probe.exe", L"qplant.dll"});
    EXPECT_EQ(plain.exit_code, 0u);
    EXPECT_EQ(markers(), std::set<std::wstring>{L"qplant.dll.loaded"});
    clear_markers();

    RunOutcome restricted = run_program({m_folder / L"plant_probe.exe", L"--restrict qplant.dll winmm.dll"});
    EXPECT_EQ(restricted.exit_code, 1u) << "qplant.dll must not load, winmm.dll must, from the system folder";
    EXPECT_TRUE(markers().empty());
}

} // namespace
} // namespace quillon::test
