// The file and folder commands through the loop, against an in-memory file
// system: the one open text file, whole-file writes, versions, the folder walk
// with its worker, progress and cancel, the recursive delete, and the paths of
// the 32-bit view in "Win32" mode.
#include "interp/file_versions.h"
#include "interp/file_walk.h"
#include "interp/text_files.h"
#include "interp_test_support.h"

namespace quillon::test {
namespace {

Cmd read_line(std::string path, std::string line = "LINE", std::string end = "EOF")
{
    return {"Read from Text File", {std::move(path), std::move(line), std::move(end)}};
}

Cmd write_line(std::string path, std::string text, bool top = false)
{
    return {"Write to Text File", {std::move(path), std::move(text), top ? "TRUE" : "FALSE"}};
}

// Every read stores its line and end flag into variables of its own.
std::vector<Cmd> reads(const std::string& path, int count, int first = 1)
{
    std::vector<Cmd> commands;
    for (int k = first; k < first + count; ++k)
        commands.push_back(read_line(path, "L" + std::to_string(k), "E" + std::to_string(k)));
    return commands;
}

TEST(ReadFromTextFile, ReadsLineByLineThenStartsAgain)
{
    for (std::string_view content : {"one\r\ntwo\r\nthree\r\n", "one\ntwo\nthree", "one\rtwo\r\nthree\n"}) {
        SCOPED_TRACE(content);
        // The second read names the path in other letters: it is the same open file.
        std::vector<Cmd> commands = reads("C:\\T\\list.txt", 1);
        commands.push_back(read_line("c:\\t\\LIST.TXT", "L2", "E2"));
        for (Cmd& c : reads("C:\\T\\list.txt", 2, 3))
            commands.push_back(std::move(c));
        ScriptRun run(commands);
        run.host.files.add_file("C:\\T\\list.txt", std::string(content));
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("L1"), "one");
        EXPECT_EQ(run.var("E1"), "FALSE");
        EXPECT_EQ(run.var("L2"), "two");
        EXPECT_EQ(run.var("E2"), "FALSE");
        EXPECT_EQ(run.var("L3"), "three");
        EXPECT_EQ(run.var("E3"), "TRUE");
        // The end closed the file: the fourth read opens it afresh.
        EXPECT_EQ(run.var("L4"), "one");
        EXPECT_EQ(run.var("E4"), "FALSE");
        EXPECT_EQ(run.host.files.reads, 2);
    }
}

TEST(ReadFromTextFile, EmptyMissingAndUnreadableFilesEndAtOnce)
{
    for (std::string_view what : {"empty", "missing", "unreadable"}) {
        SCOPED_TRACE(what);
        ScriptRun run({read_line("C:\\T\\x.txt"), read_line("C:\\T\\x.txt", "SECOND", "")}, {{"LINE", "kept"}});
        if (what != "missing")
            run.host.files.add_file("C:\\T\\x.txt").unreadable = what == "unreadable";
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("LINE"), "kept");
        EXPECT_EQ(run.var("EOF"), "TRUE");
        // No end variable named: the line variable is still made.
        EXPECT_TRUE(run.vars.Exists("SECOND"));
        EXPECT_EQ(run.host.files.reads, what == "empty" ? 2 : 0) << "each read opened the file afresh";
    }
}

TEST(ReadFromTextFile, ReadAllJoinsTheRestOfTheFile)
{
    ScriptRun run({read_line("C:\\T\\x.txt", "FIRST"), read_line("#READALL\\C:\\T\\x.txt", "REST"),
                   read_line("#READALL\\C:\\T\\x.txt", "AGAIN", "EOF2"),
                   read_line("#readall\\C:\\T\\x.txt", "ODD", "EOF3")});
    run.host.files.add_file("C:\\T\\x.txt", "a\r\nb\r\nc\r\n");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("FIRST"), "a");
    EXPECT_EQ(run.var("REST"), "b$NEWLINE$c");
    EXPECT_EQ(run.var("EOF"), "TRUE");
    EXPECT_EQ(run.var("AGAIN"), "a$NEWLINE$b$NEWLINE$c");
    EXPECT_EQ(run.var("EOF2"), "TRUE");
    // The prefix is exact: in other letters it is part of the path.
    EXPECT_EQ(run.var("EOF3"), "TRUE");
    EXPECT_EQ(run.var("ODD"), "");
}

