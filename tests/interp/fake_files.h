// The file system and the registry for tests of the file, registry and INI
// commands: folders and files in a map (names compared without regard to
// case, listed in name order), registry keys and values per view, and a
// record of what was asked.
#pragma once

#include "base/paths.h"
#include "base/strings.h"
#include "interp/file_system_access.h"
#include "interp/registry_store.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quillon::test {

class FakeFiles : public FileSystemAccess {
public:
    struct Node {
        std::string path; // as it was added
        bool folder = false;
        std::string content;
        bool read_only = false;
        bool unreadable = false;  // there, but cannot be opened for reading
        bool unwritable = false;  // cannot be replaced
        bool undeletable = false; // in use: cannot be deleted
    };
    using Tree = std::map<std::string, Node>; // upper-case path -> node

    // A folder and the folders above it (a drive's root is implied).
    void add_folder(const std::string& path)
    {
        std::string folder = without_backslash(path);
        if (folder.empty() || is_drive_root(with_backslash(folder)) || folder.size() <= 2)
            return;
        add_folder(parent_folder(folder));
        Node node;
        node.path = folder;
        node.folder = true;
        (*m_tree)[ansi_upper(folder)] = node;
    }
    Node& add_file(const std::string& path, std::string content = {})
    {
        add_folder(parent_folder(path));
        Node& node = (*m_tree)[ansi_upper(path)];
        node = Node{};
        node.path = path;
        node.content = std::move(content);
        return node;
    }
    const Node* node(const std::string& path) const
    {
        auto found = m_tree->find(ansi_upper(without_backslash(path)));
        return found == m_tree->end() ? nullptr : &found->second;
    }
    std::optional<std::string> content(const std::string& path) const
    {
        const Node* found = node(path);
        return found != nullptr && !found->folder ? std::optional<std::string>(found->content) : std::nullopt;
    }

    bool file_exists(const std::string& path) override
    {
        asked.push_back(path);
        const Node* found = node(path);
        return found != nullptr && !found->folder;
    }
    bool folder_exists(const std::string& path) override
    {
        asked.push_back(path);
        const Node* found = node(path);
        return (found != nullptr && found->folder) || is_drive_root(with_backslash(without_backslash(path)));
    }
    std::optional<DiskSpace> disk_space(const std::string& path) override
    {
        asked.push_back(path);
        auto found = spaces.find(path);
        return found == spaces.end() ? std::nullopt : std::optional<DiskSpace>(found->second);
    }
    std::optional<std::string> read_file(const std::string& path) override
    {
        asked.push_back(path);
        const Node* found = node(path);
        if (found == nullptr || found->folder || found->unreadable)
            return std::nullopt;
        ++reads;
        return found->content;
    }
    bool replace_file(const std::string& path, std::string_view content) override
    {
        asked.push_back(path);
        std::string folder = parent_folder(path);
        if (!folder_exists(folder))
            return false;
        Node* found = mutable_node(path);
        if (found != nullptr && (found->folder || found->unwritable))
            return false;
        Node& node = found != nullptr ? *found : add_file(path);
        node.content = std::string(content);
        node.read_only = false;
        return true;
    }
    FolderFinder folder_finder() const override
    {
        return [tree = m_tree](const std::string& pattern) {
            std::string folder = ansi_upper(without_backslash(folder_part(pattern)));
            std::string mask = file_name_part(pattern);
            std::vector<FolderEntry> entries;
            for (const auto& [key, node] : *tree) {
                if (parent_folder(key) != folder || key == folder)
                    continue;
                std::string name = file_name_part(node.path);
                if (matches(mask, name))
                    entries.push_back({name, node.folder});
            }
            return entries;
        };
    }
    void delete_file(const std::string& path) override
    {
        Node* found = mutable_node(path);
        if (found != nullptr && !found->folder && !found->undeletable)
            m_tree->erase(ansi_upper(path));
    }
    void remove_folder(const std::string& path) override
    {
        Node* found = mutable_node(path);
        if (found == nullptr || !found->folder)
            return;
        std::string key = ansi_upper(path);
        for (const auto& [other, node] : *m_tree)
            if (other != key && parent_folder(other) == key)
                return;
        m_tree->erase(key);
    }
    std::string profile_string(const std::string& file, const std::string& section, const std::string& key,
                               std::size_t limit) override
    {
        profile_reads.push_back(file + "|" + section + "|" + key);
        auto found = profile.find(file + "|" + section + "|" + key);
        return found == profile.end() ? std::string() : found->second.substr(0, limit);
    }

