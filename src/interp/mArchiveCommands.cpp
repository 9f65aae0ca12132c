#include "interp/mArchiveCommands.h"

#include "interp/command_call.h"
#include "interp/mscriptexecthread.h"

#include <algorithm>
#include <memory>

namespace quillon {

namespace {

constexpr std::string_view success_word = "SUCCESS";

// Parameters: 1 archive, 2 target folder (paths), 3 result variable as
// written, 4 password, 5 overwrite existing files, 6 keep the members' folders.
Result<void> extract_7zip_archive(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();

    ArchiveExtraction job;
    job.archive = TRY(call.text(1));
    job.target_folder = TRY(call.text(2));
    std::string result_variable = TRY(call.result_name(3));
    job.password = TRY(call.text(4));
    job.overwrite = TRY(call.flag(5));
    job.keep_paths = TRY(call.flag(6));

    struct Shared {
        Result<void> result;
    };
    auto shared = std::make_shared<Shared>();
    WorkerRequest request;
    request.kind = WorkerKind::direct_extract;
    request.cancel_origin = worker_text::cancel_at_extract_7zip_time;
    request.body = [job, shared, extractor = executor.worker_services().archive_extractor(),
                    complete = executor.ui().engine_text(EngineText::percent_complete)](WorkerContext& context) {
        if (!extractor) {
            shared->result = make_error(ErrorCode::not_found, "The archive library could not be loaded");
            return;
        }
        shared->result = extractor(job, [&](const std::string& member, std::int64_t position, std::int64_t total) {
            std::int64_t percent = total > 0 ? std::min<std::int64_t>(position * 100 / total + 1, 100) : 100;
            context.report_progress(member + ", " + std::to_string(percent) + complete, 0, 100, percent);
            return !context.stop_requested();
        });
    };
    Result<WorkerOutcome> outcome = executor.workers().run(executor, std::move(request));
    TRY(outcome);
    if (executor.ended())
        return {};
    if (outcome->end != WorkerEnd::finished)
        shared->result = make_error(ErrorCode::cancelled, "Setup cancelled");
    call.store(result_variable, shared->result ? success_word : std::string_view(shared->result.error().message));
    return {};
}

} // namespace

void RegisterArchiveCommands(HandlerTable& table)
{
    table.add("Extract 7Zip Archive", extract_7zip_archive);
}

} // namespace quillon
