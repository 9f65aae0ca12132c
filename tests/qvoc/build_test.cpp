#include "qvoc/build.h"
#include "qvoc/compile.h"
#include "qvoc/dump.h"
#include "qvoc/guid.h"
#include "qvoc_test_support.h"
#include "script/ScriptImage.h"
#include "media/sevenzip/sevenzip.h"
#include "script/scrambled_password.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon::test {
namespace {

using qvoc::BuildOptions;

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// Parameter texts that a line-based format is most likely to lose.
const std::vector<std::string> nasty_parameters = {
    "$",
    "",
    " leading blank",
    "trailing blank ",
    "  both sides  ",
    " ",
    "a|b||c|",
    "\"quoted\" and 'single'",
    "#not a comment",
    "$NEWLINE$",
    "first$NEWLINE$second",
    "[not a section]",
    "@not an attribute = 1",
    "| not a field",
    "= not verbatim",
    "\ttab\t",
    "\x80\x81\x9F\xA0\xC9\xE9\xFE\xFF",
    "$DOLLAR$ only inside",
    "$$",
    "$VAR$ and #CONST#",
    "\x01\x1A control bytes",
    "{0B1E2D3C-4A5B-4C6D-8E7F-901234567890}", // the identifier of an earlier command that has parameters
};

class SetupBuildTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = scratch_folder();
        m_engine = m_folder / "engine" / "engine.exe";
        write_file(m_engine, bare_engine_stub());
        write_file(m_folder / "engine" / "qvo.lib", "archive library stand-in");
        write_file(m_folder / "engine" / "quillon_handover.dll", "hand-over library stand-in");
        m_project_folder = m_folder / "project";
        write_file(m_project_folder / "resources" / "welcome.dfm", "object Welcome");
        write_file(m_project_folder / "resources" / "lang" / "translations.Original", "x");
        write_file(m_project_folder / "offline" / "bin" / "app.exe", "MZ payload");
    }

    // The fixture project with commands appended that no editor would keep
    // intact, written byte for byte.
    fs::path write_everything_project()
    {
        std::string text = read_file(test_data_folder() / "everything.qvp");
        EXPECT_FALSE(text.empty());
        text += "Nasty Parameters\n";
        for (const std::string& parameter : nasty_parameters)
            text += parameter.empty() ? "|\n" : "| " + parameter + "\n";
        text += "=  Spaced Name \n| x\n";
        for (int i = 0; i < 60; ++i)
            text += "# a long comment pushes the next command beyond what blank lines should fill\n";
        text += "End Of Comments\n";
        fs::path project = m_project_folder / "everything.qvp";
        write_file(project, text);
        return project;
    }

    Result<qvoc::BuildReport> build(const fs::path& project, const fs::path& output)
    {
        BuildOptions options;
        options.project = project;
        options.output_folder = output;
        options.engine = m_engine;
        return qvoc::build_setup(options);
    }

    fs::path m_folder;
    fs::path m_engine;
    fs::path m_project_folder;
};

TEST_F(SetupBuildTest, BuildDumpBuildGivesIdenticalBytes)
{
    fs::path project = write_everything_project();
    auto first = build(project, m_folder / "out1");
    ASSERT_TRUE(first) << first.error().describe();
    std::string setup = read_file(m_folder / "out1" / "everything.exe");

    auto script = qvoc::read_appended_script(m_folder / "out1" / "everything.exe");
    ASSERT_TRUE(script) << script.error().describe();
    EXPECT_EQ(setup, bare_engine_stub() + *script);
    qvoc::DumpOptions options;
    options.output_name = "everything";
    auto dumped = qvoc::dump_script(*script, options);
    ASSERT_TRUE(dumped) << dumped.error().describe();
    EXPECT_EQ(dumped->inexact_reason, "");

    // The media folders are no part of the script; the installed files' rows need them.
    std::string rebuilt = dumped->project;
    std::size_t setup_section = rebuilt.find("[setup]\n");
    ASSERT_NE(setup_section, std::string::npos) << rebuilt;
    rebuilt.insert(setup_section + 8, "media-folder = offline\n");
    std::size_t script_section = rebuilt.find("[script]\n\n");
    ASSERT_NE(script_section, std::string::npos) << rebuilt;
    rebuilt.erase(script_section + 9, 1); // one blank line fewer keeps the commands on their lines
    fs::path dumped_project = m_project_folder / "dumped.qvp";
    write_file(dumped_project, rebuilt);
    auto second = build(dumped_project, m_folder / "out2");
    ASSERT_TRUE(second) << second.error().describe();
    EXPECT_EQ(read_file(m_folder / "out2" / "everything.exe"), setup);

    // And once more from the second build, which must not drift.
    auto again = qvoc::dump_script(qvoc::read_appended_script(m_folder / "out2" / "everything.exe").value(), options);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->project, dumped->project);
}

