#include "msi/components.h"
#include "vars/reserved_names.h"

#include "base/strings.h"
#include "vars/mEval.h"
#include "vars/texts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace quillon {

namespace {

constexpr std::int64_t kibibyte = 1024;
constexpr std::int64_t mebibyte = 1024 * kibibyte;
constexpr std::int64_t gibibyte = 1024 * mebibyte;

constexpr std::string_view crlf = "\r\n";

std::int64_t saturating_add(std::int64_t a, std::int64_t b)
{
    if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b)
        return std::numeric_limits<std::int64_t>::max();
    if (b < 0 && a < std::numeric_limits<std::int64_t>::min() - b)
        return std::numeric_limits<std::int64_t>::min();
    return a + b;
}

std::int64_t saturating_subtract(std::int64_t a, std::int64_t b)
{
    if (b == std::numeric_limits<std::int64_t>::min())
        return a >= 0 ? std::numeric_limits<std::int64_t>::max() : a - b;
    return saturating_add(a, -b);
}

std::string grouped_digits(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

const std::string* find_nocase_entry(const std::vector<std::string>& list, std::string_view name)
{
    for (const std::string& entry : list)
        if (equal_nocase(entry, name))
            return &entry;
    return nullptr;
}

bool in_list(const std::vector<std::string>& list, std::string_view name)
{
    return find_nocase_entry(list, name) != nullptr;
}

void remove_first(std::vector<std::string>& list, std::string_view name)
{
    for (auto entry = list.begin(); entry != list.end(); ++entry) {
        if (equal_nocase(*entry, name)) {
            list.erase(entry);
            return;
        }
    }
}

// The name or one of its ancestors is in the list.
bool listed_with_ancestors(const std::vector<std::string>& list, std::string_view name)
{
    if (list.empty())
        return false;
    for (std::string current(name); !current.empty(); current = ComponentParent(current))
        if (in_list(list, current))
            return true;
    return false;
}

// Segments of a nested name; empty segments (doubled or trailing backslashes) make no tree level.
std::vector<std::string_view> segments_of(std::string_view name)
{
    std::vector<std::string_view> segments;
    while (!name.empty()) {
        std::size_t slash = name.find('\\');
        std::string_view segment = name.substr(0, slash);
        if (!segment.empty())
            segments.push_back(segment);
        if (slash == std::string_view::npos)
            break;
        name.remove_prefix(slash + 1);
    }
    return segments;
}

bool is_predefined(std::string_view name)
{
    return equal_nocase(name, component_text::predefined);
}

std::string state_text(bool selected)
{
    return std::string(selected ? component_text::selected : component_text::not_selected);
}

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

// Lines ended by CR LF (a bare LF is accepted too); a last line without its
// line break counts.
std::vector<std::string> split_lines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
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

std::string SizeText(std::int64_t bytes, const SizeUnits& units)
{
    if (bytes < 0) {
        // Negation through the unsigned type, so that the smallest count has a magnitude too.
        std::uint64_t magnitude = 0 - static_cast<std::uint64_t>(bytes);
        return "-" + grouped_digits(magnitude) + " " + units.bytes;
    }
    auto count = static_cast<std::uint64_t>(bytes);
    if (bytes < mebibyte)
        return grouped_digits(count) + " " + units.bytes;
    if (bytes < gibibyte)
        return grouped_digits(count / kibibyte) + " " + units.kilobytes;
    return grouped_digits(count / mebibyte) + " " + units.megabytes;
}

std::string ComponentParent(std::string_view name)
{
    while (!name.empty() && name.back() == '\\')
        name.remove_suffix(1);
    std::size_t slash = name.rfind('\\');
    if (slash == std::string_view::npos)
        return {};
    name = name.substr(0, slash);
    while (!name.empty() && name.back() == '\\')
        name.remove_suffix(1);
    return std::string(name);
}

TComponentModel::TComponentModel(std::vector<std::string> sizes) : m_sizes(std::move(sizes)) {}

void TComponentModel::Clear()
{
    m_names.clear();
    m_states.clear();
    m_descriptions.clear();
    m_deleted.clear();
    m_hidden.clear();
    m_locked.clear();
}

void TComponentModel::StartFirstInstallation()
{
    Clear();
    m_baseline = 0;
    Define(component_text::predefined, "", true);
}

void TComponentModel::Define(std::string_view name, std::string_view description, bool initial_state,
                             std::optional<std::string_view> untranslated_name)
{
    // The script's size list knows components by their untranslated names.
    if (untranslated_name) {
        if (std::int64_t bytes = size(*untranslated_name); bytes != 0) {
            m_sizes.emplace_back(name);
            m_sizes.push_back(std::to_string(bytes));
        }
    }
    std::optional<std::size_t> existing = index(name);
    std::size_t position = 0;
    if (existing) {
        position = *existing;
        remove_first(m_deleted, name);
    } else {
        m_names.emplace_back(name);
        position = m_names.size() - 1;
    }
    store_description(position, description);
    if (!size_slot(name)) {
        m_sizes.emplace_back(name);
        m_sizes.emplace_back("0");
    }
    // A redefinition keeps the selection that the user or a loaded file made.
    if (state(position).empty())
        set_state_at(position, initial_state);
}

void TComponentModel::Delete(std::string_view name)
{
    if (exists(name) && !in_list(m_deleted, name))
        m_deleted.emplace_back(name);
}

bool TComponentModel::SetState(std::string_view name, bool selected)
{
    std::optional<std::size_t> position = index(name);
    if (!position)
        return false;
    set_state_at(*position, selected);
    return true;
}

bool TComponentModel::SetSpace(std::string_view name, std::int64_t bytes)
{
    if (!exists(name))
        return false;
    std::string text = std::to_string(bytes);
    if (std::optional<std::size_t> slot = size_slot_upper(name)) {
        if (*slot + 1 < m_sizes.size())
            m_sizes[*slot + 1] = std::move(text);
        else
            m_sizes.push_back(std::move(text));
    } else {
        m_sizes.emplace_back(name);
        m_sizes.push_back(std::move(text));
    }
    return true;
}

void TComponentModel::SetChoice(std::string_view name, bool allowed)
{
    if (allowed)
        remove_first(m_locked, name);
    else if (exists(name) && !in_list(m_locked, name))
        m_locked.emplace_back(name);
}

void TComponentModel::SetVisibility(std::string_view name, bool visible)
{
    if (visible)
        remove_first(m_hidden, name);
    else if (exists(name) && !in_list(m_hidden, name))
        m_hidden.emplace_back(name);
}

void TComponentModel::set_selected(std::size_t position, bool selected)
{
    if (position < m_names.size())
        set_state_at(position, selected);
}

bool TComponentModel::exists(std::string_view name) const
{
    return index(name).has_value();
}

std::optional<std::size_t> TComponentModel::index(std::string_view name) const
{
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (equal_nocase(m_names[i], name))
            return i;
    return std::nullopt;
}

bool TComponentModel::is_deleted(std::string_view name) const
{
    return in_list(m_deleted, name);
}

bool TComponentModel::is_selected(std::string_view name) const
{
    std::optional<std::size_t> position = index(name);
    return position && !is_deleted(name) && text_is_true(state(*position));
}

bool TComponentModel::is_locked(std::string_view name) const
{
    return listed_with_ancestors(m_locked, name);
}

bool TComponentModel::is_hidden(std::string_view name) const
{
    return listed_with_ancestors(m_hidden, name);
}

std::string TComponentModel::description(std::string_view name) const
{
    std::optional<std::size_t> position = index(name);
    if (!position || *position >= m_descriptions.size())
        return {};
    return m_descriptions[*position];
}

std::int64_t TComponentModel::size(std::string_view name) const
{
    std::optional<std::size_t> slot = size_slot(name);
    if (!slot || *slot + 1 >= m_sizes.size())
        return 0;
    return parse_int64(m_sizes[*slot + 1]).value_or(0);
}

std::int64_t TComponentModel::selected_size() const
{
    std::int64_t total = 0;
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (text_is_true(state(i)) && !is_deleted(m_names[i]))
            total = saturating_add(total, size(m_names[i]));
    return total;
}

std::int64_t TComponentModel::total_required_size() const
{
    return saturating_subtract(selected_size(), m_baseline);
}

std::int64_t TComponentModel::remaining_space(std::int64_t free_space) const
{
    return saturating_subtract(free_space, total_required_size());
}

std::vector<ComponentTreeNode> TComponentModel::FillTree() const
{
    std::vector<ComponentTreeNode> tree;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const std::string& name = m_names[i];
        if (is_predefined(name) || is_deleted(name) || is_hidden(name))
            continue;
        std::vector<std::string_view> segments = segments_of(name);
        if (segments.empty())
            continue;
        // A top-level segment is looked up among the top-level nodes only: a
        // component named like a nested node must not take that node over.
        std::optional<std::size_t> current;
        for (std::string_view segment : segments) {
            std::optional<std::size_t> found;
            for (std::size_t node = 0; node < tree.size(); ++node) {
                if (tree[node].parent == current && equal_nocase(tree[node].text, segment)) {
                    found = node;
                    break;
                }
            }
            if (!found) {
                tree.push_back(ComponentTreeNode{std::string(segment), current, std::nullopt, 0});
                found = tree.size() - 1;
            }
            current = found;
        }
        tree[*current].component = i;
        tree[*current].image = text_is_true(state(i)) ? 1 : 0;
    }
    return tree;
}

