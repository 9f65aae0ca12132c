// A package the setup compiler writes for a project with installed files, a
// created folder, a registry value, a shortcut, an environment variable, an
// INI entry, copied, moved and deleted files, a service, file types, an advertised shortcut and an ODBC driver, run
// through the engine's msi.dll calls the way "Apply Changes" runs it: the package's own hand-over action reads the
// recorded properties from the hand-over file and switches the rows on, in the install run and in the removal run.
#include "harness/harness.h"
#include "msi/handover_file.h"
#include "msi/installer_api.h"
#include "platform/win32/wide.h"
#include "qvoc/build.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

const std::string product_code = "{6C1D2E3F-4A5B-4C6D-9E7F-8A9B0C1D2E3F}";
const std::wstring registry_key = L"Software\\Quillon Tests\\PackageRows";
const wchar_t service_name[] = L"QuillonRowsService";
const std::wstring odbc_driver_key = L"Software\\ODBC\\ODBCINST.INI\\Quillon Rows Driver";

using namespace std::chrono_literals;

// The state the service control manager reports for the test's service, 0
// when it has no such service.
DWORD service_state()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, service_name, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    DWORD state = service && QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return state;
}

// A service a failed run left behind, stopped and deleted.
void delete_service()
{
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceW(manager, service_name, SERVICE_STOP | DELETE) : nullptr;
    if (service) {
        SERVICE_STATUS status{};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
}

void write_bytes(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string ansi(const fs::path& path)
{
    return win32::to_ansi(path.wstring());
}

class PackageRowsInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fresh_scratch_dir(L"package-rows-install");
        m_target = m_folder / L"target";
        m_temp = m_folder / L"temp";
        fs::create_directories(m_temp);
        write_bytes(m_folder / L"project" / L"payload" / L"app.txt", "the program");
        write_bytes(m_folder / L"project" / L"payload" / L"sub" / L"Guide Book.txt", "the guide");
        fs::create_directories(m_folder / L"project" / L"service");
        fs::copy_file(QUILLON_TEST_SERVICE, m_folder / L"project" / L"service" / L"qservice.exe");
        // A stand-in driver: ODBC's installer only registers its path.
        fs::copy_file(QUILLON_TEST_SERVICE, m_folder / L"project" / L"service" / L"qvdriver.dll");
        // Files of the machine that the package copies, moves and deletes.
        m_outside = m_folder / L"outside";
        write_bytes(m_outside / L"settings.txt", "the settings");
        write_bytes(m_outside / L"move-me.txt", "moving");
        write_bytes(m_outside / L"stale.log", "stale");
        delete_service();
        write_bytes(m_folder / L"project" / L"rows.qvp",
                    "[setup]\ntitle = Package Rows Test\nproduct-code = " + product_code +
                        "\npublisher = Quillon Tests\nmedia-folder = payload\nmedia-folder = service\n"
                        "[script]\n"
                        "Install Files\n@media-folder = payload\\\n@header = 0000A001\n|\n|\n| $TARGETDIR$\\app\n"
                        "Create Folder\n@header = 0000A002\n| $TARGETDIR$\\logs\n"
                        "Write Registry\n@header = 0000A003\n| 1\n|\n| Software\\Quillon Tests\\PackageRows\n"
                        "| Folder\n| $TARGETDIR$\n"
                        "Create Shortcut\n@header = 0000A004\n| $TARGETDIR$\\app\\app.txt\n| Open App\n"
                        "| $TARGETDIR$\\menu\n| The program\n|\n| $TARGETDIR$\\app\n"
                        "Set Environment\n@header = 0000A005\n| QUILLON_ROWS_HOME\n| $TARGETDIR$\n"
                        "Edit INI File\n@header = 0000A006\n| $TARGETDIR$\\app\\app.ini\n|\n|\n| Main\n| Folder\n"
                        "| $TARGETDIR$\n"
                        "Copy/Move Local Files\n@header = 0000A007\n| $OUTSIDE$\\settings.txt\n| copied.txt\n"
                        "| $TARGETDIR$\\conf\n|\n"
                        "Copy/Move Local Files\n@header = 0000A008\n| $OUTSIDE$\\move-me.txt\n|\n"
                        "| $TARGETDIR$\\moved\n| TRUE\n"
                        "Delete Files\n@header = 0000A009\n| $OUTSIDE$\\stale.log\n|\n| TRUE\n| FALSE\n"
                        "Delete Files\n@header = 0000A00A\n| $TARGETDIR$\\app\\cache.dat\n|\n| FALSE\n| TRUE\n"
                        "Install Service\n@media-folder = service\\\n@header = 0000A00B\n| qservice.exe\n"
                        "| $TARGETDIR$\\svc\n| demand\n| QuillonRowsService\n| Quillon Rows Service\n"
                        "| Installed by the package rows test\n|\n|\n|\n|\n| FALSE\n"
                        "Control Service\n@header = 0000A00C\n| QuillonRowsService\n|\n| start\n| stop\n"
                        "Create File Type\n@header = 0000A00D\n| Quillon.RowsDocument\n| .qvrows\n"
                        "| Quillon rows document\n| $TARGETDIR$\\app\\viewer.exe\n|\n"
                        "Advertised Shortcut\n@header = 0000A00E\n| $TARGETDIR$\\app\\app.txt\n"
                        "| Open App Advertised\n| $TARGETDIR$\\menu2\n|\n"
                        "Advertised File Type\n@header = 0000A00F\n| Quillon.RowsAdvertised\n| .qvadv\n"
                        "| Quillon advertised document\n| $TARGETDIR$\\app\\app.txt\n"
                        "Install ODBC Driver\n@media-folder = service\\\n@header = 0000A010\n| qvdriver.dll\n"
                        "| Quillon Rows Driver\n|\n| $TARGETDIR$\\odbc\n");
        qvoc::BuildOptions options;
        options.project = m_folder / L"project" / L"rows.qvp";
        options.output_folder = m_folder / L"out";
        options.engine = dist_file(L"engine.exe");
        auto built = qvoc::build_setup(options);
        ASSERT_TRUE(built) << built.error().describe();

        // The engine's copy of the package, prepared as the engine prepares it:
        // plain files with long names, its temp folder queued as MSINTEMP.
        fs::create_directories(m_folder / L"support");
        m_package = m_folder / L"support" / L"setup.msi";
        fs::copy_file(m_folder / L"out" / L"setup.msi", m_package);
        Result<msi::MsiHandle> database = msi::OpenDatabase(ansi(m_package), true);
        ASSERT_TRUE(database) << database.error().describe();
        Result<msi::MsiHandle> insert = msi::OpenView(
            *database, "INSERT INTO `Property` (`Property`, `Value`) VALUES ('MSINTEMP', '" + ansi(m_temp) + "\\')");
        ASSERT_TRUE(insert) << insert.error().describe();
        ASSERT_TRUE(msi::Execute(*insert));
        Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 1);
        ASSERT_TRUE(summary);
        ASSERT_TRUE(msi::SetSummaryInteger(*summary, msi::summary_word_count, 8));
        ASSERT_TRUE(msi::PersistSummary(*summary));
        ASSERT_TRUE(msi::Commit(*database));
        ASSERT_TRUE(msi::SetInternalUI(msi::ui_level_none_with_source_resolution));
    }

    void TearDown() override
    {
        registry_delete_tree(HKEY_CURRENT_USER, L"Software\\Quillon Tests");
        registry_delete_tree(HKEY_CLASSES_ROOT, L".qvrows");
        registry_delete_tree(HKEY_CLASSES_ROOT, L"Quillon.RowsDocument");
        registry_delete_tree(HKEY_CLASSES_ROOT, L".qvadv");
        registry_delete_tree(HKEY_CLASSES_ROOT, L"Quillon.RowsAdvertised");
        registry_delete_tree(HKEY_LOCAL_MACHINE, odbc_driver_key);
        delete_service();
    }

    // The hand-over file of one run, as the installer thread writes it.
    void hand_over(bool with_registry)
    {
        std::string target = ansi(m_target);
        std::vector<msi::HandOverEntry> entries = {
            {"SourceDir", ansi(m_folder / L"out" / L"data") + "\\"},
            {"A0000A001", "TRUE"},
            {"P0000A001_1", target + "\\app"},
            {"A0000A002", "TRUE"},
            {"P0000A002_1", target + "\\logs"},
            {"A0000A004", "TRUE"},
            {"P0000A004_1", target + "\\menu"},
            {"P0000A004_2", target + "\\app\\app.txt"},
            {"P0000A004_3", ""},
            {"P0000A004_4", target + "\\app"},
        };
        if (with_registry) {
            entries.push_back({"A0000A003", "TRUE"});
            entries.push_back({"P0000A003_3", target});
            entries.push_back({"A0000A005", "TRUE"});
            entries.push_back({"P0000A005_1", target});
            entries.push_back({"A0000A006", "TRUE"});
            entries.push_back({"P0000A006_1", target + "\\app\\app.ini"});
            entries.push_back({"P0000A006_2", "Main"});
            entries.push_back({"P0000A006_3", "Folder"});
            entries.push_back({"P0000A006_4", target});
            std::string outside = ansi(m_outside);
            entries.insert(entries.end(), {
                                              {"A0000A007", "TRUE"},
                                              {"P0000A007_1", outside + "\\settings.txt"},
                                              {"P0000A007_2", target + "\\conf"},
                                              {"A0000A008", "TRUE"},
                                              {"P0000A008_1", outside + "\\move-me.txt"},
                                              {"P0000A008_2", target + "\\moved"},
                                              {"A0000A009", "TRUE"},
                                              {"P0000A009_1", outside + "\\stale.log"},
                                              {"A0000A00A", "TRUE"},
                                              {"P0000A00A_1", target + "\\app\\cache.dat"},
                                              {"A0000A00B", "TRUE"},
                                              {"P0000A00B_1", target + "\\svc"},
                                              {"P0000A00B_2", "QuillonRowsService"},
                                              {"P0000A00B_3", "Quillon Rows Service"},
                                              {"P0000A00B_9", "Installed by the package rows test"},
                                              {"A0000A00C", "TRUE"},
                                              {"P0000A00C_1", "QuillonRowsService"},
                                              {"A0000A00D", "TRUE"},
                                              {"P0000A00D_1", "Quillon.RowsDocument"},
                                              {"P0000A00D_2", ".qvrows"},
                                              {"P0000A00D_3", "Quillon rows document"},
                                              {"P0000A00D_4", target + "\\app\\viewer.exe"},
                                              {"A0000A00E", "TRUE"},
                                              {"P0000A00E_1", target + "\\menu2"},
                                              {"P0000A00E_2", target + "\\app\\app.txt"},
                                              {"P0000A00E_3", ""},
                                              {"P0000A00E_4", ""},
                                              {"A0000A00F", "TRUE"},
                                              {"A0000A010", "TRUE"},
                                              {"P0000A010_1", target + "\\odbc"},
                                          });
        }
        write_bytes(m_temp / win32::to_wide(msi::HandOverFileName(product_code)), msi::ComposeHandOver(entries));
    }

    std::uint32_t run(const std::string& operation)
    {
        std::string data = ansi(m_folder / L"out" / L"data") + "\\";
        std::string command_line = operation + " ALLUSERS=\"\" SRCDIR=" + data + " SOURCELIST=" + data + ";" +
                                   ansi(m_folder / L"support") + "\\ REBOOT=R";
        std::string log = ansi(m_folder / L"install.log");
        EXPECT_TRUE(msi::EnableLog(msi::log_mode_all, log, msi::log_attributes));
        Result<std::uint32_t> result = msi::InstallProduct(ansi(m_package), command_line);
        EXPECT_TRUE(result) << result.error().describe();
        // The engine deletes the file after every run.
        fs::remove(m_temp / win32::to_wide(msi::HandOverFileName(product_code)));
        return result.value_or(0xFFFFFFFF);
    }

    void expect_removed()
    {
        EXPECT_NE(msi::QueryProductState(product_code), msi::product_installed);
        EXPECT_FALSE(fs::exists(m_target / L"app" / L"app.txt"));
        EXPECT_FALSE(fs::exists(m_target / L"app" / L"sub" / L"Guide Book.txt"));
        EXPECT_FALSE(fs::exists(m_target / L"logs"));
        EXPECT_FALSE(fs::exists(m_target / L"menu" / L"Open App.lnk"));
        EXPECT_FALSE(fs::exists(m_target / L"menu2" / L"Open App Advertised.lnk"));
        EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, registry_key, L"Folder"));
        EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, L"Environment", L"QUILLON_ROWS_HOME"));
        wchar_t value[MAX_PATH] = L"";
        GetPrivateProfileStringW(L"Main", L"Folder", L"", value, MAX_PATH, (m_target / L"app" / L"app.ini").c_str());
        EXPECT_EQ(std::wstring(value), L"");
        EXPECT_FALSE(fs::exists(m_target / L"conf" / L"copied.txt"));
        EXPECT_FALSE(fs::exists(m_target / L"app" / L"cache.dat"));
        EXPECT_FALSE(fs::exists(m_target / L"svc" / L"qservice.exe"));
        EXPECT_TRUE(pump_until([] { return service_state() == 0; }, 30s)) << service_state();
        EXPECT_FALSE(registry_string(HKEY_CLASSES_ROOT, L".qvrows", L""));
        EXPECT_FALSE(registry_string(HKEY_CLASSES_ROOT, L".qvadv", L""));
        EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, odbc_driver_key));
        EXPECT_FALSE(registry_string(HKEY_CLASSES_ROOT, L"Quillon.RowsDocument\\shell\\open\\command", L""));
    }

    fs::path m_folder;
    fs::path m_outside;
    fs::path m_target;
    fs::path m_temp;
    fs::path m_package;
};

