#include "dialogs/shell_controls.h"

#include "base/scope_exit.h"
#include "platform/win32/owning_window.h"
#include "platform/win32/system_functions.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillon {

namespace {

constexpr int inner_id = 1;
// Posted to itself: a list or combo changes folder after the notification that
// asked for it has returned, never from inside the common control's own code.
constexpr UINT open_pending_message = WM_APP + 1;

enum class ShellKind : std::uint8_t { tree, list, combo };
enum class Place : std::uint8_t { drive, folder };

std::array<std::atomic<ATOM>, 3> class_atoms{};

bool is_root(std::wstring_view folder)
{
    return folder.size() == 3 && folder[1] == L':' && folder[2] == L'\\';
}

std::wstring join(const std::wstring& folder, std::wstring_view name)
{
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    path += name;
    return path;
}

bool same_path(std::wstring_view a, std::wstring_view b)
{
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The canonical form of an existing folder: full, long names, no trailing
// backslash but on a root; nothing when the path is not an existing folder.
std::optional<std::wstring> existing_folder(const std::string& path)
{
    std::wstring wide = win32::to_wide(path);
    if (wide.empty())
        return std::nullopt;
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::nullopt;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return std::nullopt;
    full.resize(length);
    needed = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (needed == 0)
        return std::nullopt; // also: it does not exist
    std::wstring long_path(needed, L'\0');
    length = GetLongPathNameW(full.c_str(), long_path.data(), needed);
    if (length == 0 || length >= needed)
        return std::nullopt;
    long_path.resize(length);
    DWORD attributes = GetFileAttributesW(long_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return std::nullopt;
    while (long_path.size() > 1 && long_path.back() == L'\\' && !is_root(long_path))
        long_path.pop_back();
    if (long_path.size() >= 2 && long_path[1] == L':')
        long_path[0] = static_cast<wchar_t>(towupper(long_path[0]));
    return long_path;
}

std::wstring parent_of(const std::wstring& folder)
{
    if (is_root(folder))
        return {};
    std::size_t slash = folder.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    if (slash == 2 && folder[1] == L':')
        return folder.substr(0, 3);
    return folder.substr(0, slash);
}

struct FolderEntry {
    std::wstring name;
    bool folder = false;
    ULONGLONG size = 0;
    FILETIME modified{};
};

bool listed(const WIN32_FIND_DATAW& data)
{
    std::wstring_view name = data.cFileName;
    return name != L"." && name != L".." && (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) == 0;
}

enum class Listing : std::uint8_t { subfolders, everything };

// Subfolders first, then files, each by name as the user's locale sorts them.
std::vector<FolderEntry> read_folder(const std::wstring& folder, Listing listing)
{
    bool folders_only = listing == Listing::subfolders;
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileExW(join(folder, L"*").c_str(), FindExInfoBasic, &data,
                                            folders_only ? FindExSearchLimitToDirectories : FindExSearchNameMatch,
                                            nullptr, 0));
    if (!find)
        return entries;
    do {
        bool is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!listed(data) || (folders_only && !is_folder))
            continue;
        entries.push_back(FolderEntry{data.cFileName, is_folder,
                                      (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                                      data.ftLastWriteTime});
    } while (FindNextFileW(find.get(), &data));
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.folder != b.folder)
            return a.folder;
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.name.c_str(), -1, b.name.c_str(), -1) ==
               CSTR_LESS_THAN;
    });
    return entries;
}

bool has_subfolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileExW(join(folder, L"*").c_str(), FindExInfoBasic, &data,
                                            FindExSearchLimitToDirectories, nullptr, 0));
    if (!find)
        return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && listed(data))
            return true;
    } while (FindNextFileW(find.get(), &data));
    return false;
}

std::vector<std::wstring> drive_roots()
{
    std::vector<std::wstring> roots;
    DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter)
        if ((drives & (1u << letter)) != 0)
            roots.push_back(std::wstring{static_cast<wchar_t>(L'A' + letter), L':', L'\\'});
    return roots;
}

// Removable, optical and network drives are not probed for folders until opened:
// asking may spin up a disc or wait on the network.
bool probe_drive(const std::wstring& root)
{
    UINT type = GetDriveTypeW(root.c_str());
    return type == DRIVE_FIXED || type == DRIVE_RAMDISK;
}

