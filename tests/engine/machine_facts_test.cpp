// Machine facts read from the real system under Wine.
#include "engine/machine_facts.h"
#include "harness/harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quillon::test {
namespace {

TEST(MachineFacts, OwnerAndOrganizationComeFromTheRegistry)
{
    MachineFacts facts = read_machine_facts();
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    EXPECT_EQ(facts.registered_owner,
              to_utf8(registry_string(HKEY_LOCAL_MACHINE, key, L"RegisteredOwner").value_or(L"")));
    EXPECT_EQ(facts.registered_organization,
              to_utf8(registry_string(HKEY_LOCAL_MACHINE, key, L"RegisteredOrganization").value_or(L"")));
}

TEST(MachineFacts, WineRunsProgramsAsAnElevatedAdministrator)
{
    // Wine's default token is an elevated administrator, so setups run for all users.
    EXPECT_TRUE(read_machine_facts().all_users);
}

TEST(MachineFacts, DateAndTimeFollowTheUsersFormats)
{
    MachineFacts facts = read_machine_facts();
    auto has_digits = [](const std::string& text) {
        return std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) >= 4;
    };
    EXPECT_TRUE(has_digits(facts.date)) << facts.date;
    EXPECT_TRUE(has_digits(facts.time)) << facts.time;
    EXPECT_NE(facts.date, facts.time);
}

} // namespace
} // namespace quillon::test
