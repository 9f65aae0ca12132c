#include "qvoc_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quillon::test {
namespace {

#ifdef QVOC_PROGRAM

struct ProgramRun {
    int exit_code = -1;
    std::string output; // stdout and stderr
};

ProgramRun run_qvoc(const std::string& arguments, const fs::path& folder)
{
    fs::path log = folder / "qvoc.log";
    std::string command = std::string("'") + QVOC_PROGRAM + "' " + arguments + " >'" + log.string() + "' 2>&1";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(log)};
}

TEST(QvocProgram, ExitCodesAndMessages)
{
    fs::path folder = scratch_folder();
    write_file(folder / "engine.exe", bare_engine_stub());
    write_file(folder / "bad.qvp", "[setup]\ntitle = T\n\n[script]\n| orphan\n");
    write_file(folder / "good.qvp", "[setup]\ntitle = T\nproduct-code = {11111111-2222-3333-4444-555555555555}\n"
                                    "[script]\nSet Variable\n| A\n| 1\n");
    std::string engine = " --engine '" + (folder / "engine.exe").string() + "'";

    EXPECT_EQ(run_qvoc("", folder).exit_code, 2);
    EXPECT_EQ(run_qvoc("build '" + (folder / "good.qvp").string() + "'", folder).exit_code, 2); // no -o

    std::string output = " -o '" + (folder / "out").string() + "'";
    ProgramRun bad = run_qvoc("build '" + (folder / "bad.qvp").string() + "'" + output + engine, folder);
    EXPECT_EQ(bad.exit_code, 1);
    EXPECT_EQ(bad.output.rfind((folder / "bad.qvp").string() + ":5: ", 0), 0u) << bad.output;
    EXPECT_FALSE(fs::exists(folder / "out"));

    ProgramRun good = run_qvoc("build '" + (folder / "good.qvp").string() + "'" + output + engine, folder);
    ASSERT_EQ(good.exit_code, 0) << good.output;
    ProgramRun dumped = run_qvoc("dump '" + (folder / "out" / "setup.exe").string() + "'", folder);
    ASSERT_EQ(dumped.exit_code, 0) << dumped.output;
    EXPECT_NE(dumped.output.find("\nSet Variable\n    | A\n    | 1\n"), std::string::npos) << dumped.output;
    EXPECT_NE(dumped.output.find("\noutput = setup\n"), std::string::npos) << dumped.output;

    ProgramRun bare = run_qvoc("dump '" + (folder / "engine.exe").string() + "'", folder);
    EXPECT_EQ(bare.exit_code, 1);
    EXPECT_NE(bare.output.find("has no script appended"), std::string::npos) << bare.output;
}

#endif

} // namespace
} // namespace quillon::test
