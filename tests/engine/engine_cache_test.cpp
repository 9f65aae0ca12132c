// The engine cache under Wine: a silent installation copies the engine into
// its cache folder and registers it with Apps & features; the cached engine,
// started as Apps & features starts it, comes up in maintenance mode with the
// saved variables and removes the product, its entries and its cache.
#include "engine/setup_folder.h"
#include "msi/compiled_package.h"
#include "msi/installer_api.h"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

// Its own product (code and title), so that the other installing tests, which
// may run at the same time, never meet its cache or uninstall entries.
constexpr std::string_view product_code = "{2C2C2C2C-2222-3333-4444-555555555555}";
// The script's revision code is the package code of its package: an installed
// product with it is this build, maintained rather than upgraded.
constexpr std::string_view revision_code = "{6F5E4D3C-BA09-4A8E-9C7D-C6B7A8D9E0F1}";
const std::wstring uninstall_key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Cache Test";
const std::wstring product_entry =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{2C2C2C2C-2222-3333-4444-555555555555}";
const std::wstring ident_key = L"SOFTWARE\\Corvanta\\Quillon\\Ident.Cache\\{2C2C2C2C-2222-3333-4444-555555555555}";

CompiledScript cache_script_of(std::vector<CompiledCommand> commands)
{
    CompiledScript script = script_of(std::move(commands));
    script.product_code = std::string(product_code);
    script.product_title = "Cache Test";
    return script;
}

// A first installation saves NOTES (with a line break); a maintenance run
// checks it came back (30 when not), ends with 44 when it was started from
// the setup rather than the cache (saving SEEN), and applies the changes the command line
// asks for. Ends with 21 after a first installation, 41 after a maintenance
// run, 23 when the installer failed; 31 or 32 when a first installation
// finds NEEDSUPGRADE or NEWINSTANCE other than "FALSE".
CompiledScript cache_script()
{
    CompiledScript script = cache_script_of({
        command("If", 1, {"MAINTENANCE", "0", "TRUE", "FALSE"}),
        command("If", 2, {"NOTES", "0", "one$NEWLINE$two", "TRUE"}),
        command("Terminate with Exit Code", 3, {"30"}),
        command("End", 4),
        command("If", 16, {"NEWINSTANCE", "0", "TRUE", "FALSE"}),
        command("Set Variable", 19, {"SEEN$KYRT$KYRT$TRUE", "from the package"}),
        command("Terminate with Exit Code", 17, {"44"}),
        command("End", 18),
        command("Else", 5),
        command("If", 20, {"NEEDSUPGRADE", "0", "FALSE", "TRUE"}),
        command("Terminate with Exit Code", 21, {"31"}),
        command("End", 22),
        command("If", 23, {"NEWINSTANCE", "0", "FALSE", "TRUE"}),
        command("Terminate with Exit Code", 24, {"32"}),
        command("End", 25),
        command("Set Variable", 6, {"NOTES$KYRT$KYRT$TRUE", "one$NEWLINE$two"}),
        command("End", 7),
        command("Apply Changes", 8, {"", "RESULT", "$INSTALL$", "$REMOVE$"}),
        command("If", 9, {"RESULT", "0", "COMPLETE", "FALSE"}),
        command("If", 10, {"MAINTENANCE", "0", "TRUE", "FALSE"}),
        command("Terminate with Exit Code", 11, {"41"}),
        command("End", 12),
        command("Terminate with Exit Code", 13, {"21"}),
        command("End", 14),
        command("Terminate with Exit Code", 15, {"23"}),
    });
    script.revision_code = std::string(revision_code);
    return script;
}

fs::path common_app_data()
{
    wchar_t path[MAX_PATH] = L"";
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return fs::path(path);
}

int product_state()
{
    return msi::QueryProductState(std::string(product_code)).value_or(-1);
}

// The program and the tail of a command line whose program is quoted.
ProgramRun run_of(const std::wstring& command_line)
{
    std::size_t close = command_line.find(L'"', 1);
    EXPECT_EQ(command_line.front(), L'"');
    EXPECT_NE(close, std::wstring::npos);
    std::wstring tail = command_line.substr(close + 1);
    tail.erase(0, tail.find_first_not_of(L' '));
    return ProgramRun(fs::path(command_line.substr(1, close - 1)), tail, std::chrono::seconds(90));
}

