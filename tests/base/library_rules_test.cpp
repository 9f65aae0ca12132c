#include "platform/library_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

TEST(IsKnownDll, OnlyKnownDllsAndApiSetsInAnyCase)
{
    struct Case {
        std::string_view name;
        bool known;
    };
    const Case cases[] = {
        {"KERNEL32.dll", true},
        {"kernel32.dll", true},
        {"USER32.dll", true},
        {"msvcrt.dll", true},
        {"OLEAUT32.dll", true},
        {"ntdll.dll", true},
        {"api-ms-win-core-synch-l1-2-0.dll", true},
        {"API-MS-WIN-CRT-RUNTIME-L1-1-0.DLL", true},
        // Libraries a setup uses that Windows looks for beside the program first.
        {"COMCTL32.dll", false},
        {"WINMM.dll", false},
        {"version.dll", false},
        {"uxtheme.dll", false},
        {"msi.dll", false},
        {"riched20.dll", false},
        // Near misses.
        {"kernel32", false},
        {"kernel32.dll ", false},
        {"xkernel32.dll", false},
        {"api-ms-win-", false},
        {"ext-ms-win-ntuser-window-l1-1-0.dll", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name));
        EXPECT_EQ(is_known_dll(c.name), c.known);
    }
}

TEST(KnownDlls, AreLowerCaseFileNames)
{
    for (std::string_view name : known_dlls()) {
        SCOPED_TRACE(std::string(name));
        EXPECT_TRUE(name.ends_with(".dll"));
        EXPECT_EQ(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ\\/:"), std::string_view::npos);
        EXPECT_TRUE(is_known_dll(name));
    }
}

TEST(IsFullPath, OnlyPathsThatNeedNoSearch)
{
    struct Case {
        std::string_view path;
        bool full;
    };
    const Case cases[] = {
        {"C:\\Users\\me\\Downloads\\qvo.lib", true},
        {"c:/setup/plug.dll", true},
        {"\\\\server\\share\\setup\\plug.dll", true},
        {"\\\\?\\C:\\long\\plug.dll", true},
        {"\\\\.\\C:\\plug.dll", true},
        {"plug.dll", false},
        {"sub\\plug.dll", false},
        {".\\plug.dll", false},
        {"..\\plug.dll", false},
        {"C:plug.dll", false},
        {"\\plug.dll", false},
        {"\\\\\\plug.dll", false},
        {"\\\\", false},
        {"1:\\plug.dll", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path));
        EXPECT_EQ(is_full_path(c.path), c.full);
        std::wstring wide(c.path.begin(), c.path.end());
        EXPECT_EQ(is_full_path(std::wstring_view(wide)), c.full);
    }
}

} // namespace
} // namespace quillon
