#include "iis7lib/memory_store.h"

#include "iis7lib/iis7_operations.h"

namespace quillon::iis7::test {

std::string MemoryNode::attribute(std::string_view attribute_name) const
{
    for (const auto& [key, value] : attributes)
        if (key == attribute_name)
            return value;
    return {};
}

bool MemoryNode::has_attribute(std::string_view attribute_name) const
{
    for (const auto& entry : attributes)
        if (entry.first == attribute_name)
            return true;
    return false;
}

MemoryNode& MemoryNode::set(std::string_view attribute_name, std::string_view value)
{
    for (auto& [key, current] : attributes)
        if (key == attribute_name) {
            current = value;
            return *this;
        }
    attributes.emplace_back(attribute_name, value);
    return *this;
}

MemoryNode& MemoryNode::child(std::string_view child_name)
{
    for (const auto& node : children)
        if (node->name == child_name)
            return *node;
    children.push_back(std::make_shared<MemoryNode>(std::string(child_name)));
    return *children.back();
}

const MemoryNode* MemoryNode::find_child(std::string_view child_name) const
{
    for (const auto& node : children)
        if (node->name == child_name)
            return node.get();
    return nullptr;
}

MemoryNode& MemoryNode::add_item(std::string item_name)
{
    items.push_back(std::make_shared<MemoryNode>(std::move(item_name)));
    return *items.back();
}

const MemoryNode* MemoryNode::find_item(std::string_view attribute_name, std::string_view value) const
{
    for (const auto& node : items)
        if (node->has_attribute(attribute_name) && node->attribute(attribute_name) == value)
            return node.get();
    return nullptr;
}

std::shared_ptr<MemoryNode> MemoryNode::clone() const
{
    auto copy = std::make_shared<MemoryNode>(name);
    copy->attributes = attributes;
    for (const auto& node : children)
        copy->children.push_back(node->clone());
    for (const auto& node : items)
        copy->items.push_back(node->clone());
    return copy;
}

class MemoryElement final : public ConfigElement {
public:
    MemoryElement(std::shared_ptr<MemoryNode> node, const MemoryConfigStore& store)
        : m_node(std::move(node)), m_store(store)
    {
    }

    Result<std::string> name() override { return m_node->name; }
    Result<std::string> attribute(std::string_view attribute_name) override
    {
        return m_node->attribute(attribute_name);
    }
    Result<void> set_attribute(std::string_view attribute_name, std::string_view value) override
    {
        if (m_store.m_refused.contains(std::string(attribute_name)))
            return make_error(ErrorCode::unsupported, "the store refuses " + std::string(attribute_name));
        m_node->set(attribute_name, value);
        return {};
    }
    Result<std::unique_ptr<ConfigElement>> child(std::string_view child_name) override;
    Result<std::unique_ptr<ElementCollection>> collection() override;

    const std::shared_ptr<MemoryNode>& node() const { return m_node; }

private:
    std::shared_ptr<MemoryNode> m_node;
    const MemoryConfigStore& m_store;
};

class MemoryCollection final : public ElementCollection {
public:
    MemoryCollection(std::shared_ptr<MemoryNode> owner, const MemoryConfigStore& store)
        : m_owner(std::move(owner)), m_store(store)
    {
    }

