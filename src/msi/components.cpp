#include "msi/components.h"

#include "base/strings.h"
#include "vars/mEval.h"

#include <limits>

namespace quillon {

namespace {

constexpr std::int64_t kibibyte = 1024;
constexpr std::int64_t mebibyte = 1024 * kibibyte;
constexpr std::int64_t gibibyte = 1024 * mebibyte;

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

std::vector<SizeEntry> size_table(const std::vector<std::string>& flat)
{
    std::vector<SizeEntry> table;
    table.reserve(flat.size() / 2 + 1);
    for (std::size_t k = 0; k < flat.size(); k += 2)
        table.push_back({flat[k], k + 1 < flat.size() ? flat[k + 1] : std::string("0")});
    return table;
}

TComponentModel::TComponentModel(const std::vector<std::string>& sizes)
{
    m_lists.sizes = size_table(sizes);
}

void TComponentModel::Clear()
{
    m_lists.components.clear();
    m_lists.deleted.clear();
    m_lists.hidden.clear();
    m_lists.locked.clear();
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
        if (std::int64_t bytes = size(*untranslated_name); bytes != 0)
            m_lists.sizes.push_back({std::string(name), std::to_string(bytes)});
    }
    std::optional<std::size_t> existing = index(name);
    std::size_t position = 0;
    if (existing) {
        position = *existing;
        remove_first(m_lists.deleted, name);
    } else {
        m_lists.components.push_back({std::string(name), {}, {}});
        position = m_lists.components.size() - 1;
    }
    m_lists.components[position].description = std::string(description);
    if (!size_slot(name))
        m_lists.sizes.push_back({std::string(name), "0"});
    // A redefinition keeps the selection that the user or a loaded file made.
    if (m_lists.components[position].state.empty())
        set_state_at(position, initial_state);
}

void TComponentModel::Delete(std::string_view name)
{
    if (exists(name) && !in_list(m_lists.deleted, name))
        m_lists.deleted.emplace_back(name);
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
    if (std::optional<std::size_t> slot = size_slot_upper(name))
        m_lists.sizes[*slot].bytes = std::move(text);
    else
        m_lists.sizes.push_back({std::string(name), std::move(text)});
    return true;
}

void TComponentModel::SetChoice(std::string_view name, bool allowed)
{
    if (allowed)
        remove_first(m_lists.locked, name);
    else if (exists(name) && !in_list(m_lists.locked, name))
        m_lists.locked.emplace_back(name);
}

void TComponentModel::SetVisibility(std::string_view name, bool visible)
{
    if (visible)
        remove_first(m_lists.hidden, name);
    else if (exists(name) && !in_list(m_lists.hidden, name))
        m_lists.hidden.emplace_back(name);
}

void TComponentModel::set_selected(std::size_t position, bool selected)
{
    if (position < m_lists.components.size())
        set_state_at(position, selected);
}

bool TComponentModel::exists(std::string_view name) const
{
    return index(name).has_value();
}

std::optional<std::size_t> TComponentModel::index(std::string_view name) const
{
    for (std::size_t i = 0; i < m_lists.components.size(); ++i)
        if (equal_nocase(m_lists.components[i].name, name))
            return i;
    return std::nullopt;
}

const Component* TComponentModel::component_at(std::size_t position) const
{
    return position < m_lists.components.size() ? &m_lists.components[position] : nullptr;
}

bool TComponentModel::is_deleted(std::string_view name) const
{
    return in_list(m_lists.deleted, name);
}

bool TComponentModel::is_selected(std::string_view name) const
{
    std::optional<std::size_t> position = index(name);
    return position && !is_deleted(name) && text_is_true(m_lists.components[*position].state);
}

bool TComponentModel::is_locked(std::string_view name) const
{
    return listed_with_ancestors(m_lists.locked, name);
}

bool TComponentModel::is_hidden(std::string_view name) const
{
    return listed_with_ancestors(m_lists.hidden, name);
}

std::string TComponentModel::description(std::string_view name) const
{
    std::optional<std::size_t> position = index(name);
    return position ? m_lists.components[*position].description : std::string();
}

std::int64_t TComponentModel::size(std::string_view name) const
{
    std::optional<std::size_t> slot = size_slot(name);
    return slot ? parse_int64(m_lists.sizes[*slot].bytes).value_or(0) : 0;
}

std::int64_t TComponentModel::selected_size() const
{
    std::int64_t total = 0;
    for (const Component& component : m_lists.components)
        if (text_is_true(component.state) && !is_deleted(component.name))
            total = saturating_add(total, size(component.name));
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
    for (std::size_t i = 0; i < m_lists.components.size(); ++i) {
        const Component& component = m_lists.components[i];
        if (is_predefined(component.name) || is_deleted(component.name) || is_hidden(component.name))
            continue;
        std::vector<std::string_view> segments = segments_of(component.name);
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
        tree[*current].image = text_is_true(component.state) ? 1 : 0;
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
        if (std::optional<std::size_t> component = tree[current].component; component && component_at(*component)) {
            set_state_at(*component, selected);
            tree[current].image = selected ? 1 : 0;
        }
        if (!recursive)
            break;
        for (std::size_t child = tree.size(); child-- > 0;) {
            if (tree[child].parent != current)
                continue;
            if (const std::optional<std::size_t>& component = tree[child].component) {
                const Component* record = component_at(*component);
                if (record && is_locked(record->name))
                    continue;
            }
            pending.push_back(child);
        }
    }
}

std::vector<ComponentCheckItem> TComponentModel::FillCheckList() const
{
    std::vector<ComponentCheckItem> items;
    for (const Component& component : m_lists.components) {
        const std::string& name = component.name;
        if (name.find('\\') != std::string::npos || is_predefined(name) || is_deleted(name) ||
            in_list(m_lists.hidden, name))
            continue;
        items.push_back({name, text_is_true(component.state)});
    }
    return items;
}

void TComponentModel::CheckListClicked(std::vector<ComponentCheckItem>& items)
{
    std::vector<Component>& components = m_lists.components;
    std::vector<std::string> upper_names;
    upper_names.reserve(components.size());
    for (const Component& component : components)
        upper_names.push_back(ansi_upper(component.name));
    for (ComponentCheckItem& item : items) {
        std::string prefix = ansi_upper(item.text);
        bool value = item.checked;
        for (std::size_t i = 0; i < components.size(); ++i) {
            // The predefined component holds what the script installs outside
            // every feature; an item whose text happens to prefix its name
            // must not switch it off.
            if (!upper_names[i].starts_with(prefix) || is_predefined(components[i].name))
                continue;
            if (!is_locked(components[i].name))
                set_state_at(i, value);
            item.checked = text_is_true(components[i].state);
        }
    }
}

void TComponentModel::Merge(const ComponentLists& stored)
{
    for (const Component& entry : stored.components) {
        // A stored component without a state has nothing to say.
        if (entry.state.empty())
            continue;
        bool selected = text_is_true(entry.state);
        for (std::size_t i = 0; i < m_lists.components.size(); ++i)
            if (equal_nocase(m_lists.components[i].name, entry.name))
                set_state_at(i, selected);
    }
    m_lists.deleted = stored.deleted;
    m_lists.hidden = stored.hidden;
    m_lists.locked = stored.locked;
}

void TComponentModel::Append(const ComponentLists& stored, LoadSizes sizes)
{
    auto append = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
    append(m_lists.components, stored.components);
    append(m_lists.deleted, stored.deleted);
    append(m_lists.hidden, stored.hidden);
    append(m_lists.locked, stored.locked);
    if (sizes == LoadSizes::append)
        append(m_lists.sizes, stored.sizes);
}

void TComponentModel::set_state_at(std::size_t position, bool selected)
{
    m_lists.components[position].state = state_text(selected);
}

std::optional<std::size_t> TComponentModel::size_slot(std::string_view name) const
{
    for (std::size_t k = 0; k < m_lists.sizes.size(); ++k)
        if (equal_nocase(m_lists.sizes[k].name, name))
            return k;
    return std::nullopt;
}

std::optional<std::size_t> TComponentModel::size_slot_upper(std::string_view name) const
{
    std::string upper = ansi_upper(name);
    for (std::size_t k = 0; k < m_lists.sizes.size(); ++k)
        if (ansi_upper(m_lists.sizes[k].name) == upper)
            return k;
    return std::nullopt;
}

} // namespace quillon
