#include "interp/mArchiveCommands.h"
#include "interp/mComponents.h"
#include "interp/mDialogCommands.h"
#include "interp/mDotNetCommands.h"
#include "interp/mFileCommands.h"
#include "interp/mInstallerCommands.h"
#include "interp/mMediaCommands.h"
#include "interp/mRecordedCommands.h"
#include "interp/mRegistryCommands.h"
#include "interp/mRunCommands.h"
#include "interp/mMessageCommands.h"
#include "interp/mProcessCommands.h"
#include "interp/mSystemCommands.h"
#include "interp/mTerminate.h"
#include "interp/mVarCommands.h"
#include "interp/mWebServerCommands.h"
#include "interp/mscriptexec.h"

namespace quillon {

namespace {

// The last of the three flags that is exactly "TRUE" wins; none leaves the mode as it is.
Result<void> set_64_bit_mode(CommandCall& call)
{
    static constexpr const char* modes[] = {"Win32", "ia64", "x64"};
    std::string mode = call.executor().platform_mode();
    for (std::size_t k = 1; k <= 3; ++k)
        if (TRY(call.flag(k)))
            mode = modes[k - 1];
    call.executor().set_platform_mode(std::move(mode));
    return {};
}

Result<void> wizard_loop(CommandCall& call)
{
    call.executor().start_wizard();
    return {};
}

Result<void> goto_label(CommandCall& call)
{
    return call.executor().goto_label(TRY(call.text(1)));
}

} // namespace

HandlerTable StandardHandlers()
{
    HandlerTable table;
    table.add("Wizard Loop", wizard_loop);
    table.add("GoTo Label", goto_label);
    table.add("Set 64 Bit Mode", set_64_bit_mode);
    RegisterTerminationCommands(table);
    RegisterVariableCommands(table);
    RegisterComponentCommands(table);
    RegisterMessageCommands(table);
    RegisterDialogCommands(table);
    RegisterArchiveCommands(table);
    RegisterMediaCommands(table);
    RegisterInstallerCommands(table);
    RegisterRecordedCommands(table);
    RegisterDotNetCommands(table);
    RegisterSystemCommands(table);
    RegisterProcessCommands(table);
    RegisterFileCommands(table);
    RegisterRegistryCommands(table);
    RegisterRunCommands(table);
    RegisterWebServerCommands(table);
    return table;
}

} // namespace quillon
