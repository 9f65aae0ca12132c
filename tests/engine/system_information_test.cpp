// The system information commands of a real setup under Wine, in both platform
// modes: the answers come from Wine's registry, folders and token, and a
// value written under the 32-bit registry view is seen in "Win32" mode only.
// The script hands its variables to the test plug-in, which saves them.
#include "engine/setup_folder.h"
#include "vars/comma_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <map>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

const std::wstring owner_key_32 = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::wstring wow64_node_owner_key = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion";

// Writes a string value into the 32-bit view, the way a 32-bit program's setup would have.
void write_32_bit_value(const std::wstring& key, const std::wstring& name, const std::wstring& value)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

std::string windows_path(UINT (*function)(LPWSTR, UINT))
{
    wchar_t buffer[MAX_PATH];
    UINT length = function(buffer, MAX_PATH);
    return to_utf8(std::wstring(buffer, length)) + "\\";
}

// The variables the test plug-in saved: name, value.
std::map<std::string, std::string> saved_variables(const fs::path& file)
{
    std::map<std::string, std::string> vars;
    std::optional<std::string> text = read_file_bytes(file);
    if (!text)
        return vars;
    std::vector<std::string> items = parse_comma_text(*text);
    for (std::size_t i = 0; i + 1 < items.size(); i += 2)
        vars[items[i]] = items[i + 1];
    return vars;
}

// The commands asked in one mode; each result variable carries the mode's prefix.
std::vector<CompiledCommand> questions(const std::string& prefix, int& ordinal)
{
    std::vector<CompiledCommand> commands;
    for (const char* index : {"0", "17", "18", "33", "35", "60", "61", "65", "70", "71", "74", "75", "79", "82"})
        commands.push_back(command("Get System Settings", ++ordinal, {prefix + "S" + index, index}));
    for (const char* index : {"9", "20", "23", "25"})
        commands.push_back(command("Get Folder Location", ++ordinal, {prefix + "F" + index, index, "FALSE"}));
    commands.push_back(command("Get Folder Location", ++ordinal, {prefix + "F20C", "20", "TRUE"}));
    return commands;
}

TEST(SystemInformation, AnswersFromTheMachineInBothPlatformModes)
{
    // Not a key that both views share (Wine links "...\CurrentVersion\Setup", for one, to the 64-bit key).
    write_32_bit_value(owner_key_32, L"RegisteredOwner", L"Owner of the 32-bit side");
    // Wine keeps the 32-bit view under Wow6432Node, as Windows does.
    ASSERT_EQ(registry_string(HKEY_LOCAL_MACHINE, wow64_node_owner_key, L"RegisteredOwner"),
              L"Owner of the 32-bit side");
    SetEnvironmentVariableW(L"QUILLON_PROBE", L"probe value");

    int ordinal = 0;
    std::vector<CompiledCommand> commands = questions("W", ordinal);
    commands.push_back(command("Get OS or SP Level", ++ordinal, {"OS", "TRUE"}));
    commands.push_back(command("Get OS or SP Level", ++ordinal, {"SP", "FALSE"}));
    commands.push_back(command("Get Environment", ++ordinal, {"QUILLON_PROBE", "ENV"}));
    commands.push_back(command("Get Environment", ++ordinal, {"QUILLON_NOT_SET", "NOENV"}));
    commands.push_back(command("Set 64 Bit Mode", ++ordinal, {"FALSE", "FALSE", "TRUE"}));
    for (CompiledCommand& c : questions("X", ordinal))
        commands.push_back(std::move(c));
    fs::path dir = fresh_scratch_dir(L"system-information");
    fs::path saved = dir / L"variables.txt";
    commands.push_back(command("Save Variables", ++ordinal, {"save:" + to_utf8(saved.wstring()), "qtestplug.dll"}));
    CompiledScript script = script_of(commands);
    script.plugin_commands = {"Save Variables"};

    std::optional<std::string> plugin = read_file_bytes(test_plugin_file());
    ASSERT_TRUE(plugin);
    fs::path exe = make_setup(L"system-information-setup", script, {{L"qtestplug.dll", *plugin}});
    RunOutcome outcome = run_program({exe, L"/s"});
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, wow64_node_owner_key.c_str(), L"RegisteredOwner");
    ASSERT_EQ(outcome.exit_code, 0u);

    std::map<std::string, std::string> vars = saved_variables(saved);
    ASSERT_FALSE(vars.empty()) << "the plug-in saved no variables";
    auto var = [&vars](const std::string& name) {
        auto found = vars.find(name);
        return found == vars.end() ? std::string("<missing>") : found->second;
    };

    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD computer_length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &computer_length));
    wchar_t user[256];
    DWORD user_length = 256;
    ASSERT_TRUE(GetUserNameW(user, &user_length));
    std::string windows = windows_path(GetWindowsDirectoryW);
    std::string system = windows_path(GetSystemDirectoryW);
    std::string system_32 = windows_path(GetSystemWow64DirectoryW);

    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        // Facts that do not depend on the mode.
        {"WS17", "FALSE"},
        {"WS18", "TRUE"},
        {"WS60", to_utf8(std::wstring(user, user_length - 1))},
        {"WS61", to_utf8(std::wstring(computer, computer_length))},
        {"WS65", "TRUE"}, // a 32-bit engine would see 64-bit Windows through IsWow64Process
        {"WS75", "AMD64"},
        {"WS79", "TRUE"},
        {"WS82", ""},
        {"XS65", "TRUE"},
        // The test prefix reports Windows 7 with its service pack 1 (Wine 8's default).
        {"OS", "SEVEN"},
        {"SP", "1"},
        {"ENV", "probe value"},
        {"NOENV", "%QUILLON_NOT_SET%"},
        {"WF25", windows},
        // The registry through the view of the mode: the seeded 32-bit value in
        // "Win32" mode, Wine's own (empty) 64-bit one in "x64" mode. BootDir's key
        // is one both views share.
        {"WF9", "C:\\"},
        {"XF9", "C:\\"},
        {"WS35", "Owner of the 32-bit side"},
        {"XS35", ""},
        // The 32-bit folders in "Win32" mode: program files from "ProgramFilesDir (x86)"
        // (Wine's prefix has no 32-bit ProgramFilesDir), the 32-bit system folder.
        {"WF20", "C:\\Program Files (x86)\\"},
        {"WF20C", "C:\\Program Files (x86)\\Common Files\\"},
        {"XF20", "C:\\Program Files\\"},
        {"XF20C", "C:\\Program Files\\Common Files\\"},
        {"WF23", system_32},
        {"XF23", system},
        // winver.exe through the redirector's path: Wine's 32-bit folder is empty.
        {"WS33", ""},
        {"XS33", "1033"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(var(c.name), c.expected);
    }
    // The virtual machine checks run (no fault) and agree with each other.
    for (const char* index : {"70", "71", "74", "0"}) {
        SCOPED_TRACE(index);
        std::string answer = var(std::string("WS") + index);
        EXPECT_TRUE(answer == "TRUE" || answer == "FALSE") << answer;
    }
    EXPECT_EQ(var("WS74"), var("WS70") == "FALSE" && var("WS71") == "FALSE" ? "TRUE" : "FALSE");
}

