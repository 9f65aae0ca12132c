#include "script/line_index.h"

#include "base/strings.h"

namespace quillon {

std::uint64_t nocase_hash(std::string_view text) noexcept
{
    // FNV-1a, 64-bit.
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 'a' && byte <= 'z')
            byte = static_cast<unsigned char>(byte - 'a' + 'A');
        else if (byte >= 0x80)
            byte = 0x80;
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

IndexedLines::IndexedLines(std::vector<std::string> lines, std::size_t stride) : m_lines(std::move(lines))
{
    if (stride == 0)
        stride = 1;
    std::size_t indexed = (m_lines.size() + stride - 1) / stride;
    std::size_t capacity = 8;
    while (capacity / 2 < indexed)
        capacity *= 2;
    m_slots.resize(capacity);
    std::size_t mask = capacity - 1;

    for (std::size_t position = 0; position < m_lines.size(); position += stride) {
        const std::string& line = m_lines[position];
        std::uint64_t hash = nocase_hash(line);
        for (std::size_t slot = static_cast<std::size_t>(hash) & mask;; slot = (slot + 1) & mask) {
            Slot& entry = m_slots[slot];
            if (entry.position == empty_slot) {
                entry = Slot{hash, position};
                break;
            }
            // Only the first of equal lines is kept: lookups answer the first match.
            if (entry.hash == hash && equal_nocase(m_lines[entry.position], line))
                break;
        }
    }
}

std::optional<std::size_t> IndexedLines::find(std::string_view key) const
{
    if (m_slots.empty())
        return std::nullopt;
    std::uint64_t hash = nocase_hash(key);
    std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = static_cast<std::size_t>(hash) & mask;; slot = (slot + 1) & mask) {
        const Slot& entry = m_slots[slot];
        if (entry.position == empty_slot)
            return std::nullopt;
        if (entry.hash == hash && equal_nocase(m_lines[entry.position], key))
            return entry.position;
    }
}

} // namespace quillon
