// "Is MSI Setup Installed" through the loop, against the products a fake
// Windows Installer reports.
#include "interp_test_support.h"

namespace quillon::test {
namespace {

TEST(IsMsiSetupInstalled, AnswersTrueOrFalseAndAMissingInstallerIsARuntimeError)
{
    struct Case {
        std::string product;
        bool ran;
        std::string answer;
    };
    const Case cases[] = {
        {"{11111111-2222-3333-4444-555555555555}", true, "TRUE"},
        {"{99999999-2222-3333-4444-555555555555}", true, "FALSE"},
        {"{MISSING-MSI}", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        ScriptRun run({{"Is MSI Setup Installed", {"$CODE$", "Installed"}}, {"Set Variable", {"AFTER", "ran"}}},
                      {{"CODE", c.product}});
        run.host.installed_products.insert("{11111111-2222-3333-4444-555555555555}");
        EXPECT_EQ(run.run(), c.ran);
        EXPECT_EQ(run.var("INSTALLED"), c.answer);
        if (!c.ran) {
            ASSERT_EQ(run.host.errors.size(), 1u);
            EXPECT_NE(run.host.errors[0].find("Library not found: msi.dll"), std::string::npos) << run.host.errors[0];
            EXPECT_FALSE(run.vars.Exists("AFTER"));
        }
    }
}

} // namespace
} // namespace quillon::test
