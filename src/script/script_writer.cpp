#include "script/script_writer.h"

#include "base/strings.h"
#include "script/line_index.h"
#include "script/script_texts.h"

namespace quillon {

namespace {

class ScriptWriter {
public:
    Result<std::string> write(const CompiledScript& script)
    {
        const auto& commands = script.commands;
        IndexedLines identifiers = TRY(check_identifiers(commands));

        for (const CompiledCommand& command : commands)
            TRY(entry(command.name, "command name"));
        end_list();
        for (const CompiledCommand& command : commands)
            TRY(entry(command.identifier, "command identifier"));
        end_list();
        TRY(parameter_blocks(commands, identifiers));
        for (const CompiledCommand& command : commands)
            TRY(entry(command.disabled ? script_texts::disabled_flag : "", "disable flag"));
        end_list();
        TRY(single(script.product_code, "product code"));
        TRY(single(script.product_title, "product title"));
        for (const std::string& name : script.plugin_commands)
            TRY(entry(name, "plug-in command"));
        end_list();
        TRY(single(script.publisher, "publisher"));
        TRY(single(script.contact, "contact"));
        TRY(single(script.help_link, "help link"));
        TRY(single(script.update_link, "update link"));
        TRY(single(script.comments, "comments"));
        TRY(single(script.product_version, "product version"));
        TRY(web_media_passwords(script.web_media_passwords));
        for (const CompiledCommand& command : commands)
            TRY(entry(command.media_folder, "command media folder"));
        end_list();
        TRY(single(std::to_string(script.media_mode), "media mode"));
        for (const ComponentSize& size : script.component_sizes) {
            TRY(entry(size.component, "component name"));
            TRY(entry(std::to_string(size.size), "component size"));
        }
        end_list();
        TRY(single(script.revision_code, "revision code"));
        for (const MediaFile& file : script.media_files) {
            TRY(entry(file.kind, "media file kind"));
            TRY(entry(file.path, "media file path"));
            TRY(entry(file.folder, "media file folder"));
        }
        end_list();
        TRY(single(script.language_dialog ? script_texts::true_text : script_texts::false_text,
                   "language dialog flag"));
        TRY(single(script.default_language, "default language"));
        TRY(command_headers(commands));
        for (const BuildConstantValue& constant : script.build_constants) {
            TRY(entry(constant.name, "build constant name"));
            TRY(entry(constant.value, "build constant value"));
        }
        end_list();
        TRY(single(std::to_string(script.code_page), "code page"));
        TRY(source_positions(commands));
        return std::move(m_out);
    }

private:
    static Result<void> check_line(std::string_view text, std::string_view what)
    {
        if (text.find_first_of("\r\n") != std::string_view::npos)
            return make_error(ErrorCode::parse, "The " + std::string(what) + " \"" + std::string(text) +
                                                    "\" contains a line break; write it as $NEWLINE$.");
        return {};
    }

    void raw_line(std::string_view text)
    {
        m_out.append(text);
        m_out.append(script_texts::line_end);
    }

    Result<void> single(std::string_view text, std::string_view what)
    {
        TRY(check_line(text, what));
        raw_line(text);
        return {};
    }

    // An entry of a list section: a lone "$" would end the section.
    Result<void> entry(std::string_view text, std::string_view what)
    {
        TRY(check_line(text, what));
        if (text == script_texts::section_end)
            return make_error(ErrorCode::unsupported, "A " + std::string(what) + " cannot be a single \"$\".");
        raw_line(text);
        return {};
    }

    void end_list() { raw_line(script_texts::section_end); }

    static Result<IndexedLines> check_identifiers(const std::vector<CompiledCommand>& commands)
    {
        std::vector<std::string> lines;
        lines.reserve(commands.size());
        for (const CompiledCommand& command : commands) {
            if (command.identifier.empty())
                return make_error(ErrorCode::parse, "The command \"" + command.name + "\" has no identifier.");
            lines.push_back(command.identifier);
        }
        IndexedLines identifiers(std::move(lines));
        for (std::size_t index = 0; index < identifiers.size(); ++index)
            if (identifiers.find(identifiers[index]) != index)
                return make_error(ErrorCode::parse, "The identifier " + identifiers[index] + " is used twice.");
        return identifiers;
    }

