// The names of the variables the engine itself reads or writes, named once.
// Variable names compare without regard to case; these are the spellings the
// engine creates them with.
#pragma once

#include <string_view>

namespace quillon::var {

// What workers and the user interface exchange (the thread state).
inline constexpr std::string_view thread_progress = "KYRT_thProgress";
inline constexpr std::string_view thread_maximum = "KYRT_thMax";
inline constexpr std::string_view thread_minimum = "KYRT_thMin";
inline constexpr std::string_view thread_progress_text = "KYRT_thProgressText";
inline constexpr std::string_view thread_finished = "KYRT_thFinished";
inline constexpr std::string_view thread_cancelled = "KYRT_thCancelled";
inline constexpr std::string_view is_cancelled = "KYRT_IsCancelled";
inline constexpr std::string_view last_delegate_tick = "KYRT_LastDelegateTick";
inline constexpr std::string_view last_active_tick = "KYRT_LastActiveTick";

// Switches of the engine that a script may set.
inline constexpr std::string_view timeout = "KYRT_TIMEOUT";
inline constexpr std::string_view logo = "KYRTLOGO";

// Predefined variables.
inline constexpr std::string_view abort = "ABORT";
inline constexpr std::string_view abort_on_error = "ABORTONERROR";
inline constexpr std::string_view aborted_on_error = "ABORTEDONERROR";
inline constexpr std::string_view all_users = "ALLUSERS";
inline constexpr std::string_view command_line = "CMDLINE";
inline constexpr std::string_view company = "COMPANY";
inline constexpr std::string_view compress_installer_cache = "KYRT_COMPRESS_INSTALLER_CACHE";
inline constexpr std::string_view copy_web_block = "COPYWEBLOCK";
inline constexpr std::string_view data_dir = "DATADIR";
inline constexpr std::string_view date = "DATE";
inline constexpr std::string_view engine_cache = "ENGINECACHE";
inline constexpr std::string_view exe_dir = "EXEDIR";
inline constexpr std::string_view exe_file = "EXEFILE";
inline constexpr std::string_view language = "LANGUAGE";
inline constexpr std::string_view iis_host = "IISHOST";
inline constexpr std::string_view last_error = "LASTERROR";
inline constexpr std::string_view logged = "LOGGED";
inline constexpr std::string_view maintenance = "MAINTENANCE";
inline constexpr std::string_view msi_file = "MSIFILE";
inline constexpr std::string_view needs_upgrade = "NEEDSUPGRADE";
inline constexpr std::string_view new_instance = "NEWINSTANCE";
inline constexpr std::string_view override_cache = "OVERRIDECACHE";
inline constexpr std::string_view product_code = "PRODUCTCODE";
inline constexpr std::string_view progress = "PROGRESS";
inline constexpr std::string_view progress_mode = "PROGRESSMODE";
inline constexpr std::string_view progress_text = "PROGRESSTEXT";
inline constexpr std::string_view remove = "REMOVE";
inline constexpr std::string_view reboot_computer = "REBOOTCOMPUTER";
inline constexpr std::string_view revision_code = "REVISIONCODE";
inline constexpr std::string_view root_dir = "ROOTDIR";
inline constexpr std::string_view save_data = "SAVEDATA";
inline constexpr std::string_view sfx_file = "SFXFILE";
inline constexpr std::string_view sfx_path = "SFXPATH";
inline constexpr std::string_view silent = "SILENT";
inline constexpr std::string_view start_menu = "STARTMENU";
inline constexpr std::string_view support_dir = "SUPPORTDIR";
inline constexpr std::string_view target_dir = "TARGETDIR";
inline constexpr std::string_view temp_dir = "TEMPDIR";
inline constexpr std::string_view time = "TIME";
inline constexpr std::string_view title = "TITLE";
inline constexpr std::string_view uninstall_link = "UNINSTALLLINK";
inline constexpr std::string_view user_company = "USERCOMPANY";
inline constexpr std::string_view user_name = "USERNAME";
inline constexpr std::string_view version = "VERSION";
inline constexpr std::string_view window_handle = "WINDOWHANDLE";
inline constexpr std::string_view wizard = "WIZARD";

} // namespace quillon::var
