#include "vars/predefined.h"
#include "base/paths.h"
#include "vars/reserved_names.h"

#include "vars/texts.h"

#include <initializer_list>
#include <utility>

namespace quillon {

namespace {

const char* boolean_text(bool value)
{
    return value ? "TRUE" : "FALSE";
}

} // namespace

void seed_thread_state(TVariableManager& vars, std::uint32_t tick_count)
{
    const std::string tick = std::to_string(tick_count);
    for (const auto& [name, value] : std::initializer_list<std::pair<std::string_view, std::string_view>>{
             {var::thread_progress, "0"},
             {var::thread_maximum, "100"},
             {var::thread_minimum, "0"},
             {var::thread_progress_text, ""},
             {var::thread_finished, "FALSE"},
             {var::thread_cancelled, "FALSE"},
             {var::is_cancelled, "FALSE"},
             {var::last_delegate_tick, tick},
             {var::last_active_tick, tick},
         })
        vars.Add(name, value);
}

void seed_pre_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine,
                             std::string_view default_target_dir)
{
    DefineVar(vars, var::target_dir, default_target_dir, origin::pre_initialization);
    DefineVar(vars, var::start_menu, startup.product_title, origin::pre_initialization);
    DefineVar(vars, var::all_users, boolean_text(machine.all_users), origin::pre_initialization);
}

void seed_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine)
{
    auto define = [&](std::string_view name, std::string_view value) {
        DefineVar(vars, name, value, origin::initialization);
    };
    define(var::timeout, "10");
    define(var::compress_installer_cache, "TRUE");
    define("KYRT_DISABLE_ROLLBACK", "FALSE");
    define("KYRT_DISABLE_VISTA_RESTART_MANAGER", "FALSE");
    define(var::iis_host, "localhost");
    if (!VarExists(vars, var::override_cache))
        define(var::override_cache, "");
    define(var::logo, "");
    define("SELECTED", "0");
    define(var::window_handle, "0");
    define(var::exe_file, startup.exe_file);
    define(var::exe_dir, folder_part(startup.exe_file));
    define(var::progress_text, "");
    define(var::progress_mode, "");
    define(var::abort, "FALSE");
    define(var::progress, "0");
    define(var::last_error, "");
    define("LICENSE", "FALSE");
    define(var::user_name, machine.registered_owner);
    define(var::user_company, machine.registered_organization);
    define(var::copy_web_block, "");
    define("REBOOTCOMPUTER", "FALSE");
    define("RUNAPP", "TRUE");
    define(var::wizard, "NEXT");
    define(var::version, startup.product_version);
    define(var::silent, boolean_text(startup.silent));
    define(var::logged, startup.log_file);
    define(var::command_line, startup.command_tail);
    define("REBOOTNOW", "OK");
    define(var::sfx_path, folder_part(startup.package_path));
    define(var::sfx_file, file_name_part(startup.package_path));
    define("GPOPATH", folder_part(startup.group_policy_path));
    define("COMPLETE", "TRUE");
    define("NEWLINE", vars_text::crlf);
    define("MINIMUM", "FALSE");
    define("PERSONALIZED", "FALSE");
    define("MODIFY", "TRUE");
    define("REPAIR", "FALSE");
    define(var::remove, "FALSE");
    define(var::root_dir, startup.engine_folder);
    define(var::title, startup.product_title);
    define(var::company, startup.publisher);
    define("ADVERTISE", "FALSE");
    define(var::date, machine.date);
    define(var::time, machine.time);
    define(var::temp_dir, startup.temp_folder);
    define(var::abort_on_error, "TRUE");
    define(var::aborted_on_error, "FALSE");
    define(var::save_data, "FALSE");
    define(var::support_dir, startup.support_folder);
    define(var::msi_file, startup.database_path);
    define(var::language, "");
}

std::string StandardCaption(std::string_view title, bool branded, std::string_view wizard_word)
{
    if (branded)
        return std::string(title);
    std::string caption;
    if (!title.empty()) {
        caption.assign(title);
        caption += " - ";
    }
    caption += "Quillon";
    caption += wizard_word;
    return caption;
}

std::string StandardCaption(const TVariableManager& vars, std::string_view wizard_word)
{
    return StandardCaption(GetVar(vars, var::title), GetVar(vars, var::logo) == "TRUE", wizard_word);
}

} // namespace quillon
