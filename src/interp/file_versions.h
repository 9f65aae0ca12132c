// The versions of "Get File Version" and "Check File Version": the text of a
// file's version and the reading of a version a script writes.
#pragma once

#include "base/error.h"
#include "interp/system_information.h"

#include <string>
#include <string_view>

namespace quillon {

// major.minor.release.build in decimal; a file without a version is 0.0.0.0.
std::string version_text(const FileVersion& version);

// Up to four components: the text before each dot must be a number from 0 to
// 65535 (anything else is an error naming the text); the last component may be
// anything, what is not such a number counts as 0. "5.1" is 5.1.0.0.
Result<FileVersion> version_of_text(std::string_view text);

} // namespace quillon
