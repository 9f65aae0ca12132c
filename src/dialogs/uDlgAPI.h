// The dialog runtime: the wizard's pages loaded once at start-up, filled from
// the variables each time they are shown, writing the variables back as the
// user edits, evaluating their rules, turning clicks into result codes, and
// refreshing progress controls from the workers' variables.
#pragma once

#include "base/error.h"
#include "dialogs/folder_binding.h"
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

// The engine texts the runtime shows, in the language of the engine's messages.
struct DialogTexts {
    std::string confirm_cancel = "Are you sure you want to cancel?";
    std::string flash_failed = "Unable to play Flash movie";
    SizeUnits units;
};

struct DialogResult {
    std::int32_t code = 6; // 2 cancel, 6 next, 7 back, 8 custom
    std::string custom;    // the clicked control's name for 8
    HWND window = nullptr; // a modeless dialog's window
};

class TDialogRuntime {
public:
    // `texts` is asked each time a text is shown, so that the texts follow a
    // language the script chooses after start-up.
    using TextSource = std::function<DialogTexts()>;
    TDialogRuntime(std::string dialogs_folder, TVariableManager& vars, TextSource texts);
    ~TDialogRuntime();
    TDialogRuntime(const TDialogRuntime&) = delete;
    TDialogRuntime& operator=(const TDialogRuntime&) = delete;

    // Loads the form file and its rules file (form file + ".qvof") under the key.
    Result<HWND> RegisterDialog(const std::string& key, const std::string& form_file);
    // Fills the dialog from the variables. Nothing in a silent run.
    Result<void> PrepareDialog(const std::string& key);
    // start_installer: the page shows the installer's progress; its refresh
    // timer starts the installer and the page returns 1 once it has finished.
    Result<DialogResult> ShowDialog(const std::string& key, bool modal, bool start_installer = false);
    void ReleaseDialog(const std::string& key);
    void HideCurrentDialog();
    // The progress controls of the current dialog from text, range and position
    // ("$KYRT$" takes all four from the workers' variables). Answers whether a cancel is pending.
    bool RefreshProgress(std::string_view text, bool publish_cancel, std::int64_t minimum, std::int64_t maximum,
                         std::int64_t position);
    void FreeDialogs();

    // What the runtime needs from the engine around it.
    void set_silent(bool silent) { m_silent = silent; }
    void set_components(TComponentModel* components) { m_components = components; }
    void set_busy_flag(std::function<bool()> busy) { m_busy = std::move(busy); }
    void set_attention(std::function<void(bool error)> set, std::function<void()> clear)
    {
        m_set_attention = std::move(set);
        m_clear_attention = std::move(clear);
    }
    void set_tree_images(HIMAGELIST images) { m_tree_images = images; }
    // The translation of a design text (key: form file name "." component
    // name; index 1 for the text, i for the i-th item). Without a translator,
    // or when no language is set, the design text stays.
    using Translator = std::function<std::string(const std::string& text, const std::string& key, std::size_t index)>;
    void set_translator(Translator translate) { m_translate = std::move(translate); }
    // While the wizard is minimized to the tray a new page is not brought up;
    // the tray click shows it (show_pending).
    void set_in_tray(std::function<bool()> in_tray) { m_in_tray = std::move(in_tray); }
    // The tray icon, for the pages' minimize and close buttons: with the icon
    // visible a minimized page goes to the tray, and the close button brings it back from there.
    struct Tray {
        std::function<bool()> icon_visible;
        std::function<void()> minimize; // hides the page; the wizard counts as in the tray
        std::function<void()> restore;
    };
    void set_tray(Tray tray) { m_tray = std::move(tray); }
    // The feature tree's popup menu: shown at the screen point for a node of
    // the tree, it applies the chosen action to the component model; answers
    // whether anything was chosen.
    using FeatureMenu = std::function<bool(HWND owner, POINT screen, const std::vector<ComponentTreeNode>& tree,
                                           std::size_t node)>;
    void set_feature_menu(FeatureMenu menu) { m_feature_menu = std::move(menu); }
    // The installer run of a progress page: start creates the installer thread
    // and returns (it reports through the workers' variables and sets
    // KYRT_thFinished); run_and_wait is the silent run's start and wait.
    void set_installer(std::function<void()> start, std::function<void()> run_and_wait)
    {
        m_installer_start = std::move(start);
        m_installer_run = std::move(run_and_wait);
    }
    void show_pending();
    // The taskbar button's progress for the page on the screen (marquee, or position of maximum).
    void set_taskbar_progress(std::function<void(HWND window, bool marquee, std::int64_t position, std::int64_t maximum)> show)
    {
        m_taskbar_progress = std::move(show);
    }

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
    std::string expand(std::string_view text) const;
    // A control's text as the page shows it before expansion: fixed the first
    // time the page is prepared, translated when a translation exists then.
    const std::string& template_text(const Dialog& dialog, const std::string& component, std::size_t index,
                                     const std::string& design);

    std::string m_folder;
    TVariableManager& m_vars;
    TextSource m_texts;
    std::map<std::string, Dialog> m_dialogs;
    std::string m_current_key;
    std::string m_screen_key; // the dialog on the screen
    bool m_binding = false;
    bool m_silent = false;
    std::optional<SIZE> m_last_size;
    POINT m_last_position{0, 0};
    std::string m_shown_target;      // TARGETDIR when the dialog was shown
    std::string m_unresolved_tail;   // its part below the nearest existing folder
    TComponentModel* m_components = nullptr;
    std::function<bool()> m_busy;
    std::function<void(bool)> m_set_attention;
    std::function<void()> m_clear_attention;
    HIMAGELIST m_tree_images = nullptr;
    std::function<void(HWND, bool, std::int64_t, std::int64_t)> m_taskbar_progress;
    std::function<bool()> m_in_tray;
    HWND m_pending = nullptr; // a page that waits for the tray click to be shown
    Translator m_translate;
    Tray m_tray;
    FeatureMenu m_feature_menu;
    std::function<void()> m_installer_start;
    std::function<void()> m_installer_run;
    std::vector<HWND> m_hidden_by_minimize; // the other windows a minimized page took with it
    std::map<std::string, std::string> m_templates;
};

} // namespace quillon
