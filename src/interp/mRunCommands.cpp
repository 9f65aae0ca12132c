#include "interp/mRunCommands.h"

#include "base/paths.h"
#include "interp/command_call.h"
#include "interp/mscriptexecthread.h"
#include "interp/program_start.h"
#include "platform/wow64_view.h"
#include "vars/texts.h"

#include <memory>
#include <optional>
#include <utility>

namespace quillon {

namespace {

// The engine's current folder changed for the length of one run and put
// back whatever way the command ends (a cancel that ends the script too).
class FolderChange {
public:
    FolderChange(ProgramStarter& starter, const std::string& folder) : m_starter(starter)
    {
        if (folder.empty())
            return;
        m_saved = starter.current_folder();
        // A folder that cannot be entered leaves the engine where it was.
        starter.set_current_folder(folder);
    }
    FolderChange(const FolderChange&) = delete;
    FolderChange& operator=(const FolderChange&) = delete;
    ~FolderChange()
    {
        if (m_saved)
            m_starter.set_current_folder(*m_saved);
    }

private:
    ProgramStarter& m_starter;
    std::optional<std::string> m_saved;
};

// A program path as the engine's platform mode sees it: in "Win32" a path in
// the system folder names the 32-bit program, as the redirector would have it.
std::string program_in_view(TScriptExecutor& executor, const std::string& program)
{
    PlatformView view = view_for_mode(executor.platform_mode());
    if (view == PlatformView::native)
        return program;
    return map_to_view(program, view, executor.machine().system_folders());
}

// Runs the start on the program worker and waits with the cancel protocol.
// The code the worker delivered; -314 when a cancel left none. Nothing when
// the cancel ended the script.
Result<std::optional<std::int32_t>> run_start(TScriptExecutor& executor, WorkerKind kind, std::string_view origin,
                                              std::function<std::int32_t(ProcessSystem&, const KeepWaiting&)> start)
{
    struct Shared {
        std::optional<std::int32_t> code;
    };
    auto shared = std::make_shared<Shared>();
    ProgramStarter& starter = executor.programs();
    WorkerRequest request;
    request.kind = kind;
    request.cancel_origin = origin;
    request.publishes_program_progress = true;
    request.body = [shared, start = std::move(start), system = starter.process_system(),
                    frame = starter.thread_frame()](WorkerContext& context) {
        // A cancel made before the command: the program is not started at all.
        if (context.stop_requested())
            return;
        if (!system) {
            shared->code = run_code::cannot_start;
            return;
        }
        KeepWaiting keep_waiting = [&context] { return !context.given_up(); };
        frame([&] { shared->code = start(*system, keep_waiting); });
    };
    WorkerOutcome outcome = TRY(executor.workers().run(executor, std::move(request)));
    if (executor.ended())
        return std::optional<std::int32_t>();
    // A worker given up delivers nothing, even when its code came in late.
    if (outcome.end != WorkerEnd::finished || !shared->code)
        return std::optional<std::int32_t>(run_code::cancelled);
    return std::optional<std::int32_t>(*shared->code);
}

// Parameters: 1 program, 2 hidden, 3 arguments, 4 wait, 5 result variable.
Result<void> run_program(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    ShellStartRequest request;
    request.program = program_in_view(executor, TRY(call.text(1)));
    request.show = !TRY(call.flag(2));
    request.arguments = TRY(call.text(3));
    request.wait = TRY(call.flag(4));
    std::string result_variable = TRY(call.result_name(5));
    request.folder = folder_part(request.program);

    std::optional<std::int32_t> code;
    {
        FolderChange folder(executor.programs(), request.folder);
        code = TRY(run_start(executor, WorkerKind::run_app, origin::cancel_at_run_program_time,
                             [request](ProcessSystem& system, const KeepWaiting& keep_waiting) {
                                 return ShellStart(system, request, keep_waiting);
                             }));
    }
    if (code)
        call.store(result_variable, std::to_string(*code));
    return {};
}

// Parameters: 1 program, 2 working folder, 3 arguments, 4 window mode, 5 user
// name or "$KYRT_UAC$", 6 password, 7 domain, 8 result variable, 9 wait, 10 environment.
Result<void> run_program_as(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    std::string program = program_in_view(executor, TRY(call.text(1)));
    std::string working_folder = TRY(call.text(2));
    std::string arguments = TRY(call.text(3));
    ProcessStartRequest request;
    request.window_mode = TRY(call.number(4));
    request.user = TRY(call.text(5));
    request.password = TRY(call.text(6));
    request.domain = TRY(call.text(7));
    std::string result_variable = TRY(call.result_name(8));
    request.wait = TRY(call.flag(9));
    request.environment = TRY(call.text(10));
    request.command_line = command_line_of(program, arguments);
    const bool unelevated = request.user == unelevated_marker;

    std::optional<std::int32_t> code;
    {
        // The process starts in the engine's current folder: the working folder for the length of the run.
        FolderChange folder(executor.programs(), working_folder);
        code = TRY(run_start(executor, WorkerKind::run_as, worker_text::cancel_at_run_as_time,
                             [request, unelevated](ProcessSystem& system, const KeepWaiting& keep_waiting) {
                                 return unelevated ? StartUnelevated(system, request, keep_waiting)
                                                   : StartProcess(system, request, keep_waiting);
                             }));
    }
    if (code)
        call.store(result_variable, std::to_string(*code));
    return {};
}

// A light-mode script made runnable where it lies: the script file moved
// aside, the engine's program with the script in its place, qvo.lib beside
// it; all undone when the run is over, whichever way it ends.
class LightModeSetup {
public:
    LightModeSetup(ProgramStarter& starter, std::string script_file)
        : m_starter(starter), m_file(std::move(script_file)), m_built(m_file + ".to"), m_kept(m_file + ".nox")
    {
    }
    LightModeSetup(const LightModeSetup&) = delete;
    LightModeSetup& operator=(const LightModeSetup&) = delete;
    ~LightModeSetup() { undo(); }