TEST_F(SetupBuildTest, EngineReadsWhatTheProjectSays)
{
    fs::path project = write_everything_project();
    ASSERT_TRUE(build(project, m_folder / "out"));
    std::string script = qvoc::read_appended_script(m_folder / "out" / "everything.exe").value();
    auto image = parse_script_image(as_bytes(script));
    ASSERT_TRUE(image) << image.error().message;

    const auto& names = image->command_names();
    auto index_of = [&](std::string_view name) {
        return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    std::size_t nasty = index_of("Nasty Parameters");
    ASSERT_LT(nasty, names.size());
    for (std::size_t k = 0; k < nasty_parameters.size(); ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_EQ(image->Parameter(image->CommandId(nasty), k + 1).value(), nasty_parameters[k]);
    }
    EXPECT_LT(index_of(" Spaced Name "), names.size());

    EXPECT_EQ(image->product_code(), "{3F2A9C1E-7B4D-4E8A-9C61-2D5E8F0A1B3C}");
    EXPECT_EQ(image->revision_code(), "{A1B2C3D4-E5F6-4789-8ABC-DEF012345678}");
    EXPECT_EQ(image->product_title(), "Everything Setup");
    EXPECT_EQ(image->publisher(), "Quillon Test Publisher");
    EXPECT_EQ(image->contact(), "support@example.invalid");
    EXPECT_EQ(image->help_link(), "https://example.invalid/help");
    EXPECT_EQ(image->update_link(), "https://example.invalid/update");
    EXPECT_EQ(image->comments(), "All single values set");
    EXPECT_EQ(image->product_version(), "2.5.17.3");
    EXPECT_EQ(image->media_mode(), 2);
    EXPECT_EQ(image->default_language(), "German");
    EXPECT_TRUE(image->language_dialog());
    EXPECT_EQ(image->code_page(), 1250);
    EXPECT_EQ(image->plugin_commands(), (std::vector<std::string>{"(Un)Install MSI Setup", "#starts with a hash"}));
    EXPECT_EQ(image->component_sizes(), (std::vector<std::string>{"KYRT-PREDEF-COMPONENT", "1024", "Main Program",
                                                                  "1048576", "Help Files", "0"}));
    EXPECT_EQ(image->media_files(),
              (std::vector<std::string>{"OFFLINE", "bin\\app.exe", "OFFLINE\\", "web1", "docs\\readme.txt", "web1\\"}));
    EXPECT_EQ(image->build_constants(),
              (std::vector<std::string>{"SINGLEINSTANCE", "TRUE", "CACHESOURCES", "FALSE", "LOCMODE", "", "odd = name",
                                        "value of a name with an equals sign"}));
    EXPECT_EQ(image->web_media_password("WEB1").value(), "|pipe|and#hash");
    EXPECT_EQ(image->web_media_password("elsewhere").value(), "s3cret pass");

    std::size_t install = index_of("Install Files");
    EXPECT_EQ(image->CommandMediaFolder(install), "OFFLINE\\");
    EXPECT_EQ(image->CommandHeader(install).value().size(), 8u);
    EXPECT_FALSE(image->CommandHeader(index_of("Create Folder")));
    EXPECT_EQ(image->CommandHeader(index_of("Write Registry")).value(), "00C0FFEE");
    EXPECT_TRUE(image->IsDisabled(index_of("Comment")));
    EXPECT_FALSE(image->IsDisabled(index_of("If")));
    EXPECT_EQ(image->CommandId(index_of("If") + 1), "{0B1E2D3C-4A5B-4C6D-8E7F-901234567890}");

    // Source positions: the line of each command in the project, unless overridden.
    std::string text = read_file(project);
    std::size_t first_command = text.find("\nSet Variable\n");
    auto line_of_first = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(first_command), '\n') + 1;
    EXPECT_EQ(image->source_positions().front(), "everything.qvp*" + std::to_string(line_of_first));
    EXPECT_EQ(image->source_positions()[index_of("Label")], "other.qvp*5");

    // The companion files.
    EXPECT_EQ(read_file(m_folder / "out" / "qvo.lib"), "archive library stand-in");
    EXPECT_TRUE(fs::is_regular_file(m_folder / "out" / "everything.res"));
    EXPECT_TRUE(fs::is_regular_file(m_folder / "out" / "everything.msi"));
    EXPECT_EQ(read_file(m_folder / "out" / "data" / "offline" / "bin" / "app.exe"), "MZ payload");
}

