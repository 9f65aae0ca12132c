#include "qvoc/build.h"
#include "qvoc/compile.h"
#include "qvoc/package_rows.h"
#include "qvoc_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace quillon::test {
namespace {

using Row = std::vector<std::string>;

const std::string setup_section = "[setup]\ntitle = Rows\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                                  "media-folder = payload\n";

struct Built {
    Result<qvoc::PackageRows> rows;
    std::vector<std::string> headers;
};

// The rows of a project whose [script] is script, with the media folder
// "payload" from folder.
Built rows_of(const std::string& script, const fs::path& folder, bool x64 = false)
{
    std::string text = setup_section + "[script]\n" + script;
    Result<qvoc::Project> project = qvoc::parse_project(text, "p.qvp", "p.qvp");
    EXPECT_TRUE(project) << project.error().message;
    Result<qvoc::CompiledProject> compiled = qvoc::compile_project(*project);
    EXPECT_TRUE(compiled) << compiled.error().message;
    Built built{qvoc::make_package_rows(*project, compiled->script, {{"payload", folder / "payload"}}, x64), {}};
    for (const auto& command : compiled->script.commands)
        built.headers.push_back(command.media_header);
    return built;
}

TEST(PackageRows, WriteRegistryRowsTakeTheAuthoredTextsOrTheRecordedProperty)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 5 as text lines
        Row expected;                // Root, Key, Name, Value; "h" stands for the header
    };
    const Case cases[] = {
        {"| 1\n|\n| Software\\Q\n| Name\n| plain text\n", {"1", "Software\\Q", "Name", "plain text"}},
        {"| 2\n| REG_SZ\n| Software\\$PRODUCT$\n| $NAME$\n| $TARGETDIR$\n", {"2", "[Ph_1]", "[Ph_2]", "[Ph_3]"}},
        {"| 0\n| reg_expand_sz\n| Software\\Q\n|\n| %PATH%\n", {"0", "Software\\Q", "", "#%%PATH%"}},
        {"| 3\n| REG_DWORD\n| Software\\Q\n| Count\n| -1\n", {"3", "Software\\Q", "Count", "#-1"}},
        {"| 1\n| REG_DWORD\n| Software\\Q\n| Count\n| $N$\n", {"1", "Software\\Q", "Count", "#[Ph_3]"}},
        // Brackets stay literal; a leading "#" stays text.
        {"| 1\n|\n| Software\\[x]\n| N\n| #5\n", {"1", "Software\\[\\[]x[\\]]", "N", "##5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Write Registry\n" + std::string(c.parameters), folder, true);
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        ASSERT_EQ(built.rows->registry.size(), 1u);
        Row expected = {"R" + h};
        for (std::string field : c.expected) {
            for (std::size_t at = field.find("Ph_"); at != std::string::npos; at = field.find("Ph_", at))
                field.replace(at + 1, 1, h);
            expected.push_back(field);
        }
        expected.push_back("C" + h);
        EXPECT_EQ(built.rows->registry[0], expected);
        ASSERT_EQ(built.rows->components.size(), 1u);
        const Row& component = built.rows->components[0];
        EXPECT_EQ(component[2], "TARGETDIR");
        EXPECT_EQ(component[3], "260") << "registry key path, 64-bit";
        EXPECT_EQ(component[4], "A" + h);
        EXPECT_EQ(component[5], "R" + h);
    }
}

