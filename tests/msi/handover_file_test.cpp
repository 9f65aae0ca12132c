// The hand-over file between the engine and the package's custom action:
// what one writes the other reads back exactly.
#include "msi/handover_file.h"

#include <gtest/gtest.h>

namespace quillon::msi {
namespace {

bool operator==(const HandOverEntry& a, const HandOverEntry& b)
{
    return a.name == b.name && a.value == b.value;
}

TEST(HandOverFile, EntriesComeBackExactly)
{
    std::vector<HandOverEntry> entries = {
        {"SourceDir", "C:\\Setup\\data\\"},         {"EMPTY", ""},
        {"NOTES", "first line\r\nsecond line\r\n"}, {"QUOTED", "it's \"odd\" $ex inside \xE9"},
        {"\\\\SERVER", "\\\\server\\share"},
    };
    std::string text = ComposeHandOver(entries);
    EXPECT_EQ(text.substr(0, 32), "SourceDir\r\nC:\\Setup\\data\\\r\n$ex\r\n");
    std::vector<HandOverEntry> back = ParseHandOver(text);
    ASSERT_EQ(back.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_TRUE(back[i] == entries[i]) << entries[i].name << ": " << back[i].value;
}

TEST(HandOverFile, ReadsLineFeedsAndACutEnd)
{
    auto back = ParseHandOver("A\nTRUE\n$ex\n\nlost\n$ex\nB\r\nlast");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE((back[0] == HandOverEntry{"A", "TRUE"}));
    EXPECT_TRUE((back[1] == HandOverEntry{"B", "last"}));
    EXPECT_TRUE(ParseHandOver("").empty());
}

} // namespace
} // namespace quillon::msi

namespace quillon::test {
namespace {

// Only a recorded command's value that holds a folder gives the folder property.
TEST(HandOverFile, ARecordedPathGivesItsFolder)
{
    struct Case {
        msi::HandOverEntry entry;
        std::optional<msi::HandOverEntry> folder;
    };
    const Case cases[] = {
        {{"P0A1B2C3D_1", "C:\\App\\settings.ini"}, msi::HandOverEntry{"P0A1B2C3D_1D", "C:\\App\\"}},
        {{"Pdeadbeef_12", "C:\\App\\"}, msi::HandOverEntry{"Pdeadbeef_12D", "C:\\App\\"}},
        {{"P0A1B2C3D_1", "settings.ini"}, std::nullopt},
        {{"P0A1B2C3D_1", "\\share"}, std::nullopt},
        {{"A0A1B2C3D", "TRUE"}, std::nullopt},
        {{"P0A1B2C3D_", "C:\\App\\x"}, std::nullopt},
        {{"P0A1B2C3G_1", "C:\\App\\x"}, std::nullopt},
        {{"PATH_1", "C:\\App\\x"}, std::nullopt},
        {{"P0A1B2C3D_1X", "C:\\App\\x"}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.name + "=" + c.entry.value);
        std::optional<msi::HandOverEntry> folder = msi::FolderEntryOf(c.entry);
        ASSERT_EQ(folder.has_value(), c.folder.has_value());
        if (folder) {
            EXPECT_EQ(folder->name, c.folder->name);
            EXPECT_EQ(folder->value, c.folder->value);
        }
    }
}

} // namespace
} // namespace quillon::test