// Writes or deletes a number of the web server's version key in the 32-bit view.
void set_web_server_version(std::optional<DWORD> major)
{
    const wchar_t* key = L"SOFTWARE\\Microsoft\\InetStp";
    if (!major) {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
        return;
    }
    HKEY opened = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    DWORD minor = 0;
    RegSetValueExW(opened, L"MajorVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*major), sizeof(DWORD));
    RegSetValueExW(opened, L"MinorVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minor), sizeof(DWORD));
    RegCloseKey(opened);
}

// Setting 59 and "IIS Anonymous User" of a real setup. Wine has no web server:
// without one the question goes to the administration objects of old servers,
// which are not registered, and the answer is empty; with IIS 10 registered the
// engine writes its IIS 7 library into the support folder and the library reads
// the server's configuration file (put into the prefix by the test).
TEST(SystemInformation, TheWebServersAnonymousAccount)
{
    fs::path config_folder = fs::path(windows_path(GetSystemDirectoryW)) / L"inetsrv" / L"config";
    fs::path config = config_folder / L"applicationHost.config";
    ASSERT_FALSE(fs::exists(config)) << "a configuration file of someone else's is in the way";
    std::optional<std::string> plugin = read_file_bytes(test_plugin_file());
    ASSERT_TRUE(plugin);
    auto ask = [&](const wchar_t* name) {
        int ordinal = 0;
        fs::path dir = fresh_scratch_dir(name);
        fs::path saved = dir / L"variables.txt";
        CompiledScript script = script_of({
            command("Get System Settings", ++ordinal, {"S59", "59"}),
            command("IIS Anonymous User", ++ordinal, {"ANON"}),
            command("Save Variables", ++ordinal, {"save:" + to_utf8(saved.wstring()), "qtestplug.dll"}),
        });
        script.plugin_commands = {"Save Variables"};
        fs::path exe = make_setup(name, script, {{L"qtestplug.dll", *plugin}});
        RunOutcome outcome = run_program({exe, L"/s"});
        EXPECT_EQ(outcome.exit_code, 0u);
        return saved_variables(saved);
    };

    set_web_server_version(std::nullopt);
    std::map<std::string, std::string> without = ask(L"web-server-none");
    EXPECT_EQ(without["S59"], "");
    EXPECT_EQ(without["ANON"], "");

    bool made_folder = !fs::exists(config_folder);
    fs::create_directories(config_folder);
    std::ofstream(config, std::ios::binary) << R"(<?xml version="1.0" encoding="UTF-8"?>
<configuration>
    <system.applicationHost><sites /></system.applicationHost>
    <system.webServer><security><authentication>
        <anonymousAuthentication enabled="true" userName="QuillonVisitor" />
    </authentication></security></system.webServer>
</configuration>
)";
    set_web_server_version(10);
    std::map<std::string, std::string> with = ask(L"web-server-iis10");
    set_web_server_version(std::nullopt);
    fs::remove(config);
    if (made_folder) {
        fs::remove(config_folder);
        fs::remove(config_folder.parent_path());
    }
    EXPECT_EQ(with["S59"], "QuillonVisitor");
    EXPECT_EQ(with["ANON"], "QuillonVisitor");
}

// The engine declares the Windows versions it knows, so that GetVersionEx
// reports the real version on Windows 8.1 and later.
TEST(SystemInformation, TheEngineDeclaresCurrentWindowsVersions)
{
    HMODULE engine = LoadLibraryExW(dist_file(L"engine.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(engine, nullptr);
    HRSRC found = FindResourceW(engine, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(engine, found))),
                         SizeofResource(engine, found));
    FreeLibrary(engine);
    for (const char* windows : {"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"})
        EXPECT_NE(manifest.find(windows), std::string::npos) << windows;
    // No elevation request of its own: the manifest changes what the version queries report, nothing else.
    EXPECT_EQ(manifest.find("requestedExecutionLevel"), std::string::npos);
}

} // namespace
} // namespace quillon::test
