// "Apply Changes" in a real setup under Wine: the engine edits its copy of a
// package the setup compiler wrote, hands the run's properties over, and runs
// it through Windows Installer, which installs and removes the product.
#include "engine/setup_folder.h"
#include "msi/compiled_package.h"
#include "msi/installer_api.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

// Its own product (code and title), so that the other installing tests, which
// may run at the same time, never meet its installation or uninstall entries.
constexpr std::string_view product_code = "{2A2A2A2A-2222-3333-4444-555555555555}";

CompiledScript apply_script_of(std::vector<CompiledCommand> commands)
{
    CompiledScript script = script_of(std::move(commands));
    script.product_code = std::string(product_code);
    script.product_title = "Apply Test";
    return script;
}

// Applies the changes and ends with 21 COMPLETE, 22 REBOOT, 23 ERROR (25
// when LASTERROR is empty), 24 CANCEL.
CompiledScript apply_script(const std::string& page = "")
{
    CompiledCommand folder = command("Create Folder", 1, {"$TEMPDIR$Quillon Folder"});
    folder.media_header = "0A1B2C3D";
    CompiledCommand skipped = command("Create Folder", 3, {"C:\\Never"});
    skipped.media_header = "0B1C2D3E";
    std::vector<CompiledCommand> commands = {
        folder,
        command("If", 2, {"NEVER", "5", "", "FALSE"}),
        skipped,
        command("End", 4),
        command("Apply Changes", 5, {page, "RESULT", "$INSTALL$", "$REMOVE$"}),
        command("If", 6, {"RESULT", "0", "COMPLETE", "FALSE"}),
        command("Terminate with Exit Code", 7, {"21"}),
        command("End", 8),
        command("If", 9, {"RESULT", "0", "REBOOT", "FALSE"}),
        command("Terminate with Exit Code", 10, {"22"}),
        command("End", 11),
        command("If", 12, {"RESULT", "0", "CANCEL", "FALSE"}),
        command("Terminate with Exit Code", 13, {"24"}),
        command("End", 14),
        command("If", 15, {"LASTERROR", "0", "", "FALSE"}),
        command("Terminate with Exit Code", 16, {"25"}),
        command("End", 17),
        command("Terminate with Exit Code", 18, {"23"}),
    };
    CompiledScript script = apply_script_of(commands);
    return script;
}

int product_state()
{
    return msi::QueryProductState(std::string(product_code)).value_or(-1);
}

TEST(ApplyChanges, InstallsAndRemovesTheProductWithTheRecordedProperties)
{
    fs::path exe = make_setup(L"apply-install", apply_script(), {});
    std::string package =
        compiled_package(L"apply-install-package", std::string(product_code), "{3C2B1A09-8F7E-4D6C-B5A4-9384756A5B4C}");
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");
    fs::path log = exe.parent_path() / L"setup.log";
    ASSERT_NE(product_state(), msi::product_installed);

    RunOutcome installed = run_program({exe, L"/s /l=" + log.wstring() + L" INSTALL=TRUE REMOVE=FALSE"});
    EXPECT_EQ(installed.exit_code, 21u);
    EXPECT_EQ(product_state(), msi::product_installed);

    // The log carries the header of the run with the recorded properties: the
    // command that ran switched on, the one in the branch not taken off.
    std::string text = read_utf16_file(log).value_or("");
    EXPECT_NE(text.find("=== Apply Test"), std::string::npos) << text;
    EXPECT_NE(text.find(": Applying Changes @"), std::string::npos);
    std::size_t properties = text.find("*** Properties ***\r\n");
    ASSERT_NE(properties, std::string::npos) << text;
    std::string line = text.substr(properties + 20, text.find("\r\n", properties + 20) - properties - 20);
    EXPECT_NE(line.find("A0A1B2C3D,FALSE,A0B1C2D3E,FALSE,A0A1B2C3D,TRUE,P0A1B2C3D_1,"), std::string::npos) << line;
    EXPECT_NE(line.find("MSINTEMP,"), std::string::npos) << line;
    std::size_t package_line = text.find("*** MSI Database ***\r\n");
    ASSERT_NE(package_line, std::string::npos);
    EXPECT_NE(text.find("setup.msi", package_line), std::string::npos);
    // The hand-over file lives only while the run does.
    EXPECT_FALSE(fs::exists(child_temp_dir() / win32::to_wide(std::string(product_code))));

    RunOutcome removed = run_program({exe, L"/s INSTALL=FALSE REMOVE=TRUE"});
    EXPECT_EQ(removed.exit_code, 21u);
    EXPECT_NE(product_state(), msi::product_installed);
}