TEST_F(PackageRowsInstall, RecordedCommandsInstallAndAreRemovedThroughTheHandOverAction)
{
    hand_over(true);
    ASSERT_EQ(run("ADDLOCAL=ALL"), 0u) << "see " << (m_folder / L"install.log").string();
    EXPECT_EQ(msi::QueryProductState(product_code), msi::product_installed);
    EXPECT_EQ(read_file_bytes(m_target / L"app" / L"app.txt"), "the program");
    EXPECT_EQ(read_file_bytes(m_target / L"app" / L"sub" / L"Guide Book.txt"), "the guide");
    EXPECT_TRUE(fs::is_directory(m_target / L"logs"));
    EXPECT_EQ(registry_string(HKEY_CURRENT_USER, registry_key, L"Folder"), m_target.wstring());
    EXPECT_TRUE(fs::is_regular_file(m_target / L"menu" / L"Open App.lnk"));
    EXPECT_EQ(registry_string(HKEY_CURRENT_USER, L"Environment", L"QUILLON_ROWS_HOME"), m_target.wstring());
    // The INI entry, in the file the recorded path names (its folder from the hand-over action).
    wchar_t value[MAX_PATH] = L"";
    GetPrivateProfileStringW(L"Main", L"Folder", L"", value, MAX_PATH, (m_target / L"app" / L"app.ini").c_str());
    EXPECT_EQ(std::wstring(value), m_target.wstring());
    // Copied under its new name, moved, and deleted when installed.
    EXPECT_EQ(read_file_bytes(m_target / L"conf" / L"copied.txt"), "the settings");
    EXPECT_EQ(read_file_bytes(m_outside / L"settings.txt"), "the settings");
    EXPECT_EQ(read_file_bytes(m_target / L"moved" / L"move-me.txt"), "moving");
    EXPECT_FALSE(fs::exists(m_outside / L"move-me.txt"));
    EXPECT_FALSE(fs::exists(m_outside / L"stale.log"));
    // The service is installed with its program, and started by the control command.
    EXPECT_TRUE(fs::is_regular_file(m_target / L"svc" / L"qservice.exe"));
    EXPECT_TRUE(pump_until([] { return service_state() == SERVICE_RUNNING; }, 30s)) << service_state();
    // The file types, read through the merged view of the classes: Windows
    // writes a per-user installation's into the user's classes, Wine into
    // the machine's.
    EXPECT_EQ(registry_string(HKEY_CLASSES_ROOT, L".qvrows", L""), L"Quillon.RowsDocument");
    EXPECT_EQ(registry_string(HKEY_CLASSES_ROOT, L"Quillon.RowsDocument", L""), L"Quillon rows document");
    EXPECT_EQ(registry_string(HKEY_CLASSES_ROOT, L"Quillon.RowsDocument\\shell\\open\\command", L""),
              L"\"" + (m_target / L"app" / L"viewer.exe").wstring() + L"\" \"%1\"");
    // The advertised shortcut, through its own feature.
    EXPECT_TRUE(fs::is_regular_file(m_target / L"menu2" / L"Open App Advertised.lnk"));
    EXPECT_EQ(registry_string(HKEY_CLASSES_ROOT, L".qvadv", L""), L"Quillon.RowsAdvertised");
    // The ODBC driver, registered where it was installed.
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, odbc_driver_key, L"Driver"),
              (m_target / L"odbc" / L"qvdriver.dll").wstring());
    // A file the program made: deleted when the product is removed.
    write_bytes(m_target / L"app" / L"cache.dat", "cached");

    hand_over(true);
    ASSERT_EQ(run("REMOVE=ALL"), 0u) << "see " << (m_folder / L"install.log").string();
    expect_removed();
    // The moved file was the machine's own before: it stays where it went.
    EXPECT_EQ(read_file_bytes(m_target / L"moved" / L"move-me.txt"), "moving");
}

