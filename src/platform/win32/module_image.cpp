#include "platform/win32/module_image.h"

#include "platform/win32/wide.h"
#include "script/pe_image.h"

#include <span>

namespace quillon::win32 {

Result<std::uint64_t> module_stub_size(HMODULE module)
{
    // A module handle is the address of its mapped headers; the first region holds all of them.
    auto base = reinterpret_cast<const std::byte*>(module);
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(base, &region, sizeof region) == 0)
        return make_error(ErrorCode::win32, "Unable to read a module's image headers", GetLastError());
    return pe_stub_size(std::span<const std::byte>(base, region.RegionSize));
}

std::string module_file_path(HMODULE module)
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return to_ansi(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace quillon::win32
