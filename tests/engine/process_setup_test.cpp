// The process and service commands of a real setup under Wine: processes and
// top-level windows of real programs (qwindow.exe closes on WM_CLOSE or counts
// the requests in its title), Wine's service control manager with a service
// installed by sc.exe (qservice.exe), and COM registration of a type library
// made here, a server library (qcomserver.dll) and a server program, checked
// in the registry. The script hands its variables to the test plug-in, which
// saves them.
#include "engine/setup_folder.h"
#include "vars/comma_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <map>
#include <set>
#include <thread>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using Variables = std::map<std::string, std::string>;

std::string var(const Variables& vars, const std::string& name)
{
    auto found = vars.find(name);
    return found == vars.end() ? std::string("<missing>") : found->second;
}

// Runs the commands silently in a setup of their own, with the files given
// beside it, and returns the variables the script ended with.
Variables run_setup(const std::wstring& name, std::vector<CompiledCommand> commands,
                    const std::vector<std::pair<std::wstring, fs::path>>& beside = {})
{
    fs::path saved = fresh_scratch_dir(name + L"-saved") / L"variables.txt";
    int ordinal = static_cast<int>(commands.size());
    commands.push_back(command("Save Variables", ++ordinal, {"save:" + to_utf8(saved.wstring()), "qtestplug.dll"}));
    CompiledScript script = script_of(commands);
    script.plugin_commands = {"Save Variables"};
    std::optional<std::string> plugin = read_file_bytes(test_plugin_file());
    EXPECT_TRUE(plugin);
    fs::path exe = make_setup(name, script, {{L"qtestplug.dll", plugin.value_or("")}});
    for (const auto& [file, source] : beside)
        fs::copy_file(source, exe.parent_path() / file);
    RunOutcome outcome = run_program({exe, L"/s"});
    EXPECT_EQ(outcome.exit_code, 0u);
    Variables vars;
    std::optional<std::string> text = read_file_bytes(saved);
    EXPECT_TRUE(text) << "the plug-in saved no variables";
    std::vector<std::string> items = parse_comma_text(text.value_or(""));
    for (std::size_t i = 0; i + 1 < items.size(); i += 2)
        vars[items[i]] = items[i + 1];
    return vars;
}

