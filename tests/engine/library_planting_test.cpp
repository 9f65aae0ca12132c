// A DLL planted beside a setup in the Downloads folder must never run inside
// it. Two checks: what the built programs import statically (the loader
// resolves that before the engine's first instruction, searching the program's
// folder first for anything but a KnownDLL), and a real setup run with a
// library that tells of every load (qplant.dll, tests/platform/planting)
// copied beside it under the name of each system library a setup may load.
//
// Wine searches the program's folder for a system library only when it is told
// to prefer native files ("native,builtin", which is Windows' search order for
// a library that is not a KnownDLL); the runs here set that override for every
// planted name.
#include "harness/harness.h"
#include "platform/library_rules.h"
#include "qvoc/build.h"
#include "script/pe_image.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <fstream>
#include <set>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The programs and libraries the engine is made of, as built.
std::vector<fs::path> built_binaries()
{
    return {dist_file(L"engine.exe"), dist_file(L"qvo.lib"), dist_file(L"ahadmin_wrapper.dll"), QUILLON_MGAC_FILE,
            QUILLON_MGACY_FILE};
}

TEST(EngineImports, AreKnownDllsOnly)
{
    for (const fs::path& binary : built_binaries()) {
        SCOPED_TRACE(to_utf8(binary.wstring()));
        std::optional<std::string> bytes = read_file_bytes(binary);
        ASSERT_TRUE(bytes);
        Result<std::vector<std::string>> imports = pe_imported_libraries(
            std::span<const std::byte>(reinterpret_cast<const std::byte*>(bytes->data()), bytes->size()));
        ASSERT_TRUE(imports) << imports.error().describe();
        // Every program of this toolchain imports kernel32: a table read as empty would prove nothing.
        EXPECT_TRUE(std::any_of(imports->begin(), imports->end(),
                                [](const std::string& name) { return lower(name) == "kernel32.dll"; }));
        for (const std::string& name : *imports)
            EXPECT_TRUE(is_known_dll(name)) << name << " is imported statically but is not a KnownDLL";
    }
}

// Every system library the engine loads at run time, those that libraries of
// Windows load on a setup's behalf, and those the installer, download and
// version commands will load. KnownDLLs are left out: Windows never takes them
// from the program's folder (Wine does, see docs/wine.md).
const std::vector<std::string> planted_names = {
    "atl.dll",     "cabinet.dll", "comctl32.dll", "crypt32.dll",  "dwmapi.dll",   "msftedit.dll", "msi.dll",
    "msimg32.dll", "oleacc.dll",  "propsys.dll",  "riched20.dll", "riched32.dll", "urlmon.dll",   "userenv.dll",
    "usp10.dll",   "uxtheme.dll", "version.dll",  "winhttp.dll",  "wininet.dll",  "winmm.dll",    "wintrust.dll",
};

// What Wine itself loads from the program's folder under these overrides before
// the program's first instruction: one of its own start-up libraries imports
// version.dll (on Windows none of the KnownDLLs the engine imports does). A
// program that imports only what the engine imports gets exactly these
// (PlantedLibrary.WineLoadsOnlyTheseBeforeTheProgramRuns). They prove nothing
// about the engine, and planted they would break Wine's own libraries (the
// stand-in exports none of their functions), so the setups run without them.
const std::set<std::string> wine_own_loads = {"version.dll"};

std::vector<std::string> planted_for_setups()
{
    std::vector<std::string> names;
    for (const std::string& name : planted_names)
        if (!wine_own_loads.contains(name))
            names.push_back(name);
    return names;
}

class PlantedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fresh_scratch_dir(L"planting-" + test_name());
        m_markers = m_folder / L"markers";
        fs::create_directories(m_markers);
    }

    static std::wstring test_name()
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return std::wstring(name.begin(), name.end());
    }

    // The example wizard built into OUT, with every planted name beside setup.exe
    // (which is also the folder it runs in).
    fs::path build_planted_setup()
    {
        fs::path project_folder = m_folder / L"project";
        fs::copy(test_data(L"..") / L".." / L"examples" / L"basic", project_folder, fs::copy_options::recursive);
        // A product of its own: the example installs through Windows Installer,
        // and the wizard tests install the example's own product meanwhile.
        fs::path project_file = project_folder / L"basic.qvp";
        std::string project = read_file_bytes(project_file).value_or("");
        std::size_t code = project.find("{29BBD25B-E9D0-4A3B-9109-24194F12BFFD}");
        EXPECT_NE(code, std::string::npos);
        if (code != std::string::npos)
            project.replace(code, 38, "{29BBD25B-E9D0-4A3B-9109-24194F12BF00}");
        std::ofstream(project_file, std::ios::binary | std::ios::trunc) << project;
        qvoc::BuildOptions options;
        options.project = project_folder / L"basic.qvp";
        options.output_folder = m_folder / L"out";
        options.engine = dist_file(L"engine.exe");
        Result<qvoc::BuildReport> report = qvoc::build_setup(options);
        EXPECT_TRUE(report) << (report ? "" : report.error().message);
        if (!report)
            return {};
        EXPECT_TRUE(report->archive_library);
        plant_beside(report->setup, planted_for_setups());
        return report->setup;
    }

    void plant_beside(const fs::path& program, const std::vector<std::string>& names = planted_names) const
    {
        for (const std::string& name : names)
            fs::copy_file(QUILLON_PLANTED_LIBRARY, program.parent_path() / name, fs::copy_options::overwrite_existing);
    }

    fs::path probe_in(const fs::path& folder) const
    {
        fs::copy_file(QUILLON_PLANT_PROBE, folder / L"plant_probe.exe", fs::copy_options::overwrite_existing);
        return folder / L"plant_probe.exe";
    }

    // Windows' search order for every planted name in the programs of those
    // file names, and where the markers go. Wine takes WINEDLLOVERRIDES from the
    // Unix environment it was started in, not from the environment a Windows
    // parent passes; its per-program overrides in the registry do reach a child.
    class PlantingEnvironment {
    public:
        PlantingEnvironment(const fs::path& markers, std::vector<std::wstring> programs)
            : m_programs(std::move(programs))
        {
            for (const std::wstring& program : m_programs) {
                win32::UniqueHkey key;
                EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, overrides_key(program).c_str(), 0, nullptr, 0,
                                          KEY_SET_VALUE, nullptr, key.put(), nullptr),
                          ERROR_SUCCESS);
                for (const std::string& name : planted_names) {
                    std::wstring base(name.begin(), name.end() - 4);
                    const wchar_t order[] = L"native,builtin";
                    RegSetValueExW(key.get(), base.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                                   sizeof order);
                }
            }
            SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", markers.wstring().c_str());
        }
        ~PlantingEnvironment()
        {
            for (const std::wstring& program : m_programs)
                registry_delete_tree(HKEY_CURRENT_USER, overrides_key(program));
            SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", nullptr);
        }
        PlantingEnvironment(const PlantingEnvironment&) = delete;
        PlantingEnvironment& operator=(const PlantingEnvironment&) = delete;

    private:
        static std::wstring overrides_key(const std::wstring& program)
        {
            return L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides";
        }
        std::vector<std::wstring> m_programs;
    };

    // The planted names that were loaded (from the markers their DllMain left).
    std::set<std::string> loaded() const
    {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_markers)) {
            std::string name = lower(to_utf8(entry.path().filename().wstring()));
            names.insert(name.substr(0, name.size() - std::string_view(".loaded").size()));
        }
        return names;
    }

    static std::string listed(const std::set<std::string>& names)
    {
        std::string text;
        for (const std::string& name : names)
            text += (text.empty() ? "" : ", ") + name;
        return text.empty() ? "none" : text;
    }

    fs::path m_folder;
    fs::path m_markers;
};

