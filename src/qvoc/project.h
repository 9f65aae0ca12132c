// A setup project as its author wrote it: the text form described in
// docs/project-format.md, read into values that still know their lines so
// that every later error can point back into the project.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::qvoc {

// A [setup] value; line is set when the project gives the key.
struct Setting {
    std::string value;
    std::optional<std::size_t> line; // 0-based
};

struct ProjectCommand {
    std::string name;
    std::size_t line = 0; // 0-based line of the command's name
    std::vector<std::string> parameters;
    std::vector<std::size_t> parameter_lines;
    std::optional<std::string> identifier; // @id
    std::size_t identifier_line = 0;
    bool disabled = false;
    std::string media_folder;
    bool media_folder_given = false;
    std::optional<std::string> media_header; // @header; an empty text asks for no header
    std::size_t header_line = 0;
    std::optional<std::string> source_file;   // @file
    std::optional<std::int32_t> source_line;  // @line
};

struct ProjectPair {
    std::string name;
    std::string value;
    std::size_t line = 0;
};

struct ProjectName {
    std::string text;
    std::size_t line = 0;
};

struct ProjectMediaFile {
    std::string kind;
    std::string path;
    std::string folder;
    std::size_t line = 0;
};

struct Project {
    std::string display_name; // the project path as the user gave it, for messages

    Setting title;
    Setting publisher;
    Setting contact;
    Setting help_link;
    Setting update_link;
    Setting comments;
    Setting version;
    Setting product_code;
    Setting revision_code;
    Setting media_mode;
    Setting default_language;
    Setting language_dialog;
    Setting code_page;
    Setting output;
    Setting resources;
    Setting platform;
    Setting compression;
    Setting source_name;
    std::vector<ProjectName> media_folders;
    std::vector<ProjectName> archive_folders; // each packed into <name>.7z beside the setup
    std::vector<ProjectName> web_blocks;      // each packed into web\<name>.7zip below its top folder <name>

    std::vector<ProjectPair> constants;
    std::vector<ProjectPair> components;
    std::vector<ProjectPair> passwords;
    std::vector<ProjectName> plugins;
    std::vector<ProjectMediaFile> media_files;
    std::vector<ProjectCommand> commands;
};

// Reads a project. display_name prefixes every error ("name:line: message");
// file_name is what the script records as the project file of each command
// unless the project names another with source-name. Values are checked
// here as far as a single line can tell; the checks across lines belong to
// compile_project. Every failure is ErrorCode::parse.
Result<Project> parse_project(std::string_view text, std::string_view display_name, std::string_view file_name);

// "name:line: message" with the 1-based line of a 0-based line index.
Error project_error(std::string_view display_name, std::size_t line, std::string_view message);

} // namespace quillon::qvoc