// A started qwindow.exe, ended by force if it is still running at the end of the test.
class TestWindow {
public:
    TestWindow(const std::wstring& title, bool ignore_close)
        : m_program(
              start_program({QUILLON_TEST_WINDOW, L"\"" + title + L"\"" + (ignore_close ? L" --ignore-close" : L"")}))
    {
        m_window = wait_for_window(title, 30s);
    }
    ~TestWindow()
    {
        if (running())
            TerminateProcess(m_program.process.get(), 1);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND window() const { return m_window; }
    bool running() const { return WaitForSingleObject(m_program.process.get(), 0) == WAIT_TIMEOUT; }
    bool ends_within(std::chrono::milliseconds limit)
    {
        return WaitForSingleObject(m_program.process.get(), static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    }

private:
    StartedProgram m_program;
    HWND m_window = nullptr;
};

TEST(CheckProcess, FindsRunningProgramsByTheirBareFileName)
{
    TestWindow program(L"Quillon Check Process", false);
    ASSERT_NE(program.window(), nullptr);
    Variables vars = run_setup(L"check-process", {
                                                     command("Check Process", 1, {"EXPLORER.EXE", "Explorer"}),
                                                     command("Check Process", 2, {"C:\\Windows\\explorer.exe", "Path"}),
                                                     command("Check Process", 3, {"QWINDOW.exe", "Window"}),
                                                     command("Check Process", 4, {"setup.exe", "Itself"}),
                                                     command("Check Process", 5, {"quillon-none.exe", "None"}),
                                                 });
    // Wine runs explorer.exe as the desktop's process once a window is shown.
    EXPECT_EQ(var(vars, "EXPLORER"), "TRUE");
    EXPECT_EQ(var(vars, "PATH"), "FALSE") << "a name with a folder never matches";
    EXPECT_EQ(var(vars, "WINDOW"), "TRUE");
    EXPECT_EQ(var(vars, "ITSELF"), "TRUE");
    EXPECT_EQ(var(vars, "NONE"), "FALSE");
}

TEST(TerminateProgram, ClosesTheMatchingWindowAndAsksTenTimesWhenItStays)
{
    TestWindow closing(L"Quillon Close Me", false);
    TestWindow staying(L"Quillon Keep Me", true);
    ASSERT_NE(closing.window(), nullptr);
    ASSERT_NE(staying.window(), nullptr);

    // Both parts empty: nothing is asked of any window.
    run_setup(L"terminate-nothing", {command("Terminate Program", 1, {"", ""})});
    EXPECT_TRUE(closing.running());
    EXPECT_EQ(window_text(staying.window()), L"Quillon Keep Me");

    run_setup(L"terminate-programs", {
                                         command("Terminate Program", 1, {"Close Me", ""}),
                                         command("Terminate Program", 2, {"Keep Me", "QuillonTestWindow"}),
                                     });
    EXPECT_TRUE(closing.ends_within(30s)) << "the window that closes on WM_CLOSE ended its program";
    // The window that stays was asked in each of the ten walks.
    EXPECT_TRUE(pump_until([&] { return window_text(staying.window()) == L"Quillon Keep Me [10]"; }, 30s))
        << to_utf8(window_text(staying.window()));
    EXPECT_TRUE(staying.running());
}

// A service installed with sc.exe and removed again at the end.
class TestService {
public:
    static constexpr wchar_t name[] = L"QuillonTestService";

    TestService()
    {
        sc(L"stop");
        sc(L"delete");
        fs::path folder = fresh_scratch_dir(L"service");
        fs::copy_file(QUILLON_TEST_SERVICE, folder / L"qservice.exe");
        m_created = sc(L"create", L"binPath= \"" + (folder / L"qservice.exe").wstring() + L"\"") == 0;
    }
    ~TestService()
    {
        sc(L"stop");
        sc(L"delete");
    }
    TestService(const TestService&) = delete;
    TestService& operator=(const TestService&) = delete;

    bool created() const { return m_created; }
    static DWORD sc(const std::wstring& verb, const std::wstring& rest = {})
    {
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        return run_program({fs::path(system) / L"sc.exe", verb + L" " + name + (rest.empty() ? L"" : L" " + rest)})
            .exit_code;
    }
    // The state the service control manager reports, 0 when it cannot be had.
    static DWORD state()
    {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_STATUS) : nullptr;
        SERVICE_STATUS status{};
        DWORD state = service && QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
        if (service)
            CloseServiceHandle(service);
        if (manager)
            CloseServiceHandle(manager);
        return state;
    }

private:
    bool m_created = false;
};

TEST(CheckService, NamesTheStateWineServiceManagerReports)
{
    TestService service;
    ASSERT_TRUE(service.created());
    std::vector<CompiledCommand> commands = {
        command("Check Service", 1, {"QuillonTestService", "", "State"}),
        command("Check Service", 2, {"QuillonNoSuchService", "", "Missing"}),
    };
    Variables stopped = run_setup(L"service-stopped", commands);
    EXPECT_EQ(var(stopped, "STATE"), "STOPPED");
    EXPECT_EQ(var(stopped, "MISSING"), "NOTINSTALLED");

    EXPECT_EQ(TestService::sc(L"start"), 0u);
    ASSERT_TRUE(pump_until([] { return TestService::state() == SERVICE_RUNNING; }, 30s)) << TestService::state();
    Variables running = run_setup(L"service-running", commands);
    EXPECT_EQ(var(running, "STATE"), "RUNNING");
    EXPECT_EQ(var(running, "MISSING"), "NOTINSTALLED");
}

const GUID type_library_id = {0x6A2B3C4D, 0x5E6F, 0x4A1B, {0x9C, 0x8D, 0x7E, 0x6F, 0x5A, 0x4B, 0x3C, 0x2D}};
const std::wstring type_library_key = L"TypeLib\\{6A2B3C4D-5E6F-4A1B-9C8D-7E6F5A4B3C2D}";
const std::wstring server_class_key = L"Software\\Classes\\CLSID\\{5D1C2B3A-4E5F-4A6B-8C7D-9E0F1A2B3C4D}";

// A type library of its own, written with ICreateTypeLib2.
bool write_type_library(const fs::path& file)
{
    ICreateTypeLib2* library = nullptr;
    if (FAILED(CreateTypeLib2(SYS_WIN64, file.c_str(), &library)))
        return false;
    wchar_t name[] = L"QuillonTestTypes";
    bool written = SUCCEEDED(library->SetGuid(type_library_id)) && SUCCEEDED(library->SetVersion(1, 0)) &&
                   SUCCEEDED(library->SetLcid(0)) && SUCCEEDED(library->SetName(name)) &&
                   SUCCEEDED(library->SaveAllChanges());
    library->Release();
    return written;
}

TEST(RegisterLibrary, RegistersAndUnregistersATypeLibraryAndAServerLibrary)
{
    registry_delete_tree(HKEY_CLASSES_ROOT, type_library_key);
    registry_delete_tree(HKEY_LOCAL_MACHINE, server_class_key);
    // In the form the engine reports paths in (backslashes only), as GetModuleFileName gives them.
    fs::path folder =
        (fresh_scratch_dir(L"register-libraries-files") / L"Program Files" / L"Quillon Test").make_preferred();
    fs::create_directories(folder);
    ASSERT_TRUE(write_type_library(folder / L"qtypes.tlb"));
    fs::copy_file(QUILLON_TEST_COM_SERVER, folder / L"qcomserver.dll");
    std::string types = to_utf8((folder / L"qtypes.tlb").wstring());
    std::string server = to_utf8((folder / L"qcomserver.dll").wstring());

    Variables registered =
        run_setup(L"register-libraries", {
                                             command("Register Library", 1, {types, "TRUE", "Types"}),
                                             command("Register Library", 2, {server, "TRUE", "Server"}),
                                         });
    EXPECT_EQ(var(registered, "TYPES"), "TRUE") << "a lower-case .tlb is a type library";
    EXPECT_TRUE(registry_key_exists(HKEY_CLASSES_ROOT, type_library_key + L"\\1.0"));
    EXPECT_EQ(var(registered, "SERVER"), "TRUE");
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, server_class_key + L"\\InprocServer32", L""),
              (folder / L"qcomserver.dll").wstring());

    Variables unregistered =
        run_setup(L"unregister-libraries", {
                                               command("Register Library", 1, {types, "FALSE", "Types"}),
                                               command("Register Library", 2, {server, "FALSE", "Server"}),
                                           });
    EXPECT_EQ(var(unregistered, "TYPES"), "TRUE");
    EXPECT_FALSE(registry_key_exists(HKEY_CLASSES_ROOT, type_library_key + L"\\1.0"));
    EXPECT_EQ(var(unregistered, "SERVER"), "TRUE");
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, server_class_key));

    // A file that is no library, and one that is missing, answer FALSE.
    std::ofstream(folder / L"broken.tlb") << "not a type library";
    Variables failed =
        run_setup(L"register-failures",
                  {
                      command("Register Library", 1, {to_utf8((folder / L"broken.tlb").wstring()), "TRUE", "Broken"}),
                      command("Register Library", 2, {to_utf8((folder / L"missing.dll").wstring()), "TRUE", "Missing"}),
                  });
    EXPECT_EQ(var(failed, "BROKEN"), "FALSE");
    EXPECT_EQ(var(failed, "MISSING"), "FALSE");
}