void TComponentModel::SetNodeSelected(std::vector<ComponentTreeNode>& tree, std::size_t node, bool recursive,
                                      bool selected)
{
    if (node >= tree.size())
        return;
    std::vector<bool> visited(tree.size(), false); // a tree built by hand could hold a cycle
    std::vector<std::size_t> pending{node};
    while (!pending.empty()) {
        std::size_t current = pending.back();
        pending.pop_back();
        if (visited[current])
            continue;
        visited[current] = true;
        if (std::optional<std::size_t> component = tree[current].component; component && *component < m_names.size()) {
            set_state_at(*component, selected);
            tree[current].image = selected ? 1 : 0;
        }
        if (!recursive)
            break;
        for (std::size_t child = tree.size(); child-- > 0;) {
            if (tree[child].parent != current)
                continue;
            std::optional<std::size_t> component = tree[child].component;
            if (component && *component < m_names.size() && is_locked(m_names[*component]))
                continue;
            pending.push_back(child);
        }
    }
}

std::vector<ComponentCheckItem> TComponentModel::FillCheckList() const
{
    std::vector<ComponentCheckItem> items;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        const std::string& name = m_names[i];
        if (name.find('\\') != std::string::npos || is_predefined(name) || is_deleted(name) || in_list(m_hidden, name))
            continue;
        items.push_back({name, text_is_true(state(i))});
    }
    return items;
}

