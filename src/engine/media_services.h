// The media of a run on Windows: the current web media block, and fetching a
// command's media folder into the engine cache with the workers of the run
// (copy, download, extract) and the retry dialogs.
#pragma once

#include "dialogs/page_roles.h"
#include "engine/messages.h"
#include "engine/run_environment.h"
#include "engine/system_services.h"
#include "interp/executor_roles.h"
#include "media/web_media.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"

#include <string>

namespace quillon {

class WindowsMediaServices : public MediaServices {
public:
    WindowsMediaServices(const TScriptImage& script, TVariableManager& vars, const EngineMessages& messages,
                         const RunSwitches& switches, PageShell& shell, const SetupLocation& location)
        : m_script(script), m_vars(vars), m_messages(messages), m_switches(switches), m_shell(shell),
          m_location(location)
    {
    }

    Result<void> set_web_media_block(const std::string& name, const std::string& locations) override;
    Result<void> fetch_media(TScriptExecutor& executor, const std::string& folder) override;

private:
    class Place;
    class Workers;
    class Questions;

    const TScriptImage& m_script;
    TVariableManager& m_vars;
    const EngineMessages& m_messages;
    const RunSwitches& m_switches;
    PageShell& m_shell;
    const SetupLocation& m_location;
    media::WebMediaState m_state;
};

// The data folder of a setup that keeps its media in the engine cache: the
// cache root for the all-users flag, the revision code and "\".
std::string CachedDataFolder(const TVariableManager& vars, bool all_users, const std::string& revision_code);

} // namespace quillon
