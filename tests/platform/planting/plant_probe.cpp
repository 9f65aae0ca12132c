// plant_probe.exe, the control of the planting tests: it loads each library
// named on its command line by bare name, as a careless program would, and
// imports the KnownDLLs the engine imports, so that Wine's own loads at start
// are the same as the engine's. With "--restrict" first it restricts the
// library search as the engine does before it loads anything. Exit code: the
// number of names that did not load.
#include "platform/win32/system_library.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>

#include <string_view>

int wmain(int argc, wchar_t** argv)
{
    if (argc == 0) {
        // Never runs; keeps the imports.
        MessageBeep(0);
        GetStockObject(WHITE_BRUSH);
        RegCloseKey(nullptr);
        SHGetFileInfoW(nullptr, 0, nullptr, 0, 0);
        CoUninitialize();
        SysFreeString(nullptr);
    }
    int first = 1;
    if (argc > 1 && std::wstring_view(argv[1]) == L"--restrict") {
        quillon::win32::restrict_library_search();
        first = 2;
    }
    int failed = 0;
    for (int i = first; i < argc; ++i)
        if (LoadLibraryW(argv[i]) == nullptr)
            ++failed;
    return failed;
}