// The run's progress page: its first refresh starts the installer thread,
// Windows Installer's progress reaches its bar, and the page ends the wait
// when the run has finished.
TEST(ApplyChanges, TheProgressPageShowsTheRunAndEndsWithIt)
{
    const std::string page = "object Progress: TForm\r\n  Caption = 'Installing $TITLE$'\r\n  ClientWidth = 360\r\n"
                             "  ClientHeight = 120\r\n"
                             "  object lblAction: TStaticText\r\n    Left = 8\r\n    Top = 8\r\n    Width = 340\r\n"
                             "    Height = 20\r\n    Tag = 1\r\n  end\r\n"
                             "  object pbProgress: TProgressBar\r\n    Left = 8\r\n    Top = 40\r\n    Width = 340\r\n"
                             "    Height = 20\r\n    Tag = 1\r\n  end\r\n"
                             "  object btnCancel: TButton\r\n    Left = 272\r\n    Top = 80\r\n    Width = 75\r\n"
                             "    Height = 25\r\n    Tag = 3\r\n    Caption = 'Cancel'\r\n  end\r\nend\r\n";
    fs::path exe =
        make_setup(L"apply-page", apply_script("Progress"), {{L"Progress.dfm", page}, {L"Progress.dfm.qvof", ""}});
    std::string package =
        compiled_package(L"apply-page-package", std::string(product_code), "{4D3C2B1A-9F8E-4E7D-A6B5-A49586B7C6D5}");
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");

    StartedProgram program = start_program({exe, L"INSTALL=TRUE REMOVE=FALSE"});
    HWND shown = wait_for_page(L"Progress.dfm", std::chrono::seconds(30));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(window_text(shown).rfind(L"Installing Apply Test", 0), 0u) << to_utf8(window_text(shown));
    save_window_bitmap(shown, exe.parent_path() / L"progress.bmp");
    RunOutcome outcome = program.wait(std::chrono::seconds(60));
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 21u);
    EXPECT_EQ(product_state(), msi::product_installed);

    EXPECT_EQ(run_program({exe, L"/s INSTALL=FALSE REMOVE=TRUE"}).exit_code, 21u);
    EXPECT_NE(product_state(), msi::product_installed);
}

