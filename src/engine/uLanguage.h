// The language selection form: a drop-down list of the setup's languages.
#pragma once

#include "engine/messages.h"

#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Shows TSetLanguage modally with the languages and the preselected one; the
// chosen language, or nothing when the user cancels. A silent run shows nothing
// and takes the preselection.
std::optional<std::string> ChooseLanguage(const std::vector<std::string>& available,
                                          const std::string& default_language, const std::string& user_language,
                                          bool silent, const EngineMessages& messages);

} // namespace quillon
