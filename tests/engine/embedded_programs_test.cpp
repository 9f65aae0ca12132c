// The helper programs carried by the built engine: read from engine.exe loaded as
// a data file, written into scratch folders, and the written assembly-cache
// utility run against the assembly cache of the Wine prefix.
#include "engine/embedded_programs.h"

#include "harness/harness.h"
#include "platform/win32/unique_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

std::string ansi(const fs::path& path)
{
    return path.string();
}

// The built engine as a resource source, the way the test sees the real artefact.
class EngineResources {
public:
    EngineResources()
        : m_module(LoadLibraryExW(dist_file(L"engine.exe").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    HMODULE get() const { return m_module.get(); }

private:
    win32::UniqueHmodule m_module;
};

std::string file_text(const fs::path& path)
{
    return read_file_bytes(path).value_or("<unreadable>");
}

TEST(EmbeddedPrograms, GacUtilitiesAreWrittenWithTheirConfigurations)
{
    EngineResources engine;
    ASSERT_NE(engine.get(), nullptr) << "engine.exe does not load as a data file: " << GetLastError();
    fs::path folder = fresh_scratch_dir(L"embedded-gac");
    std::string support = ansi(folder) + "\\";

    Result<std::string> v2 = WriteGacUtility2(support, engine.get());
    ASSERT_TRUE(v2) << v2.error().describe();
    EXPECT_EQ(*v2, support + "mgac.exe");
    Result<std::string> v4 = WriteGacUtility4(support, engine.get());
    ASSERT_TRUE(v4) << v4.error().describe();
    EXPECT_EQ(*v4, support + "mgacy.exe");

    // The programs are the built ones, byte for byte.
    EXPECT_EQ(file_text(folder / L"mgac.exe"), file_text(fs::path(QUILLON_MGAC_FILE)));
    EXPECT_EQ(file_text(folder / L"mgacy.exe"), file_text(fs::path(QUILLON_MGACY_FILE)));

    std::string config2 = file_text(folder / L"mgac.exe.config");
    EXPECT_NE(config2.find(R"(<startup>)"), std::string::npos) << config2;
    EXPECT_NE(config2.find(R"(<requiredRuntime version="v2.0.50727" safemode="true"/>)"), std::string::npos) << config2;
    std::string config4 = file_text(folder / L"mgacy.exe.config");
    EXPECT_NE(config4.find(R"(<startup useLegacyV2RuntimeActivationPolicy="true">)"), std::string::npos) << config4;
    EXPECT_NE(config4.find(R"(<requiredRuntime version="v4.0.30319" safemode="true"/>)"), std::string::npos) << config4;

    // Nothing but the four files: the temporary names are gone.
    std::vector<std::wstring> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"mgac.exe", L"mgac.exe.config", L"mgacy.exe", L"mgacy.exe.config"}));
}

TEST(EmbeddedPrograms, ReplacesAnEarlierReadOnlyCopy)
{
    EngineResources engine;
    ASSERT_NE(engine.get(), nullptr);
    fs::path folder = fresh_scratch_dir(L"embedded-replace");
    std::ofstream(folder / L"mgacy.exe.config") << "stale";
    SetFileAttributesW((folder / L"mgacy.exe.config").c_str(), FILE_ATTRIBUTE_READONLY);

    Result<std::string> written = WriteGacUtility4(ansi(folder), engine.get()); // no trailing backslash
    ASSERT_TRUE(written) << written.error().describe();
    EXPECT_EQ(*written, ansi(folder) + "\\mgacy.exe");
    EXPECT_NE(file_text(folder / L"mgacy.exe.config").find("v4.0.30319"), std::string::npos);
}

