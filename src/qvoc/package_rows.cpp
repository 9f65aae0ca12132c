#include "qvoc/package_rows.h"

#include "base/strings.h"
#include "qvoc/guid.h"
#include "qvoc/qvoc_texts.h"
#include "script/pe_image.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <span>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

// Component attributes.
constexpr int component_registry_key_path = 4;
constexpr int component_64bit = 256;
// The file lies beside the package as it is, whatever the summary says.
constexpr std::string_view file_noncompressed = "8192";

// Registry roots the Registry table knows, by the engine's root index.
constexpr int highest_registry_root = 3; // HKEY_USERS

// Whether a name may hold the wildcards "*" and "?" (a pattern of files to
// remove), or names one file.
enum class Wildcards { refused, allowed };

bool is_wildcard(char c)
{
    return c == '*' || c == '?';
}

bool is_short_name_character(char c, Wildcards wildcards = Wildcards::refused)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           (wildcards == Wildcards::allowed && is_wildcard(c));
}

bool is_short_name(std::string_view name, Wildcards wildcards = Wildcards::refused)
{
    std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 || (dot != std::string_view::npos && extension.empty()))
        return false;
    auto short_character = [wildcards](char c) { return is_short_name_character(c, wildcards); };
    return std::all_of(base.begin(), base.end(), short_character) &&
           std::all_of(extension.begin(), extension.end(), short_character);
}

std::string short_name_part(std::string_view text, std::size_t length, Wildcards wildcards = Wildcards::refused)
{
    std::string part;
    for (char c : text)
        if (is_short_name_character(c, wildcards) && part.size() < length)
            part.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    return part;
}

// Names Windows cannot store, and names that are not plain ASCII: the
// package's texts are 8-bit in its code page, and the building machine's
// file names are not.
bool is_storable_name(std::string_view name, Wildcards wildcards = Wildcards::refused)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [wildcards](char c) {
        auto byte = static_cast<unsigned char>(c);
        if (wildcards == Wildcards::allowed && is_wildcard(c))
            return true;
        return byte >= 0x20 && byte < 0x7F && std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos;
    });
}

bool has_wildcards(std::string_view name)
{
    return std::any_of(name.begin(), name.end(), is_wildcard);
}

// A Boolean parameter as the engine reads it: "TRUE" in any case or "-1";
// "FALSE", "0" are false, the empty text is empty_means. Anything else is
// the author's mistake: nothing.
std::optional<bool> boolean_parameter(std::string_view text, bool empty_means)
{
    if (text.empty())
        return empty_means;
    if (equal_ascii_nocase(text, "TRUE") || text == "-1")
        return true;
    if (equal_ascii_nocase(text, "FALSE") || text == "0")
        return false;
    return std::nullopt;
}

// Executable images (programs and libraries) start with "MZ".
bool starts_as_program(std::istream& in)
{
    char magic[2] = {};
    return in.read(magic, sizeof magic) && magic[0] == 'M' && magic[1] == 'Z';
}

// A file's path as the script writes it: the target folder parameter, a
// backslash and the path below it, in lower case with single backslashes.
std::string installed_path(std::string_view folder, std::string_view below)
{
    std::string joined = below.empty() ? std::string(folder) : std::string(folder) + "\\" + std::string(below);
    std::string path = ascii_lower(replace_all(joined, "/", "\\"));
    std::string single;
    for (char c : path)
        if (c != '\\' || single.empty() || single.back() != '\\')
            single.push_back(c);
    return single;
}

// A pattern of files for the RemoveFile table: as written when it is a
// short name already, else with a short form of its own in front; both keep
// the wildcards.
std::string wildcard_file_name(std::string_view name)
{
    if (!has_wildcards(name)) {
        std::vector<std::string> taken;
        return installer_file_name(name, taken);
    }
    if (is_short_name(name, Wildcards::allowed))
        return std::string(name);
    std::size_t dot = name.rfind('.');
    std::string base = short_name_part(name.substr(0, dot), 6, Wildcards::allowed);
    std::string extension =
        dot == std::string_view::npos ? std::string() : short_name_part(name.substr(dot + 1), 3, Wildcards::allowed);
    std::string short_form = (base.empty() ? "_" : base) + "~1" + (extension.empty() ? "" : "." + extension);
    return short_form + "|" + std::string(name);
}

class RowsBuilder {
public:
    RowsBuilder(const Project& project, const CompiledScript& script, const std::vector<MediaFolderSource>& media,
                bool x64)
        : m_project(project), m_script(script), m_media(media), m_x64(x64),
          m_product(parse_guid(script.product_code).value_or(GuidBytes{}))
    {
    }

    Result<PackageRows> build()
    {
        for (const CompiledCommand& command : m_script.commands) {
            if (command.disabled || command.media_header.empty())
                continue;
            if (command.name == texts::advertised_shortcut)
                m_advertised_targets.insert(installed_path(parameter(command, 1), {}));
            else if (command.name == texts::advertised_file_type)
                m_advertised_targets.insert(installed_path(parameter(command, 4), {}));
        }
        // Advertised shortcuts come last: they name a file that another
        // command installs, wherever it stands in the script.
        std::vector<std::size_t> advertised;
        for (std::size_t index = 0; index < m_script.commands.size(); ++index) {
            const CompiledCommand& command = m_script.commands[index];
            if (command.disabled || command.media_header.empty())
                continue;
            m_line = index < m_project.commands.size() ? m_project.commands[index].line : 0;
            if (command.name == texts::advertised_shortcut || command.name == texts::advertised_file_type)
                advertised.push_back(index);
            else if (command.name == texts::install_files)
                TRY(install_files(command, index));
            else if (command.name == texts::create_folder)
                TRY(create_folder(command, index));
            else if (command.name == texts::write_registry)
                TRY(write_registry(command, index));
            else if (command.name == texts::create_shortcut)
                TRY(create_shortcut(command, index));
            else if (command.name == texts::set_environment)
                TRY(set_environment(command, index));
            else if (command.name == texts::edit_ini_file)
                TRY(edit_ini_file(command, index));
            else if (command.name == texts::copy_move_local_files)
                TRY(copy_move_local_files(command, index));
            else if (command.name == texts::delete_files)
                TRY(delete_files(command, index));
            else if (command.name == texts::install_service)
                TRY(install_service(command, index));
            else if (command.name == texts::control_service)
                TRY(control_service(command, index));
            else if (command.name == texts::create_file_type)
                TRY(create_file_type(command, index));
            else if (command.name == texts::install_odbc_driver)
                TRY(install_odbc_driver(command, index));
            else if (command.name == texts::create_odbc_dsn)
                TRY(create_odbc_dsn(command, index));
        }
        for (std::size_t index : advertised) {
            m_line = index < m_project.commands.size() ? m_project.commands[index].line : 0;
            const CompiledCommand& command = m_script.commands[index];
            if (command.name == texts::advertised_shortcut)
                TRY(advertised_shortcut(command, index));
            else
                TRY(advertised_file_type(command, index));
        }
        return std::move(m_rows);
    }

private:
    Error fail(std::string_view message) const { return project_error(m_project.display_name, m_line, message); }