TEST(WriteToTextFile, AddsALineAtTheTopOrTheBottom)
{
    struct Case {
        std::optional<std::string> before;
        std::string text;
        bool top;
        std::string after;
    };
    const Case cases[] = {
        {std::nullopt, "only", false, "only\r\n"},
        {"a\r\nb\r\n", "c", false, "a\r\nb\r\nc\r\n"},
        {"a\nb", "c", true, "c\r\na\r\nb\r\n"},
        {"a\r\n", "", false, "a\r\n\r\n"},
        {"a\r\n", "$TWO_LINES$", true, "x\r\ny\r\na\r\n"},
        {"a\r\n", "x$NEWLINE$y", false, "a\r\nx\r\ny\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // NEWLINE holds CR LF, as in every run, so "$NEWLINE$" expands to a line break.
        ScriptRun run({write_line("C:\\T\\out.txt", c.text, c.top)}, {{"TWO_LINES", "x\r\ny"}, {"NEWLINE", "\r\n"}});
        run.host.files.add_folder("C:\\T");
        if (c.before)
            run.host.files.add_file("C:\\T\\out.txt", *c.before).read_only = true;
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.files.content("C:\\T\\out.txt"), c.after);
    }
}

TEST(WriteToTextFile, AFileThatCannotBeReadOrWrittenKeepsItsContent)
{
    for (std::string_view what : {"unreadable", "unwritable"}) {
        SCOPED_TRACE(what);
        ScriptRun run({write_line("C:\\T\\out.txt", "new"), {"Set Variable", {"AFTER", "ran"}}});
        FakeFiles::Node& node = run.host.files.add_file("C:\\T\\out.txt", "precious\r\n");
        node.unreadable = what == "unreadable";
        node.unwritable = what == "unwritable";
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.files.content("C:\\T\\out.txt"), "precious\r\n");
        EXPECT_EQ(run.var("AFTER"), "ran") << "no failure is reported";
    }
}

TEST(WriteToTextFile, WritingTheOpenFileMakesTheNextReadStartAtItsTop)
{
    ScriptRun run(
        {read_line("C:\\T\\x.txt", "L1"), write_line("C:\\T\\X.TXT", "zero", true), read_line("C:\\T\\x.txt", "L2")});
    run.host.files.add_file("C:\\T\\x.txt", "one\r\ntwo\r\n");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("L1"), "one");
    EXPECT_EQ(run.var("L2"), "zero");
    EXPECT_EQ(run.var("EOF"), "FALSE");
}

TEST(DoesFileFolderExist, TellsFilesFromFolders)
{
    ScriptRun run({{"Does File/Folder Exist", {"F1", "C:\\T\\a.txt", "TRUE"}},
                   {"Does File/Folder Exist", {"F2", "C:\\T\\a.txt", "FALSE"}},
                   {"Does File/Folder Exist", {"F3", "C:\\T", "TRUE"}},
                   {"Does File/Folder Exist", {"F4", "C:\\T", "FALSE"}},
                   {"Does File/Folder Exist", {"F5", "C:\\T\\none", "-1"}}});
    run.host.files.add_file("C:\\T\\a.txt");
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("F1"), "TRUE");
    EXPECT_EQ(run.var("F2"), "FALSE");
    EXPECT_EQ(run.var("F3"), "FALSE");
    EXPECT_EQ(run.var("F4"), "TRUE");
    EXPECT_EQ(run.var("F5"), "FALSE");
}

