// The decisions around one Windows Installer run: what the package's Property
// table receives, the command line for each operation, the hand-over entries,
// the log header, the result words and the texts of a busy or failed run.
#include "msi/install_record.h"
#include "msi/installer_run.h"

#include <gtest/gtest.h>

namespace quillon::msi {
namespace {

TEST(InstallRecord, QueueAndInstanceListKeepLineBreaksAsTokens)
{
    InstallRecord record;
    EXPECT_FALSE(record.queue().has_value());
    record.record_property("A0A1B2C3D", "TRUE");
    record.record_property("P0A1B2C3D_1", "line one\r\nit's two");
    record.queue_property("MSINTEMP", "C:\\Temp\\");
    ASSERT_TRUE(record.queue().has_value());
    EXPECT_EQ(record.instance_list(),
              (std::vector<std::string>{"A0A1B2C3D", "TRUE", "P0A1B2C3D_1", "line one$NEWLINE$it's two"}));

    auto statements = PropertyQueueStatements(record.take_queue());
    EXPECT_FALSE(record.queue().has_value());
    ASSERT_EQ(statements.size(), 6u);
    EXPECT_EQ(statements[0], "INSERT INTO `Property` ( `Property` , `Value` ) VALUES ( 'A0A1B2C3D' , 'TRUE' )");
    EXPECT_EQ(statements[3],
              "UPDATE `Property` SET `Value`='line one\r\nit$QUOTE$s two' WHERE `Property`='P0A1B2C3D_1'");
    EXPECT_EQ(statements[5], "UPDATE `Property` SET `Value`='C:\\Temp\\' WHERE `Property`='MSINTEMP'");
}

TEST(InstallRecord, MarksAndShortcutNames)
{
    InstallRecord record;
    record.set_command_marks({"SKIP", "FALSE", "FALSE"});
    record.mark_recorded(2);
    record.mark_recorded(9); // beyond the list: ignored
    EXPECT_EQ(record.command_marks(), (std::vector<std::string>{"SKIP", "FALSE", "TRUE"}));

    EXPECT_EQ(ShortcutTableName("Uninstall Product"), "Uninst~1|Uninstall Product");
    EXPECT_EQ(ShortcutTableName(" Read me"), "Read~1| Read me"); // six taken first, trimmed after
    EXPECT_EQ(ShortcutTableName("App"), "App~1|App");
    EXPECT_EQ(CommandProperty("0A1B2C3D"), "A0A1B2C3D");
    EXPECT_EQ(ValueProperty("0A1B2C3D", 3), "P0A1B2C3D_3");
}

TEST(InstallRecord, PlatformFollowsTheMode)
{
    struct Case {
        std::string_view template_text, mode, expected;
        bool changed, bit64;
    } cases[] = {
        {"x64;1033", "Win32", "Intel;1033", true, false},
        {"Intel;1033", "Win32", "Intel;1033", false, false},
        {";1033", "Win32", "Intel;1033", true, false},
        {"Intel;1033", "x64", "x64;1033", true, true},
        {"Intel;1033,1031", "ia64", "Intel64;1033,1031", true, true},
    };
    for (const Case& c : cases) {
        PackagePlatform platform = PlatformForMode(c.template_text, c.mode);
        EXPECT_EQ(platform.template_text, c.expected) << c.template_text << " " << c.mode;
        EXPECT_EQ(platform.changed, c.changed) << c.template_text << " " << c.mode;
        EXPECT_EQ(platform.components_64bit, c.bit64);
    }
}

TEST(InstallerRun, CommandLines)
{
    CommandLineInputs base;
    base.target_folder = "C:\\Program Files\\App\\";
    base.data_folder = "C:\\Setup\\data\\";
    base.package_folder = "C:\\Temp\\SUPPORT\\";
    base.media_package_path = "\\Setup\\";
    const std::string tail = "SRCDIR=C:\\Setup\\data\\ SOURCELIST=C:\\Setup\\data\\;C:\\Temp\\SUPPORT\\ "
                             "MEDIAPACKAGEPATH=\\Setup\\ REBOOT=R ";
    const std::string arp = "ARPSYSTEMCOMPONENT=1 ARPNOREMOVE=1 ARPNOMODIFY=1 ARPNOREPAIR=1 "
                            "ARPINSTALLLOCATION=\"C:\\Program Files\\App\\\" ";

    CommandLineInputs install = base;
    EXPECT_EQ(ComposeCommandLine(install), "ADDLOCAL=ALL ALLUSERS=\"\" " + arp + tail);

    CommandLineInputs advertise = base;
    advertise.operation = InstallerOperation::advertise;
    advertise.all_users = true;
    EXPECT_EQ(ComposeCommandLine(advertise), "ADVERTISE=ALL ALLUSERS=1 " + arp + tail);

    CommandLineInputs over_advertised = base;
    over_advertised.product_installed = true;
    over_advertised.only_advertised_before = true;
    EXPECT_EQ(ComposeCommandLine(over_advertised), "ADDLOCAL=ALL ADVERTISE=\"\" ALLUSERS=\"\" " + arp + tail);
    over_advertised.only_advertised_before = false;
    over_advertised.disable_rollback = true;
    over_advertised.disable_restart_manager = true;
    EXPECT_EQ(ComposeCommandLine(over_advertised), "REINSTALL=ALL REINSTALLMODE=vomus ALLUSERS=\"\" DISABLEROLLBACK=1 "
                                                   "MSIRESTARTMANAGERCONTROL=Disable " +
                                                       arp + tail);

    CommandLineInputs remove = base;
    remove.operation = InstallerOperation::remove;
    EXPECT_EQ(ComposeCommandLine(remove), "REMOVE=ALL ALLUSERS=\"\" ALLUSERS=\"\" REMOVE=ALL " + tail);

    CommandLineInputs quoted = base;
    quoted.quote_folders = true;
    EXPECT_EQ(ComposeCommandLine(quoted), "ADDLOCAL=ALL ALLUSERS=\"\" " + arp +
                                              "SRCDIR=\"C:\\Setup\\data\\\" "
                                              "SOURCELIST=\"C:\\Setup\\data\\;C:\\Temp\\SUPPORT\\\" "
                                              "MEDIAPACKAGEPATH=\"\\Setup\\\" REBOOT=R ");
    CommandLineInputs source_only = base;
    source_only.quote_source = true;
    EXPECT_NE(ComposeCommandLine(source_only).find("SOURCELIST=\"C:\\Setup\\data\\;C:\\Temp\\SUPPORT\\\" "),
              std::string::npos);
    EXPECT_NE(ComposeCommandLine(source_only).find("SRCDIR=C:\\Setup"), std::string::npos);

    CommandLineInputs patch = base;
    patch.operation = InstallerOperation::patch;
    patch.media_folder = "C:\\Cache\\";
    EXPECT_EQ(ComposeCommandLine(patch), "ADDLOCAL=ALL ALLUSERS=\"\" SRCDIR=C:\\Cache\\ SRCDIREX=C:\\Cache\\ ");
}

TEST(InstallerRun, HandOverEntriesLeaveOutInstallerPropertiesAndReduceBackslashes)
{
    InstallerRequest request;
    request.data_folder = "C:\\Setup\\data\\";
    request.properties = {"A0A1B2C3D", "TRUE", "P0A1B2C3D_1", "C:\\\\Temp", "PNET", "\\\\server\\share"};
    request.variables = {"username", "someone", "TARGETDIR", "C:\\App\\", "Gone", "D:\\missing"};
    auto path_form = [](std::string_view text) {
        // Doubled backslashes single, a leading pair kept.
        std::string out;
        bool network = text.substr(0, 2) == "\\\\";
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\')
                ++i;
            out += text[i];
        }
        return network ? "\\" + out : out;
    };
    HandOverInputs inputs{request, "\\Setup\\", path_form, [](const std::string&) { return false; }};
    auto entries = HandOverEntries(inputs);
    std::vector<std::string> flat;
    for (const auto& entry : entries) {
        flat.push_back(entry.name);
        flat.push_back(entry.value);
    }
    EXPECT_EQ(flat, (std::vector<std::string>{"SourceDir", "C:\\Setup\\data\\", "MEDIAPACKAGEPATH", "\\Setup\\",
                                              "A0A1B2C3D", "TRUE", "P0A1B2C3D_1", "C:\\Temp", "PNET",
                                              "\\\\server\\share", "TARGETDIR", "C:\\App\\", "Gone", "D:\\missing"}));

