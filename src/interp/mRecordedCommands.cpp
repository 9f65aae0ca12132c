#include "interp/mRecordedCommands.h"

#include "interp/command_call.h"
#include "interp/mMediaCommands.h"
#include "msi/install_record.h"

#include <cstddef>
#include <initializer_list>

namespace quillon {

namespace {

// The command's media header; a script without one was built by a tool that
// does not know this command, which is an error of the run.
Result<std::string> header_of(const CommandCall& call)
{
    return call.script().CommandHeader(call.index());
}

// Marks the command as recorded and records "A" + header.
Result<std::string> record_command(const CommandCall& call)
{
    std::string header = TRY(header_of(call));
    msi::InstallRecord& record = call.executor().install_record();
    record.mark_recorded(call.index());
    record.record_property(msi::CommandProperty(header), "TRUE");
    return header;
}

void record_value(const CommandCall& call, const std::string& header, int n, const std::string& value)
{
    call.executor().install_record().record_property(msi::ValueProperty(header, n), value);
}

// The media of the command's folder come first; false when a failed fetch ended the script.
bool media_first(const CommandCall& call)
{
    return FetchCommandMedia(call.executor(), call.index());
}

// "Install Files", "Install Assembly", "Install ODBC Driver": the media, then
// the target folder (path form) as the first value.
CommandHandler install_with_media(std::size_t target_parameter)
{
    return [target_parameter](CommandCall& call) -> Result<void> {
        std::string header = TRY(record_command(call));
        if (!media_first(call))
            return {};
        record_value(call, header, 1, TRY(call.text(target_parameter)));
        return {};
    };
}

// The commands whose values are the recorded forms of the given parameters, in order.
CommandHandler record_parameters(std::initializer_list<std::size_t> parameters)
{
    std::vector<std::size_t> list(parameters);
    return [list](CommandCall& call) -> Result<void> {
        std::string header = TRY(record_command(call));
        int n = 1;
        for (std::size_t k : list)
            record_value(call, header, n++, TRY(call.recorded(k)));
        return {};
    };
}

// Values without a variable reference are in the package's row already.
Result<void> write_registry(CommandCall& call)
{
    std::string header = TRY(record_command(call));
    int n = 1;
    for (std::size_t k : {3u, 4u, 5u}) {
        std::string stored = TRY(call.stored(k));
        if (stored.find('$') != std::string::npos)
            record_value(call, header, n, TRY(call.recorded(k)));
        ++n;
    }
    return {};
}

Result<void> install_service(CommandCall& call)
{
    std::string header = TRY(record_command(call));
    if (!media_first(call))
        return {};
    const std::size_t order[] = {2, 4, 5, 9, 10, 13, 14, 15, 6};
    int n = 1;
    for (std::size_t k : order) {
        std::string value = TRY(call.recorded(k));
        if (k == 10) {
            // The dependencies' separator, which a property cannot carry.
            std::string replaced;
            for (char c : value)
                replaced += c == '~' ? std::string("$NULL$") : std::string(1, c);
            value = std::move(replaced);
        }
        record_value(call, header, n++, value);
    }
    return {};
}

// "Create Shortcut", "Advertised Shortcut".
Result<void> create_shortcut(CommandCall& call)
{
    std::string name = TRY(call.text(2));
    std::string description = TRY(call.text(4));
    std::string folder = TRY(call.text(3));
    std::string file = folder + "\\" + name + ".lnk";
    msi::InstallRecord& record = call.executor().install_record();
    auto [unused_id, app_id] = TRY(call.pair(8));
    if (!app_id.empty() && call.executor().system().windows_7_or_later())
        record.application_ids().emplace_back(file, app_id);
    auto [unused_pin, pin_flags] = TRY(call.pair(9));
    if (!pin_flags.empty())
        record.shortcut_list().push_back(file + "|" + pin_flags + "|" + TRY(call.text(1)));

    std::string header = TRY(header_of(call));
    record.shortcut_texts().push_back({msi::ValueProperty(header, 1), msi::ShortcutTableName(name), description});
    TRY(record_command(call));
    record_value(call, header, 1, folder);
    record_value(call, header, 2, TRY(call.text(1)));
    record_value(call, header, 3, TRY(call.text(5)));
    record_value(call, header, 4, TRY(call.text(6)));
    return {};
}

Result<void> create_file_type(CommandCall& call)
{
    std::string header = TRY(record_command(call));
    for (std::size_t k = 1; k <= 5; ++k)
        record_value(call, header, static_cast<int>(k), TRY(call.recorded(k)));
    return {};
}

Result<void> advertised_file_type(CommandCall& call)
{
    std::string header = TRY(header_of(call));
    std::string authored = TRY(call.stored(1));
    call.executor().install_record().file_type_texts().push_back({authored, TRY(call.text(1)), TRY(call.text(3))});
    TRY(record_command(call));
    return {};
}

Result<void> record_only(CommandCall& call)
{
    TRY(record_command(call));
    return {};
}

} // namespace

void RegisterRecordedCommands(HandlerTable& table)
{
    table.add("Install Files", install_with_media(3));
    table.add("Install Assembly", install_with_media(3));
    table.add("Install ODBC Driver", install_with_media(4));
    table.add("Create ODBC DSN", record_only);
    table.add("Create Shortcut", create_shortcut);
    table.add("Advertised Shortcut", create_shortcut);
    table.add("Create File Type", create_file_type);
    table.add("Advertised File Type", advertised_file_type);
    table.add("Create Folder", record_parameters({1}));
    table.add("Copy/Move Local Files", record_parameters({1, 3}));
    table.add("Delete Files", record_parameters({1}));
    table.add("Write Registry", write_registry);
    table.add("Edit INI File", record_parameters({1, 4, 5, 6}));
    table.add("Set Environment", record_parameters({2}));
    table.add("Control Service", record_parameters({1, 2}));
    table.add("Install Service", install_service);
}

} // namespace quillon
