// The loaded script: the sections of the script appended to the engine's
// executable, read once at start-up and never changed while the script runs.
#pragma once

#include "base/error.h"
#include "script/line_index.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The media modes the engine treats apart: media fetched into the engine
// cache (web media), and media kept by the installed product.
inline constexpr std::int32_t fetched_media_mode = 2;
inline constexpr std::int32_t installed_media_mode = 3;

class TScriptImage;

// Parses the script text (everything behind the stub). The data must hold all
// twenty-five items; data that ends early is ErrorCode::corrupt naming the
// incomplete item, a media mode or code page that is not a 32-bit number is
// ErrorCode::parse. Only CR LF ends a line: a lone CR or LF is part of the
// line, because scrambled passwords can contain such bytes. The last line may
// lack its CR LF. Bytes behind the last section are ignored.
Result<TScriptImage> parse_script_image(std::span<const std::byte> script_bytes);

// Reads the script appended to an executable file. The stub size comes from
// the file's own PE headers, or from the caller, who may have computed it from
// the image in memory. The script is copied to "qvo.tmp" in the temp folder,
// parsed from there, and the copy is deleted whatever the outcome.
// Nothing appended (file size equals stub size) fails with an error for which
// is_nothing_appended() is true; every other failure is a different code.
Result<TScriptImage> LoadScriptImage(const std::filesystem::path& executable, const std::filesystem::path& temp_folder);
Result<TScriptImage> LoadScriptImage(const std::filesystem::path& executable, const std::filesystem::path& temp_folder,
                                     std::uint64_t stub_size);

bool is_nothing_appended(const Error& error) noexcept;

class TScriptImage {
public:
    TScriptImage() = default;

    // Per-command accessors. The index is 0-based and below CommandCount();
    // beyond it they answer as for a command whose lines are all empty.
    std::size_t CommandCount() const noexcept { return m_names.size(); }
    const std::string& CommandName(std::size_t index) const noexcept;
    const std::string& CommandId(std::size_t index) const noexcept;
    bool IsDisabled(std::size_t index) const noexcept;
    const std::string& CommandMediaFolder(std::size_t index) const noexcept;
    // Base name of the authoring project file, without folder and extension.
    std::string SourceFile(std::size_t index) const;
    // 1-based line of the command in the authoring project.
    std::int64_t SourceLine(std::size_t index) const noexcept;

    // Parameter k of the command with this identifier (k = 0 is the identifier
    // line itself). A command without a block reads empty parameters; a
    // request past the end of the parameter section is ErrorCode::out_of_range.
    Result<std::string> Parameter(std::string_view identifier, std::size_t k) const;

    // The media header of a command. A command without one reads "" during
    // the start-up scan and is an error at any other time.
    Result<std::string> CommandHeader(std::size_t index) const;
    void set_startup_scan(bool active) noexcept { m_startup_scan = active; }

    // Value of a build constant, name compared ignoring case; empty when the
    // script does not define it (callers leave "#NAME#" untouched then).
    std::optional<std::string> BuildConstant(std::string_view name) const;

    // The clear-text archive password of a web media block: the block's own
    // entry, else the "offline" entry, else empty. A damaged scrambled form is
    // ErrorCode::corrupt.
    Result<std::string> web_media_password(std::string_view block_name) const;

    // Index of the first command with this identifier, compared ignoring case.
    std::optional<std::size_t> command_index(std::string_view identifier) const;

    const std::string& product_code() const noexcept { return m_product_code; }
    const std::string& product_title() const noexcept { return m_product_title; }
    const std::string& publisher() const noexcept { return m_publisher; }
    const std::string& contact() const noexcept { return m_contact; }
    const std::string& help_link() const noexcept { return m_help_link; }
    const std::string& update_link() const noexcept { return m_update_link; }
    const std::string& comments() const noexcept { return m_comments; }
    const std::string& product_version() const noexcept { return m_product_version; }
    std::int32_t media_mode() const noexcept { return m_media_mode; }
    const std::string& revision_code() const noexcept { return m_revision_code; }
    bool language_dialog() const noexcept { return m_language_dialog; }
    const std::string& default_language() const noexcept { return m_default_language; }
    std::int32_t code_page() const noexcept { return m_code_page; }

    // The lists as stored (parameter lines after the "$" escapes are resolved).
    const std::vector<std::string>& command_names() const noexcept { return m_names; }
    const std::vector<std::string>& command_ids() const noexcept { return m_identifiers.lines(); }
    const std::vector<std::string>& parameter_lines() const noexcept { return m_parameters.lines(); }
    const std::vector<std::string>& disable_flags() const noexcept { return m_disable_flags; }
    const std::vector<std::string>& command_media_folders() const noexcept { return m_media_folders; }
    const std::vector<std::string>& source_positions() const noexcept { return m_source_positions; }
    const std::vector<std::string>& plugin_commands() const noexcept { return m_plugin_commands; }
    const std::vector<std::string>& web_media_passwords() const noexcept { return m_web_media_passwords.lines(); }
    const std::vector<std::string>& component_sizes() const noexcept { return m_component_sizes; }
    const std::vector<std::string>& media_files() const noexcept { return m_media_files; }
    const std::vector<std::string>& command_headers() const noexcept { return m_command_headers.lines(); }
    const std::vector<std::string>& build_constants() const noexcept { return m_build_constants.lines(); }

private:
    friend class ScriptParser;

    std::vector<std::string> m_names;
    IndexedLines m_identifiers;
    IndexedLines m_parameters;
    std::vector<std::string> m_disable_flags;
    std::string m_product_code;
    std::string m_product_title;
    std::vector<std::string> m_plugin_commands;
    std::string m_publisher;
    std::string m_contact;
    std::string m_help_link;
    std::string m_update_link;
    std::string m_comments;
    std::string m_product_version;
    IndexedLines m_web_media_passwords; // indexed by block name
    std::vector<std::string> m_media_folders;
    std::int32_t m_media_mode = 0;
    std::vector<std::string> m_component_sizes;
    std::string m_revision_code;
    std::vector<std::string> m_media_files;
    bool m_language_dialog = false;
    std::string m_default_language;
    IndexedLines m_command_headers;
    IndexedLines m_build_constants; // indexed by constant name
    std::int32_t m_code_page = 0;
    std::vector<std::string> m_source_positions;

    bool m_startup_scan = false;
};

} // namespace quillon