    // A removal hands the media in place of a recorded path that is gone.
    request.operation = InstallerOperation::remove;
    entries = HandOverEntries(inputs);
    EXPECT_EQ(entries[3].value, "C:\\Setup\\data\\");
    EXPECT_EQ(entries[4].value, "\\\\server\\share");
}

TEST(InstallerRun, TextsAndOutcomes)
{
    EXPECT_EQ(MediaPackagePath("C:\\PROGRA~1\\Vendor\\data\\"), "\\PROGRA~1\\Vendor\\");
    EXPECT_EQ(MediaPackagePath("data\\"), "");
    EXPECT_EQ(BusyProgressText(1), "Windows Installer.");
    EXPECT_EQ(BusyProgressText(3), "Windows Installer...");
    EXPECT_EQ(BusyProgressText(4), "Windows Installer.");
    EXPECT_EQ(TrimSystemMessage("The system cannot find the file specified. \r\n"),
              "The system cannot find the file specified");
    EXPECT_EQ(FinishErrorText("Disk full."), "Disk full");
    EXPECT_EQ(FinishErrorText("Error 1603. Fatal error."), "Error 1603. Fatal error.");
    EXPECT_TRUE(IsInstallerPropertyName("username"));
    EXPECT_TRUE(IsInstallerPropertyName("SourceDir"));
    EXPECT_FALSE(IsInstallerPropertyName("GREETING"));
    EXPECT_EQ(PackedGuid("{12345678-9ABC-DEF0-1234-56789ABCDEF0}"), "87654321CBA90FED21436587A9CBED0F");
    EXPECT_EQ(PackedGuid("nonsense"), "");
    EXPECT_EQ(LastUsedSource("n;1;C:\\Old\\", "C:\\New\\"), "n;1;C:\\New\\");

    struct Case {
        bool error, cancelled, skipped, restart;
        std::string_view word;
    } cases[] = {
        {false, false, false, false, "COMPLETE"},
        {false, false, false, true, "REBOOT"},
        {true, false, false, false, "ERROR"},
        {true, true, false, false, "CANCEL"},
        // Windows Installer did not act on the cancel: the run completed.
        {false, true, false, false, "COMPLETE"},
        // The cancel came before the run started: nothing was installed.
        {false, true, true, false, "CANCEL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResultWord(RunOutcome(c.error, c.cancelled, c.skipped, c.restart)), c.word);
    EXPECT_EQ(OperationOf(true, true), InstallerOperation::install);
    EXPECT_EQ(OperationOf(false, true), InstallerOperation::remove);
    EXPECT_EQ(OperationOf(false, false), InstallerOperation::advertise);

    LogHeaderInputs log{"App Setup", "12/11/2026 10:00:00", "A,B", "C,D", "x.msi", "{G}", "d\\", "m\\", "p\\"};
    auto lines = LogHeaderLines(log);
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[0], "=== App Setup: Applying Changes @12/11/2026 10:00:00 ===");
    EXPECT_EQ(lines[2], "*** Variables ***");
    EXPECT_EQ(lines[20], "*** MSI Directory ***");
    EXPECT_EQ(lines[21], "p\\");
}

} // namespace
} // namespace quillon::msi

