#include "script/ScriptImage.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon::test {
namespace {

std::span<const std::byte> bytes_of(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// Each line followed by CR LF.
std::string crlf_lines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (std::string_view line : lines) {
        text.append(line);
        text.append("\r\n");
    }
    return text;
}

// The twenty-five items as raw lines, independent of the writer, so that
// tests can build layouts the writer never produces.
struct RawScript {
    std::vector<std::string> names;
    std::vector<std::string> identifiers;
    std::vector<std::string> parameters;
    std::vector<std::string> flags;
    std::string product_code = "{5D0E5D8C-1D2B-4B8A-9C1E-0123456789AB}";
    std::string title = "Demo";
    std::vector<std::string> plugins;
    std::string publisher = "ACME";
    std::string contact;
    std::string help_link;
    std::string update_link;
    std::string comments;
    std::string version = "1.0.0.0";
    std::vector<std::string> passwords;
    std::vector<std::string> media_folders;
    std::string media_mode = "1";
    std::vector<std::string> sizes;
    std::string revision_code = "{9A1B2C3D-0000-4000-8000-000000000001}";
    std::vector<std::string> media_files;
    std::string language_dialog = "FALSE";
    std::string default_language = "English";
    std::vector<std::string> headers;
    std::vector<std::string> constants;
    std::string code_page = "1252";
    std::vector<std::string> positions;

    // Commands with identifiers {ID-0}, {ID-1}, ... and empty per-command lines.
    void add_commands(std::initializer_list<std::string> command_names)
    {
        for (const std::string& name : command_names) {
            identifiers.push_back("{ID-" + std::to_string(names.size()) + "}");
            names.push_back(name);
            flags.emplace_back();
            media_folders.emplace_back();
            positions.push_back("project.qvp*" + std::to_string(positions.size()));
        }
    }

    std::string text() const
    {
        std::string out;
        auto line = [&](std::string_view value) {
            out.append(value);
            out.append("\r\n");
        };
        auto list = [&](const std::vector<std::string>& values) {
            for (const std::string& value : values)
                line(value);
            line("$");
        };
        list(names);
        list(identifiers);
        list(parameters);
        list(flags);
        line(product_code);
        line(title);
        list(plugins);
        line(publisher);
        line(contact);
        line(help_link);
        line(update_link);
        line(comments);
        line(version);
        list(passwords);
        list(media_folders);
        line(media_mode);
        list(sizes);
        line(revision_code);
        list(media_files);
        line(language_dialog);
        line(default_language);
        list(headers);
        list(constants);
        line(code_page);
        list(positions);
        return out;
    }
};

TScriptImage parse_or_fail(std::string_view text)
{
    auto image = parse_script_image(bytes_of(text));
    EXPECT_TRUE(image.has_value()) << image.error().message;
    return image ? std::move(*image) : TScriptImage{};
}

// The parameter, or "<error>" so that a failure shows up in the comparison.
std::string parameter(const TScriptImage& image, std::string_view identifier, std::size_t k)
{
    auto value = image.Parameter(identifier, k);
    return value ? *value : "<error: " + value.error().message + ">";
}

CompiledScript sample_script()
{
    CompiledScript script;
    CompiledCommand when;
    when.name = "If";
    when.identifier = "{AAAAAAAA-0000-4000-8000-000000000001}";
    when.media_header = "0A1B2C3D";
    when.project_file = "C:\\Projects\\Demo Setup.qvp";
    when.project_line = 3;
    when.parameters = {"VAR", "0", "$"};
    CompiledCommand assign;
    assign.name = "Set Variable";
    assign.identifier = "{BBBBBBBB-0000-4000-8000-000000000002}";
    assign.disabled = true;
    assign.media_folder = "OFFLINE\\";
    assign.project_file = "Demo.qvp";
    assign.project_line = 10;
    // The first block is already written, so a parameter equal to its identifier is harmless.
    assign.parameters = {"{aaaaaaaa-0000-4000-8000-000000000001}", "x$DOLLAR$y", ""};
    CompiledCommand end;
    end.name = "End";
    end.identifier = "{CCCCCCCC-0000-4000-8000-000000000003}";
    end.media_header = "FFFFFFFF";
    end.project_file = "/home/author/demo.v2.qvp";
    end.project_line = 11;
    script.commands = {when, assign, end};
    script.product_code = "{5D0E5D8C-1D2B-4B8A-9C1E-0123456789AB}";
    script.product_title = "Demo Product";
    script.plugin_commands = {"(Un)Install MSI Setup"};
    script.publisher = "ACME Ltd";
    script.contact = "Ann Author";
    script.help_link = "http://help.example";
    script.update_link = "http://update.example";
    script.comments = "A comment";
    script.product_version = "1.2.0.0";
    script.web_media_passwords = {{"Block1", "secret"}, {"offline", "fallback"}};
    script.media_mode = 2;
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 98967557}, {"Docs", 1234}};
    script.revision_code = "{9A1B2C3D-0000-4000-8000-000000000001}";
    script.media_files = {{"OFFLINE", "bin\\a.dll", "bin"}};
    script.language_dialog = true;
    script.default_language = "German";
    script.build_constants = {{"SINGLEINSTANCE", "TRUE"}, {"LOCMODE", "1"}};
    script.code_page = 1251;
    return script;
}