TEST_F(SetupBuildTest, DumpAnnotatesOnlyWhatTheCompilerWouldNotRepeat)
{
    qvoc::GuidBytes product = *qvoc::parse_guid("{11111111-2222-3333-4444-555555555555}");
    std::string generated_first = qvoc::assign_identifiers(product, {std::nullopt}).at(0);
    std::string text = "[setup]\n"
                       "title = Plain\n"
                       "product-code = {11111111-2222-3333-4444-555555555555}\n"
                       "\n"
                       "[script]\n"
                       "Set Variable\n"
                       "| A\n"
                       "| 1\n"
                       "Create Folder\n"
                       "End\n"
                       "@id = " +
                       generated_first + "\n";
    fs::path project = m_project_folder / "plain.qvp";
    write_file(project, text);
    ASSERT_TRUE(build(project, m_folder / "out"));
    std::string script = qvoc::read_appended_script(m_folder / "out" / "setup.exe").value();
    auto dumped = qvoc::dump_script(script, {});
    ASSERT_TRUE(dumped) << dumped.error().describe();

    // Only the pinned identifier needs saying: with it in place the compiler
    // moves the first command aside to the same identifier as before.
    const std::string& out = dumped->project;
    EXPECT_EQ(std::count(out.begin(), out.end(), '@'), 1) << out;
    EXPECT_NE(out.find("@id = " + generated_first), std::string::npos) << out;
    EXPECT_EQ(out.find("@line"), std::string::npos) << out;
    EXPECT_EQ(out.find("@header"), std::string::npos) << out;
    EXPECT_EQ(out.find("revision-code"), std::string::npos) << out;
}

TEST_F(SetupBuildTest, FailedBuildLeavesTheOutputFolderAlone)
{
    fs::path output = m_folder / "out";
    write_file(output / "setup.exe", "previous build");
    struct Case {
        std::string_view what;
        std::string project;
        std::string_view message;
    };
    const Case cases[] = {
        {"project error", "[setup]\ntitle = T\nproduct-code = {1}\n", "broken.qvp:3: malformed GUID"},
        {"missing resource folder",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\nresources = nowhere\n",
         "broken.qvp:4: the resource folder \"nowhere\" is not a folder"},
        {"output inside a media folder",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\nmedia-folder = ../out/..\n",
         "broken.qvp:4: the output folder lies inside this media folder"},
        {"installed files from no media folder",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\nInstall Files\n| "
         "app.exe\n|\n| $TARGETDIR$\n",
         "broken.qvp:5: Install Files needs @media-folder"},
        {"installed files outside the media folder",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\nmedia-folder = offline\n"
         "[script]\nInstall Files\n@media-folder = OFFLINE\\\n| ..\\resources\n|\n| $TARGETDIR$\n",
         "broken.qvp:6: Install Files: \"..\\resources\" must be a path inside the media folder"},
        {"installed file that is not there",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\nmedia-folder = offline\n"
         "[script]\nInstall Files\n@media-folder = OFFLINE\\\n| bin\\gone.exe\n|\n| $TARGETDIR$\n",
         "broken.qvp:6: Install Files: \"bin\\gone.exe\" is not in the media folder"},
        {"registry root without a table root",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\nWrite Registry\n"
         "| 4\n|\n| Software\\Q\n| V\n| x\n",
         "broken.qvp:5: Write Registry: the root \"4\" is not 0"},
        {"registry number that is none",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\nWrite Registry\n"
         "| 2\n| reg_dword\n| Software\\Q\n| V\n| 4294967296\n",
         "broken.qvp:5: Write Registry: \"4294967296\" is not a 32-bit number"},
        {"lower-case media header of a command with rows",
         "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\nCreate Folder\n"
         "@header = 0000beef\n| $TARGETDIR$\n",
         "broken.qvp:6: the media header 0000beef must be upper case"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path project = m_project_folder / "broken.qvp";
        write_file(project, c.project);
        auto built = build(project, output);
        ASSERT_FALSE(built);
        EXPECT_NE(built.error().message.find(c.message), std::string::npos) << built.error().message;
        EXPECT_EQ(read_file(output / "setup.exe"), "previous build");
        std::vector<fs::path> left;
        for (const auto& entry : fs::directory_iterator(m_folder))
            left.push_back(entry.path().filename());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<fs::path>{"engine", "out", "project"})); // no staging folder stays behind
    }
}

