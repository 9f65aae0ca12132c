// The HTTP transport against a real web server on loopback (nginx, started by
// the web_server fixture): whole downloads, resumes with a Range request, a
// server that ignores ranges, missing files, a cancel.
#include "harness/harness.h"
#include "media/download/http_download.h"
#include "media/download/download_url.h"
#include "media/download/light_download.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;

class HttpDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::optional<std::string> port = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"port");
        ASSERT_TRUE(port) << "the web server fixture did not start";
        m_base = "http://127.0.0.1:" + std::string(port->substr(0, port->find_first_of("\r\n"))) + "/";
        m_folder = fresh_scratch_dir(L"http-download");
        // A file whose every block differs, so that a misplaced block shows.
        for (std::uint32_t i = 0; m_content.size() < 300000; ++i) {
            std::uint32_t value = i * 2654435761u;
            m_content.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
        std::ofstream(fs::path(QUILLON_WEB_ROOT) / L"media.7z", std::ios::binary) << m_content;
    }

    download::HttpDownload job(const std::string& path, const fs::path& target, bool resume)
    {
        download::HttpDownload d;
        d.location = m_base + path;
        d.target = to_utf8(target.wstring());
        d.resume = resume;
        d.texts.bytes_received = "bytes received";
        d.texts.percent_complete = "% complete";
        d.progress = [this](int percentage, const std::string& text) {
            m_percentages.push_back(percentage);
            m_last_text = text;
            return true;
        };
        return d;
    }

    // The Range header of the server's last request for the file ("-" for none).
    static std::string last_range()
    {
        std::optional<std::string> log = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"access.log");
        if (!log)
            return "?";
        std::size_t line = log->rfind("media.7z");
        if (line == std::string::npos)
            return "?";
        std::size_t open = log->find('"', line);
        std::size_t close = log->find('"', open + 1);
        return log->substr(open + 1, close - open - 1);
    }

    std::string m_base;
    fs::path m_folder;
    std::string m_content;
    std::vector<int> m_percentages;
    std::string m_last_text;
};

TEST_F(HttpDownloadTest, AWholeFileWithProgress)
{
    fs::path target = m_folder / L"media.7z";
    Result<void> done = download::DownloadWithHttp(job("media.7z", target, false));
    ASSERT_TRUE(done) << done.error().describe();
    EXPECT_EQ(read_file_bytes(target), m_content);
    EXPECT_EQ(last_range(), "-");
    ASSERT_FALSE(m_percentages.empty());
    EXPECT_EQ(m_percentages.back(), 100);
    EXPECT_EQ(m_last_text, "300,000 bytes received, 100% complete");
}

TEST_F(HttpDownloadTest, ABrokenDownloadResumesWithARangeRequest)
{
    struct Case {
        std::string_view what;
        std::string path;
        std::string range; // what the server saw
    };
    const Case cases[] = {
        {"a server that honours ranges", "media.7z", "bytes=97952-"},
        {"a server that ignores them answers with the whole file", "norange/media.7z", "bytes=97952-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path target = m_folder / L"resumed.7z";
        // What a broken transfer left: the first 100,000 bytes, the last of them damaged.
        std::string partial = m_content.substr(0, 100000);
        partial.replace(99000, 1000, 1000, 'X');
        std::ofstream(target, std::ios::binary | std::ios::trunc) << partial;
        Result<void> done = download::DownloadWithHttp(job(c.path, target, true));
        ASSERT_TRUE(done) << done.error().describe();
        EXPECT_EQ(last_range(), c.range);
        EXPECT_TRUE(read_file_bytes(target) == m_content) << "the file is whole, the damaged end replaced";
    }
}

TEST_F(HttpDownloadTest, FailuresKeepWhatArrived)
{
    fs::path target = m_folder / L"missing.7z";
    Result<void> missing = download::DownloadWithHttp(job("no-such-file.7z", target, false));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ErrorCode::not_found);
    EXPECT_NE(missing.error().message.find("404"), std::string::npos) << missing.error().message;

    // A cancel after the first block: the partial file stays for a later resume.
    // The file is large enough that no single read can hold it all, however the
    // transport sizes its reads.
    std::string large;
    while (large.size() < 3000000)
        large += m_content;
    std::ofstream(fs::path(QUILLON_WEB_ROOT) / L"large.7z", std::ios::binary) << large;
    fs::path cancelled_target = m_folder / L"cancelled.7z";
    download::HttpDownload cancelled = job("slow/large.7z", cancelled_target, false);
    cancelled.progress = [](int, const std::string&) { return false; };
    Result<void> stopped = download::DownloadWithHttp(cancelled);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().code, ErrorCode::cancelled);
    std::uintmax_t kept = fs::file_size(cancelled_target);
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, large.size());
    Result<void> resumed = download::DownloadWithHttp(job("large.7z", cancelled_target, true));
    ASSERT_TRUE(resumed) << resumed.error().describe();
    EXPECT_TRUE(read_file_bytes(cancelled_target) == large);

    download::HttpDownload nowhere = job("media.7z", m_folder / L"x", false);
    nowhere.location = "http://127.0.0.1:1/media.7z";
    Result<void> refused = download::DownloadWithHttp(nowhere);
    ASSERT_FALSE(refused) << "nothing listens on port 1";
    EXPECT_EQ(refused.error().code, ErrorCode::win32);
}

