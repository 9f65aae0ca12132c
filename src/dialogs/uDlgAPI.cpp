#include "dialogs/uDlgAPI.h"
#include "vars/reserved_names.h"

#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/strings.h"
#include "dialogs/flash_player.h"
#include "dialogs/folder_binding.h"
#include "dialogs/folder_controls.h"
#include "dialogs/page_apply.h"
#include "dialogs/page_binding.h"
#include "dialogs/html_links.h"
#include "dialogs/html_view.h"
#include "dialogs/rules.h"
#include "dialogs/shell_controls.h"
#include "platform/win32/system_functions.h"
#include "platform/win32/wide.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/predefined.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view origin_show_design = "ShowDesign";
constexpr std::string_view origin_custom_directory = "SetCustomDirectoryEditText";
constexpr std::string_view not_exist = "$KYRTNX$";
constexpr UINT refresh_interval_ms = 1000;
constexpr UINT_PTR refresh_timer_id = 1;
// One page-refresh timer per HTML viewer: this id plus the control's index.
constexpr UINT_PTR page_refresh_timer_base = 100;

// Tags of clickable controls.
constexpr std::int32_t tag_next = 1;
constexpr std::int32_t tag_back = 2;
constexpr std::int32_t tag_cancel = 3;
constexpr std::int32_t tag_browse_destination = 4;
constexpr std::int32_t tag_custom = 5;
constexpr std::int32_t tag_browse_variable = 6;
// Tags of other controls.
constexpr std::int32_t tag_live = 100;
constexpr std::int32_t tag_target_edit = 2;

PathKind probe_path(const std::string& path)
{
    if (path.empty())
        return PathKind::missing;
    DWORD attributes = GetFileAttributesW(win32::to_wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::folder : PathKind::file;
}

bool file_exists_here(const std::string& path)
{
    return probe_path(path) == PathKind::file;
}

std::string mask_of(const FormControl& model)
{
    const dfm::Property* mask = model.source != nullptr ? model.source->find("Mask") : nullptr;
    return mask != nullptr ? mask->value.text : std::string();
}

// Points a folder, file or drive control where the view says; setting it calls no handler.
void show_folder_view(const TPoolTemplate::Control& control, const FolderView& view)
{
    HWND w = control.window;
    switch (control.model->kind) {
    case ControlKind::shell_tree:
    case ControlKind::shell_list:
    case ControlKind::shell_combo: shell_set_folder(w, view.folder); break;
    case ControlKind::directory_list_box: folder_list_show(w, view.folder); break;
    case ControlKind::file_list_box: file_list_show(w, view.folder, mask_of(*control.model), view.file); break;
    case ControlKind::drive_combo_box: drive_box_select(w, view.folder); break;
    default: break;
    }
}

std::int64_t free_space(const std::string& target)
{
    if (target.empty())
        return -1;
    std::string root = target.size() >= 3 ? target.substr(0, 3) : target;
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(win32::to_wide(root).c_str(), &available, nullptr, nullptr))
        return -1;
    return static_cast<std::int64_t>(std::min<ULONGLONG>(available.QuadPart, INT64_MAX));
}

bool is_button(ControlKind kind)
{
    return kind == ControlKind::button || kind == ControlKind::bit_button || kind == ControlKind::speed_button ||
           kind == ControlKind::bmp_button;
}

} // namespace

TDialogRuntime::TDialogRuntime(std::string dialogs_folder, TVariableManager& vars, PageRoles roles)
    : m_folder(with_backslash(std::move(dialogs_folder))), m_vars(vars), m_roles(roles)
{
    DefineVar(m_vars, var::is_cancelled, "FALSE", origin_show_design);
}

TDialogRuntime::~TDialogRuntime()
{
    FreeDialogs();
}

std::string TDialogRuntime::expand(std::string_view text) const
{
    return Expand(m_vars, text);
}

const std::string& TDialogRuntime::template_text(const Dialog& dialog, const std::string& component, std::size_t index,
                                                 const std::string& design)
{
    std::string key = dialog.form->hint() + "." + component;
    std::string slot = key + '\n' + std::to_string(index);
    auto found = m_templates.find(slot);
    if (found != m_templates.end())
        return found->second;
    std::string text = m_roles.run.translate(design, key, index);
    return m_templates.emplace(std::move(slot), std::move(text)).first->second;
}

