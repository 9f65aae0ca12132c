// The script run: from the compile pass to the hand-over to the execution loop,
// and the end of the run.
#pragma once

#include "engine/command_line.h"
#include "engine/messages.h"
#include "engine/engine_host.h"
#include "engine/startup_trace.h"
#include "interp/mscriptexec.h"
#include "script/ScriptImage.h"
#include "vars/VariableManager.h"
#include "vars/predefined.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

struct ScriptRunContext {
    const TScriptImage& script;
    TVariableManager& vars;
    StartupTrace& trace;
    EngineMessages& messages;
    const StartupOptions& options;
    StartupFacts startup; // folders, paths and texts of the start-up
    std::string base_name; // the engine's file name without extension
    ProcessState& process; // what outlives the run
    EngineHost& host; // the engine's objects around the run, with the pages loaded at start-up
};

enum class ScriptRunEnd {
    finished,  // the run went through (or returned early without running a command)
    rejected,  // the compile pass rejected the script: exit code 314
};

struct ScriptRunResult {
    ScriptRunEnd end = ScriptRunEnd::finished;
    std::string message; // the compile pass's message for the log
    std::optional<std::int32_t> exit_code; // set by the script
    bool runtime_error = false;            // a command failed and ended the script
    ScriptOutcome outcome = ScriptOutcome::completed;
};

// The process's exit code when the compile pass rejects a script.
inline constexpr std::uint32_t exit_script_rejected = 314;

ScriptRunResult RunScript(ScriptRunContext& context);

} // namespace quillon
