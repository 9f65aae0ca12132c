#include "interp/web_server.h"

#include "interp/mscriptexec.h"
#include "vars/VariableManager.h"
#include "vars/reserved_names.h"

namespace quillon {

namespace {

constexpr std::uint64_t last_adsi_level = 69;

} // namespace

std::optional<std::uint64_t> web_server_level(SystemInformation& machine)
{
    auto major =
        machine.registry_number(RegistryRoot::local_machine, web_server_key, "MajorVersion", RegistryAccess::plain);
    auto minor =
        machine.registry_number(RegistryRoot::local_machine, web_server_key, "MinorVersion", RegistryAccess::plain);
    if (!major || !minor)
        return std::nullopt;
    return std::uint64_t{*major} * 10 + *minor;
}

WebServerBackEnd web_server_back_end(std::optional<std::uint64_t> level)
{
    return level && *level > last_adsi_level ? WebServerBackEnd::iis7_library : WebServerBackEnd::adsi;
}

std::int32_t first_free_site_index(const std::function<bool(std::int32_t)>& site_exists)
{
    for (std::int32_t index = 1; index <= last_site_index; ++index)
        if (!site_exists(index))
            return index;
    return -1;
}

WebServerTarget web_server_target(TScriptExecutor& executor)
{
    return {web_server_back_end(web_server_level(executor.machine())), executor.vars().GetValue(var::iis_host),
            executor.vars().GetValue(var::support_dir)};
}

} // namespace quillon
