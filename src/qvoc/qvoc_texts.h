// Texts of the setup compiler: project sections and keys, and the script
// texts it has to know about.
#pragma once

#include <array>
#include <string_view>

namespace quillon::qvoc::texts {

inline constexpr std::string_view section_setup = "setup";
inline constexpr std::string_view section_constants = "constants";
inline constexpr std::string_view section_components = "components";
inline constexpr std::string_view section_passwords = "passwords";
inline constexpr std::string_view section_plugins = "plugins";
inline constexpr std::string_view section_media_files = "media-files";
inline constexpr std::string_view section_script = "script";

inline constexpr std::string_view key_title = "title";
inline constexpr std::string_view key_publisher = "publisher";
inline constexpr std::string_view key_contact = "contact";
inline constexpr std::string_view key_help_link = "help-link";
inline constexpr std::string_view key_update_link = "update-link";
inline constexpr std::string_view key_comments = "comments";
inline constexpr std::string_view key_version = "version";
inline constexpr std::string_view key_product_code = "product-code";
inline constexpr std::string_view key_revision_code = "revision-code";
inline constexpr std::string_view key_media_mode = "media-mode";
inline constexpr std::string_view key_default_language = "default-language";
inline constexpr std::string_view key_language_dialog = "language-dialog";
inline constexpr std::string_view key_code_page = "code-page";
inline constexpr std::string_view key_output = "output";
inline constexpr std::string_view key_resources = "resources";
inline constexpr std::string_view key_media_folder = "media-folder";
inline constexpr std::string_view key_archive_folder = "archive-folder";
inline constexpr std::string_view key_web_block = "web-block";
inline constexpr std::string_view key_platform = "platform";
inline constexpr std::string_view key_source_name = "source-name";
inline constexpr std::string_view key_compression = "compression";

inline constexpr std::string_view attribute_id = "id";
inline constexpr std::string_view attribute_disabled = "disabled";
inline constexpr std::string_view attribute_media_folder = "media-folder";
inline constexpr std::string_view attribute_header = "header";
inline constexpr std::string_view attribute_line = "line";
inline constexpr std::string_view attribute_file = "file";

inline constexpr std::string_view platform_x64 = "x64";
inline constexpr std::string_view platform_x86 = "x86";

inline constexpr std::string_view default_output = "setup";
inline constexpr std::string_view default_language = "English";
inline constexpr std::string_view default_version = "1.0.0.0";

inline constexpr std::string_view predefined_component = "KYRT-PREDEF-COMPONENT";

// Commands that record themselves for the installer: each needs a media
// header, so the compiler gives them one unless the author says otherwise.
inline constexpr std::array<std::string_view, 16> recorded_commands = {
    "Create Folder",   "Copy/Move Local Files", "Delete Files",        "Write Registry",
    "Edit INI File",   "Set Environment",       "Control Service",     "Install Service",
    "Install Files",   "Install Assembly",      "Install ODBC Driver", "Create ODBC DSN",
    "Create Shortcut", "Advertised Shortcut",   "Create File Type",    "Advertised File Type",
};

// The recorded commands whose installer rows the package holds.
inline constexpr std::string_view install_files = "Install Files";
inline constexpr std::string_view create_folder = "Create Folder";
inline constexpr std::string_view write_registry = "Write Registry";
inline constexpr std::string_view create_shortcut = "Create Shortcut";
inline constexpr std::string_view set_environment = "Set Environment";
inline constexpr std::string_view edit_ini_file = "Edit INI File";
inline constexpr std::string_view copy_move_local_files = "Copy/Move Local Files";
inline constexpr std::string_view delete_files = "Delete Files";
inline constexpr std::string_view install_service = "Install Service";
inline constexpr std::string_view control_service = "Control Service";
inline constexpr std::string_view create_file_type = "Create File Type";
inline constexpr std::string_view advertised_shortcut = "Advertised Shortcut";
inline constexpr std::string_view advertised_file_type = "Advertised File Type";
inline constexpr std::string_view install_odbc_driver = "Install ODBC Driver";
inline constexpr std::string_view create_odbc_dsn = "Create ODBC DSN";

// File names of a built setup.
inline constexpr std::string_view engine_stub_name = "engine.exe";
inline constexpr std::string_view archive_library_name = "qvo.lib";
inline constexpr std::string_view setup_extension = ".exe";
inline constexpr std::string_view resource_extension = ".res";
inline constexpr std::string_view package_extension = ".msi";
inline constexpr std::string_view data_folder_name = "data";
// The one feature of a package: every installation selects it.
inline constexpr std::string_view product_feature = "Product";
// Web media blocks, for the author to put on a web server.
inline constexpr std::string_view web_folder_name = "web";
inline constexpr std::string_view web_block_extension = ".7zip";

} // namespace quillon::qvoc::texts
