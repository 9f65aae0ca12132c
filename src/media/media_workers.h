// What the three media workers do on their threads: copy the setup's own
// media into the data folder, download a web media block's archive, extract
// it and put every file where the installer database expects it. Each takes
// its inputs whole (the worker may outlive the engine objects that started
// it) and reports through the callbacks it is given.
#pragma once

#include "media/download/download_rules.h"
#include "media/web_media.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::media {

// How a worker reports: ReportProgress(text, 0, 100, percentage) ("$IGNORE$"
// keeps the text), the termination request, and the wake-up of the main thread.
struct WorkerReports {
    std::function<void(std::string_view text, std::int64_t percentage)> progress;
    std::function<bool()> stop_requested;
    std::function<void()> wake_main_thread;
};

struct CopyMediaJob {
    std::string setup_data_folder; // engine folder + "data\"
    std::string data_folder;       // where the media go
    bool keep_sources = false;     // copy instead of move (#CACHESOURCES# in media mode 2)
    bool compress = false;         // KYRT_COMPRESS_INSTALLER_CACHE
    std::string copy_web_block;    // COPYWEBLOCK: receives a copy of the package, when not empty
    std::string package_path;      // long form of SFXPATH + SFXFILE
    std::string percent_complete;  // "% complete"
};
// TCopyMedia: "offline" and "mergemod" below the media source into the data folder.
bool CopyMedia(const CopyMediaJob& job, const WorkerReports& reports);

struct GrabMediaJob {
    std::vector<std::string> locations;
    std::string archive;
    ProxySettings proxy;
    bool resume = false;
    std::string caption;
    int timeout_seconds = 10;
    download::ProgressTexts texts;
};
// TGrabMedia: the first location that answers, into the archive.
bool GrabMedia(const GrabMediaJob& job, const WorkerReports& reports);

struct ExtractMediaJob {
    std::string library; // qvo.lib, by full path
    std::string archive;
    bool local = false; // an archive beside the setup: kept after the extraction
    std::string password;
    std::string data_folder;
    std::string extraction_folder; // temp folder + "kyrt\"
    std::string caption;
    std::string percent_complete;
    std::string copy_web_block;
    std::vector<std::string> media_files; // the script's triples
    std::uint32_t code_page = 0;          // of the member names in the media files list
    bool compress = false;
};
struct ExtractMediaResult {
    bool success = false;
    std::string error;
    bool cannot_open = false;
};
// TExtractMedia: extract into the extraction folder, then distribute.
ExtractMediaResult ExtractMedia(const ExtractMediaJob& job, const WorkerReports& reports);

} // namespace quillon::media
