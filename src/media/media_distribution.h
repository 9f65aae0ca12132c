// Where the files of an extracted media archive go. The archive holds one top
// folder named after it (B); the media files list names, per archive kind,
// the member paths and the folders below the data folder that the installer
// database expects them in. A member may be listed for several folders.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::media {

struct PlannedMove {
    std::string member; // path inside B, as the list gives it
    std::string source; // extraction folder + B + "\" + member
    std::string target; // data folder + listed folder + member's file name
};

// The moves for archive kind `base` (compared ignoring case), in list order.
// `media_files` holds triples of lines: kind, member path, target folder. An
// incomplete last triple is ignored. Folders end in "\".
std::vector<PlannedMove> DistributionPlan(const std::vector<std::string>& media_files, std::string_view base,
                                          std::string_view extraction_folder, std::string_view data_folder);

// The percentage of a copy or extraction step: done * 100 / total + 1, at most
// 100; 100 when there is no total to divide by.
int StepPercentage(std::int64_t done, std::int64_t total);

} // namespace quillon::media