TEST(PackageRows, SetEnvironmentRowsSetAddOrRemoveTheRecordedValue)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 4 as text lines
        std::string name, value;     // "h" stands for the header; empty name: an error
    };
    const Case cases[] = {
        {"| TOOLS_HOME\n| $TARGETDIR$\n", "=-TOOLS_HOME", "[Ph_1]"},
        {"| PATH\n| $TARGETDIR$bin\n| append\n| TRUE\n", "=-*PATH", "[~];[Ph_1]"},
        {"| PATH\n| $TARGETDIR$bin\n| Prepend\n| FALSE\n", "=-PATH", "[Ph_1];[~]"},
        {"| OLD_HOME\n|\n| remove\n", "!OLD_HOME", ""},
        {"| A=B\n| x\n", "", ""},
        {"| PATH\n| x\n| merge\n", "", ""},
        {"| PATH\n| x\n| set\n| maybe\n", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Set Environment\n" + std::string(c.parameters), folder);
        if (c.name.empty()) {
            ASSERT_FALSE(built.rows);
            EXPECT_NE(built.rows.error().message.find("Set Environment"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        std::string value = c.value;
        if (std::size_t at = value.find("Ph_"); at != std::string::npos)
            value.replace(at + 1, 1, h);
        ASSERT_EQ(built.rows->environment.size(), 1u);
        EXPECT_EQ(built.rows->environment[0], (Row{"E" + h, c.name, value, "C" + h}));
        ASSERT_EQ(built.rows->components.size(), 1u);
        EXPECT_EQ(built.rows->components[0][4], "A" + h);
    }
}

TEST(PackageRows, EditIniFileRowsNameTheFileAndReadTheRecordedValues)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 6 as text lines
        std::string file, action;    // empty file: an error
    };
    const Case cases[] = {
        {"| $TARGETDIR$\\app.ini\n|\n|\n| Main\n| Folder\n| $TARGETDIR$\n", "app.ini", "0"},
        {"| C:\\Data\\Tool Settings.ini\n| create\n|\n| Main\n| Key\n| v\n", "TOOLSE~1.INI|Tool Settings.ini", "1"},
        {"| $TARGETDIR$\\app.ini\n| TAG\n|\n| Main\n| List\n| one\n", "app.ini", "3"},
        {"| $TARGETDIR$\\$NAME$.ini\n|\n|\n| Main\n| Key\n| v\n", "", ""},
        {"| app.ini\n|\n|\n| Main\n| Key\n| v\n", "", ""},
        {"| $TARGETDIR$\\app.ini\n| merge\n|\n| Main\n| Key\n| v\n", "", ""},
        {"| $TARGETDIR$\\app.ini\n|\n|\n|\n| Key\n| v\n", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Edit INI File\n" + std::string(c.parameters), folder);
        if (c.file.empty()) {
            ASSERT_FALSE(built.rows);
            EXPECT_NE(built.rows.error().message.find("Edit INI File"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        ASSERT_EQ(built.rows->ini_files.size(), 1u);
        EXPECT_EQ(built.rows->ini_files[0], (Row{"I" + h, c.file, "P" + h + "_1D", "[P" + h + "_2]", "[P" + h + "_3]",
                                                 "[P" + h + "_4]", c.action, "C" + h}));
        ASSERT_EQ(built.rows->components.size(), 1u);
        EXPECT_EQ(built.rows->components[0][4], "A" + h);
    }
}

TEST(PackageRows, InstalledFilesComeFromTheMediaFolderAndGoToTheRecordedTarget)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "bin" / "app.exe", "MZ program");
    write_file(folder / "payload" / "bin" / "Read Me First.txt", "hello");
    write_file(folder / "payload" / "bin" / "plugins" / "one.dll", "MZ1");
    fs::create_directories(folder / "payload" / "bin" / "empty");
    write_file(folder / "payload" / "other.txt", "not installed");

    struct Case {
        std::string_view what;
        std::string_view parameters;
        std::vector<std::string> source_chain; // DefaultDir of the source folders
        std::vector<std::string> file_names;   // Filename column, in sequence order
        std::size_t subfolders;
    };
    const Case cases[] = {
        {"a folder with its subfolders",
         "| bin\n|\n| $TARGETDIR$\n",
         {".:payload", ".:bin"},
         {"README~1.TXT|Read Me First.txt", "app.exe", "one.dll"},
         2},
        {"a folder without them",
         "| bin\\\n| FALSE\n| $TARGETDIR$\n",
         {".:payload", ".:bin"},
         {"README~1.TXT|Read Me First.txt", "app.exe"},
         0},
        {"one file", "| bin/plugins/one.dll\n|\n| $TARGETDIR$\n", {".:payload", ".:bin", ".:plugins"}, {"one.dll"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Built built = rows_of("Install Files\n@media-folder = PAYLOAD\\\n" + std::string(c.parameters), folder);
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        const qvoc::PackageRows& rows = *built.rows;

        // The source chain from TARGETDIR, then the target keyed by the recorded property.
        std::string parent = "TARGETDIR";
        std::size_t index = 0;
        for (const std::string& default_dir : c.source_chain) {
            ASSERT_LT(index, rows.directories.size());
            EXPECT_EQ(rows.directories[index][1], parent);
            EXPECT_EQ(rows.directories[index][2], default_dir);
            parent = rows.directories[index++][0];
        }
        ASSERT_LT(index, rows.directories.size());
        EXPECT_EQ(rows.directories[index], (Row{"P" + h + "_1", parent, "."}));
        EXPECT_EQ(rows.directories.size(), index + 1 + c.subfolders);

        std::vector<std::string> names;
        for (std::size_t file = 0; file < rows.files.size(); ++file) {
            names.push_back(rows.files[file][2]);
            EXPECT_EQ(rows.files[file][7], std::to_string(file + 1)) << "sequence";
            EXPECT_EQ(rows.files[file][6], "8192") << "uncompressed";
        }
        EXPECT_EQ(names, c.file_names);
        EXPECT_EQ(rows.last_file_sequence, c.file_names.size());
        for (const Row& component : rows.components) {
            EXPECT_EQ(component[4], "A" + h);
            EXPECT_EQ(component[3], "0");
        }
        EXPECT_EQ(rows.feature_components.size(), rows.components.size());
    }

    // Sizes are the files' own, and the identities stay from build to build.
    Built first = rows_of("Install Files\n@media-folder = payload\\\n| bin\n|\n| $TARGETDIR$\n", folder);
    Built second = rows_of("Install Files\n@media-folder = payload\\\n| bin\n|\n| $TARGETDIR$\n", folder);
    ASSERT_TRUE(first.rows && second.rows);
    EXPECT_EQ(first.rows->files[1][3], "10");
    EXPECT_EQ(first.rows->components, second.rows->components);
    // The empty folder is created by a component of its own.
    ASSERT_EQ(first.rows->create_folders.size(), 1u);
    const Row& creates = first.rows->create_folders[0];
    auto component = std::find_if(first.rows->components.begin(), first.rows->components.end(),
                                  [&](const Row& row) { return row[0] == creates[1]; });
    ASSERT_NE(component, first.rows->components.end());
    EXPECT_EQ((*component)[2], creates[0]);
    EXPECT_EQ((*component)[5], "") << "the folder is the key path";
    auto empty = std::find_if(first.rows->directories.begin(), first.rows->directories.end(),
                              [&](const Row& row) { return row[0] == creates[0]; });
    ASSERT_NE(empty, first.rows->directories.end());
    EXPECT_EQ((*empty)[2], "empty");
}

TEST(PackageRows, ShortNamesAreMadeOnlyWhereNeeded)
{
    struct Case {
        std::string_view name;
        std::string_view expected;
    };
    const Case cases[] = {
        {"app.exe", "app.exe"},
        {"README", "README"},
        {"Read Me.txt", "README~1.TXT|Read Me.txt"},
        {"Read Me Too.txt", "README~2.TXT|Read Me Too.txt"},
        {"archive.tar.gz", "ARCHIV~1.GZ|archive.tar.gz"},
        {"   .txt", "_~1.TXT|   .txt"},
        {"longextension.html", "LONGEX~1.HTM|longextension.html"},
    };
    std::vector<std::string> taken;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(qvoc::installer_file_name(c.name, taken), c.expected);
    }
}

TEST(PackageRows, DisabledCommandsAndCommandsWithoutHeaderHaveNoRows)
{
    Built built = rows_of("Create Folder\n@disabled\n| $TARGETDIR$\nCreate Folder\n@header =\n| $TARGETDIR$\n"
                          "Set Variable\n| A\n| B\n",
                          scratch_folder());
    ASSERT_TRUE(built.rows);
    EXPECT_TRUE(built.rows->empty());
}

#ifndef _WIN32

std::string command_output(const std::string& command)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return output;
    std::array<char, 4096> buffer;
    while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), pipe.get()))
        output.append(buffer.data(), got);
    return output;
}

