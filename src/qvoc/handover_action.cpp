// The installer package's own custom action (quillon_handover.dll, in the
// package's Binary table): at the start of every run, install, repair or
// removal, it reads the property hand-over file that the engine writes for
// the run and sets each of its entries as a property, so that the recorded
// commands' rows are switched on and find their folders and values. The file
// is the product code (with braces) in the engine's temp folder, which the
// engine puts into the package as MSINTEMP; without it, in the temp folder.
// A run without a file (the product removed from the Control Panel) goes on
// with what the package holds.
#include "msi/handover_file.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <exception>
#include <optional>
#include <string>

namespace {

using quillon::win32::UniqueFile;

// A property's value; empty when it is not set or cannot be read.
std::string property(MSIHANDLE session, const char* name)
{
    char empty[1] = "";
    DWORD size = 0;
    if (MsiGetPropertyA(session, name, empty, &size) != ERROR_MORE_DATA)
        return {};
    std::string value(size + 1, '\0');
    size = static_cast<DWORD>(value.size());
    if (MsiGetPropertyA(session, name, value.data(), &size) != ERROR_SUCCESS)
        return {};
    value.resize(size);
    return value;
}

std::string temp_folder(MSIHANDLE session)
{
    std::string folder = property(session, "MSINTEMP");
    if (folder.empty()) {
        char buffer[MAX_PATH + 1];
        DWORD length = GetTempPathA(sizeof buffer, buffer);
        if (length > 0 && length < sizeof buffer)
            folder.assign(buffer, length);
    }
    if (!folder.empty() && folder.back() != '\\')
        folder.push_back('\\');
    return folder;
}

enum class FileRead { read, missing, failed };

FileRead read_whole(const std::string& path, std::string& text)
{
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::missing : FileRead::failed;
    }
    LARGE_INTEGER size{};
    // The engine writes a few kilobytes; anything near the 32-bit limit is not its file.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x10000000)
        return FileRead::failed;
    text.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD done = 0;
    while (done < text.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), text.data() + done, static_cast<DWORD>(text.size() - done), &got, nullptr) ||
            got == 0)
            return FileRead::failed;
        done += got;
    }
    return FileRead::read;
}

UINT read_handover(MSIHANDLE session)
{
    std::string product_code = property(session, "ProductCode");
    if (product_code.empty())
        return ERROR_INSTALL_FAILURE;
    std::string path = temp_folder(session) + quillon::msi::HandOverFileName(product_code);
    std::string text;
    switch (read_whole(path, text)) {
    case FileRead::missing: return ERROR_SUCCESS;
    case FileRead::failed: return ERROR_INSTALL_FAILURE;
    case FileRead::read: break;
    }
    // The file holds every script variable too; one that Windows Installer
    // will not take as a property must not fail the installation.
    for (const quillon::msi::HandOverEntry& entry : quillon::msi::ParseHandOver(text)) {
        if (MsiSetPropertyA(session, entry.name.c_str(), entry.value.c_str()) == ERROR_INVALID_HANDLE)
            return ERROR_INSTALL_FAILURE;
        if (std::optional<quillon::msi::HandOverEntry> folder = quillon::msi::FolderEntryOf(entry))
            if (MsiSetPropertyA(session, folder->name.c_str(), folder->value.c_str()) == ERROR_INVALID_HANDLE)
                return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

} // namespace

// No exception may cross into Windows Installer.
extern "C" __declspec(dllexport) UINT __stdcall ReadHandOver(MSIHANDLE session) noexcept
{
    try {
        return read_handover(session);
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
