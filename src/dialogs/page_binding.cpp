#include "dialogs/page_binding.h"

#include "base/strings.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view brand_suffix = " - Quillon Wizard";

std::string joined_lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "$NEWLINE$") + line;
    return text;
}

// The lines of a bound value: CR LF or "$NEWLINE$" between them.
std::vector<std::string> value_lines(const std::string& value)
{
    std::string lines = replace_all(replace_all(value, "\r\n", "\n"), "$NEWLINE$", "\n");
    std::vector<std::string> result;
    for (std::size_t at = 0; at <= lines.size();) {
        std::size_t end = std::min(lines.find('\n', at), lines.size());
        result.push_back(lines.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

// The first of the candidate files of the dialogs folder that exists and can be read.
std::optional<std::string> first_readable(const PageFiles& files, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        std::string path = files.folder + name;
        if (!files.exists(path))
            continue;
        if (Result<std::string> bytes = files.read(path))
            return std::move(*bytes);
    }
    return std::nullopt;
}

// A memo's or rich edit's text: Tag 1 shows the readme, Tag 2 the licence, in
// the language of the run when the setup carries one for it.
std::string document_text(const FormControl& control, const PageInputs& inputs, std::string text)
{
    if (control.tag != 1 && control.tag != 2)
        return text;
    std::string base = control.tag == 1 ? "readme" : "license";
    std::string language = GetVar(inputs.vars, var::language);
    std::vector<std::string> names;
    if (control.kind == ControlKind::rich_edit)
        names = {base + "." + language + ".rtf", base + ".rtf"};
    names.push_back(base + "." + language + ".txt");
    names.push_back(base + ".txt");
    if (std::optional<std::string> loaded = first_readable(inputs.files, names))
        return *loaded;
    if (control.kind == ControlKind::memo)
        return "Add a " + base + "." + language + ".txt or " + base +
               ".txt file to your project as a support file/creative to display it here.";
    return "Add a " + base + "." + language + ".rtf or " + base + ".rtf, or " + base + "." + language + ".txt or " +
           base + ".txt file to your project as a support file/creative to display it here.";
}

std::vector<std::string> expanded_items(const FormControl& control, const PageInputs& inputs)
{
    std::vector<std::string> items;
    for (std::size_t i = 0; i < control.items.size(); ++i) {
        std::string text = Expand(inputs.vars, inputs.template_text(control.name, i + 1, control.items[i]));
        if (!text.empty())
            items.push_back(std::move(text));
    }
    return items;
}

} // namespace

std::string reduce_backslashes(std::string_view text)
{
    return replace_all(text, "\\\\", "\\");
}

std::string newlines_to_crlf(std::string_view text)
{
    return replace_all(text, "$NEWLINE$", "\r\n");
}

std::string BoundVariable(const FormControl& control)
{
    return ansi_upper(strip_reference(control.hint));
}

std::string PageCaption(std::string caption, bool unbranded)
{
    if (unbranded && caption.ends_with(brand_suffix))
        caption.resize(caption.size() - brand_suffix.size());
    else if (!unbranded && !caption.ends_with(brand_suffix))
        caption += brand_suffix;
    return caption;
}

namespace {

// What one control is filled from: its model, the inputs, and the value of its Hint variable if it has one.
struct FillSource {
    const FormControl& m;
    const PageInputs& inputs;
    std::optional<std::string> bound;

    std::string design(std::size_t index, const std::string& text) const
    {
        return inputs.template_text(m.name, index, text);
    }
    std::string caption() const { return Expand(inputs.vars, design(1, m.caption)); }
};

void fill_caption(const FillSource& source, ControlFill& fill)
{
    const FormControl& m = source.m;
    // A static text with Tag 1 is the status line of the workers.
    if (m.kind == ControlKind::static_text && m.tag == 1)
        fill.text = GetVar(source.inputs.vars, var::progress_text);
    else
        fill.text = source.caption();
    if ((m.kind == ControlKind::check_box || m.kind == ControlKind::radio_button) && source.bound)
        fill.checked = text_is_true(*source.bound);
}

void fill_edit(const FillSource& source, ControlFill& fill)
{
    const FormControl& m = source.m;
    std::string text = source.design(1, m.caption);
    if (source.bound)
        text = reduce_backslashes(Expand(source.inputs.vars, *source.bound));
    if (text.empty()) {
        // An empty edit with Tag 1 to 4 shows the start menu folder, the destination, the user or the company.
        static constexpr std::string_view defaults[] = {"", "$STARTMENU$", "$TARGETDIR$", "$USERNAME$",
                                                        "$USERCOMPANY$"};
        if (m.tag >= 1 && m.tag <= 4)
            text = reduce_backslashes(Expand(source.inputs.vars, defaults[m.tag]));
    }
    fill.text = std::move(text);
}

void fill_document(const FillSource& source, ControlFill& fill)
{
    // One template for all lines: a translation file holds one line per text.
    const TVariableManager& vars = source.inputs.vars;
    std::string text = newlines_to_crlf(Expand(vars, source.design(1, joined_lines(source.m.lines))));
    if (source.bound)
        text = newlines_to_crlf(reduce_backslashes(Expand(vars, *source.bound)));
    fill.text = document_text(source.m, source.inputs, std::move(text));
}

void fill_list(const FillSource& source, ControlFill& fill)
{
    const FormControl& m = source.m;
    if (m.kind != ControlKind::check_list_box) {
        fill.items = expanded_items(m, source.inputs);
        if (source.bound)
            fill.select = *source.bound;
        return;
    }
    if (m.tag == 1) {
        // The features: what the component model says, once the run has one.
        if (source.inputs.components != nullptr)
            fill.check_items = source.inputs.components->FillCheckList();
        return;
    }
    // The value holds the checked items one per line.
    std::vector<std::string> checked = source.bound ? value_lines(*source.bound) : std::vector<std::string>{};
    std::vector<ComponentCheckItem> items;
    for (std::string& text : expanded_items(m, source.inputs)) {
        bool on = std::find(checked.begin(), checked.end(), text) != checked.end();
        items.push_back({std::move(text), on});
    }
    fill.check_items = std::move(items);
}

Result<void> fill_position(const FillSource& source, ControlFill& fill)
{
    const FormControl& m = source.m;
    if (m.kind == ControlKind::track_bar) {
        if (source.bound) {
            std::optional<std::int32_t> position = parse_int32(*source.bound);
            if (!position)
                return make_error(ErrorCode::parse, "'" + *source.bound + "' is not a valid integer value");
            fill.position = *position;
        }
        return {};
    }
    // Tag 1 follows PROGRESS; a value that is no number shows a full bar.
    if (m.tag == 1) {
        std::optional<std::int32_t> progress = parse_int32(GetVar(source.inputs.vars, var::progress));
        fill.position = progress ? std::clamp(*progress, 0, 100) : 100;
    }
    return {};
}

void fill_nodes(const FillSource& source, ControlFill& fill)
{
    // Tag 1 is the feature tree, filled from the component model; others show their designed nodes.
    const FormControl& m = source.m;
    if (m.tag == 1)
        return;
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        texts.push_back(Expand(source.inputs.vars, source.design(i + 1, utf16_to_ansi(m.nodes[i].text))));
    fill.node_texts = std::move(texts);
}

// The HTML viewer's index page and the Flash frame's movie, in the language of the run first.
void fill_media(const FillSource& source, ControlFill& fill)
{
    if (source.m.tag != 1)
        return;
    const PageFiles& files = source.inputs.files;
    std::string language = GetVar(source.inputs.vars, var::language);
    if (source.m.kind == ControlKind::html_viewer) {
        if (files.exists(files.folder + "index." + language + ".htm"))
            fill.page_file = files.folder + "index." + language + ".htm";
        else if (files.exists(files.folder + "index.htm"))
            fill.page_file = files.folder + "index.htm";
        else
            fill.text = "Add an index.htm file to your project to display it here, along with any other "
                        "additional support/linked files.";
        return;
    }
    std::string movie = files.folder + "movie." + language + ".swf";
    if (!files.exists(movie))
        movie = files.folder + "movie.swf";
    if (files.exists(movie))
        fill.movie = std::move(movie);
    else
        fill.text = "Add a movie.swf file to your project to display it here.";
}

} // namespace

Result<ControlFill> DecideControlFill(const FormControl& m, const PageInputs& inputs)
{
    std::string hint = BoundVariable(m);
    FillSource source{m, inputs, hint.empty() ? std::nullopt : inputs.vars.lookup(hint)};
    ControlFill fill;
    switch (m.kind) {
    case ControlKind::label:
    case ControlKind::panel:
    case ControlKind::group_box:
    case ControlKind::tab_sheet:
    case ControlKind::static_text:
    case ControlKind::button:
    case ControlKind::bit_button:
    case ControlKind::speed_button:
    case ControlKind::bmp_button:
    case ControlKind::check_box:
    case ControlKind::radio_button: fill_caption(source, fill); break;
    case ControlKind::edit:
    case ControlKind::mask_edit: fill_edit(source, fill); break;
    case ControlKind::memo:
    case ControlKind::rich_edit: fill_document(source, fill); break;
    case ControlKind::list_box:
    case ControlKind::combo_box:
    case ControlKind::check_list_box: fill_list(source, fill); break;
    case ControlKind::track_bar:
    case ControlKind::progress_bar:
    case ControlKind::gauge: TRY(fill_position(source, fill)); break;
    case ControlKind::tree_view: fill_nodes(source, fill); break;
    case ControlKind::html_viewer:
    case ControlKind::flash_frame: fill_media(source, fill); break;
    default: break;
    }
    return fill;
}

std::optional<ControlWrite> DecideWriteBack(const FormControl& m, const ControlState& state)
{
    auto lines = [](const std::vector<std::string>& items) {
        std::string text;
        for (const std::string& item : items)
            text += (text.empty() ? "" : "$NEWLINE$") + item;
        return text;
    };
    switch (m.kind) {
    case ControlKind::edit: return ControlWrite{state.text, "Edit1Change"};
    case ControlKind::mask_edit: return ControlWrite{state.text, "MaskEdit1Change"};
    case ControlKind::memo: return ControlWrite{replace_all(state.text, "\r\n", "$NEWLINE$"), "Memo1Change"};
    case ControlKind::rich_edit: return ControlWrite{replace_all(state.text, "\r\n", "$NEWLINE$"), "RichEdit1Change"};
    case ControlKind::check_box: return ControlWrite{state.checked ? "TRUE" : "FALSE", "CheckBox1Click"};
    case ControlKind::list_box: return ControlWrite{lines(state.selected), "ListBox1Click"};
    case ControlKind::check_list_box:
        if (m.tag == 1)
            return std::nullopt;
        return ControlWrite{lines(state.selected), "CheckListBox1ClickCheck"};
    case ControlKind::combo_box: return ControlWrite{state.text, "ComboBox1Change"};
    case ControlKind::track_bar: return ControlWrite{std::to_string(state.position), "TrackBar1Change"};
    case ControlKind::tree_view:
        if (!state.node)
            return std::nullopt;
        return ControlWrite{*state.node, "TreeView1Change"};
    default: return std::nullopt;
    }
}

} // namespace quillon
