// A package the setup compiler writes for a project with installed files, a
// created folder, a registry value and a shortcut, run through the engine's msi.dll calls
// the way "Apply Changes" runs it: the package's own hand-over action reads
// the recorded properties from the hand-over file and switches the rows on,
// in the install run and in the removal run.
#include "harness/harness.h"
#include "msi/handover_file.h"
#include "msi/installer_api.h"
#include "platform/win32/wide.h"
#include "qvoc/build.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

const std::string product_code = "{6C1D2E3F-4A5B-4C6D-9E7F-8A9B0C1D2E3F}";
const std::wstring registry_key = L"Software\\Quillon Tests\\PackageRows";

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
        write_bytes(m_folder / L"project" / L"rows.qvp",
                    "[setup]\ntitle = Package Rows Test\nproduct-code = " + product_code +
                        "\npublisher = Quillon Tests\nmedia-folder = payload\n"
                        "[script]\n"
                        "Install Files\n@media-folder = payload\\\n@header = 0000A001\n|\n|\n| $TARGETDIR$\\app\n"
                        "Create Folder\n@header = 0000A002\n| $TARGETDIR$\\logs\n"
                        "Write Registry\n@header = 0000A003\n| 1\n|\n| Software\\Quillon Tests\\PackageRows\n"
                        "| Folder\n| $TARGETDIR$\n"
                        "Create Shortcut\n@header = 0000A004\n| $TARGETDIR$\\app\\app.txt\n| Open App\n"
                        "| $TARGETDIR$\\menu\n| The program\n|\n| $TARGETDIR$\\app\n"
                        "Set Environment\n@header = 0000A005\n| QUILLON_ROWS_HOME\n| $TARGETDIR$\n"
                        "Edit INI File\n@header = 0000A006\n| $TARGETDIR$\\app\\app.ini\n|\n|\n| Main\n| Folder\n"
                        "| $TARGETDIR$\n");
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

    void TearDown() override { registry_delete_tree(HKEY_CURRENT_USER, L"Software\\Quillon Tests"); }

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
        EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, registry_key, L"Folder"));
        EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, L"Environment", L"QUILLON_ROWS_HOME"));
        wchar_t value[MAX_PATH] = L"";
        GetPrivateProfileStringW(L"Main", L"Folder", L"", value, MAX_PATH, (m_target / L"app" / L"app.ini").c_str());
        EXPECT_EQ(std::wstring(value), L"");
    }

    fs::path m_folder;
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

    hand_over(true);
    ASSERT_EQ(run("REMOVE=ALL"), 0u);
    expect_removed();
}

TEST_F(PackageRowsInstall, ACommandThatWasNotRecordedLeavesItsRowsOff)
{
    hand_over(false);
    ASSERT_EQ(run("ADDLOCAL=ALL"), 0u) << "see " << (m_folder / L"install.log").string();
    EXPECT_EQ(read_file_bytes(m_target / L"app" / L"app.txt"), "the program");
    EXPECT_TRUE(fs::is_directory(m_target / L"logs"));
    EXPECT_FALSE(registry_key_exists(HKEY_CURRENT_USER, registry_key));
    EXPECT_FALSE(registry_string(HKEY_CURRENT_USER, L"Environment", L"QUILLON_ROWS_HOME"));

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