TEST(EngineCache, InstallCachesTheEngineAndTheCachedEngineRemovesEverything)
{
    fs::path cache = common_app_data() / win32::to_wide(std::string(revision_code));
    // What an earlier, interrupted run of this test may have left.
    fs::remove_all(cache);
    registry_delete_tree(HKEY_LOCAL_MACHINE, uninstall_key);
    registry_delete_tree(HKEY_LOCAL_MACHINE, ident_key);
    registry_delete_tree(HKEY_LOCAL_MACHINE, product_entry, KEY_WOW64_64KEY);

    fs::path exe = make_setup(L"cache-install", cache_script(), {});
    std::string package =
        compiled_package(L"cache-install-package", std::string(product_code), std::string(revision_code));
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");
    ASSERT_NE(product_state(), msi::product_installed);

    RunOutcome installed = run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE"});
    ASSERT_EQ(installed.exit_code, 21u);
    EXPECT_EQ(product_state(), msi::product_installed);

    // The cache folder: hidden, with the engine, its companions and the run's data.
    DWORD attributes = GetFileAttributesW(cache.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
    for (const wchar_t* file : {L"setup.exe", L"setup.msi", L"setup.res", L"qvo.lib", L"setup.dat", L"setup.par",
                                L"setup.lnk", L"instance.dat"}) {
        SCOPED_TRACE(to_utf8(file));
        EXPECT_TRUE(fs::exists(cache / file));
    }
    EXPECT_FALSE(fs::exists(cache / L"setup.lan")); // no language was chosen
    EXPECT_EQ(fs::file_size(cache / L"setup.exe"), fs::file_size(exe));
    std::string instance = read_file_bytes(cache / L"instance.dat").value_or("");
    EXPECT_EQ(instance, std::string(product_code) + "\r\n" + std::string(revision_code) + "\r\nCache Test\r\n");
    std::string data = read_file_bytes(cache / L"setup.dat").value_or("");
    EXPECT_NE(data.find("\r\nNOTES\r\none$NEWLINE$two\r\n"), std::string::npos) << data;

    // The uninstall entry points at the cached engine.
    std::wstring engine = (cache / L"setup.exe").wstring();
    std::optional<std::wstring> uninstall = registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString");
    ASSERT_TRUE(uninstall);
    EXPECT_EQ(*uninstall, L"\"" + engine + L"\" REMOVE=TRUE MODIFY=FALSE");
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"ModifyPath"), L"\"" + engine + L"\"");
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayIcon"), engine);
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayName"), L"Cache Test");
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"DisplayVersion"), L"1.0.0.0");
    EXPECT_EQ(registry_dword(HKEY_LOCAL_MACHINE, uninstall_key, L"VersionMajor"), 1u);
    EXPECT_EQ(registry_dword(HKEY_LOCAL_MACHINE, uninstall_key, L"VersionMinor"), 0u);
    std::optional<std::wstring> location = registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"InstallLocation");
    ASSERT_TRUE(location);
    // A first installation's default destination is below the Program Files folder of 32-bit programs.
    std::optional<std::wstring> program_files =
        registry_string(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir (x86)");
    ASSERT_TRUE(program_files);
    EXPECT_EQ(location->rfind(*program_files + L"\\Cache Test", 0), 0u) << to_utf8(*location);
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, ident_key, L""), cache.wstring() + L"\\");
    // Windows Installer's own entry, in the view of the 32-bit package, starts the cached engine too.
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, product_entry, L"UninstallString", KEY_WOW64_32KEY),
              L"\"" + engine + L"\"");

    // The setup started again while its product is installed: a new instance
    // of the installed build, in maintenance with the cache's data.
    RunOutcome again = run_program({exe, L"/s"});
    EXPECT_EQ(again.exit_code, 44u) << "30: the saved NOTES did not come back";
    // Its end updated the maintenance data in place: whole, and nothing left beside it.
    std::string updated = read_file_bytes(cache / L"setup.dat").value_or("");
    EXPECT_NE(updated.find("\r\nNOTES\r\none$NEWLINE$two\r\nSEEN\r\nfrom the package\r\nKYRT64WOW\r\nWin32\r\n"),
              std::string::npos)
        << updated;
    EXPECT_FALSE(fs::exists(cache / L"setup.dat.new"));

    // A newer build over it: an upgrade that takes the old choices over.
    CompiledScript newer = cache_script_of({
        command("If", 1, {"NEEDSUPGRADE", "0", "TRUE", "TRUE"}),
        command("Terminate with Exit Code", 2, {"50"}),
        command("End", 3),
        command("If", 4, {"MAINTENANCE", "0", "FALSE", "TRUE"}),
        command("Terminate with Exit Code", 5, {"51"}),
        command("End", 6),
        command("If", 7, {"NEWINSTANCE", "0", "TRUE", "TRUE"}),
        command("Terminate with Exit Code", 8, {"52"}),
        command("End", 9),
        command("If", 10, {"NOTES", "0", "one$NEWLINE$two", "TRUE"}),
        command("Terminate with Exit Code", 11, {"53"}),
        command("End", 12),
        command("Terminate with Exit Code", 13, {"60"}),
        // What the newer build saves itself; never reached here.
        command("Set Variable", 14, {"NOTES$KYRT$KYRT$TRUE", "new"}),
    });
    newer.revision_code = "{7A6B5C4D-0000-4000-8000-000000000002}";
    newer.build_constants = {{"LOADOLDDATA", "TRUE"}};
    fs::path newer_exe = make_setup(L"cache-upgrade", newer, {});
    EXPECT_EQ(run_program({newer_exe, L"/s"}).exit_code, 60u);
    // Without LOADOLDDATA nothing of the old build comes over.
    newer.build_constants.clear();
    fs::path plain_exe = make_setup(L"cache-upgrade-plain", newer, {});
    EXPECT_EQ(run_program({plain_exe, L"/s"}).exit_code, 53u);
    // A patch setup of the newer build takes the installed product's data
    // from the cache its uninstall entry names.
    fs::path patch_exe = make_setup(L"cache-patch", newer, {});
    std::ofstream(patch_exe.parent_path() / L"setup.msp", std::ios::binary) << "patch";
    EXPECT_EQ(run_program({patch_exe, L"/s"}).exit_code, 60u);
    // With media kept by the installed product, what a patch run saves goes
    // into the installed product's cache folder, not one of its own build.
    CompiledScript kept = cache_script_of({
        command("Set Variable", 1, {"PATCHED$KYRT$KYRT$TRUE", "yes"}),
        command("Terminate with Exit Code", 2, {"61"}),
    });
    kept.revision_code = newer.revision_code;
    kept.media_mode = 3;
    fs::path kept_exe = make_setup(L"cache-patch-kept", kept, {});
    std::ofstream(kept_exe.parent_path() / L"setup.msp", std::ios::binary) << "patch";
    EXPECT_EQ(run_program({kept_exe, L"/s"}).exit_code, 61u);
    EXPECT_NE(read_file_bytes(cache / L"setup.dat").value_or("").find("\r\nPATCHED\r\nyes\r\n"), std::string::npos);

    // Apps & features removes the product with the entry's command line.
    RunOutcome removed = run_program(run_of(*uninstall));
    EXPECT_FALSE(removed.timed_out);
    EXPECT_EQ(removed.exit_code, 41u) << "30: the saved NOTES did not come back";
    EXPECT_NE(product_state(), msi::product_installed);
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, uninstall_key));
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, ident_key));
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, product_entry, KEY_WOW64_32KEY));
    EXPECT_FALSE(registry_key_exists(HKEY_LOCAL_MACHINE, product_entry, KEY_WOW64_64KEY));
    // The engine ran from the folder: it is gone, or moved aside for the restart.
    EXPECT_FALSE(fs::exists(cache));
}

