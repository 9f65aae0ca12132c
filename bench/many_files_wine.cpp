// Many small files under Wine: an archive of empty members in many folders
// extracted through the archive library as the engine does it (list, then
// extract every listed name), against a plain program that creates the same
// folders and files with CreateDirectory and CreateFile:
//   many_files_wine.exe QVO_LIB ARCHIVE WORK_FOLDER FOLDERS FILES_PER_FOLDER
// (./run bench makes the archive with 7-Zip and gives the same counts.)
#include "media/archive_library.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using quillon::Result;
using quillon::win32::to_ansi;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool plain_program(const std::wstring& root, int folders, int files)
{
    if (!CreateDirectoryW(root.c_str(), nullptr))
        return false;
    for (int f = 0; f < folders; ++f) {
        std::wstring folder = root + L"\\d" + std::to_wstring(f);
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            return false;
        for (int i = 0; i < files; ++i) {
            std::wstring file = folder + L"\\f" + std::to_wstring(i);
            HANDLE h =
                CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return false;
            CloseHandle(h);
        }
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 6) {
        std::fputs("usage: many_files_wine QVO_LIB ARCHIVE WORK_FOLDER FOLDERS FILES_PER_FOLDER\n", stderr);
        return 2;
    }
    const std::string library_path = to_ansi(argv[1]);
    const std::string archive = to_ansi(argv[2]);
    const std::wstring work = argv[3];
    const int folders = _wtoi(argv[4]);
    const int files = _wtoi(argv[5]);

    Result<quillon::ArchiveLibrary> library = quillon::ArchiveLibrary::load(library_path);
    if (!library) {
        std::fprintf(stderr, "%s\n", library.error().describe().c_str());
        return 1;
    }
    // Alternating rounds, best of each: the machine's load varies from one minute to the next.
    double plain = 1e9;
    double ours = 1e9;
    for (int round = 0; round < 3; ++round) {
        auto start = std::chrono::steady_clock::now();
        if (!plain_program(work + L"\\plain" + std::to_wstring(round), folders, files)) {
            std::fprintf(stderr, "the plain program failed (%lu)\n", GetLastError());
            return 1;
        }
        plain = std::min(plain, seconds_since(start));
        start = std::chrono::steady_clock::now();
        Result<void> extracted = library->ExtractWholeArchive(
            archive, "", to_ansi(work) + "\\extracted" + std::to_string(round),
            [](const std::string&, std::int64_t, std::int64_t) { return true; }, true, true);
        if (!extracted) {
            std::fprintf(stderr, "extraction failed: %s\n", extracted.error().describe().c_str());
            return 1;
        }
        ours = std::min(ours, seconds_since(start));
    }
    std::printf("best of 3: plain program %.2f s, archive library %.2f s, ratio %.2f\n", plain, ours, ours / plain);
    return 0;
}
