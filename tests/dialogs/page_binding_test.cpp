#include "dialogs/page_binding.h"

#include <gtest/gtest.h>

#include <map>

namespace quillon {
namespace {

using enum ControlKind;

FormControl control(ControlKind kind, std::int32_t tag = 0, std::string hint = {}, std::string caption = {})
{
    FormControl m;
    m.name = "ctl";
    m.kind = kind;
    m.tag = tag;
    m.hint = std::move(hint);
    m.caption = std::move(caption);
    return m;
}

// A page's surroundings: variables, a dialogs folder of named files, and a
// translation that marks what it was asked for.
struct Page {
    Page()
    {
        DefineVar(vars, "TITLE", "Widget", "Initialization");
        DefineVar(vars, "TARGETDIR", "C:\\\\Widget\\\\", "Initialization");
        DefineVar(vars, "STARTMENU", "Widget Tools", "Initialization");
        DefineVar(vars, "USERNAME", "Ann", "Initialization");
        DefineVar(vars, "USERCOMPANY", "", "Initialization");
        DefineVar(vars, "LANGUAGE", "German", "Initialization");
        DefineVar(vars, "PROGRESS", "42", "Initialization");
        DefineVar(vars, "PROGRESSTEXT", "Copying $TITLE$", "Initialization");
    }
    PageInputs inputs()
    {
        PageFiles page_files{"D:\\dlg\\", [this](const std::string& path) { return files.contains(path); },
                             [this](const std::string& path) -> Result<std::string> {
                                 if (unreadable == path)
                                     return make_error(ErrorCode::io, "locked");
                                 return files.at(path);
                             }};
        return {vars,
                [this](const std::string&, std::size_t index, const std::string& design) {
                    return translation.empty() ? design : translation + std::to_string(index) + ":" + design;
                },
                page_files, components};
    }
    ControlFill fill(const FormControl& m)
    {
        Result<ControlFill> decided = DecideControlFill(m, inputs());
        EXPECT_TRUE(decided) << decided.error().message;
        return decided ? *decided : ControlFill{};
    }

