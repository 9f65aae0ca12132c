// The engine's own messages: built-in English texts, replaced at start-up by the
// block of the message file that matches the user's language.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quillon {

// Line numbers of the message file (1-based) for the messages the engine names.
enum class MessageLine : int {
    common_controls_missing = 1,
    resource_not_found = 2,
    resource_decompression_failure = 3,
    database_not_found = 4,
    runtime_error_in_install = 5,
    bytes = 6,
    kilobytes = 7,
    megabytes = 8,
    media_copy_failed = 12,
    downloading_web_media = 13,
    media_download_failed = 14,
    extracting_web_media = 15,
    media_extract_failed = 16,
    locate_sources = 17,
    sources_required = 18,
    general_setup_failure = 19,
    percent_complete = 21,
    bytes_received = 22,
    runtime_error_in_script = 20,
    wizard_caption = 23,
    preparing_wizard = 24,
    ok_button = 38,
    cancel_button = 39,
    confirm_cancel = 40,
    fatal_error_prefix = 43,
    error_prefix = 44,
    warning_prefix = 45,
    files_in_use_prefix = 47,
    out_of_disk_space_prefix = 48,
    binding_status_first = 54, // binding status 0; statuses 1 to 33 follow
    pending_reboot = 88,
    select_language_caption = 89,
    select_language_prompt = 90,
    flash_failed = 112,
    install_node = 113,
    install_feature = 114,
    feature_unavailable = 115,
};

// Not localizable: shown when the engine runs without an appended script.
inline constexpr std::string_view internal_use_only = "For internal use only";

class EngineMessages {
public:
    static constexpr int line_count = 115;

    EngineMessages();

    const std::string& text(MessageLine line) const { return m_lines[static_cast<std::size_t>(line)]; }
    // By line number, for the message file's own format; the engine asks by name.
    const std::string& text(int line) const { return m_lines[static_cast<std::size_t>(line)]; }
    // Lines 91 to 111 of a block are read and ignored.
    static bool is_ignored_line(int line) { return line >= 91 && line <= 111; }
    void set(int line, std::string text);

private:
    std::array<std::string, line_count + 1> m_lines; // index 0 unused
};

// Reads a message file: an unnamed block of 115 lines, then named blocks (a
// language name line and 115 lines). Every block read replaces the texts;
// reading stops after the block named like the user's language (ignoring case),
// so the result is that block or the last one. A block cut short by the end of
// the file still replaces the lines it has.
void LoadMessageTable(EngineMessages& messages, std::string_view file_text, std::string_view user_language);

} // namespace quillon
