// "Find All Files" over a large tree under Wine: the command as a silent
// setup runs it (the engine's host, the walk on its worker with progress per
// folder and per file), against a plain program that walks the same tree with
// FindFirstFile (or FindFirstFileEx) and FindNextFile and keeps every path.
// Best of three each:
//   find_files_wine.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER]
// The tree (1,000 folders of 100 empty files by default) is made once under
// WORK_FOLDER and kept for later runs.
#include "engine/engine_host.h"
#include "engine/messages.h"
#include "engine/startup_trace.h"
#include "interp/mscriptexec.h"
#include "platform/win32/wide.h"
#include "loop_script.h"
#include "vars/VariableManager.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace quillon;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool make_tree(const std::wstring& root, int folders, int files)
{
    std::wstring done = root + L".complete";
    if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    CreateDirectoryW(root.c_str(), nullptr);
    for (int f = 0; f < folders; ++f) {
        std::wstring folder = root + L"\\d" + std::to_wstring(f);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < files; ++i) {
            std::wstring file = folder + L"\\f" + std::to_wstring(i) + L".txt";
            HANDLE h =
                CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return false;
            CloseHandle(h);
        }
    }
    HANDLE marker = CreateFileW(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(marker);
    return true;
}

// The plain program: every file below the folder, as 8-bit paths like the
// engine's; with basic, without the short names (which Wine makes up for
// every file), as the engine asks.
void plain_walk(const std::wstring& folder, std::vector<std::string>& found, bool basic)
{
    WIN32_FIND_DATAW data;
    HANDLE find =
        basic ? FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0)
              : FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            plain_walk(path, found, basic);
        else
            found.push_back(win32::to_ansi(path));
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

TScriptImage find_script(const std::string& root)
{
    CompiledCommand find;
    find.identifier = "{0E0E0E0E-0000-0000-0000-000000000001}";
    find.project_file = "bench.qvp";
    find.project_line = 1;
    find.name = "Find All Files";
    find.parameters = {root + "\\*.txt", "TRUE", "FALSE", "FOUND"};
    return bench::bench_script({std::move(find)});
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: find_files_wine.exe WORK_FOLDER [FOLDERS FILES_PER_FOLDER]\n");
        return 2;
    }
    int folders = argc == 4 ? _wtoi(argv[2]) : 1000;
    int files = argc == 4 ? _wtoi(argv[3]) : 100;
    std::wstring root = std::wstring(argv[1]) + L"\\tree-" + std::to_wstring(folders) + L"x" + std::to_wstring(files);
    CreateDirectoryW(argv[1], nullptr);
    if (!make_tree(root, folders, files)) {
        std::fprintf(stderr, "find_files_wine: cannot make the tree\n");
        return 1;
    }
    std::size_t expected = static_cast<std::size_t>(folders) * static_cast<std::size_t>(files);

    double plain[2] = {1e9, 1e9};
    for (int round = 0; round < 3; ++round) {
        for (bool basic : {false, true}) {
            std::vector<std::string> found;
            auto start = std::chrono::steady_clock::now();
            plain_walk(root, found, basic);
            plain[basic] = std::min(plain[basic], seconds_since(start));
            if (found.size() != expected) {
                std::fprintf(stderr, "find_files_wine: the plain walk found %zu files\n", found.size());
                return 1;
            }
        }
    }

    TScriptImage script = find_script(win32::to_ansi(root));
    StartupTrace trace("");
    EngineMessages messages;
    HandlerTable handlers = StandardHandlers();
    ProcessState process;
    double engine = 1e9;
    for (int round = 0; round < 3; ++round) {
        TVariableManager vars;
        DefineVar(vars, "KYRT_IsCancelled", "FALSE", "Initialization");
        DefineVar(vars, "SILENT", "TRUE", "Initialization");
        EngineHost host(EngineHostSetup{script, vars, trace, messages,
                                        SetupLocation{"C:\\nowhere\\", "C:\\nowhere\\setup.exe", "", "", "", "", ""},
                                        true});
        TScriptExecutor executor(script, vars, host.roles(), handlers, process, BuildLabelTable(script));
        auto start = std::chrono::steady_clock::now();
        executor.Run();
        engine = std::min(engine, seconds_since(start));
        std::string list = GetVar(vars, "FOUND");
        std::size_t listed = list.empty() ? 0 : static_cast<std::size_t>(std::count(list.begin(), list.end(), '|')) + 1;
        if (listed != expected) {
            std::fprintf(stderr, "find_files_wine: \"Find All Files\" listed %zu files\n", listed);
            return 1;
        }
    }
    std::printf("\"Find All Files\" over %zu files under Wine: %.2f s; plain walks: FindFirstFile %.2f s, "
                "FindFirstFileEx without short names %.2f s; ratios %.2f and %.2f\n",
                expected, engine, plain[0], plain[1], engine / plain[0], engine / plain[1]);
    return 0;
}