    TVariableManager vars;
    std::map<std::string, std::string> files;
    std::string unreadable;
    std::string translation;
    const TComponentModel* components = nullptr;
};

TEST(PageBinding, TheCaptionCarriesTheBrandUnlessTheLogoIsOff)
{
    EXPECT_EQ(PageCaption("Widget Setup", false), "Widget Setup - Quillon Wizard");
    EXPECT_EQ(PageCaption("Widget Setup - Quillon Wizard", false), "Widget Setup - Quillon Wizard");
    EXPECT_EQ(PageCaption("Widget Setup - Quillon Wizard", true), "Widget Setup");
    EXPECT_EQ(PageCaption("Widget Setup", true), "Widget Setup");
}

TEST(PageBinding, TextsOfLabelsButtonsAndChecks)
{
    Page page;
    DefineVar(page.vars, "ACCEPT", "TRUE", "Initialization");
    DefineVar(page.vars, "DECLINE", "no", "Initialization");
    struct Case {
        FormControl model;
        std::string text;
        std::optional<bool> checked;
    };
    const Case cases[] = {
        {control(label, 0, "", "Install $TITLE$"), "Install Widget", std::nullopt},
        {control(static_text, 1, "", "ignored"), "Copying $TITLE$", std::nullopt}, // the status line, unexpanded
        {control(static_text, 0, "", "$TITLE$"), "Widget", std::nullopt},
        {control(button, 1, "", "&Next >"), "&Next >", std::nullopt},
        {control(check_box, 0, "$ACCEPT$", "I accept"), "I accept", true},
        {control(radio_button, 0, "DECLINE", "No"), "No", false},
        {control(check_box, 0, "", "Unbound"), "Unbound", std::nullopt}, // no Hint: the check stays as designed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.caption);
        ControlFill fill = page.fill(c.model);
        EXPECT_EQ(fill.text, c.text);
        EXPECT_EQ(fill.checked, c.checked);
    }
    page.translation = "T";
    EXPECT_EQ(page.fill(control(label, 0, "", "Install $TITLE$")).text, "T1:Install Widget")
        << "translated first, then expanded";
}

TEST(PageBinding, EditsShowTheirVariableOrTheDefaultOfTheirTag)
{
    Page page;
    DefineVar(page.vars, "FOLDER", "D:\\\\Apps\\\\$TITLE$", "Initialization");
    DefineVar(page.vars, "EMPTY", "", "Initialization");
    struct Case {
        FormControl model;
        std::string text;
    };
    const Case cases[] = {
        {control(edit, 0, "FOLDER", "design"), "D:\\Apps\\Widget"}, // expanded, doubled backslashes reduced
        {control(edit, 0, "", "design"), "design"},
        {control(edit, 0, "MISSING", "design"), "design"}, // a Hint that names no variable keeps the design text
        {control(edit, 1, "EMPTY"), "Widget Tools"},
        {control(mask_edit, 2, "EMPTY"), "C:\\Widget\\"},
        {control(edit, 3, ""), "Ann"},
        {control(edit, 4, ""), ""},
        {control(edit, 5, ""), ""}, // no default beyond Tag 4
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model.hint + " tag " + std::to_string(c.model.tag));
        EXPECT_EQ(page.fill(c.model).text, c.text);
    }
}

TEST(PageBinding, ReadmeAndLicenceComeFromTheFilesOfTheLanguageFirst)
{
    Page page;
    FormControl readme = control(memo, 1);
    readme.lines = {"design"};
    FormControl licence = control(rich_edit, 2);
    EXPECT_EQ(page.fill(readme).text,
              "Add a readme.German.txt or readme.txt file to your project as a support file/creative to display it "
              "here.");
    EXPECT_EQ(page.fill(licence).text, "Add a license.German.rtf or license.rtf, or license.German.txt or license.txt "
                                       "file to your project as a support file/creative to display it here.");
    page.files["D:\\dlg\\readme.txt"] = "plain";
    page.files["D:\\dlg\\license.German.txt"] = "Lizenz";
    page.files["D:\\dlg\\license.rtf"] = "{\\rtf1 licence}";
    EXPECT_EQ(page.fill(readme).text, "plain");
    EXPECT_EQ(page.fill(licence).text, "{\\rtf1 licence}") << "a rich edit takes RTF before text";
    page.files["D:\\dlg\\readme.German.txt"] = "Liesmich";
    EXPECT_EQ(page.fill(readme).text, "Liesmich");
    page.unreadable = "D:\\dlg\\readme.German.txt";
    EXPECT_EQ(page.fill(readme).text, "plain") << "a file that cannot be read is passed over";

    FormControl notes = control(memo, 0, "NOTES");
    notes.lines = {"one", "two $TITLE$"};
    EXPECT_EQ(page.fill(notes).text, "one\r\ntwo Widget");
    DefineVar(page.vars, "NOTES", "a$NEWLINE$b", "Initialization");
    EXPECT_EQ(page.fill(notes).text, "a\r\nb");
}

TEST(PageBinding, ListsLeaveOutEmptyItemsAndSelectTheirValue)
{
    Page page;
    DefineVar(page.vars, "PICKED", "Widget", "Initialization");
    DefineVar(page.vars, "NOTHING", "", "Initialization");
    DefineVar(page.vars, "PARTS", "Docs$NEWLINE$Widget", "Initialization");
    FormControl list = control(combo_box, 0, "PICKED");
    list.items = {"Docs", "$TITLE$", "$NOTHING$"};
    ControlFill fill = page.fill(list);
    EXPECT_EQ(fill.items, (std::vector<std::string>{"Docs", "Widget"}));
    EXPECT_EQ(fill.select, "Widget");

    FormControl parts = control(check_list_box, 0, "PARTS");
    parts.items = {"Docs", "$TITLE$", "Samples"};
    fill = page.fill(parts);
    ASSERT_TRUE(fill.check_items);
    ASSERT_EQ(fill.check_items->size(), 3u);
    EXPECT_TRUE((*fill.check_items)[0].checked);
    EXPECT_TRUE((*fill.check_items)[1].checked);
    EXPECT_FALSE((*fill.check_items)[2].checked);

    // The feature list waits for the run's component model.
    EXPECT_FALSE(page.fill(control(check_list_box, 1)).check_items);
    TComponentModel model;
    model.StartFirstInstallation();
    model.Define("Core", "", true, {});
    page.components = &model;
    fill = page.fill(control(check_list_box, 1));
    ASSERT_TRUE(fill.check_items);
    EXPECT_EQ(fill.check_items->size(), model.FillCheckList().size());
}

TEST(PageBinding, PositionsOfTrackAndProgressBars)
{
    Page page;
    DefineVar(page.vars, "LEVEL", "7", "Initialization");
    DefineVar(page.vars, "BAD", "seven", "Initialization");
    EXPECT_EQ(page.fill(control(track_bar, 0, "LEVEL")).position, 7);
    EXPECT_FALSE(page.fill(control(track_bar, 0, "")).position);
    Result<ControlFill> bad = DecideControlFill(control(track_bar, 0, "BAD"), page.inputs());
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().message, "'seven' is not a valid integer value");

