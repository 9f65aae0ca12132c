// The installer rows of a script's recorded commands. At run time a recorded
// command only sets the property "A" + its media header to "TRUE" and its
// values "P" + header + "_" + n; the package already holds its rows, switched
// on by that property and reading those values:
//
// - "Install Files": a folder keyed "P<h>_1", so that the recorded target
//   redirects it, whose source is the command's media folder under the data
//   folder; its subfolders below it; a component per file (an empty folder
//   gets one of its own that creates it).
// - "Create Folder": a folder keyed "P<h>_1" and a component that creates it.
// - "Write Registry": one registry value whose key, name and data are the
//   authored texts, or "[P<h>_n]" where the engine records the value.
// - "Create Shortcut": a shortcut in the folder keyed "P<h>_1" to the
//   recorded target, arguments and working folder.
// - "Set Environment", "Edit INI File": an Environment or IniFile row.
// - "Copy/Move Local Files": a MoveFile row from the recorded source to the
//   recorded folder (and a RemoveFile row that takes a copy away again).
// - "Delete Files": a RemoveFile row for the recorded files, when the
//   product is installed, removed or both.
// - "Install Service": the program as "Install Files" installs one file,
//   with a ServiceInstall row for it and a ServiceControl row that stops and
//   deletes the service with the product (and starts it, when asked).
// - "Control Service": a ServiceControl row for the recorded service.
// - "Create File Type": registry values below HKEY_CLASSES_ROOT for the
//   recorded extension, type, description, program and icon.
//
// Disabled commands and commands without a media header get no rows.
#pragma once

#include "base/error.h"
#include "qvoc/msi_package.h"
#include "qvoc/project.h"
#include "script/script_writer.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::qvoc {

// A media folder of the project: data\<name> beside the setup.
struct MediaFolderSource {
    std::string name;
    std::filesystem::path folder; // its files on the building machine
};

// The rows of every recorded command that has them. project gives the lines
// of errors; its commands are the script's commands in the same order.
// Components are 64-bit ones for an x64 package.
Result<PackageRows> make_package_rows(const Project& project, const CompiledScript& script,
                                      const std::vector<MediaFolderSource>& media, bool x64);

// A file or folder name for the Filename and DefaultDir columns: the name
// when it is a short name already, else "SHORT~N.EXT|long name" with n the
// first number free in taken (which gets the short name added).
std::string installer_file_name(std::string_view name, std::vector<std::string>& taken);

// A text taken literally in a formatted column: brackets escaped.
std::string literal_formatted(std::string_view text);

} // namespace quillon::qvoc
