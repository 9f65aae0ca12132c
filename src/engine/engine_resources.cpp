#include "engine/engine_resources.h"

#include "platform/win32/module_image.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quillon {

namespace {

std::string locale_info(LCID locale, LCTYPE type)
{
    wchar_t buffer[128];
    int length = GetLocaleInfoW(locale, type, buffer, 128);
    return length > 1 ? win32::to_ansi(std::wstring(buffer, static_cast<std::size_t>(length - 1))) : std::string();
}

std::string english_language_name(int identifier)
{
    return locale_info(MAKELCID(static_cast<LANGID>(identifier), SORT_DEFAULT), LOCALE_SENGLANGUAGE);
}

} // namespace

std::string UserLanguageName(UserLanguageKind kind)
{
    std::string hex = locale_info(LOCALE_USER_DEFAULT,
                                  kind == UserLanguageKind::current ? LOCALE_ILANGUAGE : LOCALE_IDEFAULTLANGUAGE);
    int identifier = 0;
    try {
        identifier = hex.empty() ? 0 : std::stoi(hex, nullptr, 16);
    } catch (const std::exception&) {
        identifier = 0;
    }
    return LanguageNameFromId(identifier, english_language_name);
}

void load_engine_messages(EngineMessages& messages, const std::string& engine_folder, const std::string& temp_folder)
{
    std::wstring library_path = win32::to_wide(engine_folder + "qvo.lib");
    // As data: nothing of it runs, nothing it imports is looked for.
    win32::UniqueHmodule library(LoadLibraryExW(library_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE));
    if (!library) {
        Result<win32::UniqueHmodule> loaded = win32::load_library_by_full_path(library_path);
        if (!loaded)
            return;
        library = std::move(*loaded);
    }
    // A data-file mapping tags the handle's low bits; the headers start at the aligned address.
    auto module = reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(library.get()) & ~std::uintptr_t{3});
    Result<std::uint64_t> stub_size = win32::module_stub_size(module);
    if (!stub_size)
        return;

    std::ifstream in(std::filesystem::path(library_path), std::ios::binary);
    in.seekg(0, std::ios::end);
    auto file_size = static_cast<std::uint64_t>(std::streamoff(in.tellg()));
    if (!in || file_size <= *stub_size)
        return;
    in.seekg(static_cast<std::streamoff>(*stub_size));
    std::string data(static_cast<std::size_t>(file_size - *stub_size), '\0');
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (!in)
        return;

    std::wstring copy_path = win32::to_wide(temp_folder + "lang.loc");
    {
        std::ofstream out(std::filesystem::path(copy_path), std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    std::ifstream copy(std::filesystem::path(copy_path), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(copy)), std::istreambuf_iterator<char>());
    copy.close();
    LoadMessageTable(messages, text, UserLanguageName(UserLanguageKind::current));
    DeleteFileW(copy_path.c_str());
}

} // namespace quillon
