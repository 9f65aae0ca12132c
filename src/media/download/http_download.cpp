#include "media/download/http_download.h"

#include "platform/win32/http_client.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <filesystem>

namespace quillon::download {

namespace {

std::unexpected<Error> file_error(const std::string& what, const std::string& path)
{
    DWORD code = GetLastError();
    return make_error(ErrorCode::io, what + " " + path, code);
}

} // namespace

Result<void> DownloadWithHttp(const HttpDownload& download)
{
    win32::HttpRequest request;
    request.url = download.location;
    if (std::optional<Credentials> credentials = SplitCredentials(download.location)) {
        request.url = credentials->location;
        request.user = credentials->user;
        request.password = credentials->password;
    }
    if (!download.proxy.empty())
        request.proxy = download.proxy + (download.proxy_port > 0 ? ":" + std::to_string(download.proxy_port) : "");
    request.proxy_user = download.proxy_user;
    request.proxy_password = download.proxy_password;
    request.timeout_ms = download.timeout_ms;

    std::wstring target = win32::to_wide(download.target);
    std::error_code missing; // no file yet: nothing to resume
    std::uintmax_t existing = std::filesystem::file_size(std::filesystem::path(target), missing);
    StartPlan start = PlanStart(missing ? 0 : existing, download.resume);
    request.range_from = start.range_from;
    win32::UniqueFile file(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return file_error("Cannot open the download target", download.target);

    BodyPlan plan;
    int status = 0;
    std::uint64_t received = 0;
    int percentage = 0;
    std::optional<Error> write_failure;
    auto on_head = [&](const win32::HttpHead& head) {
        status = head.status;
        plan = PlanBody(head.status, start, head.range_start, head.range_total, head.content_length);
        if (!plan.accept)
            return false;
        // The body goes where the answer says; whatever lies behind is cut off.
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(plan.write_at);
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
            write_failure = file_error("Cannot prepare", download.target).error();
            return false;
        }
        received = plan.write_at;
        return true;
    };
    auto on_body = [&](std::string_view block) {
        DWORD written = 0;
        if (!WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) ||
            written != block.size()) {
            write_failure = file_error("Cannot write", download.target).error();
            return false;
        }
        received += block.size();
        std::uint64_t total = plan.total.value_or(0);
        percentage = Percentage(received, total, percentage);
        return !download.progress ||
               download.progress(percentage, ProgressText(download.texts, received, total, percentage));
    };
    Result<win32::HttpHead> head = win32::http_get(request, on_head, on_body);
    if (write_failure)
        return std::unexpected(*write_failure);
    if (status != 0 && !plan.accept)
        return make_error(ErrorCode::not_found,
                          "The server answered " + std::to_string(status) + " for " + request.url);
    if (!head)
        return std::unexpected(head.error());
    if (!IsComplete(received, plan.total))
        return make_error(ErrorCode::corrupt,
                          "The download of " + request.url + " ended after " + std::to_string(received) + " bytes");
    return {};
}

} // namespace quillon::download