// The system's small icon list; shared by the whole process, never destroyed here.
HIMAGELIST system_small_icons()
{
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(L"C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                                                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
}

enum class IconSource : std::uint8_t { by_attributes, from_disk };
enum class IconState : std::uint8_t { closed, open };

// Icons by type alone for files and folders (fast: nothing is opened), from the
// disk for the drives that may be probed.
IconSource icon_source(const std::wstring& path, Place place)
{
    return place == Place::drive && probe_drive(path) ? IconSource::from_disk : IconSource::by_attributes;
}

int icon_index(const std::wstring& path, DWORD attributes, IconSource source, IconState state = IconState::closed)
{
    SHFILEINFOW info{};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (state == IconState::open ? SHGFI_OPENICON : 0) |
                 (source == IconSource::by_attributes ? SHGFI_USEFILEATTRIBUTES : 0);
    if (SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info, flags) == 0)
        return -1;
    return info.iIcon;
}

std::wstring size_text(ULONGLONG bytes)
{
    return std::to_wstring((bytes + 1023) / 1024) + L" KB";
}

std::wstring time_text(const FILETIME& time)
{
    FILETIME local{};
    SYSTEMTIME system{};
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &system))
        return {};
    std::array<wchar_t, 80> date{};
    std::array<wchar_t, 80> clock{};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, date.data(), static_cast<int>(date.size()));
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &system, nullptr, clock.data(), static_cast<int>(clock.size()));
    return std::wstring(date.data()) + L" " + clock.data();
}

class ShellControl {
public:
    ShellControl(HWND window, ShellKind kind) : m_window(window), m_kind(kind) {}
    virtual ~ShellControl() = default;
    ShellControl(const ShellControl&) = delete;
    ShellControl& operator=(const ShellControl&) = delete;

    ShellKind kind() const { return m_kind; }
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void on_change(std::function<void(ShellChange, const std::string&)> handler) { m_on_change = std::move(handler); }

    virtual bool set_folder(const std::wstring& folder) = 0;
    virtual std::wstring folder() const = 0;
    virtual std::wstring selected_item() const { return {}; }

protected:
    virtual bool create_inner(const CREATESTRUCTW& create) = 0;
    virtual void size_inner(int width, int height) { MoveWindow(m_inner, 0, 0, width, height, TRUE); }
    virtual LRESULT notify(NMHDR&) { return 0; }
    virtual void command(WORD) {}
    virtual void open_pending() {}
    // Whether the message belongs to the inner control.
    virtual bool forwarded(UINT message) const = 0;
    virtual LRESULT forward(UINT message, WPARAM wparam, LPARAM lparam)
    {
        return SendMessageW(m_inner, message, wparam, lparam);
    }

    // Last thing a handler does: the handler may destroy this control.
    void fire(ShellChange kind, const std::wstring& path)
    {
        if (std::function<void(ShellChange, const std::string&)> handler = m_on_change)
            handler(kind, win32::to_ansi(path));
    }

    HWND create_child(DWORD ex_style, const wchar_t* window_class, DWORD style, const CREATESTRUCTW& create, int height)
    {
        m_inner = CreateWindowExW(ex_style, window_class, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0,
                                  create.cx, height, m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(inner_id)),
                                  create.hInstance, nullptr);
        return m_inner;
    }

    HWND m_window;
    HWND m_inner = nullptr;
    HIMAGELIST m_icons = nullptr;
    bool m_setting = false; // set while the program sets the folder: no change handler then

private:
    ShellKind m_kind;
    HFONT m_font = nullptr;
    std::function<void(ShellChange, const std::string&)> m_on_change;
};

