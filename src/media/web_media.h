// Fetching the media folders of a setup that keeps its media in the engine
// cache (media mode 2): the setup's own media ("OFFLINE\") are copied there,
// any other folder is a web media block that is downloaded as a 7z archive
// and extracted there. A folder is complete when it holds a marker file named
// by the revision code; a folder without one is emptied and fetched again.
//
// The decisions live here; the engine carries them out through three roles:
// the place (folders and files), the workers (copy, download, extract on
// their threads) and the questions (the retry dialogs, never in a silent run).
#pragma once

#include "base/error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::media {

struct ProxySettings {
    std::string server;
    std::string port;
    std::string user;
    std::string password;
};

enum class ResumeChoice { resume, new_copy };
enum class ExtractChoice { download, extract };

// The archive that the last "Web Media Block" named.
struct WebMediaBlock {
    std::string name;
    std::vector<std::string> locations; // tried in order
    std::string archive_path;           // data folder + name + ".7zip"
    std::string password;
};

// What a run keeps between fetches: the current block, the user's answers
// (resume, proxy), the local archives that failed to extract, and the data
// folder the last fetch used.
struct WebMediaState {
    WebMediaBlock block;
    bool resume = false;
    ProxySettings proxy;
    std::vector<std::string> rejected_local_archives; // upper case
    std::string fetched_data_folder;
};

// "Web Media Block": the block is replaced whole; resume flag and proxy stay.
// `locations` holds one location per line (CR LF, LF or CR); blank lines are skipped.
void SetWebMediaBlock(WebMediaState& state, std::string_view name, std::string_view locations,
                      std::string_view data_folder, std::string password);

// The name of the media folder that holds the setup's own media.
inline constexpr std::string_view offline_folder = "OFFLINE\\";
// Where extractions land before their files are distributed, below the temporary folder.
inline constexpr std::string_view extraction_folder_name = "kyrt\\";
// KYRT_IsCancelled's origin when an extraction failure ends in a cancel.
inline constexpr std::string_view extract_failure_cancel_origin = "GrabMediaEx Extract Failure Cancel Trickle";
// An extraction that cannot open its archive is tried this many times more before the user is asked.
inline constexpr int silent_extraction_retries = 9;

// The texts of a fetch, from the engine's message table.
struct FetchTexts {
    std::string copy_failed;     // "Unable to copy installation data to local folders"
    std::string download_failed; // "Unable to download installation data from the web"
    std::string extract_failed;  // "Unable to extract installation data downloaded from the web"
    std::string downloading;     // "Downloading Web Media: "
    std::string extracting;      // "Extracting Web Media: "
};

// Folders and files. Paths are the engine's 8-bit texts; folders end in "\".
class MediaPlace {
public:
    virtual ~MediaPlace() = default;
    // The data folder for the current ALLUSERS: cache root + revision code + "\".
    virtual std::string data_folder() = 0;
    virtual bool removing() = 0;                      // REMOVE is true
    virtual std::string local_archive_folder() = 0;   // SFXPATH, else EXEDIR
    virtual std::string temporary_folder() = 0;       // with a trailing "\"
    virtual bool folder_exists(const std::string& folder) = 0;
    virtual bool file_exists(const std::string& path) = 0;
    // Everything below the folder deleted (three passes); the folder itself stays.
    virtual void clear_folder(const std::string& folder) = 0;
    virtual void remove_folder(const std::string& folder) = 0;
    // Creates the folder (and those above it), compressed as the run asks.
    virtual void create_folder(const std::string& folder) = 0;
    virtual void create_marker(const std::string& path) = 0;
    virtual void delete_file(const std::string& path) = 0;
    // Names of the folder's subfolders, in listing order.
    virtual std::vector<std::string> subfolders(const std::string& folder) = 0;
    // Moves every file below source into target, then removes source.
    virtual bool move_tree(const std::string& source, const std::string& target) = 0;
};

struct ExtractOutcome {
    bool success = false;
    bool cannot_open = false; // the archive could not be opened (damaged, or a wrong password)
};

// The long steps, each on its worker while the wizard stays responsive.
class MediaWorkers {
public:
    virtual ~MediaWorkers() = default;
    // The setup's own media into data folder (TCopyMedia).
    virtual bool copy_media(const std::string& data_folder) = 0;
    // The block's archive from the first location that answers (TGrabMedia).
    virtual bool download(const WebMediaState& state, const std::string& caption) = 0;
    // Extracts and distributes the archive into the data folder (TExtractMedia).
    virtual ExtractOutcome extract(const std::string& archive, bool local, const std::string& password,
                                   const std::string& data_folder, const std::string& caption) = 0;
    // Whether the light-weight downloader (which cannot use a proxy of ours) is in use.
    virtual bool light_transport() = 0;
    virtual bool cancelled() = 0; // KYRT_IsCancelled holds a true Boolean
    virtual void mark_cancelled(std::string_view origin) = 0;
};

// The retry dialogs; none is asked in a silent run.
class MediaQuestions {
public:
    virtual ~MediaQuestions() = default;
    virtual bool silent() = 0;
    // Nothing when the user cancels.
    virtual std::optional<ResumeChoice> ask_resume() = 0;
    virtual std::optional<ProxySettings> ask_proxy(const ProxySettings& current) = 0;
    virtual std::optional<ExtractChoice> ask_extract_failure() = 0;
};

struct FetchRoles {
    MediaPlace& place;
    MediaWorkers& workers;
    MediaQuestions& questions;
};

// Fetches media folder `folder` ("OFFLINE\" or a block's folder, with its
// trailing "\") into the data folder. The error's message is the text the
// caller shows.
Result<void> FetchMedia(std::string_view folder, std::string_view revision_code, WebMediaState& state,
                        const FetchTexts& texts, FetchRoles roles);

} // namespace quillon::media
