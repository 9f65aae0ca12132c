// The HTML viewer of the wizard's dialogs: a child control that lays out and
// paints a page read by html_document.h (headings, lists, bold, italic,
// underline, links, preformatted text, rules, tables as tab-separated rows)
// with the dialog's font, word-wrapped at its width, with a vertical scroll bar.
//
// The window answers WM_GETTEXT with the page's plain text: one line per block
// (CR LF between blocks and at line breaks), list items led by "• " or "3. ",
// a rule as an empty line. WM_SETTEXT replaces the page with the given HTML.
// WM_SETFONT sets the base font (headings are larger and bold).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

inline constexpr wchar_t html_view_class[] = L"QuillonHtmlView";

// Registers the window class once per process; true when it is registered.
bool RegisterHtmlView(HINSTANCE instance);

// The functions below do nothing (or answer empty) for a window that is not an HTML view.

void html_view_set_html(HWND view, std::string_view html);

// Reads a page (8-bit, the setup's code page) and shows it; its folder becomes
// the base of relative links. False, with the page unchanged, when the file
// cannot be read.
bool html_view_load_file(HWND view, const std::string& path);

// The folder relative links resolve against (with or without a trailing backslash).
void html_view_set_base(HWND view, std::string folder);

// The file shown, empty when the page was set as text.
std::string html_view_file(HWND view);

std::string html_view_title(HWND view);

// The page's meta refresh: delay in seconds and target as written.
std::optional<std::pair<int, std::string>> html_view_refresh(HWND view);

// Called when the user clicks a link, with its href as written. Answering
// false (or having no handler) lets the view follow the link itself when it
// names an existing local .htm or .html file (relative to the base folder, or
// absolute, or a file: URL); other links are then ignored.
void html_view_on_link(HWND view, std::function<bool(const std::string& href)> handler);

// Called after the view shows a new page, whoever loaded it (the caller or a
// followed link), so that the owner can read the title and the refresh again.
void html_view_on_page(HWND view, std::function<void()> handler);

// Where link number `index` (in page order) is now, in client coordinates:
// the rectangle of its first piece of text. Empty when there is no such link.
std::optional<RECT> html_view_link_rect(HWND view, int index);

} // namespace quillon
