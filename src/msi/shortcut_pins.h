// Pinning the product's shortcuts to the taskbar and the Start menu: which
// places a pin request names, and which of a shortcut's shell verbs is the one
// to invoke. The engine carries them out through the shell.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::msi {

// One entry of a shortcut list: "path|flags|target". The flags hold "7" for
// the taskbar and "X" for the Start menu.
struct PinRequest {
    std::string shortcut;
    bool taskbar = false;
    bool start_menu = false;
};
std::optional<PinRequest> ParsePinRequest(std::string_view entry);

// The places a request is carried out in on a Windows version (major, minor):
// the taskbar from 6.1 on, the Start menu after 5.0.
PinRequest PlacesOnWindows(PinRequest request, int major, int minor);

// The verb among `verbs` whose text equals `wanted` ignoring case, first as
// they are, then with every "&" removed from both; its index.
std::optional<std::size_t> MatchVerb(const std::vector<std::string>& verbs, const std::vector<std::string>& wanted);

// The system's verb texts (shell32's string table).
inline constexpr unsigned pin_to_taskbar = 5386;
inline constexpr unsigned unpin_from_taskbar = 5387;
inline constexpr unsigned pin_to_start_menu = 5381;
inline constexpr unsigned unpin_from_start_menu = 5382;

} // namespace quillon::msi
