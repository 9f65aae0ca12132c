// What a click on a link of a page's HTML viewer does, and where a page's
// refresh tag leads: decided here without windows, carried out by the runtime.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

struct LinkAction {
    enum class Kind {
        none,          // not ours: the viewer follows a local page itself, or ignores the link
        play_sound,    // a local .wav file, played asynchronously
        start_program, // a local .exe file, started with its parameters
        shell_open,    // a mail or web address, opened by the shell
    };
    Kind kind = Kind::none;
    std::string target;     // the file's full path, or the address as written
    std::string parameters; // what followed the file name after a blank or "?"
};

// A link is a local file when it has no protocol (no ":" or one at the second
// character, as in "C:\") or starts with "file:"; a relative file is in the
// dialogs folder.
LinkAction ClassifyLink(std::string_view href, const std::string& dialogs_folder);

// A file URL or path as written in a page, as a Windows path: "%41"-style
// escapes decoded, a "file://" or "file:///" prefix removed, "|" read as ":"
// and "/" as "\".
std::string FileLinkPath(std::string_view link);

} // namespace quillon
