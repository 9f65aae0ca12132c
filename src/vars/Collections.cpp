#include "vars/Collections.h"

#include "base/strings.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <utility>

namespace quillon {

namespace {

constexpr double min_load_factor = 0.1;
constexpr double max_load_factor = 7.0;

// Doubling stops here; the table then keeps its buckets and chains get longer.
constexpr std::uint32_t max_bucket_count = 1u << 30;

std::uint32_t threshold_for(std::uint32_t bucket_count, double load_factor)
{
    return static_cast<std::uint32_t>(std::round(static_cast<double>(bucket_count) * load_factor));
}

} // namespace

std::uint32_t hash_name_nocase(std::string_view key) noexcept
{
    std::uint32_t h = 0;
    for (char ch : key) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<unsigned char>(c + 0x20);
        h = std::rotl(h, 5) ^ c;
    }
    return h;
}

TCustomHashTable::TCustomHashTable(HashFunction hash, EqualityFunction equal, const HashTableOptions& options)
    : m_initial_capacity(options.initial_capacity), m_fixed_size(options.fixed_size),
      m_load_factor(options.load_factor), m_hash(hash), m_equal(equal)
{
    if (m_initial_capacity != 0)
        allocate_buckets(m_initial_capacity);
}

TCustomHashTable::TCustomHashTable(TCustomHashTable&& other) noexcept
    : m_count(std::exchange(other.m_count, 0)), m_initial_capacity(other.m_initial_capacity),
      m_fixed_size(other.m_fixed_size), m_load_factor(other.m_load_factor),
      m_threshold(std::exchange(other.m_threshold, 0)), m_buckets(std::move(other.m_buckets)),
      m_bucket_count(std::exchange(other.m_bucket_count, 0)), m_hash(other.m_hash), m_equal(other.m_equal)
{
    // Enumerators point at the table they were made from.
    assert(other.m_iterating == 0);
}

TCustomHashTable& TCustomHashTable::operator=(TCustomHashTable&& other) noexcept
{
    if (this != &other) {
        assert(m_iterating == 0 && other.m_iterating == 0);
        free_nodes();
        m_count = std::exchange(other.m_count, 0);
        m_initial_capacity = other.m_initial_capacity;
        m_fixed_size = other.m_fixed_size;
        m_load_factor = other.m_load_factor;
        m_threshold = std::exchange(other.m_threshold, 0);
        m_buckets = std::move(other.m_buckets);
        m_bucket_count = std::exchange(other.m_bucket_count, 0);
        m_hash = other.m_hash;
        m_equal = other.m_equal;
    }
    return *this;
}

TCustomHashTable::~TCustomHashTable()
{
    assert(m_iterating == 0);
    free_nodes();
}

Result<void> TCustomHashTable::check_options(const HashTableOptions& options)
{
    // The negated form also refuses NaN.
    if (!(options.load_factor >= min_load_factor && options.load_factor <= max_load_factor))
        return make_error(ErrorCode::out_of_range, "Argument out of range");
    return {};
}

void TCustomHashTable::allocate_buckets(std::uint32_t count)
{
    m_buckets = std::make_unique<Node*[]>(count); // value-initialised: every chain empty
    m_bucket_count = count;
    m_threshold = threshold_for(count, m_load_factor);
}

void TCustomHashTable::grow()
{
    if (m_bucket_count >= max_bucket_count)
        return;
    std::uint32_t new_count = m_bucket_count == 0 ? 32 : m_bucket_count * 2;
    auto new_buckets = std::make_unique<Node*[]>(new_count);
    // Old buckets from 0 upwards, each chain from its head, every node to the
    // head of its new chain: nodes that stay together end up in reverse order.
    for (std::uint32_t b = 0; b < m_bucket_count; ++b) {
        Node* node = m_buckets[b];
        while (node != nullptr) {
            Node* next = node->next;
            Node*& head = new_buckets[node->hash % new_count];
            node->next = head;
            head = node;
            node = next;
        }
    }
    m_buckets = std::move(new_buckets);
    m_bucket_count = new_count;
    m_threshold = threshold_for(new_count, m_load_factor);
}