TEST(ScriptWriter, WritesTheExactBytes)
{
    CompiledScript script;
    CompiledCommand command;
    command.name = "Set Variable";
    command.identifier = "{ID-1}";
    command.media_folder = "OFFLINE\\";
    command.media_header = "0A1B2C3D";
    command.project_file = "C:\\p\\Demo.qvp";
    command.project_line = 7;
    command.parameters = {"NAME", "$"};
    script.commands = {command};
    script.product_code = "{PC}";
    script.product_title = "Demo";
    script.plugin_commands = {"(Un)Install MSI Setup"};
    script.publisher = "ACME";
    script.contact = "Ann";
    script.help_link = "http://h";
    script.update_link = "http://u";
    script.comments = "Hi";
    script.product_version = "1.2.0.0";
    script.web_media_passwords = {{"Block1", "Ab"}};
    script.media_mode = 2;
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 98967557}};
    script.revision_code = "{RC}";
    script.media_files = {{"OFFLINE", "a\\b.txt", "bin"}};
    script.language_dialog = true;
    script.default_language = "English";
    script.build_constants = {{"SINGLEINSTANCE", "TRUE"}};
    script.code_page = 1252;

    auto text = write_script_image(script);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    // "Ab" scrambles to "1505" (see the scrambled password tests).
    EXPECT_EQ(*text, crlf_lines({"Set Variable",
                                 "$",
                                 "{ID-1}",
                                 "$",
                                 "{ID-1}",
                                 "NAME",
                                 "$DOLLAR$",
                                 "$",
                                 "",
                                 "$",
                                 "{PC}",
                                 "Demo",
                                 "(Un)Install MSI Setup",
                                 "$",
                                 "ACME",
                                 "Ann",
                                 "http://h",
                                 "http://u",
                                 "Hi",
                                 "1.2.0.0",
                                 "Block1",
                                 "1505",
                                 "$",
                                 "OFFLINE\\",
                                 "$",
                                 "2",
                                 "KYRT-PREDEF-COMPONENT",
                                 "98967557",
                                 "$",
                                 "{RC}",
                                 "OFFLINE",
                                 "a\\b.txt",
                                 "bin",
                                 "$",
                                 "TRUE",
                                 "English",
                                 "0A1B2C3D",
                                 "0",
                                 "$",
                                 "SINGLEINSTANCE",
                                 "TRUE",
                                 "$",
                                 "1252",
                                 "C:\\p\\Demo.qvp*7",
                                 "$"}));
}

