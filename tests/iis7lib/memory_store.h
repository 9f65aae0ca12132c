// A configuration store in memory for the tests of the IIS 7 operations: each
// manager works on its own copy of the sections and replaces the store's
// state when it commits. Sections are kept per configuration path exactly as
// the operations name them, so that a test sees where a setting went.
#pragma once

#include "iis7lib/config_store.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::iis7::test {

struct MemoryNode {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::shared_ptr<MemoryNode>> children; // child elements, one per name
    std::vector<std::shared_ptr<MemoryNode>> items;    // the element's collection

    explicit MemoryNode(std::string node_name) : name(std::move(node_name)) {}

    // Empty when the node does not carry the attribute.
    std::string attribute(std::string_view attribute_name) const;
    bool has_attribute(std::string_view attribute_name) const;
    MemoryNode& set(std::string_view attribute_name, std::string_view value);
    // The child of that name, made when missing.
    MemoryNode& child(std::string_view child_name);
    const MemoryNode* find_child(std::string_view child_name) const;
    // Appends a new collection item.
    MemoryNode& add_item(std::string item_name);
    // The first item whose attribute has the value, or null.
    const MemoryNode* find_item(std::string_view attribute_name, std::string_view value) const;

    std::shared_ptr<MemoryNode> clone() const;
};

class MemoryConfigStore : public ConfigStore {
public:
    Result<std::unique_ptr<AdminManager>> open() override;

    // The committed state of a section, made when missing.
    MemoryNode& section(std::string_view name, std::string_view config_path);
    const MemoryNode* find_section(std::string_view name, std::string_view config_path) const;
    // The committed sites, and a site with a root application "/" whose root
    // directory "/" points at a physical folder.
    MemoryNode& sites();
    MemoryNode& add_site(std::int32_t id, std::string_view name);
    const MemoryNode* find_site(std::int32_t id) const;
    std::vector<std::string> site_names() const;

    // Faults of the store: an attribute it refuses to set, and a failing commit.
    void refuse_attribute(std::string name) { m_refused.insert(std::move(name)); }
    void fail_next_commit() { m_fail_next_commit = true; }

    // The commit path of every commit, in order.
    const std::vector<std::string>& commits() const { return m_commits; }

private:
    friend class MemoryManager;
    friend class MemoryElement;

    using Sections = std::map<std::pair<std::string, std::string>, std::shared_ptr<MemoryNode>>;
    static Sections clone(const Sections& sections);

    Sections m_sections; // keyed by configuration path and section name
    std::set<std::string> m_refused;
    bool m_fail_next_commit = false;
    std::vector<std::string> m_commits;
};

} // namespace quillon::iis7::test
