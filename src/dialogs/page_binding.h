// What each control of a page shows when the page is prepared, and what it
// writes back when the user changes it: decided here from the form's model,
// the variables and the files of the dialogs folder, without a window, so
// that every rule has a native test. The Windows side (page_apply) only
// carries the decisions out and reads the controls' states.
#pragma once

#include "base/error.h"
#include "dialogs/form_model.h"
#include "msi/components.h"
#include "vars/VariableManager.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Where the binding reads the page's files (readme, licence, index page, movie).
struct PageFiles {
    std::string folder; // the dialogs folder, with its backslash
    std::function<bool(const std::string& path)> exists;
    std::function<Result<std::string>(const std::string& path)> read;
};

// What the binding reads besides the control's model.
struct PageInputs {
    const TVariableManager& vars;
    // A control's design text as the page shows it before expansion: fixed at
    // the page's first preparation, translated when a translation exists
    // (index 1 for the text, i for the i-th item or node).
    std::function<std::string(const std::string& component, std::size_t index, const std::string& design)>
        template_text;
    PageFiles files;
    const TComponentModel* components = nullptr; // null before the run has one
};

// What one control shows; only what its kind uses is set.
struct ControlFill {
    std::optional<std::string> text;                            // the window text
    std::optional<bool> checked;                                // check boxes, radio buttons
    std::optional<std::vector<std::string>> items;              // list and combo boxes: the items that are not empty
    std::optional<std::string> select; // the item to select; a combo box without it shows it as its text
    std::optional<std::vector<ComponentCheckItem>> check_items; // check list boxes
    std::optional<std::int32_t> position; // track bars; progress bars (0 to 100)
    std::optional<std::vector<std::string>> node_texts; // a tree view's designed nodes
    std::optional<std::string> page_file; // HTML viewers: the page to load
    std::optional<std::string> movie; // Flash frames: the movie to play
};

// The page's caption: with the wizard's brand unless the logo is switched off (KYRTLOGO "TRUE").
std::string PageCaption(std::string caption, bool unbranded);

// The fill of one control. A track bar bound to a text that is no integer is an error of the page.
Result<ControlFill> DecideControlFill(const FormControl& control, const PageInputs& inputs);

// A control's state as the user left it, read from its window.
struct ControlState {
    std::string text; // edits, memos, combo boxes (memos with CR LF line ends)
    bool checked = false; // check boxes
    std::vector<std::string> selected; // list boxes: the selected items; check list boxes: the checked ones
    std::int64_t position = 0; // track bars
    std::optional<std::string> node; // tree views: the selected node's text
};

// What a change of the control writes to its Hint variable, and under which origin.
struct ControlWrite {
    std::string value;
    std::string_view origin;
};

// The write of a change; nothing for kinds that write elsewhere (radio
// buttons write as a group, folder controls through FolderChange, the
// feature controls into the component model) or not at all.
std::optional<ControlWrite> DecideWriteBack(const FormControl& control, const ControlState& state);

// "\\" as one backslash: values keep paths with doubled backslashes.
std::string reduce_backslashes(std::string_view text);
// "$NEWLINE$" as CR LF, as a multi-line control shows it.
std::string newlines_to_crlf(std::string_view text);

// The variable a control is bound to: its Hint without "$" signs, upper case; empty when it has none.
std::string BoundVariable(const FormControl& control);

} // namespace quillon
