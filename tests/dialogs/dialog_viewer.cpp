// Shows one dialog form file as the engine's host form does, until it is
// closed: for looking at a dialog and for screenshots.
//   dialog_viewer.exe FORM.dfm [DIALOGS-FOLDER]
#include "dialogs/uPool.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    using namespace quillon;
    if (argc < 2) {
        std::fputs("usage: dialog_viewer FORM.dfm [DIALOGS-FOLDER]\n", stderr);
        return 2;
    }
    std::string folder = argc > 2 ? win32::to_ansi(argv[2]) : std::string();
    Result<std::unique_ptr<TPoolTemplate>> form = TPoolTemplate::Load(win32::to_ansi(argv[1]), folder);
    if (!form) {
        std::fprintf(stderr, "%s\n", form.error().message.c_str());
        return 1;
    }
    (*form)->on_close = [] { PostQuitMessage(0); };
    (*form)->on_click = [](const TPoolTemplate::Control& control) {
        if (control.model->tag == 3)
            PostQuitMessage(0);
    };
    (*form)->center();
    ShowWindow((*form)->window(), SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if ((*form)->pre_translate(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