TEST_F(SetupBuildTest, RowsWithoutTheHandOverLibraryAreRefused)
{
    fs::remove(m_folder / "engine" / "quillon_handover.dll");
    fs::path project = m_project_folder / "p.qvp";
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\n"
                        "Set Variable\n| A\n| B\n");
    EXPECT_TRUE(build(project, m_folder / "out")) << "a script without rows needs no library";
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n[script]\n"
                        "Create Folder\n| $TARGETDIR$\\logs\n");
    auto built = build(project, m_folder / "out2");
    ASSERT_FALSE(built);
    EXPECT_EQ(built.error().code, ErrorCode::not_found);
    EXPECT_NE(built.error().message.find("quillon_handover.dll"), std::string::npos) << built.error().message;
    EXPECT_FALSE(fs::exists(m_folder / "out2"));
}

TEST_F(SetupBuildTest, EngineStubWithAppendedDataIsRefused)
{
    write_file(m_engine, bare_engine_stub() + "script of an earlier build");
    fs::path project = m_project_folder / "p.qvp";
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n");
    auto built = build(project, m_folder / "out");
    ASSERT_FALSE(built);
    EXPECT_EQ(built.error().code, ErrorCode::unsupported);
    EXPECT_FALSE(fs::exists(m_folder / "out"));
}

TEST_F(SetupBuildTest, RebuildReplacesTheSetupFiles)
{
    fs::path project = m_project_folder / "p.qvp";
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                        "media-folder = offline\n");
    fs::path output = m_folder / "out";
    write_file(output / "setup.exe", "stale");
    write_file(output / "data" / "stale" / "old.txt", "stale media");
    write_file(output / "notes.txt", "kept");
    ASSERT_TRUE(build(project, output));
    EXPECT_NE(read_file(output / "setup.exe"), "stale");
    EXPECT_FALSE(fs::exists(output / "data" / "stale"));
    EXPECT_TRUE(fs::exists(output / "data" / "offline" / "bin" / "app.exe"));
    EXPECT_EQ(read_file(output / "notes.txt"), "kept");
}

TEST_F(SetupBuildTest, ArchiveFoldersArePackedBesideTheSetup)
{
    fs::path project = m_project_folder / "p.qvp";
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                        "archive-folder = offline\n");
    fs::path output = m_folder / "out";
    ASSERT_TRUE(build(project, output));
    {
        // Closed again before the next build: Windows cannot replace a file that is open.
        Result<sevenzip::Archive> archive = sevenzip::Archive::open(output / "offline.7z");
        ASSERT_TRUE(archive) << archive.error().message;
        fs::path extracted = m_folder / "extracted";
        ASSERT_TRUE(archive->extract(extracted));
        EXPECT_EQ(read_file(extracted / "bin" / "app.exe"), "MZ payload") << "the folder's content, without the folder";
    }

    // Compressed by default; "compression = 0" stores the bytes as they are.
    std::string log;
    for (int i = 0; i < 5000; ++i)
        log += "a line that repeats\r\n";
    write_file(m_project_folder / "offline" / "log.txt", log);
    ASSERT_TRUE(build(project, output));
    std::uintmax_t compressed = fs::file_size(output / "offline.7z");
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                        "archive-folder = offline\ncompression = 0\n");
    ASSERT_TRUE(build(project, output));
    std::uintmax_t stored = fs::file_size(output / "offline.7z");
    EXPECT_GT(stored, log.size());
    EXPECT_LT(compressed, log.size() / 20);

    // Two folders of one name would overwrite each other's archive.
    write_file(m_project_folder / "other" / "offline" / "x.txt", "x");
    write_file(project, "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                        "archive-folder = offline\narchive-folder = other/offline\n");
    Result<qvoc::BuildReport> twice = build(project, output);
    ASSERT_FALSE(twice);
    EXPECT_NE(twice.error().message.find("a second archive folder would become offline.7z"), std::string::npos);
}

