#include "engine/run_environment.h"

#include "engine/machine_facts.h"
#include "engine/wizard_shell.h"
#include "platform/win32/message_pump.h"
#include "vars/mEval.h"
#include "vars/predefined.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <windows.h>

#include <cstring>

namespace quillon {

WindowsRunEnvironment::WindowsRunEnvironment(TVariableManager& vars, StartupTrace& trace, RunSwitches& switches,
                                             EngineLanguage& language, TDialogRuntime& dialogs, CacheVariables cache)
    : m_vars(vars), m_trace(trace), m_switches(switches), m_language(language), m_dialogs(dialogs),
      m_cache(std::move(cache))
{
}

void WindowsRunEnvironment::pump_messages()
{
    win32::pump_pending_messages();
}

Result<void> WindowsRunEnvironment::refresh_switches()
{
    std::string log_file = GetVar(m_vars, var::logged);
    if (log_file != m_log_file) {
        m_log_file = log_file;
        m_trace.set_log_file(log_file);
    }
    m_switches.silent = text_is_true(GetVar(m_vars, var::silent));
    m_vars.set_silent(m_switches.silent);
    if (m_override.apply(m_vars) && m_rebootstrap)
        m_rebootstrap();
    m_cache.refresh(m_vars);
    // Reading the clock and formatting are dear next to a simple command: the
    // clock is read when the tick count moved, the texts formatted when the second changed.
    ULONGLONG tick = GetTickCount64();
    if (tick != m_clock_tick || m_date.empty()) {
        m_clock_tick = tick;
        SYSTEMTIME now;
        GetLocalTime(&now);
        now.wMilliseconds = 0;
        static_assert(sizeof now == sizeof m_formatted_at);
        if (std::memcmp(&now, m_formatted_at.data(), sizeof now) != 0) {
            std::memcpy(m_formatted_at.data(), &now, sizeof now);
            m_date = current_date_text();
            m_time = current_time_text();
        }
    }
    DefineVar(m_vars, var::date, m_date, origin::initialization);
    DefineVar(m_vars, var::time, m_time, origin::initialization);
    std::optional<std::string> current = m_vars.lookup(var::language);
    if (!current) {
        DefineVar(m_vars, var::language, "", origin::initialization);
        return {};
    }
    return m_language.load(*current);
}

bool WindowsRunEnvironment::progress_dialog_shown()
{
    HWND modeless = current_window(m_vars);
    return modeless != nullptr && modeless == m_dialogs.screen_window();
}

void WindowsRunEnvironment::update_progress_dialog(const std::string& text, std::int32_t value)
{
    m_dialogs.RefreshProgress(text, false, 0, 100, value);
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool WindowsRunEnvironment::language_set() const
{
    return !GetVar(m_vars, var::language).empty() && m_language.loaded();
}

Result<std::string> WindowsRunEnvironment::translate(const std::string& text, std::string_view key, std::size_t ordinal)
{
    return m_language.translate(text, key, ordinal);
}

} // namespace quillon
