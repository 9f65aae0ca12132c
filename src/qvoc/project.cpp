// Grammar of a project, one line at a time (blanks are spaces and tabs; a
// line ends at LF, a CR before the LF is dropped):
//
//   line      = blank | comment | section | field | attribute | entry
//   blank     = { ws }
//   comment   = { ws } "#" { byte }
//   section   = { ws } "[" name "]" { ws }
//   field     = { ws } "|" [ " " ] text        text: every byte to the end of the line
//   attribute = { ws } "@" key [ "=" [ " " ] text ]
//   entry     = { ws } "=" [ " " ] text         a name taken verbatim
//             | { ws } text                     a name without its outer blanks, or key "=" [ " " ] text
//
// Field lines carry the texts that must survive byte for byte (parameters,
// values of names that would not fit an entry line), so they need no quoting.
#include "qvoc/project.h"

#include "base/strings.h"
#include "qvoc/guid.h"
#include "qvoc/qvoc_texts.h"

#include <algorithm>

namespace quillon::qvoc {

Error project_error(std::string_view display_name, std::size_t line, std::string_view message)
{
    return Error{ErrorCode::parse, 0,
                 std::string(display_name) + ":" + std::to_string(line + 1) + ": " + std::string(message)};
}

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim_blanks(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text behind a marker ("|", "=", "@key ="): one space after it is
// part of the marker, everything else belongs to the value.
std::string_view verbatim_after(std::string_view rest)
{
    if (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return rest;
}

enum class Section { none, setup, constants, components, passwords, plugins, media_files, script };

struct SectionName {
    std::string_view name;
    Section section;
};

constexpr SectionName section_names[] = {
    {texts::section_setup, Section::setup},           {texts::section_constants, Section::constants},
    {texts::section_components, Section::components}, {texts::section_passwords, Section::passwords},
    {texts::section_plugins, Section::plugins},       {texts::section_media_files, Section::media_files},
    {texts::section_script, Section::script},
};

bool is_version_text(std::string_view text)
{
    // Up to four dot-separated decimal numbers, the form the engine and
    // Windows Installer both read.
    int parts = 0;
    while (true) {
        std::size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 9 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        if (++parts > 4)
            return false;
        if (dot == std::string_view::npos)
            return true;
        text.remove_prefix(dot + 1);
    }
}

bool is_hex_header(std::string_view text)
{
    return text.size() == 8 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

bool is_typed_key(std::string_view key)
{
    for (std::string_view typed : {texts::key_product_code, texts::key_revision_code, texts::key_version,
                                   texts::key_media_mode, texts::key_code_page, texts::key_language_dialog,
                                   texts::key_platform, texts::key_output, texts::key_compression})
        if (key == typed)
            return true;
    return false;
}

bool is_legal_base_name(std::string_view text)
{
    return !text.empty() && text.find_first_of("/\\:*?\"<>|") == std::string_view::npos && text != "." && text != "..";
}

class ProjectParser {
public:
    ProjectParser(std::string_view display_name, std::string_view file_name)
    {
        m_project.display_name = std::string(display_name);
        m_project.source_name.value = std::string(file_name);
    }

    Result<Project> parse(std::string_view text)
    {
        std::size_t line = 0;
        while (!text.empty()) {
            std::size_t end = text.find('\n');
            std::string_view current = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (!current.empty() && current.back() == '\r')
                current.remove_suffix(1);
            if (current.find('\r') != std::string_view::npos)
                return std::unexpected(error(line, "a carriage return inside a line; lines end with LF or CR LF"));
            TRY(parse_line(current, line));
            ++line;
        }
        TRY(finish_entry());
        TRY(check_setup());
        return std::move(m_project);
    }

private:
    Error error(std::size_t line, std::string_view message) const
    {
        return project_error(m_project.display_name, line, message);
    }

    Result<void> parse_line(std::string_view raw, std::size_t line)
    {
        std::string_view text = raw;
        while (!text.empty() && is_blank(text.front()))
            text.remove_prefix(1);
        if (text.empty() || text.front() == '#')
            return {};
        if (text.front() == '[')
            return section(text, line);
        if (m_section == Section::none)
            return std::unexpected(error(line, "expected a section such as [setup] before this line"));
        if (text.front() == '|')
            return field(verbatim_after(text.substr(1)), line);
        if (text.front() == '@')
            return attribute(text.substr(1), line);
        return entry(text, line);
    }

    Result<void> section(std::string_view text, std::size_t line)
    {
        text = trim_blanks(text);
        if (text.size() < 2 || text.back() != ']')
            return std::unexpected(error(line, "a section line must be [name]"));
        std::string_view name = text.substr(1, text.size() - 2);
        auto known = std::find_if(std::begin(section_names), std::end(section_names),
                                  [&](const SectionName& candidate) { return candidate.name == name; });
        if (known == std::end(section_names))
            return std::unexpected(error(line, "unknown section [" + std::string(name) + "]"));
        if (std::find(m_seen.begin(), m_seen.end(), known->section) != m_seen.end())
            return std::unexpected(error(line, "the section [" + std::string(name) + "] appears twice"));
        TRY(finish_entry());
        m_seen.push_back(known->section);
        m_section = known->section;
        if (m_section == Section::setup)
            m_setup_line = line;
        return {};
    }

    // Ends the open entry, before a new entry or section and at the end.
    Result<void> finish_entry()
    {
        if (m_pending_name)
            return std::unexpected(
                error(m_pending_name->line, "the name \"" + m_pending_name->text + "\" has no value line after it"));
        return finish_media_file();
    }

    Result<void> finish_media_file()
    {
        if (m_open_media_file && m_media_fields != 2)
            return std::unexpected(error(m_project.media_files.back().line,
                                         "a media file needs two lines after its kind: \"| path\" and \"| folder\""));
        m_open_media_file = false;
        return {};
    }

    Result<void> entry(std::string_view text, std::size_t line)
    {
        TRY(finish_entry());
        switch (m_section) {
        case Section::setup: return setup_entry(text, line);
        case Section::constants: return pair_entry(m_project.constants, text, line);
        case Section::components: return pair_entry(m_project.components, text, line);
        case Section::passwords: return pair_entry(m_project.passwords, text, line);
        case Section::plugins: return plugin_entry(text, line);
        case Section::media_files: return media_file_entry(text, line);
        case Section::script: return command_entry(text, line);
        case Section::none: break;
        }
        return std::unexpected(error(line, "expected a section such as [setup] before this line"));
    }

    // A head: "= text" verbatim, or the line without its outer blanks.
    static std::string head_text(std::string_view text)
    {
        if (text.front() == '=')
            return std::string(verbatim_after(text.substr(1)));
        return std::string(trim_blanks(text));
    }

    struct KeyValue {
        std::string_view key;
        std::string_view value;
    };

    Result<KeyValue> split_key_value(std::string_view text, std::size_t line) const
    {
        std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            return std::unexpected(error(line, "expected name = value"));
        std::string_view key = trim_blanks(text.substr(0, equals));
        if (key.empty())
            return std::unexpected(error(line, "a name is missing before \"=\""));
        return KeyValue{key, verbatim_after(text.substr(equals + 1))};
    }

    Setting* setting_for(std::string_view key)
    {
        struct Entry {
            std::string_view key;
            Setting Project::* setting;
        };
        static constexpr Entry entries[] = {
            {texts::key_title, &Project::title},
            {texts::key_publisher, &Project::publisher},
            {texts::key_contact, &Project::contact},
            {texts::key_help_link, &Project::help_link},
            {texts::key_update_link, &Project::update_link},
            {texts::key_comments, &Project::comments},
            {texts::key_version, &Project::version},
            {texts::key_product_code, &Project::product_code},
            {texts::key_revision_code, &Project::revision_code},
            {texts::key_media_mode, &Project::media_mode},
            {texts::key_default_language, &Project::default_language},
            {texts::key_language_dialog, &Project::language_dialog},
            {texts::key_code_page, &Project::code_page},
            {texts::key_output, &Project::output},
            {texts::key_resources, &Project::resources},
            {texts::key_platform, &Project::platform},
            {texts::key_compression, &Project::compression},
            {texts::key_source_name, &Project::source_name},
        };
        for (const Entry& candidate : entries)
            if (candidate.key == key)
                return &(m_project.*candidate.setting);
        return nullptr;
    }

    Result<void> setup_entry(std::string_view text, std::size_t line)
    {
        KeyValue pair = TRY(split_key_value(text, line));
        if (pair.key == texts::key_media_folder) {
            if (pair.value.empty())
                return std::unexpected(error(line, "media-folder needs a folder"));
            m_project.media_folders.push_back({std::string(pair.value), line});
            return {};
        }
        if (pair.key == texts::key_archive_folder) {
            if (pair.value.empty())
                return std::unexpected(error(line, "archive-folder needs a folder"));
            m_project.archive_folders.push_back({std::string(pair.value), line});
            return {};
        }
        if (pair.key == texts::key_web_block) {
            if (pair.value.empty())
                return std::unexpected(error(line, "web-block needs a folder"));
            m_project.web_blocks.push_back({std::string(pair.value), line});
            return {};
        }
        Setting* setting = setting_for(pair.key);
        if (!setting)
            return std::unexpected(error(line, "unknown key \"" + std::string(pair.key) + "\" in [setup]"));
        if (setting->line)
            return std::unexpected(error(line, "\"" + std::string(pair.key) + "\" is given twice (first on line " +
                                                   std::to_string(*setting->line + 1) + ")"));
        // Values with a fixed form forgive stray blanks; free texts keep them.
        std::string_view value = is_typed_key(pair.key) ? trim_blanks(pair.value) : pair.value;
        setting->value = std::string(value);
        setting->line = line;
        return check_setting(pair.key, value, line);
    }

    Result<void> check_setting(std::string_view key, std::string_view value, std::size_t line) const
    {
        auto fail = [&](std::string_view message) -> Result<void> { return std::unexpected(error(line, message)); };
        if (key == texts::key_title && value.empty())
            return fail("the title is empty");
        if ((key == texts::key_product_code || key == texts::key_revision_code) && !parse_guid(value))
            return fail("malformed GUID \"" + std::string(value) +
                        "\"; write it as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
        if (key == texts::key_version && !is_version_text(value))
            return fail("the version must be up to four dot-separated numbers, such as 1.2.0.0");
        if (key == texts::key_media_mode) {
            auto mode = parse_int32(value);
            if (!mode || *mode < 1 || *mode > 3)
                return fail("the media mode must be 1, 2 or 3");
        }
        if (key == texts::key_code_page) {
            auto code_page = parse_int32(value);
            if (!code_page || *code_page <= 0)
                return fail("the code page must be a positive number such as 1252");
        }
        if (key == texts::key_language_dialog && !equal_ascii_nocase(value, "true") &&
            !equal_ascii_nocase(value, "false"))
            return fail("language-dialog must be true or false");
        if (key == texts::key_output && !is_legal_base_name(value))
            return fail("the output name must be a file name without folder or extension characters such as \\ / :");
        if (key == texts::key_platform && value != texts::platform_x64 && value != texts::platform_x86)
            return fail("the platform must be x64 or x86");
        if (key == texts::key_compression) {
            auto level = parse_int32(value);
            if (!level || *level < 0 || *level > 9)
                return fail("the compression must be 0 (stored) to 9 (smallest)");
        }
        if (key == texts::key_source_name && value.find('*') != std::string_view::npos)
            return fail("the source name cannot contain \"*\"");
        return {};
    }

    Result<void> pair_entry(std::vector<ProjectPair>& list, std::string_view text, std::size_t line)
    {
        KeyValue pair = TRY(split_key_value(text, line));
        list.push_back({std::string(pair.key), std::string(pair.value), line});
        return {};
    }

    Result<void> plugin_entry(std::string_view text, std::size_t line)
    {
        m_project.plugins.push_back({head_text(text), line});
        return {};
    }

    Result<void> media_file_entry(std::string_view text, std::size_t line)
    {
        m_project.media_files.push_back({head_text(text), {}, {}, line});
        m_open_media_file = true;
        m_media_fields = 0;
        return {};
    }

    Result<void> command_entry(std::string_view text, std::size_t line)
    {
        ProjectCommand command;
        command.name = head_text(text);
        command.line = line;
        if (command.name.empty())
            return std::unexpected(error(line, "a command without a name"));
        m_project.commands.push_back(std::move(command));
        return {};
    }

    std::vector<ProjectPair>* pair_list()
    {
        switch (m_section) {
        case Section::constants: return &m_project.constants;
        case Section::components: return &m_project.components;
        case Section::passwords: return &m_project.passwords;
        default: return nullptr;
        }
    }

    Result<void> field(std::string_view text, std::size_t line)
    {
        if (std::vector<ProjectPair>* list = pair_list()) {
            // The long form of a pair: a name line and a value line, for names
            // that an entry line cannot carry.
            if (!m_pending_name) {
                m_pending_name = ProjectName{std::string(text), line};
                return {};
            }
            list->push_back({std::move(m_pending_name->text), std::string(text), m_pending_name->line});
            m_pending_name.reset();
            return {};
        }
        if (m_section == Section::media_files && m_open_media_file) {
            ProjectMediaFile& file = m_project.media_files.back();
            if (m_media_fields == 0)
                file.path = std::string(text);
            else if (m_media_fields == 1)
                file.folder = std::string(text);
            else
                return std::unexpected(error(line, "a media file has only two lines after its kind"));
            ++m_media_fields;
            return {};
        }
        if (m_section == Section::script) {
            if (m_project.commands.empty())
                return std::unexpected(error(line, "a parameter line before the first command"));
            ProjectCommand& command = m_project.commands.back();
            command.parameters.emplace_back(text);
            command.parameter_lines.push_back(line);
            return {};
        }
        return std::unexpected(error(line, "a \"|\" line does not belong here"));
    }

    Result<void> attribute(std::string_view text, std::size_t line)
    {
        if (m_section != Section::script)
            return std::unexpected(error(line, "\"@\" lines belong to commands in [script]"));
        if (m_project.commands.empty())
            return std::unexpected(error(line, "an \"@\" line before the first command"));
        ProjectCommand& command = m_project.commands.back();

        std::size_t equals = text.find('=');
        std::string_view key = trim_blanks(text.substr(0, equals));
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos)
            value = verbatim_after(text.substr(equals + 1));
        auto fail = [&](std::string_view message) -> Result<void> { return std::unexpected(error(line, message)); };
        auto need_value = [&]() -> Result<std::string_view> {
            if (!value)
                return std::unexpected(error(line, "@" + std::string(key) + " needs \"= value\""));
            return *value;
        };

        if (key == texts::attribute_disabled) {
            if (value)
                return fail("@disabled takes no value");
            if (command.disabled)
                return fail("@disabled is given twice");
            command.disabled = true;
            return {};
        }
        if (key == texts::attribute_id) {
            std::string_view id = trim_blanks(TRY(need_value()));
            if (command.identifier)
                return fail("@id is given twice");
            if (!parse_guid(id))
                return fail("malformed GUID \"" + std::string(id) +
                            "\"; write it as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
            command.identifier = std::string(id);
            command.identifier_line = line;
            return {};
        }
        if (key == texts::attribute_media_folder) {
            std::string_view folder = TRY(need_value());
            if (command.media_folder_given)
                return fail("@media-folder is given twice");
            command.media_folder = std::string(folder);
            command.media_folder_given = true;
            return {};
        }
        if (key == texts::attribute_header) {
            std::string_view header = trim_blanks(TRY(need_value()));
            if (command.media_header)
                return fail("@header is given twice");
            if (!header.empty() && !is_hex_header(header))
                return fail("a media header is eight hexadecimal digits (or empty for none)");
            command.media_header = std::string(header);
            command.header_line = line;
            return {};
        }
        if (key == texts::attribute_line) {
            std::string_view number = trim_blanks(TRY(need_value()));
            if (command.source_line)
                return fail("@line is given twice");
            auto parsed = parse_int32(number);
            if (!parsed || *parsed < 0 || std::to_string(*parsed) != number)
                return fail("@line needs a line index 0 or greater, written without sign or leading zeros");
            command.source_line = *parsed;
            return {};
        }
        if (key == texts::attribute_file) {
            std::string_view file = TRY(need_value());
            if (command.source_file)
                return fail("@file is given twice");
            if (file.find('*') != std::string_view::npos)
                return fail("@file cannot contain \"*\"");
            command.source_file = std::string(file);
            return {};
        }
        return fail("unknown attribute @" + std::string(key));
    }

    Result<void> check_setup() const
    {
        if (!m_setup_line)
            return std::unexpected(error(0, "the project has no [setup] section"));
        std::size_t line = *m_setup_line;
        if (!m_project.title.line)
            return std::unexpected(error(line, "the project has no title (title = ...)"));
        if (!m_project.product_code.line)
            return std::unexpected(error(line, "the project has no product code (product-code = {...})"));
        return {};
    }

    Project m_project;
    Section m_section = Section::none;
    std::vector<Section> m_seen;
    std::optional<std::size_t> m_setup_line;
    std::optional<ProjectName> m_pending_name;
    bool m_open_media_file = false;
    int m_media_fields = 0;
};

} // namespace

Result<Project> parse_project(std::string_view text, std::string_view display_name, std::string_view file_name)
{
    return ProjectParser(display_name, file_name).parse(text);
}

} // namespace quillon::qvoc
