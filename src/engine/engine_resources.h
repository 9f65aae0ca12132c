// Start-up resources that come from Windows: the user's language and the engine
// messages carried behind the archive library.
#pragma once

#include "engine/languages.h"
#include "engine/messages.h"

#include <string>

namespace quillon {

// The table name of the user locale's language; a failing query counts as identifier 0.
std::string UserLanguageName(UserLanguageKind kind);

// Loads "qvo.lib" from the engine folder, copies the data appended to it to
// "lang.loc" in the temp folder, loads the messages from it and deletes it.
// Without the library or its data the built-in texts stay.
void load_engine_messages(EngineMessages& messages, const std::string& engine_folder, const std::string& temp_folder);

} // namespace quillon
