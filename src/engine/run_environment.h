// The run around the execution loop on Windows: the message pump, the
// switches read back before every command (log file, silent flag, DATE and
// TIME, LANGUAGE), the modeless progress page and the translation of script
// texts.
#pragma once

#include "engine/cache_override.h"
#include "engine/engine_cache.h"

#include "dialogs/uDlgAPI.h"
#include "engine/engine_language.h"
#include "engine/startup_trace.h"
#include "interp/executor_roles.h"
#include "vars/VariableManager.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

// The switches of the run as last read back; the other roles read them.
struct RunSwitches {
    bool silent = false;
};

class WindowsRunEnvironment : public RunEnvironment {
public:
    WindowsRunEnvironment(TVariableManager& vars, StartupTrace& trace, RunSwitches& switches, EngineLanguage& language,
                          TDialogRuntime& dialogs, CacheVariables cache);

    void pump_messages() override;
    Result<void> refresh_switches() override;
    bool progress_dialog_shown() override;
    void update_progress_dialog(const std::string& text, std::int32_t value) override;
    bool language_set() const override;
    Result<std::string> translate(const std::string& text, std::string_view key, std::size_t ordinal) override;

    // The cache root last taken over (the command line's before the first
    // command, the script's before the command after it set one).
    CacheOverride& cache_override() { return m_override; }
    // Runs when a new root was taken over between commands: the bootstrap
    // again, so that the data below the new root come into the run.
    void on_cache_override(std::function<void()> rebootstrap) { m_rebootstrap = std::move(rebootstrap); }

private:
    TVariableManager& m_vars;
    StartupTrace& m_trace;
    RunSwitches& m_switches;
    EngineLanguage& m_language;
    TDialogRuntime& m_dialogs;
    CacheOverride m_override;
    std::function<void()> m_rebootstrap;
    CacheVariables m_cache;
    std::string m_log_file;
    // DATE and TIME as last formatted, and the second they were formatted for.
    std::string m_date;
    std::string m_time;
    std::array<std::uint16_t, 8> m_formatted_at{}; // a SYSTEMTIME
    std::uint64_t m_clock_tick = 0;
};

} // namespace quillon
