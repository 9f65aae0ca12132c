#include "vars/predefined.h"

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
             {"KYRT_thProgress", "0"},
             {"KYRT_thMax", "100"},
             {"KYRT_thMin", "0"},
             {"KYRT_thProgressText", ""},
             {"KYRT_thFinished", "FALSE"},
             {"KYRT_thCancelled", "FALSE"},
             {"KYRT_IsCancelled", "FALSE"},
             {"KYRT_LastDelegateTick", tick},
             {"KYRT_LastActiveTick", tick},
         })
        vars.Add(name, value);
}

void seed_pre_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine,
                             std::string_view default_target_dir)
{
    DefineVar(vars, "TARGETDIR", default_target_dir, origin::pre_initialization);
    DefineVar(vars, "STARTMENU", startup.product_title, origin::pre_initialization);
    DefineVar(vars, "ALLUSERS", boolean_text(machine.all_users), origin::pre_initialization);
}

std::string folder_of(std::string_view path)
{
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string file_name_of(std::string_view path)
{
    std::size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void seed_initialization(TVariableManager& vars, const StartupFacts& startup, const MachineFacts& machine)
{
    auto define = [&](std::string_view name, std::string_view value) {
        DefineVar(vars, name, value, origin::initialization);
    };
    define("KYRT_TIMEOUT", "10");
    define("KYRT_COMPRESS_INSTALLER_CACHE", "TRUE");
    define("KYRT_DISABLE_ROLLBACK", "FALSE");
    define("KYRT_DISABLE_VISTA_RESTART_MANAGER", "FALSE");
    define("IISHOST", "localhost");
    if (!VarExists(vars, "OVERRIDECACHE"))
        define("OVERRIDECACHE", "");
    define("KYRTLOGO", "");
    define("SELECTED", "0");
    define("WINDOWHANDLE", "0");
    define("EXEFILE", startup.exe_file);
    define("EXEDIR", folder_of(startup.exe_file));
    define("PROGRESSTEXT", "");
    define("PROGRESSMODE", "");
    define("ABORT", "FALSE");
    define("PROGRESS", "0");
    define("LASTERROR", "");
    define("LICENSE", "FALSE");
    define("USERNAME", machine.registered_owner);
    define("USERCOMPANY", machine.registered_organization);
    define("COPYWEBLOCK", "");
    define("REBOOTCOMPUTER", "FALSE");
    define("RUNAPP", "TRUE");
    define("WIZARD", "NEXT");
    define("VERSION", startup.product_version);
    define("SILENT", boolean_text(startup.silent));
    define("LOGGED", startup.log_file);
    define("CMDLINE", startup.command_tail);
    define("REBOOTNOW", "OK");
    define("SFXPATH", folder_of(startup.package_path));
    define("SFXFILE", file_name_of(startup.package_path));
    define("GPOPATH", folder_of(startup.group_policy_path));
    define("COMPLETE", "TRUE");
    define("NEWLINE", vars_text::crlf);
    define("MINIMUM", "FALSE");
    define("PERSONALIZED", "FALSE");
    define("MODIFY", "TRUE");
    define("REPAIR", "FALSE");
    define("REMOVE", "FALSE");
    define("ROOTDIR", startup.engine_folder);
    define("TITLE", startup.product_title);
    define("COMPANY", startup.publisher);
    define("ADVERTISE", "FALSE");
    define("DATE", machine.date);
    define("TIME", machine.time);
    define("TEMPDIR", startup.temp_folder);
    define("ABORTONERROR", "TRUE");
    define("ABORTEDONERROR", "FALSE");
    define("SAVEDATA", "FALSE");
    define("SUPPORTDIR", startup.support_folder);
    define("MSIFILE", startup.database_path);
    define("LANGUAGE", "");
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
    return StandardCaption(GetVar(vars, "TITLE"), GetVar(vars, "KYRTLOGO") == "TRUE", wizard_word);
}

} // namespace quillon
