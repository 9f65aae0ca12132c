#include "engine/wizard_shell.h"

#include "base/strings.h"
#include "engine/feature_menu.h"
#include "platform/win32/windows_version.h"
#include "vars/reserved_names.h"

#include <algorithm>

namespace quillon {

namespace {

TaskbarState taskbar_state(TaskbarMode mode)
{
    switch (mode) {
    case TaskbarMode::indeterminate: return TaskbarState::indeterminate;
    case TaskbarMode::error: return TaskbarState::error;
    case TaskbarMode::paused: return TaskbarState::paused;
    case TaskbarMode::normal: return TaskbarState::normal;
    }
    return TaskbarState::normal;
}

BalloonIcon balloon_icon(std::int32_t code)
{
    switch (code) {
    case 0: return BalloonIcon::info;
    case 1: return BalloonIcon::warning;
    case 2: return BalloonIcon::error;
    default: return BalloonIcon::none;
    }
}

// The tray icon's tip and the overlay's description are the product's title.
void show_tray_icon(TImageListPool* pool, const TVariableManager& vars, HWND window)
{
    if (pool == nullptr)
        return;
    std::string title = GetVar(vars, var::title);
    pool->add_tray_icon(title);
    pool->set_taskbar_overlay(window, true, title);
}

// Brings the wizard back the way a click on the tray icon does.
void restore_window(HWND window)
{
    if (window == nullptr)
        return;
    ShowWindow(window, SW_SHOW);
    BringWindowToTop(window);
    // Through the window's own system command, so that its handler sees the
    // restore; a window that is not minimized keeps its size (a maximized one
    // would otherwise lose it).
    if (IsIconic(window))
        SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(window);
}

} // namespace

HWND current_window(const TVariableManager& vars)
{
    auto handle = parse_int64(GetVar(vars, var::window_handle));
    HWND window = handle ? reinterpret_cast<HWND>(static_cast<std::intptr_t>(*handle)) : nullptr;
    return window != nullptr && IsWindow(window) ? window : nullptr;
}

WizardShell::WizardShell(TVariableManager& vars, const EngineMessages* messages, PageRun& run)
    : m_vars(vars), m_run(run), m_attention(vars), m_taskbar_progress(win32::windows_version_at_least(6, 1))
{
    Result<std::unique_ptr<TImageListPool>> pool = TImageListPool::Create(messages);
    if (!pool) {
        m_pool_error = pool.error().message;
        return;
    }
    m_pool = std::move(*pool);
    // A click on the tray icon brings back the current dialog.
    m_pool->set_restore_target([&vars] { return current_window(vars); }, {}, [this] { m_in_tray = false; });
}

void WizardShell::set_pending_page(std::function<void()> show_pending)
{
    if (m_pool)
        m_pool->set_restore_target([&vars = m_vars] { return current_window(vars); }, std::move(show_pending),
                                   [this] { m_in_tray = false; });
}

void WizardShell::set_attention(bool error)
{
    TaskbarMode mode = m_attention.set(error);
    if (HWND window = current_window(m_vars); window != nullptr && m_pool)
        m_pool->set_taskbar_state(window, taskbar_state(mode));
}

void WizardShell::clear_attention()
{
    TaskbarMode mode = m_attention.clear();
    if (HWND window = current_window(m_vars); window != nullptr && m_pool)
        m_pool->set_taskbar_state(window, taskbar_state(mode));
}

void WizardShell::show_taskbar_progress(HWND window, bool marquee, std::int64_t position, std::int64_t maximum)
{
    if (!m_pool || !m_taskbar_progress)
        return;
    if (marquee) {
        m_pool->set_taskbar_state(window, TaskbarState::indeterminate);
    } else {
        m_pool->set_taskbar_state(window, TaskbarState::normal);
        m_pool->set_taskbar_value(window, static_cast<std::uint64_t>(std::max<std::int64_t>(0, position)),
                                  static_cast<std::uint64_t>(std::max<std::int64_t>(1, maximum)));
    }
    // A message on the screen keeps its colour over the progress.
    TaskbarMode mode = m_attention.current();
    if (mode == TaskbarMode::error || mode == TaskbarMode::paused)
        m_pool->set_taskbar_state(window, taskbar_state(mode));
}

HIMAGELIST WizardShell::tree_images() const
{
    return m_pool ? m_pool->image_list() : nullptr;
}

bool WizardShell::tray_icon_visible() const
{
    return m_pool && m_pool->tray_icon_shown();
}

void WizardShell::tray_minimize()
{
    HWND window = current_window(m_vars);
    if (!m_run.silent())
        show_tray_icon(m_pool.get(), m_vars, window);
    if (window != nullptr)
        ShowWindow(window, SW_HIDE);
    m_in_tray = true;
}

void WizardShell::tray_show_icon()
{
    if (!m_run.silent())
        show_tray_icon(m_pool.get(), m_vars, current_window(m_vars));
}

void WizardShell::tray_restore()
{
    restore_window(current_window(m_vars));
    m_in_tray = false;
}

void WizardShell::tray_remove_icon()
{
    if (m_pool) {
        m_pool->remove_tray_icon();
        m_pool->set_taskbar_overlay(current_window(m_vars), false, {});
    }
    tray_restore();
}

void WizardShell::show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                               std::int32_t timeout_ms)
{
    // Without the hidden main form there is no tray icon, and no timer to end
    // the attention: PROGRESSMODE would stay "PAUSE" for the rest of the run.
    if (!m_pool)
        return;
    const auto timeout = static_cast<std::uint32_t>(std::max(timeout_ms, 0));
    m_pool->add_tray_icon(GetVar(m_vars, var::title));
    m_pool->tray_balloon(title, text, balloon_icon(icon), timeout);
    set_attention(false);
    // Systems after XP keep a balloon up as long as their accessibility
    // setting says; the taskbar attention ends with the script's time-out.
    m_pool->set_interval(PoolTimer::win7, timeout);
    m_pool->arm(PoolTimer::win7, [this] { clear_attention(); });
}

bool WizardShell::feature_menu(HWND owner, POINT screen, const std::vector<ComponentTreeNode>& nodes, std::size_t node)
{
    TComponentModel* model = m_run.components();
    if (!m_pool || model == nullptr)
        return false;
    std::optional<FeatureMenuAction> action = m_pool->track_popup_menu(owner, screen);
    if (!action)
        return false;
    std::vector<FeatureTreeNode> tree(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        tree[i].parent = nodes[i].parent;
        tree[i].component = nodes[i].component;
        if (nodes[i].parent && *nodes[i].parent < nodes.size())
            tree[*nodes[i].parent].children.push_back(i);
    }
    ApplyFeatureMenuAction(
        tree, node, *action,
        [model](std::size_t component, bool selected) { model->set_selected(component, selected); },
        [model](std::size_t component) {
            const Component* record = model->component_at(component);
            return record != nullptr && model->is_locked(record->name);
        });
    return true;
}

} // namespace quillon
