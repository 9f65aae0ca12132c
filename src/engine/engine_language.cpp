#include "engine/engine_language.h"

#include "engine/support_folder.h"
#include "script/compile_pass.h"

#include <fstream>
#include <iterator>

namespace quillon {

Result<std::vector<std::string>> read_crlf_lines(const std::string& path)
{
    std::ifstream file(fs_path(path), std::ios::binary);
    if (!file)
        return make_error(ErrorCode::io, "Cannot open " + path);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

EngineLanguage::EngineLanguage(const TScriptImage& script, std::string support_folder, EngineMessages& messages)
    : m_script(script), m_localization(std::move(support_folder), script.product_title(), read_crlf_lines,
                                       [this](std::string_view text) { return ExpandBuildConstants(text, m_script); }),
      m_localized(quillon::file_exists(m_localization.matrix_path())), m_messages(messages),
      m_startup_messages(messages)
{
}

Result<void> EngineLanguage::load(const std::string& language)
{
    if (language.empty() || language == m_localization.loaded_language())
        return {};
    std::optional<std::string> message_file = TRY(m_localization.LoadLanguageTables(language, quillon::file_exists));
    m_messages = m_startup_messages;
    if (message_file) {
        std::ifstream file{fs_path(*message_file), std::ios::binary};
        if (!file)
            return make_error(ErrorCode::io, "Cannot open " + *message_file);
        std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // The block named like the language, else the file's last block.
        LoadMessageTable(m_messages, text, language);
    }
    return {};
}

Result<std::string> EngineLanguage::translate(const std::string& text, std::string_view key, std::size_t ordinal) const
{
    return m_localization.LocalizeText(text, key, ordinal);
}

std::string EngineLanguage::translate_design_text(const std::string& text, const std::string& key,
                                                  std::size_t index) const
{
    if (!m_localized || !loaded())
        return text;
    Result<std::string> translated = m_localization.LocalizeText(text, key, index);
    return translated ? *translated : text;
}

} // namespace quillon
