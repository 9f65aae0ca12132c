#include "script/ScriptImage.h"

#include "base/scope_exit.h"
#include "base/strings.h"
#include "script/pe_image.h"
#include "script/script_texts.h"
#include "script/scrambled_password.h"

#include <fstream>
#include <limits>

namespace quillon {

// Grammar of the script text (items in this order, nothing else):
//
//   script   = list(names) list(identifiers) list(parameters) list(disable flags)
//              line(product code) line(title) list(plug-in commands) line(publisher)
//              line(contact) line(help link) line(update link) line(comments)
//              line(version) list(web media passwords) list(media folders)
//              line(media mode) list(component sizes) line(revision code)
//              list(media files) line(language dialog) line(default language)
//              list(command headers) list(build constants) line(code page)
//              list(source positions) *byte
//   list     = *( text CRLF ) "$" ( CRLF / end )    ; text is any line but "$"
//   line     = text ( CRLF / end )
//
// Every item is required: data that ends before an item is complete makes
// the whole script unusable, and the loader says which item was cut off.
class ScriptParser {
public:
    explicit ScriptParser(std::string_view text) noexcept : m_text(text) {}

    Result<TScriptImage> parse()
    {
        TScriptImage image;
        image.m_names = TRY(list(1, "command names"));
        image.m_identifiers = IndexedLines(TRY(list(2, "command identifiers")));
        image.m_parameters = IndexedLines(resolve_dollar_escapes(TRY(list(3, "parameter blocks"))));
        image.m_disable_flags = TRY(list(4, "disable flags"));
        image.m_product_code = TRY(line(5, "product code"));
        image.m_product_title = TRY(line(6, "product title"));
        image.m_plugin_commands = TRY(list(7, "plug-in commands"));
        image.m_publisher = TRY(line(8, "publisher"));
        image.m_contact = TRY(line(9, "contact"));
        image.m_help_link = TRY(line(10, "help link"));
        image.m_update_link = TRY(line(11, "update link"));
        image.m_comments = TRY(line(12, "comments"));
        image.m_product_version = TRY(line(13, "product version"));
        image.m_web_media_passwords = IndexedLines(TRY(grouped_list(14, "web media passwords", 2)), 2);
        image.m_media_folders = TRY(list(15, "command media folders"));
        image.m_media_mode = TRY(number(16, "media mode"));
        image.m_component_sizes = TRY(grouped_list(17, "component sizes", 2));
        image.m_revision_code = TRY(line(18, "revision code"));
        image.m_media_files = TRY(grouped_list(19, "media files", 3));
        image.m_language_dialog = TRY(line(20, "language dialog flag")) == script_texts::true_text;
        image.m_default_language = TRY(line(21, "default language"));
        image.m_command_headers = IndexedLines(TRY(grouped_list(22, "command headers", 2)));
        image.m_build_constants = IndexedLines(TRY(grouped_list(23, "build constants", 2)), 2);
        image.m_code_page = TRY(number(24, "code page"));
        image.m_source_positions = TRY(list(25, "source positions"));

        // The per-command lists are read by command index; a short one would
        // hand one command's flag or position to another.
        std::size_t count = image.m_names.size();
        TRY(check_command_list(2, "command identifiers", image.m_identifiers.size(), count));
        TRY(check_command_list(4, "disable flags", image.m_disable_flags.size(), count));
        TRY(check_command_list(15, "command media folders", image.m_media_folders.size(), count));
        TRY(check_command_list(25, "source positions", image.m_source_positions.size(), count));
        return image;
    }

private:
    // The next line without its CR LF; empty at the end of the data.
    std::optional<std::string_view> next_line() noexcept
    {
        if (m_position >= m_text.size())
            return std::nullopt;
        std::size_t end = m_text.find(script_texts::line_end, m_position);
        std::string_view result;
        if (end == std::string_view::npos) {
            result = m_text.substr(m_position);
            m_position = m_text.size();
        } else {
            result = m_text.substr(m_position, end - m_position);
            m_position = end + script_texts::line_end.size();
        }
        return result;
    }

    static std::unexpected<Error> incomplete(int item, std::string_view name)
    {
        return make_error(ErrorCode::corrupt, "The setup script is incomplete: it ends inside item " +
                                                  std::to_string(item) + " (" + std::string(name) + ").");
    }

    Result<std::vector<std::string>> list(int item, std::string_view name)
    {
        std::vector<std::string> lines;
        for (;;) {
            auto text = next_line();
            if (!text)
                return incomplete(item, name);
            if (*text == script_texts::section_end)
                return lines;
            lines.emplace_back(*text);
        }
    }

