#include "engine/media_services.h"

#include "base/paths.h"
#include "base/scope_exit.h"
#include "base/strings.h"
#include "engine/engine_cache.h"
#include "engine/media_dialogs.h"
#include "interp/mscriptexec.h"
#include "interp/mscriptexecthread.h"
#include "media/download/download_url.h"
#include "media/media_files.h"
#include "media/media_workers.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "vars/mEval.h"
#include "vars/reserved_names.h"
#include "vars/texts.h"

#include <windows.h>

#include <memory>

namespace quillon {

namespace {

constexpr std::string_view cache_sources_constant = "CACHESOURCES";

bool variable_true(const TVariableManager& vars, std::string_view name)
{
    return text_is_true(GetVar(vars, name));
}

// How a media worker reports, through its gate.
media::WorkerReports reports_of(WorkerContext& context)
{
    return {
        [&context](std::string_view text, std::int64_t percentage) {
            context.report_progress(text, 0, 100, percentage);
        },
        [&context] { return context.stop_requested(); },
        [&context] { context.wake_main_thread(); },
    };
}

std::string long_form(const std::string& path)
{
    std::wstring wide = win32::to_wide(path);
    DWORD length = GetLongPathNameW(wide.c_str(), nullptr, 0);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    length = GetLongPathNameW(wide.c_str(), full.data(), length);
    full.resize(length);
    return win32::to_ansi(full);
}

} // namespace

std::string CachedDataFolder(const TVariableManager& vars, bool all_users, const std::string& revision_code)
{
    std::string root =
        CacheRoot(all_users, GetVar(vars, var::override_cache), GetVar(vars, var::product_code), revision_code);
    return root + revision_code + "\\";
}

class WindowsMediaServices::Place : public media::MediaPlace {
public:
    Place(const TScriptImage& script, TVariableManager& vars) : m_script(script), m_vars(vars) {}