    // Parameters are found by the first line of the section that equals the
    // command's identifier, so no parameter may look like the identifier of a
    // command whose block comes later or that has no block at all.
    Result<void> parameter_blocks(const std::vector<CompiledCommand>& commands, const IndexedLines& identifiers)
    {
        std::vector<bool> block_written(commands.size(), false);
        for (std::size_t index = 0; index < commands.size(); ++index) {
            const CompiledCommand& command = commands[index];
            if (command.parameters.empty())
                continue;
            block_written[index] = true;
            raw_line(command.identifier);
            for (std::size_t k = 0; k < command.parameters.size(); ++k) {
                const std::string& value = command.parameters[k];
                std::string what = "parameter " + std::to_string(k + 1) + " of command " + command.identifier;
                TRY(check_line(value, what));
                if (equal_nocase(value, script_texts::dollar_escape) ||
                    equal_nocase(value, script_texts::wild_dollar_escape))
                    return make_error(ErrorCode::unsupported,
                                      "The " + what + " is \"" + value + "\", which would read back as \"$\".");
                auto other = identifiers.find(value);
                if (other && !block_written[*other])
                    return make_error(ErrorCode::unsupported, "The " + what + " equals the identifier of command " +
                                                                  std::to_string(*other) +
                                                                  " and would be taken for its parameters.");
                raw_line(value == script_texts::section_end ? script_texts::dollar_escape : std::string_view(value));
            }
        }
        end_list();
        return {};
    }

    Result<void> web_media_passwords(const std::vector<WebMediaPassword>& passwords)
    {
        for (const WebMediaPassword& entry_value : passwords) {
            TRY(entry(entry_value.block_name, "web media block name"));
            std::string scrambled = scramble_password(entry_value.password);
            // Only CR LF ends a line; a lone CR or LF byte reads back intact.
            if (scrambled.find(script_texts::line_end) != std::string::npos)
                return make_error(ErrorCode::unsupported, "The password of web media block " + entry_value.block_name +
                                                              " cannot be stored: its scrambled form contains a line "
                                                              "break. Choose another password.");
            raw_line(scrambled);
        }
        end_list();
        return {};
    }

    // A header is found as the line before the first line equal to the
    // command's index, so a header must not read as a command index itself.
    Result<void> command_headers(const std::vector<CompiledCommand>& commands)
    {
        for (std::size_t index = 0; index < commands.size(); ++index) {
            const std::string& header = commands[index].media_header;
            if (header.empty())
                continue;
            auto as_number = parse_int64(header);
            if (as_number && *as_number >= 0 && static_cast<std::uint64_t>(*as_number) < commands.size() &&
                std::to_string(*as_number) == header)
                return make_error(ErrorCode::unsupported, "The media header " + header + " of command " +
                                                              std::to_string(index) + " reads as a command index.");
            TRY(entry(header, "media header"));
            raw_line(std::to_string(index));
        }
        end_list();
        return {};
    }

    Result<void> source_positions(const std::vector<CompiledCommand>& commands)
    {
        for (const CompiledCommand& command : commands) {
            if (command.project_file.find(script_texts::source_position_separator) != std::string::npos)
                return make_error(ErrorCode::unsupported,
                                  "The project file name " + command.project_file + " contains \"*\".");
            if (command.project_line < 0)
                return make_error(ErrorCode::parse,
                                  "The project line of command " + command.identifier + " is negative.");
            TRY(entry(command.project_file + std::string(script_texts::source_position_separator) +
                          std::to_string(command.project_line),
                      "source position"));
        }
        end_list();
        return {};
    }

    std::string m_out;
};

} // namespace

Result<std::string> write_script_image(const CompiledScript& script)
{
    return ScriptWriter().write(script);
}

} // namespace quillon