TEST_F(HttpDownloadTest, ThroughAProxyThatWantsCredentials)
{
    std::optional<std::string> port = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"proxy_port");
    ASSERT_TRUE(port) << "the proxy of the fixture did not start";
    fs::path target = m_folder / L"proxied.7z";
    download::HttpDownload proxied = job("media.7z", target, false);
    proxied.proxy = "127.0.0.2";
    proxied.proxy_port = std::stoi(*port);

    Result<void> refused = download::DownloadWithHttp(proxied);
    ASSERT_FALSE(refused) << "the proxy wants credentials";
    EXPECT_NE(refused.error().message.find("407"), std::string::npos) << refused.error().message;

    proxied.proxy_user = "ann";
    proxied.proxy_password = "secret";
    Result<void> done = download::DownloadWithHttp(proxied);
    ASSERT_TRUE(done) << done.error().describe();
    EXPECT_TRUE(read_file_bytes(target) == m_content);
    std::optional<std::string> log = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"proxy.log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("media.7z"), std::string::npos) << "the request went through the proxy";
}

// The light-weight transport (urlmon) against the same server.
class UrlmonDownloadTest : public HttpDownloadTest {
protected:
    download::LightDownload light(const std::string& path, const fs::path& target)
    {
        download::LightDownload d;
        d.location = m_base + path;
        d.target = to_utf8(target.wstring());
        d.texts.bytes_received = "bytes received";
        d.texts.percent_complete = "% complete";
        d.progress = [this](int percentage, const std::string&) {
            m_percentages.push_back(percentage);
            return true;
        };
        return d;
    }
    static constexpr const wchar_t* settings = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    static void set_timeout(std::optional<DWORD> value)
    {
        win32::UniqueHkey key;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, settings, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
        if (value)
            RegSetValueExW(key.get(), L"ReceiveTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value),
                           sizeof(DWORD));
        else
            RegDeleteValueW(key.get(), L"ReceiveTimeout");
    }
};

TEST_F(UrlmonDownloadTest, AWholeFileAndTheTimeOutPutBack)
{
    for (std::optional<DWORD> before : {std::optional<DWORD>(), std::optional<DWORD>(30000)}) {
        SCOPED_TRACE(before ? "a time-out set before" : "no time-out before");
        set_timeout(before);
        fs::path target = m_folder / L"light.7z";
        std::error_code ignored;
        fs::remove(target, ignored);
        Result<void> done = download::DownloadWithUrlmon(light("media.7z", target));
        ASSERT_TRUE(done) << done.error().describe();
        EXPECT_TRUE(read_file_bytes(target) == m_content);
        EXPECT_EQ(registry_dword(HKEY_CURRENT_USER, settings, L"ReceiveTimeout"), before)
            << "the user's setting is as it was";
    }
    set_timeout(std::nullopt);
}

TEST_F(UrlmonDownloadTest, AnErrorPageIsNoDownload)
{
    fs::path target = m_folder / L"missing-light.7z";
    Result<void> done = download::DownloadWithUrlmon(light("no-such-file.7z", target));
    ASSERT_FALSE(done) << "the 404 page must not become the archive";
    EXPECT_EQ(done.error().system_code, 404u);
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(UrlmonDownloadTest, ACancelStopsIt)
{
    download::LightDownload cancelled = light("slow/media.7z", m_folder / L"cancelled-light.7z");
    cancelled.progress = [](int, const std::string&) { return false; };
    Result<void> stopped = download::DownloadWithUrlmon(cancelled);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().code, ErrorCode::cancelled);
}

TEST_F(UrlmonDownloadTest, DownloadUrlTakesTheLightTransportAndHttpForCredentialsTheSystemRefuses)
{
    download::UrlDownload plain;
    plain.location = m_base + "media.7z";
    plain.target = to_utf8((m_folder / L"url.7z").wstring());
    Result<void> done = download::DownloadUrl(plain);
    ASSERT_TRUE(done) << done.error().describe();
    EXPECT_TRUE(read_file_bytes(m_folder / L"url.7z") == m_content);
    EXPECT_EQ(download::current_transport(), download::Transport::light);

    // Wine's wininet refuses process-wide credentials; Windows takes them. Either
    // way the file arrives, and the server saw the user name.
    download::UrlDownload with_user = plain;
    with_user.location = "http://ann:secret@" + m_base.substr(7) + "media.7z";
    with_user.target = to_utf8((m_folder / L"user.7z").wstring());
    done = download::DownloadUrl(with_user);
    ASSERT_TRUE(done) << done.error().describe();
    EXPECT_TRUE(read_file_bytes(m_folder / L"user.7z") == m_content);
    std::optional<std::string> log = read_file_bytes(fs::path(QUILLON_WEB_STATE) / L"access.log");
    ASSERT_TRUE(log);
    EXPECT_NE(log->find("user=ann"), std::string::npos);
    EXPECT_EQ(download::current_transport(), download::Transport::light) << "one refusal does not give up urlmon";
}

} // namespace
} // namespace quillon::test
