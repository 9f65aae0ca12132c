// What the dialog runtime asks of the engine around it, in three roles given
// when the runtime is made: the run the pages belong to, the windows around
// the pages, and the installer run of a progress page. The engine implements
// them in one place (engine/engine_host); tests give small fakes.
#pragma once

#include "msi/components.h"

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The engine texts the runtime shows, in the language of the engine's messages.
struct DialogTexts {
    std::string confirm_cancel = "Are you sure you want to cancel?";
    std::string flash_failed = "Unable to play Flash movie";
    SizeUnits units;
};

// The script's run: asked each time, so that the pages follow what the
// script changes (the silent switch, LANGUAGE, the components).
class PageRun {
public:
    virtual ~PageRun() = default;

    virtual bool silent() const = 0;
    // Whether a worker runs: a progress page's refresh goes on while one does.
    virtual bool workers_busy() const = 0;
    // The component model the feature controls show; null before the run has one.
    virtual TComponentModel* components() = 0;
    virtual DialogTexts texts() const = 0;
    // The translation of a design text (key: form file name "." component
    // name; index 1 for the text, i for the i-th item); the design text itself
    // when no language is set or the tables have none.
    virtual std::string translate(const std::string& text, const std::string& key, std::size_t index) = 0;
};

// The windows around the pages: the taskbar button, the tray icon, the feature
// tree's images and popup menu.
class PageShell {
public:
    virtual ~PageShell() = default;

    // The taskbar's attention while a question is shown.
    virtual void set_attention(bool error) = 0;
    virtual void clear_attention() = 0;
    // The taskbar button's progress for the page on the screen (marquee, or position of maximum).
    virtual void show_taskbar_progress(HWND window, bool marquee, std::int64_t position, std::int64_t maximum) = 0;
    // The images of the feature tree's check states; null when there are none.
    virtual HIMAGELIST tree_images() const = 0;
    // While the wizard is minimized to the tray a new page is not brought up;
    // the tray click shows it (TDialogRuntime::show_pending).
    virtual bool in_tray() const = 0;
    // With the tray icon visible a minimized page goes to the tray, and the
    // close button brings it back from there.
    virtual bool tray_icon_visible() const = 0;
    virtual void tray_minimize() = 0; // hides the page; the wizard counts as in the tray
    virtual void tray_restore() = 0;
    // The feature tree's popup menu at the screen point for a node of the
    // tree; the chosen action is applied to the component model. Answers
    // whether anything was chosen.
    virtual bool feature_menu(HWND owner, POINT screen, const std::vector<ComponentTreeNode>& tree,
                              std::size_t node) = 0;
};

// The installer run of a progress page: start creates the installer thread and
// returns (it reports through the workers' variables and sets KYRT_thFinished);
// run_and_wait is the silent run's start and wait.
class InstallerRun {
public:
    virtual ~InstallerRun() = default;

    virtual void start() = 0;
    virtual void run_and_wait() = 0;
};

struct PageRoles {
    PageRun& run;
    PageShell& shell;
    InstallerRun& installer;
};

} // namespace quillon
