#include "interp/mMessageCommands.h"
#include "vars/reserved_names.h"

#include "interp/command_call.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

namespace quillon {

namespace {

namespace command {
constexpr std::string_view message_box = "MessageBox";
constexpr std::string_view message_balloon = "MessageBalloon";
constexpr std::string_view system_tray = "System Tray";
} // namespace command

// Texts the script sees: the answers of "MessageBox", by the system's answer 1 (IDOK) to 7 (IDNO).
constexpr std::array<std::string_view, 7> answer_texts = {"OK", "CANCEL", var::abort, "RETRY", "IGNORE", "YES", "NO"};

// By icon code and by button code.
constexpr std::array<std::uint32_t, 4> icon_flags = {message_box::icon_information, message_box::icon_question,
                                                     message_box::icon_warning, message_box::icon_error};
constexpr std::array<std::uint32_t, 6> button_flags = {
    message_box::abort_retry_ignore, message_box::ok,     message_box::ok_cancel,
    message_box::retry_cancel,       message_box::yes_no, message_box::yes_no_cancel};

constexpr std::int32_t shortest_balloon_seconds = 10;
constexpr std::int32_t longest_balloon_seconds = 30;
constexpr std::int32_t milliseconds_per_second = 1000;

template <std::size_t count>
std::uint32_t flag_for(const std::array<std::uint32_t, count>& flags, std::int32_t code)
{
    return code >= 0 && static_cast<std::size_t>(code) < count ? flags[static_cast<std::size_t>(code)] : 0;
}

Result<void> message_box_command(CommandCall& call)
{
    std::string caption = TRY(call.text(1));
    std::string text = TRY(call.text(2));
    const std::int32_t icon = TRY(call.number(3));
    const std::int32_t buttons = TRY(call.number(4));
    UserInterface& host = call.executor().ui();
    // Nobody to ask: the result variable keeps its value, and scripts rely on
    // that (REBOOTNOW starts as "OK").
    if (host.silent())
        return {};
    std::string result_name = TRY(call.result_name(5));

    const std::uint32_t flags = MessageBoxFlags(icon, buttons);
    // Only a plain error notice shows as an error on the taskbar; anything
    // that asks a question shows as waiting.
    host.set_attention(flags == (message_box::icon_error | message_box::ok));
    const std::int32_t answer = host.message_box(caption, text, flags);
    host.clear_attention();

    // No box (or an answer the box cannot give) leaves the variable as it was.
    std::string_view answer_text = MessageBoxAnswerText(answer);
    if (!answer_text.empty())
        call.store(result_name, answer_text);
    return {};
}

Result<void> message_balloon_command(CommandCall& call)
{
    std::string title = TRY(call.text(1));
    std::string text = TRY(call.text(2));
    const std::int32_t icon = TRY(call.number(3));
    const std::int32_t seconds = BalloonTimeoutSeconds(TRY(call.number(4)));
    UserInterface& host = call.executor().ui();
    if (host.silent())
        return {};
    host.show_balloon(title, text, icon, seconds * milliseconds_per_second);
    return {};
}

// The four steps in the order the flags name them.
constexpr std::array<void (UserInterface::*)(), 4> tray_steps = {
    &UserInterface::tray_minimize, &UserInterface::tray_show_icon, &UserInterface::tray_restore,
    &UserInterface::tray_remove_icon};

Result<void> system_tray_command(CommandCall& call)
{
    // All flags first: a script that cannot be read changes nothing.
    std::array<bool, tray_steps.size()> wanted{};
    for (std::size_t k = 0; k < wanted.size(); ++k)
        wanted[k] = TRY(call.flag(k + 1));
    UserInterface& host = call.executor().ui();
    for (std::size_t k = 0; k < wanted.size(); ++k)
        if (wanted[k])
            (host.*tray_steps[k])();
    return {};
}

} // namespace

std::uint32_t MessageBoxFlags(std::int32_t icon, std::int32_t buttons)
{
    return flag_for(icon_flags, icon) | flag_for(button_flags, buttons);
}

std::string_view MessageBoxAnswerText(std::int32_t answer)
{
    if (answer < 1 || static_cast<std::size_t>(answer) > answer_texts.size())
        return {};
    return answer_texts[static_cast<std::size_t>(answer) - 1];
}

std::int32_t BalloonTimeoutSeconds(std::int32_t requested)
{
    return std::clamp(requested, shortest_balloon_seconds, longest_balloon_seconds);
}

void RegisterMessageCommands(HandlerTable& table)
{
    table.add(command::message_box, message_box_command);
    table.add(command::message_balloon, message_balloon_command);
    table.add(command::system_tray, system_tray_command);
}

} // namespace quillon
