// Windows Installer for the script's "Apply Changes" and "Apply Patch": the
// installed product's uninstall entry, the media folder dialog, and the run
// itself on the installer thread, shown by the run's progress page (whose
// refresh timer starts the thread) or waited for with the workers' wait.
#pragma once

#include "dialogs/page_roles.h"
#include "dialogs/uDlgAPI.h"
#include "engine/cache_install.h"
#include "engine/installer_thread.h"
#include "engine/messages.h"
#include "engine/run_environment.h"
#include "engine/system_services.h"
#include "engine/worker_services.h"
#include "interp/executor_roles.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"

#include <memory>
#include <functional>
#include <optional>
#include <thread>

namespace quillon {

class WindowsInstallerServices : public InstallerServices, public InstallerRun {
public:
    // The dialogs and workers are used only once a run starts, so they may be
    // made after this object.
    WindowsInstallerServices(const TScriptImage& script, TVariableManager& vars, const EngineMessages& messages,
                             const RunSwitches& switches, TDialogRuntime& dialogs, WindowsWorkerServices& workers,
                             SetupLocation location);
    ~WindowsInstallerServices() override;
    WindowsInstallerServices(const WindowsInstallerServices&) = delete;
    WindowsInstallerServices& operator=(const WindowsInstallerServices&) = delete;

    // The script's side.
    std::optional<std::string> uninstall_string(bool all_users, const std::string& title) override;
    std::string media_override() const override { return m_location.media_override; }
    std::optional<std::string> ask_for_media(const std::string& prompt) override;
    std::string language_code() override;
    msi::InstallerResult run_installer(TScriptExecutor& executor, msi::InstallerRequest request) override;
    void changes_applied(TScriptExecutor& executor, const msi::InstallerRequest& request) override;
    std::string windows_folder() override;
    std::int32_t run_tool(const std::string& program, const std::string& arguments, const std::string& folder) override;
    PackageAssemblies package_assemblies() override;
    Result<std::string> write_gac_helper(bool runtime4) override;
    bool patch_beside_package() override;
    void transform_instance(TScriptExecutor& executor) override;

    // What runs the bootstrap again under a new instance's product and revision codes.
    using NewInstance = std::function<void(const std::string& product_code, const std::string& revision_code)>;
    void on_new_instance(NewInstance rebootstrap) { m_new_instance = std::move(rebootstrap); }

    // What "Apply Changes" did to the engine cache in this run: the end of the
    // run writes the maintenance data in full after a new cache, and none into a removed one.
    bool cache_written() const { return m_cache_written; }
    bool cache_removed() const { return m_cache_removed; }

    // The progress page's side: its first refresh starts the run.
    void start() override;
    void run_and_wait() override;

private:
    // Waits for the thread, passing the user's cancel on to it.
    void wait_for_end();
    std::string engine_cache_folder() const;
    CacheCompression cache_compression() const;
    std::string product_marker() const;
    // A patch of the package: the ".msp" of its name beside it.
    std::string patch_package() const;
    CacheInstallation cache_installation(TScriptExecutor& executor, const std::string& folder);

    const TScriptImage& m_script;
    TVariableManager& m_vars;
    const EngineMessages& m_messages;
    const RunSwitches& m_switches;
    TDialogRuntime& m_dialogs;
    WindowsWorkerServices& m_workers;
    SetupLocation m_location;
    std::optional<msi::InstallerRequest> m_pending;
    std::shared_ptr<InstallerRunState> m_state;
    std::thread m_thread;
    bool m_cache_written = false;
    bool m_cache_removed = false;
    NewInstance m_new_instance;
    // A transformed instance, and whether its package's component identities
    // were renewed (once in the process).
    bool m_instance_transform = false;
    bool m_components_renewed = false;
};

} // namespace quillon
