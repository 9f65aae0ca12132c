// A setup folder for tests of the real engine under Wine: the engine with a
// script appended, qvo.lib, a resource archive and a stand-in database.
#pragma once

#include "harness/harness.h"
#include "qvoc/sevenzip_writer.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace quillon::test {

inline CompiledCommand command(std::string name, int ordinal, std::vector<std::string> parameters = {})
{
    CompiledCommand c;
    c.name = std::move(name);
    char id[64];
    std::snprintf(id, sizeof id, "{0B0B0B0B-0000-0000-0000-%012d}", ordinal);
    c.identifier = id;
    c.parameters = std::move(parameters);
    c.project_file = "run.qvp";
    c.project_line = ordinal;
    return c;
}

inline CompiledScript script_of(std::vector<CompiledCommand> commands)
{
    CompiledScript script;
    script.product_code = "{22222222-2222-3333-4444-555555555555}";
    script.revision_code = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
    script.product_title = "Run Test";
    script.product_version = "1.0.0.0";
    script.default_language = "English";
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 0}};
    script.commands = std::move(commands);
    return script;
}

// The setup program of a fresh folder, with the resource archive made of a
// readme and the given files. `base` names the program and its companions
// (a test that sets Wine's per-program settings gives its own).
inline std::filesystem::path make_setup(const std::wstring& name, const CompiledScript& script,
                                        const std::vector<std::pair<std::wstring, std::string>>& resources,
                                        const std::wstring& base = L"setup")
{
    namespace fs = std::filesystem;
    fs::path dir = fresh_scratch_dir(name);
    fs::path exe = dir / (base + L".exe");
    fs::copy_file(dist_file(L"engine.exe"), exe);
    fs::copy_file(dist_file(L"qvo.lib"), dir / L"qvo.lib");
    Result<std::string> bytes = write_script_image(script);
    EXPECT_TRUE(bytes) << bytes.error().message;
    std::ofstream(exe, std::ios::binary | std::ios::app) << *bytes;
    std::ofstream(dir / (base + L".msi"), std::ios::binary) << "database";

    fs::path content = dir / L"resources";
    fs::create_directories(content);
    std::ofstream(content / L"readme.txt") << "resources";
    for (const auto& [file, text] : resources)
        std::ofstream(content / file, std::ios::binary) << text;
    Result<std::vector<qvoc::ArchiveItem>> items = qvoc::collect_archive_items(content);
    EXPECT_TRUE(items);
    EXPECT_TRUE(qvoc::write_7z_archive(dir / (base + L".res"), *items));
    return exe;
}

} // namespace quillon::test
