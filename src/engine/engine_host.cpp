#include "engine/engine_host.h"

#include "base/paths.h"

#include "vars/reserved_names.h"

namespace quillon {

DialogTexts EngineHost::PageRunOfEngine::texts() const
{
    DialogTexts current;
    current.confirm_cancel = m_messages.text(MessageLine::confirm_cancel);
    current.flash_failed = m_messages.text(MessageLine::flash_failed);
    current.units = {m_messages.text(MessageLine::bytes), m_messages.text(MessageLine::kilobytes),
                     m_messages.text(MessageLine::megabytes)};
    return current;
}

std::string EngineHost::PageRunOfEngine::translate(const std::string& text, const std::string& key, std::size_t index)
{
    if (GetVar(m_vars, var::language).empty())
        return text;
    return m_language.translate_design_text(text, key, index);
}

EngineHost::EngineHost(EngineHostSetup setup)
    : m_setup(std::move(setup)), m_switches{m_setup.silent},
      m_language(m_setup.script, m_setup.location.support_folder, m_setup.messages),
      m_page_run(m_setup.vars, m_setup.messages, m_switches, m_language),
      m_shell(m_setup.vars, &m_setup.messages, m_page_run),
      m_installer(m_setup.script, m_setup.vars, m_setup.messages, m_switches, m_dialogs, m_workers, m_setup.location),
      m_dialogs(m_setup.location.support_folder, m_setup.vars, PageRoles{m_page_run, m_shell, m_installer}),
      m_run(m_setup.vars, m_setup.trace, m_switches, m_language, m_dialogs,
            CacheVariables(file_name_part(m_setup.location.exe_file), m_setup.script.media_mode())),
      m_ui(m_setup.vars, m_setup.trace, m_setup.messages, m_switches, m_shell, m_dialogs), m_system(m_setup.location),
      m_workers(m_switches, m_shell, m_dialogs, m_setup.location.exe_file),
      m_media(m_setup.script, m_setup.vars, m_setup.messages, m_switches, m_shell, m_setup.location)
{
    if (!m_shell.pool_error().empty())
        m_setup.trace.line("    Hidden main form not created: " + m_shell.pool_error());
    // A click on the tray icon shows first a page that came while the wizard was in the tray.
    m_shell.set_pending_page([this] { m_dialogs.show_pending(); });
}

} // namespace quillon
