#include "base/strings.h"
#include "qvoc/build.h"
#include "qvoc/compile.h"
#include "qvoc/package_rows.h"
#include "qvoc_test_support.h"
#include "script/test_pe.h"

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

// "@" in an expected field stands for the command's media header.
Row with_header(const Row& row, const std::string& h)
{
    Row filled;
    for (const std::string& field : row)
        filled.push_back(replace_all(field, "@", h));
    return filled;
}

TEST(PackageRows, CopyMoveLocalFilesRowsCopyOrMoveFromTheRecordedSource)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 4 as text lines
        Row move;                    // MoveFile row; empty: an error
        Row removal;                 // RemoveFile row of a copy, empty when there is none
    };
    const Case cases[] = {
        {"| C:\\Data\\settings.txt\n|\n| $TARGETDIR$\\conf\n|\n",
         {"M@", "C@", "", "", "P@_1", "P@_2", "0"},
         {"X@", "C@", "settings.txt", "P@_2", "2"}},
        // A pattern is looked for in the recorded path's folder; moved files stay.
        {"| $SOURCE$\\*.log\n|\n| $TARGETDIR$\\logs\n| TRUE\n", {"M@", "C@", "*.log", "", "P@_1D", "P@_2", "1"}, {}},
        {"| $SOURCE$\\$NAME$.txt\n| new name.txt\n| $DEST$\n| FALSE\n",
         {"M@", "C@", "", "NEWNAM~1.TXT|new name.txt", "P@_1", "P@_2", "0"},
         {"X@", "C@", "NEWNAM~1.TXT|new name.txt", "P@_2", "2"}},
        // A copy whose name only the run knows cannot be named for the removal.
        {"| $SOURCE$\\$NAME$.txt\n|\n| $DEST$\n|\n", {"M@", "C@", "", "", "P@_1", "P@_2", "0"}, {}},
        {"| settings.txt\n|\n| C:\\x\n", {}, {}},
        {"| C:\\a.txt\n|\n|\n", {}, {}},
        {"| C:\\a.txt\n| a:b\n| C:\\x\n", {}, {}},
        {"| C:\\a.txt\n| $NEW$\n| C:\\x\n", {}, {}},
        {"| C:\\a.txt\n|\n| C:\\x\n| maybe\n", {}, {}},
        {"| C:\\*.txt\n| all.txt\n| C:\\x\n", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Copy/Move Local Files\n" + std::string(c.parameters), folder);
        if (c.move.empty()) {
            ASSERT_FALSE(built.rows);
            EXPECT_NE(built.rows.error().message.find("Copy/Move Local Files"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        ASSERT_EQ(built.rows->move_files.size(), 1u);
        EXPECT_EQ(built.rows->move_files[0], with_header(c.move, h));
        if (c.removal.empty())
            EXPECT_TRUE(built.rows->remove_files.empty());
        else
            EXPECT_EQ(built.rows->remove_files, std::vector<Row>{with_header(c.removal, h)});
        ASSERT_EQ(built.rows->components.size(), 1u);
        EXPECT_EQ(built.rows->components[0][4], "A" + h);
    }
}

TEST(PackageRows, DeleteFilesRowsRemoveTheRecordedFilesWhenInstalledOrRemoved)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 4 as text lines
        std::string name, mode;      // empty name: an error
    };
    const Case cases[] = {
        {"| $TARGETDIR$\\old.log\n|\n| TRUE\n|\n", "old.log", "1"},
        {"| C:\\T\\*.tmp\n|\n| FALSE\n| true\n", "*.tmp", "2"},
        {"| C:\\T\\cache?.dat\n|\n| -1\n| TRUE\n", "cache?.dat", "3"},
        {"| C:\\T\\old cache*.dat\n|\n|\n| TRUE\n", "OLDCAC~1.DAT|old cache*.dat", "2"},
        {"| C:\\T\\old.log\n|\n| FALSE\n| FALSE\n", "", ""},
        {"| $TARGETDIR$\\$NAME$\n|\n| TRUE\n", "", ""},
        {"| C:\\T\\\n|\n| TRUE\n", "", ""},
        {"| C:\\T\\old.log\n|\n| yes\n", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Delete Files\n" + std::string(c.parameters), folder);
        if (c.name.empty()) {
            ASSERT_FALSE(built.rows);
            EXPECT_NE(built.rows.error().message.find("Delete Files"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        EXPECT_EQ(built.rows->remove_files, std::vector<Row>{with_header({"X@", "C@", c.name, "P@_1D", c.mode}, h)});
        ASSERT_EQ(built.rows->components.size(), 1u);
        EXPECT_EQ(built.rows->components[0][4], "A" + h);
    }
}

TEST(PackageRows, InstallServiceRowsInstallTheProgramAndTheServiceWithIt)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "svc" / "qservice.exe", "MZ service");
    // 1 program, 2 target, 3 start type, 4 name, 5 display name, 6 description, 7 process, 8 error control,
    // 9 group, 10 dependencies, 11 start, 12 wait, 13 account, 14 password, 15 arguments.
    Built full = rows_of("Install Service\n@media-folder = payload\\\n| svc\\qservice.exe\n| $TARGETDIR$\\svc\n"
                         "| auto\n| QuillonSvc\n| Quillon Service\n| Does things\n| shared\n| critical\n| Group\n"
                         "| RpcSs~Tcpip\n| TRUE\n| FALSE\n| .\\svcuser\n| $PASSWORD$\n| -run\n",
                         folder);
    ASSERT_TRUE(full.rows) << full.rows.error().message;
    const std::string& h = full.headers[0];
    const qvoc::PackageRows& rows = *full.rows;
    EXPECT_EQ(rows.service_installs,
              std::vector<Row>{with_header({"V@", "[P@_2]", "[P@_3]", "32", "2", "32771", "[P@_4]",
                                            "RpcSs[~]Tcpip[~][~]", "[P@_6]", "[P@_7]", "[P@_8]", "C@", "[P@_9]"},
                                           h)});
    // Stopped before the program is replaced, started, stopped and deleted with the product.
    EXPECT_EQ(rows.service_controls, std::vector<Row>{with_header({"W@", "[P@_2]", "163", "", "0", "C@"}, h)});
    EXPECT_EQ(rows.hidden_properties, std::vector<std::string>{"P" + h + "_7"});
    // The program comes from the media folder into the recorded target, and is the component's key path.
    ASSERT_EQ(rows.files.size(), 1u);
    EXPECT_EQ(rows.files[0][0], "F" + h + "_1");
    EXPECT_EQ(rows.files[0][2], "qservice.exe");
    EXPECT_EQ(rows.files[0][3], "10");
    ASSERT_EQ(rows.components.size(), 1u);
    EXPECT_EQ(rows.components[0][0], "C" + h);
    EXPECT_EQ(rows.components[0][2], "P" + h + "_1");
    EXPECT_EQ(rows.components[0][4], "A" + h);
    EXPECT_EQ(rows.components[0][5], "F" + h + "_1");
    ASSERT_EQ(rows.directories.size(), 3u);
    EXPECT_EQ(rows.directories[1][2], ".:svc");
    EXPECT_EQ(rows.directories[2], (Row{"P" + h + "_1", rows.directories[1][0], "."}));

    // Left out: a demand start, no start now, the service manager's defaults (nulls) for the rest.
    Built plain = rows_of("Install Service\n@media-folder = payload\\\n| svc/qservice.exe\n| $TARGETDIR$\n|\n"
                          "| QuillonSvc\n",
                          folder);
    ASSERT_TRUE(plain.rows) << plain.rows.error().message;
    const std::string& p = plain.headers[0];
    EXPECT_EQ(plain.rows->service_installs,
              std::vector<Row>{with_header({"V@", "[P@_2]", "", "16", "3", "32769", "", "", "", "", "", "C@", ""}, p)});
    EXPECT_EQ(plain.rows->service_controls, std::vector<Row>{with_header({"W@", "[P@_2]", "162", "", "1", "C@"}, p)});
    EXPECT_TRUE(plain.rows->hidden_properties.empty());

    const std::string_view errors[] = {
        "| svc\\missing.exe\n| $TARGETDIR$\n|\n| S\n",
        "|\n| $TARGETDIR$\n|\n| S\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n|\n|\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n| boot\n| S\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n|\n| S\n|\n|\n| kernel\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n|\n| S\n|\n|\n|\n| severe\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n|\n| S\n|\n|\n|\n|\n|\n| $DEPENDS$\n",
        "| svc\\qservice.exe\n| $TARGETDIR$\n|\n| S\n|\n|\n|\n|\n|\n|\n| soon\n",
    };
    for (std::string_view parameters : errors) {
        SCOPED_TRACE(parameters);
        Built built = rows_of("Install Service\n@media-folder = payload\\\n" + std::string(parameters), folder);
        ASSERT_FALSE(built.rows);
        EXPECT_NE(built.rows.error().message.find("Install Service"), std::string::npos);
    }
}

TEST(PackageRows, ControlServiceRowsNameTheEventsWhenInstalledAndRemoved)
{
    fs::path folder = scratch_folder();
    struct Case {
        std::string_view parameters; // 1 to 5 as text lines
        Row control;                 // empty: an error
    };
    const Case cases[] = {
        {"| $SERVICE$\n|\n| start\n| stop, delete\n", {"W@", "[P@_1]", "161", "", "1", "C@"}},
        {"| Spooler\n| -verbose\n| STOP start\n|\n| false\n", {"W@", "[P@_1]", "3", "[P@_2]", "0", "C@"}},
        {"| Spooler\n|\n| delete\n| start\n", {"W@", "[P@_1]", "24", "", "1", "C@"}},
        {"| Spooler\n|\n|\n|\n", {}},
        {"| Spooler\n|\n| restart\n", {}},
        {"|\n|\n| start\n", {}},
        {"| Spooler\n|\n| start\n|\n| later\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Built built = rows_of("Control Service\n" + std::string(c.parameters), folder);
        if (c.control.empty()) {
            ASSERT_FALSE(built.rows);
            EXPECT_NE(built.rows.error().message.find("Control Service"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(built.rows) << built.rows.error().message;
        const std::string& h = built.headers[0];
        EXPECT_EQ(built.rows->service_controls, std::vector<Row>{with_header(c.control, h)});
        EXPECT_TRUE(built.rows->service_installs.empty());
        ASSERT_EQ(built.rows->components.size(), 1u);
        EXPECT_EQ(built.rows->components[0][4], "A" + h);
    }
}

TEST(PackageRows, CreateFileTypeRowsRegisterTheRecordedTypeBelowTheClasses)
{
    fs::path folder = scratch_folder();
    Built full = rows_of("Create File Type\n| Quillon.Document\n| .qvd\n| Quillon document\n| $TARGETDIR$\\app.exe\n"
                         "| $TARGETDIR$\\app.exe,1\n",
                         folder);
    ASSERT_TRUE(full.rows) << full.rows.error().message;
    const std::string& h = full.headers[0];
    const std::vector<Row> expected = {
        with_header({"R@_1", "0", "[P@_2]", "", "[P@_1]", "C@"}, h),
        with_header({"R@_2", "0", "[P@_1]", "", "[P@_3]", "C@"}, h),
        with_header({"R@_3", "0", "[P@_1]\\shell\\open\\command", "", "\"[P@_4]\" \"%1\"", "C@"}, h),
        with_header({"R@_4", "0", "[P@_1]\\DefaultIcon", "", "[P@_5]", "C@"}, h),
    };
    EXPECT_EQ(full.rows->registry, expected);
    ASSERT_EQ(full.rows->components.size(), 1u);
    EXPECT_EQ(full.rows->components[0][4], "A" + h);

    // Without a description and an icon, only the extension and the command.
    Built plain = rows_of("Create File Type\n| $TYPE$\n| $EXTENSION$\n|\n| C:\\Tools\\view.exe\n", folder);
    ASSERT_TRUE(plain.rows) << plain.rows.error().message;
    ASSERT_EQ(plain.rows->registry.size(), 2u);
    EXPECT_EQ(plain.rows->registry[1][2], "[P" + plain.headers[0] + "_1]\\shell\\open\\command");

    const std::string_view errors[] = {
        "|\n| .qvd\n|\n| C:\\view.exe\n",
        "| Quillon.Document\n| qvd\n|\n| C:\\view.exe\n",
        "| Quillon.Document\n| .qvd\n|\n|\n",
        "| Quillon[1]\n| .qvd\n|\n| C:\\view.exe\n",
    };
    for (std::string_view parameters : errors) {
        SCOPED_TRACE(parameters);
        Built built = rows_of("Create File Type\n" + std::string(parameters), folder);
        ASSERT_FALSE(built.rows);
        EXPECT_NE(built.rows.error().message.find("Create File Type"), std::string::npos);
    }
}

TEST(PackageRows, AdvertisedShortcutsStartTheFeatureOfTheInstalledFile)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "bin" / "app.exe", "MZ program");
    write_file(folder / "payload" / "bin" / "tool.exe", "MZ tool");
    write_file(folder / "payload" / "svc" / "service.exe", "MZ service");
    // The shortcuts may come before the commands that install their targets.
    Built built = rows_of("Advertised Shortcut\n| $TARGETDIR$\\Bin\\app.exe\n| Run App\n| $MENU$\n| Starts it\n"
                          "| -go\n| $TARGETDIR$\n"
                          "Install Files\n@media-folder = payload\\\n| bin\n|\n| $TARGETDIR$\\bin\\\n"
                          "Install Service\n@media-folder = payload\\\n| svc\\service.exe\n| $TARGETDIR$\\svc\n|\n"
                          "| S\n"
                          "Advertised Shortcut\n| $TARGETDIR$\\svc\\service.exe\n| Service\n| $MENU$\n|\n",
                          folder);
    ASSERT_TRUE(built.rows) << built.rows.error().message;
    const qvoc::PackageRows& rows = *built.rows;
    auto component_of = [&](const std::string& file_name) {
        for (const Row& file : rows.files)
            if (file[2] == file_name)
                return file[1];
        return std::string();
    };
    const std::string& first = built.headers[0];
    const std::string& last = built.headers[3];
    ASSERT_EQ(rows.shortcuts.size(), 2u);
    EXPECT_EQ(rows.shortcuts[0], with_header({"K@", "P@_1", "RUNAPP~1|Run App", component_of("app.exe"), "T@", "[P@_3]",
                                              "Starts it", "", "", "", "", "P@_4"},
                                             first));
    EXPECT_EQ(rows.shortcuts[1][3], component_of("service.exe"));
    EXPECT_EQ(rows.shortcuts[1][4], "T" + last);
    // A feature of its own, switched off unless the command was recorded, holds the target.
    EXPECT_EQ(rows.features[0], with_header({"T@", "Product", "T@", "", "0", "1", "", "0"}, first));
    EXPECT_EQ(rows.conditions,
              (std::vector<Row>{{"T" + first, "0", "NOT A" + first}, {"T" + last, "0", "NOT A" + last}}));
    EXPECT_NE(std::find(rows.feature_components.begin(), rows.feature_components.end(),
                        Row{"T" + first, component_of("app.exe")}),
              rows.feature_components.end());
    // Its folder comes and goes with the recorded command.
    EXPECT_NE(std::find(rows.create_folders.begin(), rows.create_folders.end(), Row{"P" + first + "_1", "C" + first}),
              rows.create_folders.end());

    for (std::string_view target : {"$TARGETDIR$\\bin\\missing.exe", "C:\\Windows\\notepad.exe", ""}) {
        SCOPED_TRACE(target);
        Built missing = rows_of("Install Files\n@media-folder = payload\\\n| bin\n|\n| $TARGETDIR$\n"
                                "Advertised Shortcut\n| " +
                                    std::string(target) + "\n| Run\n| $MENU$\n|\n",
                                folder);
        ASSERT_FALSE(missing.rows);
        EXPECT_NE(missing.rows.error().message.find("Advertised Shortcut"), std::string::npos);
    }
}

TEST(PackageRows, AdvertisedFileTypesRegisterTheInstalledProgramThroughTheirFeature)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "view.exe", "MZ viewer");
    const std::string install = "Install Files\n@media-folder = payload\\\n|\n|\n| $TARGETDIR$\n";
    Built built = rows_of(install + "Advertised File Type\n| Quillon.Picture\n| .qvp\n| Quillon picture\n"
                                    "| $TARGETDIR$\\view.exe\n",
                          folder);
    ASSERT_TRUE(built.rows) << built.rows.error().message;
    const qvoc::PackageRows& rows = *built.rows;
    const std::string& h = built.headers[1];
    const std::string& viewer = rows.files[0][1];
    EXPECT_EQ(rows.prog_ids, (std::vector<Row>{{"Quillon.Picture", "", "", "Quillon picture", "", ""}}));
    EXPECT_EQ(rows.extensions, (std::vector<Row>{{"qvp", viewer, "Quillon.Picture", "", "T" + h}}));
    EXPECT_EQ(rows.verbs, (std::vector<Row>{{"qvp", "open", "", "", "\"%1\""}}));
    EXPECT_EQ(rows.conditions, (std::vector<Row>{{"T" + h, "0", "NOT A" + h}}));
    EXPECT_NE(std::find(rows.feature_components.begin(), rows.feature_components.end(), Row{"T" + h, viewer}),
              rows.feature_components.end());

    const std::string_view errors[] = {
        "Advertised File Type\n| Quillon.Picture\n| qvp\n|\n| $TARGETDIR$\\view.exe\n",
        "Advertised File Type\n| Quillon.Picture\n| .q v\n|\n| $TARGETDIR$\\view.exe\n",
        "Advertised File Type\n| $TYPE$\n| .qvp\n|\n| $TARGETDIR$\\view.exe\n",
        "Advertised File Type\n| Quillon.Picture\n| .qvp\n|\n| $TARGETDIR$\\edit.exe\n",
        "Advertised File Type\n| A.One\n| .qvp\n|\n| $TARGETDIR$\\view.exe\n"
        "Advertised File Type\n| A.Two\n| .QVP\n|\n| $TARGETDIR$\\view.exe\n",
    };
    for (std::string_view commands : errors) {
        SCOPED_TRACE(commands);
        Built failed = rows_of(install + std::string(commands), folder);
        ASSERT_FALSE(failed.rows);
        EXPECT_NE(failed.rows.error().message.find("Advertised File Type"), std::string::npos);
    }
}

TEST(PackageRows, OdbcRowsInstallTheDriverWithItsFilesAndTheDataSource)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "odbc" / "qvdriver.dll", "MZ driver");
    write_file(folder / "payload" / "odbc" / "qvsetup.dll", "MZ setup");
    write_file(folder / "payload" / "other" / "elsewhere.dll", "MZ");
    Built built = rows_of("Install ODBC Driver\n@media-folder = payload\\\n| odbc\\qvdriver.dll\n| Quillon Driver\n"
                          "| odbc\\qvsetup.dll\n| $TARGETDIR$\\odbc\n"
                          "Create ODBC DSN\n| Quillon Data\n| Quillon Driver\n| TRUE\n"
                          "Create ODBC DSN\n| My Data\n| Quillon Driver\n",
                          folder);
    ASSERT_TRUE(built.rows) << built.rows.error().message;
    const qvoc::PackageRows& rows = *built.rows;
    const std::string& h = built.headers[0];
    EXPECT_EQ(rows.odbc_drivers, std::vector<Row>{with_header({"O@", "C@", "Quillon Driver", "F@_1", "F@_2"}, h)});
    ASSERT_EQ(rows.files.size(), 2u);
    EXPECT_EQ(rows.files[0][2], "qvdriver.dll");
    EXPECT_EQ(rows.files[1][2], "qvsetup.dll");
    EXPECT_EQ(rows.components[0][5], "F" + h + "_1") << "the driver is the key path";
    EXPECT_EQ(rows.components[0][2], "P" + h + "_1");
    EXPECT_EQ(rows.odbc_data_sources,
              (std::vector<Row>{with_header({"N@", "C@", "Quillon Data", "Quillon Driver", "0"}, built.headers[1]),
                                with_header({"N@", "C@", "My Data", "Quillon Driver", "1"}, built.headers[2])}));

    // A driver that is its own setup names itself.
    Built own = rows_of("Install ODBC Driver\n@media-folder = payload\\\n| odbc\\qvdriver.dll\n| D\n"
                        "| odbc\\qvdriver.dll\n| $TARGETDIR$\n",
                        folder);
    ASSERT_TRUE(own.rows) << own.rows.error().message;
    EXPECT_EQ(own.rows->odbc_drivers[0][4], own.rows->odbc_drivers[0][3]);
    EXPECT_EQ(own.rows->files.size(), 1u);

    const std::string_view errors[] = {
        "Install ODBC Driver\n@media-folder = payload\\\n| odbc\\missing.dll\n| D\n|\n| $TARGETDIR$\n",
        "Install ODBC Driver\n@media-folder = payload\\\n| odbc\\qvdriver.dll\n|\n|\n| $TARGETDIR$\n",
        "Install ODBC Driver\n@media-folder = payload\\\n| odbc\\qvdriver.dll\n| D\n| other\\elsewhere.dll\n"
        "| $TARGETDIR$\n",
        "Install ODBC Driver\n| odbc\\qvdriver.dll\n| D\n|\n| $TARGETDIR$\n",
        "Create ODBC DSN\n| $NAME$\n| D\n",
        "Create ODBC DSN\n| Data\n|\n",
        "Create ODBC DSN\n| Data\n| D\n| machine\n",
    };
    for (std::string_view commands : errors) {
        SCOPED_TRACE(commands);
        Built failed = rows_of(std::string(commands), folder);
        ASSERT_FALSE(failed.rows);
        EXPECT_NE(failed.rows.error().message.find("ODBC"), std::string::npos);
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

// The other files of a folder share one component; programs, libraries and
// advertised files are each a component's key path; the shared component's
// identity follows the names it holds.
TEST(PackageRows, FilesOfAFolderShareAComponentExceptProgramsAndAdvertisedFiles)
{
    fs::path folder = scratch_folder();
    write_file(folder / "payload" / "a.txt", "a");
    write_file(folder / "payload" / "app.exe", "MZ program");
    write_file(folder / "payload" / "b.ini", "b");
    write_file(folder / "payload" / "c.doc", "c");
    write_file(folder / "payload" / "sub" / "d.txt", "d");
    auto build = [&](const std::string& extra) {
        return rows_of("Install Files\n@media-folder = payload\\\n|\n|\n| $TARGETDIR$\\app\n" + extra, folder);
    };
    // The component of each file by name, and each component's key path.
    auto layout = [](const qvoc::PackageRows& rows) {
        std::map<std::string, std::string> of_file, key_path, guid;
        for (const Row& file : rows.files)
            of_file[file[2]] = file[1];
        for (const Row& component : rows.components) {
            key_path[component[0]] = component[5];
            guid[component[0]] = component[1];
        }
        return std::tuple(of_file, key_path, guid);
    };

    Built plain = build("");
    ASSERT_TRUE(plain.rows) << plain.rows.error().message;
    auto [of_file, key_path, guid] = layout(*plain.rows);
    EXPECT_EQ(of_file["a.txt"], of_file["b.ini"]);
    EXPECT_EQ(of_file["a.txt"], of_file["c.doc"]);
    EXPECT_NE(of_file["a.txt"], of_file["app.exe"]);
    EXPECT_NE(of_file["a.txt"], of_file["d.txt"]) << "a folder of its own";
    EXPECT_EQ(plain.rows->components.size(), 3u);
    // Each component's key path is one of its own files, the program itself.
    for (const Row& file : plain.rows->files) {
        if (file[2] == "app.exe" || file[2] == "a.txt" || file[2] == "d.txt") {
            EXPECT_EQ(key_path[file[1]], file[0]) << file[2];
        }
    }

    // An advertised document gets a component of its own.
    Built advertised = build("Advertised Shortcut\n| $TARGETDIR$\\app\\b.ini\n| Settings\n| $MENU$\n|\n");
    ASSERT_TRUE(advertised.rows) << advertised.rows.error().message;
    auto [adv_file, adv_key, adv_guid] = layout(*advertised.rows);
    EXPECT_NE(adv_file["b.ini"], adv_file["a.txt"]);
    EXPECT_EQ(adv_file["a.txt"], adv_file["c.doc"]);
    for (const Row& file : advertised.rows->files) {
        if (file[2] == "b.ini") {
            EXPECT_EQ(adv_key[file[1]], file[0]);
        }
    }
    EXPECT_NE(adv_guid[adv_file["a.txt"]], guid[of_file["a.txt"]]) << "it holds other files now";

    // Another file in the folder: the shared component is a new one; the program's stays.
    write_file(folder / "payload" / "e.txt", "e");
    Built grown = build("");
    ASSERT_TRUE(grown.rows);
    auto [grown_file, grown_key, grown_guid] = layout(*grown.rows);
    EXPECT_NE(grown_guid[grown_file["a.txt"]], guid[of_file["a.txt"]]);
    EXPECT_EQ(grown_guid[grown_file["app.exe"]], guid[of_file["app.exe"]]);
    EXPECT_EQ(grown_guid[grown_file["d.txt"]], guid[of_file["d.txt"]]);
}

TEST(PackageRows, ProgramsWithAVersionResourceCarryTheirVersion)
{
    fs::path folder = scratch_folder();
    std::vector<std::byte> program = build_versioned_pe(pe32_plus_magic, 0x00020001, 0x00000007);
    write_file(folder / "payload" / "app.exe",
               std::string(reinterpret_cast<const char*>(program.data()), program.size()));
    write_file(folder / "payload" / "plain.dll", "MZ but no headers");
    write_file(folder / "payload" / "readme.txt", "text");
    write_file(folder / "payload" / "svc.exe",
               std::string(reinterpret_cast<const char*>(program.data()), program.size()));
    Built built = rows_of("Install Files\n@media-folder = payload\\\n|\n|\n| $TARGETDIR$\n"
                          "Install Service\n@media-folder = payload\\\n| svc.exe\n| $TARGETDIR$\n|\n| S\n",
                          folder);
    ASSERT_TRUE(built.rows) << built.rows.error().message;
    std::vector<std::pair<std::string, std::string>> versions;
    for (const Row& file : built.rows->files)
        versions.emplace_back(file[2], file[4]);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"app.exe", "2.1.0.7"}, {"plain.dll", ""}, {"readme.txt", ""}, {"svc.exe", "2.1.0.7"}, {"svc.exe", "2.1.0.7"}};
    EXPECT_EQ(versions, expected);
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
                                                             "| $TARGETDIR$\n"
                                                             "Copy/Move Local Files\n@header = 0000EEEE\n"
                                                             "| $OLD$\\settings.ini\n|\n| $TARGETDIR$\n|\n"
                                                             "Delete Files\n@header = 0000FFFF\n"
                                                             "| $TARGETDIR$\\*.tmp\n|\n| TRUE\n| TRUE\n"
                                                             "Install Service\n@media-folder = payload\\\n"
                                                             "@header = 00001111\n| app.exe\n| $TARGETDIR$\\svc\n"
                                                             "| auto\n| AppService\n|\n|\n|\n|\n|\n|\n| TRUE\n"
                                                             "|\n| .\\user\n| $PASSWORD$\n"
                                                             "Control Service\n@header = 00002222\n| Spooler\n|\n"
                                                             "| stop\n| start\n"
                                                             "Advertised Shortcut\n@header = 00003333\n"
                                                             "| $TARGETDIR$\\app.exe\n| App\n| $MENU$\n|\n"
                                                             "Advertised File Type\n@header = 00004444\n"
                                                             "| Rows.Doc\n| .rwd\n| Rows document\n"
                                                             "| $TARGETDIR$\\app.exe\n"
                                                             "Install ODBC Driver\n@media-folder = payload\\\n"
                                                             "@header = 00005555\n| app.exe\n| Rows Driver\n|\n"
                                                             "| $TARGETDIR$\\odbc\n"
                                                             "Create ODBC DSN\n@header = 00006666\n| Rows Data\n"
                                                             "| Rows Driver\n| TRUE\n");
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
        {"Media", "1\t4\t\t\t\t\r\n"},
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
        {"MoveFile", "M0000EEEE\tC0000EEEE\t\t\tP0000EEEE_1\tP0000EEEE_2\t0\r\n"},
        {"RemoveFile", "X0000EEEE\tC0000EEEE\tsettings.ini\tP0000EEEE_2\t2\r\n"},
        {"RemoveFile", "X0000FFFF\tC0000FFFF\t*.tmp\tP0000FFFF_1D\t3\r\n"},
        {"ServiceInstall", "V00001111\t[P00001111_2]\t\t16\t2\t32769\t\t\t[P00001111_6]\t[P00001111_7]\t\t"
                           "C00001111\t\r\n"},
        {"ServiceControl", "W00001111\t[P00001111_2]\t163\t\t1\tC00001111\r\n"},
        {"ServiceControl", "W00002222\t[P00002222_1]\t18\t\t1\tC00002222\r\n"},
        {"Property", "MsiHiddenProperties\tP00001111_7\r\n"},
        {"InstallExecuteSequence", "MoveFiles\t\t3800\r\n"},
        {"InstallExecuteSequence", "StopServices\t\t1900\r\n"},
        {"InstallExecuteSequence", "DeleteServices\t\t2000\r\n"},
        {"InstallExecuteSequence", "InstallServices\t\t5800\r\n"},
        {"InstallExecuteSequence", "StartServices\t\t5900\r\n"},
        {"Feature", "T00003333\tProduct\tT00003333\t\t0\t1\t\t0\r\n"},
        {"Condition", "T00003333\t0\tNOT A00003333\r\n"},
        {"ProgId", "Rows.Doc\t\t\tRows document\t\t\r\n"},
        {"Extension", "rwd\tC0000AAAA_1\tRows.Doc\t\tT00004444\r\n"},
        {"Verb", "rwd\topen\t\t\t\"%1\"\r\n"},
        {"ODBCDriver", "O00005555\tC00005555\tRows Driver\tF00005555_1\t\r\n"},
        {"ODBCDataSource", "N00006666\tC00006666\tRows Data\tRows Driver\t0\r\n"},
        {"InstallExecuteSequence", "InstallODBC\t\t5400\r\n"},
        {"InstallExecuteSequence", "RegisterExtensionInfo\t\t4800\r\n"},
        {"FeatureComponents", "T00003333\tC0000AAAA_1\r\n"},
        {"Shortcut", "K00003333\tP00003333_1\tApp\tC0000AAAA_1\tT00003333\t\t\t\t\t\t\t\r\n"},
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