LRESULT ShellControl::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (forwarded(message))
        return m_inner != nullptr ? forward(message, wparam, lparam) : 0;
    switch (message) {
    case WM_CREATE:
        m_icons = system_small_icons();
        return create_inner(*reinterpret_cast<const CREATESTRUCTW*>(lparam)) ? 0 : -1;
    case WM_SIZE:
        if (m_inner != nullptr)
            size_inner(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_SETFONT:
        m_font = reinterpret_cast<HFONT>(wparam);
        if (m_inner != nullptr)
            SendMessageW(m_inner, WM_SETFONT, wparam, lparam);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(m_font);
    case WM_SETFOCUS:
        if (m_inner != nullptr)
            SetFocus(m_inner);
        return 0;
    case WM_ENABLE:
        if (m_inner != nullptr)
            EnableWindow(m_inner, static_cast<BOOL>(wparam));
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header != nullptr && header->hwndFrom == m_inner)
            return notify(*header);
        break;
    }
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lparam) == m_inner && m_inner != nullptr)
            command(HIWORD(wparam));
        return 0;
    case open_pending_message: open_pending(); return 0;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(folder().size());
    case WM_GETTEXT: {
        if (wparam == 0 || lparam == 0)
            return 0;
        std::wstring text = folder();
        std::size_t count = std::min<std::size_t>(text.size(), wparam - 1);
        auto* buffer = reinterpret_cast<wchar_t*>(lparam);
        std::copy_n(text.data(), count, buffer);
        buffer[count] = L'\0';
        return static_cast<LRESULT>(count);
    }
    case WM_SETTEXT: return TRUE; // the folder is set with shell_set_folder, not by text
    default: break;
    }
    return DefWindowProcW(m_window, message, wparam, lparam);
}

class ShellTree final : public ShellControl {
public:
    explicit ShellTree(HWND window) : ShellControl(window, ShellKind::tree) {}

    bool set_folder(const std::wstring& folder) override
    {
        if (folder.size() < 3 || folder[1] != L':')
            return false; // the tree shows drives only
        m_setting = true;
        ScopeExit reset([this] { m_setting = false; });
        std::wstring root = folder.substr(0, 3);
        HTREEITEM item = find_child(TVI_ROOT, root);
        if (item == nullptr)
            item = insert(TVI_ROOT, root, root, Place::drive);
        std::size_t at = 3;
        while (at < folder.size()) {
            std::size_t end = std::min(folder.find(L'\\', at), folder.size());
            std::wstring path = folder.substr(0, end);
            load_children(item);
            HTREEITEM child = find_child(item, path);
            if (child == nullptr) // hidden, or made since the parent was read
                child = insert(item, path, folder.substr(at, end - at), Place::folder);
            TreeView_Expand(m_inner, item, TVE_EXPAND);
            item = child;
            at = end + 1;
        }
        TreeView_SelectItem(m_inner, item);
        TreeView_EnsureVisible(m_inner, item);
        return true;
    }

    std::wstring folder() const override
    {
        HTREEITEM item = m_inner != nullptr ? TreeView_GetSelection(m_inner) : nullptr;
        return item != nullptr ? m_nodes[node_of(item)].path : std::wstring();
    }

protected:
    bool create_inner(const CREATESTRUCTW& create) override
    {
        if (create_child(WS_EX_CLIENTEDGE, WC_TREEVIEWW,
                         TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, create,
                         create.cy) == nullptr)
            return false;
        if (m_icons != nullptr)
            TreeView_SetImageList(m_inner, m_icons, TVSIL_NORMAL);
        for (const std::wstring& root : drive_roots())
            insert(TVI_ROOT, root, root, Place::drive);
        return true;
    }

    bool forwarded(UINT message) const override { return message >= TV_FIRST && message < TV_FIRST + 0x100; }

    LRESULT forward(UINT message, WPARAM wparam, LPARAM lparam) override
    {
        // Children are read on expansion; a program that expands an item gets them too.
        if (message == TVM_EXPAND && (wparam & TVE_EXPAND) != 0 && lparam != 0)
            load_children(reinterpret_cast<HTREEITEM>(lparam));
        return SendMessageW(m_inner, message, wparam, lparam);
    }

