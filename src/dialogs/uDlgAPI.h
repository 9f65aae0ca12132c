// The dialog runtime: the wizard's pages loaded once at start-up, filled from
// the variables each time they are shown, writing the variables back as the
// user edits, evaluating their rules, turning clicks into result codes, and
// refreshing progress controls from the workers' variables.
#pragma once

#include "base/error.h"
#include "dialogs/folder_binding.h"
#include "dialogs/page_roles.h"
#include "dialogs/uPool.h"
#include "msi/components.h"
#include "vars/VariableManager.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

struct DialogResult {
    std::int32_t code = 6; // 2 cancel, 6 next, 7 back, 8 custom
    std::string custom;    // the clicked control's name for 8
    HWND window = nullptr; // a modeless dialog's window
};

class TDialogRuntime {
public:
    TDialogRuntime(std::string dialogs_folder, TVariableManager& vars, PageRoles roles);
    ~TDialogRuntime();
    TDialogRuntime(const TDialogRuntime&) = delete;
    TDialogRuntime& operator=(const TDialogRuntime&) = delete;

    // Loads the form file and its rules file (form file + ".qvof") under the key.
    Result<HWND> RegisterDialog(const std::string& key, const std::string& form_file);
    // Fills the dialog from the variables. Nothing in a silent run.
    Result<void> PrepareDialog(const std::string& key);
    // start_installer: the page shows the installer's progress; its refresh
    // timer starts the installer and the page returns 1 once it has finished.
    // Whether a dialog was registered under the key.
    bool HasDialog(const std::string& key) const { return m_dialogs.contains(key); }
    Result<DialogResult> ShowDialog(const std::string& key, bool modal, bool start_installer = false);
    void ReleaseDialog(const std::string& key);
    void HideCurrentDialog();
    // The progress controls of the current dialog from text, range and position
    // ("$KYRT$" takes all four from the workers' variables). Answers whether a cancel is pending.
    bool RefreshProgress(std::string_view text, bool publish_cancel, std::int64_t minimum, std::int64_t maximum,
                         std::int64_t position);
    void FreeDialogs();

    // Shows the page that waited for the tray click.
    void show_pending();

    // The dialog on the screen, if any.
    HWND screen_window() const;
    TPoolTemplate* dialog(const std::string& key);

private:
    struct Dialog {
        std::unique_ptr<TPoolTemplate> form;
        std::vector<std::string> rules;
        std::int32_t result = -1;
        std::string custom;
        bool modeless = false;
        bool released = false;
        bool closing_allowed = false;
        bool runs_installer = false;
        bool installer_started = false;
        bool flash_playing = false; // the player stays in its frame; a page shown again keeps it
        std::string current_component;
        UINT_PTR refresh_timer = 0;
        std::vector<ComponentTreeNode> tree; // the feature tree's nodes, parallel to the tree items
        std::vector<HTREEITEM> tree_items;
        // Pages the HTML viewers go on to after their refresh delay, by timer id.
        struct PageRefresh {
            HWND view = nullptr;
            std::string from_page; // the page that asked for it: gone when the user went elsewhere
            std::string target;
        };
        std::map<UINT_PTR, PageRefresh> page_refresh;
    };

    void on_click(Dialog& dialog, const TPoolTemplate::Control& control);
    void on_change(Dialog& dialog, const TPoolTemplate::Control& control);
    // A folder, file or drive control changed: `path` is what it reports (see FolderChange).
    void on_folder_change(Dialog& dialog, const TPoolTemplate::Control& control, FolderEvent event,
                          const std::string& path, bool item_is_folder);
    void on_timer(Dialog& dialog, UINT_PTR id);
    void on_close_button(Dialog& dialog);
    bool on_minimize(Dialog& dialog);
    void on_restore();
    void on_tree_context(Dialog& dialog, const TPoolTemplate::Control& control, HTREEITEM item, POINT screen);
    bool follow_link(const Dialog& dialog, const std::string& href);
    void on_html_page(Dialog& dialog, HWND view, UINT_PTR timer_id);
    void apply_rules(Dialog& dialog);
    void refresh_feature_texts(Dialog& dialog);
    void refresh_live_bound(Dialog& dialog);
    void fill_feature_tree(Dialog& dialog, const TPoolTemplate::Control& control);
    void set_destination(Dialog& dialog, const std::string& folder);
    std::optional<std::string> browse_folder(HWND owner);
    void refresh_dialog_progress(Dialog& dialog, std::string_view text, std::int64_t minimum, std::int64_t maximum,
                                 std::int64_t position);
    void place(Dialog& dialog);
    Dialog* current();
    TComponentModel* components() { return m_roles.run.components(); }
    std::string expand(std::string_view text) const;
    // A control's text as the page shows it before expansion: fixed the first
    // time the page is prepared, translated when a translation exists then.
    const std::string& template_text(const Dialog& dialog, const std::string& component, std::size_t index,
                                     const std::string& design);

    std::string m_folder;
    TVariableManager& m_vars;
    PageRoles m_roles;
    std::map<std::string, Dialog> m_dialogs;
    std::string m_current_key;
    std::string m_screen_key; // the dialog on the screen
    bool m_binding = false;
    std::optional<SIZE> m_last_size;
    POINT m_last_position{0, 0};
    std::string m_shown_target;      // TARGETDIR when the dialog was shown
    std::string m_unresolved_tail;   // its part below the nearest existing folder
    HWND m_pending = nullptr; // a page that waits for the tray click to be shown
    std::vector<HWND> m_hidden_by_minimize; // the other windows a minimized page took with it
    std::map<std::string, std::string> m_templates;
};

} // namespace quillon
