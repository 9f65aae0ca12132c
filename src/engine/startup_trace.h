// The start-up trace: one line per step into the "/l=" log file.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

class StartupTrace {
public:
    explicit StartupTrace(std::string log_file) : m_log_file(std::move(log_file)) {}

    // Appends the line with CR LF as UTF-16LE without a byte-order mark. The
    // first line of the process replaces an older log. Does nothing without a log file.
    void line(std::string_view text);
    // Later lines go to this file (appended); empty stops the log.
    void set_log_file(std::string log_file) { m_log_file = std::move(log_file); }

private:
    std::string m_log_file;
    bool m_created = false;
};

} // namespace quillon
