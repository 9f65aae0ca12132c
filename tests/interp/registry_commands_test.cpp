// The registry and INI commands through the loop, against an in-memory
// registry: every value type and sentinel of "Check Registry" and the empty
// texts of "Read Registry", the view each platform mode reads and deletes in,
// and "Get INI File Settings".
#include "interp/registry_values.h"
#include "interp_test_support.h"

namespace quillon::test {
namespace {

using enum RegistryHive;
using enum PlatformView;

const std::string app_key = "Software\\Quillon\\Test";

TEST(CheckRegistry, GivesEveryTypeAsTextAndTheSentinels)
{
    struct Case {
        std::string name;
        std::uint32_t type;
        std::string data;
        std::string checked;
        std::string read;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"Text", registry_type::string, "hello\0"s, "hello", "hello"},
        {"Cut", registry_type::string, "up to\0here"s, "up to", "up to"},
        {"Unexpanded", registry_type::expand_string, "%TEMP%\\x\0"s, "%TEMP%\\x", "%TEMP%\\x"},
        {"AllOnes", registry_type::dword, "\xFF\xFF\xFF\xFF"s, "-1", "-1"},
        {"Number", registry_type::dword, "\x2A\x01\x00\x00"s, "298", "298"},
        {"ShortNumber", registry_type::dword, "\x01\x02\x03"s, "READ$ERROR", ""},
        {"Bytes", registry_type::binary, "\x01\xFF"s, "01FF", "01FF"},
        {"NoBytes", registry_type::binary, "", "", ""},
        {"List", registry_type::multi_string, "a\0b\0\0"s, "a$NEWLINE$b", "a$NEWLINE$b"},
        {"ListWithGap", registry_type::multi_string, "a\0\0c\0\0"s, "a", "a"},
        {"Wide", registry_type::qword, "\1\0\0\0\0\0\0\0"s, "UNKNOWN$TYPE", ""},
        {"Sentinel", registry_type::string, "NO$VALUE"s, "NO$VALUE", ""},
        {"OldSentinel", registry_type::string, "BINARY$VALUE"s, "BINARY$VALUE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptRun run(
            {{"Check Registry", {"CHECKED", "2", app_key, c.name}}, {"Read Registry", {"READ", "2", app_key, c.name}}});
        run.host.registry.set(local_machine, app_key, c.name, wow64_32, c.type, c.data);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("CHECKED"), c.checked);
        EXPECT_EQ(run.var("READ"), c.read);
    }
}

TEST(CheckRegistry, MissingKeysValuesAndFailures)
{
    struct Case {
        std::string root;
        std::string key;
        std::string name;
        std::string checked;
    };
    const Case cases[] = {
        {"1", "Software\\Missing", "Value", "NO$KEY"},
        {"1", app_key, "Missing", "NO$VALUE"},
        {"1", app_key, "Broken", "READ$ERROR"},
        {"one", app_key, "Value", "READ$ERROR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.checked + " " + c.root);
        ScriptRun run({{"Check Registry", {"CHECKED", c.root, c.key, c.name}},
                       {"Read Registry", {"READ", c.root, c.key, c.name}},
                       {"Set Variable", {"AFTER", "ran"}}},
                      {{"READ", "old"}});
        run.host.registry.set(current_user, app_key, "Value", wow64_32, registry_type::string, "v");
        run.host.registry.failing.insert("BROKEN");
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("CHECKED"), c.checked);
        EXPECT_EQ(run.var("READ"), "");
        EXPECT_EQ(run.var("AFTER"), "ran");
    }
}

TEST(ReadRegistry, RootIndexesSelectTheRoots)
{
    const std::pair<std::string, RegistryHive> cases[] = {
        {"0", classes_root},   {"1", current_user}, {"2", local_machine}, {"3", users},
        {"4", current_config}, {"5", current_user}, {"-1", current_user},
    };
    for (const auto& [index, hive] : cases) {
        SCOPED_TRACE(index);
        ScriptRun run({{"Read Registry", {"READ", index, "Key", "Name"}}});
        run.host.registry.set(hive, "Key", "Name", wow64_32, registry_type::string, "found");
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("READ"), "found");
    }
}

// "Win32" reads the 32-bit view, any other mode the native one; the flag goes
// back to the 32-bit view after each command.
TEST(ReadRegistry, ThePlatformModeChoosesTheView)
{
    ScriptRun run({{"Read Registry", {"W1", "2", app_key, "Where"}},
                   {"Set 64 Bit Mode", {"FALSE", "FALSE", "TRUE"}},
                   {"Read Registry", {"X", "2", app_key, "Where"}},
                   {"Set 64 Bit Mode", {"FALSE", "TRUE", "FALSE"}},
                   {"Check Registry", {"I", "2", app_key, "Where"}},
                   {"Set 64 Bit Mode", {"TRUE", "FALSE", "FALSE"}},
                   {"Read Registry", {"W2", "2", app_key, "Where"}}});
    run.host.registry.set(local_machine, app_key, "Where", wow64_32, registry_type::string, "32-bit");
    run.host.registry.set(local_machine, app_key, "Where", native, registry_type::string, "64-bit");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("W1"), "32-bit");
    EXPECT_EQ(run.var("X"), "64-bit");
    EXPECT_EQ(run.var("I"), "64-bit");
    EXPECT_EQ(run.var("W2"), "32-bit");
    EXPECT_EQ(run.host.machine.current_view, wow64_32);
    EXPECT_EQ(run.host.machine.views_set,
              (std::vector<PlatformView>{wow64_32, wow64_32, native, wow64_32, native, wow64_32, wow64_32, wow64_32}));
}

