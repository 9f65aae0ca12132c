#include "interp/registry_values.h"

#include "vars/texts.h"

#include <array>
#include <cstring>

namespace quillon {

namespace {

// The data of a string type ends at its first zero, whether or not one was stored.
std::string text_to_zero(const std::string& data)
{
    return data.substr(0, data.find('\0'));
}

std::string hexadecimal(const std::string& bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

// The strings of a REG_MULTI_SZ up to the first empty one.
std::string multi_string_text(std::string_view data)
{
    std::string joined;
    bool first = true;
    while (!data.empty()) {
        std::size_t end = data.find('\0');
        std::string_view item = data.substr(0, end);
        if (item.empty())
            break;
        if (!first)
            joined += vars_text::newline_token;
        joined += item;
        first = false;
        if (end == std::string_view::npos)
            break;
        data.remove_prefix(end + 1);
    }
    return joined;
}

} // namespace

RegistryHive hive_of_index(std::int32_t index) noexcept
{
    switch (index) {
    case 0: return RegistryHive::classes_root;
    case 2: return RegistryHive::local_machine;
    case 3: return RegistryHive::users;
    case 4: return RegistryHive::current_config;
    default: return RegistryHive::current_user;
    }
}

std::string registry_value_text(const RegistryRead& read)
{
    switch (read.lookup) {
    case RegistryLookup::no_key: return std::string(registry_text::no_key);
    case RegistryLookup::no_value: return std::string(registry_text::no_value);
    case RegistryLookup::failed: return std::string(registry_text::read_error);
    case RegistryLookup::found: break;
    }
    switch (read.type) {
    case registry_type::string:
    case registry_type::expand_string: return text_to_zero(read.data);
    case registry_type::dword: {
        // Data of another size than the type's is a value that cannot be read.
        if (read.data.size() != 4)
            return std::string(registry_text::read_error);
        std::uint32_t value = 0;
        for (std::size_t k = 4; k-- > 0;)
            value = (value << 8) | static_cast<unsigned char>(read.data[k]);
        return std::to_string(static_cast<std::int32_t>(value));
    }
    case registry_type::binary: return hexadecimal(read.data);
    case registry_type::multi_string: return multi_string_text(read.data);
    default: return std::string(registry_text::unknown_type);
    }
}

std::string without_sentinel(std::string text)
{
    static constexpr std::array sentinels = {registry_text::read_error, registry_text::no_key, registry_text::no_value,
                                             registry_text::unknown_type, registry_text::binary_value};
    for (std::string_view sentinel : sentinels)
        if (text == sentinel)
            return {};
    return text;
}

std::pair<std::string, std::string> split_last_key(std::string_view key)
{
    std::size_t slash = key.rfind('\\');
    if (slash == std::string_view::npos)
        return {std::string(), std::string(key)};
    return {std::string(key.substr(0, slash)), std::string(key.substr(slash + 1))};
}

} // namespace quillon
