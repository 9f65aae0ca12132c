// The file, registry and INI commands of a real setup under Wine: text files,
// versions, disk space and the folder walk (with its progress, and cancelled)
// on the real disk, and the registry commands on Wine's registry in both
// platform modes. The script hands its variables to the test plug-in, which saves them.
#include "base/strings.h"
#include "engine/setup_folder.h"
#include "platform/win32/unique_handle.h"
#include "vars/comma_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <map>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

using Variables = std::map<std::string, std::string>;

// Windows' own form of a path, for the script and for comparing its answers.
std::string windows_path(fs::path path)
{
    return to_utf8(path.make_preferred().wstring());
}

void write_text(const fs::path& file, std::string_view text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// Runs the commands silently in a fresh setup, then saves the variables; the setup's exit code must be 0.
Variables run_setup(const std::wstring& name, std::vector<CompiledCommand> commands)
{
    fs::path saved = fresh_scratch_dir(name + L"-saved") / L"variables.txt";
    commands.push_back(command("Save Variables", static_cast<int>(commands.size()) + 1,
                               {"save:" + windows_path(saved), "qtestplug.dll"}));
    CompiledScript script = script_of(std::move(commands));
    script.plugin_commands = {"Save Variables"};
    std::optional<std::string> plugin = read_file_bytes(test_plugin_file());
    EXPECT_TRUE(plugin);
    fs::path exe = make_setup(name + L"-setup", script, {{L"qtestplug.dll", plugin.value_or("")}});
    RunOutcome outcome = run_program({exe, L"/s"});
    EXPECT_EQ(outcome.exit_code, 0u);
    std::optional<std::string> text = read_file_bytes(saved);
    EXPECT_TRUE(text) << "the plug-in saved no variables";
    Variables vars;
    std::vector<std::string> items = parse_comma_text(text.value_or(""));
    for (std::size_t i = 0; i + 1 < items.size(); i += 2)
        vars[ansi_upper(items[i])] = items[i + 1];
    return vars;
}

// Variable names compare without regard to case.
std::string var(const Variables& vars, const std::string& name)
{
    auto found = vars.find(ansi_upper(name));
    return found == vars.end() ? std::string("<missing>") : found->second;
}

// The version of a file as the test reads it itself.
std::string file_version(const fs::path& file)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0)
        return "0.0.0.0";
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr)
        return "0.0.0.0";
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

