// "Is MSI Setup Installed" through the loop, against the products a fake
// Windows Installer reports.
#include "interp_test_support.h"

namespace quillon::test {
namespace {

TEST(IsMsiSetupInstalled, AnswersTrueOrFalseAndAMissingInstallerIsARuntimeError)
{
    struct Case {
        std::string product;
        bool ran;
        std::string answer;
    };
    const Case cases[] = {
        {"{11111111-2222-3333-4444-555555555555}", true, "TRUE"},
        {"{99999999-2222-3333-4444-555555555555}", true, "FALSE"},
        {"{MISSING-MSI}", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        ScriptRun run({{"Is MSI Setup Installed", {"$CODE$", "Installed"}}, {"Set Variable", {"AFTER", "ran"}}},
                      {{"CODE", c.product}});
        run.host.installed_products.insert("{11111111-2222-3333-4444-555555555555}");
        EXPECT_EQ(run.run(), c.ran);
        EXPECT_EQ(run.var("INSTALLED"), c.answer);
        if (!c.ran) {
            ASSERT_EQ(run.host.errors.size(), 1u);
            EXPECT_NE(run.host.errors[0].find("Library not found: msi.dll"), std::string::npos) << run.host.errors[0];
            EXPECT_FALSE(run.vars.Exists("AFTER"));
        }
    }
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

using msi::InstallerOperation;

// Name/value pairs of a flat instance list.
std::vector<std::pair<std::string, std::string>> pairs_of(const std::vector<std::string>& list)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < list.size(); i += 2)
        pairs.emplace_back(list[i], list[i + 1]);
    return pairs;
}

std::string value_in(const msi::InstallerRequest& request, std::string_view name)
{
    for (const auto& [key, value] : pairs_of(request.properties))
        if (key == name)
            return value;
    return "(none)";
}

TEST(RecordedCommands, RecordTheirHeadersAndValuesForTheInstaller)
{
    ScriptRun run(
        {
            {"Set Variable", {"TARGETDIR", "C:\\\\Program Files\\\\App"}},
            {"Set Variable", {"NOTE", "one$NEWLINE$two"}},
            {"If", {"TARGETDIR", "0", "nowhere", "FALSE"}},
            {"Install Files", {"bin", "", "$TARGETDIR$\\Skipped"}, false, "", "0000000A"},
            {"End"},
            {"Install Files", {"bin", "", "$TARGETDIR$\\\\bin"}, false, "", "0A1B2C3D"},
            {"Write Registry", {"2", "Software\\App", "Plain", "$NOTE$", "it's"}, false, "", "11111111"},
            {"Create Shortcut",
             {"$TARGETDIR$\\app.exe", "Uninstall Product", "C:\\Menu", "Removes it", "", "", "", "|App.Id", "|7X"},
             false,
             "",
             "22222222"},
            {"Install Service",
             {"", "svc", "", "Service", "Display", "Desc", "", "", "C:\\svc.exe", "a~b", "", "", "1", "2", "3"},
             false,
             "",
             "33333333"},
            {"Create Folder", {"$TARGETDIR$\\\\Logs"}, false, "", "44444444"},
            {"Apply Changes", {"", "RESULT", "TRUE", "FALSE"}},
        },
        {{"TEMPDIR", "C:\\Temp\\"}, {"DATADIR", "C:\\Setup\\data\\"}});
    ASSERT_TRUE(run.run()) << (run.host.errors.empty() ? "" : run.host.errors[0]);
    ASSERT_EQ(run.host.installer_runs.size(), 1u);
    const msi::InstallerRequest& request = run.host.installer_runs[0];

    // The branch not taken recorded nothing; the others in script order.
    std::vector<std::string> names;
    for (const auto& [name, value] : request.queue)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "A0A1B2C3D",   "P0A1B2C3D_1", "A11111111",   "P11111111_2", "A22222222",   "P22222222_1",
                         "P22222222_2", "P22222222_3", "P22222222_4", "A33333333",   "P33333333_1", "P33333333_2",
                         "P33333333_3", "P33333333_4", "P33333333_5", "P33333333_6", "P33333333_7", "P33333333_8",
                         "P33333333_9", "A44444444",   "P44444444_1", "MSINTEMP"}));
    EXPECT_EQ(value_in(request, "A0A1B2C3D"), "TRUE");
    EXPECT_EQ(value_in(request, "P0A1B2C3D_1"), "C:\\Program Files\\App\\bin");
    // Only the values with a reference are recorded; line breaks travel as tokens.
    EXPECT_EQ(value_in(request, "P11111111_2"), "one$NEWLINE$two");
    EXPECT_EQ(value_in(request, "P11111111_1"), "(none)");
    EXPECT_EQ(value_in(request, "P22222222_2"), "C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(value_in(request, "P33333333_5"), "a$NULL$b");
    EXPECT_EQ(value_in(request, "P33333333_9"), "Desc");
    EXPECT_EQ(value_in(request, "P44444444_1"), "C:\\Program Files\\App\\Logs");
    EXPECT_EQ(value_in(request, "MSINTEMP"), "C:\\Temp\\");

    EXPECT_EQ(request.operation, InstallerOperation::install);
    EXPECT_EQ(request.data_folder, "C:\\Setup\\data\\");
    EXPECT_EQ(request.target_folder, "C:\\Program Files\\App");
    EXPECT_TRUE(request.progress_dialog.empty());
    EXPECT_EQ(run.var("RESULT"), "COMPLETE");
    EXPECT_EQ(run.host.applied, std::vector<InstallerOperation>{InstallerOperation::install});

    // The shortcut's texts and its pin and application ID requests.
    msi::InstallRecord& record = run.executor->install_record();
    ASSERT_EQ(record.shortcut_texts().size(), 1u);
    EXPECT_EQ(record.shortcut_texts()[0].directory, "P22222222_1");
    EXPECT_EQ(record.shortcut_texts()[0].name, "Uninst~1|Uninstall Product");
    EXPECT_EQ(record.shortcut_list(),
              std::vector<std::string>{"C:\\Menu\\Uninstall Product.lnk|7X|C:\\Program Files\\App\\app.exe"});
    ASSERT_EQ(record.application_ids().size(), 1u);
    EXPECT_EQ(record.application_ids()[0].second, "App.Id");
    // The queue went to the run; the instance list stays for the installation's data.
    EXPECT_FALSE(record.queue().has_value());
    EXPECT_EQ(pairs_of(record.instance_list()).size(), names.size());
}

