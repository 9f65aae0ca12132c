#include "qvoc/package_rows.h"

#include "base/strings.h"
#include "qvoc/guid.h"
#include "qvoc/qvoc_texts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

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

bool is_short_name_character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool is_short_name(std::string_view name)
{
    std::size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 || (dot != std::string_view::npos && extension.empty()))
        return false;
    return std::all_of(base.begin(), base.end(), is_short_name_character) &&
           std::all_of(extension.begin(), extension.end(), is_short_name_character);
}

std::string short_name_part(std::string_view text, std::size_t length)
{
    std::string part;
    for (char c : text)
        if (is_short_name_character(c) && part.size() < length)
            part.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    return part;
}

// Names Windows cannot store, and names that are not plain ASCII: the
// package's texts are 8-bit in its code page, and the building machine's
// file names are not.
bool is_storable_name(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7F && std::string_view("\\/:*?\"<>|").find(c) == std::string_view::npos;
    });
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
        for (std::size_t index = 0; index < m_script.commands.size(); ++index) {
            const CompiledCommand& command = m_script.commands[index];
            if (command.disabled || command.media_header.empty())
                continue;
            m_line = index < m_project.commands.size() ? m_project.commands[index].line : 0;
            if (command.name == texts::install_files)
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
        std::string h = TRY(header(command, index));
        std::string name = parameter(command, 2);
        if (!is_storable_name(name))
            return std::unexpected(fail("Create Shortcut: the name \"" + name +
                                        "\" cannot be a shortcut's file name (plain ASCII, no \\ / : * ? \" < > |)"));
        std::string folder = "P" + h + "_1";
        std::string component = "C" + h;
        m_rows.directories.push_back({folder, "TARGETDIR", "."});
        // The folder is the key path, and goes with the shortcut when empty.
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
        m_rows.shortcuts.push_back({"K" + h, folder, installer_file_name(name, taken), component, "[P" + h + "_2]",
                                    arguments, parameter(command, 4), "", "", "", "", working_folder});
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
    Result<std::vector<std::string>> relative_parts(const std::string& text) const
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
                return std::unexpected(fail("Install Files: \"" + text +
                                            "\" must be a path inside the media folder, of ASCII names without "
                                            "wildcards (empty or * for the whole folder)"));
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
        for (const std::string& name : entries.files) {
            std::error_code code;
            std::uintmax_t size = fs::file_size(source / name, code);
            if (code)
                return std::unexpected(fail("Install Files: cannot read " + (source / name).string()));
            if (size > static_cast<std::uintmax_t>(std::numeric_limits<std::int32_t>::max()))
                return std::unexpected(fail("Install Files: " + (source / name).string() +
                                            " is 2 GB or larger; the package cannot "
                                            "hold its size"));
            std::string number = std::to_string(++m_item);
            std::string file = "F" + h + "_" + number;
            std::string component = "C" + h + "_" + number;
            add_component(component, "file:" + h + ":" + ascii_lower(relative + name), directory, 0, "A" + h, file);
            m_rows.files.push_back({file, component, installer_file_name(name, taken), std::to_string(size), "", "",
                                    std::string(file_noncompressed), std::to_string(++m_rows.last_file_sequence)});
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

        std::vector<std::string> parts = TRY(relative_parts(parameter(command, 1)));
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

        // The source side: a chain of folders that keep the target where it
        // is and walk from SourceDir (the data folder) to the files.
        std::string parent = "TARGETDIR";
        std::vector<std::string> source_names = {media->name};
        source_names.insert(source_names.end(), parts.begin(), parts.end());
        for (std::size_t step = 0; step < source_names.size(); ++step) {
            std::vector<std::string> taken;
            std::string key = "S" + h + "_" + std::to_string(step);
            m_rows.directories.push_back({key, parent, ".:" + installer_file_name(source_names[step], taken)});
            parent = key;
        }
        std::string target = "P" + h + "_1";
        m_rows.directories.push_back({target, parent, "."});
        return add_folder(h, target, source, "", only_files, recurse);
    }

    const Project& m_project;
    const CompiledScript& m_script;
    const std::vector<MediaFolderSource>& m_media;
    bool m_x64;
    GuidBytes m_product;
    std::size_t m_line = 0;
    std::size_t m_item = 0; // numbers the keys of one command's files, folders and components
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
