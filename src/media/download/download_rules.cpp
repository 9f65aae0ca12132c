#include "media/download/download_rules.h"

#include "base/strings.h"

#include <algorithm>

namespace quillon::download {

std::optional<Credentials> SplitCredentials(std::string_view location)
{
    std::size_t scheme_end = location.find("://");
    if (scheme_end == std::string_view::npos)
        return std::nullopt;
    std::string_view scheme = location.substr(0, scheme_end);
    if (!equal_ascii_nocase(scheme, "http") && !equal_ascii_nocase(scheme, "https"))
        return std::nullopt;
    std::string_view rest = location.substr(scheme_end + 3);
    std::size_t at = rest.find('@');
    std::size_t colon = rest.find(':');
    std::size_t slash = rest.find('/');
    if (at == std::string_view::npos || colon == std::string_view::npos || slash == std::string_view::npos ||
        colon > at || at > slash)
        return std::nullopt;
    std::string_view user_information = rest.substr(0, at);
    std::size_t split = user_information.find(':');
    Credentials credentials;
    credentials.location = std::string(location.substr(0, scheme_end + 3)) + std::string(rest.substr(at + 1));
    credentials.user = std::string(user_information.substr(0, split));
    credentials.password = std::string(user_information.substr(split + 1));
    return credentials;
}

StartPlan PlanStart(std::uint64_t existing, bool resume)
{
    if (!resume || existing <= resume_overlap)
        return {};
    std::uint64_t keep = existing - resume_overlap;
    return {keep, keep};
}

BodyPlan PlanBody(int status, const StartPlan& start, std::optional<std::uint64_t> content_range_start,
                  std::optional<std::uint64_t> content_range_total, std::optional<std::uint64_t> content_length)
{
    BodyPlan plan;
    if (status < 200 || status >= 300)
        return plan;
    if (status == 206) {
        // Only the range that was asked for may continue the kept bytes.
        if (!start.range_from || !content_range_start || *content_range_start != *start.range_from)
            return plan;
        plan.accept = true;
        plan.write_at = *content_range_start;
        if (content_range_total)
            plan.total = content_range_total;
        else if (content_length)
            plan.total = *content_range_start + *content_length;
        return plan;
    }
    // The whole file, whatever was asked.
    plan.accept = true;
    plan.write_at = 0;
    plan.total = content_length;
    return plan;
}

const std::string& StatusText(const ProgressTexts& texts, int code)
{
    return texts.status[static_cast<std::size_t>(code >= 0 && code <= 33 ? code : 0)];
}

std::string GroupedDigits(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

int Percentage(std::uint64_t received, std::uint64_t total, int last)
{
    if (total == 0)
        return (last + 1) % 101;
    std::uint64_t percentage = received / total >= 1 ? 101 : received * 100 / total + 1;
    return static_cast<int>(std::min<std::uint64_t>(percentage, 100));
}

std::string ProgressText(const ProgressTexts& texts, std::uint64_t received, std::uint64_t total, int percentage)
{
    std::string text = GroupedDigits(received) + " " + texts.bytes_received;
    if (total != 0)
        text += ", " + std::to_string(percentage) + texts.percent_complete;
    return text;
}

bool ReportPace::due(std::uint64_t now_ms, std::uint64_t received, std::uint64_t total)
{
    bool complete = total != 0 && received >= total;
    if (complete || !m_last || now_ms - *m_last >= report_interval_ms) {
        m_last = now_ms;
        m_behind = false;
        return true;
    }
    m_behind = true;
    return false;
}

int ReceiveTimeout(std::string_view value)
{
    return parse_int32(value).value_or(default_receive_timeout);
}

bool IsComplete(std::uint64_t size, std::optional<std::uint64_t> announced)
{
    if (announced)
        return size == *announced;
    return size > 0;
}

} // namespace quillon::download
