#include "dialogs/html_links.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Kind = LinkAction::Kind;

TEST(HtmlLinks, WhatALinkDoes)
{
    struct Case {
        const char* href;
        Kind kind;
        const char* target;
        const char* parameters;
    };
    const Case cases[] = {
        {"chime.wav", Kind::play_sound, "C:\\sup\\chime.wav", ""},
        {"tools\\Setup.EXE /quiet /x", Kind::start_program, "C:\\sup\\tools\\Setup.EXE", "/quiet /x"},
        {"viewer.exe?page=2", Kind::start_program, "C:\\sup\\viewer.exe", "page=2"},
        {"D:\\media\\intro.wav", Kind::play_sound, "D:\\media\\intro.wav", ""},
        {"FILE:///D:/Tools/My%20App.exe -v", Kind::start_program, "D:\\Tools\\My App.exe", "-v"},
        {"file:run.exe", Kind::start_program, "C:\\sup\\run.exe", ""},
        {"file://D|/a.wav", Kind::play_sound, "D:\\a.wav", ""},
        // A local page or another file: the viewer follows pages itself.
        {"next.htm", Kind::none, "", ""},
        {"readme.txt", Kind::none, "", ""},
        {"mailto:support@example.com", Kind::shell_open, "mailto:support@example.com", ""},
        {"HTTP://example.com/a.exe", Kind::shell_open, "HTTP://example.com/a.exe", ""},
        {"https://example.com/", Kind::shell_open, "https://example.com/", ""},
        {"ftp://example.com/x.exe", Kind::none, "", ""},
        {"javascript:alert(1)", Kind::none, "", ""},
    };
    for (const Case& c : cases) {
        LinkAction action = ClassifyLink(c.href, "C:\\sup");
        EXPECT_EQ(action.kind, c.kind) << c.href;
        EXPECT_EQ(action.target, c.target) << c.href;
        EXPECT_EQ(action.parameters, c.parameters) << c.href;
    }
}

TEST(HtmlLinks, RefreshTargetsBecomeWindowsPaths)
{
    const std::pair<const char*, const char*> cases[] = {
        {"file:///C|/Setup%20Files/page2.htm", "C:\\Setup Files\\page2.htm"},
        {"file://C:/x/p.htm", "C:\\x\\p.htm"},
        {"page2.htm", "page2.htm"},
        {"100%.htm", "100%.htm"},   // not an escape
        {"a%4", "a%4"},             // cut short
        {"%41%4a", "AJ"},
    };
    for (const auto& [link, path] : cases)
        EXPECT_EQ(FileLinkPath(link), path) << link;
}

} // namespace
} // namespace quillon
