// Writes the script text that the setup compiler appends to the engine stub.
#pragma once

#include "base/error.h"
#include "script/scrambled_password.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct CompiledCommand {
    std::string name;       // e.g. "Set Variable"
    std::string identifier; // GUID with braces, unique within the script
    bool disabled = false;
    std::string media_folder; // e.g. "OFFLINE\", or empty
    std::string media_header; // eight hexadecimal digits; empty when the command has none
    std::string project_file; // the authoring project that holds the command
    std::int32_t project_line = 0; // 0-based line of the command in that project
    std::vector<std::string> parameters; // parameters 1, 2, ...; a command without any has no block
};

struct WebMediaPassword {
    std::string block_name;
    std::string password; // clear text; the writer scrambles it
};

struct ComponentSize {
    std::string component;
    std::int64_t size = 0; // bytes
};

struct MediaFile {
    std::string kind; // e.g. "OFFLINE"
    std::string path; // relative file path
    std::string folder;
};

struct BuildConstantValue {
    std::string name;
    std::string value;
};

// Everything the script holds, in the form a compiler produces it.
struct CompiledScript {
    std::vector<CompiledCommand> commands;
    std::string product_code;
    std::string product_title;
    std::vector<std::string> plugin_commands;
    std::string publisher;
    std::string contact;
    std::string help_link;
    std::string update_link;
    std::string comments;
    std::string product_version;
    std::vector<WebMediaPassword> web_media_passwords;
    std::int32_t media_mode = 1;
    std::vector<ComponentSize> component_sizes; // the first names "KYRT-PREDEF-COMPONENT"
    std::string revision_code;
    std::vector<MediaFile> media_files;
    bool language_dialog = false;
    std::string default_language;
    std::vector<BuildConstantValue> build_constants;
    std::int32_t code_page = 1252;
};

// The exact script bytes: CR LF lines, list sections ended by "$", parameter
// blocks in command order, a parameter that is exactly "$" written as
// "$DOLLAR$". Values the format cannot carry are refused rather than written
// in a form that would read back differently:
//   - ErrorCode::parse: a line containing CR or LF, an empty or duplicate
//     identifier, a negative project line;
//   - ErrorCode::unsupported: a list entry that is exactly "$", a parameter
//     that is itself "$DOLLAR$" or "$WILD_DOLLAR$" (in any case) or that would
//     be taken for the start of another command's block, a media header that
//     reads as another command's index, a project file name containing "*",
//     a password whose scrambled form contains CR LF.
Result<std::string> write_script_image(const CompiledScript& script);

} // namespace quillon