    Result<std::string> header(const CompiledCommand& command, std::size_t index) const
    {
        // The engine names its properties after the header as stored, and
        // only upper-case names are public properties.
        if (ascii_upper(command.media_header) != command.media_header) {
            std::size_t line = index < m_project.commands.size() && m_project.commands[index].media_header
                                   ? m_project.commands[index].header_line
                                   : m_line;
            return std::unexpected(project_error(m_project.display_name, line,
                                                 "the media header " + command.media_header +
                                                     " must be upper case: the installer properties named after "
                                                     "it must be public"));
        }
        return command.media_header;
    }

    std::string component_guid(std::string_view name) const
    {
        return format_guid(name_based_guid(m_product, "component:" + std::string(name)));
    }

    int component_attributes(int attributes) const { return attributes | (m_x64 ? component_64bit : 0); }

    void add_component(const std::string& key, const std::string& guid_name, const std::string& directory,
                       int attributes, const std::string& condition, const std::string& key_path)
    {
        m_rows.components.push_back({key, component_guid(guid_name), directory,
                                     std::to_string(component_attributes(attributes)), condition, key_path});
        m_rows.feature_components.push_back({std::string(texts::product_feature), key});
    }

    static std::string parameter(const CompiledCommand& command, std::size_t number)
    {
        return number <= command.parameters.size() ? command.parameters[number - 1] : std::string();
    }

    Result<void> create_folder(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        std::string folder = "P" + h + "_1";
        std::string component = "C" + h;
        m_rows.directories.push_back({folder, "TARGETDIR", "."});
        add_component(component, "folder:" + h, folder, 0, "A" + h, "");
        m_rows.create_folders.push_back({folder, component});
        return {};
    }

    // Parameters: 1 root index (0 to 3), 2 value type, 3 key, 4 value name,
    // 5 value data; 3 to 5 are recorded when they hold a "$".
    Result<void> write_registry(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        auto root = parse_int32(parameter(command, 1));
        if (!root || *root < 0 || *root > highest_registry_root)
            return std::unexpected(fail("Write Registry: the root \"" + parameter(command, 1) +
                                        "\" is not 0 (classes), 1 (current user), 2 (local machine) or 3 (users)"));
        auto field = [&](std::size_t number) {
            std::string text = parameter(command, number);
            if (text.find('$') != std::string::npos)
                return "[P" + h + "_" + std::to_string(number - 2) + "]";
            return literal_formatted(text);
        };
        std::string key = field(3);
        if (key.empty())
            return std::unexpected(fail("Write Registry: the key (parameter 3) is empty"));
        std::string data = parameter(command, 5);
        bool recorded = data.find('$') != std::string::npos;
        std::string value = field(5);
        std::string type = ascii_upper(parameter(command, 2));
        if (type.empty() || type == "REG_SZ") {
            // A leading "#" would make the text a number.
            if (!recorded && !value.empty() && value.front() == '#')
                value.insert(value.begin(), '#');
        } else if (type == "REG_EXPAND_SZ") {
            value = "#%" + value;
        } else if (type == "REG_DWORD") {
            auto number = parse_int64(data);
            if (!recorded && (!number || *number < std::numeric_limits<std::int32_t>::min() ||
                              *number > std::numeric_limits<std::uint32_t>::max()))
                return std::unexpected(fail("Write Registry: \"" + data + "\" is not a 32-bit number"));
            value = "#" + value;
        } else {
            return std::unexpected(fail("Write Registry: the value type \"" + parameter(command, 2) +
                                        "\" is not REG_SZ, REG_EXPAND_SZ or REG_DWORD"));
        }
        std::string row = "R" + h;
        std::string component = "C" + h;
        m_rows.registry.push_back({row, std::to_string(*root), key, field(4), value, component});
        add_component(component, "registry:" + h, "TARGETDIR", component_registry_key_path, "A" + h, row);
        return {};
    }

    // Parameters: 1 the target, 2 the name, 3 the folder, 4 the description,
    // 5 the arguments, 6 the working folder. The engine records 3, 1, 5 and
    // 6 always; it names the folder's key when it translates the name.
    Result<void> create_shortcut(const CompiledCommand& command, std::size_t index)
    {
        return shortcut_rows(command, index, "Create Shortcut", false);
    }

    // The rows of both shortcut commands: the shortcut's folder, created by a
    // component of the command's own whose key path it is (it goes with the
    // shortcut when empty), and the Shortcut row. A plain shortcut names the
    // recorded target; an advertised one the component of the installed file
    // and the feature that starts it.
    Result<void> shortcut_rows(const CompiledCommand& command, std::size_t index, std::string_view command_name,
                               bool advertised)
    {
        std::string h = TRY(header(command, index));
        std::string name = parameter(command, 2);
        if (!is_storable_name(name))
            return std::unexpected(fail(std::string(command_name) + ": the name \"" + name +
                                        "\" cannot be a shortcut's file name (plain ASCII, no \\ / : * ? \" < > |)"));
        std::string target_component;
        if (advertised)
            target_component = TRY(installed_component(command_name, parameter(command, 1)));
        std::string folder = "P" + h + "_1";
        std::string component = "C" + h;
        m_rows.directories.push_back({folder, "TARGETDIR", "."});
        add_component(component, "shortcut:" + h, folder, 0, "A" + h, "");
        m_rows.create_folders.push_back({folder, component});
        // The working folder is named by a property; a folder row of that
        // name makes it one for installers that take it as a folder's key.
        std::string working_folder;
        if (!parameter(command, 6).empty()) {
            working_folder = "P" + h + "_4";
            m_rows.directories.push_back({working_folder, "TARGETDIR", "."});
        }
        std::string arguments = parameter(command, 5).empty() ? "" : "[P" + h + "_3]";
        std::vector<std::string> taken;
        std::string file_name = installer_file_name(name, taken);
        if (advertised)
            m_rows.shortcuts.push_back({"K" + h, folder, file_name, target_component,
                                        advertised_feature(h, target_component), arguments, parameter(command, 4), "",
                                        "", "", "", working_folder});
        else
            m_rows.shortcuts.push_back({"K" + h, folder, file_name, component, "[P" + h + "_2]", arguments,
                                        parameter(command, 4), "", "", "", "", working_folder});
        return {};
    }

