// Fetching media folders: the decisions of the fetch against a file system,
// workers and dialogs that are kept in memory and record what was asked.
#include "media/media_distribution.h"
#include "media/web_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>

namespace quillon::media {
namespace {

const std::string revision = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
const std::string cache = "C:\\ProgramData\\" + revision + "\\";

class FakeMedia : public MediaPlace, public MediaWorkers, public MediaQuestions {
public:
    FetchRoles roles() { return {*this, *this, *this}; }

    // Place
    std::string data_folder() override { return data; }
    bool removing() override { return remove; }
    std::string local_archive_folder() override { return "D:\\setup\\"; }
    std::string temporary_folder() override { return "C:\\Temp\\"; }
    bool folder_exists(const std::string& folder) override { return folders.contains(folder); }
    bool file_exists(const std::string& path) override { return files.contains(path); }
    void clear_folder(const std::string& folder) override
    {
        log.push_back("clear " + folder);
        std::erase_if(files, [&](const std::string& f) { return f.starts_with(folder); });
    }
    void remove_folder(const std::string& folder) override
    {
        log.push_back("remove " + folder);
        folders.erase(folder);
    }
    void create_folder(const std::string& folder) override { folders.insert(folder); }
    void create_marker(const std::string& path) override
    {
        log.push_back("marker " + path);
        files.insert(path);
    }
    void delete_file(const std::string& path) override
    {
        log.push_back("delete " + path);
        files.erase(path);
    }
    std::vector<std::string> subfolders(const std::string&) override { return {"OFFLINE", "WEB1"}; }
    bool move_tree(const std::string& source, const std::string& target) override
    {
        log.push_back("move " + source + " -> " + target);
        return true;
    }

    // Workers: each answers the next scripted result (the last one repeats).
    bool copy_media(const std::string& folder) override
    {
        log.push_back("copy into " + folder);
        return copy_succeeds;
    }
    bool download(const WebMediaState& state, const std::string& caption) override
    {
        log.push_back("download " + caption + (state.resume ? " (resume)" : "") +
                      (state.proxy.server.empty() ? "" : " via " + state.proxy.server));
        return next(downloads);
    }
    ExtractOutcome extract(const std::string& archive, bool local, const std::string& password, const std::string&,
                           const std::string& caption) override
    {
        log.push_back("extract " + archive + (local ? " (local)" : "") + " " + password + " " + caption);
        if (cancel_during_extraction)
            cancelled_flag = true;
        return next(extractions);
    }
    bool light_transport() override { return light; }
    bool cancelled() override { return cancelled_flag; }
    void mark_cancelled(std::string_view origin) override
    {
        cancelled_flag = true;
        cancel_origin = std::string(origin);
    }

    // Questions
    bool silent() override { return silent_run; }
    std::optional<ResumeChoice> ask_resume() override
    {
        log.push_back("ask resume");
        return next(resume_answers);
    }
    std::optional<ProxySettings> ask_proxy(const ProxySettings& current) override
    {
        log.push_back("ask proxy (" + current.server + ")");
        return next(proxy_answers);
    }
    std::optional<ExtractChoice> ask_extract_failure() override
    {
        log.push_back("ask extract");
        return next(extract_answers);
    }

    template <typename T>
    static T next(std::deque<T>& queue)
    {
        T value = queue.front();
        if (queue.size() > 1)
            queue.pop_front();
        return value;
    }

