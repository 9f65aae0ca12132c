#include "msi/installer_messages.h"

#include "vars/reserved_names.h"

#include <limits>

namespace quillon::msi {

namespace {

enum class Kind : std::uint32_t {
    fatal_exit = 0x00,
    error = 0x01,
    warning = 0x02,
    user_request = 0x03,
    information = 0x04,
    files_in_use = 0x05,
    resolve_source = 0x06,
    out_of_disk_space = 0x07,
    action_start = 0x08,
    action_data = 0x09,
    progress = 0x0A,
    common_data = 0x0B,
    initialize = 0x0C,
    terminate = 0x0D,
    show_dialog = 0x0E,
    rm_files_in_use = 0x19,
};

// Hostile or broken counts must not overflow: the bar simply stays full or empty.
std::int64_t saturating_add(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return sum;
}

std::int64_t magnitude(std::int64_t value)
{
    return value < 0
               ? (value == std::numeric_limits<std::int64_t>::min() ? std::numeric_limits<std::int64_t>::max() : -value)
               : value;
}

// A box with the prefix, two CRs and the text (or the text alone), with the
// taskbar's attention around it when asked for; the button pressed.
struct Box {
    std::string text;
    std::uint32_t style;
    enum class Attention { none, error, paused } attention;
    bool extended = false;
};

int show(MessageHost& host, const Box& box)
{
    if (host.quiet())
        return reply_ok;
    if (box.attention != Box::Attention::none)
        host.set_attention(box.attention == Box::Attention::error);
    int pressed = host.show_box(box.text, box.style, box.extended);
    if (box.attention != Box::Attention::none)
        host.clear_attention();
    return pressed;
}

std::string with_prefix(const std::string& prefix, std::string_view text)
{
    return prefix + "\r\r" + std::string(text);
}

} // namespace

ProgressFields ParseProgressFields(std::string_view text)
{
    ProgressFields fields;
    std::size_t at = 0;
    while (fields.count < 4 && at < text.size()) {
        // "N: " with N from 1 to 4.
        if (at + 2 >= text.size() || text[at] < '1' || text[at] > '4' || text[at + 1] != ':' || text[at + 2] != ' ')
            break;
        at += 3;
        std::uint64_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            std::uint64_t digit = static_cast<std::uint64_t>(text[at] - '0');
            constexpr std::uint64_t largest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            value = value > (largest - digit) / 10 ? largest : value * 10 + digit;
            ++at;
        }
        fields.values[static_cast<std::size_t>(fields.count++)] = static_cast<std::int64_t>(value);
        ++at; // the blank between fields
    }
    return fields;
}

void ApplyProgressMessage(InstallerProgress& progress, std::string_view text)
{
    if (text.empty())
        return;
    const auto [f, count] = ParseProgressFields(text);
    (void)count;
    switch (f[0]) {
    case 0: // reset
        progress.minimum = 0;
        if (f[1] != 0)
            progress.total = magnitude(f[1]);
        progress.position = 0;
        progress.step = 0;
        if (f[2] == 0)
            progress.direction = 1;
        else if (f[2] == 1)
            progress.direction = -1;
        break;
    case 1: // action information
        if (f[2] == 0)
            progress.step = 0;
        else if (f[2] == 1)
            progress.step = static_cast<std::int32_t>(static_cast<std::uint32_t>(f[1]));
        break;
    case 2: // progress report
        progress.position = saturating_add(progress.position, progress.direction * f[1]);
        break;
    case 3: // progress addition
        progress.total = saturating_add(progress.total, magnitude(f[1]));
        break;
    default: break;
    }
}

int HandleInstallerMessage(InstallerProgress& progress, MessageHost& host, const MessagePrefixes& prefixes,
                           std::uint32_t type, std::string_view text)
{
    const std::uint32_t style = type & 0x00FFFFFFu;
    int reply = reply_ok;
    switch (static_cast<Kind>(type >> 24)) {
    case Kind::fatal_exit:
        show(host, {with_prefix(prefixes.fatal_error, text), style | icon_error, Box::Attention::error});
        progress.last_error = std::string(text);
        reply = 0;
        break;
    case Kind::error:
        reply = show(host, {with_prefix(prefixes.error, text), style | icon_error, Box::Attention::none, true});
        progress.last_error = std::string(text);
        break;
    case Kind::warning:
        reply = show(host, {with_prefix(prefixes.warning, text), style | icon_warning, Box::Attention::paused});
        break;
    case Kind::user_request:
        reply = show(host, {std::string(text), style | icon_question, Box::Attention::paused});
        break;
    case Kind::files_in_use:
    case Kind::rm_files_in_use:
        reply = show(host, {with_prefix(prefixes.files_in_use, text), style | icon_warning, Box::Attention::paused});
        break;
    case Kind::resolve_source: reply = 0; break;
    case Kind::out_of_disk_space:
        reply = show(host, {with_prefix(prefixes.out_of_disk_space, text), style | icon_error, Box::Attention::error});
        break;
    case Kind::action_start: {
        std::size_t dot = text.find('.');
        progress.action_text = dot == std::string_view::npos ? std::string(text)
                                                             : std::string(text.substr(std::min(dot + 2, text.size())));
        break;
    }
    case Kind::action_data:
        progress.action_text = std::string(text);
        progress.position = saturating_add(progress.position, progress.step);
        break;
    case Kind::progress: ApplyProgressMessage(progress, text); break;
    case Kind::information:
    case Kind::common_data:
    case Kind::initialize:
    case Kind::terminate:
    case Kind::show_dialog: break;
    default: reply = 0; break;
    }
    if (!host.report_progress(progress.action_text, progress.minimum, progress.total, progress.position))
        reply = reply_cancel;
    return reply;
}

bool PublishInstallerProgress(TVariableManager& vars, const std::string& action_text, std::int64_t minimum,
                              std::int64_t maximum, std::int64_t position)
{
    vars.SetValue(var::thread_progress, std::to_string(position));
    vars.SetValue(var::thread_maximum, std::to_string(maximum));
    vars.SetValue(var::thread_minimum, std::to_string(minimum));
    vars.SetValue(var::thread_progress_text, action_text);
    return GetVar(vars, var::thread_cancelled) == "FALSE";
}

} // namespace quillon::msi
