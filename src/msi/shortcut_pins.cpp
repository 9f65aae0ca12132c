#include "msi/shortcut_pins.h"

#include "base/strings.h"

namespace quillon::msi {

namespace {

std::string without_ampersands(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (c != '&')
            out += c;
    return out;
}

} // namespace

std::optional<PinRequest> ParsePinRequest(std::string_view entry)
{
    std::size_t first = entry.find('|');
    if (first == std::string_view::npos || first == 0)
        return std::nullopt;
    std::size_t second = entry.find('|', first + 1);
    std::string_view flags =
        entry.substr(first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1);
    PinRequest request;
    request.shortcut = std::string(entry.substr(0, first));
    request.taskbar = flags.find('7') != std::string_view::npos;
    request.start_menu = flags.find_first_of("Xx") != std::string_view::npos;
    return request;
}

PinRequest PlacesOnWindows(PinRequest request, int major, int minor)
{
    request.taskbar = request.taskbar && (major > 6 || (major == 6 && minor >= 1));
    request.start_menu = request.start_menu && (major > 5 || (major == 5 && minor > 0));
    return request;
}

std::optional<std::size_t> MatchVerb(const std::vector<std::string>& verbs, const std::vector<std::string>& wanted)
{
    for (bool stripped : {false, true}) {
        for (const std::string& text : wanted) {
            std::string want = ascii_upper(stripped ? without_ampersands(text) : text);
            if (want.empty())
                continue;
            for (std::size_t i = 0; i < verbs.size(); ++i)
                if (ascii_upper(stripped ? without_ampersands(verbs[i]) : verbs[i]) == want)
                    return i;
        }
    }
    return std::nullopt;
}

} // namespace quillon::msi