TEST_F(PlantedLibrary, ABareNameLoadBesideTheProgramGetsIt)
{
    // The control: a program that loads each name by bare name, from the same
    // kind of folder and with the same overrides, loads every planted copy.
    fs::path folder = m_folder / L"probe";
    fs::create_directories(folder);
    fs::path probe = probe_in(folder);
    plant_beside(probe);
    std::wstring arguments;
    for (const std::string& name : planted_names)
        arguments += std::wstring(name.begin(), name.end()) + L" ";
    PlantingEnvironment environment(m_markers, {L"plant_probe.exe"});
    RunOutcome outcome = run_program({probe, arguments});
    EXPECT_EQ(outcome.exit_code, 0u) << outcome.exit_code << " names did not load";
    EXPECT_EQ(loaded(), std::set<std::string>(planted_names.begin(), planted_names.end()));
}

TEST_F(PlantedLibrary, WineLoadsOnlyTheseBeforeTheProgramRuns)
{
    fs::path folder = m_folder / L"probe";
    fs::create_directories(folder);
    fs::path probe = probe_in(folder);
    plant_beside(probe);
    PlantingEnvironment environment(m_markers, {L"plant_probe.exe"});
    RunOutcome outcome = run_program({probe, L"--restrict"});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(loaded(), wine_own_loads) << "Wine loaded " << listed(loaded()) << " itself";
}

TEST_F(PlantedLibrary, ASilentSetupLoadsNoneOfThem)
{
    fs::path setup = build_planted_setup();
    ASSERT_FALSE(setup.empty());
    fs::path target = m_folder / L"installed";
    PlantingEnvironment environment(m_markers, {setup.filename().wstring()});
    // Every page is loaded and answered, the payload extracted through qvo.lib.
    RunOutcome outcome =
        run_program({setup, L"/s TARGETDIR=\"" + target.wstring() + L"\" LICENSEACCEPTED=TRUE SHOWREADME=FALSE", 120s});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(fs::exists(target / L"readme.txt")) << "the setup did not install its files";
    EXPECT_EQ(loaded(), std::set<std::string>{}) << "loaded: " << listed(loaded());
    // The product goes again, and its removal loads none of them either.
    RunOutcome removed = run_program({setup, L"/s REMOVE=TRUE TARGETDIR=\"" + target.wstring() + L"\"", 120s});
    EXPECT_EQ(removed.exit_code, 0u);
    EXPECT_FALSE(fs::exists(target / L"readme.txt"));
    EXPECT_EQ(loaded(), std::set<std::string>{}) << "loaded: " << listed(loaded());
}

TEST_F(PlantedLibrary, AWizardOnScreenLoadsNoneOfThem)
{
    fs::path setup = build_planted_setup();
    ASSERT_FALSE(setup.empty());
    PlantingEnvironment environment(m_markers, {setup.filename().wstring()});
    StartedProgram program = start_program({setup});
    HWND page = wait_for_page(L"Welcome.dfm", 60s);
    ASSERT_NE(page, nullptr);
    click(find_control(page, L"btnCancel"));
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
        std::this_thread::sleep_for(50ms);
        box = find_own_window(L"#32770", [](HWND) { return true; });
    }
    ASSERT_NE(box, nullptr) << "no question after Cancel";
    PostMessageW(box, WM_COMMAND, IDYES, 0);
    RunOutcome outcome = program.wait(60s);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 1602u);
    EXPECT_EQ(loaded(), std::set<std::string>{}) << "loaded: " << listed(loaded());
}

} // namespace
} // namespace quillon::test