TEST(ScriptImage, RoundTripsEveryItem)
{
    CompiledScript script = sample_script();
    auto text = write_script_image(script);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    TScriptImage image = parse_or_fail(*text);

    ASSERT_EQ(image.CommandCount(), 3u);
    for (std::size_t i = 0; i < script.commands.size(); ++i) {
        const CompiledCommand& command = script.commands[i];
        SCOPED_TRACE(command.name);
        EXPECT_EQ(image.CommandName(i), command.name);
        EXPECT_EQ(image.CommandId(i), command.identifier);
        EXPECT_EQ(image.IsDisabled(i), command.disabled);
        EXPECT_EQ(image.CommandMediaFolder(i), command.media_folder);
        EXPECT_EQ(image.SourceLine(i), command.project_line + 1);
        EXPECT_EQ(image.command_index(command.identifier), i);
        for (std::size_t k = 0; k < command.parameters.size(); ++k)
            EXPECT_EQ(parameter(image, command.identifier, k + 1), command.parameters[k]) << "parameter " << k + 1;
        auto header = image.CommandHeader(i);
        if (command.media_header.empty())
            EXPECT_FALSE(header.has_value());
        else
            EXPECT_EQ(header.value_or("<error>"), command.media_header);
    }
    EXPECT_EQ(image.SourceFile(0), "Demo Setup");
    EXPECT_EQ(image.SourceFile(1), "Demo");
    EXPECT_EQ(image.SourceFile(2), "demo.v2");
    EXPECT_EQ(parameter(image, script.commands[0].identifier, 0), script.commands[0].identifier);
    EXPECT_EQ(parameter(image, script.commands[2].identifier, 1), "");

    EXPECT_EQ(image.product_code(), script.product_code);
    EXPECT_EQ(image.product_title(), script.product_title);
    EXPECT_EQ(image.plugin_commands(), script.plugin_commands);
    EXPECT_EQ(image.publisher(), script.publisher);
    EXPECT_EQ(image.contact(), script.contact);
    EXPECT_EQ(image.help_link(), script.help_link);
    EXPECT_EQ(image.update_link(), script.update_link);
    EXPECT_EQ(image.comments(), script.comments);
    EXPECT_EQ(image.product_version(), script.product_version);
    EXPECT_EQ(image.web_media_password("BLOCK1").value_or("<error>"), "secret");
    EXPECT_EQ(image.web_media_password("Block2").value_or("<error>"), "fallback");
    EXPECT_EQ(image.media_mode(), 2);
    EXPECT_EQ(image.component_sizes(), (std::vector<std::string>{"KYRT-PREDEF-COMPONENT", "98967557", "Docs", "1234"}));
    EXPECT_EQ(image.revision_code(), script.revision_code);
    EXPECT_EQ(image.media_files(), (std::vector<std::string>{"OFFLINE", "bin\\a.dll", "bin"}));
    EXPECT_TRUE(image.language_dialog());
    EXPECT_EQ(image.default_language(), "German");
    EXPECT_EQ(image.command_headers(), (std::vector<std::string>{"0A1B2C3D", "0", "FFFFFFFF", "2"}));
    EXPECT_EQ(image.BuildConstant("singleinstance"), "TRUE");
    EXPECT_EQ(image.BuildConstant("LOCMODE"), "1");
    EXPECT_EQ(image.build_constants(), (std::vector<std::string>{"SINGLEINSTANCE", "TRUE", "LOCMODE", "1"}));
    EXPECT_EQ(image.code_page(), 1251);
}

TEST(ScriptImage, ListSectionsMayBeEmpty)
{
    RawScript raw;
    TScriptImage image = parse_or_fail(raw.text());
    EXPECT_EQ(image.CommandCount(), 0u);
    EXPECT_TRUE(image.parameter_lines().empty());
    EXPECT_TRUE(image.plugin_commands().empty());
    EXPECT_TRUE(image.web_media_passwords().empty());
    EXPECT_EQ(image.web_media_password("any").value_or("<error>"), "");
    EXPECT_EQ(image.product_title(), "Demo");
    EXPECT_EQ(image.default_language(), "English");
    EXPECT_EQ(image.code_page(), 1252);
    EXPECT_EQ(image.BuildConstant("SINGLEINSTANCE"), std::nullopt);

    // The empty script of the writer is the same text.
    CompiledScript script;
    script.product_code = raw.product_code;
    script.product_title = raw.title;
    script.publisher = raw.publisher;
    script.product_version = raw.version;
    script.revision_code = raw.revision_code;
    script.default_language = raw.default_language;
    EXPECT_EQ(write_script_image(script).value_or("<error>"), raw.text());
}