    Result<std::size_t> count() override { return m_owner->items.size(); }
    Result<std::unique_ptr<ConfigElement>> item(std::size_t index) override
    {
        if (index >= m_owner->items.size())
            return make_error(ErrorCode::out_of_range, "no collection item " + std::to_string(index));
        return std::make_unique<MemoryElement>(m_owner->items[index], m_store);
    }
    Result<std::unique_ptr<ConfigElement>> create_element(std::string_view element_name) override
    {
        return std::make_unique<MemoryElement>(std::make_shared<MemoryNode>(std::string(element_name)), m_store);
    }
    Result<void> add(ConfigElement& element) override
    {
        auto* own = dynamic_cast<MemoryElement*>(&element);
        if (own == nullptr)
            return make_error(ErrorCode::internal, "an element of another store");
        for (const auto& node : m_owner->items)
            if (node == own->node())
                return make_error(ErrorCode::internal, "the element is already in the collection");
        m_owner->items.push_back(own->node());
        return {};
    }
    Result<void> remove(std::size_t index) override
    {
        if (index >= m_owner->items.size())
            return make_error(ErrorCode::out_of_range, "no collection item " + std::to_string(index));
        m_owner->items.erase(m_owner->items.begin() + static_cast<std::ptrdiff_t>(index));
        return {};
    }

private:
    std::shared_ptr<MemoryNode> m_owner;
    const MemoryConfigStore& m_store;
};

Result<std::unique_ptr<ConfigElement>> MemoryElement::child(std::string_view child_name)
{
    m_node->child(child_name);
    for (const auto& node : m_node->children)
        if (node->name == child_name)
            return std::make_unique<MemoryElement>(node, m_store);
    return make_error(ErrorCode::internal, "child not made");
}

Result<std::unique_ptr<ElementCollection>> MemoryElement::collection()
{
    return std::make_unique<MemoryCollection>(m_node, m_store);
}

class MemoryManager final : public AdminManager {
public:
    explicit MemoryManager(MemoryConfigStore& store)
        : m_store(store), m_sections(MemoryConfigStore::clone(store.m_sections)), m_commit_path(apphost_path)
    {
    }

    Result<std::unique_ptr<ConfigElement>> admin_section(std::string_view section,
                                                         std::string_view config_path) override
    {
        auto& node = m_sections[{std::string(config_path), std::string(section)}];
        if (!node)
            node = std::make_shared<MemoryNode>(std::string(section));
        return std::make_unique<MemoryElement>(node, m_store);
    }
    Result<void> set_commit_path(std::string_view config_path) override
    {
        m_commit_path = config_path;
        return {};
    }
    Result<void> commit() override
    {
        if (m_store.m_fail_next_commit) {
            m_store.m_fail_next_commit = false;
            return make_error(ErrorCode::io, "commit failed");
        }
        m_store.m_sections = MemoryConfigStore::clone(m_sections);
        m_store.m_commits.push_back(m_commit_path);
        return {};
    }

private:
    MemoryConfigStore& m_store;
    MemoryConfigStore::Sections m_sections;
    std::string m_commit_path;
};

Result<std::unique_ptr<AdminManager>> MemoryConfigStore::open()
{
    return std::make_unique<MemoryManager>(*this);
}

MemoryConfigStore::Sections MemoryConfigStore::clone(const Sections& sections)
{
    Sections copy;
    for (const auto& [key, node] : sections)
        copy.emplace(key, node->clone());
    return copy;
}

MemoryNode& MemoryConfigStore::section(std::string_view name, std::string_view config_path)
{
    auto& node = m_sections[{std::string(config_path), std::string(name)}];
    if (!node)
        node = std::make_shared<MemoryNode>(std::string(name));
    return *node;
}

const MemoryNode* MemoryConfigStore::find_section(std::string_view name, std::string_view config_path) const
{
    auto found = m_sections.find({std::string(config_path), std::string(name)});
    return found == m_sections.end() ? nullptr : found->second.get();
}

MemoryNode& MemoryConfigStore::sites()
{
    return section("system.applicationHost/sites", apphost_path);
}

MemoryNode& MemoryConfigStore::add_site(std::int32_t id, std::string_view name)
{
    MemoryNode& site = sites().add_item("site").set("name", name).set("id", std::to_string(id));
    MemoryNode& root = site.add_item("application").set("path", "/");
    root.add_item("virtualDirectory").set("path", "/").set("physicalPath", "C:\\sites\\" + std::string(name));
    return site;
}

const MemoryNode* MemoryConfigStore::find_site(std::int32_t id) const
{
    const MemoryNode* all = find_section("system.applicationHost/sites", apphost_path);
    return all == nullptr ? nullptr : all->find_item("id", std::to_string(id));
}

std::vector<std::string> MemoryConfigStore::site_names() const
{
    std::vector<std::string> names;
    if (const MemoryNode* all = find_section("system.applicationHost/sites", apphost_path))
        for (const auto& site : all->items)
            names.push_back(site->attribute("name"));
    return names;
}

} // namespace quillon::iis7::test
