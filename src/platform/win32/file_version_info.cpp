#include "platform/win32/file_version_info.h"

#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <vector>

namespace quillon::win32 {

namespace {

struct VersionFunctions {
    decltype(&GetFileVersionInfoSizeW) size = nullptr;
    decltype(&GetFileVersionInfoW) read = nullptr;
    decltype(&VerQueryValueW) query = nullptr;
};

const VersionFunctions& version_functions() noexcept
{
    static const VersionFunctions table = [] {
        VersionFunctions functions;
        HMODULE module = kept_system_library(L"version.dll");
        functions.size = proc<decltype(functions.size)>(module, "GetFileVersionInfoSizeW");
        functions.read = proc<decltype(functions.read)>(module, "GetFileVersionInfoW");
        functions.query = proc<decltype(functions.query)>(module, "VerQueryValueW");
        return functions;
    }();
    return table;
}

// The whole version resource of a file, or nothing.
std::optional<std::vector<std::byte>> version_resource(const std::string& path)
{
    const VersionFunctions& functions = version_functions();
    if (functions.size == nullptr || functions.read == nullptr || functions.query == nullptr)
        return std::nullopt;
    std::wstring wide = to_wide(path);
    DWORD handle = 0;
    DWORD size = functions.size(wide.c_str(), &handle);
    if (size == 0)
        return std::nullopt;
    std::vector<std::byte> data(size);
    if (!functions.read(wide.c_str(), 0, size, data.data()))
        return std::nullopt;
    return data;
}

// A block of the resource and its length in bytes.
std::optional<std::pair<const void*, UINT>> query(std::vector<std::byte>& data, const wchar_t* block)
{
    void* value = nullptr;
    UINT length = 0;
    if (!version_functions().query(data.data(), block, &value, &length) || value == nullptr)
        return std::nullopt;
    return std::pair<const void*, UINT>(value, length);
}

} // namespace

std::optional<std::array<std::uint16_t, 4>> file_version(const std::string& path)
{
    std::optional<std::vector<std::byte>> data = version_resource(path);
    if (!data)
        return std::nullopt;
    auto fixed = query(*data, L"\\");
    if (!fixed || fixed->second < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed->first);
    return std::array<std::uint16_t, 4>{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                        HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
}

std::optional<std::uint16_t> file_language(const std::string& path)
{
    std::optional<std::vector<std::byte>> data = version_resource(path);
    if (!data)
        return std::nullopt;
    auto translation = query(*data, L"\\VarFileInfo\\Translation");
    if (!translation || translation->second < sizeof(DWORD))
        return std::nullopt;
    return *static_cast<const WORD*>(translation->first);
}

} // namespace quillon::win32
