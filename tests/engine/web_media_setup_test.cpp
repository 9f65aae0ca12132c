// Setups that keep their media in the engine cache, run under Wine against a
// real web server on loopback: web media blocks downloaded, extracted and
// distributed into the cache, marked complete and not fetched again; the
// failures a silent run reports. The archives are made by Debian's 7-Zip
// (web_media_archives.sh); the commands that need the media are plug-in
// commands whose library travels in the block.
#include "base/strings.h"
#include "engine/setup_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

const std::string revision = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
const std::string plugin_command = "Run Test Plug-In";

std::string narrow(const fs::path& path)
{
    return to_utf8(path.wstring());
}

class WebMediaSetup : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::optional<std::string> port = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"port");
        ASSERT_TRUE(port) << "the web server fixture did not start";
        m_base = "http://127.0.0.1:" + port->substr(0, port->find_first_of("\r\n")) + "/media/";
    }

    // A command that needs the block's media: the library below the block's
    // folder creates flag + ".started" when it is loaded.
    static CompiledCommand plugin(int ordinal, const std::string& folder, const fs::path& flag)
    {
        CompiledCommand c = command(plugin_command, ordinal, {"wait-file:" + narrow(flag), "plug\\qtestplug.dll"});
        c.media_folder = folder;
        return c;
    }

    CompiledScript block_script(const std::vector<std::pair<std::string, std::string>>& blocks, const fs::path& flags)
    {
        std::vector<CompiledCommand> commands;
        int ordinal = 1;
        for (const auto& [name, locations] : blocks) {
            commands.push_back(command("Web Media Block", ordinal++, {name, locations}));
            commands.push_back(plugin(ordinal++, ascii_upper(name) + "\\", flags / (name + ".flag")));
        }
        CompiledScript script = script_of(std::move(commands));
        script.media_mode = 2;
        script.plugin_commands = {plugin_command};
        // One member for two folders of the installer database; the others stay below the block's folder.
        script.media_files = {{"Web1", "docs\\readme.txt", "OFFLINE\\docs"},
                              {"WEB1", "docs\\readme.txt", "OFFLINE\\copy"}};
        return script;
    }

    std::string access_log() const { return read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"access.log").value_or(""); }

    std::string m_base;
};

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

