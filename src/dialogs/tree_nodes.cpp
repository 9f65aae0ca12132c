#include "dialogs/tree_nodes.h"

#include <cstdint>

namespace quillon {

namespace {

// Deeper trees than this are taken for damaged data rather than recursed into.
constexpr int max_depth = 64;

struct Layout {
    std::size_t children_offset; // of the children count in a record
    std::size_t text_offset;     // of the text length byte
};

class NodeReader {
public:
    NodeReader(std::string_view bytes, Layout layout) : m_bytes(bytes), m_layout(layout) {}

    Result<void> read_nodes(std::int64_t count, std::optional<std::size_t> parent, int depth)
    {
        if (depth > max_depth)
            return corrupt("is nested too deeply");
        // Each node takes at least its size and its record: a count beyond the rest is damage, caught before looping.
        if (count < 0 || static_cast<std::uint64_t>(count) > (m_bytes.size() - m_at) / (4 + m_layout.text_offset + 1))
            return corrupt("counts more nodes than it holds");
        for (std::int64_t i = 0; i < count; ++i) {
            std::size_t record_start = m_at + 4;
            std::optional<std::int32_t> size = i32(m_at);
            if (!size || *size < 0 || static_cast<std::size_t>(*size) > m_bytes.size() - record_start)
                return corrupt("ends inside a node");
            std::string_view record = m_bytes.substr(record_start, static_cast<std::size_t>(*size));
            if (record.size() < m_layout.text_offset + 1)
                return corrupt("holds a node record that is too short");
            auto length = static_cast<unsigned char>(record[m_layout.text_offset]);
            if (record.size() != m_layout.text_offset + 1 + 2 * std::size_t{length})
                return corrupt("holds a node whose size does not match its text");
            FormTreeNode node;
            node.parent = parent;
            for (std::size_t c = 0; c < length; ++c) {
                std::size_t at = m_layout.text_offset + 1 + 2 * c;
                node.text += static_cast<char16_t>(static_cast<unsigned char>(record[at]) |
                                                   static_cast<unsigned char>(record[at + 1]) << 8);
            }
            std::int32_t children = *i32(record_start + m_layout.children_offset);
            m_at = record_start + record.size();
            m_nodes.push_back(std::move(node));
            TRY(read_nodes(children, m_nodes.size() - 1, depth + 1));
        }
        return {};
    }

    Result<void> read_top()
    {
        std::optional<std::int32_t> count = i32(1);
        if (!count)
            return corrupt("ends before its node count");
        m_at = 5;
        TRY(read_nodes(*count, std::nullopt, 0));
        if (m_at != m_bytes.size())
            return corrupt("has bytes after its last node");
        return {};
    }

    std::vector<FormTreeNode> take() { return std::move(m_nodes); }

private:
    std::optional<std::int32_t> i32(std::size_t at) const
    {
        if (m_bytes.size() < 4 || at > m_bytes.size() - 4)
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value |= std::uint32_t{static_cast<unsigned char>(m_bytes[at + i])} << (8 * i);
        return static_cast<std::int32_t>(value);
    }

    std::unexpected<Error> corrupt(std::string_view what) const
    {
        return make_error(ErrorCode::corrupt,
                          "The tree view's node data " + std::string(what) + " (byte " + std::to_string(m_at) + ")");
    }

    std::string_view m_bytes;
    Layout m_layout;
    std::size_t m_at = 0;
    std::vector<FormTreeNode> m_nodes;
};

} // namespace

Result<std::vector<FormTreeNode>> ParseTreeNodeData(std::string_view bytes)
{
    if (bytes.empty())
        return make_error(ErrorCode::corrupt, "The tree view's node data is empty");
    Layout layout{};
    switch (static_cast<unsigned char>(bytes[0])) {
    case 1: layout = {20, 24}; break;
    case 3: layout = {24, 29}; break;
    default:
        return make_error(ErrorCode::unsupported, "The tree view's node data has version " +
                                                      std::to_string(static_cast<unsigned char>(bytes[0])) +
                                                      ", which this engine does not read (versions 1 and 3)");
    }
    NodeReader reader(bytes, layout);
    TRY(reader.read_top());
    return reader.take();
}

} // namespace quillon
