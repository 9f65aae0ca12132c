#include "interp/mInstallerCommands.h"

#include "interp/command_call.h"

namespace quillon {

namespace {

constexpr std::string_view installed_origin = "MsiQueryProductState";

// Parameters: 1 product code (path form), 2 result variable as written.
Result<void> is_msi_setup_installed(CommandCall& call)
{
    std::string product_code = TRY(call.text(1));
    std::string result = TRY(call.result_name(2));
    bool installed = TRY(call.executor().system().product_installed(product_code));
    call.store(result, installed ? "TRUE" : "FALSE", installed_origin);
    return {};
}

} // namespace

void RegisterInstallerCommands(HandlerTable& table)
{
    table.add("Is MSI Setup Installed", is_msi_setup_installed);
}

} // namespace quillon
