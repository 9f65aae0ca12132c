#include "dialogs/tree_nodes.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quillon {
namespace {

struct Node {
    std::u16string text;
    std::vector<Node> children;
};

void put32(std::string& out, std::int32_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
}

// Writes nodes as the form designer does, in version 1 or 3.
void write_node(std::string& out, const Node& node, int version)
{
    std::string record;
    put32(record, 0);  // image
    put32(record, 0);  // selected image
    put32(record, -1); // state image
    put32(record, -1); // overlay
    put32(record, 0);  // data
    if (version == 3)
        put32(record, 0); // the wider data of version 3
    put32(record, static_cast<std::int32_t>(node.children.size()));
    if (version == 3)
        record += '\x01'; // enabled
    record += static_cast<char>(node.text.size());
    for (char16_t c : node.text) {
        record += static_cast<char>(c & 0xFF);
        record += static_cast<char>(c >> 8);
    }
    put32(out, static_cast<std::int32_t>(record.size()));
    out += record;
    for (const Node& child : node.children)
        write_node(out, child, version);
}

std::string node_data(const std::vector<Node>& top, int version)
{
    std::string out(1, static_cast<char>(version));
    put32(out, static_cast<std::int32_t>(top.size()));
    for (const Node& node : top)
        write_node(out, node, version);
    return out;
}

const std::vector<Node> sample = {
    {u"Program", {{u"Tools", {}}, {u"Docs \u00e9t\u00e9", {{u"Guide", {}}}}}},
    {u"Extras", {}},
};

const std::vector<FormTreeNode> sample_nodes = {
    {u"Program", std::nullopt}, {u"Tools", 0}, {u"Docs \u00e9t\u00e9", 0}, {u"Guide", 2}, {u"Extras", std::nullopt},
};

TEST(TreeNodeData, BothVersionsGiveTheNodesInPreOrder)
{
    for (int version : {1, 3}) {
        SCOPED_TRACE(version);
        Result<std::vector<FormTreeNode>> nodes = ParseTreeNodeData(node_data(sample, version));
        ASSERT_TRUE(nodes) << nodes.error().message;
        EXPECT_EQ(*nodes, sample_nodes);
    }
    Result<std::vector<FormTreeNode>> none = ParseTreeNodeData(node_data({}, 3));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(TreeNodeData, EveryTruncationAndAnUnknownVersionAreRefused)
{
    const std::string whole = node_data(sample, 3);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        Result<std::vector<FormTreeNode>> nodes = ParseTreeNodeData(std::string_view(whole).substr(0, length));
        ASSERT_FALSE(nodes);
        EXPECT_EQ(nodes.error().code, ErrorCode::corrupt) << nodes.error().message;
    }
    Result<std::vector<FormTreeNode>> extra = ParseTreeNodeData(whole + "x");
    ASSERT_FALSE(extra);
    EXPECT_EQ(extra.error().code, ErrorCode::corrupt);

    std::string other = whole;
    other[0] = 7;
    Result<std::vector<FormTreeNode>> unknown = ParseTreeNodeData(other);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().code, ErrorCode::unsupported);
    EXPECT_NE(unknown.error().message.find("version 7"), std::string::npos);
}

TEST(TreeNodeData, CountsBeyondTheDataAreRefusedBeforeAnyLoop)
{
    std::string huge(1, '\x03');
    put32(huge, 0x7FFFFFFF);
    Result<std::vector<FormTreeNode>> nodes = ParseTreeNodeData(huge);
    ASSERT_FALSE(nodes);
    EXPECT_EQ(nodes.error().code, ErrorCode::corrupt);

    // A child count that claims more than the rest holds.
    std::string data = node_data({{u"Only", {}}}, 1);
    data[5 + 4 + 20] = '\x7F';
    Result<std::vector<FormTreeNode>> children = ParseTreeNodeData(data);
    ASSERT_FALSE(children);
    EXPECT_EQ(children.error().code, ErrorCode::corrupt);
}

} // namespace
} // namespace quillon
