#include "dialogs/folder_controls.h"

#include "base/paths.h"
#include "base/strings.h"
#include "dialogs/folder_binding.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/window_text.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace quillon {

namespace {

// The levels are indented as the designer's list draws them: two blanks a level.
constexpr std::size_t indent_per_level = 2;

// One spelling for a folder: backslashes, none at the end but a drive's root's.
std::string canonical(const std::string& folder)
{
    std::string text = folder;
    std::replace(text.begin(), text.end(), '/', '\\');
    return without_backslash(text);
}

bool is_folder(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(win32::to_wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The visible entries of a folder, folders or files, sorted by name ignoring case.
std::vector<std::string> entries(const std::string& folder, bool folders)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data{};
    win32::UniqueFind find(FindFirstFileW(win32::to_wide(join_path(folder, "*")).c_str(), &data));
    if (!find)
        return names;
    do {
        bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (directory != folders || (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0)
            continue;
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        names.push_back(win32::to_ansi(name));
    } while (FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    });
    return names;
}

void add_item(HWND list, const std::string& text)
{
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::to_wide(text).c_str()));
}

std::string item_text(HWND list, int index)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return win32::to_ansi(text);
}

} // namespace

std::string list_folder(HWND list)
{
    return window_text_ansi(list);
}

bool folder_list_show(HWND list, const std::string& folder)
{
    std::string shown = canonical(folder);
    if (!is_folder(shown))
        return false;
    std::vector<FolderLevel> levels = FolderLevels(shown);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < levels.size(); ++i)
        add_item(list, std::string(i * indent_per_level, ' ') + levels[i].text);
    for (const std::string& name : entries(shown, true))
        add_item(list, std::string(levels.size() * indent_per_level, ' ') + name);
    SetWindowTextW(list, win32::to_wide(shown).c_str());
    // The folder shown is the selected item.
    SendMessageW(list, LB_SETCURSEL, levels.empty() ? 0 : levels.size() - 1, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return true;
}

std::string folder_list_item(HWND list, int index)
{
    if (index < 0 || index >= static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)))
        return {};
    std::vector<FolderLevel> levels = FolderLevels(list_folder(list));
    if (static_cast<std::size_t>(index) < levels.size())
        return levels[static_cast<std::size_t>(index)].path;
    std::string name = item_text(list, index);
    name.erase(0, std::min(name.size(), levels.size() * indent_per_level));
    return join_path(list_folder(list), name);
}

bool file_list_show(HWND list, const std::string& folder, const std::string& mask, const std::string& select_file)
{
    std::string shown = canonical(folder);
    if (!is_folder(shown))
        return false;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    std::string selected = file_name_part(select_file);
    int selection = -1;
    for (const std::string& name : entries(shown, false)) {
        if (!MatchesMask(name, mask))
            continue;
        if (!selected.empty() && equal_nocase(name, selected))
            selection = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        add_item(list, name);
    }
    SetWindowTextW(list, win32::to_wide(shown).c_str());
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return true;
}

std::string file_list_selected(HWND list)
{
    auto index = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (index < 0)
        return {};
    return join_path(list_folder(list), item_text(list, index));
}

void drive_box_fill(HWND combo)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    DWORD drives = GetLogicalDrives();
    for (int letter = 0; letter < 26; ++letter) {
        if ((drives & (1u << letter)) == 0)
            continue;
        wchar_t text[] = {static_cast<wchar_t>(L'a' + letter), L':', 0};
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

bool drive_box_select(HWND combo, const std::string& path)
{
    if (path.size() < 2 || path[1] != ':')
        return false;
    wchar_t text[] = {static_cast<wchar_t>(std::tolower(static_cast<unsigned char>(path[0]))), L':', 0};
    LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    if (index == CB_ERR)
        return false;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return true;
}

std::string drive_box_selected(HWND combo)
{
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    wchar_t text[8] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >= 7)
        return {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    std::string root = win32::to_ansi(text);
    if (root.size() < 2)
        return {};
    root[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    return root.substr(0, 2) + "\\";
}

} // namespace quillon