TEST(RecordedCommands, AMissingHeaderIsARuntimeError)
{
    ScriptRun run({{"Create Folder", {"C:\\Logs"}}, {"Set Variable", {"AFTER", "ran"}}});
    EXPECT_FALSE(run.run());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_NE(run.host.errors[0].find("Unable to obtain command headers. Please rebuild your project."),
              std::string::npos);
    EXPECT_FALSE(run.vars.Exists("AFTER"));
}

TEST(RecordedCommands, MediaComeFirstAndAFailedFetchStillRecordsTheTarget)
{
    ScriptRun run({{"Install Files", {"bin", "", "C:\\App"}, false, "BIN\\", "0A1B2C3D"},
                   {"Apply Changes", {"", "RESULT", "TRUE", "FALSE"}}},
                  {}, {}, 2);
    run.host.fetch_failure = "Unable to download installation data from the web";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.host.fetched, (std::vector<std::string>{"BIN\\"})); // OFFLINE\ not tried after the failure
    EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
    ASSERT_EQ(run.host.installer_runs.size(), 1u);
    EXPECT_EQ(value_in(run.host.installer_runs[0], "P0A1B2C3D_1"), "C:\\App");
}

TEST(ApplyChanges, ResultsOperationsAndTheEngineCache)
{
    struct Case {
        std::string install, remove;
        int outcome;
        std::string error_text;
        InstallerOperation operation;
        std::string word, last_error, reboot;
        bool applied;
    } cases[] = {
        {"TRUE", "FALSE", 1, "", InstallerOperation::install, "COMPLETE", "", "FALSE", true},
        {"FALSE", "TRUE", 2, "", InstallerOperation::remove, "REBOOT", "", "TRUE", true},
        {"false", "false", -1, "Disk full", InstallerOperation::advertise, "ERROR", "Disk full", "FALSE", false},
        {"-1", "TRUE", 0, "", InstallerOperation::install, "CANCEL", "", "FALSE", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        ScriptRun run({{"Apply Changes", {"Progress", "Result", c.install, c.remove}}},
                      {{"REBOOTCOMPUTER", "FALSE"}, {"LASTERROR", ""}});
        run.host.installer_result = {c.outcome, c.error_text};
        ASSERT_TRUE(run.run());
        ASSERT_EQ(run.host.installer_runs.size(), 1u);
        EXPECT_EQ(run.host.installer_runs[0].operation, c.operation);
        EXPECT_EQ(run.host.installer_runs[0].progress_dialog, "0");
        EXPECT_EQ(run.var("RESULT"), c.word);
        EXPECT_EQ(run.var("LASTERROR"), c.last_error);
        EXPECT_EQ(run.var("REBOOTCOMPUTER"), c.reboot);
        EXPECT_EQ(run.host.applied.size(), c.applied ? 1u : 0u);
    }
}

// The run's identity goes to Windows Installer: a cached engine's (or a new
// instance's) product and revision codes, not the script's own.
TEST(ApplyChanges, TheRequestCarriesTheRunsProductAndRevisionCodes)
{
    ScriptRun run({{"Apply Changes", {"", "Result", "TRUE", "FALSE"}}},
                  {{"PRODUCTCODE", "{AAAAAAAA-0000-4000-8000-000000000001}"},
                   {"REVISIONCODE", "{AAAAAAAA-0000-4000-8000-000000000002}"}});
    run.host.installer_result = {1, ""};
    ASSERT_TRUE(run.run());
    ASSERT_EQ(run.host.installer_runs.size(), 1u);
    EXPECT_EQ(run.host.installer_runs[0].product_code, "{AAAAAAAA-0000-4000-8000-000000000001}");
    EXPECT_EQ(run.host.installer_runs[0].revision_code, "{AAAAAAAA-0000-4000-8000-000000000002}");
}

// Only a setup started from its package while the product is installed
// becomes a new instance, and never for a patch.
TEST(TransformInstance, OnlyANewInstanceWithoutAPatchIsTransformed)
{
    struct Case {
        std::string new_instance;
        bool patch;
        int transforms;
    } cases[] = {
        {"TRUE", false, 1},
        {"true", false, 1},
        {"FALSE", false, 0},
        {"TRUE", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.new_instance + (c.patch ? " with a patch" : ""));
        ScriptRun run({{"Transform Instance", {}}}, {{"NEWINSTANCE", c.new_instance}});
        run.host.patch_present = c.patch;
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.instance_transforms, c.transforms);
    }
}

