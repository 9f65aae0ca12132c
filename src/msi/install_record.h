// What the installation commands of one run record for Windows Installer:
// the property queue written into the package before the run, the instance
// list saved with the installation, the command marks, and the texts and
// shortcut requests applied around the run. Installation commands change
// nothing on the machine; the package's own rows, switched on by these
// properties, do the work when the changes are applied.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::msi {

// A value as it is kept in the queue and the instance list: every CR LF written as "$NEWLINE$".
std::string OneLineValue(std::string_view value);

// "A" + header, and "P" + header + "_" + n.
std::string CommandProperty(std::string_view header);
std::string ValueProperty(std::string_view header, int n);

// The shortcut name the package's Shortcut table carries: the first six
// characters of the name, blanks trimmed afterwards, "~1|" and the name.
std::string ShortcutTableName(std::string_view name);

struct ShortcutText {
    std::string directory; // the Pₙ value the Shortcut rows are keyed on
    std::string name;      // short|long form
    std::string description;
};
struct FileTypeText {
    std::string authored_prog_id;
    std::string prog_id;
    std::string description;
};

class InstallRecord {
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    // One entry per command: "SKIP", or "FALSE" for installation commands,
    // "TRUE" once the command has recorded itself.
    void set_command_marks(std::vector<std::string> marks) { m_marks = std::move(marks); }
    const std::vector<std::string>& command_marks() const { return m_marks; }
    void mark_recorded(std::size_t index);

    // Appends (name, value) to the property queue and the instance list.
    void record_property(std::string_view name, std::string_view value);
    // Queue only (the properties Apply Changes adds for the package alone).
    void queue_property(std::string_view name, std::string_view value);
    // Instance list only.
    void add_instance_pair(std::string_view name, std::string_view value);

    // The queue, null when nothing was queued since it was last applied.
    const std::optional<Pairs>& queue() const { return m_queue; }
    // Hands the queue over to the package run and starts a new one on the next record.
    Pairs take_queue();
    // Alternating names and values, in recording order.
    const std::vector<std::string>& instance_list() const { return m_instance; }
    void set_instance_list(std::vector<std::string> list) { m_instance = std::move(list); }

    std::vector<ShortcutText>& shortcut_texts() { return m_shortcut_texts; }
    std::vector<FileTypeText>& file_type_texts() { return m_file_type_texts; }
    // Pin requests of this run: "path|flags|target".
    std::vector<std::string>& shortcut_list() { return m_shortcuts; }
    // The pin requests of the installation being maintained.
    std::vector<std::string>& installed_shortcuts() { return m_installed_shortcuts; }
    // Shortcut file, application user model ID.
    Pairs& application_ids() { return m_app_ids; }

private:
    std::vector<std::string> m_marks;
    std::optional<Pairs> m_queue;
    std::vector<std::string> m_instance;
    std::vector<ShortcutText> m_shortcut_texts;
    std::vector<FileTypeText> m_file_type_texts;
    std::vector<std::string> m_shortcuts;
    std::vector<std::string> m_installed_shortcuts;
    Pairs m_app_ids;
};

// The statements that write the queue into the Property table, in order: for
// each pair an INSERT (which fails for a property the package has) and an
// UPDATE. "$NEWLINE$" becomes a line break again and every "'" "$QUOTE$".
std::vector<std::string> PropertyQueueStatements(const InstallRecord::Pairs& queue);
// A transformed instance's package answers to the new product code.
std::string ProductCodeStatement(std::string_view product_code);
// The component identities a transformed instance's package renews.
inline constexpr std::string_view component_ids_query = "SELECT `ComponentId` FROM `Component`";

// The statements that put the run's language into the Shortcut and ProgId
// tables; values go into the text as they are.
std::vector<std::string> ShortcutTextStatements(const std::vector<ShortcutText>& texts);
std::vector<std::string> FileTypeTextStatements(const std::vector<FileTypeText>& texts);

// The package template (platform;languages) for the engine's 64-bit mode
// ("Win32", "ia64", "x64"), and whether the platform changed.
struct PackagePlatform {
    std::string template_text;
    bool changed = false;
    bool components_64bit = false; // the 64-bit component attribute wanted
};
PackagePlatform PlatformForMode(std::string_view template_text, std::string_view mode);

inline constexpr int component_64bit_attribute = 256;
inline constexpr int package_word_count = 8; // long names, uncompressed sources, no elevation needed

} // namespace quillon::msi
