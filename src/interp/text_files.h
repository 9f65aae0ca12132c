// The text files of "Read from Text File" and "Write to Text File": the one
// file the script reads line by line, and the lines a write leaves in a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// "#READALL\" before a path asks for the rest of the file at once (exact case).
inline constexpr std::string_view read_all_prefix = "#READALL\\";

// The file a script reads, open from its first read until its end is reached,
// another path is read, the same path is written, or the run ends. The
// content is read once when it is opened; a line ends at CR LF, LF or CR.
class OpenTextFile {
public:
    // Whether a file is open under this path (compared without regard to case).
    bool open_at(std::string_view path) const;
    void open(std::string path, std::string content);
    void close();
    bool at_end() const { return m_position >= m_content.size(); }
    // The next line without its line break; the caller checks at_end first.
    std::string read_line();
    // Every remaining line joined by "$NEWLINE$".
    std::string read_rest();

private:
    std::string m_path; // empty: no file is open
    std::string m_content;
    std::size_t m_position = 0;
};

// The file after "Write to Text File": its lines (CR LF, LF or CR ends one)
// with the text put first or last, each line ended by CR LF. The text goes in
// as it stands, so its own line breaks make several lines; an empty text an empty line.
enum class TextPlace : std::uint8_t { top, bottom };
std::string text_file_with(std::optional<std::string_view> old_content, std::string_view text, TextPlace place);

} // namespace quillon