    // A list of pairs or triples: a dangling name would pair with nothing.
    Result<std::vector<std::string>> grouped_list(int item, std::string_view name, std::size_t group)
    {
        auto lines = TRY(list(item, name));
        if (lines.size() % group != 0)
            return make_error(ErrorCode::corrupt, "The setup script is damaged: item " + std::to_string(item) + " (" +
                                                      std::string(name) + ") holds " + std::to_string(lines.size()) +
                                                      " lines, not a multiple of " + std::to_string(group) + ".");
        return lines;
    }

    Result<std::string> line(int item, std::string_view name)
    {
        auto text = next_line();
        if (!text)
            return incomplete(item, name);
        return std::string(*text);
    }

    // A leading decimal integer; the rest of the line is ignored.
    Result<std::int32_t> number(int item, std::string_view name)
    {
        auto text = TRY(line(item, name));
        auto value = parse_leading_int64(text);
        if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
            *value > std::numeric_limits<std::int32_t>::max())
            return make_error(ErrorCode::parse, "The setup script is damaged: item " + std::to_string(item) + " (" +
                                                    std::string(name) + ") is not a 32-bit decimal number.");
        return static_cast<std::int32_t>(*value);
    }

    static std::vector<std::string> resolve_dollar_escapes(std::vector<std::string> lines)
    {
        // A single "$" cannot be stored in a list section, so the writer escapes it.
        for (std::string& text : lines) {
            if (equal_nocase(text, script_texts::wild_dollar_escape) || equal_nocase(text, script_texts::dollar_escape))
                text = std::string(script_texts::section_end);
        }
        return lines;
    }

    static Result<void> check_command_list(int item, std::string_view name, std::size_t size, std::size_t count)
    {
        if (size == count)
            return {};
        return make_error(ErrorCode::corrupt, "The setup script is damaged: item " + std::to_string(item) + " (" +
                                                  std::string(name) + ") holds " + std::to_string(size) +
                                                  " lines for " + std::to_string(count) + " commands.");
    }

    std::string_view m_text;
    std::size_t m_position = 0;
};

Result<TScriptImage> parse_script_image(std::span<const std::byte> script_bytes)
{
    std::string_view text(reinterpret_cast<const char*>(script_bytes.data()), script_bytes.size());
    return ScriptParser(text).parse();
}

namespace {

const std::string empty_line;

const std::string& line_or_empty(const std::vector<std::string>& lines, std::size_t index) noexcept
{
    return index < lines.size() ? lines[index] : empty_line;
}

// Only for messages: a path that does not convert must not turn a report into a crash.
std::string display_path(const std::filesystem::path& path)
{
    try {
        auto text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (...) {
        return "(unprintable path)";
    }
}

Result<std::string> read_whole_file(const std::filesystem::path& path)
{
    // The size from the file system, not from seeking: a directory or device
    // opens as a stream too and reports a nonsense size at its end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return make_error(ErrorCode::io, "Cannot read " + display_path(path) + ": it is not a file.");
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return make_error(ErrorCode::io, "Cannot determine the size of " + display_path(path) + ".");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return make_error(ErrorCode::io, "Cannot open " + display_path(path) + " for reading.");
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::exception&) {
        return make_error(ErrorCode::io, "The file " + display_path(path) + " is too large to load.");
    }
    if (!file.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return make_error(ErrorCode::io, "Cannot read " + display_path(path) + ".");
    return bytes;
}

// Sets created once the file exists, so that the caller deletes only its own file.
Result<void> write_whole_file(const std::filesystem::path& path, std::string_view bytes, bool& created)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return make_error(ErrorCode::io, "Cannot create " + display_path(path) + ".");
    created = true;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        return make_error(ErrorCode::io, "Cannot write " + display_path(path) + ".");
    return {};
}

std::span<const std::byte> as_byte_span(std::string_view text) noexcept
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

Result<TScriptImage> load_script_image(const std::filesystem::path& executable,
                                       const std::filesystem::path& temp_folder, std::optional<std::uint64_t> stub_size)
{
    std::string file = TRY(read_whole_file(executable));
    std::uint64_t stub = stub_size ? *stub_size : TRY(pe_stub_size(as_byte_span(file)));
    if (stub == file.size())
        return make_error(ErrorCode::not_found, "Nothing is appended to " + display_path(executable) + ".");
    if (stub > file.size())
        return make_error(ErrorCode::corrupt,
                          "The file " + display_path(executable) + " is shorter than its own executable image.");

    std::filesystem::path temp_file = temp_folder / std::string(script_texts::temp_file_name);
    bool created = false;
    ScopeExit remove_temp_file([&] {
        // A copy that cannot be deleted is harmless: the next start replaces it.
        std::error_code ignored;
        if (created)
            std::filesystem::remove(temp_file, ignored);
    });
    TRY(write_whole_file(temp_file, std::string_view(file).substr(static_cast<std::size_t>(stub)), created));
    file = {};
    std::string script = TRY(read_whole_file(temp_file));
    return parse_script_image(as_byte_span(script));
}

} // namespace

