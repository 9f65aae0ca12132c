#include "interp/mArchiveCommands.h"
#include "interp/mComponents.h"
#include "interp/mDialogCommands.h"
#include "interp/mMessageCommands.h"
#include "interp/mTerminate.h"
#include "interp/mVarCommands.h"
#include "interp/mscriptexec.h"

namespace quillon {

namespace {

// The last of the three flags that is exactly "TRUE" wins; none leaves the mode as it is.
Result<void> set_64_bit_mode(CommandCall& call)
{
    static constexpr const char* modes[] = {"Win32", "ia64", "x64"};
    std::string mode = call.executor().platform_mode();
    for (std::size_t k = 1; k <= 3; ++k)
        if (TRY(call.exactly_true(k)))
            mode = modes[k - 1];
    call.executor().set_platform_mode(std::move(mode));
    return {};
}

} // namespace

HandlerTable StandardHandlers()
{
    HandlerTable table;
    table.add("Set 64 Bit Mode", set_64_bit_mode);
    RegisterTerminationCommands(table);
    RegisterVariableCommands(table);
    RegisterComponentCommands(table);
    RegisterMessageCommands(table);
    RegisterDialogCommands(table);
    RegisterArchiveCommands(table);
    return table;
}

} // namespace quillon