TEST(ApplyChanges, AMaintenanceRunAsksForMissingMediaUntilAFolderHoldsTheMarker)
{
    const std::string marker = "{22222222-2222-3333-4444-555555555555}";
    std::vector<Cmd> script = {{"Apply Changes", {"", "$RESULT$", "TRUE", "FALSE"}}};
    std::map<std::string, std::string> start = {
        {"MAINTENANCE", "TRUE"}, {"DATADIR", "C:\\Gone\\data\\"}, {"TITLE", "Loop Test"}, {"ALLUSERS", "TRUE"}};

    ScriptRun found(script, start);
    found.host.uninstall_entry = "\"C:\\ProgramData\\Cache\\{R}\\setup.exe\" /remove";
    found.host.media_answers = {"D:\\Elsewhere", "E:\\Disc"};
    found.host.existing_files = {"E:\\Disc\\data\\" + marker};
    ASSERT_TRUE(found.run());
    EXPECT_EQ(found.host.uninstall_lookups, std::vector<std::string>{"HKLM|Loop Test"});
    EXPECT_EQ(found.host.media_prompts.size(), 2u);
    EXPECT_EQ(found.host.media_prompts[0], "Please locate your original setup sources to continue operation");
    EXPECT_EQ(found.var("DATADIR"), "E:\\Disc\\data\\");
    ASSERT_EQ(found.host.installer_runs.size(), 1u);
    EXPECT_EQ(found.host.installer_runs[0].data_folder, "E:\\Disc\\data\\");
    EXPECT_EQ(found.host.installer_runs[0].media_folder, "C:\\ProgramData\\Cache\\{R}\\");

    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        ScriptRun cancelled(script, start);
        cancelled.host.silent_run = silent;
        ASSERT_TRUE(cancelled.run());
        EXPECT_EQ(cancelled.host.media_prompts.size(), silent ? 0u : 1u);
        EXPECT_TRUE(cancelled.host.installer_runs.empty());
        EXPECT_EQ(cancelled.var("RESULT"), "CANCEL");
        EXPECT_EQ(cancelled.var("LASTERROR"),
                  "Original setup sources required to complete operation, sources not found");
    }

    // A first installation does not ask: the package goes on without media.
    start["MAINTENANCE"] = "FALSE";
    ScriptRun first(script, start);
    ASSERT_TRUE(first.run());
    EXPECT_TRUE(first.host.media_prompts.empty());
    EXPECT_EQ(first.host.installer_runs.size(), 1u);
}

} // namespace
} // namespace quillon::test