// What msitools reads back from a package qvoc builds: each table holds its
// rows, and the Binary row holds the library's bytes.
TEST(PackageRows, TheBuiltPackageHoldsTheRowsAndTheHandOverLibrary)
{
    fs::path folder = scratch_folder();
    write_file(folder / "engine" / "engine.exe", bare_engine_stub());
    write_file(folder / "engine" / "quillon_handover.dll", "MZ hand-over library stand-in");
    write_file(folder / "project" / "payload" / "app.exe", "MZ program");
    write_file(folder / "project" / "payload" / "docs" / "guide.txt", "guide");
    write_file(folder / "project" / "p.qvp", setup_section + "platform = x86\n[script]\n"
                                                             "Install Files\n@media-folder = payload\\\n@header = "
                                                             "0000AAAA\n|\n|\n| $TARGETDIR$\n"
                                                             "Create Folder\n@header = 0000BBBB\n| $TARGETDIR$\\logs\n"
                                                             "Write Registry\n@header = 0000CCCC\n| 1\n|\n"
                                                             "| Software\\Rows\n| Folder\n| $TARGETDIR$\n"
                                                             "Create Shortcut\n@header = 0000DDDD\n| $TARGETDIR$\\"
                                                             "app.exe\n| Run App\n| $MENU$\n| Starts it\n|\n"
                                                             "| $TARGETDIR$\n");
    qvoc::BuildOptions options;
    options.project = folder / "project" / "p.qvp";
    options.output_folder = folder / "out";
    options.engine = folder / "engine" / "engine.exe";
    auto built = qvoc::build_setup(options);
    ASSERT_TRUE(built) << built.error().describe();
    std::string package = "'" + (folder / "out" / "setup.msi").string() + "'";

    struct Case {
        std::string_view table;
        std::string_view row;
    };
    const Case cases[] = {
        {"Directory", "S0000AAAA_0\tTARGETDIR\t.:payload\r\n"},
        {"Directory", "P0000AAAA_1\tS0000AAAA_0\t.\r\n"},
        {"Directory", "D0000AAAA_2\tP0000AAAA_1\tdocs\r\n"},
        {"Directory", "P0000BBBB_1\tTARGETDIR\t.\r\n"},
        {"File", "F0000AAAA_1\tC0000AAAA_1\tapp.exe\t10\t\t\t8192\t1\r\n"},
        {"File", "F0000AAAA_3\tC0000AAAA_3\tguide.txt\t5\t\t\t8192\t2\r\n"},
        {"Media", "1\t2\t\t\t\t\r\n"},
        {"CreateFolder", "P0000BBBB_1\tC0000BBBB\r\n"},
        {"Registry", "R0000CCCC\t1\tSoftware\\Rows\tFolder\t[P0000CCCC_3]\tC0000CCCC\r\n"},
        {"FeatureComponents", "Product\tC0000CCCC\r\n"},
        {"Shortcut", "K0000DDDD\tP0000DDDD_1\tRUNAPP~1|Run App\tC0000DDDD\t[P0000DDDD_2]\t\tStarts it\t\t\t\t\t"
                     "P0000DDDD_4\r\n"},
        {"Directory", "P0000DDDD_4\tTARGETDIR\t.\r\n"},
        {"CreateFolder", "P0000DDDD_1\tC0000DDDD\r\n"},
        {"InstallExecuteSequence", "CreateShortcuts\t\t4500\r\n"},
        {"CustomAction", "QuillonHandOver\t1\tQuillonHandOver\tReadHandOver\r\n"},
        {"InstallExecuteSequence", "QuillonHandOver\t\t10\r\n"},
        {"InstallExecuteSequence", "InstallFiles\t\t4000\r\n"},
        {"InstallExecuteSequence", "WriteRegistryValues\t\t4700\r\n"},
        {"InstallExecuteSequence", "CreateFolders\t\t3700\r\n"},
        {"InstallExecuteSequence", "RemoveFiles\t\t3500\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        std::string table = command_output("msiinfo export " + package + " " + std::string(c.table) + " 2>&1");
        EXPECT_NE(table.find(c.row), std::string::npos) << table;
    }
    std::string components = command_output("msiinfo export " + package + " Component 2>&1");
    EXPECT_NE(components.find("\tP0000BBBB_1\t0\tA0000BBBB\t\r\n"), std::string::npos) << components;
    EXPECT_EQ(command_output("msiinfo extract " + package + " Binary.QuillonHandOver 2>&1"),
              "MZ hand-over library stand-in");
}

#endif

} // namespace
} // namespace quillon::test