TEST_F(WebMediaSetup, TwoBlocksComeFromTheFirstLocationThatAnswersAndAreFetchedOnce)
{
    fs::path cache = fresh_scratch_dir(L"web-media-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-flags");
    for (const char* name : {"Web1.flag", "Web2.flag"})
        std::ofstream(flags / name) << "present";
    CompiledScript script =
        block_script({{"Web1", "http://127.0.0.1:1/media/Web1.7zip$NEWLINE$" + m_base + "Web1.7zip"},
                      {"Web2", m_base + "Web2.7zip"}},
                     flags);
    fs::path exe = make_setup(L"web-media-setup", script, {});
    fs::path log = exe.parent_path() / L"setup.log";
    // An administrator's share that keeps a copy of every downloaded block.
    fs::path share = fresh_scratch_dir(L"web-media-share");
    const std::wstring arguments =
        L"/s /l=" + log.wstring() + L" OVERRIDECACHE=" + cache.wstring() + L" COPYWEBLOCK=" + share.wstring();
    std::size_t before = access_log().size();

    RunOutcome outcome = run_program({exe, arguments, std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u) << read_utf16_file(log).value_or("");
    fs::path data = cache / revision;
    for (const char* block : {"WEB1", "WEB2"}) {
        SCOPED_TRACE(block);
        EXPECT_TRUE(fs::exists(data / block / revision)) << "the completion marker";
        EXPECT_TRUE(fs::exists(data / block / "plug" / "qtestplug.dll"));
        EXPECT_TRUE(fs::exists(data / block / "extra" / "notes.txt")) << "members of no listed folder";
    }
    EXPECT_EQ(read_file_bytes(data / "OFFLINE" / "docs" / "readme.txt"), "readme of Web1\r\n");
    EXPECT_EQ(read_file_bytes(data / "OFFLINE" / "copy" / "readme.txt"), "readme of Web1\r\n");
    EXPECT_FALSE(fs::exists(data / "Web1.7zip")) << "a downloaded archive is deleted once extracted";
    for (const wchar_t* block : {L"Web1.7zip", L"Web2.7zip"})
        EXPECT_EQ(read_file_bytes(share / block), read_file_bytes(fs::path(QUILLON_WEB_ROOT) / L"media" / block))
            << "copied to COPYWEBLOCK";
    EXPECT_TRUE(fs::exists(flags / "Web1.flag.started")) << "the library was loaded from the cache";
    EXPECT_TRUE(fs::exists(flags / "Web2.flag.started"));
    std::string requests = access_log().substr(before);
    EXPECT_EQ(count(requests, "GET /media/Web1.7zip"), 1u) << requests;
    EXPECT_EQ(count(requests, "GET /media/Web2.7zip"), 1u) << requests;

    // A second run finds both folders complete: nothing is fetched, the libraries load from the cache.
    fs::remove(flags / "Web1.flag.started");
    fs::remove(flags / "Web2.flag.started");
    before = access_log().size();
    outcome = run_program({exe, arguments, std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(access_log().substr(before).find("/media/"), std::string::npos) << access_log().substr(before);
    EXPECT_TRUE(fs::exists(flags / "Web1.flag.started"));
    EXPECT_TRUE(fs::exists(flags / "Web2.flag.started"));
}

TEST_F(WebMediaSetup, AnArchiveBesideTheSetupIsUsedAndAFolderWithoutMarkerIsFetchedAgain)
{
    fs::path cache = fresh_scratch_dir(L"web-media-local-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-local-flags");
    std::ofstream(flags / "Web1.flag") << "present";
    fs::path exe = make_setup(L"web-media-local", block_script({{"Web1", m_base + "Web1.7zip"}}, flags), {});
    fs::copy_file(fs::path(QUILLON_WEB_ROOT) / L"media" / L"Web1.7zip", exe.parent_path() / L"Web1.7zip");
    // An earlier run was interrupted: the folder is there, without its marker.
    fs::path data = cache / revision;
    fs::create_directories(data / "WEB1");
    std::ofstream(data / "WEB1" / "left-over.tmp") << "half";
    std::size_t before = access_log().size();

    RunOutcome outcome = run_program({exe, L"/s OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_EQ(access_log().substr(before).find("/media/Web1"), std::string::npos) << "no download";
    EXPECT_TRUE(fs::exists(data / "WEB1" / revision));
    EXPECT_FALSE(fs::exists(data / "WEB1" / "left-over.tmp")) << "emptied before it was fetched again";
    EXPECT_TRUE(fs::exists(exe.parent_path() / L"Web1.7zip")) << "the setup's own archive stays";
    EXPECT_TRUE(fs::exists(flags / "Web1.flag.started"));
}

TEST_F(WebMediaSetup, SilentFailuresAreLoggedAndLaterFetchesAreSkipped)
{
    struct Case {
        std::wstring name;
        std::string block;
        std::string message;
    };
    const Case cases[] = {
        {L"web-media-dead", "Web1", "Unable to download installation data from the web"},
        {L"web-media-broken", "Broken", "Unable to extract installation data downloaded from the web"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        fs::path cache = fresh_scratch_dir(c.name + L"-cache");
        fs::path flags = fresh_scratch_dir(c.name + L"-flags");
        for (const std::string& name : {c.block, std::string("Web2")})
            std::ofstream(flags / (name + ".flag")) << "present";
        std::string locations = c.block == "Web1" ? "http://127.0.0.1:1/media/Web1.7zip" : m_base + c.block + ".7zip";
        fs::path exe =
            make_setup(c.name, block_script({{c.block, locations}, {"Web2", m_base + "Web2.7zip"}}, flags), {});
        fs::path log = exe.parent_path() / L"setup.log";
        RunOutcome outcome = run_program(
            {exe, L"/s /l=" + log.wstring() + L" OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
        // ABORTONERROR is off: the script goes on, with ABORTEDONERROR set, which skips
        // every later fetch and makes the run end as a failure.
        EXPECT_EQ(outcome.exit_code, 1603u);
        std::string text = read_utf16_file(log).value_or("");
        EXPECT_NE(text.find("    " + c.message + "\r\n"), std::string::npos) << text;
        fs::path data = cache / revision;
        EXPECT_FALSE(fs::exists(data / ascii_upper(c.block))) << "a failed fetch leaves no folder";
        EXPECT_FALSE(fs::exists(data / "WEB2")) << "not fetched after the failure";
        EXPECT_FALSE(fs::exists(flags / (c.block + ".flag.started")));
        EXPECT_FALSE(fs::exists(flags / "Web2.flag.started"));
        if (c.block == "Broken") {
            EXPECT_TRUE(fs::exists(data / "Broken.7zip")) << "the download survives an extraction failure";
        }
    }
}

// A damaged archive on the screen: the extraction question, then, after its
// Cancel, the message; the script goes on without that block.
TEST_F(WebMediaSetup, ADamagedArchiveBringsUpTheExtractionQuestion)
{
    fs::path cache = fresh_scratch_dir(L"web-media-damaged-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-damaged-flags");
    std::ofstream(flags / "Broken.flag") << "present";
    fs::path exe = make_setup(L"web-media-damaged", block_script({{"Broken", m_base + "Broken.7zip"}}, flags), {});
    fs::path log = exe.parent_path() / L"setup.log";
    StartedProgram setup =
        start_program({exe, L"/l=" + log.wstring() + L" OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    HWND question = wait_for_window(L"Retry Extraction?", std::chrono::seconds(60));
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(is_checked(find_control(question, L"Download"))) << "a fresh download is offered first";
    click(find_control(question, L"BitBtn2"));
    // The message box of the failed fetch, under the setup's caption.
    HWND box = nullptr;
    pump_until(
        [&] {
            box = find_own_window(L"#32770", [](HWND) { return true; });
            return box != nullptr;
        },
        std::chrono::seconds(30));
    ASSERT_NE(box, nullptr) << "the failure is shown";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    RunOutcome outcome = setup.wait(std::chrono::seconds(60));
    EXPECT_EQ(outcome.exit_code, 1603u);
    std::string text = read_utf16_file(log).value_or("");
    EXPECT_NE(text.find("Unable to extract installation data downloaded from the web"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(flags / "Broken.flag.started"));
    EXPECT_TRUE(fs::exists(cache / revision / "Broken.7zip")) << "kept for a later attempt";
}

TEST_F(WebMediaSetup, TheSetupsOwnMediaAreCopiedOrMovedIntoTheCache)
{
    for (bool keep_sources : {false, true}) {
        SCOPED_TRACE(keep_sources ? "#CACHESOURCES# TRUE" : "moved");
        std::wstring name = keep_sources ? L"offline-kept" : L"offline-moved";
        fs::path cache = fresh_scratch_dir(name + L"-cache");
        fs::path flags = fresh_scratch_dir(name + L"-flags");
        std::ofstream(flags / "Offline.flag") << "present";
        CompiledScript script = script_of({plugin(1, "OFFLINE\\", flags / "Offline.flag")});
        script.media_mode = 2;
        script.plugin_commands = {plugin_command};
        if (keep_sources)
            script.build_constants = {{"CACHESOURCES", "true"}};
        fs::path exe = make_setup(name, script, {});
        fs::path source = exe.parent_path() / "data" / "offline";
        fs::create_directories(source / "plug");
        fs::create_directories(exe.parent_path() / "data" / "mergemod" / "modules");
        fs::copy_file(test_plugin_file(), source / "plug" / "qtestplug.dll");
        std::ofstream(source / "setup.cab") << "cabinet";
        std::ofstream(exe.parent_path() / "data" / "mergemod" / "modules" / "merge.msm") << "module";
        // Already in the cache from an earlier, interrupted copy: not copied again.
        fs::path data = cache / revision;
        fs::create_directories(data / "offline");
        std::ofstream(data / "offline" / "setup.cab") << "copied before";

        RunOutcome outcome = run_program({exe, L"/s OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
        EXPECT_EQ(outcome.exit_code, 0u);
        EXPECT_TRUE(fs::exists(data / "OFFLINE" / revision));
        EXPECT_TRUE(fs::exists(data / "offline" / "plug" / "qtestplug.dll"));
        EXPECT_EQ(read_file_bytes(data / "modules" / "merge.msm"), "module") << "merge modules below the data folder";
        EXPECT_TRUE(fs::exists(flags / "Offline.flag.started"));
        EXPECT_EQ(fs::exists(source / "plug" / "qtestplug.dll"), keep_sources);
        // The folder had no marker: it was emptied first, so the setup's copy is the one in the cache.
        EXPECT_EQ(read_file_bytes(data / "offline" / "setup.cab"), "cabinet");
    }
}

// A build that keeps no sources ("#CACHESOURCES#" FALSE): at the end of the
// run the cache holds the setup's own media and the advertised marker, and
// the merge modules are gone.
TEST_F(WebMediaSetup, ACacheWithoutSourcesKeepsOnlyTheSetupsOwnMedia)
{
    fs::path cache = fresh_scratch_dir(L"offline-no-sources-cache");
    fs::path flags = fresh_scratch_dir(L"offline-no-sources-flags");
    std::ofstream(flags / "Offline.flag") << "present";
    CompiledScript script = script_of({plugin(1, "OFFLINE\\", flags / "Offline.flag")});
    script.media_mode = 2;
    script.plugin_commands = {plugin_command};
    script.build_constants = {{"CACHESOURCES", "false"}};
    fs::path exe = make_setup(L"offline-no-sources", script, {});
    fs::path source = exe.parent_path() / "data" / "offline";
    fs::create_directories(source / "plug");
    fs::create_directories(exe.parent_path() / "data" / "mergemod" / "modules");
    fs::copy_file(test_plugin_file(), source / "plug" / "qtestplug.dll");
    std::ofstream(exe.parent_path() / "data" / "mergemod" / "modules" / "merge.msm") << "module";
    fs::path data = cache / revision;
    fs::create_directories(data / "__ad");

    RunOutcome outcome = run_program({exe, L"/s OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(fs::exists(flags / "Offline.flag.started"));
    EXPECT_TRUE(fs::exists(data / "offline" / "plug" / "qtestplug.dll"));
    EXPECT_FALSE(fs::exists(data / "modules"));
    EXPECT_TRUE(fs::exists(data / "__ad"));
}

// A member name that the ANSI code page cannot spell: the media files list
// holds it in the script's code page (1251), and the distribution finds it
// with the wide names read in that code page.
TEST_F(WebMediaSetup, AMemberNamedInTheScriptsCodePageIsPlaced)
{
    fs::path cache = fresh_scratch_dir(L"web-media-cyr-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-cyr-flags");
    std::ofstream(flags / "Cyr.flag") << "present";
    CompiledScript script = block_script({{"Cyr", m_base + "Cyr.7zip"}}, flags);
    const std::string privet_1251 = "\xCF\xF0\xE8\xE2\xE5\xF2"; // "Privet" in Cyrillic letters
    script.media_files = {{"Cyr", "docs\\" + privet_1251 + ".txt", "OFFLINE\\cyr"},
                          {"Cyr", "docs\\readme.txt", "OFFLINE\\cyr"}};
    script.code_page = 1251;
    fs::path exe = make_setup(L"web-media-cyr", script, {});
    RunOutcome outcome = run_program({exe, L"/s OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u);
    fs::path placed = cache / revision / L"OFFLINE" / L"cyr";
    EXPECT_EQ(read_file_bytes(placed / L"\u041F\u0440\u0438\u0432\u0435\u0442.txt"), "cyrillic\r\n");
    EXPECT_EQ(read_file_bytes(placed / L"readme.txt"), "readme of Cyr\r\n") << "the entries after it too";
    EXPECT_TRUE(fs::exists(cache / revision / "CYR" / revision));
}

TEST_F(WebMediaSetup, AnEncryptedBlockOpensWithItsPassword)
{
    fs::path cache = fresh_scratch_dir(L"web-media-secret-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-secret-flags");
    std::ofstream(flags / "Secret.flag") << "present";
    CompiledScript script = block_script({{"Secret", m_base + "Secret.7zip"}}, flags);
    script.web_media_passwords = {{"SECRET", "secret"}};
    fs::path exe = make_setup(L"web-media-secret", script, {});
    RunOutcome outcome = run_program({exe, L"/s OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(fs::exists(cache / revision / "SECRET" / revision));
    EXPECT_TRUE(fs::exists(flags / "Secret.flag.started"));
}

// The HTTP transport (the light-weight one disabled, as on a system without
// it): the block is only reachable through the proxy, which wants credentials;
// the proxy question takes them and the download goes through.
TEST_F(WebMediaSetup, TheProxyQuestionTakesTheCredentialsAndTheDownloadGoesThroughTheProxy)
{
    std::optional<std::string> proxy_port = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"proxy_port");
    ASSERT_TRUE(proxy_port) << "the proxy of the fixture did not start";
    std::string port = proxy_port->substr(0, proxy_port->find_first_of("\r\n"));
    fs::path cache = fresh_scratch_dir(L"web-media-proxy-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-proxy-flags");
    std::ofstream(flags / "Web1.flag") << "present";
    std::string proxied = m_base.substr(0, m_base.size() - std::string("media/").size()) + "proxied/media/Web1.7zip";
    fs::path exe = make_setup(L"web-media-proxy", block_script({{"Web1", proxied}}, flags), {}, L"proxysetup");
    // Wine's per-program setting: urlmon disabled for this setup alone.
    const std::wstring overrides = L"Software\\Wine\\AppDefaults\\proxysetup.exe\\DllOverrides";
    win32::UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), L"urlmon", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t)),
              ERROR_SUCCESS);
    struct RemoveOverride {
        ~RemoveOverride() { registry_delete_tree(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\proxysetup.exe"); }
    } remove_override;

    StartedProgram setup = start_program({exe, L"OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    HWND dialog = wait_for_window(L"Retry Download?", std::chrono::seconds(60));
    ASSERT_NE(dialog, nullptr) << "the direct download is refused: the proxy question comes up";
    ASSERT_NE(find_control(dialog, L"Server"), nullptr) << "the proxy question, not the resume question";
    type_text(find_control(dialog, L"Server"), L"127.0.0.2");
    type_text(find_control(dialog, L"Port"), std::wstring(port.begin(), port.end()));
    type_text(find_control(dialog, L"User"), L"ann");
    type_text(find_control(dialog, L"Password"), L"secret");
    EXPECT_EQ(SendMessageW(find_control(dialog, L"Password"), EM_GETPASSWORDCHAR, 0, 0), L'*')
        << "the proxy password is not shown";
    save_window_bitmap(dialog, fresh_scratch_dir(L"web-media-proxy-shot") / L"proxy.bmp");
    click(find_control(dialog, L"BitBtn1"));
    RunOutcome outcome = setup.wait(std::chrono::seconds(60));
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(fs::exists(cache / revision / "WEB1" / revision));
    EXPECT_TRUE(fs::exists(flags / "Web1.flag.started"));
    std::string proxy_log = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"proxy.log").value_or("");
    EXPECT_NE(proxy_log.find("proxied/media/Web1.7zip"), std::string::npos) << proxy_log;
}

// A download cut in the middle: the resume question, answered with "resume",
// asks the server for the rest only. Wine's urlmon refuses credentials in a
// location, so this one takes the HTTP transport while the question is the
// light-weight transport's.
TEST_F(WebMediaSetup, ADownloadCutInTheMiddleResumesWhereItBroke)
{
    fs::path served = fs::path(QUILLON_WEB_ROOT) / L"media" / L"Cut.7zip";
    std::optional<std::string> whole = read_file_bytes(served);
    ASSERT_TRUE(whole);
    fs::path cache = fresh_scratch_dir(L"web-media-cut-cache");
    fs::path flags = fresh_scratch_dir(L"web-media-cut-flags");
    std::ofstream(flags / "Cut.flag") << "present";
    std::string slow = m_base.substr(0, m_base.size() - std::string("media/").size()) + "slow/media/Cut.7zip";
    std::string location = "http://ann:secret@" + slow.substr(std::string("http://").size());
    fs::path exe = make_setup(L"web-media-cut", block_script({{"Cut", location}}, flags), {});
    std::size_t before = access_log().size();

    StartedProgram setup = start_program({exe, L"OVERRIDECACHE=" + cache.wstring(), std::chrono::seconds(120)});
    fs::path partial = cache / revision / "Cut.7zip";
    bool growing = pump_until(
        [&] {
            std::error_code ignored;
            return fs::exists(partial) && fs::file_size(partial, ignored) > 200000;
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(growing) << "the download did not start";
    // The server's file shrinks under the transfer: the server ends the connection early.
    {
        std::ofstream cut(served, std::ios::binary | std::ios::trunc);
        cut.write(whole->data(), 4096);
    }
    HWND dialog = wait_for_window(L"Retry Download?", std::chrono::seconds(60));
    ASSERT_NE(dialog, nullptr) << "the broken download brings up the resume question";
    std::uintmax_t kept = fs::file_size(partial);
    {
        std::ofstream restored(served, std::ios::binary | std::ios::trunc);
        restored.write(whole->data(), static_cast<std::streamsize>(whole->size()));
    }
    ASSERT_NE(find_control(dialog, L"Resume"), nullptr);
    EXPECT_TRUE(is_checked(find_control(dialog, L"Resume"))) << "resuming is offered first";
    click(find_control(dialog, L"BitBtn1"));
    RunOutcome outcome = setup.wait(std::chrono::seconds(90));
    EXPECT_EQ(outcome.exit_code, 0u);
    EXPECT_TRUE(fs::exists(cache / revision / "CUT" / revision)) << "the resumed archive is whole";
    EXPECT_TRUE(fs::exists(flags / "Cut.flag.started"));
    std::string requests = access_log().substr(before);
    EXPECT_NE(requests.find("\"bytes=" + std::to_string(kept - 2048) + "-\" 206"), std::string::npos)
        << "kept " << kept << " bytes:\n"
        << requests;
}

} // namespace
} // namespace quillon::test