    EXPECT_EQ(page.fill(control(progress_bar, 1)).position, 42);
    SetVar(page.vars, "PROGRESS", "250", "Initialization");
    EXPECT_EQ(page.fill(control(gauge, 1)).position, 100);
    SetVar(page.vars, "PROGRESS", "busy", "Initialization");
    EXPECT_EQ(page.fill(control(progress_bar, 1)).position, 100);
    EXPECT_FALSE(page.fill(control(progress_bar, 0)).position);
}

TEST(PageBinding, TreeNodesPagesAndMovies)
{
    Page page;
    FormControl tree = control(tree_view);
    tree.nodes.push_back({});
    tree.nodes.back().text = u"$TITLE$ parts";
    tree.nodes.push_back({});
    tree.nodes.back().text = u"caf\u00e9";
    EXPECT_EQ(page.fill(tree).node_texts, (std::vector<std::string>{"Widget parts", "caf\xe9"}));
    EXPECT_FALSE(page.fill(control(tree_view, 1)).node_texts) << "the feature tree is filled from the model";

    FormControl html = control(html_viewer, 1);
    EXPECT_FALSE(page.fill(html).page_file);
    EXPECT_TRUE(page.fill(html).text);
    page.files["D:\\dlg\\index.htm"] = "";
    EXPECT_EQ(page.fill(html).page_file, "D:\\dlg\\index.htm");
    page.files["D:\\dlg\\index.German.htm"] = "";
    EXPECT_EQ(page.fill(html).page_file, "D:\\dlg\\index.German.htm");

    FormControl flash = control(flash_frame, 1);
    EXPECT_EQ(page.fill(flash).text, "Add a movie.swf file to your project to display it here.");
    page.files["D:\\dlg\\movie.swf"] = "";
    EXPECT_EQ(page.fill(flash).movie, "D:\\dlg\\movie.swf");
}

TEST(PageBinding, WhatAChangeWritesBack)
{
    struct Case {
        FormControl model;
        ControlState state;
        std::optional<std::string> value;
        std::string_view origin;
    };
    ControlState typed;
    typed.text = "C:\\Apps";
    ControlState two_lines;
    two_lines.text = "a\r\nb";
    ControlState ticked;
    ticked.checked = true;
    ControlState picked;
    picked.selected = {"Docs", "Widget"};
    ControlState slid;
    slid.position = -3;
    ControlState node;
    node.node = "Tools";
    const Case cases[] = {
        {control(edit), typed, "C:\\Apps", "Edit1Change"},
        {control(mask_edit), typed, "C:\\Apps", "MaskEdit1Change"},
        {control(memo), two_lines, "a$NEWLINE$b", "Memo1Change"},
        {control(rich_edit), two_lines, "a$NEWLINE$b", "RichEdit1Change"},
        {control(check_box), ticked, "TRUE", "CheckBox1Click"},
        {control(check_box), ControlState{}, "FALSE", "CheckBox1Click"},
        {control(list_box), picked, "Docs$NEWLINE$Widget", "ListBox1Click"},
        {control(check_list_box), picked, "Docs$NEWLINE$Widget", "CheckListBox1ClickCheck"},
        {control(check_list_box, 1), picked, std::nullopt, ""}, // the features go to the model
        {control(combo_box), typed, "C:\\Apps", "ComboBox1Change"},
        {control(track_bar), slid, "-3", "TrackBar1Change"},
        {control(tree_view), node, "Tools", "TreeView1Change"},
        {control(tree_view), ControlState{}, std::nullopt, ""}, // nothing selected
        {control(radio_button), ticked, std::nullopt, ""},       // radio buttons write as a group
        {control(label), typed, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.model.kind));
        std::optional<ControlWrite> write = DecideWriteBack(c.model, c.state);
        ASSERT_EQ(write.has_value(), c.value.has_value());
        if (write) {
            EXPECT_EQ(write->value, *c.value);
            EXPECT_EQ(write->origin, c.origin);
        }
    }
    EXPECT_EQ(BoundVariable(control(edit, 0, "$InstallDir$")), "INSTALLDIR");
}

} // namespace
} // namespace quillon
