#include "vars/expand.h"
#include "vars/predefined.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

StartupFacts example_startup()
{
    StartupFacts startup;
    startup.exe_file = "C:\\Setups\\Example\\setup.exe";
    startup.engine_folder = "C:\\Setups\\Example\\";
    startup.temp_folder = "C:\\Temp\\";
    startup.support_folder = "C:\\Temp\\qvo1\\";
    startup.database_path = "C:\\Temp\\qvo1\\setup.msi";
    startup.command_tail = "/s TARGETDIR=D:\\App";
    startup.log_file = "c:\\logs\\setup.log";
    startup.package_path = "d:\\pkg\\outer.exe";
    startup.group_policy_path = "\\\\server\\policy\\setup.gpo";
    startup.silent = true;
    startup.product_title = "Example Product";
    startup.publisher = "Example Corp";
    startup.product_version = "1.2.0.0";
    return startup;
}

MachineFacts example_machine()
{
    return MachineFacts{true, "Pat Owner", "Owner Ltd", "10.12.2026", "05:48:44", 123456};
}

TEST(PredefinedVariables, StartValuesFromTheStartUpAndTheMachine)
{
    TVariableManager vars;
    seed_thread_state(vars, 123456);
    seed_pre_initialization(vars, example_startup(), example_machine(), "");
    seed_initialization(vars, example_startup(), example_machine());
    struct Case {
        std::string_view name;
        std::string_view value;
    };
    const Case cases[] = {
        {"KYRT_thProgress", "0"},
        {"KYRT_thMax", "100"},
        {"KYRT_thFinished", "FALSE"},
        {"KYRT_LastActiveTick", "123456"},
        {"TARGETDIR", ""},
        {"STARTMENU", "Example Product"},
        {"ALLUSERS", "TRUE"},
        {"KYRT_TIMEOUT", "10"},
        {"IISHOST", "localhost"},
        {"OVERRIDECACHE", ""},
        {"EXEFILE", "C:\\Setups\\Example\\setup.exe"},
        {"EXEDIR", "C:\\Setups\\Example\\"},
        {"ABORT", "FALSE"},
        {"USERNAME", "Pat Owner"},
        {"USERCOMPANY", "Owner Ltd"},
        {"VERSION", "1.2.0.0"},
        {"SILENT", "TRUE"},
        {"LOGGED", "c:\\logs\\setup.log"},
        {"CMDLINE", "/s TARGETDIR=D:\\App"},
        {"SFXPATH", "d:\\pkg\\"},
        {"SFXFILE", "outer.exe"},
        {"GPOPATH", "\\\\server\\policy\\"},
        {"NEWLINE", "\r\n"},
        {"ROOTDIR", "C:\\Setups\\Example\\"},
        {"TITLE", "Example Product"},
        {"COMPANY", "Example Corp"},
        {"DATE", "10.12.2026"},
        {"TIME", "05:48:44"},
        {"TEMPDIR", "C:\\Temp\\"},
        {"ABORTONERROR", "TRUE"},
        {"SUPPORTDIR", "C:\\Temp\\qvo1\\"},
        {"MSIFILE", "C:\\Temp\\qvo1\\setup.msi"},
        {"LANGUAGE", ""},
        {"WIZARD", "NEXT"},
        {"REMOVE", "FALSE"},
        {"MODIFY", "TRUE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(VarExists(vars, c.name));
        EXPECT_EQ(GetVar(vars, c.name), c.value);
    }
    EXPECT_EQ(Expand(vars, "a$NEWLINE$b"), "a\r\nb");
}

TEST(PredefinedVariables, WithoutPackageOrPolicyTheirFoldersAreEmpty)
{
    TVariableManager vars;
    StartupFacts startup = example_startup();
    startup.package_path.clear();
    startup.group_policy_path.clear();
    startup.silent = false;
    seed_initialization(vars, startup, example_machine());
    EXPECT_EQ(GetVar(vars, "SFXPATH"), "");
    EXPECT_EQ(GetVar(vars, "SFXFILE"), "");
    EXPECT_EQ(GetVar(vars, "GPOPATH"), "");
    EXPECT_EQ(GetVar(vars, "SILENT"), "FALSE");
}

TEST(PredefinedVariables, AnOverrideCacheGivenEarlierIsKept)
{
    TVariableManager vars;
    vars.Add("OVERRIDECACHE", "E:\\Cache\\");
    seed_initialization(vars, example_startup(), example_machine());
    EXPECT_EQ(GetVar(vars, "OVERRIDECACHE"), "E:\\Cache\\");
}

TEST(StandardCaption, FollowsTitleAndBranding)
{
    EXPECT_EQ(StandardCaption("", false), "Quillon Wizard");
    EXPECT_EQ(StandardCaption("Example", false), "Example - Quillon Wizard");
    EXPECT_EQ(StandardCaption("Example", true), "Example");
    EXPECT_EQ(StandardCaption("Beispiel", false, "-Assistent"), "Beispiel - Quillon-Assistent");

    TVariableManager vars;
    vars.Add("TITLE", "Example");
    vars.Add("KYRTLOGO", "true");
    EXPECT_EQ(StandardCaption(vars), "Example - Quillon Wizard") << "only exactly TRUE brands";
    vars.SetValue("KYRTLOGO", "TRUE");
    EXPECT_EQ(StandardCaption(vars), "Example");
}

} // namespace
} // namespace quillon
