// The system information commands through the loop, against a fake machine:
// the settings table, the level names, the folder table, the environment, and
// how the platform mode chooses the registry view and the system folder.
#include "interp/system_settings.h"
#include "interp/web_server.h"
#include "interp_test_support.h"

#include <functional>

namespace quillon::test {
namespace {

constexpr std::uint32_t administrators = 0x220;
constexpr std::uint32_t users = 0x221;
constexpr std::uint32_t guests = 0x222;
constexpr std::uint32_t power_users = 0x223;

const std::string nt_key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::string explorer_key = "SOFTWARE\\Microsoft\\Internet Explorer";
const std::string web_server_key = "SOFTWARE\\Microsoft\\InetStp";

// One "Get System Settings" (after "Set 64 Bit Mode" when a mode is given) on a prepared machine.
struct SettingRun {
    std::string index;
    std::function<void(FakeMachine&)> prepare = {};
    std::string mode = "Win32";

    std::vector<Cmd> commands() const
    {
        return {{"Set 64 Bit Mode", {mode == "Win32" ? "TRUE" : "FALSE", "FALSE", mode == "x64" ? "TRUE" : ""}},
                {"Get System Settings", {"Answer", index}},
                {"Set Variable", {"AFTER", "ran"}}};
    }
    void apply(ScriptRun& run) const
    {
        if (prepare)
            prepare(run.host.machine);
    }
};

TEST(GetSystemSettings, AnswersEachIndexFromTheMachine)
{
    struct Case {
        std::string what;
        SettingRun setting;
        std::string expected;
    };
    auto version = [](std::uint32_t major, std::uint32_t minor, std::string csd, std::uint8_t product = 1) {
        return [=](FakeMachine& m) { m.version = {true, major, minor, 0, csd, product}; };
    };
    auto hypervisor = [](std::string vendor, bool root) {
        return [=](FakeMachine& m) { m.hypervisor_facts = {true, vendor, root}; };
    };
    auto explorer = [](std::string text) {
        return [=](FakeMachine& m) {
            m.texts[{RegistryRoot::local_machine, explorer_key, "Version", PlatformView::wow64_32}] = text;
        };
    };
    auto web_server = [](std::uint32_t major, std::uint32_t minor) {
        return [=](FakeMachine& m) {
            m.numbers[{RegistryRoot::local_machine, web_server_key, "MajorVersion", PlatformView::wow64_32}] = major;
            m.numbers[{RegistryRoot::local_machine, web_server_key, "MinorVersion", PlatformView::wow64_32}] = minor;
        };
    };
    auto groups = [](std::set<std::uint32_t> held) { return [=](FakeMachine& m) { m.groups = held; }; };
    auto shdocvw = [](FileVersion v) {
        return [=](FakeMachine& m) { m.file_versions["C:\\Windows\\SysWOW64\\shdocvw.dll"] = v; };
    };
    const Case cases[] = {
        {"administrator", {"0"}, "TRUE"},
        {"not an administrator", {"0", groups({users})}, "FALSE"},
        // A 2 MB allowance: 30 MB is enough for "32 MB".
        {"30 MB for 32", {"1", [](FakeMachine& m) { m.memory = 30ull * 1048576; }}, "TRUE"},
        {"30 MB for 64", {"2", [](FakeMachine& m) { m.memory = 30ull * 1048576; }}, "FALSE"},
        {"a byte short of 2046 MB", {"7", [](FakeMachine& m) { m.memory = 2046ull * 1048576 - 1; }}, "FALSE"},
        {"portrait 600x800", {"8", [](FakeMachine& m) { m.screen_facts = {600, 800, 32, 96}; }}, "TRUE"},
        {"portrait 600x800 for 1024x768", {"9", [](FakeMachine& m) { m.screen_facts = {600, 800, 32, 96}; }}, "FALSE"},
        {"1920x1440", {"12", [](FakeMachine& m) { m.screen_facts = {1920, 1440, 32, 96}; }}, "TRUE"},
        {"16 bits for 16", {"14", [](FakeMachine& m) { m.screen_facts.bits_per_pixel = 16; }}, "TRUE"},
        {"16 bits for 24", {"15", [](FakeMachine& m) { m.screen_facts.bits_per_pixel = 16; }}, "FALSE"},
        {"95 family on NT", {"17"}, "FALSE"},
        {"NT", {"18"}, "TRUE"},
        {"ME or later on 6.1", {"22"}, "TRUE"},
        {"2003 or later on 6.1", {"26"}, "TRUE"},
        {"2003 or later on XP", {"26", version(5, 1, "Service Pack 3")}, "FALSE"},
        {"98 SE on 4.10 of a later build",
         {"21", [](FakeMachine& m) { m.version = {false, 4, 10, 0x040A08AE, "", 1}; }},
         "TRUE"},
        {"98 SE on 4.10 of the first build",
         {"21", [](FakeMachine& m) { m.version = {false, 4, 10, 0x040A08AD, "", 1}; }},
         "FALSE"},
        {"SP 1 for 1", {"27"}, "TRUE"},
        {"SP 1 for 2", {"28"}, "FALSE"},
        {"SP 10 for 6", {"32", version(5, 0, "Service Pack 10")}, "TRUE"},
        {"language of winver.exe in the 32-bit folder",
         {"33", [](FakeMachine& m) { m.file_languages["C:\\Windows\\SysWOW64\\winver.exe"] = 1033; }},
         "1033"},
        {"language name",
         {"34", [](FakeMachine& m) { m.file_languages["C:\\Windows\\SysWOW64\\winver.exe"] = 1033; }},
         "English (United States)"},
        {"language of a winver.exe only in the 64-bit folder",
         {"33", [](FakeMachine& m) { m.file_languages["C:\\Windows\\system32\\winver.exe"] = 1033; }},
         ""},
        {"language of winver.exe in x64 mode",
         {"33", [](FakeMachine& m) { m.file_languages["C:\\Windows\\system32\\winver.exe"] = 1031; }, "x64"},
         "1031"},
        {"IE 6 SP1 on 6.0.2900.5512", {"37", shdocvw({6, 0, 2900, 5512})}, "TRUE"},
        {"IE 6 SP1 on 6.0.2800.1105", {"37", shdocvw({6, 0, 2800, 1105})}, "FALSE"},
        {"IE 6 on 6.0.2800.1105", {"38", shdocvw({6, 0, 2800, 1105})}, "TRUE"},
        {"IE 3 without shdocvw.dll", {"52"}, "FALSE"},
        {"IIS 6 on 7.5", {"53", web_server(7, 5)}, "TRUE"},
        {"IIS 7.5 on 7.5", {"80", web_server(7, 5)}, "TRUE"},
        {"IIS 7.5 on 7.0", {"80", web_server(7, 0)}, "FALSE"},
        {"IIS 2 without IIS", {"58"}, "FALSE"},
        {"user", {"60"}, "alice"},
        {"computer", {"61"}, "BUILDHOST"},
        {"domain", {"62"}, "WORKGROUP"},
        {"group of an administrator", {"63"}, "ADMIN"},
        {"group of a power user", {"63", groups({users, power_users})}, "POWER"},
        {"group of a guest", {"63", groups({guests})}, "GUEST"},
        {"group of nobody", {"63", groups({})}, "ERROR"},
        {"dots per inch", {"64", [](FakeMachine& m) { m.screen_facts.dots_per_inch = 120; }}, "120"},
        {"64-bit Windows", {"65"}, "TRUE"},
        {"tablet", {"66", [](FakeMachine& m) { m.metrics.insert(SystemMetric::tablet_pc); }}, "TRUE"},
        {"media center", {"67"}, "FALSE"},
        {"server", {"68", version(6, 1, "", 3)}, "TRUE"},
        {"Vista or later on 10.0", {"69", version(10, 0, "")}, "TRUE"},
        {"Seven or later on 6.0", {"79", version(6, 0, "Service Pack 2")}, "FALSE"},
        {"VMware", {"70", hypervisor("VMwareVMware", false)}, "TRUE"},
        {"VMware on KVM", {"70", hypervisor("KVMKVMKVM", false)}, "FALSE"},
        {"Virtual PC in a Hyper-V guest", {"71", hypervisor("Microsoft Hv", false)}, "TRUE"},
        {"Virtual PC on a Hyper-V host", {"71", hypervisor("Microsoft Hv", true)}, "FALSE"},
        {"no virtual machine on a Hyper-V host", {"74", hypervisor("Microsoft Hv", true)}, "TRUE"},
        {"no virtual machine under VMware", {"74", hypervisor("VMwareVMware", false)}, "FALSE"},
        {"no virtual machine without a hypervisor", {"74"}, "TRUE"},
        {"IE 7 on 8.0.7601.17514", {"72", explorer("8.0.7601.17514")}, "TRUE"},
        {"IE 8 on 7.0.5730.13", {"78", explorer("7.0.5730.13")}, "FALSE"},
        {"IE 8 on 8.0.6001.18702", {"78", explorer("8.0.6001.18702")}, "TRUE"},
        {"IE 7 without the value", {"72"}, "FALSE"},
        {"architecture", {"75"}, "AMD64"},
        {"ARM64 architecture", {"75", [](FakeMachine& m) { m.architecture = 12; }}, "UNKNOWN"},
        {"2008 SP1 server", {"76", version(6, 0, "Service Pack 1", 3)}, "TRUE"},
        {"2008 server without SP", {"76", version(6, 0, "", 3)}, "FALSE"},
        {"2008 R2 workstation", {"76", version(6, 1, "", 1)}, "FALSE"},
        {"elevated", {"77"}, "TRUE"},
        {"2008 R2 or later on 6.0 server", {"81", version(6, 0, "Service Pack 2", 3)}, "FALSE"},
        {"2008 R2 or later on 6.3 server", {"81", version(6, 3, "", 2)}, "TRUE"},
        {"outside the table", {"82"}, ""},
        {"negative", {"-1"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what + " (" + c.setting.index + ")");
        ScriptRun run(c.setting.commands());
        c.setting.apply(run);
        EXPECT_TRUE(run.run()) << (run.host.errors.empty() ? "" : run.host.errors[0]);
        EXPECT_EQ(run.var("ANSWER"), c.expected);
    }
}

TEST(GetSystemSettings, RegistryValuesFollowThePlatformMode)
{
    // The registered owner lies in one view only; each mode reads its own.
    for (PlatformView lies_in : {PlatformView::wow64_32, PlatformView::native}) {
        for (std::string mode : {"Win32", "x64"}) {
            SCOPED_TRACE(mode);
            SettingRun setting{"35",
                               [lies_in](FakeMachine& m) {
                                   m.texts[{RegistryRoot::local_machine, nt_key, "RegisteredOwner", lies_in}] = "Owner";
                               },
                               mode};
            ScriptRun run(setting.commands());
            setting.apply(run);
            ASSERT_TRUE(run.run());
            bool same = (mode == "Win32") == (lies_in == PlatformView::wow64_32);
            EXPECT_EQ(run.var("ANSWER"), same ? "Owner" : "");
            // Set from the mode on entry, put back to the 32-bit view at the end.
            std::vector<PlatformView> expected = {view_for_mode(mode), PlatformView::wow64_32};
            EXPECT_EQ(run.host.machine.views_set, expected);
        }
    }
}

TEST(GetSystemSettings, AnIndexThatIsNotANumberIsARuntimeError)
{
    for (std::string index : {"abc", "5x"}) {
        SCOPED_TRACE(index);
        ScriptRun run(SettingRun{index}.commands());
        EXPECT_FALSE(run.run());
        ASSERT_EQ(run.host.errors.size(), 1u);
        EXPECT_NE(run.host.errors[0].find(index), std::string::npos) << run.host.errors[0];
        EXPECT_FALSE(run.vars.Exists("AFTER"));
        // The result variable is made before the index is read.
        EXPECT_TRUE(run.vars.Exists("Answer"));
        // A failure puts the registry view back too.
        EXPECT_EQ(run.host.machine.current_view, PlatformView::wow64_32);
    }
}

// Setting 59 and "IIS Anonymous User" ask the web server: IIS 7.0 and later
// through the library, anything older (or no server) through ADSI, on the host
// IISHOST names, the library written into SUPPORTDIR.
TEST(WebServerAnonymousUser, GoesToTheBackEndTheServerVersionChooses)
{
    struct Case {
        std::optional<std::uint32_t> major, minor;
        WebServerBackEnd expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, WebServerBackEnd::adsi},
        {7, std::nullopt, WebServerBackEnd::adsi}, // a level needs both values
        {6, 0, WebServerBackEnd::adsi},
        {6, 9, WebServerBackEnd::adsi}, // 69 is the last level ADSI serves
        {7, 0, WebServerBackEnd::iis7_library},
        {10, 0, WebServerBackEnd::iis7_library},
    };
    for (const Case& c : cases) {
        for (const std::vector<Cmd>& commands : {std::vector<Cmd>{{"Get System Settings", {"Answer", "59"}}},
                                                 std::vector<Cmd>{{"IIS Anonymous User", {"Answer"}}}}) {
            SCOPED_TRACE(commands[0].name + " " + (c.major ? std::to_string(*c.major) : "-") + "." +
                         (c.minor ? std::to_string(*c.minor) : "-"));
            std::vector<Cmd> script = {{"Set Variable", {"IISHOST", "webhost"}},
                                       {"Set Variable", {"SUPPORTDIR", "C:\\Temp\\qvo1"}}};
            script.insert(script.end(), commands.begin(), commands.end());
            ScriptRun run(script);
            if (c.major)
                run.host.machine
                    .numbers[{RegistryRoot::local_machine, web_server_key, "MajorVersion", PlatformView::wow64_32}] =
                    *c.major;
            if (c.minor)
                run.host.machine
                    .numbers[{RegistryRoot::local_machine, web_server_key, "MinorVersion", PlatformView::wow64_32}] =
                    *c.minor;
            run.host.web.anonymous_account = "IUSR";
            ASSERT_TRUE(run.run());
            EXPECT_EQ(run.var("Answer"), "IUSR");
            ASSERT_EQ(run.host.web.asked.size(), 1u);
            EXPECT_EQ(run.host.web.asked[0].back_end, c.expected);
            EXPECT_EQ(run.host.web.asked[0].host, "webhost");
            EXPECT_EQ(run.host.web.asked[0].support_folder, "C:\\Temp\\qvo1");
        }
    }
}

TEST(WebServerAnonymousUser, OtherSettingsAndAnEmptyResultNameAskNothing)
{
    ScriptRun run({{"Get System Settings", {"Answer", "60"}}, {"IIS Anonymous User", {""}}});
    run.host.web.anonymous_account = "IUSR";
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.host.web.asked.empty());
}

TEST(WebServerAnonymousUser, TheFirstFreeSiteIndexStopsAtTheLastOne)
{
    EXPECT_EQ(first_free_site_index([](std::int32_t n) { return n <= 3; }), 4);
    EXPECT_EQ(first_free_site_index([](std::int32_t) { return false; }), 1);
    EXPECT_EQ(first_free_site_index([](std::int32_t) { return true; }), -1);
}

TEST(GetOsOrSpLevel, NamesTheVersionOrTheServicePack)
{
    struct Case {
        bool nt;
        std::uint32_t major, minor, build;
        std::string_view csd;
        std::uint8_t product;
        std::string_view os_level;
        std::string_view sp_level;
    };
    const Case cases[] = {
        {true, 4, 0, 1381, "Service Pack 6", 1, "NT4", "6"},
        {true, 5, 0, 2195, "Service Pack 4", 1, "2000", "4"},
        {true, 5, 1, 2600, "Service Pack 3", 1, "XP", "3"},
        {true, 5, 2, 3790, "Service Pack 2", 3, "2003", "2"},
        {true, 6, 0, 6001, "Service Pack 1", 1, "VISTA", "1"},
        {true, 6, 0, 6001, "Service Pack 1", 3, "2008", "1"},
        {true, 6, 0, 6000, "", 3, "VISTA", "0"},
        {true, 6, 1, 7601, "Service Pack 1", 1, "SEVEN", "1"},
        {true, 6, 1, 7600, "", 2, "2008R2", "0"},
        {true, 6, 2, 9200, "", 1, "UNKNOWN", "0"},
        {true, 10, 0, 19045, "", 1, "UNKNOWN", "0"},
        {false, 4, 0, 950, "", 1, "95", "0"},
        {false, 4, 10, 1998, "", 1, "98", "0"},
        {false, 4, 10, 0x040A08AE, "", 1, "98SE", "0"},
        {false, 4, 90, 3000, "", 1, "ME", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.major * 1000 + c.minor);
        ScriptRun run({{"Get OS or SP Level", {"$OS$", "TRUE"}},
                       {"Get OS or SP Level", {"SP", "-1"}},
                       {"Get OS or SP Level", {"PACK", "yes"}}});
        run.host.machine.version = {c.nt, c.major, c.minor, c.build, std::string(c.csd), c.product};
        ASSERT_TRUE(run.run());
        // The result name is taken as written: the dollar signs stay.
        EXPECT_EQ(run.var("$OS$"), c.os_level);
        EXPECT_EQ(run.var("SP"), c.os_level);
        EXPECT_EQ(run.var("PACK"), c.sp_level);
    }
}

TEST(GetFolderLocation, MapsEachIndexToItsFolder)
{
    struct Case {
        std::string index;
        std::string all_users;
        std::string mode;
        std::string expected;
    };
    auto prepare = [](FakeMachine& m) {
        m.shell_folders = {{5, "C:\\users\\alice\\Documents"},
                           {46, "C:\\users\\Public\\Documents"},
                           {0, "C:\\users\\alice\\Desktop"},
                           {25, "C:\\users\\Public\\Desktop"},
                           {28, "C:\\users\\alice\\AppData\\Local"}};
        m.cd_rom_drives = {'E', 'F'};
        m.texts[{RegistryRoot::local_machine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "BootDir",
                 PlatformView::wow64_32}] = "C:\\";
        m.texts[{RegistryRoot::current_user, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                 "AppData", PlatformView::wow64_32}] = "C:\\users\\alice\\AppData\\Roaming";
        m.texts[{RegistryRoot::local_machine, web_server_key, "PathWWWRoot", PlatformView::wow64_32}] =
            "%SystemDrive%\\inetpub\\wwwroot";
        m.environment = {{"SystemDrive", "C:"}};
    };
    const Case cases[] = {
        {"2", "FALSE", "Win32", "C:\\users\\alice\\Documents\\"},
        {"2", "TRUE", "Win32", "C:\\users\\Public\\Documents\\"},
        {"17", "FALSE", "Win32", "C:\\users\\alice\\Desktop\\"},
        {"17", "TRUE", "Win32", "C:\\users\\Public\\Desktop\\"},
        {"28", "TRUE", "Win32", "C:\\users\\alice\\AppData\\Local\\"},
        {"3", "FALSE", "Win32", ""}, // a folder the shell does not know
        {"9", "FALSE", "Win32", "C:\\"},
        {"9", "FALSE", "x64", ""}, // BootDir lies in the 32-bit view only here
        {"10", "FALSE", "Win32", "E:\\"},
        {"20", "FALSE", "Win32", "C:\\Program Files (x86)\\"},
        {"20", "TRUE", "Win32", "C:\\Program Files (x86)\\Common Files\\"},
        {"20", "FALSE", "x64", "C:\\Program Files\\"},
        {"20", "TRUE", "x64", "C:\\Program Files\\Common Files\\"},
        {"23", "FALSE", "Win32", "C:\\Windows\\SysWOW64\\"},
        {"23", "FALSE", "x64", "C:\\Windows\\system32\\"},
        {"23", "FALSE", "ia64", "C:\\Windows\\system32\\"},
        {"25", "FALSE", "x64", "C:\\Windows\\"},
        {"26", "FALSE", "Win32", "C:\\users\\alice\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\"},
        {"27", "FALSE", "x64", "C:\\inetpub\\wwwroot\\"},
        {"29", "FALSE", "Win32", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index + "/" + c.all_users + "/" + c.mode);
        ScriptRun run(
            {{"Set 64 Bit Mode",
              {c.mode == "Win32" ? "TRUE" : "", c.mode == "ia64" ? "TRUE" : "", c.mode == "x64" ? "TRUE" : ""}},
             {"Get Folder Location", {"FOLDER", c.index, c.all_users}}});
        prepare(run.host.machine);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("FOLDER"), c.expected);
    }
}

TEST(GetFolderLocation, WebRootFallsBackToTheVirtualRootsCutAtTheComma)
{
    struct Case {
        std::string slash;
        std::string slash_comma;
        std::string expected;
    };
    const Case cases[] = {
        {"D:\\www,,201", "E:\\other,,1", "D:\\www\\"},
        {"", "E:\\other,,1", "E:\\other\\"},
        {"", "", ""},
    };
    const std::string roots = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters\\Virtual Roots";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ScriptRun run({{"Get Folder Location", {"FOLDER", "27", "FALSE"}}});
        run.host.machine.texts[{RegistryRoot::local_machine, roots, "/", PlatformView::wow64_32}] = c.slash;
        run.host.machine.texts[{RegistryRoot::local_machine, roots, "/,", PlatformView::wow64_32}] = c.slash_comma;
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("FOLDER"), c.expected);
    }
}