    // FindFirstFile's masks as far as tests use them: "*" and "?", "*.*" for everything.
    static bool matches(std::string_view mask, std::string_view name)
    {
        if (mask == "*.*" || mask == "*")
            return true;
        if (mask.empty())
            return name.empty();
        if (mask.front() == '*')
            return matches(mask.substr(1), name) || (!name.empty() && matches(mask, name.substr(1)));
        if (name.empty())
            return false;
        if (mask.front() != '?' && ansi_upper(mask.substr(0, 1)) != ansi_upper(name.substr(0, 1)))
            return false;
        return matches(mask.substr(1), name.substr(1));
    }

    std::map<std::string, DiskSpace> spaces;
    std::map<std::string, std::string> profile; // file|section|key -> value
    std::vector<std::string> profile_reads;
    std::vector<std::string> asked; // paths given to the queries, as given
    int reads = 0;

private:
    Node* mutable_node(const std::string& path)
    {
        auto found = m_tree->find(ansi_upper(without_backslash(path)));
        return found == m_tree->end() ? nullptr : &found->second;
    }

    std::shared_ptr<Tree> m_tree = std::make_shared<Tree>();
};

class FakeRegistry : public RegistryStore {
public:
    using Key = std::tuple<RegistryHive, std::string, PlatformView>; // upper-case key path
    struct Value {
        std::uint32_t type = 0;
        std::string data;
    };

    void add_key(RegistryHive hive, const std::string& key, PlatformView view)
    {
        std::size_t slash = key.rfind('\\');
        if (slash != std::string::npos)
            add_key(hive, key.substr(0, slash), view);
        keys.insert({hive, ansi_upper(key), view});
    }
    void set(RegistryHive hive, const std::string& key, const std::string& name, PlatformView view, std::uint32_t type,
             std::string data)
    {
        add_key(hive, key, view);
        values[{hive, ansi_upper(key), view}][ansi_upper(name)] = Value{type, std::move(data)};
    }
    bool has_key(RegistryHive hive, const std::string& key, PlatformView view) const
    {
        return keys.contains({hive, ansi_upper(key), view});
    }
    bool has_value(RegistryHive hive, const std::string& key, const std::string& name, PlatformView view) const
    {
        auto found = values.find({hive, ansi_upper(key), view});
        return found != values.end() && found->second.contains(ansi_upper(name));
    }

    RegistryRead read_value(RegistryHive hive, const std::string& key, const std::string& name,
                            PlatformView view) override
    {
        reads.push_back({hive, key, view});
        if (!has_key(hive, key, view))
            return {RegistryLookup::no_key, 0, {}};
        if (failing.contains(ansi_upper(name)))
            return {RegistryLookup::failed, 0, {}};
        auto found = values.find({hive, ansi_upper(key), view});
        if (found == values.end() || !found->second.contains(ansi_upper(name)))
            return {RegistryLookup::no_value, 0, {}};
        const Value& value = found->second.at(ansi_upper(name));
        return {RegistryLookup::found, value.type, value.data};
    }
    void delete_tree(RegistryHive hive, const std::string& key, PlatformView view) override
    {
        deletions.push_back("tree " + key);
        std::string upper = ansi_upper(key);
        std::erase_if(keys, [&](const Key& k) {
            return std::get<0>(k) == hive && std::get<2>(k) == view && under(std::get<1>(k), upper);
        });
        std::erase_if(values, [&](const auto& entry) {
            const Key& k = entry.first;
            return std::get<0>(k) == hive && std::get<2>(k) == view && under(std::get<1>(k), upper);
        });
    }
    void delete_leaf_key(RegistryHive hive, const std::string& parent, const std::string& name) override
    {
        std::string key = parent.empty() ? name : parent + "\\" + name;
        deletions.push_back("leaf " + key);
        std::string upper = ansi_upper(key);
        for (const Key& k : keys)
            if (std::get<0>(k) == hive && std::get<2>(k) == PlatformView::native && std::get<1>(k) != upper &&
                under(std::get<1>(k), upper))
                return;
        keys.erase({hive, upper, PlatformView::native});
        values.erase({hive, upper, PlatformView::native});
    }
    void delete_value(RegistryHive hive, const std::string& key, const std::string& name, PlatformView view) override
    {
        deletions.push_back("value " + key + "|" + name);
        auto found = values.find({hive, ansi_upper(key), view});
        if (found != values.end())
            found->second.erase(ansi_upper(name));
    }

    std::set<Key> keys;
    std::map<Key, std::map<std::string, Value>> values;
    std::set<std::string> failing; // upper-case value names whose reading fails
    std::vector<Key> reads;
    std::vector<std::string> deletions;

private:
    static bool under(const std::string& key, const std::string& top)
    {
        return key == top || (key.size() > top.size() && key.starts_with(top) && key[top.size()] == '\\');
    }
};

} // namespace quillon::test
