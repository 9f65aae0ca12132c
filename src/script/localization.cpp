#include "script/localization.h"

#include "base/strings.h"

namespace quillon {

namespace {

constexpr std::string_view variable_key_start = "FORGEKIT$";
constexpr std::string_view variable_key_end = "$FORGEKIT";

enum class TranslationMode { new_only, variables_only, everything };

TranslationMode translation_mode(const ConstantExpander& expand_constants)
{
    std::string mode = expand_constants ? expand_constants("#LOCMODE#") : std::string("#LOCMODE#");
    if (mode == "#LOCMODE#" || equal_ascii_nocase(mode, "NEWONLY"))
        return TranslationMode::new_only;
    if (equal_ascii_nocase(mode, "VARSONLY"))
        return TranslationMode::variables_only;
    return TranslationMode::everything;
}

} // namespace

std::string LocalizationVariableKey(std::string_view variable)
{
    std::string key(variable_key_start);
    key += variable;
    key += variable_key_end;
    return key;
}

DiscoveredLanguages discover_languages(const std::vector<std::string>& translation_files,
                                       const std::string& support_folder, const std::string& default_language)
{
    DiscoveredLanguages found;
    const std::string prefix = support_folder + "translations.";
    for (const std::string& path : translation_files) {
        if (equal_nocase(path, support_folder + "translations.Map") ||
            equal_nocase(path, support_folder + "translations.Original") || path.find("shared") != std::string::npos)
            continue;
        if (path == prefix + default_language)
            found.current = default_language;
        std::size_t dot = path.find_last_of('.');
        std::size_t slash = path.find_last_of('\\');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
            continue;
        found.available.push_back(path.substr(dot + 1));
    }
    return found;
}

TLocalization::TLocalization(std::string support_folder, std::string product_title, LineFileReader reader,
                             ConstantExpander expand_constants)
    : m_support_folder(std::move(support_folder)), m_product_title(std::move(product_title)),
      m_matrix_path(m_support_folder + m_product_title + ".mtx"), m_reader(std::move(reader)),
      m_expand_constants(std::move(expand_constants))
{
}

Result<std::optional<std::string>>
TLocalization::LoadLanguageTables(const std::string& language, const std::function<bool(const std::string&)>& exists)
{
    if (language.empty() || language == m_loaded_language)
        return std::optional<std::string>();
    // All or nothing: a file that cannot be read leaves the tables of the
    // language loaded before, and the next attempt reads them all again.
    std::vector<std::string> map = TRY(m_reader(m_support_folder + "translations.Map"));
    std::vector<std::string> translated = TRY(m_reader(m_support_folder + "translations." + language));
    std::vector<std::string> original = TRY(m_reader(m_support_folder + "translations.Original"));
    std::vector<std::string> matrix = TRY(m_reader(m_matrix_path));
    m_map = std::move(map);
    m_translated = std::move(translated);
    m_original = std::move(original);
    m_matrix = std::move(matrix);
    m_loaded_language = language;
    std::string messages = m_support_folder + "shared.translations." + language;
    if (exists && exists(messages))
        return std::optional<std::string>(messages);
    return std::optional<std::string>();
}

Result<std::string> TLocalization::LocalizeText(const std::string& text, std::string_view key, std::size_t index) const
{
    TranslationMode mode = translation_mode(m_expand_constants);
    if (mode == TranslationMode::variables_only && (key.find(variable_key_start) == std::string_view::npos ||
                                                    key.find(variable_key_end) == std::string_view::npos))
        return text;
    std::size_t line = 0;
    while (line < m_matrix.size() && !equal_ascii_nocase(m_matrix[line], key))
        ++line;
    if (line == m_matrix.size() || index == 0)
        return text;
    std::size_t aligned = line + index - 1;
    if (mode == TranslationMode::new_only) {
        if (aligned >= m_original.size())
            return make_error(ErrorCode::out_of_range,
                              "Translation line " + std::to_string(aligned) + " is missing from translations.Original");
        if (m_original[aligned] != text)
            return text;
    }
    if (aligned >= m_translated.size())
        return make_error(ErrorCode::out_of_range, "Translation line " + std::to_string(aligned) +
                                                       " is missing from translations." + m_loaded_language);
    return m_expand_constants ? m_expand_constants(m_translated[aligned]) : m_translated[aligned];
}

} // namespace quillon
