#include "cache/instance_data.h"

#include "cache/cache_lines.h"

namespace quillon {

std::string FormatInstanceData(const InstanceData& data)
{
    return FormatCacheLines({data.product_code, data.revision_code, data.title});
}

std::optional<InstanceData> ParseInstanceData(std::string_view text)
{
    std::vector<std::string> lines = ParseCacheLines(text);
    if (lines.size() < 3 || lines[0].empty() || lines[1].empty())
        return std::nullopt;
    return InstanceData{std::move(lines[0]), std::move(lines[1]), std::move(lines[2])};
}

} // namespace quillon