TEST(ScriptImage, DollarEscapesReplaceOnlyWholeParameterLines)
{
    struct Case {
        std::string stored;
        std::string expected;
    };
    const Case cases[] = {
        {"$DOLLAR$", "$"},
        {"$dollar$", "$"},
        {"$WILD_DOLLAR$", "$"},
        {"$Wild_Dollar$", "$"},
        {"x$DOLLAR$", "x$DOLLAR$"},
        {"$DOLLAR$ ", "$DOLLAR$ "},
        {"$DOLLAR$$DOLLAR$", "$DOLLAR$$DOLLAR$"},
        {"$$", "$$"},
        {"$NEWLINE$", "$NEWLINE$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        RawScript raw;
        raw.add_commands({"Set Variable"});
        raw.parameters = {"{ID-0}", c.stored};
        // The escapes belong to the parameter section alone.
        raw.title = c.stored;
        raw.plugins = {c.stored};
        TScriptImage image = parse_or_fail(raw.text());
        EXPECT_EQ(parameter(image, "{ID-0}", 1), c.expected);
        EXPECT_EQ(image.product_title(), c.stored);
        EXPECT_EQ(image.plugin_commands().at(0), c.stored);
    }
}

TEST(ScriptImage, ParametersAreFoundByIdentifierWhateverTheBlockOrder)
{
    RawScript raw;
    raw.add_commands({"Set Variable", "Set Variable", "End", "Set Variable"});
    // Blocks in reverse order; the first block is headed by the lower-case form of {ID-1}'s identifier.
    raw.identifiers[1] = "{ABCDEF01-AAAA-BBBB-CCCC-DDDDDDDDDDDD}";
    // Case folding covers the ANSI letters too: 0xC9 and 0xE9 are E acute in upper and lower case.
    raw.identifiers[3] = "\xC9TAPE";
    raw.parameters = {
        "{abcdef01-aaaa-bbbb-cccc-dddddddddddd}", "SECOND", "2", "{ID-0}", "FIRST", "1", "\xE9tape", "THIRD"};
    TScriptImage image = parse_or_fail(raw.text());

    struct Case {
        std::string identifier;
        std::size_t k;
        std::string expected;
    };
    const Case cases[] = {
        {"{ID-0}", 1, "FIRST"},
        {"{ID-0}", 2, "1"},
        {"{id-0}", 1, "FIRST"},
        {"\xC9TAPE", 1, "THIRD"},
        {"{ABCDEF01-AAAA-BBBB-CCCC-DDDDDDDDDDDD}", 1, "SECOND"},
        // k = 0 is the block's own line, as stored.
        {"{ABCDEF01-AAAA-BBBB-CCCC-DDDDDDDDDDDD}", 0, "{abcdef01-aaaa-bbbb-cccc-dddddddddddd}"},
        // Beyond its block a command reads the block that follows.
        {"{ABCDEF01-AAAA-BBBB-CCCC-DDDDDDDDDDDD}", 3, "{ID-0}"},
        {"{ABCDEF01-AAAA-BBBB-CCCC-DDDDDDDDDDDD}", 4, "FIRST"},
        // A command without a block reads empty parameters.
        {"{ID-2}", 0, ""},
        {"{ID-2}", 1, ""},
        {"{ID-2}", 1000, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identifier + " " + std::to_string(c.k));
        EXPECT_EQ(parameter(image, c.identifier, c.k), c.expected);
    }

    for (std::size_t k : {std::size_t{5}, std::size_t{6}, SIZE_MAX}) {
        SCOPED_TRACE(k);
        auto past_end = image.Parameter("{ID-0}", k);
        ASSERT_FALSE(past_end.has_value());
        EXPECT_EQ(past_end.error().code, ErrorCode::out_of_range);
    }
}

TEST(ScriptImage, LinesEndOnlyAtCrLf)
{
    RawScript raw;
    raw.add_commands({"Comment"});
    raw.title = "one\rtwo\nthree\r";
    raw.parameters = {"{ID-0}", "a\nb", "\r"};
    std::string text = raw.text();
    TScriptImage image = parse_or_fail(text);
    EXPECT_EQ(image.product_title(), "one\rtwo\nthree\r");
    EXPECT_EQ(parameter(image, "{ID-0}", 1), "a\nb");
    EXPECT_EQ(parameter(image, "{ID-0}", 2), "\r");

    // The last line may lack its CR LF.
    TScriptImage without_final_break = parse_or_fail(text.substr(0, text.size() - 2));
    EXPECT_EQ(without_final_break.source_positions(), raw.positions);

    // Bytes behind the last section are never read, whatever they hold.
    TScriptImage with_trailer = parse_or_fail(text + "$\r\ngarbage\r\n\x01\x02");
    EXPECT_EQ(with_trailer.source_positions(), raw.positions);
    EXPECT_EQ(with_trailer.CommandCount(), 1u);
}

TEST(ScriptImage, DataThatEndsEarlyFailsNamingTheItem)
{
    auto text = write_script_image(sample_script());
    ASSERT_TRUE(text.has_value()) << text.error().message;
    // Every proper prefix fails cleanly, except the one that lacks only the final CR LF.
    for (std::size_t length = 0; length < text->size(); ++length) {
        SCOPED_TRACE(length);
        auto image = parse_script_image(bytes_of(std::string_view(*text).substr(0, length)));
        if (length == text->size() - 2) {
            EXPECT_TRUE(image.has_value());
            continue;
        }
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error().code, ErrorCode::corrupt);
        EXPECT_NE(image.error().message.find("ends inside item"), std::string::npos) << image.error().message;
    }

    RawScript raw;
    std::string full = raw.text();
    struct Case {
        std::size_t lines_kept;
        std::string message_part;
    };
    const Case cases[] = {
        {0, "item 1 (command names)"}, {4, "item 5 (product code)"},       {6, "item 7 (plug-in commands)"},
        {23, "item 24 (code page)"},   {24, "item 25 (source positions)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message_part);
        std::size_t cut = 0;
        for (std::size_t line = 0; line < c.lines_kept; ++line)
            cut = full.find("\r\n", cut) + 2;
        auto image = parse_script_image(bytes_of(std::string_view(full).substr(0, cut)));
        ASSERT_FALSE(image.has_value());
        EXPECT_NE(image.error().message.find(c.message_part), std::string::npos) << image.error().message;
    }
}

TEST(ScriptImage, ListsOfTheWrongLengthAreCorrupt)
{
    struct Case {
        std::string name;
        void (*damage)(RawScript&);
        std::string message_part;
    };
    const Case cases[] = {
        {"identifier missing", [](RawScript& raw) { raw.identifiers.pop_back(); }, "item 2 "},
        {"extra disable flag", [](RawScript& raw) { raw.flags.push_back("C"); }, "item 4 "},
        {"media folder missing", [](RawScript& raw) { raw.media_folders.pop_back(); }, "item 15 "},
        {"source position missing", [](RawScript& raw) { raw.positions.clear(); }, "item 25 "},
        {"password without its block", [](RawScript& raw) { raw.passwords = {"Block1"}; }, "item 14 "},
        {"size without its component", [](RawScript& raw) { raw.sizes = {"KYRT-PREDEF-COMPONENT"}; }, "item 17 "},
        {"media file of two lines", [](RawScript& raw) { raw.media_files = {"OFFLINE", "a.txt"}; }, "item 19 "},
        {"header without its index", [](RawScript& raw) { raw.headers = {"0A1B2C3D"}; }, "item 22 "},
        {"constant without value", [](RawScript& raw) { raw.constants = {"A", "1", "B"}; }, "item 23 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawScript raw;
        raw.add_commands({"If", "End"});
        c.damage(raw);
        auto image = parse_script_image(bytes_of(raw.text()));
        ASSERT_FALSE(image.has_value());
        EXPECT_EQ(image.error().code, ErrorCode::corrupt);
        EXPECT_NE(image.error().message.find(c.message_part), std::string::npos) << image.error().message;
    }
}

TEST(ScriptImage, MediaModeAndCodePageAreLeadingDecimalNumbers)
{
    struct Case {
        std::string text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"2", 2},
        {"3 and more", 3},
        {"1252abc", 1252},
        {"-1", -1},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"", std::nullopt},
        {"x1", std::nullopt},
        {" 1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        for (int item : {16, 24}) {
            SCOPED_TRACE(item);
            RawScript raw;
            (item == 16 ? raw.media_mode : raw.code_page) = c.text;
            auto image = parse_script_image(bytes_of(raw.text()));
            if (!c.expected) {
                ASSERT_FALSE(image.has_value());
                EXPECT_EQ(image.error().code, ErrorCode::parse);
                EXPECT_NE(image.error().message.find("item " + std::to_string(item)), std::string::npos);
                continue;
            }
            ASSERT_TRUE(image.has_value()) << image.error().message;
            EXPECT_EQ(item == 16 ? image->media_mode() : image->code_page(), *c.expected);
        }
    }
}

