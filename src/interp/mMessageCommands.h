// "MessageBox", "MessageBalloon" and "System Tray": asking the user with a
// standard message box, a balloon tip at the tray icon, and minimizing the
// wizard to the tray and back. The host shows them; these handlers read the
// parameters, choose the flags and store the answer.
#pragma once

#include "interp/mscriptexec.h"

#include <cstdint>
#include <string_view>

namespace quillon {

void RegisterMessageCommands(HandlerTable& table);

// The message box styles of the system (the portable core
// does not see <windows.h>; the Windows host checks them against it).
namespace message_box {
inline constexpr std::uint32_t ok = 0x0;
inline constexpr std::uint32_t ok_cancel = 0x1;
inline constexpr std::uint32_t abort_retry_ignore = 0x2;
inline constexpr std::uint32_t yes_no_cancel = 0x3;
inline constexpr std::uint32_t yes_no = 0x4;
inline constexpr std::uint32_t retry_cancel = 0x5;
inline constexpr std::uint32_t icon_error = 0x10;
inline constexpr std::uint32_t icon_question = 0x20;
inline constexpr std::uint32_t icon_warning = 0x30;
inline constexpr std::uint32_t icon_information = 0x40;
} // namespace message_box

// The style of "MessageBox" for its icon and button codes: icon 0 information,
// 1 question, 2 warning, 3 error; buttons 0 Abort/Retry/Ignore, 1 OK,
// 2 OK/Cancel, 3 Retry/Cancel, 4 Yes/No, 5 Yes/No/Cancel. Other codes add
// nothing (no icon; OK alone).
std::uint32_t MessageBoxFlags(std::int32_t icon, std::int32_t buttons);

// "OK", "CANCEL", "ABORT", "RETRY", "IGNORE", "YES" or "NO" for an answer of
// the message box; empty for any other value (nothing shown).
std::string_view MessageBoxAnswerText(std::int32_t answer);

// The balloon's time-out in seconds, kept between 10 and 30.
std::int32_t BalloonTimeoutSeconds(std::int32_t requested);

} // namespace quillon
