#include "qvoc/compound_file.h"

#include <array>
#include <string_view>
#include <vector>

namespace quillon::qvoc {

namespace {

constexpr std::uint32_t end_of_chain = 0xFFFFFFFE;
constexpr std::uint32_t last_regular_sector = 0xFFFFFFFA;
constexpr std::size_t header_size = 512;
constexpr std::size_t header_fat_entries = 109;
constexpr std::size_t directory_entry_size = 128;
constexpr std::uint8_t stream_object = 2;
constexpr std::uint16_t vt_i4 = 3;
constexpr std::array<unsigned char, 8> signature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::u16string_view summary_stream_name = u"\u0005SummaryInformation";

std::unexpected<Error> corrupt(std::string_view what)
{
    return std::unexpected(Error{ErrorCode::corrupt, 0, "The installer package is damaged: " + std::string(what)});
}

// Reads the container just far enough to find where each byte of one stream
// lies in the file; every offset and chain is checked against the data.
class CompoundReader {
public:
    explicit CompoundReader(const std::string& bytes) : m_bytes(bytes) {}

    Result<void> open()
    {
        if (m_bytes.size() < header_size)
            return corrupt("shorter than its header");
        for (std::size_t i = 0; i < signature.size(); ++i)
            if (static_cast<unsigned char>(m_bytes[i]) != signature[i])
                return corrupt("no compound file signature");
        std::uint16_t sector_shift = TRY(u16(0x1E));
        if (sector_shift != 9 && sector_shift != 12)
            return corrupt("unexpected sector size");
        m_sector_size = std::size_t{1} << sector_shift;
        if (TRY(u16(0x20)) != 6)
            return corrupt("unexpected mini sector size");
        m_major_version = TRY(u16(0x1A));
        m_mini_cutoff = TRY(u32(0x38));

        std::uint32_t fat_sector_count = TRY(u32(0x2C));
        std::vector<std::uint32_t> fat_sectors;
        for (std::size_t i = 0; i < header_fat_entries && fat_sectors.size() < fat_sector_count; ++i)
            fat_sectors.push_back(TRY(u32(0x4C + 4 * i)));
        std::uint32_t difat = TRY(u32(0x44));
        std::uint32_t difat_count = TRY(u32(0x48));
        for (std::uint32_t seen = 0; fat_sectors.size() < fat_sector_count; ++seen) {
            if (seen >= difat_count)
                return corrupt("the sector allocation list is incomplete");
            std::size_t offset = TRY(sector_offset(difat));
            std::size_t per_sector = m_sector_size / 4 - 1;
            for (std::size_t j = 0; j < per_sector && fat_sectors.size() < fat_sector_count; ++j)
                fat_sectors.push_back(TRY(u32(offset + 4 * j)));
            difat = TRY(u32(offset + 4 * per_sector));
        }
        for (std::uint32_t sector : fat_sectors)
            TRY(append_sector_entries(sector, m_fat));

        std::uint32_t first_mini_fat = TRY(u32(0x3C));
        for (std::uint32_t sector : TRY(chain(first_mini_fat, m_fat)))
            TRY(append_sector_entries(sector, m_mini_fat));
        std::uint32_t first_directory = TRY(u32(0x30));
        m_directory_sectors = TRY(chain(first_directory, m_fat));
        return {};
    }

    // File offsets of the bytes of the named stream, in stream order.
    Result<std::vector<std::size_t>> stream_bytes(std::u16string_view name)
    {
        std::size_t per_sector = m_sector_size / directory_entry_size;
        std::vector<std::size_t> root_map;
        bool root_read = false;
        for (std::size_t index = 0; index < m_directory_sectors.size() * per_sector; ++index) {
            std::size_t entry = TRY(sector_offset(m_directory_sectors[index / per_sector])) +
                                (index % per_sector) * directory_entry_size;
            std::uint32_t start = TRY(u32(entry + 0x74));
            std::uint64_t size = TRY(u32(entry + 0x78));
            if (m_major_version != 3)
                size |= std::uint64_t{TRY(u32(entry + 0x7C))} << 32;
            if (index == 0) {
                // The root entry owns the mini stream.
                root_map = TRY(regular_bytes(start, size));
                root_read = true;
                continue;
            }
            if (static_cast<std::uint8_t>(m_bytes[entry + 0x42]) != stream_object || !has_name(entry, name))
                continue;
            if (size >= m_mini_cutoff)
                return regular_bytes(start, size);
            if (!root_read)
                return corrupt("no root entry");
            return mini_bytes(start, size, root_map);
        }
        return std::unexpected(Error{ErrorCode::not_found, 0, "The installer package has no summary information."});
    }

private:
    Result<std::uint16_t> u16(std::size_t offset) const
    {
        if (offset + 2 > m_bytes.size())
            return corrupt("a field lies past the end");
        return static_cast<std::uint16_t>(static_cast<unsigned char>(m_bytes[offset]) |
                                          static_cast<unsigned char>(m_bytes[offset + 1]) << 8);
    }

    Result<std::uint32_t> u32(std::size_t offset) const
    {
        if (offset + 4 > m_bytes.size())
            return corrupt("a field lies past the end");
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(m_bytes[offset + i]);
        return value;
    }