TEST(RegisterLibrary, StartsAServerProgramWithItsQuotedPath)
{
    const std::wstring key = L"Software\\QuillonTest\\ServerProgram";
    registry_delete_tree(HKEY_CURRENT_USER, key);
    fs::path folder = (fresh_scratch_dir(L"register-program-files") / L"Server Folder").make_preferred();
    fs::create_directories(folder);
    fs::copy_file(QUILLON_TEST_WINDOW, folder / L"qserver.exe");
    Variables vars =
        run_setup(L"register-program",
                  {command("Register Library", 1, {to_utf8((folder / L"qserver.exe").wstring()), "TRUE", "Done"})});
    EXPECT_EQ(var(vars, "DONE"), "TRUE");
    // The engine does not wait for the program.
    std::optional<std::wstring> line;
    EXPECT_TRUE(
        pump_until([&] { return (line = registry_string(HKEY_CURRENT_USER, key, L"CommandLine")).has_value(); }, 30s));
    EXPECT_EQ(line.value_or(L""), L"\"" + (folder / L"qserver.exe").wstring() + L"\" /regserver");
    registry_delete_tree(HKEY_CURRENT_USER, key);
}

TEST(RegisterLibrary, NeverLoadsALibraryPlantedBesideTheSetup)
{
    fs::path scratch = fresh_scratch_dir(L"register-planting-files").make_preferred();
    fs::path markers = scratch / L"markers";
    fs::path folder = scratch / L"library";
    fs::create_directories(markers);
    fs::create_directories(folder);
    SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", markers.c_str());
    // qplantuser.dll imports qplant.dll, which only the setup's folder holds.
    fs::copy_file(QUILLON_PLANTED_USER, folder / L"qplantuser.dll");
    std::string user = to_utf8((folder / L"qplantuser.dll").wstring());
    auto loaded = [&] {
        std::set<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(markers))
            names.insert(entry.path().filename().wstring());
        return names;
    };

    Variables vars = run_setup(L"register-planted",
                               {
                                   command("Register Library", 1, {"qplant.dll", "TRUE", "Bare"}),
                                   command("Register Library", 2, {user, "TRUE", "User"}),
                               },
                               {{L"qplant.dll", QUILLON_PLANTED_LIBRARY}});
    EXPECT_EQ(var(vars, "BARE"), "FALSE");
    EXPECT_EQ(var(vars, "USER"), "FALSE");
    EXPECT_TRUE(loaded().empty()) << "a library beside the setup was loaded";

    // The control: beside the library its dependency is found (it has no
    // DllRegisterServer, so the answer stays FALSE).
    fs::copy_file(QUILLON_PLANTED_LIBRARY, folder / L"qplant.dll");
    Variables control =
        run_setup(L"register-planted-control", {command("Register Library", 1, {user, "TRUE", "User"})});
    EXPECT_EQ(var(control, "USER"), "FALSE");
    EXPECT_EQ(loaded(), std::set<std::wstring>{L"qplant.dll.loaded"});
    SetEnvironmentVariableW(L"QUILLON_PLANT_MARKERS", nullptr);
}

} // namespace
} // namespace quillon::test