    LRESULT notify(NMHDR& header) override
    {
        switch (header.code) {
        case TVN_GETDISPINFOW: {
            auto& info = reinterpret_cast<NMTVDISPINFOW&>(header);
            if ((info.item.mask & TVIF_CHILDREN) != 0) {
                std::size_t node = static_cast<std::size_t>(info.item.lParam);
                info.item.cChildren = node < m_nodes.size() && has_subfolder(m_nodes[node].path) ? 1 : 0;
                info.item.mask |= TVIF_DI_SETITEM;
            }
            return 0;
        }
        case TVN_ITEMEXPANDINGW: {
            const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
            if ((change.action & TVE_EXPAND) != 0)
                load_children(change.itemNew.hItem);
            return FALSE;
        }
        case TVN_SELCHANGEDW: {
            const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
            std::size_t node = static_cast<std::size_t>(change.itemNew.lParam);
            if (!m_setting && change.itemNew.hItem != nullptr && node < m_nodes.size())
                fire(ShellChange::folder_selected, m_nodes[node].path);
            return 0;
        }
        default: return 0;
        }
    }

private:
    struct Node {
        std::wstring path;
        bool loaded = false;
    };

    std::size_t node_of(HTREEITEM item) const
    {
        TVITEMW query{};
        query.mask = TVIF_PARAM | TVIF_HANDLE;
        query.hItem = item;
        if (!TreeView_GetItem(m_inner, &query))
            return m_nodes.size();
        return static_cast<std::size_t>(query.lParam);
    }

    HTREEITEM insert(HTREEITEM parent, const std::wstring& path, const std::wstring& text, Place place)
    {
        bool drive = place == Place::drive;
        TVINSERTSTRUCTW insert{};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
        insert.item.pszText = const_cast<wchar_t*>(text.c_str());
        insert.item.lParam = static_cast<LPARAM>(m_nodes.size());
        insert.item.cChildren = drive && !probe_drive(path) ? 1 : I_CHILDRENCALLBACK;
        if (m_icons != nullptr) {
            IconSource source = icon_source(path, place);
            insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
            insert.item.iImage = icon_index(path, FILE_ATTRIBUTE_DIRECTORY, source);
            insert.item.iSelectedImage =
                icon_index(path, FILE_ATTRIBUTE_DIRECTORY, source, drive ? IconState::closed : IconState::open);
        }
        m_nodes.push_back(Node{path, false});
        return TreeView_InsertItem(m_inner, &insert);
    }

    HTREEITEM find_child(HTREEITEM parent, const std::wstring& path) const
    {
        HTREEITEM child = parent == TVI_ROOT ? TreeView_GetRoot(m_inner) : TreeView_GetChild(m_inner, parent);
        for (; child != nullptr; child = TreeView_GetNextSibling(m_inner, child)) {
            std::size_t node = node_of(child);
            if (node < m_nodes.size() && same_path(m_nodes[node].path, path))
                return child;
        }
        return nullptr;
    }

    void load_children(HTREEITEM item)
    {
        std::size_t node = node_of(item);
        if (node >= m_nodes.size() || m_nodes[node].loaded)
            return;
        m_nodes[node].loaded = true;
        std::wstring path = m_nodes[node].path; // copied: inserting grows m_nodes
        std::vector<FolderEntry> entries = read_folder(path, Listing::subfolders);
        for (const FolderEntry& entry : entries)
            insert(item, join(path, entry.name), entry.name, Place::folder);
        if (entries.empty()) {
            TVITEMW update{};
            update.mask = TVIF_HANDLE | TVIF_CHILDREN;
            update.hItem = item;
            update.cChildren = 0;
            TreeView_SetItem(m_inner, &update);
        }
    }

    std::vector<Node> m_nodes; // an item's lParam is its index here
};

class ShellList final : public ShellControl {
public:
    explicit ShellList(HWND window) : ShellControl(window, ShellKind::list) {}

    bool set_folder(const std::wstring& folder) override
    {
        m_setting = true;
        ScopeExit reset([this] { m_setting = false; });
        fill(folder);
        return true;
    }

    std::wstring folder() const override { return m_folder; }