Result<HWND> TDialogRuntime::RegisterDialog(const std::string& key, const std::string& form_file)
{
    if (auto existing = m_dialogs.find(key); existing != m_dialogs.end()) {
        ShowWindow(existing->second.form->window(), SW_HIDE);
        m_dialogs.erase(existing);
    }
    Dialog dialog;
    dialog.form = TRY(TPoolTemplate::Load(form_file, m_folder));
    // The rules file is part of a dialog: without it the dialog is not loaded.
    std::string rules = TRY(read_dialog_file(form_file + ".qvof"));
    std::size_t at = 0;
    while (at < rules.size()) {
        std::size_t end = rules.find('\n', at);
        std::string line = rules.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            dialog.rules.push_back(line);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    // The dialog's identity for a test program: the form file's name.
    ATOM atom = GlobalAddAtomW(win32::to_wide(dialog.form->hint()).c_str());
    SetPropW(dialog.form->window(), L"QuillonDialog", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
    HWND window = dialog.form->window();
    auto [entry, added] = m_dialogs.emplace(key, std::move(dialog));
    Dialog& stored = entry->second;
    stored.form->on_click = [this, &stored](const TPoolTemplate::Control& control) { on_click(stored, control); };
    stored.form->on_change = [this, &stored](const TPoolTemplate::Control& control) { on_change(stored, control); };
    // The close button does not close a page: the runtime hides pages itself.
    stored.form->on_close = [this, &stored] { on_close_button(stored); };
    stored.form->on_minimize = [this, &stored] { return on_minimize(stored); };
    stored.form->on_restore = [this] { on_restore(); };
    for (const TPoolTemplate::Control& control : stored.form->controls()) {
        ControlKind kind = control.model->kind;
        if (control.window == nullptr ||
            (kind != ControlKind::shell_tree && kind != ControlKind::shell_list && kind != ControlKind::shell_combo))
            continue;
        shell_on_change(control.window, [this, &stored, &control](ShellChange change, const std::string& path) {
            FolderEvent event =
                change == ShellChange::folder_opened ? FolderEvent::folder_opened : FolderEvent::selected;
            on_folder_change(stored, control, event, path, change != ShellChange::file_item_selected);
        });
    }
    stored.form->on_tree_context = [this, &stored](const TPoolTemplate::Control& control, HTREEITEM item,
                                                   POINT screen) { on_tree_context(stored, control, item, screen); };
    // The refresh timer: a page on the screen follows the workers while the main thread waits for one.
    stored.form->on_timer = [this, &stored](UINT_PTR id) { on_timer(stored, id); };
    stored.refresh_timer = SetTimer(window, refresh_timer_id, refresh_interval_ms, nullptr);
    return window;
}

void TDialogRuntime::on_close_button(Dialog& dialog)
{
    if (dialog.closing_allowed)
        return;
    if (m_roles.shell.tray_icon_visible()) {
        m_roles.shell.tray_restore();
        return;
    }
    HWND window = dialog.form->window();
    ShowWindow(window, SW_SHOW);
    if (IsIconic(window))
        SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetForegroundWindow(window);
}

bool TDialogRuntime::on_minimize(Dialog& dialog)
{
    if (m_roles.shell.tray_icon_visible()) {
        m_roles.shell.tray_minimize();
        return true;
    }
    // The application goes down as one: the other windows of the wizard hide
    // with the page and come back with it.
    std::pair<TDialogRuntime*, HWND> minimizing{this, dialog.form->window()};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* self = reinterpret_cast<std::pair<TDialogRuntime*, HWND>*>(context);
            if (window != self->second && IsWindowVisible(window) && GetParent(window) == nullptr) {
                ShowWindow(window, SW_HIDE);
                self->first->m_hidden_by_minimize.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&minimizing));
    return false;
}

void TDialogRuntime::on_restore()
{
    for (HWND window : m_hidden_by_minimize)
        if (IsWindow(window))
            ShowWindow(window, SW_SHOWNOACTIVATE);
    m_hidden_by_minimize.clear();
}

void TDialogRuntime::on_tree_context(Dialog& dialog, const TPoolTemplate::Control& control, HTREEITEM item,
                                     POINT screen)
{
    if (dialog.released || m_binding || control.model->tag != 1 || components() == nullptr)
        return;
    auto found = std::find(dialog.tree_items.begin(), dialog.tree_items.end(), item);
    if (found == dialog.tree_items.end())
        return;
    auto node = static_cast<std::size_t>(found - dialog.tree_items.begin());
    // No menu for a node that stands only for a path segment, or for a locked component.
    const std::optional<std::size_t>& component = dialog.tree[node].component;
    const Component* record = component ? components()->component_at(*component) : nullptr;
    if (!record || components()->is_locked(record->name))
        return;
    if (!m_roles.shell.feature_menu(dialog.form->window(), screen, dialog.tree, node))
        return;
    for (std::size_t i = 0; i < dialog.tree.size(); ++i) {
        ComponentTreeNode& entry = dialog.tree[i];
        const Component* shown = entry.component ? components()->component_at(*entry.component) : nullptr;
        if (!shown)
            continue;
        entry.image = components()->is_selected(shown->name) ? 1 : 0;
        TVITEMW update{};
        update.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        update.hItem = dialog.tree_items[i];
        update.iImage = update.iSelectedImage = entry.image;
        TreeView_SetItem(control.window, &update);
    }
    InvalidateRect(control.window, nullptr, TRUE);
    refresh_feature_texts(dialog);
    refresh_live_bound(dialog);
    apply_rules(dialog);
}

void TDialogRuntime::on_timer(Dialog& dialog, UINT_PTR id)
{
    HWND window = dialog.form->window();
    if (id == refresh_timer_id) {
        if (dialog.runs_installer && screen_window() == window) {
            // The first tick starts the installer, so that its page is up before the first message.
            if (!dialog.installer_started) {
                dialog.installer_started = true;
                // A cancel clicked before this first tick keeps the run from starting.
                bool cancelled = text_is_true(GetVar(m_vars, var::is_cancelled));
                m_vars.SetValue(var::thread_cancelled, cancelled ? "TRUE" : "FALSE");
                m_vars.SetValue(var::thread_finished, "FALSE");
                m_roles.installer.start();
                return;
            }
            // The installer reads the user's cancel from the thread variables.
            if (!IsIconic(window))
                RefreshProgress("$KYRT$", true, 0, 0, 0);
            else if (text_is_true(GetVar(m_vars, var::is_cancelled)))
                m_vars.SetValue(var::thread_cancelled, "TRUE");
            if (text_is_true(GetVar(m_vars, var::thread_finished)))
                dialog.result = 1;
            return;
        }
        // A page on the screen follows the workers while the main thread waits for one.
        if (screen_window() == window && m_roles.run.workers_busy())
            RefreshProgress("$KYRT$", false, 0, 0, 0);
        return;
    }
    auto found = dialog.page_refresh.find(id);
    if (found == dialog.page_refresh.end())
        return;
    KillTimer(window, id);
    Dialog::PageRefresh refresh = std::move(found->second);
    dialog.page_refresh.erase(found);
    if (dialog.released || html_view_file(refresh.view) != refresh.from_page)
        return;
    if (html_view_load_file(refresh.view, refresh.target)) {
        std::string title = html_view_title(refresh.view);
        if (!title.empty())
            SetWindowTextW(window, win32::to_wide(title).c_str());
    }
}

bool TDialogRuntime::follow_link(const Dialog& dialog, const std::string& href)
{
    if (dialog.released)
        return false;
    LinkAction action = ClassifyLink(href, m_folder);
    std::wstring target = win32::to_wide(action.target);
    switch (action.kind) {
    case LinkAction::Kind::play_sound:
        win32::play_sound(target.c_str(), SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
        return true;
    case LinkAction::Kind::start_program: {
        std::wstring parameters = win32::to_wide(action.parameters);
        std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
        ShellExecuteW(dialog.form->window(), L"open", target.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                      folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL);
        return true;
    }
    case LinkAction::Kind::shell_open:
        ShellExecuteW(dialog.form->window(), L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return true;
    case LinkAction::Kind::none: break;
    }
    return false;
}

void TDialogRuntime::on_html_page(Dialog& dialog, HWND view, UINT_PTR timer_id)
{
    KillTimer(dialog.form->window(), timer_id);
    dialog.page_refresh.erase(timer_id);
    std::optional<std::pair<int, std::string>> refresh = html_view_refresh(view);
    if (dialog.released || !refresh)
        return;
    std::string target = FileLinkPath(refresh->second);
    if (!(target.size() >= 2 && target[1] == ':') && !target.starts_with("\\\\")) {
        std::string page = html_view_file(view);
        std::size_t slash = page.find_last_of('\\');
        target = (slash == std::string::npos ? m_folder : page.substr(0, slash + 1)) + target;
    }
    if (!file_exists_here(target))
        return;
    dialog.page_refresh[timer_id] = {view, html_view_file(view), target};
    SetTimer(dialog.form->window(), timer_id, static_cast<UINT>(std::clamp(refresh->first, 0, 24 * 3600)) * 1000,
             nullptr);
}

TPoolTemplate* TDialogRuntime::dialog(const std::string& key)
{
    auto found = m_dialogs.find(key);
    return found == m_dialogs.end() ? nullptr : found->second.form.get();
}

TDialogRuntime::Dialog* TDialogRuntime::current()
{
    auto found = m_dialogs.find(m_screen_key);
    return found == m_dialogs.end() ? nullptr : &found->second;
}

HWND TDialogRuntime::screen_window() const
{
    auto found = m_dialogs.find(m_screen_key);
    return found == m_dialogs.end() ? nullptr : found->second.form->window();
}

Result<void> TDialogRuntime::PrepareDialog(const std::string& key)
{
    if (m_roles.run.silent())
        return {};
    auto found = m_dialogs.find(key);
    if (found == m_dialogs.end())
        return make_error(ErrorCode::not_found, "No dialog was loaded for the command " + key);
    Dialog& dialog = found->second;
    TPoolTemplate& form = *dialog.form;
    dialog.released = false;

    std::string target = reduce_backslashes(expand("$TARGETDIR$"));
    std::string destination = ResolveExisting(target, probe_path).first;

    m_binding = true;
    ScopeExit binding_off([this] { m_binding = false; });

    std::string caption = expand(template_text(dialog, form.model().name, 1, form.model().caption));
    set_window_text(form.window(), PageCaption(caption, GetVar(m_vars, var::logo) == "TRUE"));

    PageInputs inputs{m_vars,
                      [this, &dialog](const std::string& component, std::size_t index, const std::string& design) {
                          return template_text(dialog, component, index, design);
                      },
                      PageFiles{m_folder, file_exists_here, read_dialog_file}, components()};
    for (const TPoolTemplate::Control& control : form.controls()) {
        const FormControl& m = *control.model;
        HWND w = control.window;
        if (w == nullptr)
            continue;
        switch (m.kind) {
        case ControlKind::tree_view:
            if (m.tag == 1) {
                fill_feature_tree(dialog, control);
                continue;
            }
            break;
        case ControlKind::shell_tree:
        case ControlKind::shell_list:
        case ControlKind::shell_combo:
        case ControlKind::directory_list_box:
        case ControlKind::file_list_box:
        case ControlKind::drive_combo_box: {
            std::string hint = BoundVariable(m);
            std::optional<std::string> bound = hint.empty() ? std::nullopt : m_vars.lookup(hint);
            if (std::optional<FolderView> view = PreparedView(m.kind, m.tag, bound, destination, probe_path))
                show_folder_view(control, *view);
            continue;
        }
        case ControlKind::html_viewer: {
            UINT_PTR timer_id = page_refresh_timer_base + static_cast<UINT_PTR>(&control - form.controls().data());
            html_view_on_link(w, [this, &dialog](const std::string& href) { return follow_link(dialog, href); });
            html_view_on_page(w, [this, &dialog, w, timer_id] { on_html_page(dialog, w, timer_id); });
            break;
        }
        case ControlKind::flash_frame:
            // The player stays in its frame: a page shown again keeps the movie playing.
            if (dialog.flash_playing)
                continue;
            break;
        default: break;
        }
        ControlFill fill = TRY(DecideControlFill(m, inputs));
        if (m.kind == ControlKind::flash_frame) {
            if (fill.movie && PlayFlashMovie(w, m_folder + "flash.ocx", *fill.movie))
                dialog.flash_playing = true;
            else if (fill.movie)
                set_window_text(w, m_roles.run.texts().flash_failed);
            else if (fill.text)
                set_window_text(w, *fill.text);
            continue;
        }
        apply_control_fill(w, m, fill);
    }
    refresh_feature_texts(dialog);
    apply_rules(dialog);
    m_binding = false;
    // The selection handlers run once, so that the variables and the feature
    // texts match what the trees and lists show at first.
    for (const TPoolTemplate::Control& control : form.controls()) {
        ControlKind kind = control.model->kind;
        if (kind == ControlKind::tree_view ||
            (kind == ControlKind::check_list_box && (control.model->tag == 1 || !control.model->hint.empty())))
            on_change(dialog, control);
    }
    return {};
}

void TDialogRuntime::fill_feature_tree(Dialog& dialog, const TPoolTemplate::Control& control)
{
    HWND w = control.window;
    TreeView_DeleteAllItems(w);
    dialog.tree.clear();
    dialog.tree_items.clear();
    if (components() == nullptr)
        return;
    if (HIMAGELIST images = m_roles.shell.tree_images(); images != nullptr)
        TreeView_SetImageList(w, images, TVSIL_NORMAL);
    dialog.tree = components()->FillTree();
    for (const ComponentTreeNode& node : dialog.tree) {
        std::wstring text = win32::to_wide(expand(node.text));
        TVINSERTSTRUCTW insert{};
        insert.hParent = node.parent ? dialog.tree_items[*node.parent] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = text.data();
        insert.item.iImage = insert.item.iSelectedImage = node.image;
        dialog.tree_items.push_back(TreeView_InsertItem(w, &insert));
    }
    for (HTREEITEM item : dialog.tree_items)
        TreeView_Expand(w, item, TVE_EXPAND);
    if (!dialog.tree_items.empty())
        TreeView_SelectItem(w, dialog.tree_items.front());
}

void TDialogRuntime::refresh_feature_texts(Dialog& dialog)
{
    if (components() == nullptr)
        return;
    // The drive is asked only by pages that show its space, not on every keystroke of every page.
    std::optional<std::int64_t> available;
    auto space = [&] {
        if (!available)
            available = free_space(expand("$TARGETDIR$"));
        return *available;
    };
    const std::string& component = dialog.current_component;
    const SizeUnits units = m_roles.run.texts().units;
    for (const TPoolTemplate::Control& control : dialog.form->controls()) {
        if (control.model->kind != ControlKind::static_text || control.window == nullptr)
            continue;
        std::string text;
        switch (control.model->tag) {
        case 2: text = newlines_to_crlf(components()->description(component)); break;
        case 3: text = SizeText(components()->size(component), units); break;
        case 4: text = SizeText(components()->total_required_size(), units); break;
        case 5: text = SizeText(space(), units); break;
        case 6: text = SizeText(components()->remaining_space(space()), units); break;
        default: continue;
        }
        set_window_text(control.window, text);
    }
}

void TDialogRuntime::refresh_live_bound(Dialog& dialog)
{
    bool was_binding = m_binding;
    m_binding = true;
    for (const TPoolTemplate::Control& control : dialog.form->controls()) {
        if (control.model->tag != tag_live || control.window == nullptr)
            continue;
        std::optional<std::string> value = m_vars.lookup(ansi_upper(strip_reference(control.model->hint)));
        if (!value)
            continue;
        if (control.model->kind == ControlKind::edit || control.model->kind == ControlKind::mask_edit) {
            if (window_text_ansi(control.window) != *value)
                set_window_text(control.window, *value);
        } else if (std::optional<FolderView> view = LiveView(control.model->kind, *value, probe_path)) {
            show_folder_view(control, *view);
        }
    }
    m_binding = was_binding;
}

void TDialogRuntime::apply_rules(Dialog& dialog)
{
    TPoolTemplate& form = *dialog.form;
    ApplyDialogRules(dialog.rules, {[&form](std::string_view c, std::string_view p) { return form.property(c, p); },
                                    [&form](std::string_view c, std::string_view p, std::string_view text) {
                                        form.set_property(c, p, text);
                                    }});
}

std::optional<std::string> TDialogRuntime::browse_folder(HWND owner)
{
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
    if (list == nullptr)
        return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(list, path) != FALSE;
    CoTaskMemFree(list);
    if (!ok)
        return std::nullopt;
    return win32::to_ansi(path);
}

void TDialogRuntime::set_destination(Dialog& dialog, const std::string& folder)
{
    // The chosen folder keeps the part of TARGETDIR that does not exist yet:
    // D:\Apps for C:\Program Files\Vendor\Product gives D:\Apps\Vendor\Product.
    std::string destination = DestinationAfterChoice(m_shown_target, m_unresolved_tail, folder);
    for (const TPoolTemplate::Control& control : dialog.form->controls())
        if ((control.model->kind == ControlKind::edit || control.model->kind == ControlKind::mask_edit) &&
            control.model->tag == tag_target_edit && control.window != nullptr)
            set_window_text(control.window, destination); // its change handler stores it
    refresh_feature_texts(dialog);
    apply_rules(dialog);
}

void TDialogRuntime::on_click(Dialog& dialog, const TPoolTemplate::Control& control)
{
    if (m_binding || dialog.released)
        return;
    const FormControl& m = *control.model;
    switch (m.tag) {
    case tag_next: dialog.result = 6; break;
    case tag_back: dialog.result = 7; break;
    case tag_cancel: {
        m_roles.shell.set_attention(false);
        int answer =
            MessageBoxW(dialog.form->window(), win32::to_wide(m_roles.run.texts().confirm_cancel).c_str(),
                        win32::to_wide(StandardCaption(m_vars)).c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer == IDYES) {
            DefineVar(m_vars, var::is_cancelled, "TRUE", origin_show_design);
            EnableWindow(control.window, FALSE);
            // The installer sees the cancel through the variables and ends its page itself.
            if (!dialog.runs_installer)
                dialog.result = 2;
        }
        m_roles.shell.clear_attention();
        break;
    }
    case tag_browse_destination:
    case tag_browse_variable: {
        m_roles.shell.set_attention(false);
        std::optional<std::string> folder = browse_folder(dialog.form->window());
        if (folder) {
            if (m.tag == tag_browse_destination) {
                set_destination(dialog, *folder);
            } else {
                DefineVar(m_vars, ansi_upper(m.name), with_backslash(*folder), origin_custom_directory);
                refresh_feature_texts(dialog);
                refresh_live_bound(dialog);
            }
        }
        m_roles.shell.clear_attention();
        break;
    }
    case tag_custom:
        dialog.result = 8;
        dialog.custom = m.name;
        break;
    default: break;
    }
    apply_rules(dialog);
}

void TDialogRuntime::on_change(Dialog& dialog, const TPoolTemplate::Control& control)
{
    if (m_binding || dialog.released)
        return;
    const FormControl& m = *control.model;
    HWND w = control.window;
    std::string name = BoundVariable(m);
    bool feature_texts = false;
    bool live = false;
    switch (m.kind) {
    case ControlKind::edit:
    case ControlKind::mask_edit: feature_texts = live = true; break;
    case ControlKind::memo:
    case ControlKind::rich_edit: feature_texts = true; break;
    case ControlKind::radio_button:
        // Every radio button of the dialog with a Hint writes its own state.
        for (const TPoolTemplate::Control& other : dialog.form->controls())
            if (other.model->kind == ControlKind::radio_button && !other.model->hint.empty())
                DefineVar(m_vars, BoundVariable(*other.model),
                          read_control_state(other.window, *other.model).checked ? "TRUE" : "FALSE",
                          "RadioButton1Click");
        break;
    case ControlKind::check_list_box:
        if (m.tag == 1 && components() != nullptr) {
            std::vector<ComponentCheckItem> items = components()->FillCheckList();
            for (std::size_t i = 0; i < items.size(); ++i)
                items[i].checked = ListView_GetCheckState(w, static_cast<UINT>(i)) != FALSE;
            components()->CheckListClicked(items);
            bool was_binding = m_binding;
            m_binding = true;
            for (std::size_t i = 0; i < items.size(); ++i)
                ListView_SetCheckState(w, static_cast<UINT>(i), items[i].checked);
            m_binding = was_binding;
            int selected = ListView_GetNextItem(w, -1, LVNI_SELECTED);
            if (selected >= 0 && static_cast<std::size_t>(selected) < items.size())
                dialog.current_component = items[static_cast<std::size_t>(selected)].text;
            feature_texts = true;
        }
        break;
    case ControlKind::file_list_box:
        on_folder_change(dialog, control, FolderEvent::selected, file_list_selected(w), false);
        return;
    case ControlKind::directory_list_box:
        on_folder_change(dialog, control, FolderEvent::selected, list_folder(w), true);
        return;
    case ControlKind::drive_combo_box:
        on_folder_change(dialog, control, FolderEvent::selected, drive_box_selected(w), true);
        return;
    case ControlKind::tree_view:
        // The feature tree's node names its component by the path from the root.
        if (m.tag == 1) {
            std::string path;
            for (HTREEITEM item = TreeView_GetSelection(w); item != nullptr; item = TreeView_GetParent(w, item))
                path = tree_item_text(w, item) + (path.empty() ? "" : "\\" + path);
            dialog.current_component = path;
            feature_texts = true;
        }
        break;
    default: break;
    }
    if (std::optional<ControlWrite> write = DecideWriteBack(m, read_control_state(w, m)); write && !name.empty())
        DefineVar(m_vars, name, write->value, write->origin);
    if (feature_texts)
        refresh_feature_texts(dialog);
    if (live)
        refresh_live_bound(dialog);
    apply_rules(dialog);
}

void TDialogRuntime::on_folder_change(Dialog& dialog, const TPoolTemplate::Control& control, FolderEvent event,
                                      const std::string& path, bool item_is_folder)
{
    if (m_binding || dialog.released || path.empty())
        return;
    const FormControl& m = *control.model;
    std::optional<FolderWrite> write = FolderChange(m.kind, event, m.tag, path, item_is_folder);
    if (!write)
        return;
    std::string name = ansi_upper(strip_reference(m.hint));
    if (!name.empty())
        DefineVar(m_vars, name, write->value, write->origin);
    // A folder control with Tag 1 chooses the destination, as the browse button does.
    if (write->destination)
        set_destination(dialog, *write->destination);
    refresh_live_bound(dialog);
    apply_rules(dialog);
}

void TDialogRuntime::place(Dialog& dialog)
{
    HWND window = dialog.form->window();
    RECT frame;
    GetWindowRect(window, &frame);
    SIZE size{frame.right - frame.left, frame.bottom - frame.top};
    if (!m_last_size || m_last_size->cx != size.cx || m_last_size->cy != size.cy) {
        dialog.form->center();
        m_last_size = size;
    } else {
        SetWindowPos(window, nullptr, m_last_position.x, m_last_position.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Result<DialogResult> TDialogRuntime::ShowDialog(const std::string& key, bool modal, bool start_installer)
{
    DefineVar(m_vars, var::is_cancelled, "FALSE", origin_show_design);
    m_current_key = key;
    DialogResult result;
    if (m_roles.run.silent()) {
        if (start_installer)
            m_roles.installer.run_and_wait();
        return result;
    }
    auto found = m_dialogs.find(key);
    if (found == m_dialogs.end())
        return make_error(ErrorCode::not_found, "No dialog was loaded for the command " + key);
    Dialog& dialog = found->second;
    m_shown_target = reduce_backslashes(expand("$TARGETDIR$"));
    m_unresolved_tail = ResolveExisting(m_shown_target, probe_path).second;
    dialog.modeless = !modal;
    dialog.closing_allowed = false;
    dialog.runs_installer = modal && start_installer;
    dialog.installer_started = false;
    place(dialog);
    // Pages load their pictures and pages relative to the dialogs folder while they are shown.
    std::wstring previous_folder(MAX_PATH, L'\0');
    previous_folder.resize(GetCurrentDirectoryW(MAX_PATH, previous_folder.data()));
    SetCurrentDirectoryW(win32::to_wide(m_folder).c_str());
    ScopeExit restore_folder([&] {
        if (!previous_folder.empty())
            SetCurrentDirectoryW(previous_folder.c_str());
    });

    // The new page comes up before the old one goes, so that no gap shows between pages.
    HWND window = dialog.form->window();
    if (m_roles.shell.in_tray()) {
        m_pending = window;
    } else {
        m_pending = nullptr;
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        SetFocus(window);
    }
    if (Dialog* previous = current(); previous != nullptr && previous != &dialog) {
        previous->closing_allowed = true;
        ShowWindow(previous->form->window(), SW_HIDE);
    }
    m_screen_key = key;

    if (!modal) {
        result.code = 0;
        result.window = window;
    } else {
        dialog.result = -1;
        dialog.custom.clear();
        MSG message;
        while (dialog.result == -1) {
            BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got <= 0) {
                if (got == 0)
                    PostQuitMessage(static_cast<int>(message.wParam));
                dialog.result = 2;
                break;
            }
            if (dialog.form->pre_translate(message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        result.code = dialog.result;
        result.custom = dialog.custom;
        dialog.runs_installer = false;
        m_current_key.clear();
    }
    RECT frame;
    GetWindowRect(window, &frame);
    m_last_position = {frame.left, frame.top};
    return result;
}

void TDialogRuntime::show_pending()
{
    if (m_pending == nullptr || !IsWindow(m_pending))
        return;
    ShowWindow(m_pending, SW_SHOW);
    SetForegroundWindow(m_pending);
    m_pending = nullptr;
}

void TDialogRuntime::ReleaseDialog(const std::string& key)
{
    if (m_roles.run.silent())
        return;
    auto found = m_dialogs.find(key);
    if (found == m_dialogs.end())
        return;
    found->second.released = true;
    refresh_feature_texts(found->second);
    apply_rules(found->second);
}

void TDialogRuntime::HideCurrentDialog()
{
    auto found = m_dialogs.find(m_current_key);
    if (found != m_dialogs.end()) {
        found->second.closing_allowed = true;
        ShowWindow(found->second.form->window(), SW_HIDE);
        if (m_screen_key == m_current_key)
            m_screen_key.clear();
    }
    m_current_key.clear();
}

bool TDialogRuntime::RefreshProgress(std::string_view text, bool publish_cancel, std::int64_t minimum,
                                     std::int64_t maximum, std::int64_t position)
{
    bool cancelled = text_is_true(GetVar(m_vars, var::is_cancelled));
    if (publish_cancel)
        m_vars.SetValue(var::thread_cancelled, cancelled ? "TRUE" : "FALSE");
    if (m_roles.run.silent())
        return cancelled;
    std::string shown(text);
    if (text == "$KYRT$") {
        shown = GetVar(m_vars, var::thread_progress_text);
        position = parse_int64(GetVar(m_vars, var::thread_progress)).value_or(0);
        maximum = parse_int64(GetVar(m_vars, var::thread_maximum)).value_or(100);
        minimum = parse_int64(GetVar(m_vars, var::thread_minimum)).value_or(0);
    }
    if (Dialog* dialog = current()) {
        m_roles.shell.show_taskbar_progress(dialog->form->window(),
                                            expand(GetVar(m_vars, var::progress_mode)) == "MARQUEE", position, maximum);
        refresh_dialog_progress(*dialog, shown, minimum, maximum, position);
    }
    return cancelled;
}

void TDialogRuntime::refresh_dialog_progress(Dialog& dialog, std::string_view text, std::int64_t minimum,
                                             std::int64_t maximum, std::int64_t position)
{
    bool marquee = expand(GetVar(m_vars, var::progress_mode)) == "MARQUEE";
    // Progress bars take 32-bit positions: large ranges are scaled down together.
    int shift = maximum > INT32_MAX ? 10 : 0;
    for (const TPoolTemplate::Control& control : dialog.form->controls()) {
        const FormControl& m = *control.model;
        HWND w = control.window;
        if (w == nullptr)
            continue;
        if (m.kind == ControlKind::static_text && m.tag == 1) {
            set_window_text(w, text);
        } else if ((m.kind == ControlKind::label || m.kind == ControlKind::panel || is_button(m.kind) ||
                    m.kind == ControlKind::tab_sheet || m.kind == ControlKind::static_text) &&
                   !m.caption.empty()) {
            std::string expanded = expand(template_text(dialog, m.name, 1, m.caption));
            if (window_text_ansi(w) != expanded)
                set_window_text(w, expanded);
        } else if ((m.kind == ControlKind::progress_bar || m.kind == ControlKind::gauge) && m.tag == 1) {
            LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
            if (m.kind == ControlKind::progress_bar && marquee) {
                if ((style & PBS_MARQUEE) == 0)
                    SetWindowLongPtrW(w, GWL_STYLE, style | PBS_MARQUEE);
                SendMessageW(w, PBM_SETMARQUEE, TRUE, 100);
            } else {
                if (m.kind == ControlKind::progress_bar && (style & PBS_MARQUEE) != 0) {
                    SendMessageW(w, PBM_SETMARQUEE, FALSE, 0);
                    SetWindowLongPtrW(w, GWL_STYLE, style & ~PBS_MARQUEE);
                }
                int s = m.kind == ControlKind::gauge ? 0 : shift;
                SendMessageW(w, PBM_SETRANGE32, static_cast<WPARAM>(minimum >> s), static_cast<LPARAM>(maximum >> s));
                SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(position >> s), 0);
            }
        } else if ((m.kind == ControlKind::progress_bar || m.kind == ControlKind::gauge) && m.tag == tag_live) {
            std::optional<std::int32_t> value = parse_int32(GetVar(m_vars, ansi_upper(strip_reference(m.hint))));
            SendMessageW(w, PBM_SETRANGE32, 0, 100);
            SendMessageW(w, PBM_SETPOS, static_cast<WPARAM>(value.value_or(100)), 0);
        }
    }
    apply_rules(dialog);
}

void TDialogRuntime::FreeDialogs()
{
    for (auto& [key, dialog] : m_dialogs) {
        if (dialog.refresh_timer != 0)
            KillTimer(dialog.form->window(), dialog.refresh_timer);
        auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(dialog.form->window(), L"QuillonDialog")));
        RemovePropW(dialog.form->window(), L"QuillonDialog");
        if (atom != 0)
            GlobalDeleteAtom(atom);
    }
    m_dialogs.clear();
    m_current_key.clear();
    m_screen_key.clear();
}

} // namespace quillon
