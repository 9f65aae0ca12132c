// Windows Installer's messages as the engine handles them: the boxes with
// their prefixes, styles and attention, the progress fields, action texts and
// the cancel reply.
#include "msi/installer_messages.h"
#include "vars/reserved_names.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillon::msi {
namespace {

class RecordingHost : public MessageHost {
public:
    bool quiet() const override { return silent; }
    int show_box(const std::string& text, std::uint32_t style, bool extended) override
    {
        boxes.push_back({text, style, extended});
        events.push_back("box");
        return pressed;
    }
    void set_attention(bool error) override { events.push_back(error ? "error" : "paused"); }
    void clear_attention() override { events.push_back("clear"); }
    bool report_progress(const std::string& action_text, std::int64_t minimum, std::int64_t maximum,
                         std::int64_t position) override
    {
        reports.push_back({action_text, minimum, maximum, position});
        return !cancelled;
    }

    struct BoxCall {
        std::string text;
        std::uint32_t style;
        bool extended;
    };
    struct Report {
        std::string text;
        std::int64_t minimum, maximum, position;
    };
    bool silent = false;
    bool cancelled = false;
    int pressed = 4; // IDRETRY
    std::vector<BoxCall> boxes;
    std::vector<std::string> events;
    std::vector<Report> reports;
};

constexpr std::uint32_t kind(std::uint32_t high_byte, std::uint32_t style = 0)
{
    return high_byte << 24 | style;
}

struct Handler {
    int operator()(std::uint32_t type, std::string_view text)
    {
        return HandleInstallerMessage(progress, host, prefixes, type, text);
    }
    InstallerProgress progress;
    RecordingHost host;
    MessagePrefixes prefixes;
};

TEST(InstallerMessages, ProgressMessagesMoveTheBar)
{
    Handler handle;
    handle(kind(0x0A), "1: 0 2: 1000 3: 0 4: 0");
    handle(kind(0x0A), "1: 1 2: 10 3: 1");
    for (int i = 0; i < 3; ++i)
        handle(kind(0x09), "File: a.txt");
    EXPECT_EQ(handle.progress.total, 1000);
    EXPECT_EQ(handle.progress.position, 30);
    const RecordingHost::Report& last = handle.host.reports.back();
    EXPECT_EQ(last.text, "File: a.txt");
    EXPECT_EQ(last.maximum, 1000);
    EXPECT_EQ(last.position, 30);
    EXPECT_EQ(handle.host.reports.size(), 5u) << "the sink hears every message";

    handle(kind(0x0A), "1: 3 2: 200");
    EXPECT_EQ(handle.progress.total, 1200);
    handle(kind(0x0A), "1: 0 2: 500 3: 1");
    handle(kind(0x0A), "1: 2 2: 50");
    EXPECT_EQ(handle.progress.total, 500);
    EXPECT_EQ(handle.progress.position, -50) << "a backward bar";
    handle(kind(0x0A), "1: 1 2: 10 3: 0");
    handle(kind(0x09), "data");
    EXPECT_EQ(handle.progress.position, -50) << "action data without a step";
    handle(kind(0x0A), "");
    EXPECT_EQ(handle.progress.total, 500) << "an empty text changes nothing";

    handle(kind(0x08), "Action 12:00:00: InstallFiles. Copying new files");
    EXPECT_EQ(handle.progress.action_text, "Copying new files");
    handle(kind(0x08), "NoDotAtAll");
    EXPECT_EQ(handle.progress.action_text, "NoDotAtAll");
}

TEST(InstallerMessages, ProgressFieldsAreReadUntilTheFormEnds)
{
    struct Case {
        const char* text;
        std::array<std::int64_t, 4> values;
        int count;
    };
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    const Case cases[] = {
        {"1: 0 2: 1000 3: 0 4: 0", {0, 1000, 0, 0}, 4},
        {"1: 2 2: 5", {2, 5, 0, 0}, 2},
        {"1: 2 2: ", {2, 0, 0, 0}, 2},          // an empty run of digits is 0
        {"1: 2 2: 7x3: 9", {2, 7, 9, 0}, 3},    // one character after the digits is skipped
        {"1: 2 5: 1", {2, 0, 0, 0}, 1},         // 5 is no field number
        {"1:2", {0, 0, 0, 0}, 0},               // no blank after the colon
        {"garbage", {0, 0, 0, 0}, 0},
        {"1: 1 2: 3 3: 4 4: 5 1: 9", {1, 3, 4, 5}, 4}, // at most four
        {"1: 2 2: 99999999999999999999999", {2, largest, 0, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ProgressFields fields = ParseProgressFields(c.text);
        EXPECT_EQ(fields.values, c.values);
        EXPECT_EQ(fields.count, c.count);
    }
    Handler overflow;
    overflow(kind(0x0A), "1: 0 2: 10 3: 0");
    overflow(kind(0x0A), "1: 2 2: 99999999999999999999999");
    overflow(kind(0x0A), "1: 2 2: 99999999999999999999999");
    EXPECT_EQ(overflow.progress.position, largest) << "saturates instead of wrapping";
}

TEST(InstallerMessages, BoxesCarryPrefixStyleAndAttention)
{
    struct Case {
        std::uint32_t high_byte;
        std::string text;
        std::uint32_t style;
        bool extended;
        std::vector<std::string> events;
        int reply;
    };
    const std::uint32_t retry_cancel = 0x05;
    const Case cases[] = {
        {0x00, "Fatal Error\r\rit broke", retry_cancel | icon_error, false, {"error", "box", "clear"}, 0},
        {0x01, "Error\r\rit broke", retry_cancel | icon_error, true, {"box"}, 4},
        {0x02, "Warning\r\rit broke", retry_cancel | icon_warning, false, {"paused", "box", "clear"}, 4},
        {0x03, "it broke", retry_cancel | icon_question, false, {"paused", "box", "clear"}, 4},
        {0x05, "Files in Use\r\rit broke", retry_cancel | icon_warning, false, {"paused", "box", "clear"}, 4},
        {0x19, "Files in Use\r\rit broke", retry_cancel | icon_warning, false, {"paused", "box", "clear"}, 4},
        {0x07, "Out of Disk Space\r\rit broke", retry_cancel | icon_error, false, {"error", "box", "clear"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.high_byte);
        Handler handle;
        EXPECT_EQ(handle(kind(c.high_byte, retry_cancel), "it broke"), c.reply);
        ASSERT_EQ(handle.host.boxes.size(), 1u);
        EXPECT_EQ(handle.host.boxes[0].text, c.text);
        EXPECT_EQ(handle.host.boxes[0].style, c.style);
        EXPECT_EQ(handle.host.boxes[0].extended, c.extended);
        EXPECT_EQ(handle.host.events, c.events);
        if (c.high_byte <= 0x01) {
            EXPECT_EQ(handle.progress.last_error, "it broke");
        }
    }
    Handler quiet;
    quiet.host.silent = true;
    EXPECT_EQ(quiet(kind(0x01), "error"), reply_ok);
    EXPECT_EQ(quiet(kind(0x00), "fatal"), 0);
    EXPECT_TRUE(quiet.host.boxes.empty());
    EXPECT_EQ(quiet.progress.last_error, "fatal");

    Handler other;
    EXPECT_EQ(other(kind(0x06), "source"), 0) << "source resolution stays Windows Installer's";
    EXPECT_EQ(other(kind(0x04), "log line"), reply_ok);
    EXPECT_EQ(other(kind(0x0C), ""), reply_ok);
    EXPECT_EQ(other(kind(0x30), "unknown"), 0);
    EXPECT_TRUE(other.host.boxes.empty());
}

TEST(InstallerMessages, ACancelAnswersTheNextMessageOfAnyKind)
{
    for (std::uint32_t high_byte : {0x04u, 0x08u, 0x0Au, 0x02u}) {
        SCOPED_TRACE(high_byte);
        Handler handle;
        handle.host.cancelled = true;
        EXPECT_EQ(handle(kind(high_byte), "1: 2 2: 1"), reply_cancel);
    }

    TVariableManager vars;
    DefineVar(vars, var::thread_cancelled, "FALSE", "Initialization");
    EXPECT_TRUE(PublishInstallerProgress(vars, "Copying new files", 0, 1000, 30));
    EXPECT_EQ(GetVar(vars, var::thread_progress), "30");
    EXPECT_EQ(GetVar(vars, var::thread_maximum), "1000");
    EXPECT_EQ(GetVar(vars, var::thread_minimum), "0");
    EXPECT_EQ(GetVar(vars, var::thread_progress_text), "Copying new files");
    SetVar(vars, var::thread_cancelled, "TRUE", "Cancel State");
    EXPECT_FALSE(PublishInstallerProgress(vars, "x", 0, 1000, 31));
}

} // namespace
} // namespace quillon::msi