// A cancel that is pending when the changes are to be applied keeps Windows
// Installer from running: the result is CANCEL, and nothing was installed.
TEST(ApplyChanges, ACancelBeforeTheRunReportsCancel)
{
    CompiledScript script = apply_script();
    script.commands.insert(script.commands.begin(), command("Set Variable", 30, {"KYRT_IsCancelled", "TRUE"}));
    fs::path exe = make_setup(L"apply-cancelled", script, {});
    std::string package = compiled_package(L"apply-cancelled-package", std::string(product_code),
                                           "{8B7A6F5E-4D3C-4B2A-9998-877665544332}");
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");
    EXPECT_EQ(run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE"}).exit_code, 24u);
    EXPECT_NE(product_state(), msi::product_installed);
}

// A maintenance run whose media are gone asks for them with a folder dialog
// that carries the engine's prompt; cancelling it gives CANCEL without a run.
TEST(ApplyChanges, MissingMediaAreAskedForAndACancelledDialogCancels)
{
    fs::path exe = make_setup(L"apply-media", apply_script(), {});
    StartedProgram program =
        start_program({exe, L"INSTALL=TRUE REMOVE=FALSE MAINTENANCE=TRUE DATADIR=C:\\Nowhere\\data\\"});
    HWND dialog = nullptr;
    ASSERT_TRUE(pump_until(
        [&] {
            dialog = find_own_window(L"#32770", [](HWND window) {
                HWND text = FindWindowExW(window, nullptr, L"Static", nullptr);
                for (; text != nullptr; text = FindWindowExW(window, text, L"Static", nullptr))
                    if (window_text(text).find(L"locate your original setup sources") != std::wstring::npos)
                        return true;
                return false;
            });
            return dialog != nullptr;
        },
        std::chrono::seconds(30)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    RunOutcome outcome = program.wait(std::chrono::seconds(30));
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 24u);
    EXPECT_NE(product_state(), msi::product_installed);
}

TEST(ApplyChanges, APackageThatCannotBeOpenedEndsWithErrorAndItsText)
{
    // make_setup's package is a stand-in that is no database at all.
    fs::path exe = make_setup(L"apply-broken", apply_script(), {});
    RunOutcome outcome = run_program({exe, L"/s INSTALL=TRUE REMOVE=FALSE"});
    EXPECT_EQ(outcome.exit_code, 23u);
    EXPECT_NE(product_state(), msi::product_installed);
}

// "(Un)Install MSI Setup": the engine's plug-in library installs another
// package without a user interface and removes it again by its product code.
TEST(MsiExecPlugin, InstallsAndRemovesAnotherPackage)
{
    const std::string other = "{6F5E4D3C-2B1A-4098-8776-655443322110}";
    auto script_for = [&](const std::string& parameter) {
        CompiledScript script = apply_script_of({
            command("Set Variable", 6, {"MSIRESULT", "none"}),
            command("(Un)Install MSI Setup", 1, {parameter, "mMSIExec.dll"}),
            command("If", 2, {"MSIRESULT", "0", "0", "FALSE"}),
            command("Terminate with Exit Code", 3, {"41"}),
            command("End", 4),
            command("Terminate with Exit Code", 5, {"42"}),
        });
        script.plugin_commands = {"(Un)Install MSI Setup"};
        return script;
    };
    std::optional<std::string> library = read_file_bytes(dist_file(L"mMSIExec.dll"));
    ASSERT_TRUE(library);
    std::string package = compiled_package(L"msiexec-package", other, "{7A6F5E4D-3C2B-4A19-8887-766554433221}");

    fs::path install =
        make_setup(L"msiexec-install", script_for("INSTALL|$PACKAGE$||MSIRESULT"), {{L"mMSIExec.dll", *library}});
    RunOutcome installed = run_program({install, L"/s PACKAGE=" + win32::to_wide(package)});
    EXPECT_EQ(installed.exit_code, 41u);
    EXPECT_EQ(msi::QueryProductState(other).value_or(-1), msi::product_installed);

    fs::path remove =
        make_setup(L"msiexec-remove", script_for("UNINSTALL|" + other + "||MSIRESULT"), {{L"mMSIExec.dll", *library}});
    EXPECT_EQ(run_program({remove, L"/s"}).exit_code, 41u);
    EXPECT_NE(msi::QueryProductState(other).value_or(-1), msi::product_installed);
}

// Without the .NET Framework (Wine's prefix has none) each tool command tries
// its three frameworks and goes on; the package has no assemblies to remove.
TEST(DotNetCommands, GoOnWhenNoFrameworkIsThere)
{
    CompiledScript script = apply_script_of({
        command("Generate Native Images", 1, {"C:\\App\\a.dll|"}),
        command("Run .NET Installer Class", 2, {"C:\\App\\a.dll", "TRUE"}),
        command("Register Assembly", 3, {"N, Version=1.0.0.0, PublicKeyToken=T|"}),
        command("Remove Assemblies", 4),
        command("Terminate with Exit Code", 5, {"31"}),
    });
    fs::path exe = make_setup(L"dotnet-tools", script, {});
    std::string package =
        compiled_package(L"dotnet-tools-package", std::string(product_code), "{5E4D3C2B-AF9E-4F8D-B7C6-B5A6978D8E7F}");
    fs::remove(exe.parent_path() / L"setup.msi");
    fs::copy_file(fs::path(win32::to_wide(package)), exe.parent_path() / L"setup.msi");
    RunOutcome outcome = run_program({exe, L"/s", std::chrono::seconds(60)});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 31u);
}

} // namespace
} // namespace quillon::test