TCustomHashTable::Node* TCustomHashTable::find_node(std::string_view key, std::uint32_t hash) const
{
    if (m_bucket_count == 0)
        return nullptr;
    for (Node* node = m_buckets[hash % m_bucket_count]; node != nullptr; node = node->next)
        if (node->hash == hash && m_equal(node->key, key))
            return node;
    return nullptr;
}

Result<void> TCustomHashTable::put(std::string_view key, std::string_view value)
{
    if (key.empty())
        return {};
    if (m_iterating != 0)
        return make_error(ErrorCode::internal, "Can not modify a collection while iterating");
    // Growth is checked before the lookup, so replacing a value can grow the table too.
    if (m_count >= m_threshold && !m_fixed_size)
        grow();
    if (m_bucket_count == 0)
        return make_error(ErrorCode::internal, "Hash table is fixed with size 0");

    std::uint32_t hash = m_hash(key);
    if (Node* node = find_node(key, hash)) {
        node->value.assign(value); // the key keeps the spelling it was first put with
        return {};
    }
    Node*& head = m_buckets[hash % m_bucket_count];
    head = new Node{head, hash, std::string(key), std::string(value)};
    ++m_count;
    return {};
}

const std::string* TCustomHashTable::find(std::string_view key) const
{
    if (key.empty())
        return nullptr;
    const Node* node = find_node(key, m_hash(key));
    return node != nullptr ? &node->value : nullptr;
}

void TCustomHashTable::free_nodes() noexcept
{
    // Chain by chain in a loop: a long chain must not recurse.
    for (std::uint32_t b = 0; b < m_bucket_count; ++b) {
        Node* node = m_buckets[b];
        while (node != nullptr) {
            Node* next = node->next;
            delete node;
            node = next;
        }
    }
    m_buckets.reset();
    m_bucket_count = 0;
    m_threshold = 0;
    m_count = 0;
}

Result<void> TCustomHashTable::clear()
{
    if (m_iterating != 0)
        return make_error(ErrorCode::internal, "Can not modify a collection while iterating");
    free_nodes();
    if (m_initial_capacity != 0)
        allocate_buckets(m_initial_capacity);
    return {};
}

THashEnumerator::THashEnumerator(const TCustomHashTable& table) noexcept : m_table(&table)
{
    ++m_table->m_iterating;
}

THashEnumerator::THashEnumerator(THashEnumerator&& other) noexcept
    : m_table(std::exchange(other.m_table, nullptr)), m_next_bucket(other.m_next_bucket), m_node(other.m_node)
{
}

THashEnumerator::~THashEnumerator()
{
    if (m_table != nullptr)
        --m_table->m_iterating;
}

bool THashEnumerator::move_next() noexcept
{
    if (m_table == nullptr)
        return false;
    if (m_node != nullptr)
        m_node = m_node->next;
    while (m_node == nullptr && m_next_bucket < m_table->m_bucket_count)
        m_node = m_table->m_buckets[m_next_bucket++];
    return m_node != nullptr;
}

TCustomStringHashTable::TCustomStringHashTable(const HashTableOptions& options)
    : TCustomHashTable(hash_name_nocase, equal_nocase, options)
{
}

TStringHashTable::TStringHashTable() : TStringHashTable(HashTableOptions{}) {}

Result<TStringHashTable> TStringHashTable::create(const HashTableOptions& options)
{
    TRY(check_options(options));
    return TStringHashTable(options);
}

TStringHashTable::TPair TStringHashTable::TPairEnumerator::current() const noexcept
{
    const auto* node = current_node();
    assert(node != nullptr);
    return TPair{node->key, node->value};
}

} // namespace quillon
