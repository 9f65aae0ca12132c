#include "interp/file_versions.h"

#include <charconv>
#include <optional>

namespace quillon {

namespace {

std::optional<std::uint16_t> component(std::string_view text)
{
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string version_text(const FileVersion& version)
{
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
           std::to_string(version[3]);
}

Result<FileVersion> version_of_text(std::string_view text)
{
    FileVersion version{};
    std::string_view rest = text;
    for (std::uint16_t& part : version) {
        std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) {
            part = component(rest).value_or(0);
            rest = {};
            continue;
        }
        std::optional<std::uint16_t> number = component(rest.substr(0, dot));
        if (!number)
            return make_error(ErrorCode::parse, "\"" + std::string(rest.substr(0, dot)) + "\" of the version \"" +
                                                    std::string(text) + "\" is not a version number");
        part = *number;
        rest.remove_prefix(dot + 1);
    }
    return version;
}

} // namespace quillon
