// The designed nodes of a tree view, as the form designer stores them in its
// binary "Items.NodeData" property:
//
//   data   = version:u8 count:i32 node{count}
//   node   = size:i32 record[size] node{record.children}
//   record = image:i32 selected:i32 state:i32 overlay:i32 data:i32 children:i32
//            text_length:u8 text:utf16[text_length]                  (version 1)
//   record = image:i32 selected:i32 state:i32 overlay:i32 data:i64 children:i32
//            enabled:u8 text_length:u8 text:utf16[text_length]       (version 3)
//
// Other versions are refused as unsupported, damaged data as corrupt.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct FormTreeNode {
    std::u16string text;
    std::optional<std::size_t> parent; // index of the parent node; none at the top
    bool operator==(const FormTreeNode&) const = default;
};

// The nodes in pre-order: a parent before its children, siblings in order.
Result<std::vector<FormTreeNode>> ParseTreeNodeData(std::string_view bytes);

} // namespace quillon