TEST_F(PackageRowsInstall, ACommandThatWasNotRecordedLeavesItsRowsOff)
{
    hand_over(false);
    ASSERT_EQ(run("ADDLOCAL=ALL"), 0u) << "see " << (m_folder / L"install.log").string();
    EXPECT_EQ(read_file_bytes(m_target / L"app" / L"app.txt"), "the program");
    EXPECT_TRUE(fs::is_directory(m_target / L"logs"));
    EXPECT_FALSE(registry_key_exists(HKEY_CURRENT_USER, registry_key));
    EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, L"Environment", L"QUILLON_ROWS_HOME"));
    EXPECT_TRUE(fs::exists(m_outside / L"move-me.txt"));
    EXPECT_TRUE(fs::exists(m_outside / L"stale.log"));
    EXPECT_FALSE(fs::exists(m_target / L"svc"));
    EXPECT_EQ(service_state(), 0u);
    EXPECT_FALSE(registry_key_exists(HKEY_CLASSES_ROOT, L".qvrows"));
    EXPECT_FALSE(fs::exists(m_target / L"menu2"));

    hand_over(false);
    ASSERT_EQ(run("REMOVE=ALL"), 0u);
    expect_removed();
}

TEST_F(PackageRowsInstall, WithoutTheHandOverFileTheRowsStayOff)
{
    ASSERT_EQ(run("ADDLOCAL=ALL"), 0u) << "see " << (m_folder / L"install.log").string();
    EXPECT_EQ(msi::QueryProductState(product_code), msi::product_installed);
    EXPECT_FALSE(fs::exists(m_target));
    EXPECT_FALSE(registry_key_exists(HKEY_CURRENT_USER, registry_key));
    ASSERT_EQ(run("REMOVE=ALL"), 0u);
    EXPECT_NE(msi::QueryProductState(product_code), msi::product_installed);
}

} // namespace
} // namespace quillon::test