#include "msi/msiexec_request.h"

namespace quillon::msi {
namespace {

std::string expand_test(void*, std::string_view text)
{
    std::string out(text);
    if (std::size_t at = out.find("$PKG$"); at != std::string::npos)
        out.replace(at, 5, "C:\\Setup\\other.msi");
    return out;
}

TEST(MsiExecPlugin, ParameterTextAndCommandLine)
{
    auto install = ParseMsiExecRequest("install|$PKG$|ALLUSERS=1|Result", expand_test, nullptr);
    ASSERT_TRUE(install);
    EXPECT_TRUE(install->install);
    EXPECT_EQ(install->package, "C:\\Setup\\other.msi");
    EXPECT_EQ(install->result_variable, "Result");
    EXPECT_EQ(MsiExecCommandLine(*install), "ALLUSERS=1");

    auto by_file = ParseMsiExecRequest("UNINSTALL|$PKG$", expand_test, nullptr);
    ASSERT_TRUE(by_file);
    EXPECT_EQ(MsiExecCommandLine(*by_file), "REMOVE=ALL");
    EXPECT_TRUE(by_file->result_variable.empty());
    auto by_code = ParseMsiExecRequest("Uninstall|{22222222-2222-3333-4444-555555555555}|X=1|", expand_test, nullptr);
    ASSERT_TRUE(by_code);
    EXPECT_TRUE(NamesProductCode(by_code->package));
    EXPECT_EQ(MsiExecCommandLine(*by_code), "X=1");

    EXPECT_FALSE(ParseMsiExecRequest("REPAIR|$PKG$", expand_test, nullptr));
    EXPECT_FALSE(ParseMsiExecRequest("INSTALL||", expand_test, nullptr));

    EXPECT_EQ(ProgressPercent(0, 0), 1);
    EXPECT_EQ(ProgressPercent(500, 1000), 50);
    EXPECT_EQ(ProgressPercent(2000, 1000), 100);
    EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX), 49);
}

} // namespace
} // namespace quillon::msi