namespace quillon::test {
namespace {

TEST(DotNetCommands, EachToolIsTriedNewestFirstUntilOneSucceeds)
{
    const std::string v4 = "C:\\Windows\\Microsoft.NET\\Framework\\v4.0.30319\\";
    const std::string v2 = "C:\\Windows\\Microsoft.NET\\Framework\\v2.0.50727\\";
    const std::string v1 = "C:\\Windows\\Microsoft.NET\\Framework\\v1.1.4322\\";
    struct Case {
        Cmd command;
        std::map<std::string, std::int32_t> exit_codes;
        std::vector<std::string> runs;
    };
    const Case cases[] = {
        {{"Generate Native Images", {"C:\\App\\a.dll|"}},
         {{v4 + "ngen.exe", 0}},
         {v4 + "ngen.exe|install \"C:\\App\\a.dll\"|C:\\App\\"}},
        // Nothing starts: three attempts, the 1.1 tool with its own verbs.
        {{"Generate Native Images", {"C:\\App\\a.dll|FALSE"}},
         {},
         {v4 + "ngen.exe|uninstall \"C:\\App\\a.dll\"|C:\\App\\",
          v2 + "ngen.exe|uninstall \"C:\\App\\a.dll\"|C:\\App\\",
          v1 + "ngen.exe|/delete \"C:\\App\\a.dll\"|C:\\App\\"}},
        {{"Run .NET Installer Class", {"C:\\App\\svc.exe", "FALSE"}},
         {{v4 + "installutil.exe", 3}, {v2 + "installutil.exe", 0}},
         {v4 + "installutil.exe|/u \"C:\\App\\svc.exe\"|C:\\App\\",
          v2 + "installutil.exe|/u \"C:\\App\\svc.exe\"|C:\\App\\"}},
        {{"Register Assembly", {"C:\\App\\a.dll|FALSE|TRUE"}},
         {{v4 + "regasm.exe", 0}},
         {v4 + "regasm.exe|/tlb /unregister /codebase \"C:\\App\\a.dll\" /silent|C:\\App\\"}},
        // A strong name: the first assembly-cache file that exists.
        {{"Register Assembly", {"N, Version=1.0.0.0, Culture=neutral, PublicKeyToken=T|"}},
         {{v4 + "regasm.exe", 0}},
         {v4 + "regasm.exe|/tlb \"C:\\Windows\\assembly\\GAC_32\\N\\1.0.0.0__T\\N.dll\" /silent|"
               "C:\\Windows\\assembly\\GAC_32\\N\\1.0.0.0__T\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.name + " " + c.command.parameters[0]);
        ScriptRun run({c.command, {"Set Variable", {"AFTER", "ran"}}});
        run.host.tool_exit_codes = c.exit_codes;
        run.host.existing_files = {"C:\\Windows\\assembly\\GAC_32\\N\\1.0.0.0__T\\N.dll",
                                   "C:\\Windows\\assembly\\GAC\\N\\1.0.0.0__T\\N.dll"};
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.tool_runs, c.runs);
        EXPECT_EQ(run.var("AFTER"), "ran");
    }
}

TEST(DotNetCommands, RemoveAssembliesFallsBackFromHelperToHelper)
{
    ScriptRun run({{"Remove Assemblies"}});
    run.host.assemblies = {{"First", "Second"}, {"1.0.0.0", "2.0.0.0"}};
    run.host.tool_exit_codes = {{"C:\\qvo1\\mgacy.exe", 1}, {"C:\\qvo1\\mgac.exe", 0}};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.host.tool_runs, (std::vector<std::string>{
                                      "C:\\qvo1\\mgacy.exe|/u First,Version=1.0.0.0|C:\\qvo1\\",
                                      "C:\\qvo1\\mgacy.exe|/u Second,Version=2.0.0.0|C:\\qvo1\\",
                                      "C:\\qvo1\\mgac.exe|/u First,Version=1.0.0.0|C:\\qvo1\\",
                                      "C:\\qvo1\\mgac.exe|/u Second,Version=2.0.0.0|C:\\qvo1\\",
                                  }));

    // Names without versions: nothing runs, which counts as success.
    ScriptRun uneven({{"Remove Assemblies"}});
    uneven.host.assemblies = {{"First"}, {}};
    ASSERT_TRUE(uneven.run());
    EXPECT_TRUE(uneven.host.tool_runs.empty());

    ScriptRun missing({{"Remove Assemblies"}});
    missing.host.gac_helpers = false;
    EXPECT_FALSE(missing.run());
    ASSERT_EQ(missing.host.errors.size(), 1u);
    EXPECT_NE(missing.host.errors[0].find("MGACY"), std::string::npos);
}

} // namespace
} // namespace quillon::test
