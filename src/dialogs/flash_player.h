// The Shockwave Flash player of a page's Flash frame, created from the
// "flash.ocx" the setup carries (not from the registry, so the setup's own
// player is used) and hosted in the frame window through ATL's control host.
#pragma once

#include <windows.h>

#include <string>

namespace quillon {

// Loads the player from the library, puts it into the frame and plays the
// movie. False, with the frame left as it was, when the library, the player
// or the host cannot be had, or the player refuses the movie.
bool PlayFlashMovie(HWND frame, const std::string& player_library, const std::string& movie);

} // namespace quillon
