// Member names made safe for extraction below a target folder.
#pragma once

#include "base/error.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon::sevenzip {

// The components of a stored name relative to the target, with "/" and "\"
// both taken as separators, "." dropped and ".." resolved. Fails for names that
// are absolute, carry a drive or stream (":"), start with a UNC prefix, climb
// above the target, name a Windows device (CON, NUL, COM1, ...), consist only of
// dots and spaces other than "." and "..", or name nothing.
Result<std::vector<std::u16string>> member_components(std::u16string_view name);

} // namespace quillon::sevenzip