    // Parameters: 1 the variable's name; 2 the value, recorded; 3 how:
    // "set" (or empty) replaces the value, "append" and "prepend" add it to a
    // list separated by ";", "remove" deletes the variable; 4 "TRUE" for the
    // machine's environment, else the user's. Removing the product takes a
    // set variable, or the added part, away again.
    Result<void> set_environment(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        std::string name = parameter(command, 1);
        if (name.empty() || name.find_first_of("=[]{}") != std::string::npos || !is_storable_name(name))
            return std::unexpected(fail("Set Environment: the variable name \"" + name +
                                        "\" must be plain ASCII without = [ ] { } \\ / : * ? \" < > |"));
        std::string how = ascii_lower(parameter(command, 3));
        std::string value = "[P" + h + "_1]";
        std::string prefix;
        if (how.empty() || how == "set") {
            prefix = "=-";
        } else if (how == "append") {
            prefix = "=-";
            value = "[~];" + value;
        } else if (how == "prepend") {
            prefix = "=-";
            value = value + ";[~]";
        } else if (how == "remove") {
            prefix = "!";
            value.clear();
        } else {
            return std::unexpected(fail("Set Environment: parameter 3 is \"" + parameter(command, 3) +
                                        "\"; give set (or nothing), append, prepend or remove"));
        }
        std::string system = parameter(command, 4);
        if (equal_ascii_nocase(system, "TRUE") || system == "-1")
            prefix += "*";
        else if (!system.empty() && !equal_ascii_nocase(system, "FALSE") && system != "0")
            return std::unexpected(
                fail("Set Environment: parameter 4 is \"" + system +
                     "\"; give TRUE for the machine's environment, FALSE (or nothing) for the user's"));
        std::string component = "C" + h;
        m_rows.environment.push_back({"E" + h, prefix + name, value, component});
        add_component(component, "environment:" + h, "TARGETDIR", 0, "A" + h, "");
        return {};
    }

    // Parameters: 1 the file's full path (recorded; its name, the part after
    // the last "\", is taken as written); 2 how: "set" (or empty) adds the
    // entry or replaces its value, "create" adds it only where it is missing,
    // "tag" adds the value to a comma-separated list; 3 not read; 4 the
    // section, 5 the key, 6 the value (all recorded). The hand-over action
    // gives the file's folder as the property "P<h>_1D". Removing the product
    // takes the entry away again.
    Result<void> edit_ini_file(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        std::string file = parameter(command, 1);
        std::size_t slash = file.find_last_of("\\/");
        std::string name = slash == std::string::npos ? std::string() : file.substr(slash + 1);
        if (name.empty() || name.find('$') != std::string::npos || !is_storable_name(name))
            return std::unexpected(fail("Edit INI File: \"" + file +
                                        "\" must be a full path whose file name is written out (plain ASCII, "
                                        "no $ reference)"));
        std::string how = ascii_lower(parameter(command, 2));
        std::string action;
        if (how.empty() || how == "set")
            action = "0";
        else if (how == "create")
            action = "1";
        else if (how == "tag")
            action = "3";
        else
            return std::unexpected(fail("Edit INI File: parameter 2 is \"" + parameter(command, 2) +
                                        "\"; give set (or nothing), create or tag"));
        if (parameter(command, 4).empty() || parameter(command, 5).empty())
            return std::unexpected(fail("Edit INI File: the section (parameter 4) and the key (parameter 5) "
                                        "must not be empty"));
        std::string component = "C" + h;
        std::vector<std::string> taken;
        m_rows.ini_files.push_back({"I" + h, installer_file_name(name, taken), "P" + h + "_1D", "[P" + h + "_2]",
                                    "[P" + h + "_3]", "[P" + h + "_4]", action, component});
        add_component(component, "ini:" + h, "TARGETDIR", 0, "A" + h, "");
        return {};
    }

    // The file name part of a full path that the engine records: it is
    // written into the row as it stands, so it must be written out.
    Result<std::string> written_file_name(std::string_view command_name, const std::string& path,
                                          Wildcards wildcards) const
    {
        std::size_t slash = path.find_last_of("\\/");
        std::string name = slash == std::string::npos ? std::string() : path.substr(slash + 1);
        if (name.empty() || name.find('$') != std::string::npos || !is_storable_name(name, wildcards))
            return std::unexpected(
                fail(std::string(command_name) + ": \"" + path +
                     "\" must be a full path whose file name is written out (plain ASCII, no $ "
                     "reference" +
                     (wildcards == Wildcards::allowed ? "; * and ? may stand for any characters" : "") + ")"));
        return name;
    }

    Result<bool> flag(std::string_view command_name, const CompiledCommand& command, std::size_t number,
                      bool empty_means) const
    {
        std::optional<bool> value = boolean_parameter(parameter(command, number), empty_means);
        if (!value)
            return std::unexpected(fail(std::string(command_name) + ": parameter " + std::to_string(number) + " is \"" +
                                        parameter(command, number) + "\"; give TRUE or FALSE"));
        return *value;
    }

    // A component of the command's own that carries its rows; it is
    // installed only when the engine recorded the command.
    std::string command_component(const std::string& h, std::string_view kind)
    {
        std::string component = "C" + h;
        add_component(component, std::string(kind) + ":" + h, "TARGETDIR", 0, "A" + h, "");
        return component;
    }

