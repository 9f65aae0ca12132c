#include "interp/catalog.h"

#include <algorithm>
#include <cstddef>

namespace quillon {
namespace {

using enum CommandKind;
using enum ParamForm;

constexpr std::uint8_t m64 = mark_64;
constexpr std::uint8_t mview = mark_view;
constexpr std::uint8_t m64view = mark_64 | mark_view;
constexpr std::uint8_t no_op = mark_no_op;
constexpr std::uint8_t block = mark_block;

constexpr std::array<std::uint8_t, 2> none{0, 0};
constexpr std::array<std::uint8_t, 2> at(std::uint8_t first, std::uint8_t second = 0)
{
    return {first, second};
}

// Parameter lists, named after the command (or the first of the commands) that read them.

// Control flow.
constexpr ParamSpec p_if[] = {{1, translated}, {2, text}, {3, translated}, {4, boolean}};
constexpr ParamSpec p_label[] = {{1, written}};

// Variables and strings.
constexpr ParamSpec p_set_variable[] = {{1, result_persisted}, {2, translated}};
constexpr ParamSpec p_mathematics[] = {{1, text}, {2, text}, {3, integer}, {4, result_written}};
constexpr ParamSpec p_parse_string[] = {{1, path},    {2, path},    {3, result_written}, {4, result_written},
                                        {5, integer}, {6, boolean}, {7, boolean}};
constexpr ParamSpec p_replace_string[] = {{1, result}, {2, text}, {3, text}, {4, boolean}, {5, boolean}};
constexpr ParamSpec p_convert_case[] = {{1, result_written}, {2, boolean}};
constexpr ParamSpec p_extract_path[] = {{1, result_written}, {2, integer}};
constexpr ParamSpec p_evaluate_expression[] = {{1, expression}, {2, result_written}};
constexpr ParamSpec p_get_temporary_file[] = {{1, result}};
// The value is translated under a key made from the variable name, not the command identifier.
constexpr ParamSpec p_localization_variable[] = {{1, result}, {2, translated_by_variable}};

// Dialogs and messages.
// The condition variable (4) is taken as stored; its handler strips a "$NAME$" reference.
constexpr ParamSpec p_display_dialog[] = {{1, text},    {2, result_written}, {3, boolean},
                                          {4, written}, {5, stored},         {6, boolean}};
constexpr ParamSpec p_message_box[] = {
    {1, translated}, {2, translated}, {3, integer}, {4, integer}, {5, result_written}};
constexpr ParamSpec p_message_balloon[] = {{1, translated}, {2, translated}, {3, integer}, {4, integer}};
// Each flag is expanded and compared exactly with "TRUE", not read as a Boolean.
constexpr ParamSpec p_system_tray[] = {{1, exact_flag}, {2, exact_flag}, {3, exact_flag}, {4, exact_flag}};

// Termination. A code that is not a number gives exit code 0 rather than a
// runtime error, so it is read as text.
constexpr ParamSpec p_terminate_with_exit_code[] = {{1, text}};

// Files and folders.
constexpr ParamSpec p_path_1[] = {{1, path}};
constexpr ParamSpec p_copy_move_local_files[] = {{1, path}, {3, path}};
constexpr ParamSpec p_find_all_files[] = {{1, path}, {2, boolean}, {3, boolean}, {4, result}};
constexpr ParamSpec p_does_file_folder_exist[] = {{1, result_written}, {2, path}, {3, boolean}};
constexpr ParamSpec p_read_from_text_file[] = {{1, path}, {2, result_written}, {3, result_written}};
constexpr ParamSpec p_write_to_text_file[] = {{1, path}, {2, text}, {3, boolean}};
constexpr ParamSpec p_get_file_version[] = {{1, path}, {2, result}};
constexpr ParamSpec p_check_file_version[] = {{1, result_written}, {2, path}, {3, boolean}, {4, path}, {5, version}};
constexpr ParamSpec p_check_disk_space[] = {{1, result}, {2, path}, {3, boolean}};

// Registry and INI files.
constexpr ParamSpec p_write_registry[] = {{3, installer_value}, {4, installer_value}, {5, installer_value}};
constexpr ParamSpec p_delete_registry[] = {{1, integer}, {2, path}, {3, path}, {4, boolean}};
constexpr ParamSpec p_read_registry[] = {{1, result_written}, {2, integer}, {3, path}, {4, path}};
constexpr ParamSpec p_edit_ini_file[] = {
    {1, installer_value}, {4, installer_value}, {5, installer_value}, {6, installer_value}};
constexpr ParamSpec p_get_ini_file_settings[] = {{1, result_written}, {2, path}, {3, path}, {4, path}};

// System information.
constexpr ParamSpec p_set_environment[] = {{2, installer_value}};
constexpr ParamSpec p_get_environment[] = {{1, text}, {2, result}};
constexpr ParamSpec p_get_system_settings[] = {{1, result_written}, {2, integer}};
constexpr ParamSpec p_get_os_or_sp_level[] = {{1, result_written}, {2, boolean}};
constexpr ParamSpec p_get_folder_location[] = {{1, result_written}, {2, integer}, {3, boolean}};
// Each flag is taken as stored and compared exactly with "TRUE".
constexpr ParamSpec p_set_64_bit_mode[] = {{1, exact_flag_written}, {2, exact_flag_written}, {3, exact_flag_written}};

// Programs, processes and services.
constexpr ParamSpec p_run_program[] = {{1, path}, {2, boolean}, {3, path}, {4, boolean}, {5, result_written}};
constexpr ParamSpec p_run_program_as[] = {{1, path}, {2, path}, {3, path},           {4, integer}, {5, path},
                                          {6, path}, {7, path}, {8, result_written}, {9, boolean}, {10, path}};
constexpr ParamSpec p_check_process[] = {{1, text}, {2, result_written}};
constexpr ParamSpec p_terminate_program[] = {{1, path}, {2, path}};
constexpr ParamSpec p_check_service[] = {{1, text}, {2, text}, {3, result_written}};
constexpr ParamSpec p_register_library[] = {{1, path}, {2, boolean}, {3, result_written}};
// Recorded values are recorded in path form; the translatable ones are translated first.
constexpr ParamSpec p_control_service[] = {{1, translated_path}, {2, installer_value}};
constexpr ParamSpec p_install_service[] = {
    {2, installer_value},  {4, translated_path},  {5, translated_path},  {6, translated_path},  {9, translated_path},
    {10, translated_path}, {13, installer_value}, {14, installer_value}, {15, installer_value},
};

// Web server. Parameters are in path form unless they are Booleans or integers.
constexpr ParamSpec p_create_iis_site[] = {
    {1, translated_path}, {2, path},     {3, path},     {4, path},     {5, path},     {6, path},
    {7, integer},         {8, boolean},  {9, boolean},  {10, boolean}, {11, boolean}, {12, boolean},
    {13, boolean},        {14, integer}, {15, integer},
};
constexpr ParamSpec p_create_virtual_folder[] = {
    {1, translated_path},  {2, path},     {3, boolean},  {4, boolean},  {5, boolean},  {6, boolean},
    {7, boolean},          {8, boolean},  {9, pair},     {10, pair},    {11, boolean}, {12, translated_path},
    {13, translated_path}, {14, boolean}, {15, boolean}, {16, boolean}, {17, path},    {18, integer},
};
constexpr ParamSpec p_text_1[] = {{1, text}};
constexpr ParamSpec p_text_1_2[] = {{1, text}, {2, text}};
constexpr ParamSpec p_result_1[] = {{1, result}};
constexpr ParamSpec p_get_iis_site_index[] = {{1, translated}, {2, result}};
constexpr ParamSpec p_get_iis_property[] = {{1, boolean}, {3, path}, {4, path}, {5, path}, {6, result}};
constexpr ParamSpec p_set_iis_property[] = {{1, boolean}, {3, path}, {4, path}, {5, path}, {6, path}};
constexpr ParamSpec p_result_written_1[] = {{1, result_written}};

// Shares, permissions and scheduled tasks.
constexpr ParamSpec p_create_share[] = {{1, pair}, {2, translated}, {3, translated}};
constexpr ParamSpec p_pair_1[] = {{1, pair}};
constexpr ParamSpec p_set_access_control[] = {
    {1, translated}, {2, boolean},  {3, boolean},  {4, boolean},  {5, boolean},  {6, translated},
    {7, boolean},    {8, boolean},  {9, boolean},  {10, boolean}, {11, boolean}, {12, boolean},
    {13, boolean},   {14, boolean}, {15, boolean}, {16, boolean},
};
// The triggers (3 to 5), 8 and both parts of 9 are compared exactly with "TRUE".
constexpr ParamSpec p_schedule_task[] = {
    {1, translated}, {2, text}, {3, exact_flag}, {4, exact_flag}, {5, exact_flag}, {6, text},  {7, text},
    {8, exact_flag}, {9, pair}, {10, text},      {11, text},      {12, text},      {13, text}, {14, text},
};
constexpr ParamSpec p_delete_scheduled_task[] = {{1, translated}, {2, text}};

// Components.
constexpr ParamSpec p_define_component[] = {{1, translated}, {2, boolean}, {3, translated}};
constexpr ParamSpec p_translated_1[] = {{1, translated}};
constexpr ParamSpec p_get_component_state[] = {{1, translated}, {2, result}};
// State, choice and visibility are Booleans read as stored; the space is expanded.
constexpr ParamSpec p_set_component_written[] = {{1, translated}, {2, boolean_written}};
constexpr ParamSpec p_set_component_space[] = {{1, translated}, {2, text}};

// Deferred install actions.
constexpr ParamSpec p_path_3[] = {{3, path}};
constexpr ParamSpec p_path_4[] = {{4, path}};
constexpr ParamSpec p_create_shortcut[] = {{1, path}, {2, translated}, {3, path}, {4, translated},
                                           {5, path}, {6, path},       {8, pair}, {9, pair}};
constexpr ParamSpec p_create_file_type[] = {
    {1, translated_path}, {2, path}, {3, translated_path}, {4, path}, {5, path}};
constexpr ParamSpec p_advertised_file_type[] = {{1, translated}, {3, translated}};
constexpr ParamSpec p_run_net_installer_class[] = {{1, text}, {2, boolean}};

// Apply Changes and Windows Installer.
constexpr ParamSpec p_apply_changes[] = {{1, text}, {2, result_written}, {3, boolean}, {4, boolean}};
constexpr ParamSpec p_is_msi_setup_installed[] = {{1, path}, {2, result_written}};
constexpr ParamSpec p_run_light_mode_setup[] = {{1, path}, {2, result_written}, {3, path}, {4, boolean}};

// Media.
constexpr ParamSpec p_web_media_block[] = {{1, written}, {2, text}, {3, stored}};
constexpr ParamSpec p_extract_7zip_archive[] = {{1, path}, {2, path},    {3, result_written},
                                                {4, text}, {5, boolean}, {6, boolean}};

constexpr CommandInfo catalog[] = {
    // Control flow.
    {"If", control, block, p_if, none},
    {"Else If", control, block, p_if, none},
    {"Else", control, block, {}, none},
    {"End", control, block, {}, none},
    {"Wizard Loop", control, 0, {}, none},
    {"Label", control, no_op, p_label, none},
    {"GoTo Label", control, 0, p_label, none},
    {"Comment", control, no_op, {}, none},
    {"Ignore", control, no_op, {}, none},
    // The author's editing structure: known names that do nothing.
    {"Code Folding Region", control, no_op, {}, none},
    {"Compiler Variable End", control, no_op, {}, none},

    // Variables and strings.
    {"Set Variable", immediate, 0, p_set_variable, at(1)},
    {"Mathematics", immediate, m64, p_mathematics, at(4)},
    {"Parse String", immediate, 0, p_parse_string, at(3, 4)},
    {"Replace String", immediate, 0, p_replace_string, at(1)},
    {"Convert Case", immediate, 0, p_convert_case, at(1)},
    {"Convert Path", immediate, m64, p_convert_case, at(1)},
    {"Extract Path", immediate, 0, p_extract_path, at(1)},
    {"Evaluate Expression", immediate, 0, p_evaluate_expression, at(2)},
    {"Get Temporary File", immediate, m64, p_get_temporary_file, at(1)},
    {"Localization Variable", immediate, 0, p_localization_variable, at(1)},

    // Dialogs and messages.
    {"Display Dialog", immediate, 0, p_display_dialog, at(2)},
    {"Hide Dialog", immediate, 0, {}, none},
    {"MessageBox", immediate, 0, p_message_box, at(5)},
    {"MessageBalloon", immediate, 0, p_message_balloon, none},
    {"System Tray", immediate, 0, p_system_tray, none},

    // Termination and reboot.
    {"Terminate Install", control, 0, {}, none},
    {"Terminate with Exit Code", control, 0, p_terminate_with_exit_code, none},
    {"Reboot Computer", immediate, 0, {}, none},
    {"Reboot and Resume", immediate, 0, {}, none},

    // Files and folders.
    {"Create Folder", recorded, 0, p_path_1, none},
    {"Copy/Move Local Files", recorded, 0, p_copy_move_local_files, none},
    {"Delete Files", recorded, 0, p_path_1, none},
    {"Delete Files Recursive", immediate, m64, p_path_1, none},
    {"Find All Files", worker, m64, p_find_all_files, at(4)},
    {"Does File/Folder Exist", immediate, m64, p_does_file_folder_exist, at(1)},
    {"Read from Text File", immediate, m64, p_read_from_text_file, at(2, 3)},
    {"Write to Text File", immediate, m64, p_write_to_text_file, none},
    {"Get File Version", immediate, m64, p_get_file_version, at(2)},
    {"Check File Version", immediate, m64, p_check_file_version, at(1)},
    {"Check Disk Space", immediate, m64, p_check_disk_space, at(1)},

    // Registry and INI files.
    {"Write Registry", recorded, 0, p_write_registry, none},
    {"Delete Registry", immediate, mview, p_delete_registry, none},
    {"Read Registry", immediate, mview, p_read_registry, at(1)},
    {"Check Registry", immediate, mview, p_read_registry, at(1)},
    {"Edit INI File", recorded, 0, p_edit_ini_file, none},
    {"Get INI File Settings", immediate, m64, p_get_ini_file_settings, at(1)},

    // System information.
    {"Set Environment", recorded, 0, p_set_environment, none},
    {"Get Environment", immediate, m64, p_get_environment, at(2)},
    {"Get System Settings", immediate, m64view, p_get_system_settings, at(1)},
    {"Get OS or SP Level", immediate, m64view, p_get_os_or_sp_level, at(1)},
    {"Get Folder Location", immediate, m64view, p_get_folder_location, at(1)},
    {"Set 64 Bit Mode", immediate, 0, p_set_64_bit_mode, none},

    // Programs, processes and services.
    {"Run Program", worker, m64, p_run_program, at(5)},
    {"Run Program As", worker, m64, p_run_program_as, at(8)},
    {"Check Process", immediate, 0, p_check_process, at(2)},
    {"Terminate Program", immediate, 0, p_terminate_program, none},
    {"Check Service", immediate, 0, p_check_service, at(3)},
    {"Register Library", immediate, m64view, p_register_library, at(3)},
    {"Control Service", recorded, 0, p_control_service, none},
    {"Install Service", recorded, 0, p_install_service, none},

    // Web server.
    {"Create IIS Site", immediate, 0, p_create_iis_site, none},
    {"Create Virtual Folder", immediate, m64, p_create_virtual_folder, none},
    {"Delete IIS Site", immediate, 0, p_text_1, none},
    {"Delete Virtual Folder", immediate, m64, p_text_1_2, none},
    {"Control IIS Site", immediate, 0, p_text_1_2, none},
    {"Get IIS Site List", immediate, 0, p_result_1, at(1)},
    {"Get IIS Site Index", immediate, 0, p_get_iis_site_index, at(2)},
    {"Get IIS Property", immediate, m64, p_get_iis_property, at(6)},
    {"Set IIS Property", immediate, m64, p_set_iis_property, none},
    {"IIS Anonymous User", immediate, 0, p_result_written_1, at(1)},

    // Shares, permissions and scheduled tasks.
    {"Create Share", immediate, m64, p_create_share, none},
    {"Delete Share", immediate, m64, p_pair_1, none},
    {"Set Access Control", immediate, 0, p_set_access_control, none},
    {"Schedule Task", immediate, m64, p_schedule_task, none},
    {"Delete Scheduled Task", immediate, 0, p_delete_scheduled_task, none},

    // Components.
    {"Define Component", immediate, 0, p_define_component, none},
    {"Delete Component", immediate, 0, p_translated_1, none},
    {"Get Component State", immediate, 0, p_get_component_state, at(2)},
    {"Get Component Space", immediate, 0, p_get_component_state, at(2)},
    {"Set Component State", immediate, 0, p_set_component_written, none},
    {"Set Component Space", immediate, 0, p_set_component_space, none},
    {"Set Component Choice", immediate, 0, p_set_component_written, none},
    {"Set Component Visibility", immediate, 0, p_set_component_written, none},
    {"Save Feature Selections", immediate, m64, p_text_1, none},
    {"Load Feature Selections", immediate, m64, p_text_1, none},

    // Deferred install actions.
    {"Install Files", recorded, 0, p_path_3, none},
    {"Install Assembly", recorded, 0, p_path_3, none},
    {"Install ODBC Driver", recorded, 0, p_path_4, none},
    {"Create ODBC DSN", recorded, 0, {}, none},
    {"Create Shortcut", recorded, 0, p_create_shortcut, none},
    {"Advertised Shortcut", recorded, 0, p_create_shortcut, none},
    {"Create File Type", recorded, 0, p_create_file_type, none},
    {"Advertised File Type", recorded, 0, p_advertised_file_type, none},
    {"Register Assembly", immediate, m64, p_pair_1, none},
    {"Generate Native Images", immediate, m64, p_pair_1, none},
    {"Run .NET Installer Class", immediate, m64, p_run_net_installer_class, none},
    {"Remove Assemblies", immediate, m64, {}, none},
    {"Transform Instance", immediate, 0, {}, none},

    // Apply Changes and Windows Installer.
    {"Apply Changes", worker, 0, p_apply_changes, at(2)},
    {"Apply Patch", worker, 0, p_result_written_1, at(1)},
    {"Is MSI Setup Installed", immediate, 0, p_is_msi_setup_installed, at(2)},
    {"Run Light Mode Setup", worker, m64, p_run_light_mode_setup, at(2)},

    // Media.
    {"Web Media Block", immediate, 0, p_web_media_block, none},
    {"Extract 7Zip Archive", worker, m64, p_extract_7zip_archive, at(3)},
};

constexpr std::size_t catalog_size = std::size(catalog);

// Indexes into the catalog, ordered by name, for a binary search that needs
// no initialization at run time.
constexpr auto sorted_index = [] {
    std::array<std::uint8_t, catalog_size> order{};
    for (std::size_t i = 0; i < catalog_size; ++i)
        order[i] = static_cast<std::uint8_t>(i);
    std::sort(order.begin(), order.end(), [](auto a, auto b) { return catalog[a].name < catalog[b].name; });
    return order;
}();

static_assert(catalog_size <= 256, "sorted_index holds 8-bit indexes");
static_assert(
    [] {
        for (std::size_t i = 1; i < catalog_size; ++i) {
            if (catalog[sorted_index[i - 1]].name == catalog[sorted_index[i]].name)
                return false;
        }
        return true;
    }(),
    "command names must be unique");

} // namespace

const CommandInfo* FindCommand(std::string_view name) noexcept
{
    auto it = std::lower_bound(sorted_index.begin(), sorted_index.end(), name,
                               [](std::uint8_t i, std::string_view key) { return catalog[i].name < key; });
    if (it == sorted_index.end() || catalog[*it].name != name)
        return nullptr;
    return &catalog[*it];
}

std::span<const CommandInfo> CommandCatalog() noexcept
{
    return catalog;
}

bool IsNoOpCommand(std::string_view name) noexcept
{
    const CommandInfo* info = FindCommand(name);
    return info != nullptr && (info->marks & mark_no_op) != 0;
}

const ParamSpec* FindParameter(const CommandInfo& info, std::size_t position) noexcept
{
    for (const ParamSpec& spec : info.parameters)
        if (spec.position == position)
            return &spec;
    return nullptr;
}

std::size_t TranslationOrdinal(const CommandInfo& info, std::size_t position) noexcept
{
    std::size_t ordinal = 0;
    for (const ParamSpec& spec : info.parameters) {
        if (spec.form == translated || spec.form == translated_path || spec.form == translated_by_variable)
            ++ordinal;
        if (spec.position == position)
            return ordinal;
    }
    return 0;
}

std::string NotSupportedMessage(std::string_view name)
{
    return "\"" + std::string(name) + "\" is not supported by this engine";
}

} // namespace quillon
