// The messages Windows Installer sends while it runs a package: errors,
// warnings and questions become the engine's own message boxes, action texts
// and progress messages move a 64-bit progress position, and after every
// message the progress is published and the user's cancel turns into the
// cancel reply. The decisions live here; the engine shows the boxes and
// publishes the progress through the host.
#pragma once

#include "vars/VariableManager.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::msi {

// What the handler keeps between messages (one set per process).
struct InstallerProgress {
    std::string action_text;
    std::int64_t minimum = 0;
    std::int64_t total = 0;
    std::int64_t position = 0;
    std::int32_t step = 0;
    std::int32_t direction = 1;
    // The text of the last fatal exit or error, for a failure reported without one.
    std::string last_error;
};

// The prefixes of the boxes, from the engine's message table.
struct MessagePrefixes {
    std::string fatal_error = "Fatal Error";
    std::string error = "Error";
    std::string warning = "Warning";
    std::string files_in_use = "Files in Use";
    std::string out_of_disk_space = "Out of Disk Space";
};

// Message box styles the handler adds.
inline constexpr std::uint32_t icon_error = 0x10;
inline constexpr std::uint32_t icon_question = 0x20;
inline constexpr std::uint32_t icon_warning = 0x30;
// Replies.
inline constexpr int reply_ok = 1;
inline constexpr int reply_cancel = 2;
// The message kinds the engine asks for (MsiSetExternalUI's filter).
inline constexpr std::uint32_t message_filter = 32735;

class MessageHost {
public:
    virtual ~MessageHost() = default;
    // The quiet flag: no boxes at all.
    virtual bool quiet() const = 0;
    // A box owned by the page on the screen, under the run's caption; the
    // button pressed. `extended` boxes go through MessageBoxEx.
    virtual int show_box(const std::string& text, std::uint32_t style, bool extended) = 0;
    virtual void set_attention(bool error) = 0;
    virtual void clear_attention() = 0;
    // Publishes the progress; false once the user cancelled.
    virtual bool report_progress(const std::string& action_text, std::int64_t minimum, std::int64_t maximum,
                                 std::int64_t position) = 0;
};

// The four fields of a progress message ("1: 0 2: 1000 3: 0 4: 0"), missing
// ones 0; `count` is how many were read.
struct ProgressFields {
    std::array<std::int64_t, 4> values{};
    int count = 0;
};
ProgressFields ParseProgressFields(std::string_view text);

// Applies one progress message; an empty text changes nothing.
void ApplyProgressMessage(InstallerProgress& progress, std::string_view text);

// Handles one message (the kind in the high byte of `type`, the box style in
// its low 24 bits) and answers Windows Installer's reply.
int HandleInstallerMessage(InstallerProgress& progress, MessageHost& host, const MessagePrefixes& prefixes,
                           std::uint32_t type, std::string_view text);

// The progress sink: KYRT_thProgress, KYRT_thMax, KYRT_thMin and
// KYRT_thProgressText, each written on its own; answers true exactly when
// KYRT_thCancelled is "FALSE".
bool PublishInstallerProgress(TVariableManager& vars, const std::string& action_text, std::int64_t minimum,
                              std::int64_t maximum, std::int64_t position);

} // namespace quillon::msi
