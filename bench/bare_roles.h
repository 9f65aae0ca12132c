// The roles of a run doing nothing, so that a benchmark times the loop
// and the handlers alone: a silent run without windows, files or workers.
#pragma once

#include "interp/executor_roles.h"

namespace quillon::bench {

class BareRoles : public RunEnvironment,
                  public UserInterface,
                  public SystemServices,
                  public WorkerServices,
                  public MediaServices,
                  public InstallerServices {
public:
    ExecutorRoles roles()
    {
        return {*this, *this, *this, *this, *this, *this, machine, processes, files, registry, programs, web};
    }

    std::optional<std::string> uninstall_string(bool, const std::string&) override { return std::nullopt; }
    std::string media_override() const override { return {}; }
    std::optional<std::string> ask_for_media(const std::string&) override { return std::nullopt; }
    std::string language_code() override { return {}; }
    msi::InstallerResult run_installer(TScriptExecutor&, msi::InstallerRequest) override { return {1, {}}; }
    void changes_applied(TScriptExecutor&, const msi::InstallerRequest&) override {}
    std::string windows_folder() override { return {}; }
    std::int32_t run_tool(const std::string&, const std::string&, const std::string&) override { return -1; }
    PackageAssemblies package_assemblies() override { return {}; }
    Result<std::string> write_gac_helper(bool) override { return std::string(); }
    bool patch_beside_package() override { return false; }
    void transform_instance(TScriptExecutor&) override {}

    // The machine answers nothing.
    class BareMachine : public SystemInformation {
    public:
        void set_registry_view(PlatformView) override {}
        PlatformView registry_view() const override { return resting_registry_view; }
        WindowsVersion windows_version() override { return {}; }
        bool member_of_group(std::uint32_t) override { return false; }
        bool token_elevated() override { return false; }
        std::uint64_t physical_memory() override { return 0; }
        ScreenFacts screen() override { return {}; }
        bool system_metric(SystemMetric) override { return false; }
        std::optional<std::string> registry_text(RegistryRoot, std::string_view, std::string_view,
                                                 RegistryAccess) override
        {
            return std::nullopt;
        }
        std::optional<std::uint32_t> registry_number(RegistryRoot, std::string_view, std::string_view,
                                                     RegistryAccess) override
        {
            return std::nullopt;
        }
        std::optional<FileVersion> file_version(const std::string&) override { return std::nullopt; }
        std::optional<std::uint16_t> file_language(const std::string&) override { return std::nullopt; }
        std::string language_name(std::uint16_t) override { return {}; }
        std::string user_name() override { return {}; }
        std::string user_domain() override { return {}; }
        std::string computer_name() override { return {}; }
        bool windows_64_bit() override { return true; }
        std::uint16_t native_architecture() override { return 9; }
        HypervisorFacts hypervisor() override { return {}; }
        std::string shell_folder(std::int32_t) override { return {}; }
        SystemFolders system_folders() override { return {}; }
        std::string files_folder(FilesFolder) override { return {}; }
        bool cd_rom_drive(char) override { return false; }
        std::string expand_environment(std::string_view text) override { return std::string(text); }
        std::vector<std::string> environment_block() override { return {}; }
    };
    BareMachine machine;

    // No processes, windows or services; nothing registers.
    class BareProcesses : public ProcessServices {
        std::vector<std::string> process_names() override { return {}; }
        std::vector<TopWindow> top_level_windows() override { return {}; }
        void close_window(std::uintptr_t) override {}
        std::optional<std::uint32_t> service_state(const std::string&, const std::string&) override
        {
            return std::nullopt;
        }
        std::string current_folder() override { return {}; }
        bool set_current_folder(const std::string&) override { return false; }
        bool register_type_library(const std::string&, RegisterAction) override { return false; }
        bool start_server_program(const std::string&, const std::string&) override { return false; }
        bool call_server_library(const std::string&, RegisterAction) override { return false; }
    };
    BareProcesses processes;
    // No files and no registry.
    class BareFiles : public FileSystemAccess {
    public:
        bool file_exists(const std::string&) override { return false; }
        bool folder_exists(const std::string&) override { return false; }
        std::optional<DiskSpace> disk_space(const std::string&) override { return std::nullopt; }
        std::optional<std::string> read_file(const std::string&) override { return std::nullopt; }
        bool replace_file(const std::string&, std::string_view) override { return false; }
        FolderFinder folder_finder() const override
        {
            return [](const std::string&) { return std::vector<FolderEntry>(); };
        }
        void delete_file(const std::string&) override {}
        void remove_folder(const std::string&) override {}
        std::string profile_string(const std::string&, const std::string&, const std::string&, std::size_t) override
        {
            return {};
        }
    };
    BareFiles files;
    class BareRegistry : public RegistryStore {
    public:
        RegistryRead read_value(RegistryHive, const std::string&, const std::string&, PlatformView) override
        {
            return {};
        }
        void delete_tree(RegistryHive, const std::string&, PlatformView) override {}
        void delete_leaf_key(RegistryHive, const std::string&, const std::string&) override {}
        void delete_value(RegistryHive, const std::string&, const std::string&, PlatformView) override {}
    };
    BareRegistry registry;
    // No program starts: a run command's result is -1.
    class BarePrograms : public ProgramStarter {
    public:
        std::shared_ptr<ProcessSystem> process_system() override { return nullptr; }
        std::string current_folder() override { return {}; }
        bool set_current_folder(const std::string&) override { return false; }
        std::function<void(const std::function<void()>&)> thread_frame() override
        {
            return [](const std::function<void()>& start) { start(); };
        }
        bool write_light_mode_setup(const std::string&, const std::string&) override { return false; }
        std::string engine_folder() override { return {}; }
        bool file_exists(const std::string&) override { return false; }
        bool move_file(const std::string&, const std::string&) override { return false; }
        bool copy_file(const std::string&, const std::string&) override { return false; }
        bool delete_file(const std::string&) override { return false; }
    };
    BarePrograms programs;
    // No web server: every question gets the empty answer.
    class BareWebServer : public WebServer {
    public:
        std::string anonymous_user(const WebServerTarget&) override { return {}; }
    };
    BareWebServer web;

    Result<void> set_web_media_block(const std::string&, const std::string&) override { return {}; }
    Result<void> fetch_media(TScriptExecutor&, const std::string&) override { return {}; }

    void pump_messages() override {}
    Result<void> refresh_switches() override { return {}; }
    bool progress_dialog_shown() override { return false; }
    void update_progress_dialog(const std::string&, std::int32_t) override {}
    bool language_set() const override { return false; }
    Result<std::string> translate(const std::string& text, std::string_view, std::size_t) override { return text; }

    bool silent() const override { return true; }
    std::string engine_text(EngineText) const override { return {}; }
    void report_runtime_error(const std::string&) override {}
    void set_attention(bool) override {}
    void clear_attention() override {}
    void show_error_message(const std::string&) override {}
    std::int32_t message_box(const std::string&, const std::string&, std::uint32_t) override { return 0; }
    void show_balloon(const std::string&, const std::string&, std::int32_t, std::int32_t) override {}
    void tray_minimize() override {}
    void tray_show_icon() override {}
    void tray_restore() override {}
    void tray_remove_icon() override {}
    void release_dialog(const std::string&) override {}
    Result<void> prepare_dialog(const std::string&) override { return {}; }
    Result<DialogOutcome> show_dialog(const std::string&, bool) override { return DialogOutcome{}; }
    void hide_current_dialog() override {}

    bool disable_redirection() override { return false; }
    void revert_redirection() override {}
    void restart_computer() override {}
    void write_resume_entry(bool, const std::string&, const std::string&) override {}
    std::string resume_program() const override { return {}; }
    std::string command_tail() const override { return {}; }
    std::optional<std::string> short_path(const std::string&) override { return std::nullopt; }
    std::optional<std::string> found_name(const std::string&) override { return std::nullopt; }
    std::string create_temp_file(const std::string&, const std::string&) override { return {}; }
    std::string support_folder() const override { return {}; }
    bool file_exists(const std::string&) override { return false; }
    bool windows_7_or_later() const override { return true; }
    Result<bool> product_installed(const std::string&) override { return false; }

    void wait_step(WorkerSignal& ended) override { ended.wait_for(std::chrono::milliseconds(50)); }
    void wake_main_thread() override {}
    void arm_worker_timer(WorkerKind, std::function<void()>) override {}
    void disarm_worker_timer(WorkerKind) override {}
    bool worker_timer_armed(WorkerKind) const override { return false; }
    PluginCaller plugin_caller() const override { return {}; }
    ArchiveExtractor archive_extractor() const override { return {}; }
};

} // namespace quillon::bench