    // Parameters: 1 the source, a full path (recorded) whose file name may
    // hold wildcards; 2 the new name, empty to keep the source's; 3 the
    // destination folder (recorded); 4 TRUE to move, FALSE (or empty) to
    // copy. A copy with a known name goes again when the product is removed;
    // a moved file is the user's own and stays.
    Result<void> copy_move_local_files(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Copy/Move Local Files";
        std::string h = TRY(header(command, index));
        std::string source = parameter(command, 1);
        std::size_t slash = source.find_last_of("\\/");
        std::string source_name = slash == std::string::npos ? std::string() : source.substr(slash + 1);
        bool pattern = has_wildcards(source_name);
        if (pattern)
            source_name = TRY(written_file_name(name, source, Wildcards::allowed));
        else if (slash == std::string::npos || source_name.empty())
            return std::unexpected(fail("Copy/Move Local Files: the source \"" + source + "\" must be a full path"));
        std::string new_name = parameter(command, 2);
        if (!new_name.empty() && (new_name.find('$') != std::string::npos || !is_storable_name(new_name)))
            return std::unexpected(fail("Copy/Move Local Files: the new name \"" + new_name +
                                        "\" must be a file name written out (plain ASCII, no \\ / : * ? \" < > |)"));
        // Windows Installer gives every matching file its own name, whatever
        // the new name says: a new name for a pattern is a mistake.
        if (pattern && !new_name.empty())
            return std::unexpected(fail("Copy/Move Local Files: files matching \"" + source_name +
                                        "\" keep their names; leave the new name (parameter 2) empty"));
        if (parameter(command, 3).empty())
            return std::unexpected(fail("Copy/Move Local Files: the destination folder (parameter 3) is empty"));
        bool move = TRY(flag(name, command, 4, false));

        std::string component = command_component(h, "move");
        std::vector<std::string> taken;
        std::string destination_name = new_name.empty() ? "" : installer_file_name(new_name, taken);
        // Without a pattern the recorded path names the file itself, whatever
        // references its name holds; a pattern is looked for in its folder.
        m_rows.move_files.push_back({"M" + h, component, pattern ? source_name : "", destination_name,
                                     pattern ? "P" + h + "_1D" : "P" + h + "_1", "P" + h + "_2", move ? "1" : "0"});
        std::string copied_name = !new_name.empty() ? new_name : source_name;
        if (!move && !pattern && !copied_name.empty() && copied_name.find('$') == std::string::npos &&
            is_storable_name(copied_name)) {
            std::vector<std::string> removal_taken;
            m_rows.remove_files.push_back(
                {"X" + h, component, installer_file_name(copied_name, removal_taken), "P" + h + "_2", "2"});
        }
        return {};
    }

    // Parameters: 1 the files, a full path (recorded) whose file name is
    // written out and may hold wildcards; 2 not read; 3 TRUE to delete them
    // when the product is installed; 4 TRUE to delete them when it is
    // removed. At least one of 3 and 4 is true.
    Result<void> delete_files(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Delete Files";
        std::string h = TRY(header(command, index));
        std::string files = TRY(written_file_name(name, parameter(command, 1), Wildcards::allowed));
        bool on_install = TRY(flag(name, command, 3, false));
        bool on_removal = TRY(flag(name, command, 4, false));
        if (!on_install && !on_removal)
            return std::unexpected(fail("Delete Files: at least one delete mode must be selected (parameter 3 for "
                                        "the installation, 4 for the removal)"));
        std::string mode = std::to_string((on_install ? 1 : 0) | (on_removal ? 2 : 0));
        std::string component = command_component(h, "delete");
        m_rows.remove_files.push_back({"X" + h, component, wildcard_file_name(files), "P" + h + "_1D", mode});
        return {};
    }

    // Service start types and error controls by the words of the project.
    static std::optional<std::string> start_type(std::string_view text)
    {
        if (equal_ascii_nocase(text, "auto"))
            return "2";
        if (text.empty() || equal_ascii_nocase(text, "demand"))
            return "3";
        if (equal_ascii_nocase(text, "disabled"))
            return "4";
        return std::nullopt;
    }

    static std::optional<int> error_control(std::string_view text)
    {
        if (equal_ascii_nocase(text, "ignore"))
            return 0;
        if (text.empty() || equal_ascii_nocase(text, "normal"))
            return 1;
        if (equal_ascii_nocase(text, "critical"))
            return 3;
        return std::nullopt;
    }

    // A recorded value that the row reads, or nothing when the author left
    // the parameter empty (an empty text would not be a null to the service
    // manager: an empty account is not LocalSystem).
    static std::string recorded_or_null(const CompiledCommand& command, std::size_t number, const std::string& h, int n)
    {
        return parameter(command, number).empty() ? "" : "[P" + h + "_" + std::to_string(n) + "]";
    }