TEST_F(SetupBuildTest, WebBlocksArePackedBelowTheirTopFolderForTheServer)
{
    fs::path project = m_project_folder / "p.qvp";
    const std::string head = "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                             "web-block = offline\n";
    write_file(project, head);
    fs::path output = m_folder / "out";
    ASSERT_TRUE(build(project, output));
    EXPECT_FALSE(fs::exists(output / "offline.7zip")) << "beside the setup it would be used instead of a download";
    {
        Result<sevenzip::Archive> archive = sevenzip::Archive::open(output / "web" / "offline.7zip");
        ASSERT_TRUE(archive) << archive.error().message;
        fs::path extracted = m_folder / "extracted";
        ASSERT_TRUE(archive->extract(extracted));
        EXPECT_EQ(read_file(extracted / "offline" / "bin" / "app.exe"), "MZ payload");
    }

    // The engine would open it with the password; an archive without one would not do.
    write_file(project, head + "[passwords]\nOFFLINE = secret\n");
    Result<qvoc::BuildReport> encrypted = build(project, output);
    ASSERT_FALSE(encrypted);
    EXPECT_NE(encrypted.error().message.find("qvoc writes no encrypted archives"), std::string::npos);
}

TEST(EngineStubSearch, FindsTheStubBesideOrInDistAbove)
{
    // Outside the source tree, whose own dist/win64/engine.exe would be found above the scratch folder.
    fs::path folder = fs::temp_directory_path() / "quillon-stub-search";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::path program = folder / "build" / "src" / "qvoc";
    fs::create_directories(program);
    EXPECT_FALSE(qvoc::find_engine_stub(program));
    write_file(folder / "dist" / "win64" / "engine.exe", "stub");
    EXPECT_EQ(qvoc::find_engine_stub(program).value(), folder / "dist" / "win64" / "engine.exe");
    write_file(program / "engine.exe", "stub");
    EXPECT_EQ(qvoc::find_engine_stub(program).value(), program / "engine.exe");
}

TEST(DumpScript, ExecutableWithoutScriptIsNotFound)
{
    fs::path folder = scratch_folder();
    write_file(folder / "bare.exe", bare_engine_stub());
    auto script = qvoc::read_appended_script(folder / "bare.exe");
    ASSERT_FALSE(script);
    EXPECT_EQ(script.error().code, ErrorCode::not_found);
}

TEST(DumpScript, ScriptTheProjectFormCannotRepeatIsRefusedUnlessAllowed)
{
    // A hand-made script whose disable flag is neither "C" nor empty.
    std::string script;
    for (std::string_view line : {"End",
                                  "$",
                                  "{11111111-2222-3333-4444-555555555555}",
                                  "$",
                                  "$",
                                  "X",
                                  "$",
                                  "{11111111-2222-3333-4444-555555555556}",
                                  "Title",
                                  "$",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "1.0",
                                  "$",
                                  "",
                                  "$",
                                  "1",
                                  "$",
                                  "{11111111-2222-3333-4444-555555555557}",
                                  "$",
                                  "FALSE",
                                  "English",
                                  "$",
                                  "$",
                                  "1252",
                                  "p.qvp*0",
                                  "$"}) {
        script.append(line);
        script.append("\r\n");
    }
    auto refused = qvoc::dump_script(script, {});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::unsupported);

    qvoc::DumpOptions options;
    options.allow_inexact = true;
    auto allowed = qvoc::dump_script(script, options);
    ASSERT_TRUE(allowed);
    EXPECT_NE(allowed->inexact_reason.find("disable flag"), std::string::npos) << allowed->inexact_reason;
}

} // namespace
} // namespace quillon::test