TEST(ScriptImage, FlagsCompareExactly)
{
    struct Case {
        std::string text;
        bool expected;
    };
    const Case disable_cases[] = {{"C", true}, {"c", false}, {"CC", false}, {"", false}, {" C", false}};
    for (const Case& c : disable_cases) {
        SCOPED_TRACE("disable flag " + c.text);
        RawScript raw;
        raw.add_commands({"If"});
        raw.flags[0] = c.text;
        EXPECT_EQ(parse_or_fail(raw.text()).IsDisabled(0), c.expected);
    }
    const Case language_cases[] = {{"TRUE", true}, {"true", false}, {"TRUE ", false}, {"-1", false}, {"", false}};
    for (const Case& c : language_cases) {
        SCOPED_TRACE("language dialog " + c.text);
        RawScript raw;
        raw.language_dialog = c.text;
        EXPECT_EQ(parse_or_fail(raw.text()).language_dialog(), c.expected);
    }
}

TEST(ScriptImage, SourcePositionsGiveBaseNameAndOneBasedLine)
{
    struct Case {
        std::string stored;
        std::string file;
        std::int64_t line;
    };
    const Case cases[] = {
        {"C:\\Projects\\My Setup.qvp*4", "My Setup", 5},
        {"/home/u/proj.v2.qvp*0", "proj.v2", 1},
        {"relative\\dir/mixed.qvp*9", "mixed", 10},
        {"C:file.qvp*2", "file", 3},
        {"noextension*3", "noextension", 4},
        {"name.qvp*abc", "name", 1},
        {"name.qvp*", "name", 1},
        {"a.qvp*b*3", "a", 1},
        {"*7", "", 8},
        {"no star at all", "", 1},
        {"", "", 1},
        {"big.qvp*2147483647", "big", 2147483648},
        {"neg.qvp*-1", "neg", 0},
    };
    RawScript raw;
    for (const Case& c : cases) {
        raw.add_commands({"Comment"});
        raw.positions.back() = c.stored;
    }
    TScriptImage image = parse_or_fail(raw.text());
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].stored);
        EXPECT_EQ(image.SourceFile(i), cases[i].file);
        EXPECT_EQ(image.SourceLine(i), cases[i].line);
    }
}

