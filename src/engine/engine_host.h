// The engine's objects around a script's run, made and connected in this one
// place: the language, the windows around the pages (WizardShell), the dialog
// runtime with its roles, and the roles the execution loop is given.
// Made once the support folder holds the setup's files, so that the pages can
// be registered at start-up; the executor is attached when the run makes it.
#pragma once

#include "dialogs/uDlgAPI.h"
#include "engine/engine_language.h"
#include "engine/file_system_win32.h"
#include "engine/installer_services.h"
#include "engine/media_services.h"
#include "engine/messages.h"
#include "engine/process_services_win32.h"
#include "engine/registry_store_win32.h"
#include "engine/program_start_win32.h"
#include "engine/run_environment.h"
#include "engine/startup_trace.h"
#include "engine/system_information_win32.h"
#include "engine/system_services.h"
#include "engine/user_interface.h"
#include "engine/web_server_win32.h"
#include "engine/wizard_shell.h"
#include "engine/worker_services.h"
#include "interp/executor_roles.h"
#include "interp/mscriptexec.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"

#include <string>

namespace quillon {

struct EngineHostSetup {
    const TScriptImage& script;
    TVariableManager& vars;
    StartupTrace& trace;
    EngineMessages& messages;
    SetupLocation location;
    bool silent = false;
};

class EngineHost {
public:
    explicit EngineHost(EngineHostSetup setup);
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    ExecutorRoles roles()
    {
        return {m_run,     m_ui,        m_system, m_workers,  m_media,    m_installer,
                m_machine, m_processes, m_files,  m_registry, m_programs, m_web};
    }
    TDialogRuntime& dialogs() { return m_dialogs; }
    WizardShell& shell() { return m_shell; }
    const WindowsInstallerServices& installer() const { return m_installer; }
    WindowsInstallerServices& installer() { return m_installer; }
    WindowsRunEnvironment& run_environment() { return m_run; }
    // The run's executor: the pages' feature controls show its components and
    // their refresh follows its workers. Detached when it ends.
    void attach_executor(TScriptExecutor* executor) { m_page_run.attach(executor); }
    // The end of the script run, before its data are saved: the pages are
    // released and the tray icon goes, also when the process then ends at once
    // (a removed setup medium) and no destructor runs.
    void end_of_run()
    {
        m_shell.tray_remove_icon();
        m_dialogs.FreeDialogs();
    }

private:
    // The run as the pages see it.
    class PageRunOfEngine : public PageRun {
    public:
        PageRunOfEngine(TVariableManager& vars, const EngineMessages& messages, const RunSwitches& switches,
                        const EngineLanguage& language)
            : m_vars(vars), m_messages(messages), m_switches(switches), m_language(language)
        {
        }
        void attach(TScriptExecutor* executor) { m_executor = executor; }

        bool silent() const override { return m_switches.silent; }
        bool workers_busy() const override { return m_executor != nullptr && m_executor->workers().busy(); }
        TComponentModel* components() override { return m_executor != nullptr ? &m_executor->components() : nullptr; }
        DialogTexts texts() const override;
        std::string translate(const std::string& text, const std::string& key, std::size_t index) override;

    private:
        TVariableManager& m_vars;
        const EngineMessages& m_messages;
        const RunSwitches& m_switches;
        const EngineLanguage& m_language;
        TScriptExecutor* m_executor = nullptr;
    };
    EngineHostSetup m_setup;
    RunSwitches m_switches;
    EngineLanguage m_language;
    PageRunOfEngine m_page_run;
    WizardShell m_shell;
    WindowsInstallerServices m_installer;
    TDialogRuntime m_dialogs;
    WindowsRunEnvironment m_run;
    WindowsUserInterface m_ui;
    WindowsSystemServices m_system;
    WindowsWorkerServices m_workers;
    WindowsMediaServices m_media;
    WindowsSystemInformation m_machine;
    WindowsProcessServices m_processes;
    WindowsFileSystem m_files;
    WindowsRegistryStore m_registry;
    WindowsProgramStarter m_programs;
    WindowsWebServer m_web;
};

} // namespace quillon