    Result<std::size_t> sector_offset(std::uint32_t sector) const
    {
        if (sector > last_regular_sector)
            return corrupt("a chain points to a special sector");
        std::uint64_t offset = (std::uint64_t{sector} + 1) * m_sector_size;
        if (offset + m_sector_size > m_bytes.size())
            return corrupt("a sector lies past the end");
        return static_cast<std::size_t>(offset);
    }

    Result<void> append_sector_entries(std::uint32_t sector, std::vector<std::uint32_t>& table) const
    {
        std::size_t offset = TRY(sector_offset(sector));
        for (std::size_t j = 0; j < m_sector_size / 4; ++j)
            table.push_back(TRY(u32(offset + 4 * j)));
        return {};
    }

    static Result<std::vector<std::uint32_t>> chain(std::uint32_t first, const std::vector<std::uint32_t>& table)
    {
        std::vector<std::uint32_t> sectors;
        for (std::uint32_t sector = first; sector != end_of_chain; sector = table[sector]) {
            if (sector >= table.size())
                return corrupt("a chain leaves its allocation table");
            if (sectors.size() >= table.size())
                return corrupt("a chain runs in a circle");
            sectors.push_back(sector);
        }
        return sectors;
    }

    Result<std::vector<std::size_t>> regular_bytes(std::uint32_t start, std::uint64_t size) const
    {
        std::vector<std::size_t> map;
        for (std::uint32_t sector : TRY(chain(start, m_fat))) {
            std::size_t offset = TRY(sector_offset(sector));
            for (std::size_t i = 0; i < m_sector_size && map.size() < size; ++i)
                map.push_back(offset + i);
        }
        if (map.size() < size)
            return corrupt("a stream is shorter than its size");
        return map;
    }

    Result<std::vector<std::size_t>> mini_bytes(std::uint32_t start, std::uint64_t size,
                                                const std::vector<std::size_t>& mini_stream) const
    {
        constexpr std::size_t mini_sector_size = 64;
        std::vector<std::size_t> map;
        for (std::uint32_t sector : TRY(chain(start, m_mini_fat))) {
            for (std::size_t i = 0; i < mini_sector_size && map.size() < size; ++i) {
                std::size_t position = std::size_t{sector} * mini_sector_size + i;
                if (position >= mini_stream.size())
                    return corrupt("a mini sector lies past the mini stream");
                map.push_back(mini_stream[position]);
            }
        }
        if (map.size() < size)
            return corrupt("a stream is shorter than its size");
        return map;
    }

    bool has_name(std::size_t entry, std::u16string_view name) const
    {
        std::size_t name_bytes =
            static_cast<unsigned char>(m_bytes[entry + 0x40]) | static_cast<unsigned char>(m_bytes[entry + 0x41]) << 8;
        if (name_bytes != (name.size() + 1) * 2)
            return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(m_bytes[entry + 2 * i]) |
                                                  static_cast<unsigned char>(m_bytes[entry + 2 * i + 1]) << 8);
            if (unit != name[i])
                return false;
        }
        return true;
    }

    const std::string& m_bytes;
    std::size_t m_sector_size = 512;
    std::uint16_t m_major_version = 3;
    std::uint32_t m_mini_cutoff = 4096;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_mini_fat;
    std::vector<std::uint32_t> m_directory_sectors;
};

// Stream position of the 4-byte value of an integer property.
Result<std::size_t> property_value_position(const std::string& bytes, const std::vector<std::size_t>& map,
                                            std::uint32_t pid)
{
    auto at = [&](std::size_t position, int width) -> Result<std::uint32_t> {
        if (position + width > map.size())
            return corrupt("the summary information is cut short");
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[map[position + i]]);
        return value;
    };
    std::size_t section = TRY(at(0x2C, 4)); // behind the first format id
    std::uint32_t count = TRY(at(section + 4, 4));
    for (std::uint32_t i = 0; i < count; ++i) {
        if (TRY(at(section + 8 + 8 * std::size_t{i}, 4)) != pid)
            continue;
        std::size_t value = section + TRY(at(section + 12 + 8 * std::size_t{i}, 4));
        if (TRY(at(value, 2)) != vt_i4)
            return std::unexpected(
                Error{ErrorCode::unsupported, 0, "The summary property " + std::to_string(pid) + " is no integer."});
        TRY(at(value + 4, 4));
        return value + 4;
    }
    return std::unexpected(
        Error{ErrorCode::not_found, 0, "The summary information has no property " + std::to_string(pid) + "."});
}

} // namespace

Result<void> set_summary_integer(std::string& bytes, std::uint32_t pid, std::int32_t value)
{
    CompoundReader reader(bytes);
    TRY(reader.open());
    std::vector<std::size_t> map = TRY(reader.stream_bytes(summary_stream_name));
    std::size_t position = TRY(property_value_position(bytes, map, pid));
    auto raw = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[map[position + i]] = static_cast<char>((raw >> (8 * i)) & 0xFF);
    return {};
}

Result<std::int32_t> summary_integer(const std::string& bytes, std::uint32_t pid)
{
    CompoundReader reader(bytes);
    TRY(reader.open());
    std::vector<std::size_t> map = TRY(reader.stream_bytes(summary_stream_name));
    std::size_t position = TRY(property_value_position(bytes, map, pid));
    std::uint32_t raw = 0;
    for (int i = 3; i >= 0; --i)
        raw = (raw << 8) | static_cast<unsigned char>(bytes[map[position + i]]);
    return static_cast<std::int32_t>(raw);
}

} // namespace quillon::qvoc