TEST(EmbeddedPrograms, FailuresNameTheFileAndLeaveNoPartialFile)
{
    EngineResources engine;
    ASSERT_NE(engine.get(), nullptr);
    fs::path folder = fresh_scratch_dir(L"embedded-fail");

    // A folder that does not exist.
    fs::path missing = folder / L"missing";
    Result<std::string> written = WriteGacUtility4(ansi(missing) + "\\", engine.get());
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().message.find("mgacy"), std::string::npos) << written.error().message;
    EXPECT_FALSE(fs::exists(missing));

    // A folder standing where the program should go: the rename fails, the
    // temporary file is removed, and no file stands under the program's name.
    fs::create_directory(folder / L"mgac.exe");
    written = WriteGacUtility2(ansi(folder) + "\\", engine.get());
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().message.find("mgac.exe"), std::string::npos) << written.error().message;
    EXPECT_TRUE(fs::is_directory(folder / L"mgac.exe"));
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::wstring name = entry.path().filename().wstring();
        EXPECT_TRUE(name == L"mgac.exe" || name == L"mgac.exe.config") << to_utf8(name);
    }

    // A module without the resource: this test program.
    written = WriteIisWrapper(ansi(folder), GetModuleHandleW(nullptr));
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ErrorCode::not_found);
    EXPECT_NE(written.error().message.find("ahadmin_wrapper.dll"), std::string::npos) << written.error().message;
    EXPECT_FALSE(fs::exists(folder / L"ahadmin_wrapper.dll"));
}

TEST(EmbeddedPrograms, IisWrapperIsTheBuiltLibrary)
{
#ifndef QUILLON_IIS_WRAPPER_FILE
    GTEST_SKIP() << "this tree has no ahadmin_wrapper target; the engine carries no IIS library";
#else
    EngineResources engine;
    ASSERT_NE(engine.get(), nullptr);
    fs::path folder = fresh_scratch_dir(L"embedded-iis");
    Result<std::string> written = WriteIisWrapper(ansi(folder), engine.get());
    ASSERT_TRUE(written) << written.error().describe();
    EXPECT_EQ(*written, ansi(folder) + "\\ahadmin_wrapper.dll");
    std::optional<std::string> built = read_file_bytes(fs::path(QUILLON_IIS_WRAPPER_FILE));
    ASSERT_TRUE(built && !built->empty());
    EXPECT_TRUE(read_file_bytes(folder / L"ahadmin_wrapper.dll") == built);
#endif
}