TEST(ScriptImage, CommandHeaderIsTheLineBeforeTheCommandIndex)
{
    RawScript raw;
    raw.add_commands({"Install Files", "Write Registry", "If", "Create Folder", "Comment", "End"});
    // Command 0's header "4" is also command 4's index, but as the first line
    // it has no line before it, so command 4 has no header.
    raw.headers = {"4", "0", "0000000A", "1", "0000000C", "3", "0000000D", "3"};
    // Command 3 has two pairs: the first one counts.
    TScriptImage image = parse_or_fail(raw.text());

    struct Case {
        std::size_t index;
        std::optional<std::string> expected; // empty: no header
    };
    const Case cases[] = {
        {0, "4"}, {1, "0000000A"}, {2, std::nullopt}, {3, "0000000C"}, {4, std::nullopt}, {5, std::nullopt},
    };
    for (bool scan : {false, true}) {
        image.set_startup_scan(scan);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.index) + (scan ? " during the scan" : ""));
            auto header = image.CommandHeader(c.index);
            if (c.expected) {
                EXPECT_EQ(header.value_or("<error>"), *c.expected);
            } else if (scan) {
                EXPECT_EQ(header.value_or("<error>"), "");
            } else {
                ASSERT_FALSE(header.has_value());
                EXPECT_EQ(header.error().message, "Unable to obtain command headers. Please rebuild your project.");
            }
        }
    }
}

TEST(ScriptImage, BuildConstantsMatchNamesOnly)
{
    RawScript raw;
    // The value of A is the text "B"; only the name B may match.
    raw.constants = {"A", "B", "B", "second", "singleInstance", "TRUE", "A", "shadowed"};
    TScriptImage image = parse_or_fail(raw.text());
    EXPECT_EQ(image.BuildConstant("a"), "B");
    EXPECT_EQ(image.BuildConstant("B"), "second");
    EXPECT_EQ(image.BuildConstant("SINGLEINSTANCE"), "TRUE");
    EXPECT_EQ(image.BuildConstant("second"), std::nullopt);
    EXPECT_EQ(image.BuildConstant("LOCMODE"), std::nullopt);
}

