// "MessageBox", "MessageBalloon" and "System Tray" through the execution loop:
// the styles chosen, the answers stored, the silent run, the taskbar
// attention, the balloon's time-out and the order of the tray steps.
#include "interp_test_support.h"

namespace quillon::test {
namespace {

Cmd message_box(std::string icon, std::string buttons, std::string result = "ANSWER")
{
    return {"MessageBox", {"Caption", "Text", std::move(icon), std::move(buttons), std::move(result)}};
}

Cmd balloon(std::string icon, std::string timeout)
{
    return {"MessageBalloon", {"Title", "Text", std::move(icon), std::move(timeout)}};
}

TEST(MessageBoxCommand, IconAndButtonCodesGiveTheSystemStyles)
{
    struct Case {
        std::string icon;
        std::string buttons;
        std::uint32_t flags; // MB_ICON* | MB_* as <windows.h> defines them
        std::string attention;
    };
    const Case cases[] = {
        {"0", "0", 0x40 | 0x2, "pause"}, // information, Abort/Retry/Ignore
        {"1", "1", 0x20 | 0x0, "pause"}, // question, OK
        {"2", "2", 0x30 | 0x1, "pause"}, // warning, OK/Cancel
        {"3", "3", 0x10 | 0x5, "pause"}, // error, Retry/Cancel
        {"0", "4", 0x40 | 0x4, "pause"}, // Yes/No
        {"1", "5", 0x20 | 0x3, "pause"}, // Yes/No/Cancel
        {"3", "1", 0x10, "error"},       // a plain error notice
        {"3", "9", 0x10, "error"},       // an unknown button code gives OK alone
        {"3", "-1", 0x10, "error"},      {"3", "2", 0x10 | 0x1, "pause"}, // an error that asks is no error state
        {"4", "1", 0x0, "pause"},        // an unknown icon code gives no icon
        {"-1", "2", 0x1, "pause"},       {"$ICON$", "2", 0x30 | 0x1, "pause"}, // expanded first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.icon + " / " + c.buttons);
        ScriptRun run({message_box(c.icon, c.buttons)}, {{"ICON", "2"}});
        ASSERT_TRUE(run.run()) << (run.host.errors.empty() ? "" : run.host.errors[0]);
        ASSERT_EQ(run.host.message_boxes.size(), 1u);
        EXPECT_EQ(run.host.message_boxes[0].flags, c.flags);
        EXPECT_EQ(run.host.message_boxes[0].attention, std::vector<std::string>{c.attention}) << "set while it is up";
        EXPECT_EQ(run.host.attention, (std::vector<std::string>{c.attention, "clear"}));
    }
}

TEST(MessageBoxCommand, AnswerIsStoredAsItsText)
{
    struct Case {
        std::int32_t answer;
        std::string stored;
    };
    const Case cases[] = {
        {1, "OK"},      {2, "CANCEL"}, {3, "ABORT"}, {4, "RETRY"},
        {5, "IGNORE"},  {6, "YES"},    {7, "NO"},    {0, "before"},  // the box was not shown
        {8, "before"},  // IDCLOSE and later are no answers of these buttons
        {-1, "before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptRun run({message_box("2", "2")}, {{"ANSWER", "before"}});
        run.host.message_box_answer = c.answer;
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.var("ANSWER"), c.stored);
    }

    // A variable that does not exist is created; the name is taken as written.
    ScriptRun created({message_box("1", "4", "reply"), message_box("1", "4", "$QUOTED$"), message_box("1", "4", "")});
    created.host.message_box_answer = 6;
    ASSERT_TRUE(created.run());
    EXPECT_EQ(created.host.message_boxes.size(), 3u) << "a box without a result variable is still shown";
    EXPECT_EQ(created.var("REPLY"), "YES");
    EXPECT_EQ(created.var("$QUOTED$"), "YES");
    EXPECT_FALSE(created.vars.Exists("QUOTED"));
}

TEST(MessageBoxCommand, CaptionAndTextAreTranslatedThenExpanded)
{
    const std::vector<Cmd> commands = {
        {"MessageBox", {"Hello $NAME$", "Continue with $NAME$?", "1", "4", "ANSWER"}},
        {"MessageBalloon", {"Done: $NAME$", "Installed $NAME$", "0", "10"}},
    };
    ScriptRun plain(commands, {{"NAME", "Quillon"}});
    ASSERT_TRUE(plain.run());
    ASSERT_EQ(plain.host.message_boxes.size(), 1u);
    EXPECT_EQ(plain.host.message_boxes[0].caption, "Hello Quillon");
    EXPECT_EQ(plain.host.message_boxes[0].text, "Continue with Quillon?");
    ASSERT_EQ(plain.host.balloons.size(), 1u);
    EXPECT_EQ(plain.host.balloons[0].title, "Done: Quillon");
    EXPECT_EQ(plain.host.balloons[0].text, "Installed Quillon");

    ScriptRun translated(commands, {{"NAME", "Quillon"}});
    translated.host.translations = {{command_id(0) + "/1", "Hallo $NAME$"},
                                    {command_id(0) + "/2", "Weiter mit $NAME$?"},
                                    {command_id(1) + "/1", "Fertig: $NAME$"},
                                    {command_id(1) + "/2", "$NAME$ installiert"}};
    ASSERT_TRUE(translated.run());
    ASSERT_EQ(translated.host.message_boxes.size(), 1u);
    EXPECT_EQ(translated.host.message_boxes[0].caption, "Hallo Quillon");
    EXPECT_EQ(translated.host.message_boxes[0].text, "Weiter mit Quillon?");
    ASSERT_EQ(translated.host.balloons.size(), 1u);
    EXPECT_EQ(translated.host.balloons[0].title, "Fertig: Quillon");
    EXPECT_EQ(translated.host.balloons[0].text, "Quillon installiert");
}

TEST(MessageBoxCommand, SilentRunAsksNobodyAndKeepsTheResult)
{
    ScriptRun run({message_box("1", "4", "REBOOTNOW"), balloon("0", "10"), {"Set Variable", {"AFTER", "$REBOOTNOW$"}}},
                  {{"REBOOTNOW", "OK"}});
    run.host.silent_run = true;
    run.host.message_box_answer = 7;
    ASSERT_TRUE(run.run());
    EXPECT_TRUE(run.host.message_boxes.empty());
    EXPECT_TRUE(run.host.balloons.empty());
    EXPECT_TRUE(run.host.attention.empty());
    EXPECT_EQ(run.var("AFTER"), "OK");

    ScriptRun missing({message_box("1", "4", "NEVERSET")});
    missing.host.silent_run = true;
    ASSERT_TRUE(missing.run());
    EXPECT_FALSE(missing.vars.Exists("NEVERSET")) << "not even created";
}

TEST(MessageCommands, NumberThatIsNotANumberIsARuntimeError)
{
    const Cmd cases[] = {
        message_box("x", "1"), message_box("2", ""), message_box("1", "$UNSET$"),
        balloon("2a", "10"),   balloon("0", "ten"),  balloon("0", "99999999999"),
    };
    for (bool silent : {false, true}) {
        for (const Cmd& command : cases) {
            SCOPED_TRACE(command.name + " " + command.parameters[2] + " / " + command.parameters[3] +
                         (silent ? " silent" : ""));
            ScriptRun run({command, {"Set Variable", {"AFTER", "ran"}}}, {{"ANSWER", "before"}});
            run.host.silent_run = silent;
            EXPECT_FALSE(run.run());
            ASSERT_EQ(run.host.errors.size(), 1u);
            EXPECT_NE(run.host.errors[0].find("not a valid integer value"), std::string::npos) << run.host.errors[0];
            EXPECT_TRUE(run.host.message_boxes.empty());
            EXPECT_TRUE(run.host.balloons.empty());
            EXPECT_EQ(run.host.attention, (std::vector<std::string>{"error", "clear"}))
                << "only the runtime error's report, not the box that was never shown";
            EXPECT_EQ(run.var("ANSWER"), "before");
            EXPECT_EQ(run.var("AFTER"), "");
        }
    }
}

TEST(MessageBalloonCommand, TimeOutIsKeptBetweenTenAndThirtySeconds)
{
    struct Case {
        std::string seconds;
        std::int32_t timeout_ms;
    };
    const Case cases[] = {{"5", 10000}, {"60", 30000},  {"10", 10000},         {"30", 30000}, {"17", 17000},
                          {"0", 10000}, {"-20", 10000}, {"2147483647", 30000}, {"$T$", 25000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        ScriptRun run({balloon("1", c.seconds)}, {{"T", "25"}});
        ASSERT_TRUE(run.run());
        ASSERT_EQ(run.host.balloons.size(), 1u);
        EXPECT_EQ(run.host.balloons[0].timeout_ms, c.timeout_ms);
        EXPECT_EQ(run.host.balloons[0].icon, 1);
    }
}

TEST(SystemTrayCommand, FlagsThatAreExactlyTrueRunTheirStepsInOrder)
{
    struct Case {
        std::vector<std::string> flags;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {{"TRUE", "TRUE", "TRUE", "TRUE"}, {"minimize", "show icon", "restore", "remove icon"}},
        {{"TRUE", "FALSE", "FALSE", "FALSE"}, {"minimize"}},
        {{"", "TRUE", "", "TRUE"}, {"show icon", "remove icon"}},
        {{"FALSE", "FALSE", "TRUE", "FALSE"}, {"restore"}},
        // Not the exact text: no Boolean reading here.
        {{"true", "-1", "TRUE ", "True"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags[0] + "," + c.flags[1] + "," + c.flags[2] + "," + c.flags[3]);
        ScriptRun run({{"System Tray", c.flags}});
        ASSERT_TRUE(run.run());
        EXPECT_EQ(run.host.tray_steps, c.steps);
    }
}

} // namespace
} // namespace quillon::test
