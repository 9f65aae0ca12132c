#include "interp/mFileCommands.h"

#include "interp/command_call.h"
#include "interp/file_versions.h"
#include "interp/mscriptexecthread.h"

#include <atomic>
#include <memory>

namespace quillon {

namespace {

constexpr std::string_view true_text = "TRUE";
constexpr std::string_view false_text = "FALSE";

std::string_view boolean_text(bool value)
{
    return value ? true_text : false_text;
}

// Parameters: 1 result variable as written, 2 path, 3 a file (true) or a folder (false).
Result<void> does_file_folder_exist(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    std::string path = ScriptFileView(call.executor()).real(TRY(call.text(2)));
    bool file = TRY(call.flag(3));
    FileSystemAccess& files = call.executor().files();
    call.store(result, boolean_text(file ? files.file_exists(path) : files.folder_exists(path)));
    return {};
}

// Parameters: 1 result variable, 2 a folder on the drive, 3 the space free to the user (true) or the total (false).
Result<void> check_disk_space(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    std::string path = ScriptFileView(call.executor()).real(TRY(call.text(2)));
    bool free_space = TRY(call.flag(3));
    std::optional<DiskSpace> space = call.executor().files().disk_space(path);
    std::uint64_t bytes = !space ? 0 : free_space ? space->free_to_caller : space->total;
    call.store(result, std::to_string(bytes));
    return {};
}

// Parameters: 1 path, optionally after "#READALL\", 2 line variable as written,
// 3 end-of-file variable as written (may be empty).
Result<void> read_from_text_file(CommandCall& call)
{
    std::string path = TRY(call.text(1));
    std::string line_variable = TRY(call.result_name(2));
    std::string end_variable = TRY(call.result_name(3));
    call.ensure_variable(line_variable);
    call.ensure_variable(end_variable);
    bool read_all = path.starts_with(read_all_prefix);
    if (read_all)
        path.erase(0, read_all_prefix.size());

    TScriptExecutor& executor = call.executor();
    OpenTextFile& file = executor.text_file();
    if (!file.open_at(path)) {
        file.close();
        std::optional<std::string> content = executor.files().read_file(ScriptFileView(executor).real(path));
        if (!content) {
            call.store(end_variable, true_text);
            return {};
        }
        file.open(path, std::move(*content));
    }
    if (!file.at_end())
        call.store(line_variable, read_all ? file.read_rest() : file.read_line());
    bool at_end = file.at_end();
    if (at_end)
        file.close();
    call.store(end_variable, boolean_text(at_end));
    return {};
}

// Parameters: 1 path, 2 text, 3 at the top (true) or at the bottom (false).
Result<void> write_to_text_file(CommandCall& call)
{
    std::string path = TRY(call.text(1));
    std::string text = TRY(call.text(2));
    bool top = TRY(call.flag(3));
    TScriptExecutor& executor = call.executor();
    // A later read starts again at the first line of what is written now.
    if (executor.text_file().open_at(path))
        executor.text_file().close();
    std::string real = ScriptFileView(executor).real(path);
    FileSystemAccess& files = executor.files();
    std::optional<std::string> old_content = files.read_file(real);
    // A file that is there but cannot be read (locked, no access) is left as
    // it is: writing the one line in its place would lose its content.
    if (!old_content && files.file_exists(real))
        return {};
    files.replace_file(real, text_file_with(old_content, text, top ? TextPlace::top : TextPlace::bottom));
    return {};
}

FileVersion version_of_file(TScriptExecutor& executor, const std::string& path)
{
    return executor.machine().file_version(ScriptFileView(executor).real(path)).value_or(FileVersion{});
}

// Parameters: 1 path of the file, 2 result variable.
Result<void> get_file_version(CommandCall& call)
{
    std::string path = TRY(call.text(1));
    std::string result = TRY(call.result_name(2));
    call.store(result, version_text(version_of_file(call.executor(), path)));
    return {};
}

// Parameters: 1 result variable as written, 2 the file, 3 compare with another
// file (true) or a version text (false), 4 the other file, 5 the version text.
Result<void> check_file_version(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    FileVersion version = version_of_file(call.executor(), TRY(call.text(2)));
    FileVersion reference{};
    if (TRY(call.flag(3))) {
        reference = version_of_file(call.executor(), TRY(call.text(4)));
    } else {
        std::string text = TRY(call.text(5));
        reference = TRY(version_of_text(text));
    }
    call.store(result, boolean_text(version > reference));
    return {};
}

// The position the walk reports on entering each folder: it lives for the
// process and runs from 0 to 100 again and again, so a progress bar moves.
std::int64_t next_folder_position()
{
    static std::atomic<std::int32_t> counter = 0;
    std::int32_t seen = counter.load(std::memory_order_relaxed);
    while (!counter.compare_exchange_weak(seen, (seen + 1) % 101, std::memory_order_relaxed)) {
    }
    return (seen + 1) % 101;
}

// Parameters: 1 search pattern, 2 recurse, 3 list folders too, 4 result variable.
Result<void> find_all_files(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    std::string result = TRY(call.result_name(4));
    std::string pattern = TRY(call.text(1));
    bool recurse = TRY(call.flag(2));
    bool include_folders = TRY(call.flag(3));

    auto found = std::make_shared<std::vector<std::string>>();
    WorkerRequest request;
    request.kind = WorkerKind::find_files;
    request.cancel_origin = worker_text::cancel_at_find_files_time;
    request.body = [found, pattern, recurse, include_folders, view = ScriptFileView(executor),
                    find = executor.files().folder_finder()](WorkerContext& context) {
        WalkHooks hooks;
        hooks.entered_folder = [&] { context.report_progress(worker_text::keep_text, 0, 100, next_folder_position()); };
        hooks.found_file = [&](const std::string& path) { context.report_progress(path, 0, 0, position_unchanged); };
        hooks.stop_requested = [&] { return context.stop_requested(); };
        *found = CollectFiles(find, view, pattern, recurse, include_folders, hooks);
    };
    WorkerOutcome outcome = TRY(executor.workers().run(executor, std::move(request)));
    if (executor.ended())
        return {};
    // A worker that was given up may still be writing its list: none is read.
    if (outcome.end != WorkerEnd::finished)
        found->clear();
    call.ensure_variable(result);
    call.store(result, delimited_paths(*found));
    return {};
}

// Parameters: 1 search pattern.
Result<void> delete_files_recursive(CommandCall& call)
{
    std::string pattern = TRY(call.text(1));
    DeleteFilesRecursive(call.executor().files(), ScriptFileView(call.executor()), pattern);
    return {};
}

} // namespace

FileView ScriptFileView(TScriptExecutor& executor)
{
    PlatformView view = view_for_mode(executor.platform_mode());
    return FileView(view, view == PlatformView::native ? SystemFolders{} : executor.machine().system_folders());
}

void RegisterFileCommands(HandlerTable& table)
{
    table.add("Does File/Folder Exist", does_file_folder_exist);
    table.add("Check Disk Space", check_disk_space);
    table.add("Read from Text File", read_from_text_file);
    table.add("Write to Text File", write_to_text_file);
    table.add("Get File Version", get_file_version);
    table.add("Check File Version", check_file_version);
    table.add("Find All Files", find_all_files);
    table.add("Delete Files Recursive", delete_files_recursive);
}

} // namespace quillon