    // Parameters: 1 the service's program, relative to the command's media
    // folder; 2 its target folder (recorded as _1); 3 the start type (auto,
    // demand or disabled); 4 the service's name (_2); 5 its display name
    // (_3); 6 its description (_9); 7 own or shared process; 8 the error
    // control (ignore, normal or critical); 9 the load order group (_4);
    // 10 the services it depends on, separated by "~", written out; 11 TRUE
    // to start it when installed; 12 FALSE not to wait for its start and
    // stop; 13 the account (_6), 14 its password (_7), 15 the arguments
    // (_8). The service is stopped and deleted when the product is removed.
    Result<void> install_service(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Install Service";
        std::string h = TRY(header(command, index));
        const MediaFolderSource* media = media_source(command);
        if (!media)
            return std::unexpected(fail("Install Service needs @media-folder naming one of the media-folder "
                                        "folders of [setup] (\"" +
                                        command.media_folder + "\" is none)"));
        std::vector<std::string> parts = TRY(relative_parts(parameter(command, 1), name));
        fs::path source = media->folder;
        for (const std::string& part : parts)
            source /= part;
        std::error_code code;
        if (parts.empty() || !fs::is_regular_file(source, code))
            return std::unexpected(fail("Install Service: the program \"" + parameter(command, 1) +
                                        "\" is not a file in the media folder " + media->folder.string()));
        if (parameter(command, 2).empty() || parameter(command, 4).empty())
            return std::unexpected(
                fail("Install Service: the target folder (parameter 2) and the service's name (4) must be given"));
        std::optional<std::string> start = start_type(parameter(command, 3));
        if (!start)
            return std::unexpected(fail("Install Service: the start type \"" + parameter(command, 3) +
                                        "\" is not auto, demand (or nothing) or disabled"));
        std::string process = parameter(command, 7);
        std::string service_type;
        if (process.empty() || equal_ascii_nocase(process, "own"))
            service_type = "16";
        else if (equal_ascii_nocase(process, "shared"))
            service_type = "32";
        else
            return std::unexpected(
                fail("Install Service: parameter 7 is \"" + process + "\"; give own (or nothing) or shared"));
        std::optional<int> errors = error_control(parameter(command, 8));
        if (!errors)
            return std::unexpected(fail("Install Service: the error control \"" + parameter(command, 8) +
                                        "\" is not ignore, normal (or nothing) or critical"));
        // A service that cannot be created fails the installation.
        constexpr int error_control_vital = 0x8000;
        std::string dependencies = parameter(command, 10);
        if (dependencies.find_first_of("$[]{}") != std::string::npos)
            return std::unexpected(fail("Install Service: the dependencies \"" + dependencies +
                                        "\" must be service names written out, separated by ~"));
        if (!dependencies.empty())
            dependencies = replace_all(dependencies, "~", "[~]") + "[~][~]";
        bool start_now = TRY(flag(name, command, 11, false));
        bool wait = TRY(flag(name, command, 12, true));

        // The program is the component's key path: the service is created
        // for it where it is installed.
        parts.pop_back();
        std::string target = TRY(source_chain(h, *media, parts));
        std::string file = "F" + h + "_1";
        std::string component = "C" + h;
        add_component(component, "service:" + h, target, 0, "A" + h, file);
        TRY(add_file(file, component, source, source.filename().string()));
        m_installed[installed_path(parameter(command, 2), source.filename().string())] = component;

        m_rows.service_installs.push_back(
            {"V" + h, "[P" + h + "_2]", recorded_or_null(command, 5, h, 3), service_type, *start,
             std::to_string(*errors | error_control_vital), recorded_or_null(command, 9, h, 4), dependencies,
             recorded_or_null(command, 13, h, 6), recorded_or_null(command, 14, h, 7),
             recorded_or_null(command, 15, h, 8), component, recorded_or_null(command, 6, h, 9)});
        if (!parameter(command, 14).empty())
            m_rows.hidden_properties.push_back("P" + h + "_7");
        // Stopped before its program is replaced, stopped and deleted with
        // the product, started when the author asks for it.
        int events = service_stop_on_install | service_stop_on_removal | service_delete_on_removal;
        if (start_now)
            events |= service_start_on_install;
        m_rows.service_controls.push_back(
            {"W" + h, "[P" + h + "_2]", std::to_string(events), "", wait ? "1" : "0", component});
        return {};
    }

    // Service control events of the ServiceControl table.
    static constexpr int service_start_on_install = 0x1;
    static constexpr int service_stop_on_install = 0x2;
    static constexpr int service_delete_on_install = 0x8;
    static constexpr int service_start_on_removal = 0x10;
    static constexpr int service_stop_on_removal = 0x20;
    static constexpr int service_delete_on_removal = 0x80;

    // The events named by a list of the words start, stop and delete,
    // separated by blanks or commas, as the bits given for each word.
    Result<int> service_events(const CompiledCommand& command, std::size_t number, int start, int stop,
                               int remove) const
    {
        int events = 0;
        std::string word;
        std::string text = parameter(command, number) + " ";
        for (char c : text) {
            if (c != ' ' && c != ',') {
                word.push_back(c);
                continue;
            }
            if (word.empty())
                continue;
            if (equal_ascii_nocase(word, "start"))
                events |= start;
            else if (equal_ascii_nocase(word, "stop"))
                events |= stop;
            else if (equal_ascii_nocase(word, "delete"))
                events |= remove;
            else
                return std::unexpected(fail("Control Service: parameter " + std::to_string(number) + " names \"" +
                                            word + "\"; give start, stop or delete"));
            word.clear();
        }
        return events;
    }

    // Parameters: 1 the service's name (recorded); 2 the argument it is
    // started with (recorded); 3 what to do when the product is installed,
    // 4 when it is removed: start, stop and delete, separated by blanks or
    // commas; 5 FALSE not to wait for the service's start or stop.
    Result<void> control_service(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        if (parameter(command, 1).empty())
            return std::unexpected(fail("Control Service: the service's name (parameter 1) is empty"));
        int events = TRY(service_events(command, 3, service_start_on_install, service_stop_on_install,
                                        service_delete_on_install)) |
                     TRY(service_events(command, 4, service_start_on_removal, service_stop_on_removal,
                                        service_delete_on_removal));
        if (events == 0)
            return std::unexpected(fail("Control Service: parameters 3 and 4 name nothing to do (start, stop or "
                                        "delete, when installed and when removed)"));
        bool wait = TRY(flag("Control Service", command, 5, true));
        std::string component = command_component(h, "service-control");
        m_rows.service_controls.push_back({"W" + h, "[P" + h + "_1]", std::to_string(events),
                                           recorded_or_null(command, 2, h, 2), wait ? "1" : "0", component});
        return {};
    }

    // Parameters, all recorded: 1 the file type's name (its ProgId); 2 the
    // extension, with its dot; 3 the description; 4 the program that opens
    // the files; 5 the icon (a file, optionally "," and an index). Registry
    // values below HKEY_CLASSES_ROOT (the user's classes in a per-user
    // installation), taken away with the product.
    Result<void> create_file_type(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        std::string prog_id = parameter(command, 1);
        std::string extension = parameter(command, 2);
        if (prog_id.empty() || prog_id.find_first_of("\\[]{}") != std::string::npos)
            return std::unexpected(fail("Create File Type: the file type's name \"" + prog_id +
                                        "\" must not be empty nor hold \\ [ ] { }"));
        if (extension.size() < 2 || (extension.find('$') == std::string::npos && extension.front() != '.') ||
            extension.find_first_of("\\[]{}") != std::string::npos)
            return std::unexpected(fail("Create File Type: the extension \"" + extension +
                                        "\" must be written with its dot (.txt), without \\ [ ] { }"));
        if (parameter(command, 4).empty())
            return std::unexpected(fail("Create File Type: the program that opens the files (parameter 4) is "
                                        "empty"));
        std::string component = command_component(h, "file-type");
        std::string classes = "0"; // HKEY_CLASSES_ROOT
        int number = 0;
        auto value = [&](std::string key, std::string data) {
            std::string row = "R" + h + "_" + std::to_string(++number);
            m_rows.registry.push_back({row, classes, std::move(key), "", std::move(data), component});
        };
        std::string type = "[P" + h + "_1]";
        value("[P" + h + "_2]", type);
        if (!parameter(command, 3).empty())
            value(type, "[P" + h + "_3]");
        // The program quoted, so that a folder with a blank cannot name
        // another program.
        value(type + "\\shell\\open\\command", "\"[P" + h + "_4]\" \"%1\"");
        if (!parameter(command, 5).empty())
            value(type + "\\DefaultIcon", "[P" + h + "_5]");
        return {};
    }

