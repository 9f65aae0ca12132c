// Reads arbitrary bytes as a form file, text or binary, with and without a
// code-page conversion, and walks the tree it gives. Seed with a text form
// and a binary one (the test builds both).
#include "dialogs/dfm.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace {

using namespace quillon;
using namespace quillon::dfm;

void walk_properties(const std::vector<Property>& properties, std::size_t& count);

void walk_value(const Value& value, std::size_t& count)
{
    ++count;
    for (const Value& item : value.list)
        walk_value(item, count);
    for (const CollectionItem& item : value.items)
        walk_properties(item.properties, count);
}

void walk_properties(const std::vector<Property>& properties, std::size_t& count)
{
    for (const Property& property : properties)
        walk_value(property.value, count);
}

void walk(const Component& component, std::size_t& count)
{
    for (const Property& property : component.properties) {
        // Every property is found by its own name, whatever its case.
        const Property* found = component.find(property.name);
        if (found == nullptr || found->name.size() != property.name.size())
            __builtin_trap();
    }
    walk_properties(component.properties, count);
    for (const Component& child : component.children)
        walk(child, count);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    std::size_t count = 0;
    auto plain = ParseFormFile(bytes, "fuzz.dfm");
    if (plain)
        walk(*plain, count);
    else if (plain.error().message.rfind("fuzz.dfm:", 0) != 0)
        __builtin_trap(); // every error names the file

    ParseOptions options;
    options.max_depth = 8;
    options.wide_char = [](std::u16string_view units) { return std::string(units.size() % 3, '?'); };
    auto converted = ParseFormFile(bytes, "fuzz.dfm", options);
    if (converted)
        walk(*converted, count);
    // A shallower limit can only refuse more.
    if (converted && !plain)
        __builtin_trap();
    return 0;
}