std::wstring win32_system_folder()
{
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

TEST(FileCommands, WorkOnTheRealDisk)
{
    fs::path dir = fresh_scratch_dir(L"file-commands");
    std::string root = windows_path(dir);
    // One folder and one matching file per folder, so that the walk's order
    // does not depend on the order in which the file system lists a folder.
    write_text(dir / L"T" / L"a.txt", "a");
    write_text(dir / L"T" / L"b.log", "b");
    write_text(dir / L"T" / L"S" / L"b.txt", "b");
    write_text(dir / L"T" / L"S" / L"Deep Folder" / L"c.txt", "c");
    write_text(dir / L"D" / L"x.txt", "x");
    write_text(dir / L"D" / L"Sub" / L"Inner" / L"y.txt", "y");
    write_text(dir / L"D" / L"Sub" / L"ro.txt", "read-only");
    SetFileAttributesW((dir / L"D" / L"Sub" / L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    write_text(dir / L"old.txt", "kept\r\n");
    SetFileAttributesW((dir / L"old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    write_text(dir / L"app.ini", "[Main]\r\nName=Quillon Setup\r\n");
    std::string kernel32 = to_utf8(win32_system_folder()) + "\\kernel32.dll";

    int n = 0;
    std::vector<CompiledCommand> commands = {
        command("Does File/Folder Exist", ++n, {"E_FILE", root + "\\T\\a.txt", "TRUE"}),
        command("Does File/Folder Exist", ++n, {"E_NOTFILE", root + "\\T", "TRUE"}),
        command("Does File/Folder Exist", ++n, {"E_FOLDER", root + "\\T", "FALSE"}),
        command("Check Disk Space", ++n, {"FREE", root, "TRUE"}),
        command("Check Disk Space", ++n, {"TOTAL", root, "FALSE"}),
        command("Check Disk Space", ++n, {"NODISK", "Q:\\nowhere\\at all", "TRUE"}),
        command("Write to Text File", ++n, {root + "\\new.txt", "second", "FALSE"}),
        command("Write to Text File", ++n, {root + "\\new.txt", "first", "TRUE"}),
        command("Write to Text File", ++n, {root + "\\old.txt", "added", "FALSE"}),
        command("Read from Text File", ++n, {root + "\\new.txt", "L1", "EOF1"}),
        command("Write to Text File", ++n, {root + "\\NEW.TXT", "third", "FALSE"}),
        command("Read from Text File", ++n, {root + "\\new.txt", "L2", "EOF2"}),
        command("Read from Text File", ++n, {"#READALL\\" + root + "\\new.txt", "REST", "EOF3"}),
        command("Get INI File Settings", ++n, {"INI", root + "\\app.ini", "Main", "Name"}),
        command("Get INI File Settings", ++n, {"NOINI", root + "\\app.ini", "Main", "Other"}),
        // In "Win32" mode the system folder is the 32-bit one, empty in Wine's 64-bit prefix.
        command("Get File Version", ++n, {kernel32, "V_WIN32"}),
        command("Find All Files", ++n, {root + "\\T\\*.txt", "TRUE", "TRUE", "FOUND"}),
        command("Set Variable", ++n, {"FOUND_TEXT", "$KYRT_thProgressText$"}),
        command("Set Variable", ++n, {"FOUND_MAX", "$KYRT_thMax$"}),
        command("Delete Files Recursive", ++n, {root + "\\D\\*.*"}),
        command("Set 64 Bit Mode", ++n, {"FALSE", "FALSE", "TRUE"}),
        command("Get File Version", ++n, {kernel32, "V_X64"}),
        command("Check File Version", ++n, {"NEWER", kernel32, "FALSE", "", "1.0"}),
        command("Check File Version", ++n, {"SAME", kernel32, "TRUE", kernel32, ""}),
        // A cancel made before the walk stops it at its first look.
        command("Set Variable", ++n, {"ABORTONERROR", "FALSE"}),
        command("Set Variable", ++n, {"ABORT", "TRUE"}),
        command("Find All Files", ++n, {root + "\\T\\*.txt", "TRUE", "TRUE", "CANCELLED"}),
        command("Set Variable", ++n, {"ABORT", "FALSE"}),
    };
    commands.push_back(command("Write to Text File", ++n, {root + "\\locked.txt", "lost?", "FALSE"}));
    // A file another program holds open without sharing can be neither read nor
    // replaced: it keeps its content, and the command reports nothing.
    write_text(dir / L"locked.txt", "in use\r\n");
    Variables vars;
    {
        win32::UniqueFile locked(CreateFileW((dir / L"locked.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(locked);
        vars = run_setup(L"file-commands", commands);
    }
    EXPECT_EQ(read_file_bytes(dir / L"locked.txt"), "in use\r\n");

    std::string deep = root + "\\T\\S\\Deep Folder";
    const std::pair<std::string, std::string> cases[] = {
        {"E_FILE", "TRUE"},
        {"E_NOTFILE", "FALSE"},
        {"E_FOLDER", "TRUE"},
        {"NODISK", "0"},
        {"L1", "first"},
        {"EOF1", "FALSE"},
        {"L2", "first"},
        {"EOF2", "FALSE"},
        {"REST", "second$NEWLINE$third"},
        {"EOF3", "TRUE"},
        {"INI", "Quillon Setup"},
        {"NOINI", ""},
        {"V_WIN32", "0.0.0.0"},
        {"V_X64", file_version(fs::path(win32_system_folder()) / L"kernel32.dll")},
        {"NEWER", "TRUE"},
        {"SAME", "FALSE"},
        {"FOUND", "\"" + deep + "\\c.txt\"|\"" + deep + "\"|" + root + "\\T\\S\\b.txt|" + root + "\\T\\S|" + root +
                      "\\T\\a.txt"},
        {"FOUND_TEXT", root + "\\T\\a.txt"},
        {"FOUND_MAX", "100"},
        {"CANCELLED", "\"" + deep + "\\c.txt\""},
        {"ABORTEDONERROR", "TRUE"},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(var(vars, name), expected);
    }
    EXPECT_NE(var(vars, "V_X64"), "0.0.0.0");
    std::uint64_t free_bytes = std::stoull(var(vars, "FREE"));
    std::uint64_t total_bytes = std::stoull(var(vars, "TOTAL"));
    EXPECT_GT(free_bytes, 0u);
    EXPECT_GE(total_bytes, free_bytes);

    EXPECT_EQ(read_file_bytes(dir / L"new.txt"), "first\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(read_file_bytes(dir / L"old.txt"), "kept\r\nadded\r\n") << "a read-only file is written too";
    EXPECT_TRUE(fs::is_directory(dir / L"D"));
    EXPECT_TRUE(fs::is_empty(dir / L"D")) << "everything below D is gone, read-only files too";
    // Every write replaced its file whole: no temporary file is left beside them.
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
        EXPECT_NE(entry.path().extension(), L".tmp") << entry.path();
}

const std::wstring test_key = L"Software\\QuillonFileRegistryTest";

void set_value(const std::wstring& key, const std::wstring& name, DWORD type, const void* data, DWORD size, REGSAM view)
{
    HKEY opened = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(opened, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(opened);
}

void set_text(const std::wstring& key, const std::wstring& name, const std::wstring& text, REGSAM view,
              DWORD type = REG_SZ)
{
    set_value(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)), view);
}

TEST(RegistryCommands, ReadAndDeleteInBothViews)
{
    registry_delete_tree(HKEY_LOCAL_MACHINE, test_key, KEY_WOW64_32KEY);
    registry_delete_tree(HKEY_LOCAL_MACHINE, test_key, KEY_WOW64_64KEY);
    // Scripts of "Win32" mode read what a 32-bit setup wrote; Wine keeps it under Wow6432Node as Windows does.
    REGSAM view32 = KEY_WOW64_32KEY;
    REGSAM view64 = KEY_WOW64_64KEY;
    set_text(test_key, L"Text", L"32-bit text", view32);
    set_text(test_key, L"Text", L"64-bit text", view64);
    set_text(test_key, L"Expand", L"%TEMP%\\x", view32, REG_EXPAND_SZ);
    set_text(test_key, L"Sentinel", L"NO$VALUE", view32);
    DWORD all_ones = 0xFFFFFFFF;
    set_value(test_key, L"Number", REG_DWORD, &all_ones, sizeof all_ones, view32);
    set_value(test_key, L"Short", REG_DWORD, &all_ones, 3, view32);
    const BYTE bytes[] = {0x01, 0xFF};
    set_value(test_key, L"Bytes", REG_BINARY, bytes, sizeof bytes, view32);
    const wchar_t list[] = L"a\0b\0";
    set_value(test_key, L"List", REG_MULTI_SZ, list, sizeof list, view32);
    ULONGLONG wide = 1;
    set_value(test_key, L"Wide", REG_QWORD, &wide, sizeof wide, view32);
    for (REGSAM view : {view32, view64}) {
        set_text(test_key + L"\\Tree\\Sub", L"V", L"x", view);
        set_text(test_key + L"\\Leaf", L"V", L"x", view);
        set_text(test_key, L"Gone", L"x", view);
    }
    ASSERT_EQ(registry_string(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\QuillonFileRegistryTest", L"Text"),
              L"32-bit text");

    std::string key = to_utf8(test_key);
    int n = 0;
    std::vector<CompiledCommand> commands;
    for (const char* name : {"Text", "Expand", "Sentinel", "Number", "Short", "Bytes", "List", "Wide", "None"}) {
        commands.push_back(command("Check Registry", ++n, {std::string("C_") + name, "2", key, name}));
        commands.push_back(command("Read Registry", ++n, {std::string("R_") + name, "2", key, name}));
    }
    commands.push_back(command("Check Registry", ++n, {"C_NOKEY", "2", key + "\\Missing", "Text"}));
    commands.push_back(command("Read Registry", ++n, {"R_NOKEY", "2", key + "\\Missing", "Text"}));
    commands.push_back(command("Delete Registry", ++n, {"2", key + "\\Tree", "", "TRUE"}));
    commands.push_back(command("Delete Registry", ++n, {"2", key, "Gone", "FALSE"}));
    commands.push_back(command("Set 64 Bit Mode", ++n, {"FALSE", "FALSE", "TRUE"}));
    commands.push_back(command("Check Registry", ++n, {"X_Text", "2", key, "Text"}));
    commands.push_back(command("Check Registry", ++n, {"X_Number", "2", key, "Number"}));
    commands.push_back(command("Delete Registry", ++n, {"2", key + "\\Tree", "", "TRUE"}));
    commands.push_back(command("Delete Registry", ++n, {"2", key + "\\Leaf", "", "TRUE"}));
    Variables vars = run_setup(L"registry-commands", commands);

    const std::pair<std::string, std::string> cases[] = {
        {"C_Text", "32-bit text"},  {"R_Text", "32-bit text"},
        {"C_Expand", "%TEMP%\\x"},  {"C_Sentinel", "NO$VALUE"},
        {"R_Sentinel", ""},         {"C_Number", "-1"},
        {"C_Short", "READ$ERROR"},  {"R_Short", ""},
        {"C_Bytes", "01FF"},        {"C_List", "a$NEWLINE$b"},
        {"C_Wide", "UNKNOWN$TYPE"}, {"R_Wide", ""},
        {"C_None", "NO$VALUE"},     {"R_None", ""},
        {"C_NOKEY", "NO$KEY"},      {"R_NOKEY", ""},
        {"X_Text", "64-bit text"},  {"X_Number", "NO$VALUE"},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(var(vars, name), expected);
    }

    // "Win32" deleted the 32-bit Tree with its subkey and the 32-bit value only.
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, test_key + L"\\Tree", view32));
    EXPECT_FALSE(registry_string(HKEY_LOCAL_MACHINE, test_key, L"Gone", view32));
    EXPECT_TRUE(registry_string(HKEY_LOCAL_MACHINE, test_key, L"Gone", view64));
    // "x64" deletes a key without subkeys only, in the native view.
    EXPECT_TRUE(registry_key_exists(HKEY_LOCAL_MACHINE, test_key + L"\\Tree\\Sub", view64));
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, test_key + L"\\Leaf", view64));
    EXPECT_TRUE(registry_key_exists(HKEY_LOCAL_MACHINE, test_key + L"\\Leaf", view32));

    registry_delete_tree(HKEY_LOCAL_MACHINE, test_key, KEY_WOW64_32KEY);
    registry_delete_tree(HKEY_LOCAL_MACHINE, test_key, KEY_WOW64_64KEY);
}

} // namespace
} // namespace quillon::test
