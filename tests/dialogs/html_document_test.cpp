// The HTML reader of the wizard's pages: blocks, styled runs, title, refresh.
#include "dialogs/html_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::html {
namespace {

// One line per block: its kind, then its runs with their styles:
// "p|plain [b:bold] [a0:link]", "li2 *|bullet item", "li1 3.|numbered", "h2|...", "pre|...", "hr".
std::vector<std::string> describe(const Document& document)
{
    std::vector<std::string> lines;
    for (const Block& block : document.blocks) {
        std::string line;
        switch (block.kind) {
        case BlockKind::paragraph: line = "p"; break;
        case BlockKind::heading: line = "h" + std::to_string(block.level); break;
        case BlockKind::list_item:
            line = "li" + std::to_string(block.level) +
                   (block.marker == ListMarker::bullet ? std::string(" *") : " " + std::to_string(block.number) + ".");
            break;
        case BlockKind::preformatted: line = "pre"; break;
        case BlockKind::rule: line = "hr"; break;
        }
        if (block.kind != BlockKind::rule)
            line += "|";
        for (const Run& run : block.runs) {
            if (run.line_break) {
                line += "<br>";
                continue;
            }
            std::string style = std::string(run.bold ? "b" : "") + (run.italic ? "i" : "") +
                                (run.underline ? "u" : "") + (run.link >= 0 ? "a" + std::to_string(run.link) : "");
            line += style.empty() ? run.text : "[" + style + ":" + run.text + "]";
        }
        lines.push_back(line);
    }
    return lines;
}

struct Case {
    const char* name;
    std::string_view html;
    std::vector<std::string> blocks;
};

TEST(HtmlDocument, ReadsBlocksAndStyles)
{
    const std::vector<Case> cases = {
        {"whitespace collapses", "  <p>Hello   \n\t world </p>  ", {"p|Hello world"}},
        {"text outside blocks is a paragraph", "Hello <b>bold</b> and <i>it</i>", {"p|Hello [b:bold] and [i:it]"}},
        {"a space keeps the style it was typed in", "<b>bold </b>next", {"p|[b:bold ]next"}},
        {"strong em u", "<strong>s</strong><em>e</em><u>u</u>", {"p|[b:s][i:e][u:u]"}},
        {"headings", "<h1>Title</h1><h3>Sub</h3>text", {"h1|Title", "h3|Sub", "p|text"}},
        {"unclosed inline tags end with their block", "<p><b>bold<p>plain", {"p|[b:bold]", "p|plain"}},
        {"misnested tags close only themselves", "<b><i>x</b>y</i>", {"p|[bi:x][i:y]"}},
        {"bulleted and numbered lists",
         "<ul><li>a<li>b</ul><ol start=3><li>c<li value=9>d<li>e</ol>",
         {"li1 *|a", "li1 *|b", "li1 3.|c", "li1 9.|d", "li1 10.|e"}},
        {"nested lists", "<ul><li>a<ul><li>b</li></ul></li><li>c</ul>", {"li1 *|a", "li2 *|b", "li1 *|c"}},
        {"a paragraph inside an item is the item", "<ul><li><p>para</p></li></ul>", {"li1 *|para"}},
        {"an empty item keeps its bullet", "<ol><li></li><li>x</ol>", {"li1 1.|", "li1 2.|x"}},
        {"preformatted keeps spaces and lines",
         "<pre>\n  a  <b>b</b>\r\n\tc\n</pre>after",
         {"pre|  a  [b:b]<br>\tc", "p|after"}},
        {"line breaks; a final one adds nothing", "line1<br>  line2<br/>", {"p|line1<br>line2"}},
        {"rules", "a<hr>b<hr/>", {"p|a", "hr", "p|b", "hr"}},
        {"empty blocks vanish, a block refines an empty one", "<p></p><p> </p><div><h2>x</h2></div>", {"h2|x"}},
        {"unknown tags and font keep their text",
         "<font color=red>red</font> <blink>x</blink><img src=a.png>",
         {"p|red x"}},
        {"comments, script and style are skipped",
         "a<!-- <b>x</b> -->b<script>if (a<b) s='</p>';</script>c<STYLE>p{}</style >d<!DOCTYPE html><?xml?>e",
         {"p|abcde"}},
        {"a lone < is text", "a < b <3 </> c", {"p|a < b <3 c"}},
        {"an unterminated tag ends the page", "<p>text <b class='x", {"p|text"}},
        {"an unterminated comment ends the page", "x<!-- y", {"p|x"}},
        {"links",
         "<a href=\"a.htm\">A</a> and <a href='b.htm'>B <b>bold</b></a><a name=top>anchor</a>",
         {"p|[a0:A] and [a1:B ][ba1:bold]anchor"}},
        {"an anchor inside an anchor ends the first", "<a href=1>x<a href=2>y</a>z", {"p|[a0:x][a1:y]z"}},
        {"table rows are paragraphs with tab-separated cells",
         "<table><tr><td>Name</td> <td> Value </td></tr>\n<tr><th>x</th><td>1</td></tr></table>",
         {"p|Name\tValue", "p|x\t1"}},
        {"a cell holding blocks reads as those blocks",
         "<table><tr><td><h2>T</h2><p>x</p></td></tr></table>",
         {"h2|T", "p|x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(describe(parse_html(c.html)), c.blocks);
    }
}

TEST(HtmlDocument, MarksTheFirstItemOfEachList)
{
    Document document = parse_html("<ul><li>a<li>b<ol><li>c<li>d</ol><li>e</ul><ol><li>f</ol><li>stray");
    std::vector<bool> starts;
    for (const Block& block : document.blocks)
        starts.push_back(block.starts_list);
    EXPECT_EQ(starts, (std::vector<bool>{true, false, true, false, false, true, false}));
}

TEST(HtmlDocument, KeepsLinkTargetsInPageOrder)
{
    Document document = parse_html("<a href='x?a=1&amp;b=2&copy=3'>one</a> <a href=\"file:///C|/two.htm\">two</a> "
                                   "<a href=three.htm>three</a><a href=trimmed> </a>");
    EXPECT_EQ(document.links, (std::vector<std::string>{"x?a=1&b=2&copy=3", "file:///C|/two.htm", "three.htm"}))
        << "references in attributes decode only with ';', and a link whose text was trimmed away counts for nothing";
    EXPECT_EQ(describe(document), (std::vector<std::string>{"p|[a0:one] [a1:two] [a2:three]"}));
}

TEST(HtmlDocument, DecodesCharacterReferencesToTheCodePage)
{
    struct Reference {
        std::string_view html;
        std::string_view text;
    };
    const std::vector<Reference> references = {
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"&#65;&#x42;&#X43;&#68", "ABCD"},
        {"&eacute;&Eacute;&copy;&yuml;&szlig;", "\xE9\xC9\xA9\xFF\xDF"},
        {"a&nbsp;&nbsp;b", "a\xA0\xA0"
                           "b"},                    // no-break spaces do not collapse
        {"&euro;&#8364;&#128;&bull;&mdash;&#150;", "\x80\x80\x80\x95\x97\x96"}, // 128-159 read as Windows-1252
        {"&#0;&#xD800;&#99999999999999;&#x3A9;", "????"},      // invalid or missing from the code page
        {"AT&T &unknown; &amp &copy 5 & 6 &#; &#x;", "AT&T &unknown; & \xA9 5 & 6 &#; &#x;"},
        {"&lt;b&gt;not bold&lt;/b&gt;", "<b>not bold</b>"},
    };
    for (const Reference& reference : references) {
        SCOPED_TRACE(reference.html);
        Document document = parse_html(reference.html);
        ASSERT_EQ(document.blocks.size(), 1u);
        EXPECT_EQ(block_text(document.blocks[0]), reference.text);
    }

    ParseOptions options;
    options.code_point = [](char32_t code_point) {
        return code_point == 0x20AC ? std::string("EUR") : std::string("?");
    };
    EXPECT_EQ(block_text(parse_html("5&euro; &eacute;", options).blocks.at(0)), "5EUR ?");
}

TEST(HtmlDocument, ReadsTheTitleOnce)
{
    EXPECT_EQ(parse_html("<head><TITLE>  My \n &amp; <b>Page</b> </title><title>second</title></head>x").title,
              "My & <b>Page</b>");
    EXPECT_EQ(parse_html("<p>no title</p>").title, "");
    EXPECT_EQ(describe(parse_html("<title>t</title>body")), (std::vector<std::string>{"p|body"}))
        << "the title is not page text";
}

TEST(HtmlDocument, ReadsTheMetaRefresh)
{
    struct Refresh {
        std::string_view content;
        std::optional<std::pair<int, std::string>> expected;
    };
    const std::vector<Refresh> refreshes = {
        {"5; URL=next.htm", std::pair{5, std::string("next.htm")}},
        {"0;url='page two.htm'", std::pair{0, std::string("page two.htm")}},
        {" 3 , url = x.htm ", std::pair{3, std::string("x.htm")}},
        {"2.5; next.htm", std::pair{2, std::string("next.htm")}},
        {"10", std::pair{10, std::string()}},
        {"99999999999; x", std::pair{2147483647, std::string("x")}},
        {"soon; url=x.htm", std::nullopt},
    };
    for (const Refresh& refresh : refreshes) {
        SCOPED_TRACE(refresh.content);
        Document document =
            parse_html("<meta http-equiv=\"Refresh\" content=\"" + std::string(refresh.content) + "\">text");
        std::optional<std::pair<int, std::string>> actual;
        if (document.refresh)
            actual = std::pair{document.refresh->delay_seconds, document.refresh->target};
        EXPECT_EQ(actual, refresh.expected);
    }
    Document two = parse_html("<meta content='1;url=a.htm' http-equiv=refresh><meta http-equiv=refresh "
                              "content='2;url=b.htm'><meta name=refresh content='3;url=c.htm'>");
    ASSERT_TRUE(two.refresh);
    EXPECT_EQ(two.refresh->target, "a.htm") << "the first refresh counts";
    EXPECT_FALSE(parse_html("<meta name=description content='5; url=x'>").refresh);
}

// Whatever the bytes, the reader ends and hands back a consistent document.
TEST(HtmlDocument, MalformedInputGivesAConsistentDocument)
{
    std::vector<std::string> inputs = {
        std::string(100000, '<'),
        [] {
            std::string deep;
            for (int i = 0; i < 50000; ++i)
                deep += "<b><a href=x><ul><li>";
            return deep + "text";
        }(),
        "<table><td>a<td>b<tr><td><table><tr><td>c</table>d</td></tr></table></li></ul></ol></pre>",
        std::string("a\0b<p>\0</p>", 11),
    };
    std::uint32_t seed = 12345;
    const std::string_view alphabet = "<>/=\"' &#;abpliuhrtdx!-\n\t";
    for (int n = 0; n < 200; ++n) {
        std::string random;
        for (int i = 0; i < 300; ++i) {
            seed = seed * 1664525u + 1013904223u;
            random += alphabet[(seed >> 16) % alphabet.size()];
        }
        inputs.push_back(random);
    }
    for (const std::string& input : inputs) {
        Document document = parse_html(input);
        for (const Block& block : document.blocks) {
            if (block.kind == BlockKind::rule) {
                EXPECT_TRUE(block.runs.empty());
            }
            for (const html::Run& run : block.runs) {
                EXPECT_NE(run.line_break, !run.text.empty()) << "a run is text or a break";
                EXPECT_LT(run.link, static_cast<int>(document.links.size()));
                EXPECT_EQ(run.text.find_first_of(std::string("\n\0", 2)), std::string::npos);
            }
        }
    }
}

} // namespace
} // namespace quillon::html
