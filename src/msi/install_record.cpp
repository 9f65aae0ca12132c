#include "msi/install_record.h"

#include "base/strings.h"
#include "vars/texts.h"

namespace quillon::msi {

namespace {

constexpr std::string_view quote_token = "$QUOTE$";

} // namespace

std::string OneLineValue(std::string_view value)
{
    return replace_all(value, vars_text::crlf, vars_text::newline_token);
}

std::string CommandProperty(std::string_view header)
{
    return "A" + std::string(header);
}

std::string ValueProperty(std::string_view header, int n)
{
    return "P" + std::string(header) + "_" + std::to_string(n);
}

std::string ShortcutTableName(std::string_view name)
{
    std::string_view first = name.substr(0, 6);
    while (!first.empty() && first.front() == ' ')
        first.remove_prefix(1);
    while (!first.empty() && first.back() == ' ')
        first.remove_suffix(1);
    return std::string(first) + "~1|" + std::string(name);
}

void InstallRecord::mark_recorded(std::size_t index)
{
    if (index < m_marks.size())
        m_marks[index] = "TRUE";
}

void InstallRecord::record_property(std::string_view name, std::string_view value)
{
    queue_property(name, value);
    add_instance_pair(name, value);
}

void InstallRecord::queue_property(std::string_view name, std::string_view value)
{
    if (!m_queue)
        m_queue.emplace();
    m_queue->emplace_back(std::string(name), OneLineValue(value));
}

void InstallRecord::add_instance_pair(std::string_view name, std::string_view value)
{
    m_instance.emplace_back(name);
    m_instance.push_back(OneLineValue(value));
}

InstallRecord::Pairs InstallRecord::take_queue()
{
    Pairs taken = m_queue ? std::move(*m_queue) : Pairs{};
    m_queue.reset();
    return taken;
}

std::vector<std::string> PropertyQueueStatements(const InstallRecord::Pairs& queue)
{
    std::vector<std::string> statements;
    for (const auto& [name, stored] : queue) {
        std::string value =
            replace_all(replace_all(stored, vars_text::newline_token, vars_text::crlf), "'", quote_token);
        statements.push_back("INSERT INTO `Property` ( `Property` , `Value` ) VALUES ( '" + name + "' , '" + value +
                             "' )");
        statements.push_back("UPDATE `Property` SET `Value`='" + value + "' WHERE `Property`='" + name + "'");
    }
    return statements;
}

std::string ProductCodeStatement(std::string_view product_code)
{
    return "UPDATE `Property` SET `Value`='" + std::string(product_code) + "' WHERE `Property`='ProductCode'";
}

std::vector<std::string> ShortcutTextStatements(const std::vector<ShortcutText>& texts)
{
    std::vector<std::string> statements;
    for (const ShortcutText& text : texts) {
        statements.push_back("UPDATE `Shortcut` SET `Name`='" + text.name + "' WHERE `Directory_`='" + text.directory +
                             "'");
        statements.push_back("UPDATE `Shortcut` SET `Description`='" + text.description + "' WHERE `Directory_`='" +
                             text.directory + "'");
    }
    return statements;
}

std::vector<std::string> FileTypeTextStatements(const std::vector<FileTypeText>& texts)
{
    std::vector<std::string> statements;
    for (const FileTypeText& text : texts) {
        statements.push_back("UPDATE `ProgId` SET `Description`='" + text.description + "' WHERE `ProgId`='" +
                             text.authored_prog_id + "'");
        statements.push_back("UPDATE `ProgId` SET `ProgId`='" + text.prog_id + "' WHERE `ProgId`='" +
                             text.authored_prog_id + "'");
    }
    return statements;
}

PackagePlatform PlatformForMode(std::string_view template_text, std::string_view mode)
{
    std::string_view wanted = mode == "ia64" ? "Intel64" : mode == "x64" ? "x64" : "Intel";
    std::size_t semicolon = template_text.find(';');
    std::string_view platform = template_text.substr(0, semicolon);
    std::string_view languages = semicolon == std::string_view::npos ? "" : template_text.substr(semicolon + 1);
    PackagePlatform result;
    result.changed = platform != wanted;
    result.template_text = std::string(wanted) + ";" + std::string(languages);
    if (!result.changed)
        result.template_text = std::string(template_text);
    result.components_64bit = mode != "Win32";
    return result;
}

} // namespace quillon::msi