    // False when the runnable file could not be made; nothing is left changed then.
    bool make()
    {
        if (!m_starter.write_light_mode_setup(m_file, m_built))
            return false;
        if (!m_starter.move_file(m_file, m_kept)) {
            m_starter.delete_file(m_built);
            return false;
        }
        if (!m_starter.move_file(m_built, m_file)) {
            m_starter.move_file(m_kept, m_file);
            m_starter.delete_file(m_built);
            return false;
        }
        m_made = true;
        // A qvo.lib that lies there already is used as it is, and kept.
        std::string library = folder_part(m_file) + std::string(light_mode_library);
        if (!m_starter.file_exists(library) &&
            m_starter.copy_file(m_starter.engine_folder() + std::string(light_mode_library), library))
            m_copied_library = library;
        return true;
    }

private:
    static constexpr std::string_view light_mode_library = "qvo.lib";

    void undo()
    {
        if (!m_made)
            return;
        m_made = false;
        if (!m_copied_library.empty())
            m_starter.delete_file(m_copied_library);
        // A program given up after a cancel may still run from the file: then
        // the script stays under its ".nox" name rather than be lost.
        if (m_starter.delete_file(m_file))
            m_starter.move_file(m_kept, m_file);
    }

    ProgramStarter& m_starter;
    std::string m_file;
    std::string m_built;
    std::string m_kept;
    std::string m_copied_library;
    bool m_made = false;
};

// Parameters: 1 light-mode script file, 2 result variable, 3 arguments, 4 wait.
Result<void> run_light_mode_setup(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    std::string file = program_in_view(executor, TRY(call.text(1)));
    std::string result_variable = TRY(call.result_name(2));
    ShellStartRequest request;
    request.program = file;
    request.arguments = TRY(call.text(3));
    request.wait = TRY(call.flag(4));
    request.folder = folder_part(file);

    ProgramStarter& starter = executor.programs();
    std::optional<std::int32_t> code;
    {
        LightModeSetup setup(starter, file);
        if (!setup.make()) {
            call.store(result_variable, std::to_string(run_code::cannot_start));
            return {};
        }
        FolderChange folder(starter, request.folder);
        code = TRY(run_start(executor, WorkerKind::run_app, worker_text::cancel_at_light_mode_time,
                             [request](ProcessSystem& system, const KeepWaiting& keep_waiting) {
                                 return ShellStart(system, request, keep_waiting);
                             }));
    }
    if (code)
        call.store(result_variable, std::to_string(*code));
    return {};
}

} // namespace

void RegisterRunCommands(HandlerTable& table)
{
    table.add("Run Program", run_program);
    table.add("Run Program As", run_program_as);
    table.add("Run Light Mode Setup", run_light_mode_setup);
}

} // namespace quillon