TEST(GetEnvironment, ExpandsTheNameOrListsTheWholeBlock)
{
    ScriptRun run({{"Get Environment", {"$WHICH$", "$SET$"}},
                   {"Get Environment", {"NOT_THERE", "UNSET"}},
                   {"Get Environment", {"", "ALL"}}},
                  {{"WHICH", "PATH"}});
    run.host.machine.environment = {{"PATH", "C:\\bin"}, {"TEMP", "C:\\tmp"}};
    ASSERT_TRUE(run.run());
    // The name is expanded, the result name stripped of its dollar signs.
    EXPECT_EQ(run.var("SET"), "C:\\bin");
    EXPECT_EQ(run.var("UNSET"), "%NOT_THERE%");
    EXPECT_EQ(run.var("ALL"), "PATH=C:\\bin$NEWLINE$TEMP=C:\\tmp");
}

TEST(PluginCommand, SetsTheRegistryViewFromTheModeAndLeavesIt)
{
    for (std::string mode : {"Win32", "x64"}) {
        SCOPED_TRACE(mode);
        ScriptRun run({{"Set 64 Bit Mode", {"FALSE", "FALSE", mode == "x64" ? "TRUE" : "FALSE"}},
                       {"Run Test Plug-In", {"", "qtestplug.dll"}}},
                      {}, {"Run Test Plug-In"});
        run.host.existing_files.insert("C:\\qvo1\\qtestplug.dll");
        std::optional<PlatformView> during;
        run.host.plugin = [&](const PluginInvocation& call) -> std::optional<std::string> {
            during = run.host.machine.current_view;
            return call.variables;
        };
        ASSERT_TRUE(run.run());
        ASSERT_TRUE(during);
        EXPECT_EQ(*during, view_for_mode(mode));
        EXPECT_EQ(run.host.machine.current_view, view_for_mode(mode));
    }
}

} // namespace
} // namespace quillon::test
