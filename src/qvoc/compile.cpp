#include "qvoc/compile.h"

#include "base/strings.h"
#include "qvoc/qvoc_texts.h"
#include "script/line_index.h"
#include "script/script_texts.h"

#include <algorithm>
#include <limits>
#include <map>
#include <set>

namespace quillon::qvoc {

namespace {

std::string candidate_name(std::string_view prefix, std::size_t index, std::size_t attempt)
{
    std::string name = std::string(prefix) + std::to_string(index);
    if (attempt > 0)
        name += "#" + std::to_string(attempt);
    return name;
}

// A header that reads as a command index would be taken for that index's
// entry in the header list.
bool reads_as_index(std::string_view header, std::size_t command_count)
{
    auto number = parse_int64(header);
    return number && *number >= 0 && static_cast<std::uint64_t>(*number) < command_count &&
           std::to_string(*number) == header;
}

class Compiler {
public:
    explicit Compiler(const Project& project) : m_project(project) {}

    Result<CompiledProject> compile()
    {
        const Project& p = m_project;
        CompiledProject out;
        CompiledScript& script = out.script;

        GuidBytes product = *parse_guid(p.product_code.value);
        script.product_code = format_guid(product);
        script.product_title = p.title.value;
        script.publisher = p.publisher.value;
        script.contact = p.contact.value;
        script.help_link = p.help_link.value;
        script.update_link = p.update_link.value;
        script.comments = p.comments.value;
        script.product_version = p.version.line ? p.version.value : std::string(texts::default_version);
        script.revision_code = p.revision_code.line ? format_guid(*parse_guid(p.revision_code.value))
                                                    : default_revision_code(product, script.product_version);
        script.media_mode = p.media_mode.line ? *parse_int32(p.media_mode.value) : 1;
        script.default_language =
            p.default_language.line ? p.default_language.value : std::string(texts::default_language);
        script.language_dialog = p.language_dialog.line && equal_ascii_nocase(p.language_dialog.value, "true");
        script.code_page = p.code_page.line ? *parse_int32(p.code_page.value) : 1252;

        for (const ProjectName& plugin : p.plugins) {
            TRY(list_entry(plugin.text, plugin.line, "a plug-in command name"));
            script.plugin_commands.push_back(plugin.text);
        }
        for (const ProjectPair& constant : p.constants) {
            TRY(list_entry(constant.name, constant.line, "a build constant name"));
            TRY(list_entry(constant.value, constant.line, "a build constant value"));
            script.build_constants.push_back({constant.name, constant.value});
        }
        TRY(component_sizes(script));
        for (const ProjectPair& password : p.passwords) {
            TRY(list_entry(password.name, password.line, "a web media block name"));
            if (scramble_password(password.value).find(script_texts::line_end) != std::string::npos)
                return fail(password.line, "this password cannot be stored: its scrambled form contains a line "
                                           "break; choose another password");
            script.web_media_passwords.push_back({password.name, password.value});
        }
        for (const ProjectMediaFile& file : p.media_files) {
            TRY(list_entry(file.kind, file.line, "a media file kind"));
            TRY(list_entry(file.path, file.line, "a media file path"));
            TRY(list_entry(file.folder, file.line, "a media file folder"));
            script.media_files.push_back({file.kind, file.path, file.folder});
        }
        TRY(commands(product, script));

        out.build.output_name = p.output.line ? p.output.value : std::string(texts::default_output);
        if (p.resources.line && !p.resources.value.empty())
            out.build.resources = p.resources.value;
        for (const ProjectName& folder : p.media_folders)
            out.build.media_folders.push_back(folder.text);
        out.build.platform = p.platform.line ? p.platform.value : std::string(texts::platform_x64);
        if (p.compression.line)
            out.build.compression = parse_int32(p.compression.value).value_or(default_compression);
        out.build.package_code = format_guid(name_based_guid(product, "package:" + script.revision_code));
        return out;
    }

private:
    std::unexpected<Error> fail(std::size_t line, std::string_view message) const
    {
        return std::unexpected(project_error(m_project.display_name, line, message));
    }