#include "msi/shortcut_pins.h"

namespace quillon::msi {
namespace {

TEST(ShortcutPins, RequestsPlacesAndVerbs)
{
    auto both = ParsePinRequest("C:\\Menu\\App.lnk|7X|C:\\App\\app.exe");
    ASSERT_TRUE(both);
    EXPECT_EQ(both->shortcut, "C:\\Menu\\App.lnk");
    EXPECT_TRUE(both->taskbar && both->start_menu);
    auto start_only = ParsePinRequest("C:\\Menu\\App.lnk|X|");
    ASSERT_TRUE(start_only);
    EXPECT_FALSE(start_only->taskbar);
    EXPECT_FALSE(ParsePinRequest("no flags"));

    // Windows XP (5.1) has no taskbar pins; 2000 (5.0) no Start menu pins either.
    PinRequest xp = PlacesOnWindows(*both, 5, 1);
    EXPECT_FALSE(xp.taskbar);
    EXPECT_TRUE(xp.start_menu);
    EXPECT_FALSE(PlacesOnWindows(*both, 5, 0).start_menu);
    EXPECT_TRUE(PlacesOnWindows(*both, 6, 1).taskbar);
    EXPECT_TRUE(PlacesOnWindows(*both, 10, 0).taskbar);

    std::vector<std::string> verbs = {"&Open", "Pin to Tas&kbar", "Pin to Start Men&u", "P&roperties"};
    EXPECT_EQ(MatchVerb(verbs, {"Pin to Tas&kbar"}), 1u);    // as it is
    EXPECT_EQ(MatchVerb(verbs, {"pin to start menu"}), 2u);  // without the ampersands, any case
    EXPECT_FALSE(MatchVerb(verbs, {"Unpin from Tas&kbar"}));
    EXPECT_FALSE(MatchVerb(verbs, {""}));
}

} // namespace
} // namespace quillon::msi
