// The identity a cached engine was installed under ("instance.dat" beside
// it): product code, revision code and title, three CR LF lines. Found beside
// the running engine, it replaces the script's own identity for the run.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

struct InstanceData {
    std::string product_code;
    std::string revision_code;
    std::string title;
    bool operator==(const InstanceData&) const = default;
};

std::string FormatInstanceData(const InstanceData& data);
// Nothing for a text without its three lines or with an empty code: a damaged
// file leaves the script's own identity in force rather than an empty one.
std::optional<InstanceData> ParseInstanceData(std::string_view text);

} // namespace quillon
