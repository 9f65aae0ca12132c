#include "qvoc/compile.h"
#include "qvoc/guid.h"
#include "qvoc/project.h"
#include "script/ScriptImage.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon::qvoc {
namespace {

constexpr std::string_view setup_section = "[setup]\n"
                                           "title = T\n"
                                           "product-code = {11111111-2222-3333-4444-555555555555}\n";

Result<CompiledProject> compile_text(std::string_view text)
{
    auto project = parse_project(text, "p.qvp", "p.qvp");
    if (!project)
        return std::unexpected(project.error());
    return compile_project(*project);
}

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

TEST(ProjectErrors, NameTheFileAndLine)
{
    struct Case {
        std::string_view what;
        std::string text;
        std::string_view position; // "p.qvp:N:"
        std::string_view message;  // part of the message
    };
    std::string s(setup_section);
    const Case cases[] = {
        {"unknown section", s + "[scripts]\n", "p.qvp:4:", "unknown section [scripts]"},
        {"unknown key", s + "titel = X\n", "p.qvp:4:", "unknown key \"titel\""},
        {"key given twice", s + "title = again\n", "p.qvp:4:", "given twice (first on line 2)"},
        {"section twice", s + "[script]\n[script]\n", "p.qvp:5:", "appears twice"},
        {"text before any section", "title = X\n" + s, "p.qvp:1:", "expected a section"},
        {"no title", "# c\n[setup]\nproduct-code = {11111111-2222-3333-4444-555555555555}\n", "p.qvp:2:", "no title"},
        {"no product code", "[setup]\ntitle = T\n", "p.qvp:1:", "no product code"},
        {"malformed product code", "[setup]\ntitle = T\nproduct-code = {1111-2222}\n", "p.qvp:3:", "malformed GUID"},
        {"malformed command identifier", s + "[script]\nEnd\n@id = 11111111-2222-3333-4444-555555555555\n",
         "p.qvp:6:", "malformed GUID"},
        {"command without a name", s + "[script]\n=\n", "p.qvp:5:", "a command without a name"},
        {"parameter before any command", s + "[script]\n| x\n", "p.qvp:5:", "before the first command"},
        {"attribute outside the script", s + "@disabled\n", "p.qvp:4:", "belong to commands"},
        {"unknown attribute", s + "[script]\nEnd\n@colour = red\n", "p.qvp:6:", "unknown attribute @colour"},
        {"duplicate explicit identifier",
         s + "[script]\nEnd\n@id = {0B1E2D3C-4A5B-4C6D-8E7F-901234567890}\n"
             "End\n@id = {0b1e2d3c-4a5b-4c6d-8e7f-901234567890}\n",
         "p.qvp:8:", "already used by the command on line 5"},
        {"duplicate media header", s + "[script]\nEnd\n@header = 0000ABCD\nEnd\n@header = 0000abcd\n",
         "p.qvp:8:", "already used"},
        {"media header of the wrong form", s + "[script]\nEnd\n@header = 12345\n", "p.qvp:6:", "eight hexadecimal"},
        {"pair name without its value", s + "[constants]\n| NAME\n", "p.qvp:5:", "has no value line"},
        {"media file with one line", s + "[media-files]\nOFFLINE\n| a.txt\n[script]\n", "p.qvp:5:", "needs two lines"},
        {"version that is no version", s + "version = 1.x\n", "p.qvp:4:", "version must be"},
        {"media mode out of range", s + "media-mode = 4\n", "p.qvp:4:", "1, 2 or 3"},
        {"compression out of range", s + "compression = 10\n", "p.qvp:4:", "0 (stored) to 9"},
        {"compression that is no number", s + "compression = best\n", "p.qvp:4:", "0 (stored) to 9"},
        {"carriage return inside a line", s + "comments = a\rb\n", "p.qvp:4:", "carriage return"},
        {"parameter the engine would read as $", s + "[script]\nSet Variable\n| X\n| $dollar$\n",
         "p.qvp:7:", "read it back as \"$\""},
        {"list entry that is a single $", s + "[plugins]\n$\n", "p.qvp:5:", "single \"$\""},
        {"parameter equal to a later identifier",
         s + "[script]\nSet Variable\n| {0B1E2D3C-4A5B-4C6D-8E7F-901234567890}\nEnd\n"
             "@id = {0B1E2D3C-4A5B-4C6D-8E7F-901234567890}\n",
         "p.qvp:6:", "identifier of the command on line 7"},
        {"predefined component not first", s + "[components]\nA = 1\nKYRT-PREDEF-COMPONENT = 0\n",
         "p.qvp:6:", "must be the first component"},
        {"component size that is no number", s + "[components]\nA = big\n", "p.qvp:5:", "number of bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto compiled = compile_text(c.text);
        ASSERT_FALSE(compiled);
        EXPECT_EQ(compiled.error().code, ErrorCode::parse);
        EXPECT_EQ(compiled.error().message.rfind(c.position, 0), 0u) << compiled.error().message;
        EXPECT_NE(compiled.error().message.find(c.message), std::string::npos) << compiled.error().message;
    }
}

TEST(ProjectText, FieldLinesKeepEveryByte)
{
    const std::vector<std::string> values = {
        "",          " ",      "  two leading", "trailing  ", "a|b", "\"q\"",        "#x",        "$",
        "$NEWLINE$", "@a = b", "[s]",           "= e",        "\t",  "\x80\xA0\xFF", "x$DOLLAR$",
    };
    std::string text(setup_section);
    text += "[script]\nSet Variable\n";
    for (const std::string& value : values)
        text += value.empty() ? "|\n" : "| " + value + "\r\n"; // CR LF lines read the same
    auto compiled = compile_text(text);
    ASSERT_TRUE(compiled) << compiled.error().message;
    EXPECT_EQ(compiled->script.commands.at(0).parameters, values);
}

TEST(ProjectText, HeadsAreTrimmedUnlessWrittenVerbatim)
{
    std::string text(setup_section);
    text += "[script]\n"
            "   Set Variable   \n"
            "=  Spaced  \n"
            "= #hash\n"
            "\tEnd\n"
            "[plugins]\n"
            "  My Plugin \n";
    auto compiled = compile_text(text);
    ASSERT_TRUE(compiled) << compiled.error().message;
    const auto& commands = compiled->script.commands;
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0].name, "Set Variable");
    EXPECT_EQ(commands[1].name, " Spaced  ");
    EXPECT_EQ(commands[2].name, "#hash");
    EXPECT_EQ(commands[3].name, "End");
    EXPECT_EQ(compiled->script.plugin_commands, std::vector<std::string>{"My Plugin"});
}

