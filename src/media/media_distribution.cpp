#include "media/media_distribution.h"

#include "base/paths.h"
#include "base/strings.h"

#include <algorithm>
#include <cstdint>

namespace quillon::media {

std::vector<PlannedMove> DistributionPlan(const std::vector<std::string>& media_files, std::string_view base,
                                          std::string_view extraction_folder, std::string_view data_folder)
{
    std::vector<PlannedMove> moves;
    const std::string extracted = with_backslash(std::string(extraction_folder) + std::string(base));
    for (std::size_t i = 0; i + 2 < media_files.size(); i += 3) {
        if (!equal_nocase(media_files[i], base))
            continue;
        const std::string& member = media_files[i + 1];
        const std::string folder = with_backslash(std::string(data_folder) + media_files[i + 2]);
        moves.push_back({member, extracted + member, folder + file_name_part(member)});
    }
    return moves;
}

int StepPercentage(std::int64_t done, std::int64_t total)
{
    if (total <= 0)
        return 100;
    // Positions of archives past 2^57 bytes would overflow 64 bits times 100.
    __int128 percent = static_cast<__int128>(done) * 100 / total + 1;
    return static_cast<int>(std::clamp<__int128>(percent, 0, 100));
}

} // namespace quillon::media
