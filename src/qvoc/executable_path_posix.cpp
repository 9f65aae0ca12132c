#include "qvoc/build.h"

namespace quillon::qvoc {

Result<std::filesystem::path> executable_folder()
{
    std::error_code code;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code)
        return make_error(ErrorCode::io, "Cannot find the qvoc executable: " + code.message());
    return self.parent_path();
}

} // namespace quillon::qvoc
