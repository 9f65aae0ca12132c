// The file and folder commands that act at once or on a worker: "Does
// File/Folder Exist", "Check Disk Space", "Read from Text File", "Write to
// Text File", "Get File Version", "Check File Version", "Find All Files" and
// "Delete Files Recursive". They reach the disk through the FileSystemAccess
// role, in the view of the platform mode.
#pragma once

#include "interp/file_walk.h"
#include "interp/mscriptexec.h"

namespace quillon {

void RegisterFileCommands(HandlerTable& table);

// The file system as the script's platform mode sees it.
FileView ScriptFileView(TScriptExecutor& executor);

} // namespace quillon