    // The component of a file that a command installs, by its path as the
    // script writes it.
    Result<std::string> installed_component(std::string_view command_name, const std::string& path) const
    {
        auto found = m_installed.find(installed_path(path, {}));
        if (found == m_installed.end() || path.empty())
            return std::unexpected(fail(std::string(command_name) + ": \"" + path +
                                        "\" is no file that an Install Files or Install Service command installs "
                                        "(write it as that command's target folder, \\ and the file's path)"));
        return found->second;
    }

    // An advertised command's own feature below the product's: hidden,
    // holding the target's component, and switched off unless the engine
    // recorded the command.
    std::string advertised_feature(const std::string& h, const std::string& target_component)
    {
        std::string feature = "T" + h;
        m_rows.features.push_back({feature, std::string(texts::product_feature), feature, "", "0", "1", "", "0"});
        m_rows.conditions.push_back({feature, "0", "NOT A" + h});
        m_rows.feature_components.push_back({feature, target_component});
        return feature;
    }

    // Parameters: 1 the file type's name, its ProgId (the engine gives it
    // and 3 their translations); 2 the extension with its dot; 3 the
    // description; 4 the program that opens the files, a file that a command
    // installs, written as for "Advertised Shortcut". Nothing is recorded
    // but the command itself: the texts are the authored ones.
    Result<void> advertised_file_type(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Advertised File Type";
        std::string h = TRY(header(command, index));
        std::string prog_id = parameter(command, 1);
        std::string extension = parameter(command, 2);
        if (prog_id.empty() || prog_id.find_first_of("\\[]{}$") != std::string::npos || prog_id.size() > 255)
            return std::unexpected(fail("Advertised File Type: the file type's name \"" + prog_id +
                                        "\" must be written out, without \\ [ ] { }"));
        if (extension.size() < 2 || extension.front() != '.' || !is_storable_name(extension.substr(1)) ||
            extension.find_first_of("$[]{} .", 1) != std::string::npos)
            return std::unexpected(fail("Advertised File Type: the extension \"" + extension +
                                        "\" must be written out with its dot (.txt)"));
        std::string target = TRY(installed_component(name, parameter(command, 4)));
        std::string bare = extension.substr(1);
        for (const std::vector<std::string>& row : m_rows.prog_ids)
            if (equal_ascii_nocase(row[0], prog_id))
                return std::unexpected(
                    fail("Advertised File Type: the file type \"" + prog_id + "\" is registered twice"));
        for (const std::vector<std::string>& row : m_rows.extensions)
            if (equal_ascii_nocase(row[0], bare))
                return std::unexpected(
                    fail("Advertised File Type: the extension \"" + extension + "\" is registered twice"));
        std::string feature = advertised_feature(h, target);
        m_rows.prog_ids.push_back({prog_id, "", "", parameter(command, 3), "", ""});
        m_rows.extensions.push_back({bare, target, prog_id, "", feature});
        m_rows.verbs.push_back({bare, "open", "", "", "\"%1\""});
        return {};
    }

    // Parameters as "Create Shortcut"; parameter 1 is a file that an
    // "Install Files" or "Install Service" command installs, written as that
    // command's target folder parameter, "\" and the file's path below it.
    // The shortcut starts the product's feature (Windows Installer repairs
    // the file first when it is missing); a feature of the shortcut's own,
    // switched off unless the engine recorded the command, carries it.
    Result<void> advertised_shortcut(const CompiledCommand& command, std::size_t index)
    {
        return shortcut_rows(command, index, "Advertised Shortcut", true);
    }

    // A file of the command's media folder, given by parameter number,
    // installed into the folder "P<h>_1" as the file numbered n of the
    // component: its parts below the media folder and its path there.
    struct MediaFile {
        std::vector<std::string> parts;
        fs::path source;
    };

    Result<MediaFile> media_file(std::string_view command_name, const CompiledCommand& command,
                                 std::size_t number) const
    {
        const MediaFolderSource* media = media_source(command);
        if (!media)
            return std::unexpected(fail(std::string(command_name) +
                                        " needs @media-folder naming one of the media-folder folders of [setup] (\"" +
                                        command.media_folder + "\" is none)"));
        MediaFile file{TRY(relative_parts(parameter(command, number), command_name)), media->folder};
        for (const std::string& part : file.parts)
            file.source /= part;
        std::error_code code;
        if (file.parts.empty() || !fs::is_regular_file(file.source, code))
            return std::unexpected(fail(std::string(command_name) + ": \"" + parameter(command, number) +
                                        "\" is not a file in the media folder " + media->folder.string()));
        return file;
    }

    // Parameters: 1 the driver library, relative to the command's media
    // folder; 2 the driver's name (its description in the ODBC
    // administrator); 3 its setup library beside it, empty when the driver
    // is its own; 4 the folder both are installed to (recorded).
    Result<void> install_odbc_driver(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Install ODBC Driver";
        std::string h = TRY(header(command, index));
        MediaFile driver = TRY(media_file(name, command, 1));
        std::optional<MediaFile> setup;
        if (!parameter(command, 3).empty())
            setup = TRY(media_file(name, command, 3));
        std::string description = parameter(command, 2);
        if (description.empty() || description.find_first_of("[]{}=") != std::string::npos)
            return std::unexpected(fail("Install ODBC Driver: the driver's name \"" + description +
                                        "\" must not be empty nor hold [ ] { } ="));
        std::vector<std::string> folder = driver.parts;
        folder.pop_back();
        if (setup && (setup->parts.size() != driver.parts.size() ||
                      !std::equal(folder.begin(), folder.end(), setup->parts.begin(),
                                  [](const auto& a, const auto& b) { return equal_ascii_nocase(a, b); })))
            return std::unexpected(fail("Install ODBC Driver: the setup library must lie beside the driver"));
        const MediaFolderSource& media = *media_source(command);
        std::string target = TRY(source_chain(h, media, folder));
        std::string component = "C" + h;
        std::string driver_file = "F" + h + "_1";
        std::vector<std::string> taken;
        add_component(component, "odbc-driver:" + h, target, 0, "A" + h, driver_file);
        TRY(add_file(driver_file, component, driver.source, installer_file_name(driver.parts.back(), taken)));
        std::string setup_file;
        if (setup && !equal_ascii_nocase(setup->parts.back(), driver.parts.back())) {
            setup_file = "F" + h + "_2";
            TRY(add_file(setup_file, component, setup->source, installer_file_name(setup->parts.back(), taken)));
        } else if (setup) {
            setup_file = driver_file;
        }
        m_rows.odbc_drivers.push_back({"O" + h, component, description, driver_file, setup_file});
        return {};
    }

