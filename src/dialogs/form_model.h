// A dialog form file's component tree turned into what the host form needs to
// create real windows: every control's kind, its place in form coordinates
// (after alignment), its effective font and colours, texts and state. Portable:
// the Windows host form turns each entry into a child window.
#pragma once

#include "base/error.h"
#include "dialogs/dfm.h"
#include "dialogs/tree_nodes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

enum class ControlKind : std::uint8_t {
    label,
    static_text,
    edit,
    mask_edit,
    memo,
    rich_edit,
    button,
    bit_button,
    speed_button,
    bmp_button,
    check_box,
    radio_button,
    list_box,
    check_list_box,
    combo_box,
    group_box,
    panel,
    image,
    shape,
    bevel,
    gauge,
    progress_bar,
    track_bar,
    up_down,
    page_control,
    tab_sheet,
    tree_view,
    animate,
    file_list_box,
    directory_list_box,
    drive_combo_box,
    filter_combo_box,
    html_viewer,
    flash_frame,
    shell_tree,
    shell_list,
    shell_combo,
    form_shape,
    vista_glass,
    nonvisual, // the designer's own components and other components without a window
};

// The kind of a class a dialog file may contain, or nothing for an unknown class.
std::optional<ControlKind> ControlKindOf(std::string_view class_name);
// Controls that hold other controls.
bool IsContainer(ControlKind kind);

// A colour as the form designer stores it: a system colour (clBtnFace) or RGB.
struct FormColor {
    bool system = false;
    std::uint32_t value = 0; // system: the GetSysColor index; else 0x00BBGGRR
    bool operator==(const FormColor&) const = default;
};
// clXXX names, decimal or $hex TColor values (negative ones name system colours).
std::optional<FormColor> ParseFormColor(const dfm::Value& value);

struct FormFont {
    std::string name = "MS Sans Serif";
    std::int32_t height = -11; // pixels; negative is the character height
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike_out = false;
    std::int32_t charset = 1; // DEFAULT_CHARSET
    FormColor color{true, 8}; // clWindowText
    bool operator==(const FormFont&) const = default;
};

struct FormRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const FormRect&) const = default;
};

enum class TextAlignment : std::uint8_t { left, right, center };

struct FormControl {
    std::string name;
    std::string class_name;
    ControlKind kind = ControlKind::nonvisual;
    std::size_t line = 0;
    std::optional<std::size_t> parent; // index of the containing control; none for the form
    FormRect bounds;                   // in the form's client coordinates
    bool visible = true;               // its own Visible property
    bool shown = true;                 // visible and every container above it visible
    bool enabled = true;
    std::int32_t tag = 0;
    std::string hint;
    std::string caption; // Caption, or Text for edits and combo boxes
    std::vector<std::string> lines; // Lines.Strings (memos, rich edits)
    std::vector<std::string> items; // Items.Strings, Tabs.Strings
    bool checked = false;
    std::int32_t item_index = -1;
    std::int32_t max_length = 0;
    bool read_only = false;
    bool word_wrap = false;
    bool transparent = false;
    TextAlignment alignment = TextAlignment::left;
    FormColor color;
    FormFont font;
    std::int32_t tab_order = -1; // -1: not a tab stop candidate
    bool tab_stop = false;
    std::int32_t minimum = 0;   // Min (progress bars, track bars, up-downs, gauges: MinValue)
    std::int32_t maximum = 100; // Max / MaxValue
    std::int32_t position = 0;  // Position / Progress
    std::string picture;        // bitmap file bytes from Picture.Data (without the class-name prefix)
    std::vector<FormTreeNode> nodes; // a tree view's designed nodes (Items.NodeData)
    const dfm::Component* source = nullptr; // every property as read, for what is not resolved here
};

struct FormModel {
    std::string name;
    std::string class_name;
    std::string caption;
    std::int32_t client_width = 462;
    std::int32_t client_height = 181;
    FormColor color{true, 15}; // clBtnFace
    FormFont font;
    bool minimize_box = false;
    // Parents come before their children; siblings in file order.
    std::vector<FormControl> controls;
    dfm::Component root;

    const FormControl* find(std::string_view name) const; // ignoring ASCII case
};

// Builds the model; an unknown class is an error naming the file and line.
// The model keeps its own copy of the component tree (FormControl::source points into it).
Result<FormModel> BuildFormModel(dfm::Component root, std::string_view file_name);

} // namespace quillon