// In "Win32" mode a path under the system folder reaches the 32-bit one, as
// the redirector of a 32-bit engine would take it; Sysnative the real one.
TEST(FileCommands, Win32ModeSeesTheThirtyTwoBitSystemFolder)
{
    struct Case {
        std::string mode;
        std::string path;
        std::string reached;
    };
    const Case cases[] = {
        {"Win32", "C:\\Windows\\System32\\drv.dll", "C:\\Windows\\SysWOW64\\drv.dll"},
        {"Win32", "C:\\Windows\\Sysnative\\drv.dll", "C:\\Windows\\system32\\drv.dll"},
        {"Win32", "C:\\Windows\\System32\\drivers\\etc\\hosts", "C:\\Windows\\System32\\drivers\\etc\\hosts"},
        {"x64", "C:\\Windows\\System32\\drv.dll", "C:\\Windows\\System32\\drv.dll"},
        {"ia64", "C:\\Windows\\System32\\drv.dll", "C:\\Windows\\System32\\drv.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode + " " + c.path);
        ScriptRun run(
            {{"Set 64 Bit Mode",
              {c.mode == "Win32" ? "TRUE" : "", c.mode == "ia64" ? "TRUE" : "", c.mode == "x64" ? "TRUE" : ""}},
             {"Does File/Folder Exist", {"THERE", c.path, "TRUE"}},
             {"Get File Version", {c.path, "VERSION"}},
             write_line(c.path, "line")});
        run.host.files.add_file(c.reached, "old\r\n");
        run.host.machine.file_versions[c.reached] = {1, 2, 3, 4};
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("THERE"), "TRUE");
        EXPECT_EQ(run.var("VERSION"), "1.2.3.4");
        EXPECT_EQ(run.host.files.content(c.reached), "old\r\nline\r\n");
    }
}

TEST(CheckDiskSpace, GivesFreeOrTotalBytesAndZeroForABadPath)
{
    ScriptRun run({{"Check Disk Space", {"FREE", "C:\\T", "TRUE"}},
                   {"Check Disk Space", {"TOTAL", "C:\\T", "FALSE"}},
                   {"Check Disk Space", {"$BAD$", "Q:\\nowhere", "TRUE"}}});
    run.host.files.spaces["C:\\T"] = {5'000'000'000'123ull, 9'000'000'000'000ull};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("FREE"), "5000000000123");
    EXPECT_EQ(run.var("TOTAL"), "9000000000000");
    EXPECT_EQ(run.var("BAD"), "0");
}

