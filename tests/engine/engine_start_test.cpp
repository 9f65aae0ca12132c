#include "harness/harness.h"

#include <gtest/gtest.h>

namespace quillon::test {
namespace {

TEST(EngineStart, TheStubStartsAndEndsUnderWine)
{
    std::filesystem::path engine = dist_file(L"engine.exe");
    ASSERT_TRUE(std::filesystem::exists(engine)) << engine.string();
    RunOutcome outcome = run_program({engine, L"/s"});
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_code, 0u);
}

} // namespace
} // namespace quillon::test
