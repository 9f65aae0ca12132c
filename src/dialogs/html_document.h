// A small HTML reader for the pages the wizard shows (readme, licence, start
// pages): HTML text in the setup's 8-bit code page becomes a flat list of
// blocks holding styled runs. It reads what such pages use and skips the
// rest, tolerant like a browser: it never fails.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::html {

enum class BlockKind : std::uint8_t {
    paragraph,    // <p>, <div>, a table row, or text outside any block
    heading,      // <h1>..<h6>; Block::level is 1..6
    list_item,    // <li>; Block::level is the list depth (1 outermost)
    preformatted, // <pre>: spaces kept, each line break a Run with line_break
    rule,         // <hr>: no runs
};

enum class ListMarker : std::uint8_t { bullet, number };

struct Run {
    std::string text; // 8-bit; never holds a line break (those are separate runs)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int link = -1;           // index into Document::links, -1 when not a link
    bool line_break = false; // a <br> or a line end in <pre>; text is empty
};

struct Block {
    BlockKind kind = BlockKind::paragraph;
    int level = 0;
    ListMarker marker = ListMarker::bullet; // list items only
    int number = 0;                         // list items with ListMarker::number
    bool starts_list = false;               // the first item of a <ul> or <ol>
    std::vector<Run> runs;
};

struct MetaRefresh {
    int delay_seconds = 0;
    std::string target; // as written in the page (may be empty: reload the same page)
};

struct Document {
    std::string title;
    std::vector<Block> blocks;
    std::vector<std::string> links; // the href of each link, in the order the links appear
    std::optional<MetaRefresh> refresh;
};

struct ParseOptions {
    // Turns a character reference (&#8364;, &eacute;) into 8-bit text in the
    // setup's code page. By default: Windows-1252, '?' for what it lacks.
    std::function<std::string(char32_t)> code_point;
};

Document parse_html(std::string_view html, const ParseOptions& options = {});

// The block's text: runs joined, each line break as CR LF.
std::string block_text(const Block& block);

// The default code point conversion (Windows-1252), exposed for tests and callers
// that want to fall back to it.
std::string windows_1252_from_code_point(char32_t code_point);

} // namespace quillon::html