    // Only parameters have an escape for a lone "$"; anywhere else it would
    // end the list early.
    Result<void> list_entry(std::string_view text, std::size_t line, std::string_view what) const
    {
        if (text == script_texts::section_end)
            return fail(line, std::string(what) + " cannot be a single \"$\"");
        return {};
    }

    Result<void> component_sizes(CompiledScript& script) const
    {
        const auto& components = m_project.components;
        bool predefined_first = !components.empty() && components.front().name == texts::predefined_component;
        if (!predefined_first)
            script.component_sizes.push_back({std::string(texts::predefined_component), 0});
        for (std::size_t index = 0; index < components.size(); ++index) {
            const ProjectPair& component = components[index];
            if (index > 0 && component.name == texts::predefined_component)
                return fail(component.line,
                            std::string(texts::predefined_component) + " must be the first component, or left out");
            TRY(list_entry(component.name, component.line, "a component name"));
            auto size = parse_int64(component.value);
            if (!size)
                return fail(component.line,
                            "the size of component \"" + component.name + "\" must be a number of bytes");
            script.component_sizes.push_back({component.name, *size});
        }
        return {};
    }

    Result<void> commands(const GuidBytes& product, CompiledScript& script) const
    {
        const auto& commands = m_project.commands;
        std::vector<std::optional<std::string>> explicit_ids;
        std::vector<std::optional<std::string>> explicit_headers;
        std::vector<std::string> names;
        std::map<std::string, std::size_t> id_owner;     // upper-case identifier -> command
        std::map<std::string, std::size_t> header_owner; // upper-case header -> command
        for (std::size_t index = 0; index < commands.size(); ++index) {
            const ProjectCommand& command = commands[index];
            TRY(list_entry(command.name, command.line, "a command name"));
            TRY(list_entry(command.media_folder, command.line, "a media folder"));
            names.push_back(command.name);
            explicit_ids.push_back(command.identifier);
            explicit_headers.push_back(command.media_header);
            if (command.identifier) {
                auto [it, added] = id_owner.emplace(ascii_upper(*command.identifier), index);
                if (!added)
                    return fail(command.identifier_line, "the identifier " + *command.identifier +
                                                             " is already used by the command on line " +
                                                             std::to_string(commands[it->second].line + 1));
            }
            if (command.media_header && !command.media_header->empty()) {
                if (reads_as_index(*command.media_header, commands.size()))
                    return fail(command.header_line, "the media header " + *command.media_header +
                                                         " reads as a command number; choose another");
                auto [it, added] = header_owner.emplace(ascii_upper(*command.media_header), index);
                if (!added)
                    return fail(command.header_line, "the media header " + *command.media_header +
                                                         " is already used by the command on line " +
                                                         std::to_string(commands[it->second].line + 1));
            }
        }

        std::vector<std::string> identifiers = assign_identifiers(product, explicit_ids);
        std::vector<std::string> headers = assign_headers(product, names, explicit_headers);
        TRY(check_parameters(identifiers));

        for (std::size_t index = 0; index < commands.size(); ++index) {
            const ProjectCommand& command = commands[index];
            CompiledCommand compiled;
            compiled.name = command.name;
            compiled.identifier = identifiers[index];
            compiled.disabled = command.disabled;
            compiled.media_folder = command.media_folder;
            compiled.media_header = headers[index];
            compiled.project_file = command.source_file ? *command.source_file : m_project.source_name.value;
            if (command.source_line) {
                compiled.project_line = *command.source_line;
            } else {
                if (command.line > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
                    return fail(command.line, "the project is too long to record this line");
                compiled.project_line = static_cast<std::int32_t>(command.line);
            }
            compiled.parameters = command.parameters;
            script.commands.push_back(std::move(compiled));
        }
        return {};
    }

    // Parameters are found through the first line of the parameter list that
    // equals a command's identifier, and blocks are written in command order.
    Result<void> check_parameters(const std::vector<std::string>& identifiers) const
    {
        const auto& commands = m_project.commands;
        IndexedLines index_of(identifiers);
        for (std::size_t index = 0; index < commands.size(); ++index) {
            const ProjectCommand& command = commands[index];
            for (std::size_t k = 0; k < command.parameters.size(); ++k) {
                const std::string& value = command.parameters[k];
                std::size_t line = command.parameter_lines[k];
                if (equal_nocase(value, script_texts::dollar_escape) ||
                    equal_nocase(value, script_texts::wild_dollar_escape))
                    return fail(line, "the parameter \"" + value +
                                          "\" cannot be stored: the engine would read it back as \"$\"");
                auto other = index_of.find(value);
                if (other && (*other > index || commands[*other].parameters.empty()))
                    return fail(line, "the parameter equals the identifier of the command on line " +
                                          std::to_string(commands[*other].line + 1) +
                                          ", which would read its parameters from here");
            }
        }
        return {};
    }

    const Project& m_project;
};

} // namespace

Result<CompiledProject> compile_project(const Project& project)
{
    return Compiler(project).compile();
}

bool is_recorded_command(std::string_view name)
{
    return std::find(texts::recorded_commands.begin(), texts::recorded_commands.end(), name) !=
           texts::recorded_commands.end();
}

std::vector<std::string> assign_identifiers(const GuidBytes& product_code,
                                            const std::vector<std::optional<std::string>>& explicit_identifiers)
{
    std::set<std::string> used;
    for (const auto& identifier : explicit_identifiers)
        if (identifier)
            used.insert(ascii_upper(*identifier));
    std::vector<std::string> identifiers;
    identifiers.reserve(explicit_identifiers.size());
    for (std::size_t index = 0; index < explicit_identifiers.size(); ++index) {
        if (explicit_identifiers[index]) {
            identifiers.push_back(*explicit_identifiers[index]);
            continue;
        }
        for (std::size_t attempt = 0;; ++attempt) {
            std::string candidate = identifier_candidate(product_code, index, attempt);
            if (used.insert(candidate).second) {
                identifiers.push_back(std::move(candidate));
                break;
            }
        }
    }
    return identifiers;
}

std::vector<std::string> assign_headers(const GuidBytes& product_code, const std::vector<std::string>& command_names,
                                        const std::vector<std::optional<std::string>>& explicit_headers)
{
    std::set<std::string> used;
    for (const auto& header : explicit_headers)
        if (header && !header->empty())
            used.insert(ascii_upper(*header));
    std::vector<std::string> headers;
    headers.reserve(command_names.size());
    for (std::size_t index = 0; index < command_names.size(); ++index) {
        if (explicit_headers[index]) {
            headers.push_back(*explicit_headers[index]);
            continue;
        }
        if (!is_recorded_command(command_names[index])) {
            headers.emplace_back();
            continue;
        }
        for (std::size_t attempt = 0;; ++attempt) {
            std::string candidate = header_candidate(product_code, index, attempt);
            if (!reads_as_index(candidate, command_names.size()) && used.insert(candidate).second) {
                headers.push_back(std::move(candidate));
                break;
            }
        }
    }
    return headers;
}

std::string identifier_candidate(const GuidBytes& product_code, std::size_t index, std::size_t attempt)
{
    return format_guid(name_based_guid(product_code, candidate_name("command:", index, attempt)));
}

std::string header_candidate(const GuidBytes& product_code, std::size_t index, std::size_t attempt)
{
    return format_guid(name_based_guid(product_code, candidate_name("header:", index, attempt))).substr(1, 8);
}

std::string default_revision_code(const GuidBytes& product_code, std::string_view version)
{
    return format_guid(name_based_guid(product_code, "revision:" + std::string(version)));
}

} // namespace quillon::qvoc
