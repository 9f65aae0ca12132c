// Scratch folders, files and a bare engine stub for the setup compiler tests.
#pragma once

#include "script/test_pe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace quillon::test {

namespace fs = std::filesystem;

// A fresh folder under QUILLON_SCRATCH named after the running test.
inline fs::path scratch_folder(std::string_view suffix = {})
{
    const char* scratch = std::getenv("QUILLON_SCRATCH");
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    fs::path folder = fs::path(scratch ? scratch : fs::temp_directory_path().string()) / "qvoc" /
                      (std::string(info->test_suite_name()) + "." + info->name() + std::string(suffix));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

inline fs::path test_data_folder()
{
    const char* data = std::getenv("QUILLON_TEST_DATA");
    return fs::path(data ? data : "tests/data") / "qvoc";
}

inline void write_file(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PE32+ image whose last section ends where the file ends: what the
// compiler expects of an engine stub.
inline std::string bare_engine_stub()
{
    std::vector<std::byte> headers =
        build_pe_headers(pe32_plus_magic, pe32_plus_optional_header_size, {{0x200, 0x200}});
    std::string stub(reinterpret_cast<const char*>(headers.data()), headers.size());
    stub.resize(0x400, '\xCC');
    return stub;
}

} // namespace quillon::test