TEST(FileVersions, VersionTextsReadAsFourNumbers)
{
    struct Case {
        std::string_view text;
        std::optional<FileVersion> version; // nothing: a runtime error
    };
    const Case cases[] = {
        {"5.1", FileVersion{5, 1, 0, 0}},
        {"1.2.3.4", FileVersion{1, 2, 3, 4}},
        {"1.2.3.4.5", FileVersion{1, 2, 3, 4}},
        {"", FileVersion{0, 0, 0, 0}},
        {"7.x", FileVersion{7, 0, 0, 0}},
        {"1.2.beta", FileVersion{1, 2, 0, 0}},
        {"65535.0", FileVersion{65535, 0, 0, 0}},
        {"a.1", std::nullopt},
        {"1..2", std::nullopt},
        {"65536.1", std::nullopt},
        {"-1.0", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Result<FileVersion> version = version_of_text(c.text);
        ASSERT_EQ(version.has_value(), c.version.has_value());
        if (c.version) {
            EXPECT_EQ(*version, *c.version);
        }
    }
}

TEST(CheckFileVersion, ComparesWithATextOrAnotherFile)
{
    struct Case {
        FileVersion file;
        std::string reference;
        std::string expected;
    };
    const Case cases[] = {
        {{1, 2, 0, 0}, "1.2", "FALSE"}, {{1, 2, 0, 1}, "1.2", "TRUE"}, {{1, 10, 0, 0}, "1.9.65535.65535", "TRUE"},
        {{0, 0, 0, 0}, "0", "FALSE"},   {{2, 0, 0, 0}, "10", "FALSE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reference);
        ScriptRun run({{"Check File Version", {"NEWER", "C:\\a.dll", "FALSE", "", c.reference}},
                       {"Check File Version", {"THAN_FILE", "C:\\a.dll", "TRUE", "C:\\b.dll", "9"}},
                       {"Check File Version", {"MISSING", "C:\\none.dll", "TRUE", "C:\\none2.dll", ""}}});
        run.host.machine.file_versions["C:\\a.dll"] = c.file;
        run.host.machine.file_versions["C:\\b.dll"] = *version_of_text(c.reference);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("NEWER"), c.expected);
        EXPECT_EQ(run.var("THAN_FILE"), c.expected);
        EXPECT_EQ(run.var("MISSING"), "FALSE");
    }
}

TEST(CheckFileVersion, AVersionPartThatIsNotANumberIsARuntimeError)
{
    ScriptRun run(
        {{"Check File Version", {"NEWER", "C:\\a.dll", "FALSE", "", "1.x.3"}}, {"Set Variable", {"AFTER", "ran"}}});
    EXPECT_FALSE(run.run());
    ASSERT_EQ(run.host.errors.size(), 1u);
    EXPECT_NE(run.host.errors[0].find("\"x\""), std::string::npos) << run.host.errors[0];
    EXPECT_EQ(run.var("AFTER"), "");
}

TEST(GetFileVersion, FilesWithoutAVersionAreZero)
{
    ScriptRun run({{"Get File Version", {"C:\\a.dll", "$A$"}}, {"Get File Version", {"C:\\none.txt", "B"}}});
    run.host.machine.file_versions["C:\\a.dll"] = {6, 1, 7601, 17514};
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("A"), "6.1.7601.17514");
    EXPECT_EQ(run.var("B"), "0.0.0.0");
}

// C:\T holds a.txt, b.log and a folder S with b.txt and a folder Deep with c.txt.
void add_tree(FakeFiles& files)
{
    files.add_file("C:\\T\\a.txt");
    files.add_file("C:\\T\\b.log");
    files.add_file("C:\\T\\S\\b.txt");
    files.add_file("C:\\T\\S\\Deep\\c.txt");
}

TEST(FindAllFiles, ListsFolderContentsBeforeTheFolderAndFilesLast)
{
    struct Case {
        std::string pattern;
        std::string recurse, folders;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\T\\*.txt", "TRUE", "TRUE", "C:\\T\\S\\Deep\\c.txt|C:\\T\\S\\Deep|C:\\T\\S\\b.txt|C:\\T\\S|C:\\T\\a.txt"},
        {"C:\\T\\*.txt", "TRUE", "FALSE", "C:\\T\\S\\Deep\\c.txt|C:\\T\\S\\b.txt|C:\\T\\a.txt"},
        {"C:\\T\\*.txt", "FALSE", "TRUE", "C:\\T\\S|C:\\T\\a.txt"},
        {"C:\\T\\*.*", "FALSE", "FALSE", "C:\\T\\a.txt|C:\\T\\b.log"},
        {"C:\\T\\*.none", "FALSE", "FALSE", ""},
        {"C:\\Missing\\*.*", "TRUE", "TRUE", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern + " " + c.recurse + " " + c.folders);
        ScriptRun run({{"Find All Files", {c.pattern, c.recurse, c.folders, "$FOUND$"}}});
        add_tree(run.host.files);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("FOUND"), c.expected);
        EXPECT_FALSE(run.executor->workers().busy());
    }
}

TEST(FindAllFiles, QuotesPathsWithBlanksQuotesAndBars)
{
    EXPECT_EQ(delimited_paths({"C:\\Program Files\\x.txt", "C:\\a\"b", "C:\\plain", "C:\\tab\there"}),
              "\"C:\\Program Files\\x.txt\"|\"C:\\a\"\"b\"|C:\\plain|\"C:\\tab\there\"");
    EXPECT_EQ(delimited_paths({}), "");
}

