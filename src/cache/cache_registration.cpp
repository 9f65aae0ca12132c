#include "cache/cache_registration.h"

#include "cache/cache_texts.h"

#include <limits>

namespace quillon {

namespace {

std::uint32_t leading_number(std::string_view text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max())
            return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(value);
}

RegistryValue text_value(std::string_view name, std::string text)
{
    return {std::string(name), std::move(text), std::nullopt};
}

RegistryValue number_value(std::string_view name, std::uint32_t number)
{
    return {std::string(name), {}, number};
}

} // namespace

std::pair<std::uint32_t, std::uint32_t> VersionNumbers(std::string_view version)
{
    std::size_t dot = version.find('.');
    std::uint32_t major = leading_number(version.substr(0, dot));
    std::uint32_t minor = dot == std::string_view::npos ? 0 : leading_number(version.substr(dot + 1));
    return {major, minor};
}

std::string CachedEngineCommand(const RegistrationFacts& facts)
{
    return "\"" + facts.cache_folder + facts.engine_file + "\"";
}

std::string UninstallCommand(const RegistrationFacts& facts)
{
    return CachedEngineCommand(facts) + std::string(cache_text::remove_arguments);
}

std::vector<RegistryKeyValues> RegistrationKeys(const RegistrationFacts& facts)
{
    auto [major, minor] = VersionNumbers(facts.version);
    std::string engine = facts.cache_folder + facts.engine_file;
    std::string uninstall_key(cache_text::uninstall_key);
    std::vector<RegistryKeyValues> keys;
    keys.push_back({uninstall_key + facts.title,
                    RegistryView::engine,
                    {
                        text_value("DisplayIcon", engine),
                        text_value("DisplayName", facts.title),
                        text_value("UninstallString", UninstallCommand(facts)),
                        text_value("ModifyPath", CachedEngineCommand(facts)),
                        text_value("Publisher", facts.publisher),
                        text_value("Contact", facts.contact),
                        text_value("HelpLink", facts.help_link),
                        text_value("URLUpdateInfo", facts.update_link),
                        text_value("Comments", facts.comments),
                        text_value("DisplayVersion", facts.version),
                        number_value("VersionMajor", major),
                        number_value("VersionMinor", minor),
                        text_value("InstallLocation", facts.install_location),
                    }});
    keys.push_back({uninstall_key + facts.product_code,
                    facts.package_64bit ? RegistryView::package_64bit : RegistryView::package_32bit,
                    {text_value("UninstallString", "\"" + facts.cache_folder + facts.base_name + ".exe\"")}});
    keys.push_back({std::string(cache_text::ident_cache_key) + facts.product_code,
                    RegistryView::engine,
                    {
                        number_value("VersionMajor", major),
                        number_value("VersionMinor", minor),
                        text_value("", facts.cache_root + facts.revision_code + "\\"),
                    }});
    return keys;
}

std::vector<RegistryKey> RegistrationKeysRemoved(std::string_view title, std::string_view product_code)
{
    std::string uninstall_key(cache_text::uninstall_key);
    std::string product_entry = uninstall_key + std::string(product_code);
    return {{uninstall_key + std::string(title), RegistryView::engine},
            {std::string(cache_text::ident_cache_key) + std::string(product_code), RegistryView::engine},
            {product_entry, RegistryView::package_32bit},
            {product_entry, RegistryView::package_64bit}};
}

std::string EnginePathFromUninstallString(std::string_view command)
{
    std::size_t open = command.find('"');
    if (open == std::string_view::npos)
        return std::string(command);
    std::string path(command.substr(0, open));
    std::string_view rest = command.substr(open + 1);
    path += rest.substr(0, rest.find('"'));
    return path;
}

} // namespace quillon