    std::string data_folder() override
    {
        if (m_script.media_mode() != fetched_media_mode)
            return with_backslash(GetVar(m_vars, var::data_dir));
        return CachedDataFolder(m_vars, variable_true(m_vars, var::all_users), m_script.revision_code());
    }
    bool removing() override { return variable_true(m_vars, var::remove); }
    std::string local_archive_folder() override
    {
        std::string sfx = GetVar(m_vars, var::sfx_path);
        return sfx.empty() ? GetVar(m_vars, var::exe_dir) : sfx;
    }
    std::string temporary_folder() override
    {
        wchar_t path[MAX_PATH + 1] = L"";
        DWORD length = GetTempPathW(MAX_PATH + 1, path);
        return with_backslash(length > 0 && length <= MAX_PATH ? win32::to_ansi(path) : std::string("C:\\"));
    }
    bool folder_exists(const std::string& folder) override
    {
        DWORD attributes = GetFileAttributesW(wide(without_backslash(folder)).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    bool file_exists(const std::string& path) override
    {
        DWORD attributes = GetFileAttributesW(wide(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    void clear_folder(const std::string& folder) override { media::ClearFolderThrice(folder); }
    void remove_folder(const std::string& folder) override
    {
        RemoveDirectoryW(wide(without_backslash(folder)).c_str());
    }
    void create_folder(const std::string& folder) override { media::CreateFolders(folder, compress()); }
    void create_marker(const std::string& path) override
    {
        HANDLE file =
            CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    void delete_file(const std::string& path) override
    {
        std::wstring name = wide(path);
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(name.c_str());
    }
    std::vector<std::string> subfolders(const std::string& folder) override { return media::SubfolderNames(folder); }
    bool move_tree(const std::string& source, const std::string& target) override
    {
        return media::TransferTree(source, target, true, compress());
    }

    bool compress() const { return variable_true(m_vars, var::compress_installer_cache); }

private:
    static std::wstring wide(const std::string& path) { return win32::to_wide(long_path_form(path)); }

    const TScriptImage& m_script;
    TVariableManager& m_vars;
};

class WindowsMediaServices::Workers : public media::MediaWorkers {
public:
    Workers(WindowsMediaServices& services, TScriptExecutor& executor, Place& place)
        : m_services(services), m_executor(executor), m_place(place)
    {
    }

    bool copy_media(const std::string& data_folder) override
    {
        const TScriptImage& script = m_services.m_script;
        TVariableManager& vars = m_services.m_vars;
        media::CopyMediaJob job;
        job.setup_data_folder = folder_part(m_services.m_location.exe_file) + "data\\";
        job.data_folder = data_folder;
        std::optional<std::string> cache_sources = script.BuildConstant(cache_sources_constant);
        job.keep_sources =
            cache_sources && ansi_upper(*cache_sources) == "TRUE" && script.media_mode() == fetched_media_mode;
        job.compress = m_place.compress();
        job.copy_web_block = GetVar(vars, var::copy_web_block);
        job.package_path = long_form(with_backslash(GetVar(vars, var::sfx_path)) + GetVar(vars, var::sfx_file));
        job.percent_complete = m_services.m_messages.text(MessageLine::percent_complete);
        return run(WorkerKind::copy_media,
                   [job](WorkerContext& context) { return media::CopyMedia(job, reports_of(context)); });
    }

    bool download(const media::WebMediaState& state, const std::string& caption) override
    {
        const EngineMessages& messages = m_services.m_messages;
        media::GrabMediaJob job;
        job.locations = state.block.locations;
        job.archive = state.block.archive_path;
        job.proxy = state.proxy;
        job.resume = state.resume;
        job.caption = caption;
        job.timeout_seconds = m_executor.process().timeout_seconds;
        job.texts.bytes_received = messages.text(MessageLine::bytes_received);
        job.texts.percent_complete = messages.text(MessageLine::percent_complete);
        for (std::size_t code = 0; code < job.texts.status.size(); ++code)
            job.texts.status[code] = messages.text(
                static_cast<MessageLine>(static_cast<int>(MessageLine::binding_status_first) + static_cast<int>(code)));
        return run(WorkerKind::grab_media,
                   [job](WorkerContext& context) { return media::GrabMedia(job, reports_of(context)); });
    }

    media::ExtractOutcome extract(const std::string& archive, bool local, const std::string& password,
                                  const std::string& data_folder, const std::string& caption) override
    {
        const TScriptImage& script = m_services.m_script;
        media::ExtractMediaJob job;
        job.library = folder_part(m_services.m_location.exe_file) + "qvo.lib";
        job.archive = archive;
        job.local = local;
        job.password = password;
        job.data_folder = data_folder;
        job.extraction_folder = m_place.temporary_folder() + std::string(media::extraction_folder_name);
        job.caption = caption;
        job.percent_complete = m_services.m_messages.text(MessageLine::percent_complete);
        job.copy_web_block = GetVar(m_services.m_vars, var::copy_web_block);
        job.media_files = script.media_files();
        job.code_page = static_cast<std::uint32_t>(script.code_page());
        job.compress = m_place.compress();
        auto result = std::make_shared<media::ExtractMediaResult>();
        bool finished = run(WorkerKind::extract_media, [job, result](WorkerContext& context) {
            *result = media::ExtractMedia(job, reports_of(context));
            return result->success;
        });
        if (!finished)
            return {};
        return {result->success, result->cannot_open};
    }

    bool light_transport() override { return download::current_transport() == download::Transport::light; }
    bool cancelled() override { return variable_true(m_services.m_vars, var::is_cancelled); }
    void mark_cancelled(std::string_view origin) override
    {
        SetVar(m_services.m_vars, var::is_cancelled, "TRUE", origin);
    }

private:
    // Runs the body on the worker of its kind and waits with the cancel
    // protocol; a worker given up after a cancel counts as failed.
    template <typename Body>
    bool run(WorkerKind kind, Body body)
    {
        auto success = std::make_shared<bool>(false);
        WorkerRequest request;
        request.kind = kind;
        request.apply_cancel_rules = false;
        request.body = [body = std::move(body), success](WorkerContext& context) { *success = body(context); };
        Result<WorkerOutcome> outcome = m_executor.workers().run(m_executor, std::move(request));
        return outcome && outcome->end == WorkerEnd::finished && *success;
    }

    WindowsMediaServices& m_services;
    TScriptExecutor& m_executor;
    Place& m_place;
};

class WindowsMediaServices::Questions : public media::MediaQuestions {
public:
    explicit Questions(WindowsMediaServices& services) : m_services(services) {}

    bool silent() override { return m_services.m_switches.silent; }
    std::optional<media::ResumeChoice> ask_resume() override
    {
        return AskResumeOrNewCopy(host()).value_or(std::nullopt);
    }
    std::optional<media::ProxySettings> ask_proxy(const media::ProxySettings& current) override
    {
        return AskRetryThroughProxy(host(), current).value_or(std::nullopt);
    }
    std::optional<media::ExtractChoice> ask_extract_failure() override
    {
        return AskDownloadOrExtract(host()).value_or(std::nullopt);
    }

private:
    // Over the page on the screen, when there is one.
    MediaDialogHost host() const
    {
        auto window = reinterpret_cast<HWND>(
            static_cast<std::uintptr_t>(parse_int64(GetVar(m_services.m_vars, var::window_handle)).value_or(0)));
        if (window != nullptr && !IsWindow(window))
            window = nullptr;
        return MediaDialogHost{m_services.m_messages, window, &m_services.m_shell};
    }

    WindowsMediaServices& m_services;
};

Result<void> WindowsMediaServices::set_web_media_block(const std::string& name, const std::string& locations)
{
    std::string password = TRY(m_script.web_media_password(name));
    Place place(m_script, m_vars);
    media::SetWebMediaBlock(m_state, name, locations, place.data_folder(), std::move(password));
    return {};
}

Result<void> WindowsMediaServices::fetch_media(TScriptExecutor& executor, const std::string& folder)
{
    Place place(m_script, m_vars);
    Workers workers(*this, executor, place);
    Questions questions(*this);
    media::FetchTexts texts;
    texts.copy_failed = m_messages.text(MessageLine::media_copy_failed);
    texts.downloading = m_messages.text(MessageLine::downloading_web_media);
    texts.download_failed = m_messages.text(MessageLine::media_download_failed);
    texts.extracting = m_messages.text(MessageLine::extracting_web_media);
    texts.extract_failed = m_messages.text(MessageLine::media_extract_failed);
    // The pages refresh their progress controls while a fetch runs.
    executor.workers().set_busy(true);
    ScopeExit idle([&executor] { executor.workers().set_busy(false); });
    Result<void> fetched =
        media::FetchMedia(folder, m_script.revision_code(), m_state, texts, {place, workers, questions});
    // The commands find their media below DATADIR: it names the folder the fetch
    // used (it moves with ALLUSERS and with a cache override).
    if (m_script.media_mode() == fetched_media_mode && !m_state.fetched_data_folder.empty())
        SetVar(m_vars, var::data_dir, m_state.fetched_data_folder, origin::bootstrap);
    return fetched;
}

} // namespace quillon