TEST(FindAllFiles, ReportsEachFolderAndFileAsProgress)
{
    ScriptRun first({{"Find All Files", {"C:\\T\\*.txt", "TRUE", "FALSE", "FOUND"}}});
    add_tree(first.host.files);
    ASSERT_TRUE(first.run());
    EXPECT_EQ(first.var("KYRT_thMax"), "100");
    EXPECT_EQ(first.var("KYRT_thProgressText"), "C:\\T\\a.txt") << "the last file found";
    // The folder counter lives for the process: three more folders move it three steps.
    std::int32_t before = *parse_int32(first.var("KYRT_thProgress"));
    ScriptRun second({{"Find All Files", {"C:\\T\\*.txt", "TRUE", "FALSE", "FOUND"}}});
    add_tree(second.host.files);
    ASSERT_TRUE(second.run());
    EXPECT_EQ(second.var("KYRT_thProgress"), std::to_string((before + 3) % 101));
}

TEST(FindAllFiles, ACancelStopsTheWalkAndAppliesTheCancelRules)
{
    for (std::string_view abort_on_error : {"FALSE", "TRUE"}) {
        SCOPED_TRACE(abort_on_error);
        ScriptRun run({{"Set Variable", {"ABORT", "TRUE"}},
                       {"Find All Files", {"C:\\T\\*.txt", "TRUE", "TRUE", "FOUND"}},
                       {"Set Variable", {"AFTER", "ran"}}},
                      {{"ABORTONERROR", std::string(abort_on_error)}, {"ABORTEDONERROR", "FALSE"}});
        add_tree(run.host.files);
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.error_boxes, std::vector<std::string>{"Setup cancelled"});
        if (abort_on_error == "TRUE") {
            EXPECT_EQ(run.var("AFTER"), "");
            EXPECT_FALSE(run.vars.Exists("FOUND"));
        } else {
            EXPECT_EQ(run.var("AFTER"), "ran");
            EXPECT_EQ(run.var("ABORTEDONERROR"), "TRUE");
            // The walk stopped at its first look, after the deepest folder's first file.
            EXPECT_EQ(run.var("FOUND"), "C:\\T\\S\\Deep\\c.txt");
        }
    }
}

TEST(DeleteFilesRecursive, RemovesEverythingBelowButNotTheFolder)
{
    ScriptRun run(std::vector<Cmd>{{"Delete Files Recursive", {"C:\\T\\*.*"}}});
    add_tree(run.host.files);
    run.host.files.add_file("C:\\T\\S\\ro.txt").read_only = true;
    run.host.files.add_file("C:\\Other\\keep.txt");
    ASSERT_TRUE(run.run());
    EXPECT_NE(run.host.files.node("C:\\T"), nullptr);
    FolderFinder find = run.host.files.folder_finder();
    EXPECT_TRUE(find("C:\\T\\*.*").empty());
    EXPECT_TRUE(run.host.files.file_exists("C:\\Other\\keep.txt"));
}

TEST(DeleteFilesRecursive, WhatCannotBeRemovedStaysAndTheCommandEnds)
{
    ScriptRun run({{"Delete Files Recursive", {"C:\\T\\*.*"}}, {"Set Variable", {"AFTER", "ran"}}});
    add_tree(run.host.files);
    run.host.files.add_file("C:\\T\\S\\Deep\\busy.dll").undeletable = true;
    ASSERT_TRUE(run.run());
    EXPECT_EQ(run.var("AFTER"), "ran");
    FolderFinder find = run.host.files.folder_finder();
    EXPECT_EQ(CollectFiles(find, FileView(PlatformView::native, {}), "C:\\T\\*.*", true, true),
              (std::vector<std::string>{"C:\\T\\S\\Deep\\busy.dll", "C:\\T\\S\\Deep", "C:\\T\\S"}));
}

} // namespace
} // namespace quillon::test
