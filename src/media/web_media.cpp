#include "media/web_media.h"

#include "base/paths.h"
#include "base/strings.h"

#include <algorithm>
#include <ranges>

namespace quillon::media {

namespace {

std::vector<std::string> location_lines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            lines.emplace_back(line);
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

std::unexpected<Error> raise(const std::string& text)
{
    return make_error(ErrorCode::io, text);
}

// Partially fetched folders never stay: a later fetch must start clean.
void discard_folder(MediaPlace& place, const std::string& folder)
{
    place.clear_folder(folder);
    place.remove_folder(folder);
}

// When ALLUSERS changed since the last fetch, the folders fetched so far move
// to the new data folder, so that nothing is fetched twice.
std::string relocated_data_folder(MediaPlace& place, WebMediaState& state)
{
    std::string data = place.data_folder();
    const std::string old = state.fetched_data_folder;
    if (!old.empty() && !equal_nocase(old, data) && place.folder_exists(old)) {
        place.create_folder(data);
        std::vector<std::string> names = place.subfolders(old);
        for (const std::string& name : names | std::views::reverse)
            place.move_tree(with_backslash(old + name), with_backslash(data + name));
    }
    state.fetched_data_folder = data;
    return data;
}

Result<void> copy_offline(const std::string& data, std::string_view folder, std::string_view revision_code,
                          const FetchTexts& texts, FetchRoles roles)
{
    std::string target = data + std::string(folder);
    roles.place.create_folder(target);
    if (!roles.workers.copy_media(data)) {
        discard_folder(roles.place, target);
        return raise(texts.copy_failed);
    }
    roles.place.create_folder(target);
    roles.place.create_marker(target + std::string(revision_code));
    return {};
}

enum class BlockEnd { done, fetch_again };

// Downloads the block's archive until it arrives or the user gives up.
Result<void> download_archive(WebMediaState& state, const std::string& caption, const FetchTexts& texts,
                              FetchRoles roles)
{
    while (!roles.workers.download(state, caption)) {
        // A cancel during the download is the user's answer already.
        if (roles.workers.cancelled() || roles.questions.silent())
            return raise(texts.download_failed);
        if (roles.workers.light_transport()) {
            std::optional<ResumeChoice> choice = roles.questions.ask_resume();
            if (!choice)
                return raise(texts.download_failed);
            state.resume = *choice == ResumeChoice::resume;
        } else {
            std::optional<ProxySettings> proxy = roles.questions.ask_proxy(state.proxy);
            if (!proxy)
                return raise(texts.download_failed);
            state.proxy = std::move(*proxy);
        }
    }
    return {};
}

Result<BlockEnd> fetch_block(const std::string& data, std::string_view folder, std::string_view revision_code,
                             WebMediaState& state, const FetchTexts& texts, FetchRoles roles)
{
    MediaPlace& place = roles.place;
    const std::string shown_name = without_backslash(folder);
    std::string archive = state.block.archive_path;
    bool local = false;
    if (!archive.empty()) {
        std::string beside = with_backslash(place.local_archive_folder()) + file_name_part(archive);
        const auto& rejected = state.rejected_local_archives;
        if (place.file_exists(beside) && std::ranges::find(rejected, ansi_upper(beside)) == rejected.end()) {
            archive = beside;
            local = true;
        }
    }
    if (!local)
        TRY(download_archive(state, texts.downloading + shown_name, texts, roles));

    const std::string target = data + std::string(folder);
    place.create_folder(target);
    place.create_folder(place.temporary_folder() + std::string(extraction_folder_name));
    int attempts = 0;
    for (;;) {
        ExtractOutcome outcome =
            roles.workers.extract(archive, local, state.block.password, data, texts.extracting + shown_name);
        if (outcome.success)
            break;
        bool cancelled = roles.workers.cancelled();
        discard_folder(place, target);
        if (outcome.cannot_open && !cancelled && ++attempts <= silent_extraction_retries)
            continue;
        if (cancelled)
            return raise(texts.extract_failed);
        std::optional<ExtractChoice> choice;
        if (!roles.questions.silent())
            choice = roles.questions.ask_extract_failure();
        if (!choice) {
            roles.workers.mark_cancelled(extract_failure_cancel_origin);
            return raise(texts.extract_failed);
        }
        if (*choice == ExtractChoice::download) {
            if (local)
                state.rejected_local_archives.push_back(ansi_upper(archive));
            else
                place.delete_file(archive);
            state.resume = false;
            return BlockEnd::fetch_again;
        }
    }
    if (!place.folder_exists(target))
        place.create_folder(target);
    place.create_marker(target + std::string(revision_code));
    return BlockEnd::done;
}

} // namespace

void SetWebMediaBlock(WebMediaState& state, std::string_view name, std::string_view locations,
                      std::string_view data_folder, std::string password)
{
    state.block.name = std::string(name);
    state.block.locations = location_lines(locations);
    state.block.archive_path = std::string(data_folder) + std::string(name) + ".7zip";
    state.block.password = std::move(password);
}

Result<void> FetchMedia(std::string_view folder, std::string_view revision_code, WebMediaState& state,
                        const FetchTexts& texts, FetchRoles roles)
{
    MediaPlace& place = roles.place;
    for (;;) {
        const std::string data = relocated_data_folder(place, state);
        if (place.removing())
            return {};
        const std::string target = data + std::string(folder);
        if (place.folder_exists(target)) {
            if (place.file_exists(target + std::string(revision_code)))
                return {};
            place.clear_folder(target);
        }
        if (equal_nocase(folder, offline_folder))
            return copy_offline(data, folder, revision_code, texts, roles);
        BlockEnd end = TRY(fetch_block(data, folder, revision_code, state, texts, roles));
        if (end == BlockEnd::done)
            return {};
    }
}

} // namespace quillon::media
