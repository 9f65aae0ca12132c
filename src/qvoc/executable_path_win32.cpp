#include "qvoc/build.h"

#include <windows.h>

#include <string>

namespace quillon::qvoc {

Result<std::filesystem::path> executable_folder()
{
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return make_error(ErrorCode::win32, "Cannot find the qvoc executable", GetLastError());
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace quillon::qvoc
