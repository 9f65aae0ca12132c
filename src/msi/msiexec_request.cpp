#include "msi/msiexec_request.h"

#include "base/strings.h"

#include <vector>

namespace quillon::msi {

Result<MsiExecRequest> ParseMsiExecRequest(std::string_view parameter,
                                           std::string (*expand)(void* context, std::string_view text), void* context)
{
    std::vector<std::string_view> fields;
    while (true) {
        std::size_t bar = parameter.find('|');
        fields.push_back(parameter.substr(0, bar));
        if (bar == std::string_view::npos)
            break;
        parameter.remove_prefix(bar + 1);
    }
    fields.resize(std::max<std::size_t>(fields.size(), 4));
    MsiExecRequest request;
    std::string action = ascii_upper(expand(context, fields[0]));
    if (action != "INSTALL" && action != "UNINSTALL")
        return make_error(ErrorCode::parse,
                          "(Un)Install MSI Setup: the action must be INSTALL or UNINSTALL, not \"" + action + "\"");
    request.install = action == "INSTALL";
    request.package = expand(context, fields[1]);
    if (request.package.empty())
        return make_error(ErrorCode::parse, "(Un)Install MSI Setup: no package is named");
    request.properties = expand(context, fields[2]);
    // The name itself is not expanded: it names the variable that receives the result.
    request.result_variable = std::string(fields[3]);
    return request;
}

bool NamesProductCode(std::string_view package)
{
    return package.size() == 38 && package.front() == '{' && package.back() == '}';
}

std::string MsiExecCommandLine(const MsiExecRequest& request)
{
    if (request.install || NamesProductCode(request.package))
        return request.properties;
    return request.properties.empty() ? "REMOVE=ALL" : "REMOVE=ALL " + request.properties;
}

std::int32_t ProgressPercent(std::int64_t position, std::int64_t total)
{
    if (total <= 0 || position <= 0)
        return 1;
    if (position >= total)
        return 100;
    // Wide enough for any 64-bit position times 100.
    auto percent = static_cast<std::int64_t>(static_cast<__int128>(position) * 100 / total);
    return static_cast<std::int32_t>(std::max<std::int64_t>(1, percent));
}

} // namespace quillon::msi