TEST(ScriptImage, WebMediaPasswordFallsBackToOffline)
{
    struct Case {
        std::vector<std::string> clear_pairs; // block name, clear password
        std::string block;
        std::string expected;
    };
    const Case cases[] = {
        {{"Block1", "one", "offline", "off"}, "block1", "one"},
        {{"Block1", "one", "offline", "off"}, "Block2", "off"},
        {{"Block1", "one", "OFFLINE", "off"}, "Block2", "off"},
        {{"Block1", "one"}, "Block2", ""},
        {{}, "Block1", ""},
        // A password that equals a block name is not taken for one.
        {{"Block1", "Block2", "Block2", "two"}, "Block2", "two"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.block);
        RawScript raw;
        for (std::size_t i = 0; i < c.clear_pairs.size(); i += 2) {
            raw.passwords.push_back(c.clear_pairs[i]);
            raw.passwords.push_back(scramble_password(c.clear_pairs[i + 1]));
        }
        TScriptImage image = parse_or_fail(raw.text());
        EXPECT_EQ(image.web_media_password(c.block).value_or("<error>"), c.expected);
    }

    RawScript damaged;
    damaged.passwords = {"Block1", "150"};
    auto password = parse_or_fail(damaged.text()).web_media_password("Block1");
    ASSERT_FALSE(password.has_value());
    EXPECT_EQ(password.error().code, ErrorCode::corrupt);
}

TEST(ScrambledPassword, MatchesHandComputedForms)
{
    // "Ab" is 0x41 0x62: hex pairs with the low digit first give "14" "26";
    // XOR with positions 0..3: '1'^0 = '1', '4'^1 = '5', '2'^2 = '0', '6'^3 = '5'.
    // 0xAF gives "FA"; 'F'^0 = 'F', 'A'^1 = '@'.
    struct Case {
        std::string clear;
        std::string scrambled;
    };
    const Case cases[] = {{"", ""}, {"Ab", "1505"}, {"\xAF", "F@"}, {std::string(1, '\0'), "01"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scrambled);
        EXPECT_EQ(scramble_password(c.clear), c.scrambled);
        EXPECT_EQ(unscramble_password(c.scrambled).value_or("<error>"), c.clear);
    }
    // Lower-case digits read the same: 'f'^0 = 'f', '@'^1 = 'A'.
    EXPECT_EQ(unscramble_password("f@").value_or("<error>"), "\xAF");
}

TEST(ScrambledPassword, RoundTripsEveryByteAcrossThePositionWrap)
{
    std::string clear;
    for (int round = 0; round < 3; ++round)
        for (int byte = 0; byte < 256; ++byte)
            clear.push_back(static_cast<char>(byte));
    std::string scrambled = scramble_password(clear);
    EXPECT_EQ(scrambled.size(), clear.size() * 2);
    EXPECT_EQ(unscramble_password(scrambled).value_or("<error>"), clear);

    // At position 75 an upper-case 'A' would scramble to LF (0x41 ^ 0x4B); the
    // writer uses 'a' there. Byte 37 holds that high digit.
    std::string password(38, 'x');
    password[37] = '\xA0';
    std::string avoided = scramble_password(password);
    EXPECT_NE(avoided[75], '\n');
    EXPECT_EQ(avoided[75], static_cast<char>('a' ^ 75));
    EXPECT_EQ(unscramble_password(avoided).value_or("<error>"), password);
}

TEST(ScrambledPassword, DamagedFormsAreCorrupt)
{
    // After the XOR: odd length, 'G', 'I' ('H' ^ 1), ' '.
    for (std::string_view scrambled : {"150", "G0", "1H", " 1"}) {
        SCOPED_TRACE(scrambled);
        auto clear = unscramble_password(scrambled);
        ASSERT_FALSE(clear.has_value());
        EXPECT_EQ(clear.error().code, ErrorCode::corrupt);
    }
}