// A product cached below a root given on the command line: runs that name the
// same root find their data there, without the identification key.
TEST(EngineCache, MaintenanceFindsItsDataBelowTheCommandLineRoot)
{
    const std::wstring root = L"C:\\Quillon Override\\installed";
    fs::path cache = fs::path(root) / win32::to_wide(std::string(revision_code));
    fs::remove_all(L"C:\\Quillon Override");
    fs::path exe = make_setup(L"cache-override-install", cache_script(), {});
    std::string package =
        compiled_package(L"cache-override-package", std::string(product_code), std::string(revision_code));
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");
    std::wstring override_argument = L" \"OVERRIDECACHE=" + root + L"\"";

    ASSERT_EQ(run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE" + override_argument}).exit_code, 21u);
    EXPECT_TRUE(fs::exists(cache / L"setup.dat"));
    EXPECT_EQ(registry_string(HKEY_LOCAL_MACHINE, ident_key, L""), cache.wstring() + L"\\");
    // Without the key only the command line's root leads to the data.
    registry_delete_tree(HKEY_LOCAL_MACHINE, ident_key);
    EXPECT_EQ(run_program({exe, L"/s" + override_argument}).exit_code, 44u) << "30: NOTES not found below the root";
    // A root the script names is taken over before its next command, and the
    // data below it come into the run as from the command line's.
    CompiledScript naming_root = cache_script();
    naming_root.commands.insert(naming_root.commands.begin(),
                                command("Set Variable", 30, {"OVERRIDECACHE", win32::to_ansi(root)}));
    fs::path naming_exe = make_setup(L"cache-override-script", naming_root, {});
    EXPECT_EQ(run_program({naming_exe, L"/s"}).exit_code, 44u) << "30: NOTES not found below the script's root";

    std::optional<std::wstring> uninstall = registry_string(HKEY_LOCAL_MACHINE, uninstall_key, L"UninstallString");
    ASSERT_TRUE(uninstall);
    ProgramRun removal = run_of(*uninstall);
    removal.arguments += override_argument;
    EXPECT_EQ(run_program(removal).exit_code, 41u);
    EXPECT_NE(product_state(), msi::product_installed);
    EXPECT_FALSE(fs::exists(cache));
    fs::remove_all(L"C:\\Quillon Override");
}

// OVERRIDECACHE from the command line: a root that can be made names the
// engine cache (the test leaves nothing made behind), one that cannot is
// cleared before the first command and the default root applies.
TEST(EngineCache, CacheOverrideFromTheCommandLine)
{
    const std::string revision = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
    std::string root = "C:\\Quillon Override\\root\\";
    std::string default_cache = win32::to_ansi(common_app_data().wstring()) + "\\" + revision + "\\";
    // 70: OVERRIDECACHE is not the expected one; 71: ENGINECACHE is not; 72: all as expected.
    auto script = [&](const std::string& expected_override, const std::string& expected_cache) {
        return cache_script_of({
            command("If", 1, {"OVERRIDECACHE", "0", expected_override, "TRUE"}),
            command("Terminate with Exit Code", 2, {"70"}),
            command("End", 3),
            command("If", 4, {"ENGINECACHE", "0", expected_cache, "TRUE"}),
            command("Terminate with Exit Code", 5, {"71"}),
            command("End", 6),
            command("Terminate with Exit Code", 7, {"72"}),
        });
    };
    fs::path made = make_setup(L"cache-override", script(root, root + revision + "\\"), {});
    EXPECT_EQ(run_program({made, L"/s \"OVERRIDECACHE=C:\\Quillon Override\\root\""}).exit_code, 72u);
    EXPECT_FALSE(fs::exists(L"C:\\Quillon Override"));

    fs::path cleared = make_setup(L"cache-override-bad", script("", default_cache), {});
    EXPECT_EQ(run_program({cleared, L"/s OVERRIDECACHE=Q:\\no drive\\cache"}).exit_code, 72u);
}

// "Transform Instance": a setup started from its package while the product
// is installed installs another instance of it, under new product and revision
// codes, with a package of its own in its engine cache; each instance is
// removed on its own.
TEST(EngineCache, ATransformedInstanceIsInstalledBesideTheFirstAndRemovedOnItsOwn)
{
    const std::string first_code = "{2D2D2D2D-2222-3333-4444-555555555555}";
    const std::string first_revision = "{2D2D2D2D-0000-4000-8000-000000000001}";
    const std::wstring instance_key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Instance Test";
    registry_delete_tree(HKEY_LOCAL_MACHINE, instance_key);
    // 62: the bootstrap under the new codes did not make it a first installation.
    // TRANSFORM=TRUE on the command line of a silent run keeps its value.
    CompiledScript script = cache_script_of({
        command("Set Variable", 12, {"TRANSFORM", "FALSE"}),
        command("If", 1, {"TRANSFORM", "0", "TRUE", "FALSE"}),
        command("Transform Instance", 2),
        command("If", 3, {"MAINTENANCE", "0", "FALSE", "TRUE"}),
        command("Terminate with Exit Code", 4, {"62"}),
        command("End", 5),
        command("End", 6),
        command("Apply Changes", 7, {"", "RESULT", "$INSTALL$", "$REMOVE$"}),
        command("If", 8, {"RESULT", "0", "COMPLETE", "FALSE"}),
        command("Terminate with Exit Code", 9, {"21"}),
        command("End", 10),
        command("Terminate with Exit Code", 11, {"23"}),
    });
    script.product_code = first_code;
    script.revision_code = first_revision;
    script.product_title = "Instance Test";
    fs::path exe = make_setup(L"instance-install", script, {});
    // One component, whose identity the new instance's package renews.
    const std::string original_component = "{2D2D2D2D-1111-4000-8000-000000000001}";
    qvoc::PackageRows rows;
    rows.components.push_back({"Marker", original_component, "TARGETDIR", "256", "", ""});
    rows.feature_components.push_back({"Product", "Marker"});
    std::string package = compiled_package(L"instance-package", first_code, first_revision, rows);
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");

    ASSERT_EQ(run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE"}).exit_code, 21u);
    ASSERT_EQ(msi::QueryProductState(first_code).value_or(-1), msi::product_installed);
    ASSERT_EQ(run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE TRANSFORM=TRUE"}).exit_code, 21u);

    // The uninstall entry of the title now leads to the new instance's cache.
    std::optional<std::wstring> uninstall = registry_string(HKEY_LOCAL_MACHINE, instance_key, L"UninstallString");
    ASSERT_TRUE(uninstall);
    ProgramRun removal = run_of(*uninstall);
    fs::path cache = removal.program.parent_path();
    std::string instance = read_file_bytes(cache / L"instance.dat").value_or("");
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = instance.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(instance.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u) << instance;
    const std::string& second_code = lines[0];
    EXPECT_NE(second_code, first_code);
    EXPECT_NE(lines[1], first_revision);
    EXPECT_EQ(cache.filename().wstring(), win32::to_wide(lines[1]));
    EXPECT_EQ(lines[2], "Instance Test");
    EXPECT_EQ(msi::QueryProductState(second_code).value_or(-1), msi::product_installed);
    EXPECT_EQ(msi::QueryProductState(first_code).value_or(-1), msi::product_installed);
    {
        // The cached package is the new instance's: its product code, package
        // code and component identity.
        Result<msi::MsiHandle> database = msi::OpenDatabase(win32::to_ansi((cache / L"setup.msi").wstring()), false);
        ASSERT_TRUE(database);
        auto single = [&](const std::string& sql) {
            Result<msi::MsiHandle> view = msi::OpenView(*database, sql);
            EXPECT_TRUE(view && msi::Execute(*view));
            if (!view)
                return std::string();
            Result<std::optional<msi::MsiHandle>> record = msi::Fetch(*view);
            return record && *record ? msi::RecordString(**record, 1).value_or("") : std::string();
        };
        EXPECT_EQ(single("SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'"), second_code);
        std::string component = single("SELECT `ComponentId` FROM `Component` WHERE `Component`='Marker'");
        EXPECT_NE(component, original_component);
        EXPECT_EQ(component.size(), original_component.size()) << component;
        Result<msi::MsiHandle> summary = msi::SummaryInformation(*database, 0);
        ASSERT_TRUE(summary);
        EXPECT_EQ(msi::SummaryString(*summary, msi::summary_revision_number).value_or(""), lines[1]);
    }

    // Each instance goes on its own: the new one by its cached engine, the
    // first by its setup.
    EXPECT_EQ(run_program(removal).exit_code, 21u);
    EXPECT_NE(msi::QueryProductState(second_code).value_or(-1), msi::product_installed);
    EXPECT_EQ(msi::QueryProductState(first_code).value_or(-1), msi::product_installed);
    EXPECT_EQ(run_program({exe, L"/s INSTALL=FALSE REMOVE=TRUE"}).exit_code, 21u);
    EXPECT_NE(msi::QueryProductState(first_code).value_or(-1), msi::product_installed);
}

} // namespace
} // namespace quillon::test