TEST(IisWrapperFile, DeletesTheFileOnlyWhenMarked)
{
    fs::path folder = fresh_scratch_dir(L"embedded-iis-file");
    fs::path kept = folder / L"kept.dll";
    fs::path removed = folder / L"removed.dll";
    std::ofstream(kept) << "x";
    std::ofstream(removed) << "x";
    {
        IisWrapperFile unmarked;
        unmarked.remember(ansi(kept));
        EXPECT_TRUE(unmarked.remove_if_marked());
        EXPECT_TRUE(fs::exists(kept));
    }
    EXPECT_TRUE(fs::exists(kept)); // the end of the run leaves an unmarked file

    {
        IisWrapperFile marked;
        marked.remember(ansi(removed));
        marked.mark_for_removal();
        // Still loaded by someone: the delete fails and is reported.
        win32::UniqueFile open(
            CreateFileW(removed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(open);
        EXPECT_FALSE(marked.remove_if_marked());
        open.reset();
    } // the end of the run retries
    EXPECT_FALSE(fs::exists(removed));
}

// The assembly-cache utilities at work. Wine ships fusion.dll only as a builtin
// without a file (the Mono package would install one), and its loader does not
// load a builtin without a file: the test puts Wine's own fusion.dll where the
// .NET Framework keeps it. Not beside the utilities: they never load a library
// from their own folder (it is the setup's support folder).

// A minimal assembly for runtime 2.0 with a public key, as far as the cache reads one:
// PE headers, the CLI header, and metadata with the #~, #Strings and #Blob
// streams holding one row of the Assembly table.
std::string probe_assembly(std::string_view name)
{
    std::string image(0x400, '\0');
    auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(image.data() + at, &v, 2); };
    auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(image.data() + at, &v, 4); };

    constexpr std::uint32_t section_rva = 0x1000;
    constexpr std::size_t section_file = 0x200;
    constexpr std::uint32_t metadata_rva = section_rva + 0x48;

    // Metadata, built first to know its size.
    std::string metadata;
    auto append16 = [&](std::uint16_t v) { metadata.append(reinterpret_cast<const char*>(&v), 2); };
    auto append32 = [&](std::uint32_t v) { metadata.append(reinterpret_cast<const char*>(&v), 4); };
    auto pad4 = [](std::string& s) { s.resize((s.size() + 3) & ~std::size_t{3}, '\0'); };

    std::string tables;
    auto table32 = [&](std::uint32_t v) { tables.append(reinterpret_cast<const char*>(&v), 4); };
    auto table16 = [&](std::uint16_t v) { tables.append(reinterpret_cast<const char*>(&v), 2); };
    table32(0);                                   // reserved
    tables += std::string("\x02\x00\x00\x01", 4); // version 2.0, small heap indexes, reserved
    table32(0);                                   // valid tables: only Assembly (0x20)
    table32(1);
    table32(0); // sorted
    table32(0);
    table32(1);      // one row
    table32(0x8004); // SHA-1
    table16(1);      // version 1.0.0.0
    table16(0);
    table16(0);
    table16(0);
    table32(1);      // flags: full public key
    table16(1);      // public key blob
    table16(1);      // name
    table16(0);      // culture: neutral
    pad4(tables);

    std::string strings = std::string(1, '\0') + std::string(name) + '\0';
    pad4(strings);
    std::string blob(1, '\0');
    blob += static_cast<char>(32);
    for (int i = 0; i < 32; ++i)
        blob += static_cast<char>(0x51 + i * 7);
    pad4(blob);

    append32(0x424A5342); // "BSJB"
    append16(1);
    append16(1);
    append32(0);
    append32(12);
    metadata += std::string("v2.0.50727\0\0", 12);
    append16(0);
    append16(3);
    std::uint32_t offset = 32 + (8 + 4) + (8 + 12) + (8 + 8);
    append32(offset);
    append32(static_cast<std::uint32_t>(tables.size()));
    metadata += std::string("#~\0\0", 4);
    offset += static_cast<std::uint32_t>(tables.size());
    append32(offset);
    append32(static_cast<std::uint32_t>(strings.size()));
    metadata += std::string("#Strings\0\0\0\0", 12);
    offset += static_cast<std::uint32_t>(strings.size());
    append32(offset);
    append32(static_cast<std::uint32_t>(blob.size()));
    metadata += std::string("#Blob\0\0\0", 8);
    metadata += tables + strings + blob;

    std::size_t section_size = 0x48 + metadata.size();
    std::size_t raw_size = (section_size + 0x1FF) & ~std::size_t{0x1FF};
    image.resize(section_file + raw_size, '\0');

    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x40);
    std::memcpy(image.data() + 0x40, "PE\0\0", 4);
    put16(0x44, 0x14C);  // i386
    put16(0x46, 1);      // one section
    put16(0x54, 0xE0);   // optional header size
    put16(0x56, 0x2102); // executable, 32-bit, DLL
    constexpr std::size_t optional = 0x58;
    put16(optional, 0x10B);
    put32(optional + 32, 0x1000); // section alignment
    put32(optional + 36, 0x200);  // file alignment
    put32(optional + 56, static_cast<std::uint32_t>(section_rva + ((section_size + 0xFFF) & ~std::size_t{0xFFF})));
    put32(optional + 60, 0x200);                         // size of headers
    put16(optional + 68, 3);                             // console subsystem
    put32(optional + 92, 16);                            // data directories
    put32(optional + 96 + 14 * 8, section_rva);          // CLI header
    put32(optional + 96 + 14 * 8 + 4, 0x48);
    constexpr std::size_t section = optional + 0xE0;
    std::memcpy(image.data() + section, ".text", 5);
    put32(section + 8, static_cast<std::uint32_t>(section_size));
    put32(section + 12, section_rva);
    put32(section + 16, static_cast<std::uint32_t>(raw_size));
    put32(section + 20, section_file);
    put32(section + 36, 0x60000020);

    put32(section_file, 0x48);     // CLI header size
    put16(section_file + 4, 2);    // runtime 2.5
    put16(section_file + 6, 5);
    put32(section_file + 8, metadata_rva);
    put32(section_file + 12, static_cast<std::uint32_t>(metadata.size()));
    put32(section_file + 16, 1);   // IL only
    std::memcpy(image.data() + section_file + 0x48, metadata.data(), metadata.size());
    return image;
}

std::wstring windows_folder()
{
    wchar_t buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

// Wine's own fusion.dll, from the library folder Wine names in the environment.
std::optional<fs::path> wine_fusion_dll()
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"WINEDLLDIR0", buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    std::wstring folder(buffer, length);
    if (folder.rfind(L"\\??\\", 0) == 0)
        folder.erase(0, 4);
    fs::path dll = fs::path(folder) / L"x86_64-windows" / L"fusion.dll";
    std::error_code ignored;
    return fs::is_regular_file(dll, ignored) ? std::optional<fs::path>(dll) : std::nullopt;
}