    std::string data = cache;
    bool remove = false;
    std::set<std::string> folders;
    std::set<std::string> files;
    bool copy_succeeds = true;
    std::deque<bool> downloads{true};
    std::deque<ExtractOutcome> extractions{ExtractOutcome{true, false}};
    bool light = false;
    bool cancelled_flag = false;
    bool cancel_during_extraction = false;
    std::string cancel_origin;
    bool silent_run = false;
    std::deque<std::optional<ResumeChoice>> resume_answers{std::nullopt};
    std::deque<std::optional<ProxySettings>> proxy_answers{std::nullopt};
    std::deque<std::optional<ExtractChoice>> extract_answers{std::nullopt};
    std::vector<std::string> log;
};

const FetchTexts texts{"copy failed", "download failed", "extract failed", "Downloading: ", "Extracting: "};

struct Fetch {
    Fetch() { SetWebMediaBlock(state, "Web1", "http://dead/web1.7zip\r\n\r\nhttp://alive/web1.7zip", cache, "secret"); }
    Result<void> operator()(std::string_view folder = "WEB1\\")
    {
        return FetchMedia(folder, revision, state, texts, media.roles());
    }
    FakeMedia media;
    WebMediaState state;
};

TEST(WebMediaBlock, TakesOneLocationPerLineAndTheArchiveBesideTheData)
{
    WebMediaState state;
    state.resume = true;
    state.proxy.server = "proxy";
    SetWebMediaBlock(state, "Web1", "http://a/x\r\n  \nhttp://b/x\rhttp://c/x\n", "C:\\Data\\", "pw");
    EXPECT_EQ(state.block.locations, (std::vector<std::string>{"http://a/x", "http://b/x", "http://c/x"}));
    EXPECT_EQ(state.block.archive_path, "C:\\Data\\Web1.7zip");
    EXPECT_EQ(state.block.password, "pw");
    EXPECT_TRUE(state.resume) << "the user's answers outlive the block";
    EXPECT_EQ(state.proxy.server, "proxy");
}

TEST(FetchMedia, ACompleteFolderIsNotFetchedAgainAndAnIncompleteOneIsEmptiedFirst)
{
    Fetch fetch;
    fetch.media.folders.insert(cache + "WEB1\\");
    fetch.media.files.insert(cache + "WEB1\\" + revision);
    ASSERT_TRUE(fetch());
    EXPECT_TRUE(fetch.media.log.empty()) << fetch.media.log.front();

    Fetch interrupted;
    interrupted.media.folders.insert(cache + "WEB1\\");
    interrupted.media.files.insert(cache + "WEB1\\half.cab");
    ASSERT_TRUE(interrupted());
    const std::vector<std::string> expected = {
        "clear " + cache + "WEB1\\",
        "download Downloading: WEB1",
        "extract " + cache + "Web1.7zip secret Extracting: WEB1",
        "marker " + cache + "WEB1\\" + revision,
    };
    EXPECT_EQ(interrupted.media.log, expected);
}

TEST(FetchMedia, NothingIsFetchedDuringARemoval)
{
    Fetch fetch;
    fetch.media.remove = true;
    ASSERT_TRUE(fetch());
    EXPECT_TRUE(fetch.media.log.empty());
}

TEST(FetchMedia, OfflineMediaAreCopiedAndAFailedCopyLeavesNoFolder)
{
    Fetch fetch;
    ASSERT_TRUE(fetch("OFFLINE\\"));
    EXPECT_EQ(fetch.media.log,
              (std::vector<std::string>{"copy into " + cache, "marker " + cache + "OFFLINE\\" + revision}));

    Fetch failing;
    failing.media.copy_succeeds = false;
    Result<void> result = failing("OFFLINE\\");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "copy failed");
    EXPECT_FALSE(failing.media.folders.contains(cache + "OFFLINE\\"));
    EXPECT_FALSE(failing.media.files.contains(cache + "OFFLINE\\" + revision));
}

TEST(FetchMedia, AnArchiveBesideTheSetupIsUsedUntilItFailsThenTheBlockIsDownloaded)
{
    Fetch fetch;
    fetch.media.files.insert("D:\\setup\\Web1.7zip");
    fetch.media.extractions = {ExtractOutcome{false, false}, ExtractOutcome{true, false}};
    fetch.media.extract_answers = {ExtractChoice::download};
    ASSERT_TRUE(fetch());
    const std::vector<std::string> expected = {
        "extract D:\\setup\\Web1.7zip (local) secret Extracting: WEB1",
        "clear " + cache + "WEB1\\",
        "remove " + cache + "WEB1\\",
        "ask extract",
        "download Downloading: WEB1",
        "extract " + cache + "Web1.7zip secret Extracting: WEB1",
        "marker " + cache + "WEB1\\" + revision,
    };
    EXPECT_EQ(fetch.media.log, expected);
    EXPECT_EQ(fetch.state.rejected_local_archives, std::vector<std::string>{"D:\\SETUP\\WEB1.7ZIP"});
    EXPECT_TRUE(fetch.media.files.contains("D:\\setup\\Web1.7zip")) << "the setup's own archive is never deleted";
}

TEST(FetchMedia, AFailedDownloadAsksTheQuestionOfItsTransport)
{
    struct Case {
        const char* name;
        bool light;
        bool silent;
        std::deque<std::optional<ResumeChoice>> resume;
        std::deque<std::optional<ProxySettings>> proxy;
        bool fetched;
        std::vector<std::string> log;
    };
    const ProxySettings proxy{"127.0.0.2", "8888", "ann", "secret"};
    const Case cases[] = {
        {"light, resume",
         true,
         false,
         {ResumeChoice::resume},
         {},
         true,
         {"download Downloading: WEB1", "ask resume", "download Downloading: WEB1 (resume)"}},
        {"light, cancel", true, false, {std::nullopt}, {}, false, {"download Downloading: WEB1", "ask resume"}},
        {"http, proxy",
         false,
         false,
         {},
         {proxy},
         true,
         {"download Downloading: WEB1", "ask proxy ()", "download Downloading: WEB1 via 127.0.0.2"}},
        {"http, no", false, false, {}, {std::nullopt}, false, {"download Downloading: WEB1", "ask proxy ()"}},
        {"silent", false, true, {}, {proxy}, false, {"download Downloading: WEB1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fetch fetch;
        fetch.media.light = c.light;
        fetch.media.silent_run = c.silent;
        fetch.media.downloads = {false, true};
        if (!c.resume.empty())
            fetch.media.resume_answers = c.resume;
        if (!c.proxy.empty())
            fetch.media.proxy_answers = c.proxy;
        Result<void> result = fetch();
        EXPECT_EQ(result.has_value(), c.fetched);
        if (!result) {
            EXPECT_EQ(result.error().message, "download failed");
        }
        std::vector<std::string> head(fetch.media.log.begin(),
                                      fetch.media.log.begin() + std::min(fetch.media.log.size(), c.log.size()));
        EXPECT_EQ(head, c.log);
        if (!c.fetched) {
            EXPECT_EQ(fetch.media.log.size(), c.log.size()) << "nothing extracted after a failed download";
        }
    }
}

TEST(FetchMedia, AnArchiveThatCannotBeOpenedIsRetriedNineTimesBeforeTheUserIsAsked)
{
    Fetch fetch;
    fetch.media.extractions = {ExtractOutcome{false, true}};
    fetch.media.extract_answers = {std::nullopt};
    Result<void> result = fetch();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().message, "extract failed");
    auto count = [&](std::string_view prefix) {
        return std::ranges::count_if(fetch.media.log, [&](const std::string& l) { return l.starts_with(prefix); });
    };
    EXPECT_EQ(count("extract "), 10);
    EXPECT_EQ(count("ask extract"), 1);
    EXPECT_EQ(fetch.media.log.back(), "ask extract");
    EXPECT_EQ(fetch.media.cancel_origin, extract_failure_cancel_origin);
    EXPECT_FALSE(fetch.media.folders.contains(cache + "WEB1\\"));
    EXPECT_EQ(std::ranges::count(fetch.media.log, "delete " + cache + "Web1.7zip"), 0)
        << "the download survives for a later attempt";
}

TEST(FetchMedia, ExtractionFailuresEndInTheUsersChoiceOrACancel)
{
    struct Case {
        const char* name;
        bool silent;
        bool cancel_during_extraction;
        std::optional<ExtractChoice> answer;
        bool asked;
        std::string origin;
    };
    const Case cases[] = {
        {"silent", true, false, ExtractChoice::extract, false, std::string(extract_failure_cancel_origin)},
        {"cancelled by the user", false, true, ExtractChoice::extract, false, ""},
        {"cancel in the dialog", false, false, std::nullopt, true, std::string(extract_failure_cancel_origin)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fetch fetch;
        fetch.media.silent_run = c.silent;
        fetch.media.cancel_during_extraction = c.cancel_during_extraction;
        fetch.media.extractions = {ExtractOutcome{false, false}};
        fetch.media.extract_answers = {c.answer};
        Result<void> result = fetch();
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().message, "extract failed");
        EXPECT_EQ(std::ranges::count(fetch.media.log, "ask extract"), c.asked ? 1 : 0);
        EXPECT_EQ(fetch.media.cancel_origin, c.origin);
    }

    Fetch again;
    again.media.extractions = {ExtractOutcome{false, false}, ExtractOutcome{true, false}};
    again.media.extract_answers = {ExtractChoice::extract};
    ASSERT_TRUE(again());
    EXPECT_EQ(std::ranges::count(again.media.log, "download Downloading: WEB1"), 1) << "extracted again, not fetched";
}

TEST(FetchMedia, AFreshDownloadDeletesTheBrokenOneAndForgetsTheResume)
{
    Fetch fetch;
    fetch.state.resume = true;
    fetch.media.files.insert(cache + "Web1.7zip");
    fetch.media.extractions = {ExtractOutcome{false, false}, ExtractOutcome{true, false}};
    fetch.media.extract_answers = {ExtractChoice::download};
    ASSERT_TRUE(fetch());
    EXPECT_NE(std::ranges::find(fetch.media.log, "delete " + cache + "Web1.7zip"), fetch.media.log.end());
    EXPECT_EQ(fetch.media.log[std::ranges::find(fetch.media.log, "ask extract") - fetch.media.log.begin() + 2],
              "download Downloading: WEB1");
    EXPECT_FALSE(fetch.state.resume);
}

TEST(FetchMedia, FoldersOfAnEarlierDataFolderMoveWhenAllUsersChanged)
{
    Fetch fetch;
    fetch.media.folders.insert(cache);
    fetch.media.folders.insert(cache + "OFFLINE\\");
    fetch.media.files.insert(cache + "OFFLINE\\" + revision);
    ASSERT_TRUE(fetch("OFFLINE\\"));
    EXPECT_TRUE(fetch.media.log.empty());

    const std::string per_user = "C:\\Users\\ann\\AppData\\Local\\" + revision + "\\";
    fetch.media.data = per_user;
    fetch.media.log.clear();
    ASSERT_TRUE(fetch("OFFLINE\\"));
    ASSERT_GE(fetch.media.log.size(), 2u);
    EXPECT_EQ(fetch.media.log[0], "move " + cache + "WEB1\\ -> " + per_user + "WEB1\\") << "last listed first";
    EXPECT_EQ(fetch.media.log[1], "move " + cache + "OFFLINE\\ -> " + per_user + "OFFLINE\\");
    EXPECT_EQ(fetch.state.fetched_data_folder, per_user);
}

TEST(MediaDistribution, ListedMembersGoToEveryListedFolderOfTheirArchive)
{
    const std::vector<std::string> list = {
        "WEB1",  "bin\\app.exe", "OFFLINE\\bin",   // one member
        "web1",  "bin\\app.exe", "OFFLINE\\copy\\", // the same member again, kind in another case
        "OTHER", "x.dll",        "OFFLINE\\",            // another archive
        "WEB1",  "readme.txt",   "",                 // into the data folder itself
        "WEB1",  "dangling",                       // an incomplete triple
    };
    std::vector<PlannedMove> moves = DistributionPlan(list, "Web1", "C:\\Temp\\kyrt\\", "C:\\Data\\");
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].source, "C:\\Temp\\kyrt\\Web1\\bin\\app.exe");
    EXPECT_EQ(moves[0].target, "C:\\Data\\OFFLINE\\bin\\app.exe");
    EXPECT_EQ(moves[1].source, moves[0].source);
    EXPECT_EQ(moves[1].target, "C:\\Data\\OFFLINE\\copy\\app.exe");
    EXPECT_EQ(moves[2].target, "C:\\Data\\readme.txt");
}

TEST(MediaDistribution, PercentagesNeverPassAHundredNorDivideByZero)
{
    EXPECT_EQ(StepPercentage(0, 10), 1);
    EXPECT_EQ(StepPercentage(5, 10), 51);
    EXPECT_EQ(StepPercentage(10, 10), 100);
    EXPECT_EQ(StepPercentage(0, 0), 100);
    EXPECT_EQ(StepPercentage(std::int64_t{1} << 62, (std::int64_t{1} << 62) + 1), 100);
}

} // namespace
} // namespace quillon::media
