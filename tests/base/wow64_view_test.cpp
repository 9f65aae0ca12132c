// The paths a 32-bit process reaches through the file-system redirector.
#include "platform/wow64_view.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(Wow64View, PlatformModeChoosesTheView)
{
    EXPECT_EQ(view_for_mode("Win32"), PlatformView::wow64_32);
    EXPECT_EQ(view_for_mode("x64"), PlatformView::native);
    EXPECT_EQ(view_for_mode("ia64"), PlatformView::native);
    // The mode is an exact text.
    EXPECT_EQ(view_for_mode("win32"), PlatformView::native);
}

TEST(Wow64View, SystemFolderPathsMapAsTheRedirectorMapsThem)
{
    const SystemFolders folders{"C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\SysWOW64"};
    struct Case {
        std::string_view path;
        std::string_view view32;
    };
    const Case cases[] = {
        {"C:\\Windows\\System32\\shdocvw.dll", "C:\\Windows\\SysWOW64\\shdocvw.dll"},
        {"c:\\windows\\system32\\Sub\\a.dll", "C:\\Windows\\SysWOW64\\Sub\\a.dll"},
        {"C:\\Windows\\System32", "C:\\Windows\\SysWOW64"},
        {"C:\\Windows\\System32\\", "C:\\Windows\\SysWOW64\\"},
        // Exempt subfolders stay in the 64-bit folder.
        {"C:\\Windows\\System32\\drivers\\etc\\hosts", "C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {"C:\\Windows\\System32\\spool", "C:\\Windows\\System32\\spool"},
        {"C:\\Windows\\System32\\CatRoot2\\x", "C:\\Windows\\System32\\CatRoot2\\x"},
        {"C:\\Windows\\System32\\DriverStore\\FileRepository", "C:\\Windows\\System32\\DriverStore\\FileRepository"},
        {"C:\\Windows\\System32\\LogFiles\\a.log", "C:\\Windows\\System32\\LogFiles\\a.log"},
        // Only whole names: these are not exempt, and not the system folder.
        {"C:\\Windows\\System32\\drivers\\x.sys", "C:\\Windows\\SysWOW64\\drivers\\x.sys"},
        {"C:\\Windows\\System32\\catroot3", "C:\\Windows\\SysWOW64\\catroot3"},
        {"C:\\Windows\\System32x\\a.dll", "C:\\Windows\\System32x\\a.dll"},
        // Sysnative reaches the real system folder.
        {"C:\\Windows\\Sysnative\\cmd.exe", "C:\\Windows\\System32\\cmd.exe"},
        {"C:\\Windows\\sysnative", "C:\\Windows\\System32"},
        {"C:\\Windows\\lastgood\\system32\\a.dll", "C:\\Windows\\lastgood\\SysWOW64\\a.dll"},
        {"C:\\Windows\\regedit.exe", "C:\\Windows\\SysWOW64\\regedit.exe"},
        {"C:\\Windows\\notepad.exe", "C:\\Windows\\notepad.exe"},
        {"C:\\Program Files\\App\\a.exe", "C:\\Program Files\\App\\a.exe"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(map_to_view(c.path, PlatformView::wow64_32, folders), c.view32);
        EXPECT_EQ(map_to_view(c.path, PlatformView::native, folders), c.path);
    }
}

TEST(Wow64View, NothingMapsWithoutA32BitFolder)
{
    const SystemFolders folders{"C:\\Windows", "C:\\Windows\\System32", ""};
    EXPECT_EQ(map_to_view("C:\\Windows\\System32\\a.dll", PlatformView::wow64_32, folders),
              "C:\\Windows\\System32\\a.dll");
}

} // namespace
} // namespace quillon