class GacUtility : public ::testing::Test {
protected:
    static constexpr std::wstring_view probe = L"QuillonEmbeddedProbe";

    void SetUp() override
    {
        ASSERT_NE(m_engine.get(), nullptr);
        m_folder = fresh_scratch_dir(L"embedded-gac-run");
        Result<std::string> v4 = WriteGacUtility4(ansi(m_folder) + "\\", m_engine.get());
        ASSERT_TRUE(v4) << v4.error().describe();
        Result<std::string> v2 = WriteGacUtility2(ansi(m_folder) + "\\", m_engine.get());
        ASSERT_TRUE(v2) << v2.error().describe();
        remove_probe_from_cache();
    }
    void TearDown() override
    {
        remove_probe_from_cache();
        std::error_code ignored;
        if (m_placed_framework)
            fs::remove_all(framework_root(), ignored);
    }

    struct Outcome {
        DWORD exit_code = 0xFFFFFFFF;
        std::string output; // the utility's result line
    };

    // Runs a written utility hidden, as the engine does, and collects what it prints.
    Outcome run(const wchar_t* program, const std::wstring& arguments)
    {
        Outcome outcome;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE read_end = nullptr;
        HANDLE write_end = nullptr;
        if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
            ADD_FAILURE() << "CreatePipe: " << GetLastError();
            return outcome;
        }
        win32::UniqueHandle reader(read_end);
        win32::UniqueHandle writer(write_end);
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        startup.hStdOutput = write_end;
        startup.hStdError = write_end;
        std::wstring command = L"\"" + (m_folder / program).wstring() + L"\" " + arguments;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                            m_folder.c_str(), &startup, &started)) {
            ADD_FAILURE() << "CreateProcess: " << GetLastError();
            return outcome;
        }
        win32::UniqueHandle process(started.hProcess);
        win32::UniqueHandle thread(started.hThread);
        writer.reset();
        // One line of output fits the pipe: waiting first cannot block the utility.
        if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.get(), 99);
            ADD_FAILURE() << "timed out: " << to_utf8(command);
        }
        GetExitCodeProcess(process.get(), &outcome.exit_code);
        char buffer[512];
        DWORD count = 0;
        while (ReadFile(reader.get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
            outcome.output.append(buffer, count);
        return outcome;
    }

    // Where the 2.0 cache keeps the probe: assembly\GAC_MSIL\<name>\<version>__<token>\<name>.dll.
    fs::path probe_cache_folder() const { return fs::path(windows_folder()) / L"assembly" / L"GAC_MSIL" / probe; }
    std::optional<fs::path> probe_in_cache() const
    {
        std::error_code ignored;
        for (fs::recursive_directory_iterator it(probe_cache_folder(), ignored), end; !ignored && it != end;
             it.increment(ignored))
            if (it->path().filename() == std::wstring(probe) + L".dll")
                return it->path();
        return std::nullopt;
    }
    void remove_probe_from_cache() const
    {
        std::error_code ignored;
        fs::remove_all(probe_cache_folder(), ignored);
    }

    static fs::path framework_root() { return fs::path(windows_folder()) / L"Microsoft.NET"; }
    static fs::path framework_fusion() { return framework_root() / L"Framework64" / L"v4.0.30319" / L"fusion.dll"; }
    bool have_fusion() const
    {
        std::error_code ignored;
        return fs::exists(framework_fusion(), ignored);
    }
    // Only where the system has no framework of its own; removed again after the test.
    void place_wine_fusion()
    {
        std::error_code ignored;
        std::optional<fs::path> fusion = wine_fusion_dll();
        if (!fusion || fs::exists(framework_root(), ignored))
            return;
        m_placed_framework = true;
        fs::create_directories(framework_fusion().parent_path());
        fs::copy_file(*fusion, framework_fusion());
    }

    EngineResources m_engine;
    fs::path m_folder;
    bool m_placed_framework = false;
};

