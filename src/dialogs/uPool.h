// TPoolTemplate: the host form of one wizard dialog. It reads the dialog's form
// file and creates a real window with a dialog border and one real child
// control per component. Controls are created as children of the form itself,
// in form coordinates, so that every notification reaches the form; the
// designer's nesting is kept in the model (FormControl::parent) and in the
// z-order (containers lie below what they contain).
#pragma once

#include "base/error.h"
#include "dialogs/form_model.h"
#include "platform/win32/gdi.h"
#include "platform/win32/window_text.h"

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The property every control window carries: a global atom of its component name,
// so that a test program can find controls by name from outside the process.
inline constexpr wchar_t control_name_property[] = L"QuillonControlName";

class TPoolTemplate {
public:
    struct Control {
        const FormControl* model = nullptr;
        HWND window = nullptr;
        HWND buddy = nullptr; // second window of a control (an up-down's partner)
        win32::UniqueBitmap bitmap;
    };

    // Loads the form file (text or binary) and creates the form hidden.
    // `dialogs_folder` is where pictures named after controls are looked for.
    static Result<std::unique_ptr<TPoolTemplate>> Load(const std::string& form_file, const std::string& dialogs_folder);
    // A form built into the program, from its text; `name` stands for its file name.
    static Result<std::unique_ptr<TPoolTemplate>> LoadText(std::string_view form, const std::string& name);
    ~TPoolTemplate();
    TPoolTemplate(const TPoolTemplate&) = delete;
    TPoolTemplate& operator=(const TPoolTemplate&) = delete;

    HWND window() const { return m_window; }
    const FormModel& model() const { return m_model; }
    // The form file's name without its folder: the dialog's identity in templates and translations.
    const std::string& hint() const { return m_hint; }
    const std::vector<Control>& controls() const { return m_controls; }
    const Control* find(std::string_view name) const; // ignoring ASCII case

    // Published properties in their text form, by component and property name
    // (ignoring ASCII case): Caption, Text, Checked, Enabled, Visible,
    // ItemIndex, Position, Tag, Hint, Left, Top, Width, Height. The form itself
    // answers by its own name. Nothing for a missing component or property.
    std::optional<std::string> property(std::string_view component, std::string_view name) const;
    // False when the component or property is missing or the text does not fit it.
    bool set_property(std::string_view component, std::string_view name, std::string_view text);

    // Centred on the screen (the designer's poScreenCenter), or at a given place.
    void center();
    // For a message loop: tab and arrow keys between the controls.
    bool pre_translate(MSG& message);

    // Notifications from the controls (clicks, changes), for the dialog runtime.
    std::function<void(const Control& control)> on_click;
    std::function<void(const Control& control)> on_change;
    std::function<void()> on_close; // the close button: the runtime decides
    std::function<void()> on_escape; // Esc (IDCANCEL from the dialog keys)
    // The minimize command; answering true means the runtime took care of it.
    std::function<bool()> on_minimize;
    std::function<void()> on_restore; // the window came back from minimized
    // A tree view's context: the mouse released over an item's icon, or the
    // context-menu key on the selected item; the item and where a menu goes (screen).
    std::function<void(const Control& control, HTREEITEM item, POINT screen)> on_tree_context;
    // WM_TIMER of the form's own timers, by timer id.
    std::function<void(UINT_PTR id)> on_timer;

private:
    friend bool RegisterDialogClasses(HINSTANCE instance);
    TPoolTemplate() = default;
    static Result<std::unique_ptr<TPoolTemplate>> from_bytes(std::string_view bytes, const std::string& name,
                                                             const std::string& dialogs_folder);
    Result<void> create_window(const std::string& dialogs_folder);
    Result<void> create_control(Control& control, const std::string& dialogs_folder);
    void fill_control(Control& control);
    void order_containers();
    void show_page(const Control& page_control, int page);
    const Control* control_of(HWND window) const;
    HFONT font_for(const FormFont& font);
    HBRUSH brush_for(const FormColor& color);
    static LRESULT CALLBACK form_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void on_command(const Control& control, UINT code);
    void on_notify(const Control& control, const NMHDR& header);

    FormModel m_model;
    std::string m_hint;
    HWND m_window = nullptr;
    std::vector<Control> m_controls;
    std::vector<std::pair<FormFont, win32::UniqueFont>> m_fonts;
    std::vector<std::pair<FormColor, win32::UniqueBrush>> m_brushes; // solid colours; system brushes are shared
    std::vector<ATOM> m_atoms;
};

// Fills a tree view with nodes (parents before children), one text per node.
void show_tree_nodes(HWND tree, const std::vector<FormTreeNode>& nodes, const std::vector<std::string>& texts);

// Registers the window classes of the host form and of the controls drawn here.
bool RegisterDialogClasses(HINSTANCE instance);

// A whole file of the dialogs (form, rules, readme) as bytes.
Result<std::string> read_dialog_file(const std::string& path);

} // namespace quillon
