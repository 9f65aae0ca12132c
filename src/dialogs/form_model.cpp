#include "dialogs/form_model.h"

#include "base/strings.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillon {

namespace {

struct ClassEntry {
    std::string_view name;
    ControlKind kind;
};

// The classes a dialog file may contain, and the designer's own.
constexpr std::array class_table{
    ClassEntry{"TLabel", ControlKind::label},
    ClassEntry{"TStaticText", ControlKind::static_text},
    ClassEntry{"TEdit", ControlKind::edit},
    ClassEntry{"TMaskEdit", ControlKind::mask_edit},
    ClassEntry{"TMemo", ControlKind::memo},
    ClassEntry{"TRichEdit", ControlKind::rich_edit},
    ClassEntry{"TButton", ControlKind::button},
    ClassEntry{"TBitBtn", ControlKind::bit_button},
    ClassEntry{"TSpeedButton", ControlKind::speed_button},
    ClassEntry{"TRzBmpButton", ControlKind::bmp_button},
    ClassEntry{"TRzCheckBox", ControlKind::check_box},
    ClassEntry{"TRzRadioButton", ControlKind::radio_button},
    ClassEntry{"TListBox", ControlKind::list_box},
    ClassEntry{"TCheckListBox", ControlKind::check_list_box},
    ClassEntry{"TComboBox", ControlKind::combo_box},
    ClassEntry{"TGroupBox", ControlKind::group_box},
    ClassEntry{"TPanel", ControlKind::panel},
    ClassEntry{"TImage", ControlKind::image},
    ClassEntry{"TShape", ControlKind::shape},
    ClassEntry{"TBevel", ControlKind::bevel},
    ClassEntry{"TGauge", ControlKind::gauge},
    ClassEntry{"TProgressBar", ControlKind::progress_bar},
    ClassEntry{"TTrackBar", ControlKind::track_bar},
    ClassEntry{"TUpDown", ControlKind::up_down},
    ClassEntry{"TPageControl", ControlKind::page_control},
    ClassEntry{"TTabSheet", ControlKind::tab_sheet},
    ClassEntry{"TTreeView", ControlKind::tree_view},
    ClassEntry{"TAnimate", ControlKind::animate},
    ClassEntry{"TFileListBox", ControlKind::file_list_box},
    ClassEntry{"TDirectoryListBox", ControlKind::directory_list_box},
    ClassEntry{"TDriveComboBox", ControlKind::drive_combo_box},
    ClassEntry{"TFilterComboBox", ControlKind::filter_combo_box},
    ClassEntry{"THTMLViewer", ControlKind::html_viewer},
    ClassEntry{"TFlashFrame", ControlKind::flash_frame},
    ClassEntry{"TPTShellTree", ControlKind::shell_tree},
    ClassEntry{"TPTShellList", ControlKind::shell_list},
    ClassEntry{"TPTShellCombo", ControlKind::shell_combo},
    ClassEntry{"TRzFormShape", ControlKind::form_shape},
    ClassEntry{"TVistaGlass", ControlKind::vista_glass},
    ClassEntry{"TRFDesigner", ControlKind::nonvisual},
    ClassEntry{"TShellResources", ControlKind::nonvisual},
};

struct ColorName {
    std::string_view name;
    FormColor color;
};

constexpr std::array color_table{
    ColorName{"clBlack", {false, 0x000000}},
    ColorName{"clMaroon", {false, 0x000080}},
    ColorName{"clGreen", {false, 0x008000}},
    ColorName{"clOlive", {false, 0x008080}},
    ColorName{"clNavy", {false, 0x800000}},
    ColorName{"clPurple", {false, 0x800080}},
    ColorName{"clTeal", {false, 0x808000}},
    ColorName{"clGray", {false, 0x808080}},
    ColorName{"clSilver", {false, 0xC0C0C0}},
    ColorName{"clRed", {false, 0x0000FF}},
    ColorName{"clLime", {false, 0x00FF00}},
    ColorName{"clYellow", {false, 0x00FFFF}},
    ColorName{"clBlue", {false, 0xFF0000}},
    ColorName{"clFuchsia", {false, 0xFF00FF}},
    ColorName{"clAqua", {false, 0xFFFF00}},
    ColorName{"clWhite", {false, 0xFFFFFF}},
    ColorName{"clMoneyGreen", {false, 0xC0DCC0}},
    ColorName{"clSkyBlue", {false, 0xF0CAA6}},
    ColorName{"clCream", {false, 0xF0FBFF}},
    ColorName{"clMedGray", {false, 0xA4A0A0}},
    ColorName{"clScrollBar", {true, 0}},
    ColorName{"clBackground", {true, 1}},
    ColorName{"clActiveCaption", {true, 2}},
    ColorName{"clInactiveCaption", {true, 3}},
    ColorName{"clMenu", {true, 4}},
    ColorName{"clWindow", {true, 5}},
    ColorName{"clWindowFrame", {true, 6}},
    ColorName{"clMenuText", {true, 7}},
    ColorName{"clWindowText", {true, 8}},
    ColorName{"clCaptionText", {true, 9}},
    ColorName{"clActiveBorder", {true, 10}},
    ColorName{"clInactiveBorder", {true, 11}},
    ColorName{"clAppWorkSpace", {true, 12}},
    ColorName{"clHighlight", {true, 13}},
    ColorName{"clHighlightText", {true, 14}},
    ColorName{"clBtnFace", {true, 15}},
    ColorName{"clBtnShadow", {true, 16}},
    ColorName{"clGrayText", {true, 17}},
    ColorName{"clBtnText", {true, 18}},
    ColorName{"clInactiveCaptionText", {true, 19}},
    ColorName{"clBtnHighlight", {true, 20}},
    ColorName{"cl3DDkShadow", {true, 21}},
    ColorName{"cl3DLight", {true, 22}},
    ColorName{"clInfoText", {true, 23}},
    ColorName{"clInfoBk", {true, 24}},
    ColorName{"clHotLight", {true, 26}},
    ColorName{"clGradientActiveCaption", {true, 27}},
    ColorName{"clGradientInactiveCaption", {true, 28}},
    ColorName{"clMenuHighlight", {true, 29}},
    ColorName{"clMenuBar", {true, 30}},
};

constexpr FormColor window_color{true, 5};   // clWindow
constexpr FormColor btn_face_color{true, 15}; // clBtnFace

const dfm::Property* find(const dfm::Component& component, std::string_view name)
{
    return component.find(name);
}

std::optional<std::int64_t> integer(const dfm::Component& component, std::string_view name)
{
    const dfm::Property* property = find(component, name);
    if (property == nullptr || property->value.kind != dfm::ValueKind::integer)
        return std::nullopt;
    return property->value.integer;
}

std::int32_t int32(const dfm::Component& component, std::string_view name, std::int32_t fallback)
{
    std::optional<std::int64_t> value = integer(component, name);
    if (!value || *value < INT32_MIN || *value > INT32_MAX)
        return fallback;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::string> text(const dfm::Component& component, std::string_view name)
{
    const dfm::Property* property = find(component, name);
    if (property == nullptr)
        return std::nullopt;
    if (property->value.kind == dfm::ValueKind::string || property->value.kind == dfm::ValueKind::identifier)
        return property->value.text;
    return std::nullopt;
}

std::optional<bool> boolean(const dfm::Component& component, std::string_view name)
{
    const dfm::Property* property = find(component, name);
    if (property == nullptr || property->value.kind != dfm::ValueKind::identifier)
        return std::nullopt;
    if (equal_ascii_nocase(property->value.text, "True"))
        return true;
    if (equal_ascii_nocase(property->value.text, "False"))
        return false;
    return std::nullopt;
}

std::string identifier(const dfm::Component& component, std::string_view name)
{
    const dfm::Property* property = find(component, name);
    return property != nullptr && property->value.kind == dfm::ValueKind::identifier ? property->value.text
                                                                                     : std::string();
}

std::vector<std::string> strings(const dfm::Component& component, std::string_view name)
{
    std::vector<std::string> result;
    const dfm::Property* property = find(component, name);
    if (property == nullptr || property->value.kind != dfm::ValueKind::list)
        return result;
    for (const dfm::Value& item : property->value.list)
        if (item.kind == dfm::ValueKind::string || item.kind == dfm::ValueKind::identifier)
            result.push_back(item.text);
    return result;
}

bool has_prefix_property(const dfm::Component& component, std::string_view prefix)
{
    return std::any_of(component.properties.begin(), component.properties.end(), [&](const dfm::Property& p) {
        return p.name.size() > prefix.size() &&
               equal_ascii_nocase(std::string_view(p.name).substr(0, prefix.size()), prefix);
    });
}

// The control's own font over its parent's, unless ParentFont leaves the parent's in force.
FormFont resolve_font(const dfm::Component& component, const FormFont& inherited)
{
    std::optional<bool> parent_font = boolean(component, "ParentFont");
    bool own = parent_font ? !*parent_font : has_prefix_property(component, "Font.");
    if (!own)
        return inherited;
    FormFont font = inherited;
    if (std::optional<std::string> name = text(component, "Font.Name"))
        font.name = *name;
    font.height = int32(component, "Font.Height", font.height);
    font.charset = int32(component, "Font.Charset", font.charset);
    if (const dfm::Property* color = find(component, "Font.Color"))
        if (std::optional<FormColor> parsed = ParseFormColor(color->value))
            font.color = *parsed;
    if (const dfm::Property* style = find(component, "Font.Style");
        style != nullptr && style->value.kind == dfm::ValueKind::set) {
        font.bold = font.italic = font.underline = font.strike_out = false;
        for (const std::string& member : style->value.set) {
            font.bold = font.bold || equal_ascii_nocase(member, "fsBold");
            font.italic = font.italic || equal_ascii_nocase(member, "fsItalic");
            font.underline = font.underline || equal_ascii_nocase(member, "fsUnderline");
            font.strike_out = font.strike_out || equal_ascii_nocase(member, "fsStrikeOut");
        }
    }
    return font;
}

FormColor default_color(ControlKind kind, const FormColor& parent)
{
    switch (kind) {
    case ControlKind::edit:
    case ControlKind::mask_edit:
    case ControlKind::memo:
    case ControlKind::rich_edit:
    case ControlKind::list_box:
    case ControlKind::check_list_box:
    case ControlKind::combo_box:
    case ControlKind::tree_view:
    case ControlKind::file_list_box:
    case ControlKind::directory_list_box:
    case ControlKind::drive_combo_box:
    case ControlKind::filter_combo_box:
    case ControlKind::html_viewer:
    case ControlKind::shell_tree:
    case ControlKind::shell_list:
    case ControlKind::shell_combo: return window_color;
    case ControlKind::button:
    case ControlKind::bit_button:
    case ControlKind::speed_button:
    case ControlKind::bmp_button: return btn_face_color;
    default: return parent;
    }
}

FormColor resolve_color(const dfm::Component& component, ControlKind kind, const FormColor& parent)
{
    std::optional<bool> parent_color = boolean(component, "ParentColor");
    const dfm::Property* color = find(component, "Color");
    if (color != nullptr && !(parent_color && *parent_color))
        if (std::optional<FormColor> parsed = ParseFormColor(color->value))
            return *parsed;
    if (parent_color && *parent_color)
        return parent;
    return default_color(kind, parent);
}

// The client area a container gives its aligned children, in its own coordinates.
FormRect client_area(const FormControl& container)
{
    FormRect area{0, 0, container.bounds.width, container.bounds.height};
    std::int32_t inset = 0;
    if (container.kind == ControlKind::panel && container.source != nullptr) {
        std::int32_t bevel = int32(*container.source, "BevelWidth", 1);
        std::string outer = identifier(*container.source, "BevelOuter");
        std::string inner = identifier(*container.source, "BevelInner");
        inset = int32(*container.source, "BorderWidth", 0);
        if (!equal_ascii_nocase(outer, "bvNone"))
            inset += bevel; // bvRaised is the default
        if (!inner.empty() && !equal_ascii_nocase(inner, "bvNone"))
            inset += bevel;
    }
    area.left += inset;
    area.top += inset;
    area.width = std::max(0, area.width - 2 * inset);
    area.height = std::max(0, area.height - 2 * inset);
    return area;
}

class Builder {
public:
    explicit Builder(std::string_view file_name) : m_file(file_name) {}

    Result<void> add_children(FormModel& model, const dfm::Component& parent, std::optional<std::size_t> parent_index,
                              const FormFont& font, const FormColor& color, FormRect area, bool shown,
                              std::int32_t origin_left, std::int32_t origin_top)
    {
        // Alignment consumes the parent's client area in the order the designer does:
        // top and bottom first, then left and right, then the client.
        std::vector<std::size_t> indexes;
        for (const dfm::Component& child : parent.children) {
            if (equal_ascii_nocase(child.name, "cmpFormDesigner"))
                continue;
            std::optional<ControlKind> kind = ControlKindOf(child.class_name);
            if (!kind)
                return make_error(ErrorCode::parse, std::string(m_file) + ":" + std::to_string(child.line) +
                                                        ": unknown class " + child.class_name + " of " + child.name);
            FormControl control;
            control.name = child.name;
            control.class_name = child.class_name;
            control.kind = *kind;
            control.line = child.line;
            control.parent = parent_index;
            control.source = &child;
            read_common(control, child, font, color);
            if (control.kind == ControlKind::tree_view) {
                if (const dfm::Property* nodes = find(child, "Items.NodeData");
                    nodes != nullptr && nodes->value.kind == dfm::ValueKind::binary) {
                    Result<std::vector<FormTreeNode>> parsed = ParseTreeNodeData(nodes->value.bytes);
                    if (!parsed)
                        return make_error(parsed.error().code, std::string(m_file) + ":" + std::to_string(child.line) +
                                                                   ": " + child.name + ": " + parsed.error().message);
                    control.nodes = std::move(*parsed);
                }
            }
            control.bounds = {int32(child, "Left", 0), int32(child, "Top", 0), int32(child, "Width", 0),
                              int32(child, "Height", 0)};
            control.shown = shown && control.visible;
            indexes.push_back(model.controls.size());
            model.controls.push_back(std::move(control));
        }
        align(model, indexes, area);
        for (std::size_t index : indexes) {
            FormControl& control = model.controls[index];
            control.bounds.left += origin_left;
            control.bounds.top += origin_top;
        }
        for (std::size_t index : indexes) {
            const FormControl& control = model.controls[index];
            if (control.source->children.empty())
                continue;
            FormControl copy = control; // model.controls grows below
            FormRect inner = client_area(copy);
            if (copy.kind == ControlKind::page_control) {
                // Tab sheets fill the page control's display area below the tabs.
                inner = {4, 24, std::max(0, copy.bounds.width - 8), std::max(0, copy.bounds.height - 28)};
            }
            TRY(add_children(model, *copy.source, index, copy.font, copy.color,
                             {inner.left, inner.top, inner.width, inner.height}, copy.shown, copy.bounds.left,
                             copy.bounds.top));
        }
        return {};
    }

private:
    void read_common(FormControl& control, const dfm::Component& component, const FormFont& font,
                     const FormColor& color)
    {
        control.visible = boolean(component, "Visible").value_or(true);
        control.enabled = boolean(component, "Enabled").value_or(true);
        control.tag = int32(component, "Tag", 0);
        control.hint = text(component, "Hint").value_or("");
        control.caption = text(component, "Caption").or_else([&] { return text(component, "Text"); }).value_or("");
        control.lines = strings(component, "Lines.Strings");
        control.items = strings(component, "Items.Strings");
        if (control.items.empty())
            control.items = strings(component, "Tabs.Strings");
        control.checked = boolean(component, "Checked").value_or(false);
        control.item_index = int32(component, "ItemIndex", -1);
        control.max_length = int32(component, "MaxLength", 0);
        control.read_only = boolean(component, "ReadOnly").value_or(false);
        control.word_wrap = boolean(component, "WordWrap").value_or(control.kind == ControlKind::memo);
        control.transparent = boolean(component, "Transparent").value_or(false);
        std::string alignment = identifier(component, "Alignment");
        control.alignment = equal_ascii_nocase(alignment, "taRightJustify") ? TextAlignment::right
                            : equal_ascii_nocase(alignment, "taCenter")     ? TextAlignment::center
                                                                            : TextAlignment::left;
        if (control.kind == ControlKind::panel && alignment.empty())
            control.alignment = TextAlignment::center;
        control.font = resolve_font(component, font);
        control.color = resolve_color(component, control.kind, color);
        control.tab_order = int32(component, "TabOrder", -1);
        control.tab_stop = boolean(component, "TabStop").value_or(takes_focus(control.kind));
        bool gauge = control.kind == ControlKind::gauge;
        control.minimum = int32(component, gauge ? "MinValue" : "Min", 0);
        control.maximum =
            int32(component, gauge ? "MaxValue" : "Max", control.kind == ControlKind::track_bar ? 10 : 100);
        control.position = int32(component, gauge ? "Progress" : "Position", 0);
        if (const dfm::Property* picture = find(component, "Picture.Data");
            picture != nullptr && picture->value.kind == dfm::ValueKind::binary)
            control.picture = picture_bitmap(picture->value.bytes);
    }

    static bool takes_focus(ControlKind kind)
    {
        switch (kind) {
        case ControlKind::label:
        case ControlKind::static_text:
        case ControlKind::speed_button:
        case ControlKind::group_box:
        case ControlKind::panel:
        case ControlKind::image:
        case ControlKind::shape:
        case ControlKind::bevel:
        case ControlKind::gauge:
        case ControlKind::progress_bar:
        case ControlKind::tab_sheet:
        case ControlKind::animate:
        case ControlKind::flash_frame:
        case ControlKind::form_shape:
        case ControlKind::vista_glass:
        case ControlKind::nonvisual: return false;
        default: return true;
        }
    }

    // Picture.Data: the graphic's class name as a short string, then its data;
    // a bitmap's data is a 32-bit length and the bitmap file.
    static std::string picture_bitmap(const std::string& data)
    {
        if (data.empty())
            return {};
        std::size_t name_length = static_cast<unsigned char>(data[0]);
        if (1 + name_length > data.size() || std::string_view(data).substr(1, name_length) != "TBitmap")
            return {};
        std::size_t at = 1 + name_length;
        if (data.size() - at < 4)
            return {};
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i)
            length = (length << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
        at += 4;
        if (length > data.size() - at)
            return {};
        return data.substr(at, length);
    }

    static void align(FormModel& model, const std::vector<std::size_t>& indexes, FormRect area)
    {
        auto kind_of = [&](std::size_t index) { return identifier(*model.controls[index].source, "Align"); };
        for (std::string_view pass : {"alTop", "alBottom", "alLeft", "alRight", "alClient"}) {
            for (std::size_t index : indexes) {
                if (!equal_ascii_nocase(kind_of(index), pass))
                    continue;
                FormRect& r = model.controls[index].bounds;
                if (pass == "alTop") {
                    r = {area.left, area.top, area.width, r.height};
                    area.top += r.height;
                    area.height = std::max(0, area.height - r.height);
                } else if (pass == "alBottom") {
                    r = {area.left, area.top + area.height - r.height, area.width, r.height};
                    area.height = std::max(0, area.height - r.height);
                } else if (pass == "alLeft") {
                    r = {area.left, area.top, r.width, area.height};
                    area.left += r.width;
                    area.width = std::max(0, area.width - r.width);
                } else if (pass == "alRight") {
                    r = {area.left + area.width - r.width, area.top, r.width, area.height};
                    area.width = std::max(0, area.width - r.width);
                } else {
                    r = area;
                }
            }
        }
    }

    std::string_view m_file;
};

} // namespace

std::optional<ControlKind> ControlKindOf(std::string_view class_name)
{
    for (const ClassEntry& entry : class_table)
        if (equal_ascii_nocase(entry.name, class_name))
            return entry.kind;
    return std::nullopt;
}

bool IsContainer(ControlKind kind)
{
    return kind == ControlKind::panel || kind == ControlKind::group_box || kind == ControlKind::page_control ||
           kind == ControlKind::tab_sheet;
}

std::optional<FormColor> ParseFormColor(const dfm::Value& value)
{
    if (value.kind == dfm::ValueKind::identifier) {
        for (const ColorName& entry : color_table)
            if (equal_ascii_nocase(entry.name, value.text))
                return entry.color;
        return std::nullopt;
    }
    if (value.kind != dfm::ValueKind::integer)
        return std::nullopt;
    auto raw = static_cast<std::uint32_t>(value.integer);
    if ((raw & 0xFF000000u) == 0x80000000u)
        return FormColor{true, raw & 0xFFu};
    if ((raw & 0xFF000000u) != 0)
        return std::nullopt; // clNone, clDefault and palette-relative colours: leave the default
    return FormColor{false, raw};
}

const FormControl* FormModel::find(std::string_view control_name) const
{
    for (const FormControl& control : controls)
        if (equal_ascii_nocase(control.name, control_name))
            return &control;
    return nullptr;
}

Result<FormModel> BuildFormModel(dfm::Component root, std::string_view file_name)
{
    FormModel model;
    model.root = std::move(root);
    const dfm::Component& form = model.root;
    model.name = form.name;
    model.class_name = form.class_name;
    model.caption = text(form, "Caption").value_or("");
    model.client_width = int32(form, "ClientWidth", int32(form, "Width", 470) - 8);
    model.client_height = int32(form, "ClientHeight", int32(form, "Height", 215) - 34);
    if (const dfm::Property* color = find(form, "Color"))
        if (std::optional<FormColor> parsed = ParseFormColor(color->value))
            model.color = *parsed;
    model.font = resolve_font(form, FormFont{});
    if (const dfm::Property* icons = find(form, "BorderIcons");
        icons != nullptr && icons->value.kind == dfm::ValueKind::set)
        model.minimize_box = std::any_of(icons->value.set.begin(), icons->value.set.end(),
                                         [](const std::string& m) { return equal_ascii_nocase(m, "biMinimize"); });
    Builder builder(file_name);
    TRY(builder.add_children(model, form, std::nullopt, model.font, model.color,
                             {0, 0, model.client_width, model.client_height}, true, 0, 0));
    return model;
}

} // namespace quillon
