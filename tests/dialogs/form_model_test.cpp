// Form files turned into the host form's model: places after alignment and
// nesting, inherited fonts and colours, texts, and the errors for unknown classes.
#include "dialogs/form_model.h"

#include <gtest/gtest.h>

#include <span>

namespace quillon::test {
namespace {

Result<FormModel> model_of(std::string_view text)
{
    Result<dfm::Component> root =
        dfm::ParseFormFile(std::span(reinterpret_cast<const std::byte*>(text.data()), text.size()), "form.dfm");
    if (!root)
        return std::unexpected(root.error());
    return BuildFormModel(std::move(*root), "form.dfm");
}

constexpr std::string_view aligned_form = R"(object F: TForm
  ClientWidth = 400
  ClientHeight = 300
  Color = clWhite
  Font.Name = 'Tahoma'
  Font.Height = -12
  object Top1: TPanel
    Height = 40
    Align = alTop
    BevelOuter = bvNone
    object Inner: TLabel
      Left = 5
      Top = 6
      Width = 50
      Height = 13
      Caption = 'inner'
      Font.Style = [fsBold]
      ParentFont = False
    end
  end
  object Bottom1: TPanel
    Height = 30
    Align = alBottom
    Color = $00FF8000
  end
  object Left1: TPanel
    Width = 100
    Align = alLeft
    BorderWidth = 3
    object Fill: TMemo
      Align = alClient
      Lines.Strings = (
        'one'
        'two')
    end
  end
  object Rest: TPanel
    Align = alClient
    ParentColor = True
    Visible = False
    object Hidden: TButton
      Left = 1
      Top = 2
      Width = 75
      Height = 25
      Caption = '&OK'
      Tag = 1
      TabOrder = 3
    end
  end
  object cmpFormDesigner: TRFDesigner
  end
end
)";

TEST(FormModel, AlignmentNestingFontsAndColours)
{
    Result<FormModel> model = model_of(aligned_form);
    ASSERT_TRUE(model) << model.error().message;
    struct Case {
        std::string_view name;
        FormRect bounds;
    };
    const Case cases[] = {
        {"Top1", {0, 0, 400, 40}},     {"Inner", {5, 6, 50, 13}},     {"Bottom1", {0, 270, 400, 30}},
        {"Left1", {0, 40, 100, 230}},  {"Fill", {4, 44, 92, 222}}, // border 3 + the default raised bevel 1
        {"Rest", {100, 40, 300, 230}}, {"Hidden", {101, 42, 75, 25}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FormControl* control = model->find(c.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->bounds, c.bounds);
    }
    EXPECT_EQ(model->find("cmpFormDesigner"), nullptr) << "the designer's own component is left out";
    const FormControl& inner = *model->find("Inner");
    EXPECT_TRUE(inner.font.bold);
    EXPECT_EQ(inner.font.name, "Tahoma") << "own style over the parent's font";
    EXPECT_FALSE(model->find("Top1")->font.bold);
    EXPECT_EQ(model->find("Top1")->color, (FormColor{false, 0xFFFFFF})) << "panels take the form's colour";
    EXPECT_EQ(model->find("Bottom1")->color, (FormColor{false, 0xFF8000}));
    EXPECT_EQ(model->find("Fill")->color, (FormColor{true, 5})) << "memos default to clWindow";
    EXPECT_EQ(model->find("Fill")->lines, (std::vector<std::string>{"one", "two"}));
    const FormControl& hidden = *model->find("Hidden");
    EXPECT_TRUE(hidden.visible);
    EXPECT_FALSE(hidden.shown) << "inside an invisible panel";
    EXPECT_EQ(hidden.caption, "&OK");
    EXPECT_EQ(hidden.tag, 1);
    EXPECT_EQ(hidden.tab_order, 3);
    EXPECT_EQ(model->controls[*hidden.parent].name, "Rest");
}

TEST(FormModel, ColoursAsTheDesignerWritesThem)
{
    struct Case {
        dfm::Value value;
        std::optional<FormColor> expected;
    };
    auto ident = [](std::string text) {
        dfm::Value v;
        v.kind = dfm::ValueKind::identifier;
        v.text = std::move(text);
        return v;
    };
    auto number = [](std::int64_t n) {
        dfm::Value v;
        v.integer = n;
        return v;
    };
    const Case cases[] = {
        {ident("clBtnFace"), FormColor{true, 15}},
        {ident("CLWINDOW"), FormColor{true, 5}},
        {ident("clNavy"), FormColor{false, 0x800000}},
        {number(0x00C0FFEE), FormColor{false, 0xC0FFEE}},
        {number(-2147483633), FormColor{true, 15}}, // $8000000F
        {number(0x1FFFFFFF), std::nullopt},         // clNone
        {ident("clNoSuchColour"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.text + std::to_string(c.value.integer));
        EXPECT_EQ(ParseFormColor(c.value), c.expected);
    }
}

TEST(FormModel, UnknownClassNamesTheFileAndLine)
{
    Result<FormModel> model =
        model_of("object F: TForm\n  object A: TLabel\n  end\n  object B: TWebBrowser\n  end\nend\n");
    ASSERT_FALSE(model);
    EXPECT_EQ(model.error().message, "form.dfm:4: unknown class TWebBrowser of B");
}

} // namespace
} // namespace quillon::test
