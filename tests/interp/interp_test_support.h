// Running small scripts through the execution loop natively, with a host that
// records what the engine around the loop would have done.
#pragma once

#include "base/strings.h"
#include "interp/executor_roles.h"
#include "interp/fake_files.h"
#include "interp/fake_machine.h"
#include "interp/fake_processes.h"
#include "interp/fake_program_start.h"
#include "interp/fake_web_server.h"
#include "interp/mscriptexec.h"
#include "script/ScriptImage.h"
#include "script/compile_pass.h"
#include "script/script_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillon::test {

// Catalog commands whose handlers tests replace with probes of their own
// (the handler table takes catalog names only). Both read parameter 1 as a path.
inline constexpr std::string_view probe_command = "Write to Text File";
inline constexpr std::string_view second_probe_command = "Delete Files Recursive";

// A command for a script: name, parameters, and whether it is disabled.
struct Cmd {
    std::string name;
    std::vector<std::string> parameters = {};
    bool disabled = false;
    std::string media_folder = {};
    std::string header = {};
};

// The roles of a run in one fake that records what was asked of it.
class RecordingHost : public RunEnvironment,
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

    FakeMachine machine;
    FakeProcesses processes;
    FakeFiles files;
    FakeRegistry registry;
    FakeProgramStarter programs;
    FakeWebServer web;

    // Windows Installer: the requests run, answered with installer_result;
    // the media dialog answers from media_answers (cancel when they run out).
    std::optional<std::string> uninstall_string(bool all_users, const std::string& title) override
    {
        uninstall_lookups.push_back((all_users ? "HKLM|" : "HKCU|") + title);
        return uninstall_entry;
    }
    std::string media_override() const override { return media_given; }
    std::optional<std::string> ask_for_media(const std::string& prompt) override
    {
        media_prompts.push_back(prompt);
        if (media_answers.empty())
            return std::nullopt;
        std::string answer = media_answers.front();
        media_answers.erase(media_answers.begin());
        return answer;
    }
    std::string language_code() override { return language; }
    msi::InstallerResult run_installer(TScriptExecutor&, msi::InstallerRequest request) override
    {
        installer_runs.push_back(std::move(request));
        return installer_result;
    }
    void changes_applied(TScriptExecutor&, const msi::InstallerRequest& request) override
    {
        applied.push_back(request.operation);
    }
    std::string windows_folder() override { return "C:\\Windows\\"; }
    std::int32_t run_tool(const std::string& tool, const std::string& arguments, const std::string& folder) override
    {
        tool_runs.push_back(tool + "|" + arguments + "|" + folder);
        auto found = tool_exit_codes.find(tool);
        return found == tool_exit_codes.end() ? -1 : found->second;
    }
    PackageAssemblies package_assemblies() override { return assemblies; }
    Result<std::string> write_gac_helper(bool runtime4) override
    {
        if (!gac_helpers)
            return make_error(ErrorCode::not_found, "The resource MGACY is missing");
        return std::string(runtime4 ? "C:\\qvo1\\mgacy.exe" : "C:\\qvo1\\mgac.exe");
    }
    bool patch_beside_package() override { return patch_present; }
    void transform_instance(TScriptExecutor&) override { ++instance_transforms; }
    bool patch_present = false;
    int instance_transforms = 0;
    std::vector<std::string> tool_runs;
    std::map<std::string, std::int32_t> tool_exit_codes; // program -> exit code; others cannot start
    PackageAssemblies assemblies;
    bool gac_helpers = true;
    std::optional<std::string> uninstall_entry;
    std::vector<std::string> uninstall_lookups;
    std::string media_given;
    std::vector<std::string> media_answers;
    std::vector<std::string> media_prompts;
    std::string language;
    std::vector<msi::InstallerRequest> installer_runs;
    msi::InstallerResult installer_result{1, {}};
    std::vector<msi::InstallerOperation> applied;

    // Media: the blocks set, the folders fetched; a fetch fails with fetch_failure when it is set.
    Result<void> set_web_media_block(const std::string& name, const std::string& locations) override
    {
        web_blocks.push_back(name + "|" + locations);
        return {};
    }
    Result<void> fetch_media(TScriptExecutor&, const std::string& folder) override
    {
        fetched.push_back(folder);
        if (fetch_failure)
            return make_error(ErrorCode::io, *fetch_failure);
        return {};
    }
    std::vector<std::string> web_blocks;
    std::vector<std::string> fetched;
    std::optional<std::string> fetch_failure;

    void pump_messages() override { ++pumps; }
    bool progress_dialog_shown() override { return false; }
    void update_progress_dialog(const std::string&, std::int32_t) override {}
    std::string engine_text(EngineText which) const override
    {
        switch (which) {
        case EngineText::runtime_error_heading: return "Runtime error in setup script:";
        case EngineText::percent_complete: return "% complete";
        case EngineText::general_setup_failure: return "General setup failure";
        case EngineText::locate_sources: return "Please locate your original setup sources to continue operation";
        case EngineText::sources_required:
            return "Original setup sources required to complete operation, sources not found";
        }
        return {};
    }
    bool disable_redirection() override { return false; }
    void revert_redirection() override {}
    bool windows_7_or_later() const override { return true; }
    // Products installed; a product code "{MISSING-MSI}" fails as a missing msi.dll would.
    Result<bool> product_installed(const std::string& product_code) override
    {
        if (product_code == "{MISSING-MSI}")
            return make_error(ErrorCode::not_found, "Library not found: msi.dll");
        return installed_products.contains(product_code);
    }
    std::set<std::string> installed_products;
    // No pages: a fake whose tests show pages overrides these.
    void release_dialog(const std::string&) override {}
    Result<void> prepare_dialog(const std::string&) override { return {}; }
    Result<DialogOutcome> show_dialog(const std::string&, bool) override { return DialogOutcome{}; }
    void hide_current_dialog() override {}
    Result<void> refresh_switches() override
    {
        ++refreshes;
        if (refresh_failure && GetVar(*refresh_vars, "LANGUAGE") == *refresh_failure)
            return make_error(ErrorCode::io, "Cannot open translations." + *refresh_failure);
        return {};
    }
    void report_runtime_error(const std::string& report) override { errors.push_back(report); }
    bool language_set() const override { return !translations.empty(); }
    Result<std::string> translate(const std::string& text, std::string_view key, std::size_t ordinal) override
    {
        auto found = translations.find(std::string(key) + "/" + std::to_string(ordinal));
        return found == translations.end() ? text : found->second;
    }
    void restart_computer() override { ++restarts; }
    void write_resume_entry(bool all_users, const std::string& name, const std::string& command) override
    {
        resume_entries.push_back({all_users ? "HKLM" : "HKCU", name, command});
    }
    std::string resume_program() const override { return program; }
    std::string command_tail() const override { return tail; }
    std::optional<std::string> short_path(const std::string& path) override
    {
        auto found = short_paths.find(path);
        return found == short_paths.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::optional<std::string> found_name(const std::string& path) override
    {
        auto found = long_names.find(path);
        return found == long_names.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::string create_temp_file(const std::string& folder, const std::string& prefix) override
    {
        temp_requests.push_back(folder + "|" + prefix);
        return temp_file_result;
    }

    // Workers: the wait handles no messages but fires the timers that are due,
    // so that the give-up logic runs as it does on the hidden main form.
    void wait_step(WorkerSignal& ended) override
    {
        ++wait_steps;
        if (on_wait_step)
            on_wait_step();
        ended.wait_for(std::chrono::milliseconds(2));
        auto now = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < worker_kind_count; ++k) {
            auto kind = static_cast<WorkerKind>(k);
            auto timer = timers.find(kind);
            if (timer != timers.end() && timer->second.first <= now) {
                std::function<void()> tick = std::move(timer->second.second);
                timers.erase(timer);
                ++timer_ticks;
                tick();
            }
        }
    }
    void wake_main_thread() override { ++wakes; }
    void arm_worker_timer(WorkerKind kind, std::function<void()> on_tick) override
    {
        timers[kind] = {std::chrono::steady_clock::now() + timer_interval, std::move(on_tick)};
    }
    void disarm_worker_timer(WorkerKind kind) override { timers.erase(kind); }
    bool worker_timer_armed(WorkerKind kind) const override { return timers.contains(kind); }
    void set_attention(bool error) override { attention.push_back(error ? "error" : "pause"); }
    void clear_attention() override { attention.push_back("clear"); }
    void show_error_message(const std::string& text) override { error_boxes.push_back(text); }
    bool silent() const override { return silent_run; }
    std::string support_folder() const override { return "C:\\qvo1"; }
    bool file_exists(const std::string& path) override { return existing_files.contains(path); }
    PluginCaller plugin_caller() const override { return plugin; }
    ArchiveExtractor archive_extractor() const override { return extractor; }

    // Message boxes answer message_box_answer; each call keeps the attention
    // set while it was up.
    std::int32_t message_box(const std::string& caption, const std::string& text, std::uint32_t flags) override
    {
        message_boxes.push_back({caption, text, flags, attention});
        return message_box_answer;
    }
    void show_balloon(const std::string& title, const std::string& text, std::int32_t icon,
                      std::int32_t timeout_ms) override
    {
        balloons.push_back({title, text, icon, timeout_ms});
    }
    void tray_minimize() override { tray_steps.push_back("minimize"); }
    void tray_show_icon() override { tray_steps.push_back("show icon"); }
    void tray_restore() override { tray_steps.push_back("restore"); }
    void tray_remove_icon() override { tray_steps.push_back("remove icon"); }

    int wait_steps = 0;
    std::atomic<int> wakes = 0;
    int timer_ticks = 0;
    std::function<void()> on_wait_step;
    // A language whose tables cannot be loaded: refresh_switches fails while LANGUAGE names it.
    std::optional<std::string> refresh_failure;
    const TVariableManager* refresh_vars = nullptr;
    // Long by default: only tests that mean a worker to be given up shorten it,
    // so that a slow machine never gives up a worker that is about to stop.
    std::chrono::milliseconds timer_interval{std::chrono::seconds(20)};
    std::map<WorkerKind, std::pair<std::chrono::steady_clock::time_point, std::function<void()>>> timers;
    std::vector<std::string> attention;
    std::vector<std::string> error_boxes;
    bool silent_run = false;
    std::set<std::string> existing_files;
    PluginCaller plugin;
    ArchiveExtractor extractor;

    struct MessageBoxCall {
        std::string caption;
        std::string text;
        std::uint32_t flags = 0;
        std::vector<std::string> attention; // as it was while the box was up
    };
    struct BalloonCall {
        std::string title;
        std::string text;
        std::int32_t icon = 0;
        std::int32_t timeout_ms = 0;
    };
    std::vector<MessageBoxCall> message_boxes;
    std::int32_t message_box_answer = 1; // IDOK
    std::vector<BalloonCall> balloons;
    std::vector<std::string> tray_steps;

    int pumps = 0;
    int refreshes = 0;
    int restarts = 0;
    std::vector<std::string> errors;
    // Keyed by command identifier + "/" + ordinal.
    std::map<std::string, std::string> translations;
    std::vector<std::vector<std::string>> resume_entries;
    std::string program;
    std::string tail;
    std::map<std::string, std::string> short_paths;
    std::map<std::string, std::string> long_names; // full path -> the name the file system reports
    std::vector<std::string> temp_requests;
    std::string temp_file_result;
};