    std::wstring selected_item() const override
    {
        int selected = m_inner != nullptr ? ListView_GetNextItem(m_inner, -1, LVNI_SELECTED) : -1;
        std::size_t item = item_of(selected);
        return item < m_items.size() ? m_items[item].path : std::wstring();
    }

protected:
    bool create_inner(const CREATESTRUCTW& create) override
    {
        if (create_child(WS_EX_CLIENTEDGE, WC_LISTVIEWW,
                         LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, create,
                         create.cy) == nullptr)
            return false;
        ListView_SetExtendedListViewStyle(m_inner, LVS_EX_FULLROWSELECT);
        if (m_icons != nullptr)
            ListView_SetImageList(m_inner, m_icons, LVSIL_SMALL);
        struct Column {
            const wchar_t* title;
            int format;
            int width;
        };
        const std::array<Column, 3> columns = {{
            {L"Name", LVCFMT_LEFT, name_width(create.cx)},
            {L"Size", LVCFMT_RIGHT, size_column_width},
            {L"Modified", LVCFMT_LEFT, modified_column_width},
        }};
        for (std::size_t i = 0; i < columns.size(); ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH;
            column.fmt = columns[i].format;
            column.cx = columns[i].width;
            column.pszText = const_cast<wchar_t*>(columns[i].title);
            ListView_InsertColumn(m_inner, static_cast<int>(i), &column);
        }
        return true;
    }

    void size_inner(int width, int height) override
    {
        MoveWindow(m_inner, 0, 0, width, height, TRUE);
        ListView_SetColumnWidth(m_inner, 0, name_width(width));
    }

    bool forwarded(UINT message) const override { return message >= LVM_FIRST && message < LVM_FIRST + 0x100; }

    LRESULT notify(NMHDR& header) override
    {
        switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            bool selected = (change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0 &&
                            (change.uOldState & LVIS_SELECTED) == 0;
            std::size_t item = item_of(change.iItem);
            if (selected && !m_setting && item < m_items.size())
                fire(m_items[item].folder ? ShellChange::folder_item_selected : ShellChange::file_item_selected,
                     m_items[item].path);
            return 0;
        }
        case LVN_ITEMACTIVATE: {
            const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
            std::size_t item = item_of(activate.iItem);
            // Files are not opened: a setup does not start programs from a file list.
            if (item < m_items.size() && m_items[item].folder)
                request_open(m_items[item].path);
            return 0;
        }
        case LVN_KEYDOWN: {
            const auto& key = reinterpret_cast<const NMLVKEYDOWN&>(header);
            if (key.wVKey == VK_BACK && !m_folder.empty() && !parent_of(m_folder).empty())
                request_open(parent_of(m_folder));
            return 0;
        }
        default: return 0;
        }
    }

    void open_pending() override
    {
        std::wstring target = std::exchange(m_pending, std::wstring());
        if (target.empty())
            return;
        std::optional<std::wstring> folder = existing_folder(win32::to_ansi(target));
        if (!folder)
            return; // gone since it was listed
        {
            m_setting = true;
            ScopeExit reset([this] { m_setting = false; });
            fill(*folder);
        }
        fire(ShellChange::folder_opened, *folder);
    }

private:
    static constexpr int size_column_width = 70;
    static constexpr int modified_column_width = 120;

    struct Item {
        std::wstring path;
        bool folder = false;
    };

    static int name_width(int width)
    {
        return std::max(100, width - size_column_width - modified_column_width - GetSystemMetrics(SM_CXVSCROLL) - 4);
    }

    std::size_t item_of(int index) const
    {
        if (index < 0 || m_inner == nullptr)
            return m_items.size();
        LVITEMW query{};
        query.mask = LVIF_PARAM;
        query.iItem = index;
        if (!ListView_GetItem(m_inner, &query))
            return m_items.size();
        return static_cast<std::size_t>(query.lParam);
    }

    void request_open(std::wstring path)
    {
        m_pending = std::move(path);
        PostMessageW(m_window, open_pending_message, 0, 0);
    }

    void fill(const std::wstring& folder)
    {
        SendMessageW(m_inner, WM_SETREDRAW, FALSE, 0);
        ListView_DeleteAllItems(m_inner);
        m_items.clear();
        m_folder = folder;
        std::vector<FolderEntry> entries = read_folder(folder, Listing::everything);
        for (const FolderEntry& entry : entries) {
            std::wstring path = join(folder, entry.name);
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = static_cast<int>(m_items.size());
            item.pszText = const_cast<wchar_t*>(entry.name.c_str());
            item.lParam = static_cast<LPARAM>(m_items.size());
            if (m_icons != nullptr) {
                item.mask |= LVIF_IMAGE;
                item.iImage = icon_index(path, entry.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                                         IconSource::by_attributes);
            }
            m_items.push_back(Item{path, entry.folder});
            int index = ListView_InsertItem(m_inner, &item);
            if (index < 0)
                continue;
            std::wstring size = entry.folder ? std::wstring() : size_text(entry.size);
            std::wstring modified = time_text(entry.modified);
            ListView_SetItemText(m_inner, index, 1, size.data());
            ListView_SetItemText(m_inner, index, 2, modified.data());
        }
        SendMessageW(m_inner, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_inner, nullptr, TRUE);
    }

    std::wstring m_folder;
    std::wstring m_pending;
    std::vector<Item> m_items; // an item's lParam is its index here
};

