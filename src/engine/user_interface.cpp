#include "engine/user_interface.h"

#include "interp/mMessageCommands.h"
#include "platform/win32/wide.h"
#include "vars/predefined.h"
#include "vars/texts.h"

#include <windows.h>

namespace quillon {

// The interpreter chooses the styles without <windows.h>; they must be the system's.
static_assert(message_box::ok == MB_OK && message_box::ok_cancel == MB_OKCANCEL &&
              message_box::abort_retry_ignore == MB_ABORTRETRYIGNORE && message_box::yes_no_cancel == MB_YESNOCANCEL &&
              message_box::yes_no == MB_YESNO && message_box::retry_cancel == MB_RETRYCANCEL);
static_assert(message_box::icon_error == MB_ICONERROR && message_box::icon_question == MB_ICONQUESTION &&
              message_box::icon_warning == MB_ICONWARNING && message_box::icon_information == MB_ICONINFORMATION);

WindowsUserInterface::WindowsUserInterface(TVariableManager& vars, StartupTrace& trace, const EngineMessages& messages,
                                           const RunSwitches& switches, WizardShell& shell, TDialogRuntime& dialogs)
    : m_vars(vars), m_trace(trace), m_messages(messages), m_switches(switches), m_shell(shell), m_dialogs(dialogs)
{
}

std::string WindowsUserInterface::engine_text(EngineText which) const
{
    switch (which) {
    case EngineText::runtime_error_heading: return m_messages.text(MessageLine::runtime_error_in_script);
    case EngineText::percent_complete: return m_messages.text(MessageLine::percent_complete);
    case EngineText::general_setup_failure: return m_messages.text(MessageLine::general_setup_failure);
    case EngineText::locate_sources: return m_messages.text(MessageLine::locate_sources);
    case EngineText::sources_required: return m_messages.text(MessageLine::sources_required);
    }
    return {};
}

void WindowsUserInterface::report_runtime_error(const std::string& report)
{
    show_error_message(report);
}

void WindowsUserInterface::show_error_message(const std::string& text)
{
    std::string one_line = text;
    for (char& c : one_line)
        if (c == '\r')
            c = ' ';
    m_trace.line("    " + one_line);
    if (silent())
        return;
    MessageBoxW(current_window(m_vars), win32::to_wide(text).c_str(), win32::to_wide(StandardCaption(m_vars)).c_str(),
                MB_OK | MB_ICONERROR);
}

std::int32_t WindowsUserInterface::message_box(const std::string& caption, const std::string& text, std::uint32_t flags)
{
    std::wstring wide_caption = win32::to_wide(caption);
    std::wstring wide_text = win32::to_wide(text);
    HWND owner = current_window(m_vars);
    int answer = MessageBoxW(owner, wide_text.c_str(), wide_caption.c_str(), flags);
    // An owner that cannot own the box (a dialog of a thread that has ended,
    // say) must not cost the question: ask without one.
    if (answer == 0 && owner != nullptr)
        answer = MessageBoxW(nullptr, wide_text.c_str(), wide_caption.c_str(), flags);
    return answer;
}

void WindowsUserInterface::show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                                        std::int32_t timeout_ms)
{
    m_shell.show_balloon(title, text, icon, timeout_ms);
}

void WindowsUserInterface::release_dialog(const std::string& key)
{
    m_dialogs.ReleaseDialog(key);
}

Result<void> WindowsUserInterface::prepare_dialog(const std::string& key)
{
    // The modeless page stays still while the next one is filled.
    HWND modeless = current_window(m_vars);
    if (modeless != nullptr)
        LockWindowUpdate(modeless);
    Result<void> prepared = m_dialogs.PrepareDialog(key);
    if (modeless != nullptr)
        LockWindowUpdate(nullptr);
    return prepared;
}

Result<UserInterface::DialogOutcome> WindowsUserInterface::show_dialog(const std::string& key, bool modal)
{
    DialogResult shown = TRY(m_dialogs.ShowDialog(key, modal));
    return DialogOutcome{shown.code, shown.custom, reinterpret_cast<std::uintptr_t>(shown.window)};
}

void WindowsUserInterface::hide_current_dialog()
{
    m_dialogs.HideCurrentDialog();
}

} // namespace quillon
