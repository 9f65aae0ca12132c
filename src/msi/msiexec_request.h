// What the plug-in "(Un)Install MSI Setup" (mMSIExec.dll) is asked to do: its
// parameter text, fields separated by "|" and expanded with the run's
// variables: the action ("INSTALL" or "UNINSTALL", any case), the package
// (a path, or for a removal also a product code in braces), extra properties
// for the command line, and the variable that receives Windows Installer's
// result code.
#pragma once

#include "base/error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::msi {

struct MsiExecRequest {
    bool install = true;
    std::string package; // a path, or a product code for a removal
    std::string properties;
    std::string result_variable;
};

// The fields are expanded by `expand`; an unknown action or an empty package is an error.
Result<MsiExecRequest> ParseMsiExecRequest(std::string_view parameter,
                                           std::string (*expand)(void* context, std::string_view text), void* context);

// The command line of the run: the properties, and for a removal by package "REMOVE=ALL" in front.
std::string MsiExecCommandLine(const MsiExecRequest& request);

// Whether the package names an installed product rather than a file.
bool NamesProductCode(std::string_view package);

// The bar's percentage (1 to 100) for a position of a total; 1 before anything is known.
std::int32_t ProgressPercent(std::int64_t position, std::int64_t total);

} // namespace quillon::msi