TEST_F(GacUtility, RejectsBadCommandLines)
{
    const wchar_t* const cases[] = {L"",
                                    L"/u",
                                    L"/i   ",
                                    L"/x QuillonEmbeddedProbe",
                                    L"/uninstall Name",
                                    L"QuillonEmbeddedProbe",
                                    L"/u \"unbalanced"};
    for (const wchar_t* arguments : cases) {
        SCOPED_TRACE(to_utf8(arguments));
        for (const wchar_t* program : {L"mgacy.exe", L"mgac.exe"}) {
            Outcome outcome = run(program, arguments);
            EXPECT_EQ(outcome.exit_code, 1u) << outcome.output;
            EXPECT_EQ(outcome.output.rfind("Usage:", 0), 0u) << outcome.output;
        }
    }
}

TEST_F(GacUtility, WithoutAnAssemblyCacheRemovalFails)
{
    if (LoadLibraryW(L"fusion.dll") != nullptr || fs::exists(fs::path(windows_folder()) / L"Microsoft.NET"))
        GTEST_SKIP() << "this system has an assembly cache";
    for (const wchar_t* program : {L"mgacy.exe", L"mgac.exe"}) {
        Outcome outcome = run(program, std::wstring(L"/u ") + std::wstring(probe) + L",Version=1.0.0.0");
        EXPECT_EQ(outcome.exit_code, 2u) << outcome.output;
        EXPECT_NE(outcome.output.find("no assembly cache"), std::string::npos) << outcome.output;
    }
}

TEST_F(GacUtility, InstallsAndRemovesAnAssembly)
{
    place_wine_fusion();
    if (!have_fusion() && LoadLibraryW(L"fusion.dll") == nullptr)
        GTEST_SKIP() << "no fusion.dll to work with";
    const std::wstring name = std::wstring(probe) + L",Version=1.0.0.0";
    const std::string shown = to_utf8(name);
    fs::path assembly = m_folder / (std::wstring(probe) + L".dll");
    std::ofstream(assembly, std::ios::binary) << probe_assembly(to_utf8(std::wstring(probe)));
    std::ofstream(m_folder / L"text.dll") << "not an assembly";

    struct Step {
        const wchar_t* program;
        std::wstring arguments;
        DWORD exit_code;
        std::string output_start;
        bool cached_after;
    };
    auto check = [&](const Step& step) {
        SCOPED_TRACE(to_utf8(std::wstring(step.program) + L" " + step.arguments));
        Outcome outcome = run(step.program, step.arguments);
        EXPECT_EQ(outcome.exit_code, step.exit_code) << outcome.output;
        EXPECT_EQ(outcome.output.rfind(step.output_start, 0), 0u) << outcome.output;
        EXPECT_EQ(probe_in_cache().has_value(), step.cached_after);
    };
    const Step before[] = {
        // Not installed: nothing to do, and that is success.
        {L"mgacy.exe", L"/u " + name, 0, "Not installed: " + shown, false},
        {L"mgac.exe", L"/u " + name, 0, "Not installed: " + shown, false},
        // Not an assembly, and a missing file.
        {L"mgacy.exe", L"/i \"" + (m_folder / L"text.dll").wstring() + L"\"", 4, "Failed to install", false},
        {L"mgacy.exe", L"/i " + (m_folder / L"absent.dll").wstring(), 4, "Failed to install", false},
        {L"mgacy.exe", L"/i \"" + assembly.wstring() + L"\"", 0, "Installed: ", true},
    };
    for (const Step& step : before)
        check(step);
    std::optional<fs::path> cached = probe_in_cache();
    ASSERT_TRUE(cached) << "the cache does not hold the installed assembly";

    // In use: the cache cannot delete the file, and the utility must not call that success.
    {
        win32::UniqueFile open(
            CreateFileW(cached->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(open);
        check({L"mgacy.exe", L"/u " + name, 3, "Still in the assembly cache: " + shown, true});
    }

    const Step after[] = {
        {L"mgacy.exe", L"/u " + name, 0, "Uninstalled: " + shown, false},
        {L"mgacy.exe", L"/u " + name, 0, "Not installed: " + shown, false},
        // The other utility, and a name with blanks around it in quotes as a caller may write it.
        {L"mgac.exe", L"/i " + assembly.wstring(), 0, "Installed: ", true},
        {L"mgac.exe", L"/U \"" + name + L"\"", 0, "Uninstalled: " + shown, false},
    };
    for (const Step& step : after)
        check(step);
}

} // namespace
} // namespace quillon::test
