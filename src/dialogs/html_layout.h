// How one block of an HTML page falls into lines: words placed while they
// fit, a line broken at spaces, tabs and line breaks, a word wider than the
// line cut where the line is full, a list item's marker before its first
// line. Decided here without a device context: the view measures text for
// it (TextMeasure) and draws the pieces it returns.
#pragma once

#include "dialogs/html_document.h"

#include <array>
#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::html {

inline constexpr int marker_gap = 6;                                        // between a list marker and its text
inline constexpr std::array<int, 6> heading_scale = {200, 150, 117, 100, 83, 67}; // percent of the base font

struct FontKey {
    int scale = 100;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool mono = false;
    auto operator<=>(const FontKey&) const = default;
};

struct FontMetrics {
    int ascent = 0;
    int descent = 0;
    int external_leading = 0;
    int average_width = 0;
};

class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    // The page's 8-bit text in the units that are measured and drawn.
    virtual std::wstring widen(std::string_view text) = 0;
    virtual int width(std::wstring_view text, const FontKey& font) = 0;
    // How many leading characters of the text fit into the width (0 when none does).
    virtual int fit(std::wstring_view text, const FontKey& font, int width) = 0;
    virtual FontMetrics metrics(const FontKey& font) = 0;
};

// A piece of text on one laid-out line, in page coordinates (0 = top of the page).
struct Piece {
    std::wstring text;
    FontKey font;
    int x = 0;
    int width = 0;
    int text_top = 0;
    int line_top = 0;
    int line_height = 0;
    int link = -1;
};

// The text of a list item's marker: "3." or a bullet.
std::wstring marker_text(const Block& block);

// Lays the block out between left and right from top, adding its pieces;
// answers the y below its last line. An empty block still takes one line.
int LayoutBlock(const Block& block, int left, int right, int top, TextMeasure& measure, std::vector<Piece>& pieces);

} // namespace quillon::html
