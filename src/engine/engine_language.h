// The language of a run: the translation tables of the script's texts and of
// the pages, and the engine's own messages, which follow LANGUAGE together.
#pragma once

#include "base/error.h"
#include "engine/messages.h"
#include "script/ScriptImage.h"
#include "script/localization.h"

#include <string>
#include <string_view>

namespace quillon {

class EngineLanguage {
public:
    EngineLanguage(const TScriptImage& script, std::string support_folder, EngineMessages& messages);

    // A language's tables, and its engine messages when it brings a message
    // file (else the messages of the start-up). Nothing happens for an empty
    // language or the one loaded. A language whose tables cannot be read is a
    // file error: the script asked for texts the setup does not carry.
    Result<void> load(const std::string& language);
    bool loaded() const { return m_localization.language_loaded(); }

    // The ordinal-th translatable text under a key, in the loaded language.
    Result<std::string> translate(const std::string& text, std::string_view key, std::size_t ordinal) const;
    // A page's design text in the loaded language; the design text itself
    // when the setup is not localized, no language is loaded or the tables
    // have none (a short translation file).
    std::string translate_design_text(const std::string& text, const std::string& key, std::size_t index) const;

private:
    const TScriptImage& m_script;
    TLocalization m_localization;
    bool m_localized; // the translation matrix was extracted with the resources
    EngineMessages& m_messages;
    EngineMessages m_startup_messages; // for a language without a message file of its own
};

// A text file of CR LF lines, whole.
Result<std::vector<std::string>> read_crlf_lines(const std::string& path);

} // namespace quillon
