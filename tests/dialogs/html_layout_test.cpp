#include "dialogs/html_layout.h"

#include <gtest/gtest.h>

namespace quillon::html {
namespace {

// Every character 10 pixels wide (20 in bold), ascent 8 and descent 2 (a
// heading's font twice that), as a fixed-pitch font would measure.
struct FixedMeasure : TextMeasure {
    std::wstring widen(std::string_view text) override { return std::wstring(text.begin(), text.end()); }
    int char_width(const FontKey& font) const { return font.bold ? 20 : 10; }
    int width(std::wstring_view text, const FontKey& font) override
    {
        return static_cast<int>(text.size()) * char_width(font);
    }
    int fit(std::wstring_view text, const FontKey& font, int available) override
    {
        return std::min(static_cast<int>(text.size()), available / char_width(font));
    }
    FontMetrics metrics(const FontKey& font) override
    {
        int scale = font.scale >= 150 ? 2 : 1;
        return {8 * scale, 2 * scale, 0, 10};
    }
};

Block paragraph(std::vector<Run> runs, BlockKind kind = BlockKind::paragraph)
{
    Block block;
    block.kind = kind;
    block.runs = std::move(runs);
    return block;
}

Run text(std::string value, bool bold = false, int link = -1)
{
    Run run;
    run.text = std::move(value);
    run.bold = bold;
    run.link = link;
    return run;
}

Run line_break()
{
    Run run;
    run.line_break = true;
    return run;
}

// The pieces as "text@x,line_top", one line per string.
std::vector<std::string> lines_of(const std::vector<Piece>& pieces)
{
    std::vector<std::string> lines;
    int top = -1;
    for (const Piece& piece : pieces) {
        if (piece.line_top != top) {
            lines.emplace_back();
            top = piece.line_top;
        }
        std::string& line = lines.back();
        if (!line.empty())
            line += " | ";
        line += std::string(piece.text.begin(), piece.text.end()) + "@" + std::to_string(piece.x);
    }
    return lines;
}

TEST(HtmlLayout, WordsFillALineAndBreakAtSpaces)
{
    FixedMeasure measure;
    std::vector<Piece> pieces;
    // 100 pixels: ten characters a line.
    int bottom = LayoutBlock(paragraph({text("one two three four")}), 0, 100, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"one@0 |  @30 | two@40", "three@0 |  @50 | four@60"}));
    EXPECT_EQ(bottom, 20) << "two lines of 10 pixels";
}

TEST(HtmlLayout, AWordAcrossRunsStaysWholeAndALongWordIsCut)
{
    FixedMeasure measure;
    std::vector<Piece> pieces;
    LayoutBlock(paragraph({text("ab "), text("cd", true), text("ef")}), 0, 70, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"ab@0", "cd@0 | ef@40"}))
        << "\"cdef\" is one word of 60 pixels: it moves to the next line whole";

    pieces.clear();
    LayoutBlock(paragraph({text("abcdefghijklmno")}), 0, 50, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"abcde@0", "fghij@0", "klmno@0"}));
}

TEST(HtmlLayout, BreaksTabsSpacesAndMarkers)
{
    FixedMeasure measure;
    std::vector<Piece> pieces;
    LayoutBlock(paragraph({text("a"), line_break(), text("b\tc  ")}), 0, 200, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"a@0", "b@0 | c@80"}))
        << "a tab goes to the next stop of 8 average characters; spaces at a line end take no room";

    pieces.clear();
    LayoutBlock(paragraph({text("  x  ")}, BlockKind::preformatted), 0, 200, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"  @0 | x@20 |   @30"})) << "preformatted keeps its spaces";

    Block item = paragraph({text("first item")}, BlockKind::list_item);
    item.marker = ListMarker::number;
    item.number = 3;
    pieces.clear();
    LayoutBlock(item, 40, 200, 0, measure, pieces);
    EXPECT_EQ(lines_of(pieces), (std::vector<std::string>{"3.@14 | first@40 |  @90 | item@100"}))
        << "the marker sits left of the text, its gap apart";
}

TEST(HtmlLayout, LineHeightsFollowTheirTallestFont)
{
    FixedMeasure measure;
    std::vector<Piece> pieces;
    Block heading = paragraph({text("Title")}, BlockKind::heading);
    heading.level = 1;
    int bottom = LayoutBlock(heading, 0, 400, 5, measure, pieces);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].line_top, 5);
    EXPECT_EQ(pieces[0].line_height, 20);
    EXPECT_EQ(bottom, 25);
    EXPECT_TRUE(pieces[0].font.bold);

    pieces.clear();
    bottom = LayoutBlock(paragraph({}), 0, 400, 0, measure, pieces);
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(bottom, 10) << "an empty block still takes one line";

    pieces.clear();
    LayoutBlock(paragraph({text("see "), text("here", false, 0)}), 0, 400, 0, measure, pieces);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[2].link, 0);
    EXPECT_TRUE(pieces[2].font.underline) << "links are underlined";
}

} // namespace
} // namespace quillon::html
