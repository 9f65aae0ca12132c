// Files that hold a user's choices or secrets: written whole, and readable
// only by the system, the administrators and the user who wrote them, whatever
// the folder lets everyone else do.
#include "harness/harness.h"
#include "platform/win32/os_services.h"
#include "platform/win32/wide.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

namespace quillon::test {
namespace {

std::vector<std::wstring> dacl_sids(const std::filesystem::path& file, bool* is_protected)
{
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::wstring> sids;
    if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor) != ERROR_SUCCESS)
        return sids;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    *is_protected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)))
            continue;
        wchar_t* text = nullptr;
        if (ConvertSidToStringSidW(&ace->SidStart, &text)) {
            sids.emplace_back(text);
            LocalFree(text);
        }
    }
    LocalFree(descriptor);
    return sids;
}

TEST(PrivateFile, OnlyTheSystemTheAdministratorsAndTheWriterMayRead)
{
    std::filesystem::path folder = fresh_scratch_dir(L"private-file");
    std::filesystem::path file = folder / L"setup.dat";
    std::string path = win32::to_ansi(file.wstring());
    const std::string first = "TARGETDIR\r\nC:\\App\\\r\n";
    ASSERT_TRUE(win32::write_private_file(path, std::as_bytes(std::span(first.data(), first.size()))));
    const std::string second = "PASSWORD\r\nsecret\r\n";
    ASSERT_TRUE(win32::write_private_file(path, std::as_bytes(std::span(second.data(), second.size()))));
    EXPECT_EQ(read_file_bytes(file), second);

    bool is_protected = false;
    std::vector<std::wstring> sids = dacl_sids(file, &is_protected);
    // Nobody but the system, the administrators and the writer. (Wine keeps no
    // descriptor of its own for a file: it reports one made from the Unix mode
    // it chose, 0750 here, without the protection flag and the administrators;
    // see docs/wine.md.)
    ASSERT_FALSE(sids.empty());
    bool writer = false;
    for (const std::wstring& sid : sids) {
        EXPECT_TRUE(sid == L"S-1-5-18" || sid == L"S-1-5-32-544" || sid.rfind(L"S-1-5-21-", 0) == 0)
            << "an entry for " << to_utf8(sid);
        writer = writer || sid.rfind(L"S-1-5-21-", 0) == 0;
    }
    EXPECT_TRUE(writer);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

} // namespace
} // namespace quillon::test