TEST(ScriptWriter, RefusesValuesThatWouldReadBackDifferently)
{
    struct Case {
        std::string name;
        void (*change)(CompiledScript&);
        ErrorCode code;
    };
    const Case cases[] = {
        {"LF in a parameter", [](CompiledScript& s) { s.commands[0].parameters[0] = "a\nb"; }, ErrorCode::parse},
        {"CR in the title", [](CompiledScript& s) { s.product_title = "a\rb"; }, ErrorCode::parse},
        {"CR in a build constant", [](CompiledScript& s) { s.build_constants[0].value = "\r"; }, ErrorCode::parse},
        {"empty identifier", [](CompiledScript& s) { s.commands[2].identifier.clear(); }, ErrorCode::parse},
        {"identifier used twice, other case",
         [](CompiledScript& s) { s.commands[2].identifier = "{aaaaaaaa-0000-4000-8000-000000000001}"; },
         ErrorCode::parse},
        {"negative project line", [](CompiledScript& s) { s.commands[1].project_line = -1; }, ErrorCode::parse},
        {"parameter that is itself $DOLLAR$", [](CompiledScript& s) { s.commands[0].parameters[1] = "$Dollar$"; },
         ErrorCode::unsupported},
        {"parameter that is itself $WILD_DOLLAR$",
         [](CompiledScript& s) { s.commands[0].parameters[1] = "$WILD_DOLLAR$"; }, ErrorCode::unsupported},
        {"parameter equal to a later block's identifier",
         [](CompiledScript& s) { s.commands[0].parameters[1] = "{bbbbbbbb-0000-4000-8000-000000000002}"; },
         ErrorCode::unsupported},
        {"parameter equal to the identifier of a command without block",
         [](CompiledScript& s) { s.commands[1].parameters[1] = "{CCCCCCCC-0000-4000-8000-000000000003}"; },
         ErrorCode::unsupported},
        {"command name $", [](CompiledScript& s) { s.commands[1].name = "$"; }, ErrorCode::unsupported},
        {"media folder $", [](CompiledScript& s) { s.commands[1].media_folder = "$"; }, ErrorCode::unsupported},
        {"plug-in command $", [](CompiledScript& s) { s.plugin_commands = {"$"}; }, ErrorCode::unsupported},
        {"media header that reads as a command index", [](CompiledScript& s) { s.commands[0].media_header = "2"; },
         ErrorCode::unsupported},
        {"project file with a star", [](CompiledScript& s) { s.commands[0].project_file = "a*b.qvp"; },
         ErrorCode::unsupported},
        // Byte 30 = 'q' (0x71): '1' ^ 60 is CR and '7' ^ 61 is LF.
        {"password whose scrambled form holds CR LF",
         [](CompiledScript& s) { s.web_media_passwords[0].password = std::string(30, 'x') + "q"; },
         ErrorCode::unsupported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CompiledScript script = sample_script();
        c.change(script);
        auto text = write_script_image(script);
        ASSERT_FALSE(text.has_value());
        EXPECT_EQ(text.error().code, c.code) << text.error().message;
    }

    // The neighbours of those refusals are accepted and read back as written.
    CompiledScript script = sample_script();
    script.commands[0].parameters[1] = "$DOLLAR$x";
    script.commands[0].media_header = "02";
    script.web_media_passwords[0].password = std::string(30, 'x') + "r";
    auto text = write_script_image(script);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    TScriptImage image = parse_or_fail(*text);
    EXPECT_EQ(parameter(image, script.commands[0].identifier, 2), "$DOLLAR$x");
    EXPECT_EQ(image.CommandHeader(0).value_or("<error>"), "02");
    EXPECT_EQ(image.web_media_password("Block1").value_or("<error>"), std::string(30, 'x') + "r");
}

TEST(ScriptImage, LargeScriptsResolveEveryCommand)
{
    CompiledScript script;
    constexpr std::size_t count = 5000;
    for (std::size_t i = 0; i < count; ++i) {
        CompiledCommand command;
        command.name = i % 7 == 0 ? "End" : "Set Variable";
        char identifier[32];
        std::snprintf(identifier, sizeof identifier, "{%zu-CMD}", 100000 + i);
        command.identifier = identifier;
        command.project_file = "big.qvp";
        command.project_line = static_cast<std::int32_t>(i);
        if (command.name != "End")
            command.parameters = {"VAR" + std::to_string(i), "TRUE", "value " + std::to_string(i)};
        char header[9];
        std::snprintf(header, sizeof header, "%08zX", 0xA0000000 + i);
        command.media_header = header;
        script.commands.push_back(std::move(command));
    }
    auto text = write_script_image(script);
    ASSERT_TRUE(text.has_value()) << text.error().message;
    TScriptImage image = parse_or_fail(*text);
    ASSERT_EQ(image.CommandCount(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const CompiledCommand& command = script.commands[i];
        std::string lower_id = command.identifier;
        for (char& c : lower_id)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ASSERT_EQ(image.command_index(lower_id), i);
        ASSERT_EQ(image.CommandHeader(i).value_or("<error>"), command.media_header);
        ASSERT_EQ(image.SourceLine(i), static_cast<std::int64_t>(i) + 1);
        if (command.parameters.empty())
            ASSERT_EQ(parameter(image, command.identifier, 1), "") << i;
        else
            ASSERT_EQ(parameter(image, lower_id, 3), command.parameters[2]) << i;
    }
}

} // namespace
} // namespace quillon::test