    // Parameters: 1 the data source's name; 2 the name of the driver it
    // uses; 3 TRUE for a data source of the machine, FALSE (or empty) for
    // the user's. Nothing but the command is recorded.
    Result<void> create_odbc_dsn(const CompiledCommand& command, std::size_t index)
    {
        constexpr std::string_view name = "Create ODBC DSN";
        std::string h = TRY(header(command, index));
        std::string source = parameter(command, 1);
        std::string driver = parameter(command, 2);
        if (source.empty() || driver.empty() || source.find_first_of("[]{}=;$") != std::string::npos ||
            driver.find_first_of("[]{}=$") != std::string::npos)
            return std::unexpected(fail("Create ODBC DSN: the data source's name and its driver's (parameters 1 "
                                        "and 2) must be written out, without [ ] { } = ; $"));
        bool machine = TRY(flag(name, command, 3, false));
        std::string component = command_component(h, "odbc-source");
        m_rows.odbc_data_sources.push_back({"N" + h, component, source, driver, machine ? "0" : "1"});
        return {};
    }

    const MediaFolderSource* media_source(const CompiledCommand& command) const
    {
        std::string name = command.media_folder;
        while (!name.empty() && (name.back() == '\\' || name.back() == '/'))
            name.pop_back();
        for (const MediaFolderSource& source : m_media)
            if (!name.empty() && equal_ascii_nocase(source.name, name))
                return &source;
        return nullptr;
    }

    // Parameter 1 as folder names below the media folder; empty or "*" is
    // the whole folder.
    Result<std::vector<std::string>> relative_parts(const std::string& text, std::string_view command_name) const
    {
        std::vector<std::string> parts;
        std::string part;
        std::string normal = replace_all(text, "/", "\\") + "\\";
        for (char c : normal) {
            if (c != '\\') {
                part.push_back(c);
                continue;
            }
            if (!part.empty() && part != ".")
                parts.push_back(part);
            part.clear();
        }
        if (!parts.empty() && parts.back() == "*")
            parts.pop_back();
        for (const std::string& name : parts)
            if (!is_storable_name(name))
                return std::unexpected(fail(std::string(command_name) + ": \"" + text +
                                            "\" must be a path inside the media folder, of ASCII names without "
                                            "wildcards"));
        return parts;
    }

    struct FolderEntries {
        std::vector<std::string> files;
        std::vector<std::string> folders;
    };

