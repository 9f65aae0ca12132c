// Chained hash table with string keys and values, the storage of the variable store.
//
// The layout is deliberately simple and fully determined: the hash of a key,
// the bucket count and the insertion order decide where a node sits, and the
// enumeration order follows from that. Snapshots of the variable store are
// written in this order, so it must stay stable across builds.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class THashEnumerator;

struct HashTableOptions {
    double load_factor = 2.0;           // 0.1 to 7 inclusive
    std::uint32_t initial_capacity = 0; // bucket count after construction and after clear
    bool fixed_size = false;            // never grow
};

// The chained table itself: buckets of singly linked nodes, new nodes at the
// head of their chain, growth by doubling. Not thread-safe; TVariableManager
// serialises access.
class TCustomHashTable {
public:
    using HashFunction = std::uint32_t (*)(std::string_view key);
    using EqualityFunction = bool (*)(std::string_view a, std::string_view b);

    TCustomHashTable(const TCustomHashTable&) = delete;
    TCustomHashTable& operator=(const TCustomHashTable&) = delete;
    TCustomHashTable(TCustomHashTable&& other) noexcept;
    TCustomHashTable& operator=(TCustomHashTable&& other) noexcept;
    ~TCustomHashTable();

    // Creates the variable or replaces its value; an empty key is ignored.
    Result<void> put(std::string_view key, std::string_view value);
    // The stored value, or null. The pointer is valid until the next modification.
    const std::string* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Removes every node and returns to the initial capacity.
    Result<void> clear();

    std::uint64_t count() const noexcept { return m_count; }
    std::uint32_t bucket_count() const noexcept { return m_bucket_count; }
    std::uint32_t threshold() const noexcept { return m_threshold; }
    double load_factor() const noexcept { return m_load_factor; }
    bool iterating() const noexcept { return m_iterating != 0; }

protected:
    TCustomHashTable(HashFunction hash, EqualityFunction equal, const HashTableOptions& options);

    // Refuses load factors outside 0.1 to 7 with "Argument out of range".
    static Result<void> check_options(const HashTableOptions& options);

private:
    friend class THashEnumerator;

    struct Node {
        Node* next;
        std::uint32_t hash;
        std::string key;
        std::string value;
    };

    void allocate_buckets(std::uint32_t count);
    void grow();
    void free_nodes() noexcept;
    Node* find_node(std::string_view key, std::uint32_t hash) const;

    std::uint64_t m_count = 0;
    std::uint32_t m_initial_capacity = 0;
    bool m_fixed_size = false;
    // A count rather than a flag so that two live enumerators cannot release each other's guard.
    // Mutable: walking a const table still has to hold writers off.
    mutable std::uint32_t m_iterating = 0;
    double m_load_factor = 2.0;
    std::uint32_t m_threshold = 0;
    std::unique_ptr<Node*[]> m_buckets;
    std::uint32_t m_bucket_count = 0;
    HashFunction m_hash = nullptr;
    EqualityFunction m_equal = nullptr;
};

// Walks the nodes from bucket 0 upwards and each chain from head to tail. While
// an enumerator exists the table refuses every modification.
class THashEnumerator {
public:
    explicit THashEnumerator(const TCustomHashTable& table) noexcept;
    THashEnumerator(const THashEnumerator&) = delete;
    THashEnumerator& operator=(const THashEnumerator&) = delete;
    THashEnumerator(THashEnumerator&& other) noexcept;
    THashEnumerator& operator=(THashEnumerator&&) = delete;
    ~THashEnumerator();

    // Advances to the next node; false when the walk is over.
    bool move_next() noexcept;

protected:
    const TCustomHashTable::Node* current_node() const noexcept { return m_node; }

private:
    const TCustomHashTable* m_table;
    std::uint32_t m_next_bucket = 0;
    const TCustomHashTable::Node* m_node = nullptr;
};

// The case-insensitive hash of a name: rotate left by 5, fold ASCII capitals,
// XOR the byte into the low byte. Bytes 0x80 to 0xFF are used unchanged.
std::uint32_t hash_name_nocase(std::string_view key) noexcept;

// Chooses the hash and equality for names: the hash above and equal_nocase.
class TCustomStringHashTable : public TCustomHashTable {
protected:
    explicit TCustomStringHashTable(const HashTableOptions& options);
};

class TStringHashTable : public TCustomStringHashTable {
public:
    struct TPair {
        std::string_view key;
        std::string_view value;
    };

    class TPairEnumerator : public THashEnumerator {
    public:
        using THashEnumerator::THashEnumerator;
        // Valid after move_next() returned true; the views live as long as the enumerator.
        TPair current() const noexcept;
    };

    // The variable store's table: load factor 2.0, no buckets until the first put.
    TStringHashTable();
    static Result<TStringHashTable> create(const HashTableOptions& options);

    TPairEnumerator enumerate() const { return TPairEnumerator(*this); }

private:
    explicit TStringHashTable(const HashTableOptions& options) : TCustomStringHashTable(options) {}
};

} // namespace quillon