void TComponentModel::CheckListClicked(std::vector<ComponentCheckItem>& items)
{
    std::vector<std::string> upper_names;
    upper_names.reserve(m_names.size());
    for (const std::string& name : m_names)
        upper_names.push_back(ansi_upper(name));
    for (ComponentCheckItem& item : items) {
        std::string prefix = ansi_upper(item.text);
        bool value = item.checked;
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            // The predefined component holds what the script installs outside
            // every feature; an item whose text happens to prefix its name
            // must not switch it off.
            if (!upper_names[i].starts_with(prefix) || is_predefined(m_names[i]))
                continue;
            if (!is_locked(m_names[i]))
                set_state_at(i, value);
            item.checked = text_is_true(state(i));
        }
    }
}

void TComponentModel::Merge(const SelectionFile& file)
{
    for (std::size_t k = 0; k < file.names.size(); ++k) {
        // A file with fewer states than names has nothing to say about the rest.
        if (k >= file.states.size() || file.states[k].empty())
            continue;
        bool selected = text_is_true(file.states[k]);
        for (std::size_t i = 0; i < m_names.size(); ++i)
            if (equal_nocase(m_names[i], file.names[k]))
                set_state_at(i, selected);
    }
    m_deleted = file.deleted;
    m_hidden = file.hidden;
    m_locked = file.locked;
}

void TComponentModel::Append(const SelectionFile& file, LoadSizes sizes)
{
    // Padding keeps the states parallel to the names across the append.
    m_states.resize(m_names.size());
    m_names.insert(m_names.end(), file.names.begin(), file.names.end());
    for (std::size_t k = 0; k < file.names.size(); ++k)
        m_states.push_back(k < file.states.size() ? file.states[k] : std::string());
    m_deleted.insert(m_deleted.end(), file.deleted.begin(), file.deleted.end());
    m_hidden.insert(m_hidden.end(), file.hidden.begin(), file.hidden.end());
    m_locked.insert(m_locked.end(), file.locked.begin(), file.locked.end());
    if (sizes == LoadSizes::append)
        m_sizes.insert(m_sizes.end(), file.sizes.begin(), file.sizes.end());
}

std::string TComponentModel::state(std::size_t position) const
{
    return position < m_states.size() ? m_states[position] : std::string();
}

void TComponentModel::set_state_at(std::size_t position, bool selected)
{
    // States may lag behind the names after a stored file was read; padding
    // keeps every later component at its own index.
    if (m_states.size() <= position)
        m_states.resize(position + 1);
    m_states[position] = state_text(selected);
}

// Only the name positions of the pairs are compared: a component named like a
// size ("5000") must not pick up, or overwrite, the name that follows a size.
std::optional<std::size_t> TComponentModel::size_slot(std::string_view name) const
{
    for (std::size_t k = 0; k < m_sizes.size(); k += 2)
        if (equal_nocase(m_sizes[k], name))
            return k;
    return std::nullopt;
}

std::optional<std::size_t> TComponentModel::size_slot_upper(std::string_view name) const
{
    std::string upper = ansi_upper(name);
    for (std::size_t k = 0; k < m_sizes.size(); k += 2)
        if (ansi_upper(m_sizes[k]) == upper)
            return k;
    return std::nullopt;
}

void TComponentModel::store_description(std::size_t position, std::string_view description)
{
    if (m_descriptions.size() <= position)
        m_descriptions.resize(position + 1);
    m_descriptions[position] = std::string(description);
}

std::string FormatSelectionFile(const TComponentModel& model, const SelectionRunValues& values)
{
    std::string out;
    write_list(out, model.names());
    for (std::size_t i = 0; i < model.names().size(); ++i)
        write_line(out, model.state(i));
    write_line(out, component_text::section_end);
    write_list(out, model.deleted());
    write_list(out, model.hidden());
    write_list(out, model.locked());
    write_list(out, model.sizes());
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
    SelectionFile file;
    std::vector<std::string>* lists[] = {&file.names,  &file.states, &file.deleted,
                                         &file.hidden, &file.locked, &file.sizes};
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