Result<TScriptImage> LoadScriptImage(const std::filesystem::path& executable, const std::filesystem::path& temp_folder)
{
    return load_script_image(executable, temp_folder, std::nullopt);
}

Result<TScriptImage> LoadScriptImage(const std::filesystem::path& executable, const std::filesystem::path& temp_folder,
                                     std::uint64_t stub_size)
{
    return load_script_image(executable, temp_folder, stub_size);
}

bool is_nothing_appended(const Error& error) noexcept
{
    // LoadScriptImage uses not_found for this case alone.
    return error.code == ErrorCode::not_found;
}

const std::string& TScriptImage::CommandName(std::size_t index) const noexcept
{
    return line_or_empty(m_names, index);
}

const std::string& TScriptImage::CommandId(std::size_t index) const noexcept
{
    return line_or_empty(m_identifiers.lines(), index);
}

bool TScriptImage::IsDisabled(std::size_t index) const noexcept
{
    return line_or_empty(m_disable_flags, index) == script_texts::disabled_flag;
}

const std::string& TScriptImage::CommandMediaFolder(std::size_t index) const noexcept
{
    return line_or_empty(m_media_folders, index);
}

std::string TScriptImage::SourceFile(std::size_t index) const
{
    std::string_view position = line_or_empty(m_source_positions, index);
    std::size_t star = position.find(script_texts::source_position_separator);
    if (star == std::string_view::npos)
        return {};
    std::string_view path = position.substr(0, star);
    std::size_t folder_end = path.find_last_of("\\/:");
    std::string_view name = folder_end == std::string_view::npos ? path : path.substr(folder_end + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

std::int64_t TScriptImage::SourceLine(std::size_t index) const noexcept
{
    std::string_view position = line_or_empty(m_source_positions, index);
    std::size_t star = position.find(script_texts::source_position_separator);
    if (star == std::string_view::npos)
        return 1;
    // The stored index is 0-based; an unreadable one counts as 0.
    return std::int64_t{parse_int32(position.substr(star + 1)).value_or(0)} + 1;
}

Result<std::string> TScriptImage::Parameter(std::string_view identifier, std::size_t k) const
{
    auto block = m_parameters.find(identifier);
    if (!block)
        return std::string();
    if (k >= m_parameters.size() - *block)
        return make_error(ErrorCode::out_of_range, "Parameter " + std::to_string(k) + " of command " +
                                                       std::string(identifier) +
                                                       " lies beyond the end of the parameter section.");
    return m_parameters[*block + k];
}

Result<std::string> TScriptImage::CommandHeader(std::size_t index) const
{
    auto match = m_command_headers.find(std::to_string(index));
    if (match && *match > 0)
        return m_command_headers[*match - 1];
    if (m_startup_scan)
        return std::string();
    return make_error(ErrorCode::not_found, std::string(script_texts::missing_header_message));
}

std::optional<std::string> TScriptImage::BuildConstant(std::string_view name) const
{
    auto match = m_build_constants.find(name);
    if (!match)
        return std::nullopt;
    return m_build_constants[*match + 1];
}

Result<std::string> TScriptImage::web_media_password(std::string_view block_name) const
{
    auto match = m_web_media_passwords.find(block_name);
    if (!match)
        match = m_web_media_passwords.find(script_texts::offline_block);
    if (!match)
        return std::string();
    auto password = unscramble_password(m_web_media_passwords[*match + 1]);
    if (!password)
        return make_error(ErrorCode::corrupt, "The password of web media block " + m_web_media_passwords[*match] +
                                                  " is damaged: " + password.error().message);
    return password;
}

std::optional<std::size_t> TScriptImage::command_index(std::string_view identifier) const
{
    return m_identifiers.find(identifier);
}

} // namespace quillon
