// Translations of script texts: the localization matrix, the original texts and
// one aligned file per language, all in the support folder.
#pragma once

#include "base/error.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Reads a text file of CR LF lines whole; the engine supplies it.
using LineFileReader = std::function<Result<std::vector<std::string>>(const std::string& path)>;
// ExpandBuildConstants of the script.
using ConstantExpander = std::function<std::string(std::string_view)>;

struct DiscoveredLanguages {
    std::vector<std::string> available; // file extensions of "translations.*", in listing order
    std::string current;                // the author's default language when its file exists, else empty
};

// From the full paths of the support folder's "translations.*" files: every
// language file except "translations.Map", "translations.Original" and paths
// containing "shared".
DiscoveredLanguages discover_languages(const std::vector<std::string>& translation_files,
                                       const std::string& support_folder, const std::string& default_language);

// The matrix key of a "Localization Variable" text: made from the variable name, not the command identifier.
std::string LocalizationVariableKey(std::string_view variable);

class TLocalization {
public:
    TLocalization(std::string support_folder, std::string product_title, LineFileReader reader,
                  ConstantExpander expand_constants);

    // Whether the matrix (title + ".mtx") switches localization on.
    const std::string& matrix_path() const { return m_matrix_path; }

    // Loads the tables of the language when it is not empty and not the one
    // loaded. Returns the path of its engine message file when one exists
    // ("shared.translations." + language), for the caller to load.
    Result<std::optional<std::string>> LoadLanguageTables(const std::string& language,
                                                          const std::function<bool(const std::string&)>& exists);

    // The index-th (1-based) translatable text of the command with the key, in the loaded language.
    Result<std::string> LocalizeText(const std::string& text, std::string_view key, std::size_t index) const;

    const std::string& loaded_language() const { return m_loaded_language; }
    bool language_loaded() const { return m_loaded_language != no_language; }

private:
    std::string m_support_folder;
    std::string m_product_title;
    std::string m_matrix_path;
    LineFileReader m_reader;
    ConstantExpander m_expand_constants;
    static constexpr const char* no_language = "ZILCH";
    std::string m_loaded_language = no_language;
    std::vector<std::string> m_matrix;
    std::vector<std::string> m_original;
    std::vector<std::string> m_translated;
    std::vector<std::string> m_map;
};

} // namespace quillon
