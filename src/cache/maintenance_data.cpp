#include "cache/maintenance_data.h"

#include "cache/cache_texts.h"
#include "vars/expand.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

namespace quillon {

namespace {

constexpr std::size_t list_count = 6;
constexpr std::size_t run_value_count = 4; // TARGETDIR, ALLUSERS, STARTMENU, the data folder

// The text's lines with their line breaks; a last line without one gets CR LF.
std::vector<std::string_view> raw_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end + 1));
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view without_break(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

bool known_platform_mode(std::string_view mode)
{
    return mode == "Win32" || mode == "ia64" || mode == "x64";
}

} // namespace

std::string ApplyMaintenanceData(const SelectionFile& file, MaintenanceLoad mode, MaintenanceTarget& target)
{
    target.model.Append(file.lists, mode == MaintenanceLoad::current ? LoadSizes::append : LoadSizes::skip);
    const std::pair<std::string_view, const std::optional<std::string>*> singles[] = {
        {var::target_dir, &file.target_dir},
        {var::all_users, &file.all_users},
        {var::start_menu, &file.start_menu},
    };
    for (const auto& [name, value] : singles)
        if (*value)
            DefineVar(target.vars, name, NewlinesFromToken(**value), origin::load_components);
    for (const LoadedVariable& variable : file.variables) {
        if (variable.name.empty())
            continue;
        DefineVar(target.vars, variable.name, NewlinesFromToken(variable.value), origin::load_components);
        if (variable.saved && target.keep)
            target.keep(variable.name);
    }
    // A file from an unknown build may hold anything there; the mode stays as it is then.
    if (file.platform_mode && known_platform_mode(*file.platform_mode) && target.platform_mode)
        target.platform_mode(*file.platform_mode);
    return file.data_folder.value_or(std::string());
}

Result<void> LoadMaintenanceData(CacheFiles& files, const std::string& path, MaintenanceLoad mode,
                                 MaintenanceTarget& target)
{
    std::optional<std::string> text = TRY(files.read(path));
    if (!text)
        return {};
    Result<SelectionFile> file = ParseSelectionFile(*text);
    if (!file)
        return make_error(file.error().code, "'" + path + "': " + file.error().message);
    ApplyMaintenanceData(*file, mode, target);
    return {};
}

Result<std::string> UpdatedMaintenanceData(std::string_view old_text, const SelectionRunValues& values)
{
    std::vector<std::string_view> lines = raw_lines(old_text);
    std::size_t ends = 0;
    std::size_t position = 0;
    while (ends < list_count) {
        if (position >= lines.size())
            return make_error(ErrorCode::corrupt,
                              "the file ends before its component lists are complete; it is not maintenance data");
        if (without_break(lines[position++]) == component_text::section_end)
            ++ends;
    }
    std::string out;
    for (std::size_t k = 0; k < position; ++k) {
        out += without_break(lines[k]);
        out += vars_text::crlf;
    }
    // A file cut short in its run values gets empty ones, so that the saved
    // variables after them are not read as TARGETDIR and the rest.
    for (std::size_t k = 0; k < run_value_count; ++k) {
        if (position < lines.size())
            out += without_break(lines[position++]);
        out += vars_text::crlf;
    }
    // The tail as the full write lays it out: the writer of an empty model
    // gives six list ends and four run values before it.
    std::string tail = FormatSelectionFile(TComponentModel(), values);
    std::vector<std::string_view> tail_lines = raw_lines(tail);
    for (std::size_t k = list_count + run_value_count; k < tail_lines.size(); ++k)
        out += tail_lines[k];
    return out;
}

Result<void> SaveMaintenanceData(CacheFiles& files, const std::string& path, MaintenanceSave mode,
                                 const TComponentModel& model, const SelectionRunValues& values)
{
    if (mode == MaintenanceSave::full)
        return files.write(path, FormatSelectionFile(model, values));
    std::optional<std::string> old_text = TRY(files.read(path));
    if (!old_text)
        return {};
    Result<std::string> updated = UpdatedMaintenanceData(*old_text, values);
    std::string text = updated ? std::move(*updated) : FormatSelectionFile(model, values);
    std::string pending = path + std::string(cache_text::pending_extension);
    TRY(files.write(pending, text));
    return files.replace(pending, path);
}

} // namespace quillon

namespace quillon {

SelectionRunValues MaintenanceRunValues(const TVariableManager& vars, const std::vector<std::string>& saved_names,
                                        std::string platform_mode, std::string data_folder)
{
    SelectionRunValues values;
    values.target_dir = GetVar(vars, var::target_dir);
    values.all_users = GetVar(vars, var::all_users);
    values.start_menu = GetVar(vars, var::start_menu);
    values.data_folder = std::move(data_folder);
    for (const std::string& name : saved_names)
        values.saved_variables.emplace_back(name, GetVar(vars, name));
    values.platform_mode = std::move(platform_mode);
    values.override_cache = GetVar(vars, var::override_cache);
    return values;
}

} // namespace quillon