TEST(DeleteRegistry, Win32ModeDeletesTheKeyWithItsSubkeys)
{
    ScriptRun run({{"Delete Registry", {"1", app_key, "", "TRUE"}}});
    FakeRegistry& registry = run.host.registry;
    registry.set(current_user, app_key + "\\Sub\\Deeper", "V", wow64_32, registry_type::string, "x");
    registry.set(current_user, app_key + "\\Sub\\Deeper", "V", native, registry_type::string, "x");
    ASSERT_TRUE(run.run());
    EXPECT_FALSE(registry.has_key(current_user, app_key, wow64_32));
    EXPECT_TRUE(registry.has_key(current_user, "Software\\Quillon", wow64_32));
    EXPECT_TRUE(registry.has_key(current_user, app_key + "\\Sub\\Deeper", native)) << "the other view is untouched";
}

TEST(DeleteRegistry, NativeModeDeletesOnlyAKeyWithoutSubkeys)
{
    for (std::string_view mode : {"x64", "ia64"}) {
        SCOPED_TRACE(mode);
        ScriptRun run({{"Set 64 Bit Mode", {"FALSE", mode == "ia64" ? "TRUE" : "", mode == "x64" ? "TRUE" : ""}},
                       {"Delete Registry", {"1", app_key, "", "TRUE"}},
                       {"Delete Registry", {"1", "Software\\Leaf", "", "TRUE"}},
                       {"Delete Registry", {"1", "TopLeaf", "", "-1"}}});
        FakeRegistry& registry = run.host.registry;
        registry.set(current_user, app_key + "\\Sub", "V", native, registry_type::string, "x");
        registry.set(current_user, "Software\\Leaf", "V", native, registry_type::string, "x");
        registry.add_key(current_user, "TopLeaf", native);
        ASSERT_TRUE(run.run());
        EXPECT_TRUE(registry.has_key(current_user, app_key + "\\Sub", native));
        EXPECT_TRUE(registry.has_key(current_user, app_key, native));
        EXPECT_FALSE(registry.has_key(current_user, "Software\\Leaf", native));
        EXPECT_FALSE(registry.has_key(current_user, "TopLeaf", native)) << "a key right under the root";
    }
}

TEST(DeleteRegistry, DeletesAValueAndNeverARoot)
{
    ScriptRun run({{"Delete Registry", {"1", app_key, "Gone", "FALSE"}},
                   {"Delete Registry", {"1", "Software\\Missing", "Gone", "FALSE"}},
                   {"Delete Registry", {"1", "", "", "TRUE"}},
                   {"Delete Registry", {"1", "\\\\", "", "TRUE"}},
                   {"Delete Registry", {"x", app_key, "", "TRUE"}},
                   {"Set Variable", {"AFTER", "ran"}}});
    FakeRegistry& registry = run.host.registry;
    registry.set(current_user, app_key, "Gone", wow64_32, registry_type::string, "x");
    registry.set(current_user, app_key, "Kept", wow64_32, registry_type::string, "x");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("AFTER"), "ran");
    EXPECT_FALSE(registry.has_value(current_user, app_key, "Gone", wow64_32));
    EXPECT_TRUE(registry.has_value(current_user, app_key, "Kept", wow64_32));
    EXPECT_EQ(registry.deletions,
              (std::vector<std::string>{"value " + app_key + "|Gone", "value Software\\Missing|Gone"}))
        << "an empty key or a root that is not a number deletes nothing";
}

TEST(GetIniFileSettings, ReadsTheEntryUnlessSectionOrKeyIsEmpty)
{
    ScriptRun run({{"Get INI File Settings", {"VALUE", "C:\\T\\app.ini", "Main", "Name"}},
                   {"Get INI File Settings", {"NOKEY", "C:\\T\\app.ini", "Main", ""}},
                   {"Get INI File Settings", {"NOSECTION", "C:\\T\\app.ini", "", "Name"}},
                   {"Get INI File Settings", {"LONG", "C:\\T\\app.ini", "Main", "Long"}},
                   {"Get INI File Settings", {"MISSING", "C:\\T\\app.ini", "Main", "Other"}},
                   {"Get INI File Settings", {"SYSTEM", "C:\\Windows\\System32\\sys.ini", "S", "K"}}},
                  {{"NOKEY", "old"}});
    FakeFiles& files = run.host.files;
    files.profile["C:\\T\\app.ini|Main|Name"] = "Quillon";
    files.profile["C:\\T\\app.ini|Main|Long"] = std::string(30000, 'x');
    files.profile["C:\\Windows\\SysWOW64\\sys.ini|S|K"] = "32-bit";
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("VALUE"), "Quillon");
    EXPECT_EQ(run.var("NOKEY"), "");
    EXPECT_TRUE(run.vars.Exists("NOSECTION"));
    EXPECT_EQ(run.var("LONG"), std::string(25999, 'x'));
    EXPECT_EQ(run.var("MISSING"), "");
    EXPECT_EQ(run.var("SYSTEM"), "32-bit");
    EXPECT_EQ(files.profile_reads.size(), 4u) << "an empty section or key opens no file";
}

} // namespace
} // namespace quillon::test
