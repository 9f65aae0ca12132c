#include "msi/selection_file.h"

#include "base/strings.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace quillon {

namespace {

constexpr std::string_view crlf = "\r\n";

// Every line break becomes the token: a bare CR or LF inside a value would
// otherwise split it into two lines and shift every pair after it.
std::string one_line(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out += vars_text::newline_token;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void write_line(std::string& out, std::string_view text)
{
    out += one_line(text);
    out += crlf;
}

void write_list(std::string& out, const std::vector<std::string>& list)
{
    for (const std::string& entry : list)
        write_line(out, entry);
    write_line(out, component_text::section_end);
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using UniqueCFile = std::unique_ptr<std::FILE, FileCloser>;

Error file_error(std::string_view what, const std::string& path, int error_number)
{
    return Error{ErrorCode::io, static_cast<std::uint32_t>(error_number),
                 std::string(what) + " '" + path + "': " + std::strerror(error_number)};
}

} // namespace

std::string FormatSelectionFile(const TComponentModel& model, const SelectionRunValues& values)
{
    const ComponentLists& lists = model.lists();
    std::string out;
    for (const Component& component : lists.components)
        write_line(out, component.name);
    write_line(out, component_text::section_end);
    for (const Component& component : lists.components)
        write_line(out, component.state);
    write_line(out, component_text::section_end);
    write_list(out, lists.deleted);
    write_list(out, lists.hidden);
    write_list(out, lists.locked);
    for (const SizeEntry& entry : lists.sizes) {
        write_line(out, entry.name);
        write_line(out, entry.bytes);
    }
    write_line(out, component_text::section_end);
    write_line(out, values.target_dir);
    write_line(out, values.all_users);
    write_line(out, values.start_menu);
    write_line(out, values.data_folder);
    for (const auto& [name, value] : values.saved_variables) {
        write_line(out, name);
        write_line(out, value);
    }
    write_line(out, component_text::platform_mode_name);
    write_line(out, values.platform_mode);
    write_line(out, var::override_cache);
    write_line(out, values.override_cache);
    return out;
}

Result<SelectionFile> ParseSelectionFile(std::string_view text)
{
    std::vector<std::string> lines = split_lines(text);
    std::vector<std::string> names;
    std::vector<std::string> states;
    std::vector<std::string> sizes;
    SelectionFile file;
    std::vector<std::string>* lists[] = {&names, &states, &file.lists.deleted, &file.lists.hidden, &file.lists.locked,
                                         &sizes};
    std::size_t position = 0;
    for (std::vector<std::string>* list : lists) {
        while (true) {
            if (position >= lines.size())
                return make_error(ErrorCode::corrupt,
                                  "the file ends before its component lists are complete; it is not a component "
                                  "selection file");
            std::string& line = lines[position++];
            if (line == component_text::section_end)
                break;
            list->push_back(std::move(line));
        }
    }
    file.lists.components.reserve(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        file.lists.components.push_back({std::move(names[k]), k < states.size() ? std::move(states[k]) : "", {}});
    file.lists.sizes = size_table(sizes);

    std::optional<std::string>* singles[] = {&file.target_dir, &file.all_users, &file.start_menu, &file.data_folder};
    for (std::optional<std::string>* single : singles)
        if (position < lines.size())
            *single = std::move(lines[position++]);
    bool after_platform = false;
    for (; position + 1 < lines.size(); position += 2) {
        std::string& name = lines[position];
        std::string& value = lines[position + 1];
        if (after_platform) {
            file.variables.push_back({std::move(name), std::move(value), false});
            after_platform = false;
        } else if (name == component_text::platform_mode_name) {
            file.platform_mode = std::move(value);
            after_platform = true;
        } else {
            file.variables.push_back({std::move(name), std::move(value), true});
        }
    }
    return file;
}

Result<std::optional<std::string>> ReadSelectionFile(const std::string& path)
{
    errno = 0;
    UniqueCFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        int error_number = errno;
        if (error_number == ENOENT)
            return std::optional<std::string>();
        return std::unexpected(file_error("Cannot open the component selection file", path, error_number));
    }
    std::string bytes;
    char buffer[16384];
    while (std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get()))
        bytes.append(buffer, count);
    if (std::ferror(file.get()))
        return std::unexpected(file_error("Cannot read the component selection file", path, errno));
    return std::optional<std::string>(std::move(bytes));
}

Result<void> WriteSelectionFile(const std::string& path, std::string_view text)
{
    errno = 0;
    UniqueCFile file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return std::unexpected(file_error("Cannot create the component selection file", path, errno));
    bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    int error_number = errno;
    // Closing flushes the buffer, where a full disk shows itself.
    std::FILE* raw = file.release();
    if (std::fclose(raw) != 0 && written) {
        written = false;
        error_number = errno;
    }
    if (!written)
        return std::unexpected(file_error("Cannot write the component selection file", path, error_number));
    return {};
}

void ApplySelectionVariables(TVariableManager& vars, const SelectionFile& file,
                             const std::function<void(std::string_view name)>& keep)
{
    const std::pair<std::string_view, const std::optional<std::string>*> singles[] = {
        {var::target_dir, &file.target_dir},
        {var::all_users, &file.all_users},
        {var::start_menu, &file.start_menu},
    };
    for (const auto& [name, value] : singles)
        if (*value)
            DefineVar(vars, name, **value, origin::load_components);
    for (const LoadedVariable& variable : file.variables) {
        if (variable.name.empty())
            continue;
        DefineVar(vars, variable.name, variable.value, origin::load_components);
        if (variable.saved && keep)
            keep(variable.name);
    }
}

} // namespace quillon