// The identifier of the n-th command (0-based) of a script built by run_script.
inline std::string command_id(std::size_t n)
{
    char id[64];
    std::snprintf(id, sizeof id, "{0C0C0C0C-0000-0000-0000-%012zu}", n + 1);
    return id;
}

inline TScriptImage build_script(const std::vector<Cmd>& commands, const std::vector<std::string>& plugins = {},
                                 std::int32_t media_mode = 1)
{
    CompiledScript script;
    script.plugin_commands = plugins;
    script.media_mode = media_mode;
    script.product_code = "{22222222-2222-3333-4444-555555555555}";
    script.revision_code = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
    script.product_title = "Loop Test";
    script.product_version = "1.0.0.0";
    script.default_language = "English";
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 0}};
    for (std::size_t i = 0; i < commands.size(); ++i) {
        CompiledCommand c;
        c.name = commands[i].name;
        c.identifier = command_id(i);
        c.parameters = commands[i].parameters;
        c.disabled = commands[i].disabled;
        c.media_folder = commands[i].media_folder;
        c.media_header = commands[i].header;
        c.project_file = "loop.qvp";
        c.project_line = static_cast<std::int32_t>(i + 10);
        script.commands.push_back(std::move(c));
    }
    Result<std::string> text = write_script_image(script);
    if (!text) {
        ADD_FAILURE() << text.error().message;
        return {};
    }
    Result<TScriptImage> image =
        parse_script_image(std::span(reinterpret_cast<const std::byte*>(text->data()), text->size()));
    if (!image) {
        ADD_FAILURE() << image.error().message;
        return {};
    }
    return std::move(*image);
}

// One run of a script with the standard handlers; the store starts with the
// variables given.
struct ScriptRun {
    explicit ScriptRun(const std::vector<Cmd>& commands, std::map<std::string, std::string> start = {},
                       const std::vector<std::string>& plugins = {}, std::int32_t media_mode = 1)
        : script(build_script(commands, plugins, media_mode))
    {
        for (const auto& [name, value] : start)
            DefineVar(vars, name, value, "Initialization");
        handlers = StandardHandlers();
    }

    // Runs through the compile pass's label table; returns Run()'s answer.
    bool run()
    {
        executor.emplace(script, vars, host.roles(), handlers, process, BuildLabelTable(script));
        return executor->Run();
    }

    std::string var(std::string_view name) const { return GetVar(vars, name); }

    TScriptImage script;
    TVariableManager vars;
    RecordingHost host;
    HandlerTable handlers;
    ProcessState process;
    std::optional<TScriptExecutor> executor;
};

} // namespace quillon::test