TEST(ProjectCompile, FillsDefaultsAndNormalizesGuids)
{
    // Stray blanks around a value of fixed form are forgiven.
    auto compiled = compile_text("[setup]\ntitle = T\nproduct-code =  {aaaaaaaa-2222-3333-4444-555555555555} \t\n");
    ASSERT_TRUE(compiled) << compiled.error().message;
    const CompiledScript& script = compiled->script;
    // Windows Installer wants upper-case GUIDs.
    EXPECT_EQ(script.product_code, "{AAAAAAAA-2222-3333-4444-555555555555}");
    EXPECT_EQ(script.product_version, "1.0.0.0");
    EXPECT_TRUE(parse_guid(script.revision_code));
    EXPECT_EQ(script.revision_code, default_revision_code(*parse_guid(script.product_code), "1.0.0.0"));
    EXPECT_EQ(script.media_mode, 1);
    EXPECT_EQ(script.code_page, 1252);
    EXPECT_EQ(script.default_language, "English");
    ASSERT_EQ(script.component_sizes.size(), 1u);
    EXPECT_EQ(script.component_sizes[0].component, "KYRT-PREDEF-COMPONENT");
    EXPECT_EQ(compiled->build.output_name, "setup");
    EXPECT_EQ(compiled->build.platform, "x64");
}

TEST(ProjectCompile, SameProjectGivesSameBytesAndOtherProductOtherIdentifiers)
{
    std::string text = std::string(setup_section) + "[script]\nSet Variable\n| A\n| 1\nEnd\n";
    auto first = compile_text(text);
    auto second = compile_text(text);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(write_script_image(first->script).value(), write_script_image(second->script).value());

    const auto& commands = first->script.commands;
    EXPECT_NE(commands[0].identifier, commands[1].identifier);
    for (const CompiledCommand& command : commands) {
        auto guid = parse_guid(command.identifier);
        ASSERT_TRUE(guid) << command.identifier;
        EXPECT_EQ(format_guid(*guid), command.identifier); // braces, upper case
    }

    std::string other = text;
    other.replace(other.find("11111111"), 8, "22222222");
    auto third = compile_text(other);
    ASSERT_TRUE(third);
    EXPECT_NE(third->script.commands[0].identifier, commands[0].identifier);
}

