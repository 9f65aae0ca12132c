// A list of script lines with a case-insensitive whole-line index, so that
// looking up an identifier or a name among tens of thousands of lines is O(1)
// on average instead of a scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

class IndexedLines {
public:
    IndexedLines() = default;

    // Indexes the lines at positions 0, stride, 2 * stride, ...; a stride of 2
    // indexes the names of a list of name and value pairs.
    explicit IndexedLines(std::vector<std::string> lines, std::size_t stride = 1);

    const std::vector<std::string>& lines() const noexcept { return m_lines; }
    std::size_t size() const noexcept { return m_lines.size(); }
    const std::string& operator[](std::size_t position) const { return m_lines[position]; }

    // First indexed position whose line equals key under equal_nocase.
    std::optional<std::size_t> find(std::string_view key) const;

private:
    static constexpr std::size_t empty_slot = static_cast<std::size_t>(-1);

    struct Slot {
        std::uint64_t hash = 0;
        std::size_t position = empty_slot;
    };

    std::vector<std::string> m_lines;
    std::vector<Slot> m_slots; // open addressing, a power of two in size, at most half full
};

// Hash that agrees with equal_nocase: ASCII letters are folded to upper case
// and every byte above 0x7F counts as the same value, because the ANSI case
// rules pair such bytes only with each other and never change the length.
std::uint64_t nocase_hash(std::string_view text) noexcept;

} // namespace quillon
