#include "media/media_workers.h"

#include "base/paths.h"
#include "base/strings.h"
#include "media/archive_library.h"
#include "media/download/download_url.h"
#include "media/media_distribution.h"
#include "media/media_files.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <map>

namespace quillon::media {

namespace {

constexpr std::string_view keep_text = "$IGNORE$";

bool is_folder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring wide_folder(const std::string& folder)
{
    return win32::to_wide(long_path_form(without_backslash(folder)));
}

std::wstring folder_of(const std::wstring& path)
{
    std::size_t last = path.find_last_of(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

std::wstring name_of(const std::wstring& path)
{
    std::size_t last = path.find_last_of(L'\\');
    return last == std::wstring::npos ? path : path.substr(last + 1);
}

std::string percent_text(int percentage, const std::string& complete)
{
    return std::to_string(percentage) + complete;
}

// One file of the setup's media into the cache. A target that is already
// there stays (an earlier, interrupted copy got that far).
bool place_file(const std::wstring& source, const std::wstring& target, const CopyMediaJob& job)
{
    if (!exists(target)) {
        SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (job.keep_sources)
            CopyFileW(source.c_str(), target.c_str(), TRUE);
        else if (!MoveFileW(source.c_str(), target.c_str()))
            CopyFileW(source.c_str(), target.c_str(), TRUE);
        if (job.compress)
            SetCompression(target, true);
    }
    return exists(target);
}

std::wstring lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A member name of the media files list in the script's code page.
std::wstring from_code_page(const std::string& text, std::uint32_t code_page)
{
    if (text.empty())
        return {};
    int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return win32::to_wide(text);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Puts each listed member where the database expects it. Once a move fails
// with names read in the ANSI code page, this one and all later ones are
// tried with the member names read in the script's own code page.
bool distribute(const ExtractMediaJob& job, const std::string& base)
{
    std::map<std::wstring, std::wstring> moved; // lower-case source -> where it went
    bool wide_names = false;
    for (const PlannedMove& move : DistributionPlan(job.media_files, base, job.extraction_folder, job.data_folder)) {
        for (;;) {
            std::wstring source = win32::to_wide(long_path_form(move.source));
            std::wstring target = win32::to_wide(long_path_form(move.target));
            if (wide_names) {
                std::string member_folder = folder_part(move.member);
                source = wide_folder(with_backslash(job.extraction_folder + base) + member_folder) + L"\\" +
                         from_code_page(file_name_part(move.member), job.code_page);
                target = win32::to_wide(long_path_form(folder_part(move.target))) +
                         from_code_page(file_name_part(move.member), job.code_page);
            }
            CreateFolders(folder_of(target), job.compress);
            SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(target.c_str());
            std::wstring key = lower(source);
            // A member listed for several folders was moved by its first entry: copy it back.
            if (!exists(source)) {
                auto earlier = moved.find(key);
                if (earlier != moved.end())
                    CopyFileW(earlier->second.c_str(), source.c_str(), FALSE);
            }
            if (MoveFileW(source.c_str(), target.c_str())) {
                moved[key] = target;
                break;
            }
            if (wide_names)
                return false;
            wide_names = true;
        }
    }
    return true;
}

} // namespace

bool CopyMedia(const CopyMediaJob& job, const WorkerReports& reports)
{
    reports.progress(keep_text, 0);
    std::string source = with_backslash(job.setup_data_folder);
    if (!is_folder(wide_folder(source + "offline")) && !is_folder(wide_folder(source + "mergemod")))
        source = with_backslash(parent_folder(source));

    struct Group {
        std::wstring from;
        std::wstring to;
    };
    const Group groups[] = {
        {wide_folder(source + "offline"), wide_folder(with_backslash(job.data_folder) + "offline")},
        {wide_folder(source + "mergemod"), wide_folder(job.data_folder)},
    };
    std::vector<std::pair<const Group*, std::wstring>> files;
    for (const Group& group : groups)
        for (std::wstring& file : ListFilesBelow(group.from))
            files.emplace_back(&group, std::move(file));

    const std::int64_t count = static_cast<std::int64_t>(files.size());
    for (std::int64_t i = 0; i < count; ++i) {
        const auto& [group, relative] = files[static_cast<std::size_t>(i)];
        int percentage = StepPercentage(i, count);
        reports.progress(keep_text, percentage);
        if (reports.stop_requested())
            return false;
        std::wstring target = group->to + L"\\" + relative;
        if (!CreateFolders(folder_of(target), job.compress))
            return false;
        reports.progress(win32::to_ansi(name_of(relative)) + ", " + percent_text(percentage, job.percent_complete),
                         percentage);
        if (!place_file(group->from + L"\\" + relative, target, job))
            return false;
        reports.wake_main_thread();
    }
    if (!job.copy_web_block.empty() && !job.package_path.empty())
        CopyIfSizeDiffers(job.package_path, with_backslash(job.copy_web_block) + file_name_part(job.package_path),
                          job.compress);
    reports.wake_main_thread();
    return true;
}

bool GrabMedia(const GrabMediaJob& job, const WorkerReports& reports)
{
    if (job.archive.empty())
        return false;
    CreateFolders(folder_part(job.archive), false);
    bool success = false;
    for (const std::string& location : job.locations) {
        download::UrlDownload download;
        download.location = location;
        download.target = job.archive;
        download.proxy_server = job.proxy.server;
        download.proxy_user = job.proxy.user;
        download.proxy_password = job.proxy.password;
        download.proxy_port = static_cast<int>(parse_int32(job.proxy.port).value_or(0));
        download.resume = job.resume;
        download.timeout_seconds = job.timeout_seconds;
        download.texts = job.texts;
        download.progress = [&](int percentage, const std::string& text) {
            reports.progress(job.caption + "\r" + text, percentage);
            return !reports.stop_requested();
        };
        success = DownloadUrl(download).has_value();
        if (success || reports.stop_requested())
            break;
    }
    reports.wake_main_thread();
    return success;
}

ExtractMediaResult ExtractMedia(const ExtractMediaJob& job, const WorkerReports& reports)
{
    ExtractMediaResult result;
    CreateFolders(job.data_folder, job.compress);
    CreateFolders(job.extraction_folder, job.compress);
    Result<void> extracted = [&]() -> Result<void> {
        ArchiveLibrary library = TRY(ArchiveLibrary::load(job.library));
        auto progress = [&](const std::string& member, std::int64_t position, std::int64_t total) {
            int percentage = StepPercentage(position, total);
            reports.progress(job.caption + "\r" + member + ", " + percent_text(percentage, job.percent_complete),
                             percentage);
            reports.wake_main_thread();
            return !reports.stop_requested();
        };
        return library.ExtractWholeArchive(job.archive, job.password, job.extraction_folder, progress, true, true);
    }();
    if (!extracted) {
        result.error = extracted.error().message;
        result.cannot_open = result.error == archive_cannot_open_text;
    } else {
        if (!job.copy_web_block.empty())
            CopyIfSizeDiffers(job.archive, with_backslash(job.copy_web_block) + file_name_part(job.archive),
                              job.compress);
        if (!job.local) {
            std::wstring archive = win32::to_wide(long_path_form(job.archive));
            SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(archive.c_str());
        }
        std::string base = without_extension(file_name_part(job.archive));
        result.success =
            distribute(job, base) && TransferTree(with_backslash(job.extraction_folder) + base,
                                                  with_backslash(job.data_folder) + base, true, job.compress);
    }
    RemoveDirectoryW(wide_folder(job.extraction_folder).c_str());
    reports.wake_main_thread();
    return result;
}

} // namespace quillon::media
