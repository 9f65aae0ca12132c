// The engine cache's files on Windows: read whole, written whole or not at all,
// and replaced in one step.
#pragma once

#include "cache/maintenance_data.h"

namespace quillon {

class WindowsCacheFiles : public CacheFiles {
public:
    Result<std::optional<std::string>> read(const std::string& path) override;
    Result<void> write(const std::string& path, std::string_view bytes) override;
    Result<void> replace(const std::string& from, const std::string& to) override;
};

} // namespace quillon
