// OVERRIDECACHE: a cache root the script or the command line names instead
// of the default. Before a command, a new value is tried by making its folder;
// a root that cannot be made is cleared, so that the default root applies.
#pragma once

#include "vars/VariableManager.h"

#include <string>

namespace quillon {

class CacheOverride {
public:
    // Returns whether a new value was taken over.
    bool apply(TVariableManager& vars);

private:
    std::string m_applied; // the value last taken over, with its trailing "\"
};

} // namespace quillon
