// Dialog form files: the form designer's stream format, in its text form
// ("object Name: TClass" ... "end") and its binary form ("TPF0"), read into a
// tree of components with their properties. Reading only: the dialogs never
// write form files.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::dfm {

struct Property;

enum class ValueKind : std::uint8_t {
    integer,    // 12, -3, $FF (also the binary form's Int8/16/32/64)
    floating,   // 1.5, 1.5E3 (Extended, Single, Double, Currency, Date)
    string,     // 'text'#13#10'more' (8-bit, see ParseOptions::wide_char)
    identifier, // clBtnFace, alClient, True, False, nil (booleans are identifiers "True"/"False")
    set,        // [fsBold, fsItalic]
    list,       // ( 'a' 'b' ) and nested lists
    binary,     // { 0A0B... } raw bytes
    collection, // < item ... end item ... end >
};

struct CollectionItem {
    std::vector<Property> properties;
};

struct Value {
    ValueKind kind = ValueKind::integer;
    std::int64_t integer = 0;
    double floating = 0.0;
    std::string text;                    // string, identifier
    std::vector<std::string> set;        // set members
    std::vector<Value> list;             // list items
    std::string bytes;                   // binary data
    std::vector<CollectionItem> items;   // collection items
};

struct Property {
    std::string name; // may be dotted: "Font.Name"
    Value value;
    std::size_t line = 0; // 1-based line in a text form file; 0 in a binary one
};

struct Component {
    std::string name;
    std::string class_name;
    bool inherited = false; // "inherited" instead of "object" (kept, treated alike)
    std::vector<Property> properties;
    std::vector<Component> children;
    std::size_t line = 0;

    // The last property of that name (ignoring ASCII case), or null.
    const Property* find(std::string_view property_name) const;
};

struct ParseOptions {
    // Turns characters that are not yet 8-bit text into the setup's code page:
    // a "#nnnn" above 255 in a text form, and every non-ASCII character of a
    // binary form's wide or UTF-8 string. It is given each run of such
    // characters at once, so surrogate pairs arrive together. Without it a
    // character up to 255 becomes that byte and any other becomes '?'.
    std::function<std::string(std::u16string_view)> wide_char;
    // Nesting deeper than this is refused as a corrupt file (stack guard).
    std::size_t max_depth = 64;
};

// Reads a whole form file, text or binary (told apart by the "TPF0" signature).
// Errors name the file and, in text, the line: ErrorCode::parse for bad
// syntax, ErrorCode::corrupt for a truncated or inconsistent binary file.
Result<Component> ParseFormFile(std::span<const std::byte> data, std::string_view file_name,
                                const ParseOptions& options = {});

} // namespace quillon::dfm