TEST(ProjectCompile, GeneratedIdentifierStepsAsideForAnExplicitOne)
{
    GuidBytes product = *parse_guid("{11111111-2222-3333-4444-555555555555}");
    std::string generated_first = assign_identifiers(product, {std::nullopt}).at(0);
    // The second command claims what the first would have been given.
    std::string text = std::string(setup_section) + "[script]\nEnd\nEnd\n@id = " + generated_first + "\n";
    auto compiled = compile_text(text);
    ASSERT_TRUE(compiled) << compiled.error().message;
    const auto& commands = compiled->script.commands;
    EXPECT_EQ(commands[1].identifier, generated_first);
    EXPECT_NE(commands[0].identifier, generated_first);
    EXPECT_TRUE(write_script_image(compiled->script));
}

TEST(ProjectCompile, RecordedCommandsGetMediaHeaders)
{
    std::string text = std::string(setup_section) + "[script]\n"
                                                    "Install Files\n"
                                                    "Create Folder\n"
                                                    "@header =\n"
                                                    "Set Variable\n"
                                                    "Set Variable\n"
                                                    "@header = 0000beef\n"
                                                    "Write Registry\n";
    auto compiled = compile_text(text);
    ASSERT_TRUE(compiled) << compiled.error().message;
    const auto& commands = compiled->script.commands;
    auto is_header = [](const std::string& header) {
        return header.size() == 8 && header.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    };
    EXPECT_TRUE(is_header(commands[0].media_header)) << commands[0].media_header;
    EXPECT_EQ(commands[1].media_header, "");
    EXPECT_EQ(commands[2].media_header, "");
    EXPECT_EQ(commands[3].media_header, "0000beef");
    EXPECT_TRUE(is_header(commands[4].media_header));
    EXPECT_NE(commands[0].media_header, commands[4].media_header);

    // The engine finds each header by its command index.
    std::string bytes = write_script_image(compiled->script).value();
    auto image = parse_script_image(as_bytes(bytes));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->CommandHeader(0).value(), commands[0].media_header);
    EXPECT_EQ(image->CommandHeader(3).value(), "0000beef");
    EXPECT_FALSE(image->CommandHeader(2)); // no header outside the start-up scan is an error
}

TEST(ProjectCompile, SourcePositionsPointAtTheCommandLine)
{
    std::string text = std::string(setup_section) + "source-name = renamed.qvp\n"
                                                    "[script]\n"
                                                    "# comment\n"
                                                    "Set Variable\n"
                                                    "| A\n"
                                                    "\n"
                                                    "End\n"
                                                    "@line = 99\n"
                                                    "@file = other.qvp\n";
    auto compiled = compile_text(text);
    ASSERT_TRUE(compiled) << compiled.error().message;
    std::string bytes = write_script_image(compiled->script).value();
    auto image = parse_script_image(as_bytes(bytes));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->source_positions(), (std::vector<std::string>{"renamed.qvp*6", "other.qvp*99"}));
    EXPECT_EQ(image->SourceFile(0), "renamed");
    EXPECT_EQ(image->SourceLine(0), 7); // the engine reports 1-based lines
}

TEST(Guid, NameBasedGuidMatchesVersionFiveOfRfc4122)
{
    // uuid5(NAMESPACE_DNS, "python.org") as other implementations compute it.
    GuidBytes dns = *parse_guid("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}");
    EXPECT_EQ(format_guid(name_based_guid(dns, "python.org")), "{886313E1-3B8A-5372-9B90-0C9AEE199E5D}");
}

TEST(Guid, RejectsTextThatIsNotRegistryForm)
{
    for (std::string_view text :
         {"", "{}", "11111111-2222-3333-4444-555555555555", "{11111111-2222-3333-4444-55555555555G}",
          "{11111111_2222-3333-4444-555555555555}", "{11111111-2222-3333-4444-5555555555555}"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parse_guid(text));
    }
}

} // namespace
} // namespace quillon::qvoc