class ShellCombo final : public ShellControl {
public:
    explicit ShellCombo(HWND window) : ShellControl(window, ShellKind::combo) {}

    bool set_folder(const std::wstring& folder) override
    {
        m_setting = true;
        ScopeExit reset([this] { m_setting = false; });
        fill(folder);
        return true;
    }

    std::wstring folder() const override { return m_folder; }

protected:
    bool create_inner(const CREATESTRUCTW& create) override
    {
        m_list_height = std::max(create.cy, 160);
        if (create_child(0, WC_COMBOBOXEXW, CBS_DROPDOWNLIST | WS_VSCROLL, create, m_list_height) == nullptr)
            return false;
        if (m_icons != nullptr)
            SendMessageW(m_inner, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_icons));
        fill({});
        return true;
    }

    // The designer's height is the drop-down's, as for a combo box; the control
    // itself is only as high as the combo box shows, so it hides nothing below it.
    void size_inner(int width, int height) override
    {
        if (m_resizing)
            return;
        int field = field_height();
        if (height > field)
            m_list_height = height;
        MoveWindow(m_inner, 0, 0, width, m_list_height, TRUE);
        field = field_height();
        if (field > 0 && field != height) {
            m_resizing = true;
            SetWindowPos(m_window, nullptr, 0, 0, width, field, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            m_resizing = false;
        }
    }

    bool forwarded(UINT message) const override
    {
        return (message >= CB_GETEDITSEL && message < CB_GETEDITSEL + 0x30) ||
               (message >= CBEM_INSERTITEMA && message <= CBEM_SETEXTENDEDSTYLE);
    }

    void command(WORD code) override
    {
        if (m_setting)
            return;
        // While the list is open the selection follows the pointer and the arrow
        // keys; the folder changes when the choice is made.
        if (code == CBN_SELENDOK || (code == CBN_SELCHANGE && !SendMessageW(m_inner, CB_GETDROPPEDSTATE, 0, 0)))
            PostMessageW(m_window, open_pending_message, 0, 0);
    }

    void open_pending() override
    {
        LRESULT selected = SendMessageW(m_inner, CB_GETCURSEL, 0, 0);
        if (selected < 0)
            return;
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_LPARAM;
        item.iItem = selected;
        if (!SendMessageW(m_inner, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || item.lParam < 0 ||
            static_cast<std::size_t>(item.lParam) >= m_paths.size())
            return;
        std::wstring chosen = m_paths[static_cast<std::size_t>(item.lParam)];
        if (same_path(chosen, m_folder))
            return;
        std::optional<std::wstring> folder = existing_folder(win32::to_ansi(chosen));
        {
            m_setting = true;
            ScopeExit reset([this] { m_setting = false; });
            fill(folder ? *folder : m_folder); // a drive without a disc: back to where it was
        }
        if (folder)
            fire(ShellChange::folder_selected, *folder);
    }

private:
    // Every drive, and under the folder's drive the folders down to it, indented.
    void fill(const std::wstring& folder)
    {
        SendMessageW(m_inner, CB_RESETCONTENT, 0, 0);
        m_paths.clear();
        m_folder = folder;
        int selected = -1;
        for (const std::wstring& root : drive_roots()) {
            bool on_path =
                !folder.empty() && same_path(root, folder.substr(0, std::min<std::size_t>(3, folder.size())));
            int index = add(root, 0, Place::drive);
            if (!on_path)
                continue;
            if (is_root(folder)) {
                selected = index;
                continue;
            }
            int depth = 1;
            for (std::size_t at = 3; at < folder.size(); ++depth) {
                std::size_t end = std::min(folder.find(L'\\', at), folder.size());
                selected = add(folder.substr(0, end), depth, Place::folder);
                at = end + 1;
            }
        }
        if (selected < 0 && !folder.empty()) // a folder on a drive GetLogicalDrives does not report
            selected = add(folder, 0, Place::folder);
        SendMessageW(m_inner, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }

    int add(const std::wstring& path, int depth, Place place)
    {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT | CBEIF_INDENT | CBEIF_LPARAM;
        item.iItem = -1;
        item.pszText = const_cast<wchar_t*>(path.c_str());
        item.iIndent = depth;
        item.lParam = static_cast<LPARAM>(m_paths.size());
        if (m_icons != nullptr) {
            item.mask |= CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
            item.iImage = item.iSelectedImage = icon_index(path, FILE_ATTRIBUTE_DIRECTORY, icon_source(path, place));
        }
        m_paths.push_back(path);
        return static_cast<int>(SendMessageW(m_inner, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    }

    // The height of the closed combo box: the inner COMBOBOX's window, which Windows
    // keeps at the selection field's height.
    int field_height() const
    {
        auto combo = reinterpret_cast<HWND>(SendMessageW(m_inner, CBEM_GETCOMBOCONTROL, 0, 0));
        RECT shown{};
        GetWindowRect(combo != nullptr ? combo : m_inner, &shown);
        return shown.bottom - shown.top;
    }

    std::wstring m_folder;
    std::vector<std::wstring> m_paths; // an item's lParam is its index here
    int m_list_height = 0;
    bool m_resizing = false;
};

ShellControl* control_of(HWND window)
{
    if (window == nullptr)
        return nullptr;
    ATOM atom = static_cast<ATOM>(GetClassLongPtrW(window, GCW_ATOM));
    bool ours = atom != 0 && std::any_of(class_atoms.begin(), class_atoms.end(),
                                         [atom](const std::atomic<ATOM>& known) { return known.load() == atom; });
    return ours ? reinterpret_cast<ShellControl*>(GetWindowLongPtrW(window, 0)) : nullptr;
}

// The dialog manager tabs into the inner control.
void add_shell_styles(HWND window)
{
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
}

} // namespace

bool RegisterShellControls(HINSTANCE instance)
{
    win32::init_common_controls(ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES);
    struct Entry {
        const wchar_t* name;
        WNDPROC procedure;
    };
    const std::array<Entry, 3> entries = {{
        {shell_tree_class, win32::owning_window_proc<ShellTree, ShellControl, add_shell_styles>},
        {shell_list_class, win32::owning_window_proc<ShellList, ShellControl, add_shell_styles>},
        {shell_combo_class, win32::owning_window_proc<ShellCombo, ShellControl, add_shell_styles>},
    }};
    bool ok = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (class_atoms[i].load() != 0)
            continue;
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = entries[i].procedure;
        window_class.cbWndExtra = sizeof(ShellControl*);
        window_class.hInstance = instance;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window_class.lpszClassName = entries[i].name;
        ATOM atom = RegisterClassExW(&window_class);
        if (atom == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            WNDCLASSEXW existing{};
            existing.cbSize = sizeof existing;
            atom = static_cast<ATOM>(GetClassInfoExW(instance, entries[i].name, &existing));
        }
        class_atoms[i].store(atom);
        ok = ok && atom != 0;
    }
    return ok;
}

bool shell_set_folder(HWND control, const std::string& path)
{
    ShellControl* state = control_of(control);
    if (state == nullptr)
        return false;
    std::optional<std::wstring> folder = existing_folder(path);
    return folder && state->set_folder(*folder);
}

std::string shell_folder(HWND control)
{
    ShellControl* state = control_of(control);
    return state != nullptr ? win32::to_ansi(state->folder()) : std::string();
}

std::string shell_selected_item(HWND control)
{
    ShellControl* state = control_of(control);
    return state != nullptr ? win32::to_ansi(state->selected_item()) : std::string();
}

void shell_on_change(HWND control, std::function<void(ShellChange kind, const std::string& path)> handler)
{
    if (ShellControl* state = control_of(control))
        state->on_change(std::move(handler));
}

} // namespace quillon
