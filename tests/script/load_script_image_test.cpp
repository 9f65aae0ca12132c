#include "script/ScriptImage.h"
#include "script/script_writer.h"
#include "script/test_pe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace quillon::test {
namespace {

class LoadScriptImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* scratch = std::getenv("QUILLON_SCRATCH");
        std::filesystem::path base = scratch ? std::filesystem::path(scratch) : std::filesystem::temp_directory_path();
        m_folder =
            base / (std::string("load-script-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    std::filesystem::path write_file(const std::string& name, std::string_view bytes)
    {
        std::filesystem::path path = m_folder / name;
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(file.good());
        return path;
    }

    // A PE32+ stub whose last section ends at 0x700, padded to that size.
    static std::string pe_stub()
    {
        std::vector<std::byte> headers =
            build_pe_headers(pe32_plus_magic, pe32_plus_optional_header_size, {{0x400, 0x200}, {0x600, 0x100}});
        std::string stub(reinterpret_cast<const char*>(headers.data()), headers.size());
        stub.resize(0x700, '\xCC');
        return stub;
    }

    static std::string script_text(const std::string& title)
    {
        CompiledScript script;
        CompiledCommand command;
        command.name = "Set Variable";
        command.identifier = "{ID-0}";
        command.parameters = {"NAME", "value"};
        script.commands = {command};
        script.product_title = title;
        return write_script_image(script).value_or("");
    }

    std::filesystem::path temp_copy() const { return m_folder / "qvo.tmp"; }

    std::filesystem::path m_folder;
};

TEST_F(LoadScriptImageTest, ReadsTheScriptBehindTheLastSectionAndDeletesItsCopy)
{
    std::string script = script_text("Loaded Product");
    std::filesystem::path exe = write_file("setup.exe", pe_stub() + script);
    // A longer copy left by an earlier start must be replaced, not overwritten in part.
    write_file("qvo.tmp", std::string(script.size() * 2, 'J'));

    auto image = LoadScriptImage(exe, m_folder);
    ASSERT_TRUE(image.has_value()) << image.error().message;
    EXPECT_EQ(image->product_title(), "Loaded Product");
    EXPECT_EQ(image->Parameter("{ID-0}", 2).value_or("<error>"), "value");
    EXPECT_FALSE(std::filesystem::exists(temp_copy()));
}

TEST_F(LoadScriptImageTest, UsesTheStubSizeItIsGiven)
{
    std::string script = script_text("Given Stub");
    std::filesystem::path exe = write_file("setup.exe", std::string(100, 'S') + script);

    auto image = LoadScriptImage(exe, m_folder, 100);
    ASSERT_TRUE(image.has_value()) << image.error().message;
    EXPECT_EQ(image->product_title(), "Given Stub");

    // The same file has no PE headers of its own to compute the size from.
    auto without_size = LoadScriptImage(exe, m_folder);
    ASSERT_FALSE(without_size.has_value());
    EXPECT_EQ(without_size.error().code, ErrorCode::corrupt);
    EXPECT_FALSE(is_nothing_appended(without_size.error()));
}

TEST_F(LoadScriptImageTest, AFileOfExactlyTheStubSizeHasNothingAppended)
{
    std::filesystem::path exe = write_file("setup.exe", pe_stub());
    for (bool given : {false, true}) {
        SCOPED_TRACE(given ? "stub size given" : "stub size from the file");
        auto image = given ? LoadScriptImage(exe, m_folder, 0x700) : LoadScriptImage(exe, m_folder);
        ASSERT_FALSE(image.has_value());
        EXPECT_TRUE(is_nothing_appended(image.error())) << image.error().message;
        EXPECT_FALSE(std::filesystem::exists(temp_copy()));
    }
}

TEST_F(LoadScriptImageTest, OtherFailuresAreNotNothingAppended)
{
    std::string script = script_text("Product");
    std::filesystem::path exe = write_file("setup.exe", pe_stub() + script);
    std::filesystem::path damaged = write_file("damaged.exe", pe_stub() + script.substr(0, script.size() / 2));

    struct Case {
        std::string name;
        Result<TScriptImage> outcome;
        ErrorCode code;
    };
    Case cases[] = {
        {"missing executable", LoadScriptImage(m_folder / "missing.exe", m_folder), ErrorCode::io},
        {"executable is a folder", LoadScriptImage(m_folder, m_folder), ErrorCode::io},
        {"stub larger than the file", LoadScriptImage(exe, m_folder, 0x700 + script.size() + 1), ErrorCode::corrupt},
        {"temp folder missing", LoadScriptImage(exe, m_folder / "no such folder"), ErrorCode::io},
        {"script cut short", LoadScriptImage(damaged, m_folder), ErrorCode::corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.outcome.has_value());
        EXPECT_EQ(c.outcome.error().code, c.code) << c.outcome.error().message;
        EXPECT_FALSE(is_nothing_appended(c.outcome.error()));
        EXPECT_FALSE(std::filesystem::exists(temp_copy()));
    }
}

TEST_F(LoadScriptImageTest, LeavesAlonePathsItDidNotCreate)
{
    std::filesystem::path exe = write_file("setup.exe", pe_stub() + script_text("Product"));
    std::filesystem::create_directory(temp_copy());
    auto image = LoadScriptImage(exe, m_folder);
    ASSERT_FALSE(image.has_value());
    EXPECT_EQ(image.error().code, ErrorCode::io);
    EXPECT_TRUE(std::filesystem::is_directory(temp_copy()));
}

} // namespace
} // namespace quillon::test
