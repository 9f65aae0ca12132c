#include "qvoc/dump.h"

#include "base/strings.h"
#include "qvoc/compile.h"
#include "qvoc/guid.h"
#include "qvoc/project.h"
#include "qvoc/qvoc_texts.h"
#include "script/ScriptImage.h"
#include "script/line_index.h"
#include "script/pe_image.h"
#include "script/script_texts.h"
#include "script/script_writer.h"

#include <algorithm>
#include <fstream>
#include <map>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

// Blank lines the dump inserts to keep a command on the line the script
// records for it; a longer gap is written as an @line attribute instead.
constexpr std::size_t max_padding = 40;

constexpr const char* indent_unit = "    ";

struct DumpCommand {
    std::string name;
    std::string identifier;
    bool disabled = false;
    std::string media_folder;
    std::string header;
    std::string file;
    std::optional<std::int32_t> line;
    std::vector<std::string> parameters;
    bool explicit_identifier = false;
    bool explicit_header = false;
};

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

bool starts_with_marker(std::string_view text)
{
    return !text.empty() && std::string_view("#[|@=").find(text.front()) != std::string_view::npos;
}

bool has_outer_blanks(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

// A head line: the name as it is when the parser's trimming keeps it,
// otherwise the verbatim "= text" form.
std::string head_line(std::string_view text)
{
    if (!text.empty() && !has_outer_blanks(text) && !starts_with_marker(text))
        return std::string(text);
    return text.empty() ? std::string("=") : "= " + std::string(text);
}

std::string field_line(std::string_view text)
{
    return text.empty() ? std::string("|") : "| " + std::string(text);
}

std::string setting_line(std::string_view key, std::string_view value)
{
    return value.empty() ? std::string(key) + " =" : std::string(key) + " = " + std::string(value);
}

void add_pair(std::vector<std::string>& lines, std::string_view name, std::string_view value)
{
    bool fits_entry = !name.empty() && name.find('=') == std::string_view::npos && !has_outer_blanks(name) &&
                      !starts_with_marker(name);
    if (fits_entry) {
        lines.push_back(setting_line(name, value));
        return;
    }
    lines.push_back(field_line(name));
    lines.push_back(field_line(value));
}

class Dumper {
public:
    Dumper(std::string_view script_bytes, const DumpOptions& options) : m_bytes(script_bytes), m_options(options) {}

    Result<DumpResult> dump()
    {
        m_image = TRY(parse_script_image(as_bytes(m_bytes)));
        read_commands();
        choose_explicit_values();

        std::vector<std::string> preamble = preamble_lines();
        std::vector<std::string> lines;
        bool script_first = !m_commands.empty() && m_commands.front().line &&
                            static_cast<std::size_t>(*m_commands.front().line) < preamble.size() + 1;
        if (!script_first)
            lines = preamble;
        script_lines(lines);
        if (script_first) {
            lines.emplace_back();
            lines.insert(lines.end(), preamble.begin(), preamble.end());
        }

        while (!lines.empty() && lines.back().empty())
            lines.pop_back();
        DumpResult result;
        for (const std::string& line : lines)
            result.project += line + "\n";
        if (!m_inexact.empty())
            result.inexact_reason = m_inexact;
        else
            result.inexact_reason = verify(result.project);
        if (!result.inexact_reason.empty() && !m_options.allow_inexact)
            return make_error(ErrorCode::unsupported,
                              "The script cannot be written as a project that builds the same bytes: " +
                                  result.inexact_reason);
        return result;
    }

private:
    void inexact(std::string reason)
    {
        if (m_inexact.empty())
            m_inexact = std::move(reason);
    }

    void read_commands()
    {
        const auto& names = m_image.command_names();
        const auto& identifiers = m_image.command_ids();
        m_image.set_startup_scan(true);
        for (std::size_t index = 0; index < names.size(); ++index) {
            DumpCommand command;
            command.name = names[index];
            command.identifier = identifiers[index];
            const std::string& flag = m_image.disable_flags()[index];
            command.disabled = flag == script_texts::disabled_flag;
            if (!flag.empty() && !command.disabled)
                inexact("command " + std::to_string(index) + " has the disable flag \"" + flag + "\"");
            command.media_folder = m_image.command_media_folders()[index];
            command.header = m_image.CommandHeader(index).value_or("");
            read_position(index, command);
            m_commands.push_back(std::move(command));
        }
        read_parameters();
    }

    void read_position(std::size_t index, DumpCommand& command)
    {
        const std::string& position = m_image.source_positions()[index];
        std::size_t star = position.find(script_texts::source_position_separator);
        if (star == std::string::npos) {
            inexact("the source position of command " + std::to_string(index) + " has no \"*\"");
            command.file = position;
            return;
        }
        command.file = position.substr(0, star);
        std::string number = position.substr(star + 1);
        auto line = parse_int32(number);
        if (!line || *line < 0 || std::to_string(*line) != number) {
            inexact("the source position of command " + std::to_string(index) + " has no plain line number");
            return;
        }
        command.line = *line;
    }

    // A block starts at the first line that equals a command's identifier
    // and runs to the next such start.
    void read_parameters()
    {
        const auto& lines = m_image.parameter_lines();
        IndexedLines index(lines);
        std::vector<std::pair<std::size_t, std::size_t>> starts; // (line, command)
        for (std::size_t command = 0; command < m_commands.size(); ++command)
            if (auto first = index.find(m_commands[command].identifier))
                starts.emplace_back(*first, command);
        std::sort(starts.begin(), starts.end());
        if (!starts.empty() && starts.front().first != 0)
            inexact("the parameter list starts with lines that belong to no command");
        for (std::size_t i = 0; i < starts.size(); ++i) {
            std::size_t begin = starts[i].first + 1;
            std::size_t end = i + 1 < starts.size() ? starts[i + 1].first : lines.size();
            m_commands[starts[i].second].parameters.assign(lines.begin() + static_cast<std::ptrdiff_t>(begin),
                                                           lines.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }

    // Explicit only where the compiler would generate something else. A
    // value that is none of the candidates for its own command is explicit
    // from the start; making one explicit can move the generated values
    // after it, hence the loop until nothing changes.
    void choose_explicit_values()
    {
        auto product = parse_guid(m_image.product_code());
        if (!product) {
            inexact("the product code is not a GUID");
            for (DumpCommand& command : m_commands)
                command.explicit_identifier = command.explicit_header = true;
            return;
        }
        std::vector<std::string> names;
        for (std::size_t index = 0; index < m_commands.size(); ++index) {
            DumpCommand& command = m_commands[index];
            names.push_back(command.name);
            command.explicit_identifier = !is_candidate(command.identifier, [&](std::size_t attempt) {
                return identifier_candidate(*product, index, attempt);
            });
            if (is_recorded_command(command.name))
                command.explicit_header = !is_candidate(
                    command.header, [&](std::size_t attempt) { return header_candidate(*product, index, attempt); });
            else
                command.explicit_header = !command.header.empty();
        }
        for (bool changed = true; changed;) {
            changed = false;
            std::vector<std::optional<std::string>> identifiers;
            std::vector<std::optional<std::string>> headers;
            for (const DumpCommand& command : m_commands) {
                identifiers.push_back(command.explicit_identifier ? std::optional(command.identifier) : std::nullopt);
                headers.push_back(command.explicit_header ? std::optional(command.header) : std::nullopt);
            }
            std::vector<std::string> generated_identifiers = assign_identifiers(*product, identifiers);
            std::vector<std::string> generated_headers = assign_headers(*product, names, headers);
            for (std::size_t index = 0; index < m_commands.size(); ++index) {
                DumpCommand& command = m_commands[index];
                if (!command.explicit_identifier && generated_identifiers[index] != command.identifier)
                    command.explicit_identifier = changed = true;
                if (!command.explicit_header && generated_headers[index] != command.header)
                    command.explicit_header = changed = true;
            }
        }
    }

    // Generation moves past taken values; a handful of attempts covers
    // every collision a real project has.
    template <typename Candidate>
    static bool is_candidate(const std::string& value, Candidate candidate)
    {
        constexpr std::size_t attempts = 16;
        for (std::size_t attempt = 0; attempt < attempts; ++attempt)
            if (candidate(attempt) == value)
                return true;
        return false;
    }

    std::string source_name() const
    {
        std::map<std::string, std::size_t> counts;
        std::string best;
        std::size_t best_count = 0;
        for (const DumpCommand& command : m_commands) {
            std::size_t count = ++counts[command.file];
            if (count > best_count) {
                best = command.file;
                best_count = count;
            }
        }
        return best;
    }

    std::vector<std::string> preamble_lines()
    {
        std::vector<std::string> lines;
        // Values the compiler would fill in by itself are left out, except the
        // few that a reader wants to see.
        lines.push_back("[" + std::string(texts::section_setup) + "]");
        auto optional = [&](std::string_view key, const std::string& value, std::string_view fallback) {
            if (value != fallback)
                lines.push_back(setting_line(key, value));
        };
        lines.push_back(setting_line(texts::key_title, m_image.product_title()));
        optional(texts::key_publisher, m_image.publisher(), "");
        optional(texts::key_contact, m_image.contact(), "");
        optional(texts::key_help_link, m_image.help_link(), "");
        optional(texts::key_update_link, m_image.update_link(), "");
        optional(texts::key_comments, m_image.comments(), "");
        lines.push_back(setting_line(texts::key_version, m_image.product_version()));
        lines.push_back(setting_line(texts::key_product_code, m_image.product_code()));
        auto product = parse_guid(m_image.product_code());
        optional(texts::key_revision_code, m_image.revision_code(),
                 product ? default_revision_code(*product, m_image.product_version()) : std::string());
        optional(texts::key_media_mode, std::to_string(m_image.media_mode()), "1");
        lines.push_back(setting_line(texts::key_default_language, m_image.default_language()));
        optional(texts::key_language_dialog, m_image.language_dialog() ? "true" : "false", "false");
        optional(texts::key_code_page, std::to_string(m_image.code_page()), "1252");
        // The executable's own name, when a project could give it.
        const std::string& output = m_options.output_name;
        if (!output.empty() && output.find_first_of("/\\:*?\"<>|") == std::string::npos)
            lines.push_back(setting_line(texts::key_output, output));
        if (!m_commands.empty())
            lines.push_back(setting_line(texts::key_source_name, source_name()));
        lines.emplace_back();

        auto pairs = [&](std::string_view section, const std::vector<std::string>& values, std::size_t skip) {
            if (values.size() <= skip)
                return;
            lines.push_back("[" + std::string(section) + "]");
            for (std::size_t i = skip; i + 1 < values.size(); i += 2)
                add_pair(lines, values[i], values[i + 1]);
            if ((values.size() - skip) % 2 != 0)
                inexact("the [" + std::string(section) + "] list has a name without a value");
            lines.emplace_back();
        };

        pairs(texts::section_constants, m_image.build_constants(), 0);

        const auto& sizes = m_image.component_sizes();
        for (std::size_t i = 1; i < sizes.size(); i += 2) {
            auto size = parse_int64(sizes[i]);
            if (!size || std::to_string(*size) != sizes[i])
                inexact("the size of component \"" + sizes[i - 1] + "\" is not a plain number");
        }
        // The compiler puts the predefined component first by itself.
        bool implied = sizes.size() >= 2 && sizes[0] == texts::predefined_component && sizes[1] == "0";
        pairs(texts::section_components, sizes, implied ? 2 : 0);

        std::vector<std::string> passwords = m_image.web_media_passwords();
        for (std::size_t i = 1; i < passwords.size(); i += 2) {
            auto clear = unscramble_password(passwords[i]);
            if (!clear) {
                inexact("the password of web media block \"" + passwords[i - 1] + "\" is damaged");
                continue;
            }
            passwords[i] = *clear;
        }
        pairs(texts::section_passwords, passwords, 0);

        if (!m_image.plugin_commands().empty()) {
            lines.push_back("[" + std::string(texts::section_plugins) + "]");
            for (const std::string& name : m_image.plugin_commands())
                lines.push_back(head_line(name));
            lines.emplace_back();
        }

        const auto& files = m_image.media_files();
        if (!files.empty()) {
            lines.push_back("[" + std::string(texts::section_media_files) + "]");
            for (std::size_t i = 0; i + 2 < files.size(); i += 3) {
                lines.push_back(head_line(files[i]));
                lines.push_back(field_line(files[i + 1]));
                lines.push_back(field_line(files[i + 2]));
            }
            if (files.size() % 3 != 0)
                inexact("the media file list is not made of triples");
            lines.emplace_back();
        }
        return lines;
    }

    void script_lines(std::vector<std::string>& lines) const
    {
        lines.push_back("[" + std::string(texts::section_script) + "]");
        std::string source = source_name();
        std::size_t depth = 0;
        for (const DumpCommand& command : m_commands) {
            bool active = !command.disabled;
            if (active && (command.name == "End" || command.name == "Else" || command.name == "Else If") && depth > 0)
                --depth;
            std::string indent;
            for (std::size_t i = 0; i < depth; ++i)
                indent += indent_unit;
            if (active && (command.name == "If" || command.name == "Wizard Loop" || command.name == "Else" ||
                           command.name == "Else If"))
                ++depth;

            std::vector<std::string> attributes;
            if (command.line) {
                auto wanted = static_cast<std::size_t>(*command.line);
                if (wanted >= lines.size() && wanted - lines.size() <= max_padding)
                    lines.resize(wanted);
                else
                    attributes.push_back(
                        setting_line("@" + std::string(texts::attribute_line), std::to_string(*command.line)));
            }
            if (command.file != source)
                attributes.push_back(setting_line("@" + std::string(texts::attribute_file), command.file));
            if (command.explicit_identifier)
                attributes.push_back(setting_line("@" + std::string(texts::attribute_id), command.identifier));
            if (command.disabled)
                attributes.push_back("@" + std::string(texts::attribute_disabled));
            if (!command.media_folder.empty())
                attributes.push_back(
                    setting_line("@" + std::string(texts::attribute_media_folder), command.media_folder));
            if (command.explicit_header)
                attributes.push_back(setting_line("@" + std::string(texts::attribute_header), command.header));

            lines.push_back(indent + head_line(command.name));
            for (const std::string& attribute : attributes)
                lines.push_back(indent + indent_unit + attribute);
            for (const std::string& parameter : command.parameters)
                lines.push_back(indent + indent_unit + field_line(parameter));
        }
    }

    // Builds the dumped project again and compares the script bytes.
    std::string verify(const std::string& project_text) const
    {
        auto project = parse_project(project_text, "dump", "dump.qvp");
        if (!project)
            return project.error().message;
        auto compiled = compile_project(*project);
        if (!compiled)
            return compiled.error().message;
        auto rebuilt = write_script_image(compiled->script);
        if (!rebuilt)
            return rebuilt.error().message;
        if (*rebuilt == m_bytes)
            return {};
        auto mismatch = std::mismatch(rebuilt->begin(), rebuilt->end(), m_bytes.begin(), m_bytes.end());
        std::size_t offset = static_cast<std::size_t>(mismatch.first - rebuilt->begin());
        if (offset == rebuilt->size())
            return "the script has bytes behind its last section";
        std::size_t line = static_cast<std::size_t>(std::count(rebuilt->begin(), mismatch.first, '\n')) + 1;
        return "line " + std::to_string(line) + " of the script would be written differently";
    }

    std::string_view m_bytes;
    const DumpOptions& m_options;
    TScriptImage m_image;
    std::vector<DumpCommand> m_commands;
    std::string m_inexact;
};

} // namespace

Result<std::string> read_appended_script(const fs::path& executable)
{
    std::ifstream in(executable, std::ios::binary);
    if (!in)
        return make_error(ErrorCode::io, "Cannot open " + executable.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return make_error(ErrorCode::io, "Cannot read " + executable.string());
    std::uint64_t stub = TRY(pe_stub_size(as_bytes(bytes)));
    if (stub >= bytes.size())
        return make_error(ErrorCode::not_found, executable.string() + " has no script appended");
    return bytes.substr(static_cast<std::size_t>(stub));
}

Result<DumpResult> dump_script(std::string_view script_bytes, const DumpOptions& options)
{
    return Dumper(script_bytes, options).dump();
}

} // namespace quillon::qvoc