    Result<FolderEntries> list_folder(const fs::path& folder) const
    {
        FolderEntries entries;
        std::error_code code;
        for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) {
            std::string name = it->path().filename().string();
            if (!is_storable_name(name))
                return std::unexpected(fail("Install Files: the name \"" + name + "\" in " + folder.string() +
                                            " cannot go into the installer package (plain ASCII names only)"));
            if (it->is_directory(code))
                entries.folders.push_back(name);
            else
                entries.files.push_back(name);
        }
        if (code)
            return std::unexpected(fail("Install Files: cannot list " + folder.string() + ": " + code.message()));
        std::sort(entries.files.begin(), entries.files.end());
        std::sort(entries.folders.begin(), entries.folders.end());
        return entries;
    }

    // The source side of a command's files: a chain of folders that keep the
    // target where it is and walk from SourceDir (the data folder) through
    // the media folder and parts to the files; then the target folder keyed
    // "P<h>_1", which the recorded property redirects. Gives that key.
    Result<std::string> source_chain(const std::string& h, const MediaFolderSource& media,
                                     const std::vector<std::string>& parts)
    {
        std::string parent = "TARGETDIR";
        std::vector<std::string> source_names = {media.name};
        source_names.insert(source_names.end(), parts.begin(), parts.end());
        for (std::size_t step = 0; step < source_names.size(); ++step) {
            std::vector<std::string> taken;
            std::string key = "S" + h + "_" + std::to_string(step);
            m_rows.directories.push_back({key, parent, ".:" + installer_file_name(source_names[step], taken)});
            parent = key;
        }
        std::string target = "P" + h + "_1";
        m_rows.directories.push_back({target, parent, "."});
        return target;
    }

    // The File row of one file from the media, with its size.
    Result<void> add_file(const std::string& file, const std::string& component, const fs::path& source,
                          const std::string& file_name)
    {
        std::error_code code;
        std::uintmax_t size = fs::file_size(source, code);
        if (code)
            return std::unexpected(fail("cannot read " + source.string()));
        if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()))
            return std::unexpected(fail(source.string() + " is 2 GB or larger; the package cannot hold its size"));
        std::string version = TRY(file_version(source));
        m_rows.files.push_back({file, component, file_name, std::to_string(size), version, "",
                                std::string(file_noncompressed), std::to_string(++m_rows.last_file_sequence)});
        return {};
    }

    // Whether the file is a program or a library (an executable image).
    Result<bool> is_program(const fs::path& source) const
    {
        std::ifstream in(source, std::ios::binary);
        if (!in)
            return std::unexpected(fail("cannot read " + source.string()));
        return starts_as_program(in);
    }

    // The version of a program or library that carries a version resource,
    // so that Windows Installer replaces an installed copy only by a newer
    // one; empty for every other file, which it replaces by date.
    Result<std::string> file_version(const fs::path& source) const
    {
        std::ifstream in(source, std::ios::binary);
        if (!starts_as_program(in))
            return std::string();
        in.seekg(0);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            return std::unexpected(fail("cannot read " + source.string()));
        return pe_file_version(std::as_bytes(std::span(bytes.data(), bytes.size()))).value_or("");
    }

    // The rows of one folder below the target: its files, and its subfolders
    // when recursing. relative names the folder below the target for the
    // component identities.
    Result<void> add_folder(const std::string& h, const std::string& directory, const fs::path& source,
                            const std::string& relative, const std::vector<std::string>& only_files, bool recurse)
    {
        FolderEntries entries;
        if (only_files.empty())
            entries = TRY(list_folder(source));
        else
            entries.files = only_files;
        std::vector<std::string> taken;
        // Programs and libraries, and the files an advertised command starts,
        // are each the key path of a component of their own. The other files
        // of the folder share one component: Windows Installer then registers
        // a component per folder instead of per file, which is most of its
        // work for many small files. Its identity comes from the names it
        // holds, so a build whose folder holds other files gives it a new one.
        std::vector<bool> own(entries.files.size());
        std::string shared_names;
        for (std::size_t i = 0; i < entries.files.size(); ++i) {
            const std::string& name = entries.files[i];
            own[i] = TRY(is_program(source / name)) ||
                     m_advertised_targets.contains(installed_path(m_target_text, relative + name));
            if (!own[i])
                shared_names += "|" + ascii_lower(name);
        }
        std::string shared;
        for (std::size_t i = 0; i < entries.files.size(); ++i) {
            const std::string& name = entries.files[i];
            std::string number = std::to_string(++m_item);
            std::string file = "F" + h + "_" + number;
            std::string component = own[i] ? "C" + h + "_" + number : shared;
            if (own[i])
                add_component(component, "file:" + h + ":" + ascii_lower(relative + name), directory, 0, "A" + h, file);
            else if (shared.empty()) {
                component = shared = "C" + h + "_" + number;
                add_component(component, "files:" + h + ":" + ascii_lower(relative) + shared_names, directory, 0,
                              "A" + h, file);
            }
            TRY(add_file(file, component, source / name, installer_file_name(name, taken)));
            m_installed[installed_path(m_target_text, relative + name)] = component;
        }
        if (entries.files.empty()) {
            // An empty folder is created by a component of its own.
            std::string component = "C" + h + "_" + std::to_string(++m_item);
            add_component(component, "folder:" + h + ":" + ascii_lower(relative), directory, 0, "A" + h, "");
            m_rows.create_folders.push_back({directory, component});
        }
        if (!recurse)
            return {};
        for (const std::string& name : entries.folders) {
            std::string child = "D" + h + "_" + std::to_string(++m_item);
            m_rows.directories.push_back({child, directory, installer_file_name(name, taken)});
            TRY(add_folder(h, child, source / name, relative + name + "\\", {}, true));
        }
        return {};
    }

    // Parameters: 1 what to install, relative to the media folder (a file, a
    // folder, or empty or "*" for the whole media folder); 2 "FALSE" to leave
    // out the subfolders, else empty or "TRUE"; 3 the target folder, recorded.
    Result<void> install_files(const CompiledCommand& command, std::size_t index)
    {
        std::string h = TRY(header(command, index));
        const MediaFolderSource* media = media_source(command);
        if (!media)
            return std::unexpected(fail("Install Files needs @media-folder naming one of the media-folder "
                                        "folders of [setup] (\"" +
                                        command.media_folder + "\" is none)"));
        std::string subfolders = parameter(command, 2);
        bool recurse = true;
        if (equal_ascii_nocase(subfolders, "FALSE") || subfolders == "0")
            recurse = false;
        else if (!subfolders.empty() && !equal_ascii_nocase(subfolders, "TRUE") && subfolders != "-1")
            return std::unexpected(fail("Install Files: parameter 2 is \"" + subfolders +
                                        "\"; give TRUE (or nothing) to install the subfolders too, FALSE to leave "
                                        "them out"));

        m_target_text = parameter(command, 3);
        std::vector<std::string> parts = TRY(relative_parts(parameter(command, 1), texts::install_files));
        fs::path source = media->folder;
        for (const std::string& part : parts)
            source /= part;
        std::error_code code;
        std::vector<std::string> only_files;
        if (fs::is_regular_file(source, code)) {
            only_files.push_back(parts.back());
            parts.pop_back();
            source = source.parent_path();
        } else if (!fs::is_directory(source, code)) {
            return std::unexpected(fail("Install Files: \"" + parameter(command, 1) + "\" is not in the media folder " +
                                        media->folder.string()));
        }

        std::string target = TRY(source_chain(h, *media, parts));
        return add_folder(h, target, source, "", only_files, recurse);
    }

    const Project& m_project;
    const CompiledScript& m_script;
    const std::vector<MediaFolderSource>& m_media;
    bool m_x64;
    GuidBytes m_product;
    std::size_t m_line = 0;
    std::size_t m_item = 0; // numbers the keys of one command's files, folders and components
    // The files the commands install, by the path they get as the script
    // writes it (the target folder's parameter, "\", the path below it), in
    // lower case: the component whose key path each is.
    std::map<std::string, std::string> m_installed;
    std::set<std::string> m_advertised_targets; // installed paths an advertised command names
    std::string m_target_text; // the target folder parameter of the "Install Files" being read
    PackageRows m_rows;
};

} // namespace

std::string installer_file_name(std::string_view name, std::vector<std::string>& taken)
{
    if (is_short_name(name)) {
        taken.push_back(ascii_upper(name));
        return std::string(name);
    }
    std::size_t dot = name.rfind('.');
    std::string base = short_name_part(name.substr(0, dot), 6);
    std::string extension = dot == std::string_view::npos ? std::string() : short_name_part(name.substr(dot + 1), 3);
    if (base.empty())
        base = "_";
    for (std::size_t number = 1;; ++number) {
        std::string suffix = "~" + std::to_string(number);
        std::string candidate = base.substr(0, 8 - std::min<std::size_t>(suffix.size(), 7)) + suffix;
        if (!extension.empty())
            candidate += "." + extension;
        if (std::find(taken.begin(), taken.end(), candidate) == taken.end()) {
            taken.push_back(candidate);
            return candidate + "|" + std::string(name);
        }
    }
}

std::string literal_formatted(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '[')
            escaped += "[\\[]";
        else if (c == ']')
            escaped += "[\\]]";
        else
            escaped.push_back(c);
    }
    return escaped;
}

Result<PackageRows> make_package_rows(const Project& project, const CompiledScript& script,
                                      const std::vector<MediaFolderSource>& media, bool x64)
{
    return RowsBuilder(project, script, media, x64).build();
}

} // namespace quillon::qvoc
