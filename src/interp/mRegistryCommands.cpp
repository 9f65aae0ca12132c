#include "interp/mRegistryCommands.h"

#include "interp/command_call.h"
#include "interp/mFileCommands.h"
#include "interp/mSystemCommands.h"
#include "interp/registry_values.h"

namespace quillon {

namespace {

// GetPrivateProfileString's buffer of 26000 bytes holds this many characters.
constexpr std::size_t ini_value_limit = 25999;

enum class Sentinels : std::uint8_t { kept, blanked };

// Parameters: 1 result variable as written, 2 root index, 3 key, 4 value name.
Result<void> read_registry_value(CommandCall& call, Sentinels sentinels)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    std::string text;
    {
        TScriptExecutor& executor = call.executor();
        RegistryViewScope view(executor);
        Result<std::int32_t> root = call.number(2);
        if (!root) {
            text = registry_text::read_error;
        } else {
            std::string key = TRY(call.text(3));
            std::string name = TRY(call.text(4));
            text = registry_value_text(
                executor.registry().read_value(hive_of_index(*root), key, name, executor.machine().registry_view()));
        }
    }
    call.store(result, sentinels == Sentinels::blanked ? without_sentinel(std::move(text)) : text);
    return {};
}

Result<void> read_registry(CommandCall& call)
{
    return read_registry_value(call, Sentinels::blanked);
}

Result<void> check_registry(CommandCall& call)
{
    return read_registry_value(call, Sentinels::kept);
}

// The key path without the backslashes at its ends: an empty one names the
// root itself, which is never deleted.
std::string key_to_delete(std::string_view key)
{
    std::size_t first = key.find_first_not_of('\\');
    if (first == std::string_view::npos)
        return {};
    return std::string(key.substr(first, key.find_last_not_of('\\') - first + 1));
}

// Parameters: 1 root index, 2 key, 3 value name, 4 the key (true) or the value (false).
// Nothing is reported: a missing key or value, or one that cannot be deleted, stays as it is.
Result<void> delete_registry(CommandCall& call)
{
    TScriptExecutor& executor = call.executor();
    RegistryViewScope view(executor);
    Result<std::int32_t> root = call.number(1);
    if (!root)
        return {};
    RegistryHive hive = hive_of_index(*root);
    std::string key = TRY(call.text(2));
    std::string name = TRY(call.text(3));
    bool whole_key = TRY(call.flag(4));
    PlatformView registry_view = executor.machine().registry_view();
    if (!whole_key) {
        executor.registry().delete_value(hive, key, name, registry_view);
        return {};
    }
    key = key_to_delete(key);
    if (key.empty())
        return {};
    // The native view deletes one key without subkeys, as RegDeleteKeyEx does.
    if (executor.machine().windows_64_bit() && executor.platform_mode() != platform_mode_win32) {
        auto [parent, last] = split_last_key(key);
        executor.registry().delete_leaf_key(hive, parent, last);
        return {};
    }
    executor.registry().delete_tree(hive, key, registry_view);
    return {};
}

// Parameters: 1 result variable as written, 2 INI file, 3 section, 4 key.
Result<void> get_ini_file_settings(CommandCall& call)
{
    std::string result = TRY(call.result_name(1));
    call.ensure_variable(result);
    std::string file = TRY(call.text(2));
    std::string section = TRY(call.text(3));
    std::string key = TRY(call.text(4));
    if (section.empty() || key.empty()) {
        call.store(result, "");
        return {};
    }
    std::string real = ScriptFileView(call.executor()).real(file);
    call.store(result, call.executor().files().profile_string(real, section, key, ini_value_limit));
    return {};
}

} // namespace

void RegisterRegistryCommands(HandlerTable& table)
{
    table.add("Read Registry", read_registry);
    table.add("Check Registry", check_registry);
    table.add("Delete Registry", delete_registry);
    table.add("Get INI File Settings", get_ini_file_settings);
}

} // namespace quillon
