// The windows around the wizard's pages: the hidden main form (worker timers,
// tray icon, taskbar button, feature tree images and menu), the taskbar's
// attention and whether the wizard is minimized to the tray. The dialog
// runtime sees it as its PageShell; the user interface and the worker
// services of the run use it too.
#pragma once

#include "dialogs/page_roles.h"
#include "engine/messages.h"
#include "engine/uImageListPool.h"
#include "interp/mscriptexecthread.h"
#include "vars/VariableManager.h"

#include <functional>
#include <memory>

namespace quillon {

class WizardShell : public PageShell {
public:
    // `run` says whether the run is silent now (a silent run shows no tray
    // icon) and gives the component model the feature menu changes.
    WizardShell(TVariableManager& vars, const EngineMessages* messages, PageRun& run);

    // The hidden main form; null when it could not be created (workers then
    // cannot be given up after a cancel, and nothing shows on the taskbar).
    TImageListPool* pool() const { return m_pool.get(); }
    // Why the hidden main form is missing, for the log; empty when it is there.
    const std::string& pool_error() const { return m_pool_error; }
    // What a click on the tray icon shows first: a page that came while the
    // wizard was in the tray.
    void set_pending_page(std::function<void()> show_pending);

    void set_attention(bool error) override;
    void clear_attention() override;
    void show_taskbar_progress(HWND window, bool marquee, std::int64_t position, std::int64_t maximum) override;
    HIMAGELIST tree_images() const override;
    bool in_tray() const override { return m_in_tray; }
    bool tray_icon_visible() const override;
    void tray_minimize() override;
    void tray_restore() override;
    bool feature_menu(HWND owner, POINT screen, const std::vector<ComponentTreeNode>& tree, std::size_t node) override;

    // The rest of "System Tray", and "MessageBalloon".
    void tray_show_icon();
    void tray_remove_icon();
    void show_balloon(const std::string& title, const std::string& text, std::int32_t icon, std::int32_t timeout_ms);

private:
    TVariableManager& m_vars;
    PageRun& m_run;
    std::unique_ptr<TImageListPool> m_pool;
    std::string m_pool_error;
    ProgressAttention m_attention;
    bool m_in_tray = false;
    bool m_taskbar_progress; // Windows 7 and later: the page's taskbar button follows the progress
};

// The current modeless dialog (WINDOWHANDLE), which owns message boxes; null
// when the variable names no window.
HWND current_window(const TVariableManager& vars);

} // namespace quillon
