#include "engine/messages.h"

#include "base/strings.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::array<std::string_view, EngineMessages::line_count> built_in_english = {
    "Please install the common controls update from Microsoft before attempting to install this product.", // 1
    "Setup resource not found", // 2
    "Setup resource decompression failure", // 3
    "Setup database not found", // 4
    "Runtime error in install: ", // 5
    "bytes", // 6
    "KB", // 7
    "MB", // 8
    "Attempting to get value of undefined variable ", // 9
    "Attempting to set value of undefined variable ", // 10
    "Copying: ", // 11
    "Unable to copy installation data to local folders", // 12
    "Downloading Web Media: ", // 13
    "Unable to download installation data from the web", // 14
    "Extracting Web Media: ", // 15
    "Unable to extract installation data downloaded from the web", // 16
    "Please locate your original setup sources to continue operation", // 17
    "Original setup sources required to complete operation, sources not found", // 18
    "General setup failure", // 19
    "Runtime error in setup script:", // 20
    "% complete", // 21
    "bytes received", // 22
    "Quillon Wizard", // 23
    "Quillon is preparing the Quillon Wizard which will install this application. Please wait.", // 24
    "Retry Download?", // 25
    "Downloading of installation data from the web has failed. Would you like to try again?", // 26
    " Proxy Information (optional) ", // 27
    "Proxy &Server:", // 28
    "Proxy &Port:", // 29
    "If you choose No, setup will exit. However, you will be able to resume your download from where it left off when you re-run setup.", // 30
    "&Yes", // 31
    "&No", // 32
    "Retry Extraction?", // 33
    "Extraction of installation data downloaded from the web has failed. What would you like to do?", // 34
    "&Download a fresh copy of the installation data.", // 35
    "Try to &extract the existing download data again.", // 36
    "If you choose Cancel, setup will exit. Your existing download data will be preserved.", // 37
    "&OK", // 38
    "&Cancel", // 39
    "Are you sure you want to cancel?", // 40
    "Proxy &User:", // 41
    "Proxy Pass&word:", // 42
    "Fatal Error", // 43
    "Error", // 44
    "Warning", // 45
    "Message", // 46
    "Files in Use", // 47
    "Out of Disk Space", // 48
    "Downloading of installation data from the web has failed. Please make sure you are connected to the Internet.", // 49
    "Would you like to:", // 50
    "Try to &resume the broken download?", // 51
    "Download a &new copy of the data instead?", // 52
    "If you choose Cancel, setup will exit. However, you will be able to resume your download from where it left off when you re-run setup.", // 53
    "", // 54
    "Locating resource", // 55
    "Connecting to", // 56
    "Redirecting to", // 57
    "Beginning data transfer", // 58
    "Transferring data", // 59
    "Finishing data transfer", // 60
    "Beginning component download", // 61
    "Installing components", // 62
    "Finishing component download", // 63
    "Resuming broken download", // 64
    "Requesting data", // 65
    "CLASSID available", // 66
    "Download data recognized", // 67
    "Saving download information", // 68
    "Beginning synchronous operation", // 69
    "Finishing synchronous operation", // 70
    "Beginning data upload", // 71
    "Uploading data", // 72
    "Finishing data upload", // 73
    "Protocol CLASSID", // 74
    "Encoding", // 75
    "Download data recognized and verified", // 76
    "Class install location", // 77
    "Decoding", // 78
    "Loading data handler", // 79
    "Content disposition attach", // 80
    "Download data filtered", // 81
    "CLSID can instantiate", // 82
    "COM services unavailable", // 83
    "Direct bind", // 84
    "Unrecognized download data", // 85
    "Detecting proxy information", // 86
    "Accept ranges", // 87
    "A previously executed setup still has pending operations on the system. Please restart your computer before attempting to install this product.", // 88
    "Select Setup Language", // 89
    "Please select the language to use during the installation:", // 90
    "", // 91: read and ignored
    "", // 92: read and ignored
    "", // 93: read and ignored
    "", // 94: read and ignored
    "", // 95: read and ignored
    "", // 96: read and ignored
    "", // 97: read and ignored
    "", // 98: read and ignored
    "", // 99: read and ignored
    "", // 100: read and ignored
    "", // 101: read and ignored
    "", // 102: read and ignored
    "", // 103: read and ignored
    "", // 104: read and ignored
    "", // 105: read and ignored
    "", // 106: read and ignored
    "", // 107: read and ignored
    "", // 108: read and ignored
    "", // 109: read and ignored
    "", // 110: read and ignored
    "", // 111: read and ignored
    "Unable to play Flash movie", // 112
    "Will be &installed on local hard drive", // 113
    "&Entire feature will be installed on local hard drive", // 114
    "Entire feature will be &unavailable", // 115
};

} // namespace

EngineMessages::EngineMessages()
{
    for (int line = 1; line <= line_count; ++line)
        m_lines[static_cast<std::size_t>(line)] = built_in_english[static_cast<std::size_t>(line - 1)];
}

void EngineMessages::set(int line, std::string text)
{
    if (line < 1 || line > line_count || is_ignored_line(line))
        return;
    m_lines[static_cast<std::size_t>(line)] = std::move(text);
}

void LoadMessageTable(EngineMessages& messages, std::string_view file_text, std::string_view user_language)
{
    std::size_t position = 0;
    auto next_line = [&](std::string& line) {
        if (position >= file_text.size())
            return false;
        std::size_t end = file_text.find("\r\n", position);
        if (end == std::string_view::npos)
            end = file_text.size();
        line.assign(file_text.substr(position, end - position));
        position = std::min(file_text.size(), end + 2);
        return true;
    };
    auto read_block = [&] {
        std::string line;
        for (int number = 1; number <= EngineMessages::line_count && next_line(line); ++number)
            messages.set(number, line);
    };

    read_block();
    std::string name;
    while (next_line(name)) {
        read_block();
        if (equal_nocase(name, user_language))
            break;
    }
}

} // namespace quillon
